// A client whose object, held as an item of a named store, creates a Dictionary again from
// its final Release, then uninitialises COM and returns from main. Nothing of that release
// may run while the module is being unloaded (under the system's loader lock): the process
// must end with exit code 0, which ctest checks.
#include <cstdio>
#include <string>

#include "platform/platform.h"

#include "korvo.h"

#include "errors/identifiers.h"
#include "platform/com_ptr.h"
#include "platform/unique_bstr.h"

namespace {

using korvo::ComPtr;
using korvo::UniqueBstr;

// Connects a new Dictionary to the store and adds one item: what a script's object might do
// when it is let go.
void UseADictionary(const wchar_t* storeName)
{
    ComPtr<IDictionary> dictionary;
    if (FAILED(CoCreateInstance(korvo::kClsidDictionary, nullptr, CLSCTX_INPROC_SERVER, korvo::kIidIDictionary,
                                dictionary.PutVoid()))) {
        return;
    }
    UniqueBstr name = UniqueBstr::CopyUpToNul(storeName);
    UniqueBstr key = UniqueBstr::CopyUpToNul(L"from a release");
    dictionary->Connect(name.get(), nullptr);
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_I4;
    V_I4(&item) = 1;
    dictionary->Add(key.get(), &item);
}

class Reviver final : public IUnknown {
public:
    explicit Reviver(std::wstring storeName) : storeName_(std::move(storeName)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) noexcept override
    {
        if (result == nullptr) {
            return E_POINTER;
        }
        *result = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown)) {
            return E_NOINTERFACE;
        }
        *result = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return static_cast<ULONG>(InterlockedIncrement(&count_)); }
    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        const LONG remaining = InterlockedDecrement(&count_);
        if (remaining == 0) {
            UseADictionary(storeName_.c_str());
        }
        return static_cast<ULONG>(remaining);
    }

private:
    std::wstring storeName_;
    LONG volatile count_ = 1;
};

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

HRESULT RegisterServer()
{
    HMODULE module = LoadLibraryW(ServerPath().c_str());
    if (module == nullptr) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    using Register = HRESULT(STDAPICALLTYPE*)();
    const auto registerServer = reinterpret_cast<Register>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
    const HRESULT registered = registerServer != nullptr ? registerServer() : E_NOINTERFACE;
    FreeLibrary(module);
    return registered;
}

} // namespace

int main()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) || FAILED(RegisterServer())) {
        std::puts("setup failed");
        return 2;
    }
    const std::wstring storeName = L"unload-reproducer-" + std::to_wstring(GetCurrentProcessId());
    {
        ComPtr<IDictionary> dictionary;
        if (FAILED(CoCreateInstance(korvo::kClsidDictionary, nullptr, CLSCTX_INPROC_SERVER, korvo::kIidIDictionary,
                                    dictionary.PutVoid()))) {
            std::puts("no Dictionary");
            return 2;
        }
        UniqueBstr name = UniqueBstr::CopyUpToNul(storeName.c_str());
        UniqueBstr key = UniqueBstr::CopyUpToNul(L"object");
        dictionary->Connect(name.get(), nullptr);
        Reviver* reviver = new Reviver(storeName); // the store's reference ends it, never ours
        VARIANT item;
        VariantInit(&item);
        V_VT(&item) = VT_UNKNOWN;
        V_UNKNOWN(&item) = reviver;
        const HRESULT added = dictionary->Add(key.get(), &item);
        reviver->Release();
        if (FAILED(added)) {
            std::puts("Add failed");
            return 2;
        }
    }
    CoFreeUnusedLibraries();
    CoUninitialize();
    return 0;
}
