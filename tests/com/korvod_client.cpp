#include "korvod_client.h"

#include <array>

#include "errors/identifiers.h"

namespace korvo::test {
namespace {

template <typename Function>
void Resolve(HMODULE module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The registered in-process server path, empty when the class is not registered.
std::wstring RegisteredServerPath()
{
    std::array<wchar_t, 1024> path{};
    LONG size = static_cast<LONG>(path.size() * sizeof(wchar_t));
    if (RegQueryValueW(HKEY_CLASSES_ROOT, L"CLSID\\{FF1EDF26-F2EE-4BCF-A988-A8E26C1C12B5}\\InprocServer32", path.data(),
                       &size) != ERROR_SUCCESS) {
        return {};
    }
    return path.data();
}

bool TypeLibraryRegistered()
{
    ComPtr<ITypeLib> library;
    return SUCCEEDED(LoadRegTypeLib(kLibidKorvo, 1, 0, 0, library.put()));
}

} // namespace

std::wstring KorvodPath()
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

const KorvodExports& Korvod()
{
    static const KorvodExports exports = [] {
        KorvodExports loaded;
        loaded.module = LoadLibraryW(KorvodPath().c_str());
        if (loaded.module != nullptr) {
            Resolve(loaded.module, "DllCanUnloadNow", loaded.canUnloadNow);
            Resolve(loaded.module, "DllGetClassObject", loaded.getClassObject);
            Resolve(loaded.module, "DllRegisterServer", loaded.registerServer);
            Resolve(loaded.module, "DllUnregisterServer", loaded.unregisterServer);
        }
        return loaded;
    }();
    return exports;
}

HRESULT EnsureRegistered()
{
    const auto& korvod = Korvod();
    if (korvod.registerServer == nullptr) {
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    }
    if (lstrcmpiW(RegisteredServerPath().c_str(), KorvodPath().c_str()) == 0 && TypeLibraryRegistered()) {
        return S_OK;
    }
    return korvod.registerServer();
}

ComPtr<IClassFactory> ClassObject()
{
    ComPtr<IClassFactory> factory;
    const auto& korvod = Korvod();
    if (korvod.getClassObject != nullptr) {
        korvod.getClassObject(kClsidDictionary, IID_IClassFactory, factory.PutVoid());
    }
    return factory;
}

ComPtr<IDictionary> NewDictionary()
{
    ComPtr<IDictionary> dictionary;
    if (auto factory = ClassObject()) {
        factory->CreateInstance(nullptr, kIidIDictionary, dictionary.PutVoid());
    }
    return dictionary;
}

ULONG ReferenceCount(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

void ComTest::SetUpTestSuite()
{
    ASSERT_NE(Korvod().module, nullptr) << "cannot load the DLL";
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HRESULT registered = EnsureRegistered();
    CoUninitialize();
    ASSERT_EQ(registered, S_OK);
}

void ComTest::SetUp()
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
}

void ComTest::TearDown()
{
    CoUninitialize();
}

} // namespace korvo::test
