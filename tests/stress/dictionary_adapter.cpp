#include "dictionary_adapter.h"

#if defined(_WIN32)
#include "errors/identifiers.h"
#else
#include "platform/module_lock.h"
#include "share/named_store_registry.h"
#endif

namespace korvo::stress {

#if defined(_WIN32)

namespace {

struct Module {
    HMODULE library = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
    ComPtr<IClassFactory> factory;
};

Module& TheModule()
{
    static Module module;
    return module;
}

// The built DLL's path as Windows sees it (the Unix root is drive Z: under Wine).
std::wstring ServerPath()
{
    const std::string built = KORVO_DLL_FILE;
    std::wstring path(built.begin(), built.end());
    if (!path.empty() && path.front() == L'/') {
        path.insert(0, L"Z:");
    }
    for (auto& character : path) {
        if (character == L'/') {
            character = L'\\';
        }
    }
    return path;
}

} // namespace

bool StartModule()
{
    Module& module = TheModule();
    module.library = LoadLibraryW(ServerPath().c_str());
    if (module.library == nullptr) {
        return false;
    }
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module.library, "DllGetClassObject")));
    module.canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(module.library, "DllCanUnloadNow")));
    return getClassObject != nullptr && module.canUnloadNow != nullptr &&
           SUCCEEDED(getClassObject(kClsidDictionary, IID_IClassFactory, module.factory.PutVoid()));
}

void StopModule()
{
    TheModule().factory.reset();
}

bool ModuleCanUnload()
{
    Module& module = TheModule();
    // The driver's own reference to the class object holds the module, as any client's does.
    ComPtr<IClassFactory> held = std::move(module.factory);
    held.reset();
    const bool can = module.canUnloadNow() == S_OK;
    StartModule();
    return can;
}

// Single-threaded apartments, as script hosts give their threads: the regular-expression
// component then runs on the calling thread instead of behind a cross-apartment proxy.
void EnterThread()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
}
void LeaveThread()
{
    CoUninitialize();
}

std::shared_ptr<Dictionary> Dictionary::Create()
{
    ComPtr<IDictionary> object;
    if (FAILED(TheModule().factory->CreateInstance(nullptr, kIidIDictionary, object.PutVoid()))) {
        return nullptr;
    }
    return std::make_shared<Dictionary>(std::move(object));
}

#else

bool StartModule()
{
    return StartNamedStoreRegistry();
}
void StopModule()
{
    StopNamedStoreRegistry();
}
bool ModuleCanUnload()
{
    return ModuleLockCount() == 0 && !NamedStoresHoldObjects();
}
void EnterThread() {}
void LeaveThread() {}

#endif

} // namespace korvo::stress
