#include "server/type_library_registration.h"

#include <memory>

#include "platform/com_ptr.h"
#include "platform/hresult_from_exception.h"

namespace korvo::server {
namespace {

// The path with the text from its last dot replaced by ".tlb" (appended without a dot).
std::wstring TypeLibraryFilePath(const std::wstring& modulePath)
{
    const auto dot = modulePath.find_last_of(L'.');
    return (dot == std::wstring::npos ? modulePath : modulePath.substr(0, dot)) + L".tlb";
}

// The path cut just after its last separator: the folder that holds the help file.
std::wstring HelpDirectory(const std::wstring& path)
{
    const auto separator = path.find_last_of(L"\\/:");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

// The library and the path it was loaded from: the module itself, else the .tlb beside it.
HRESULT LoadModuleTypeLibrary(const std::wstring& modulePath, ComPtr<ITypeLib>& library, std::wstring& loadedFrom)
{
    HRESULT hr = LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, library.put());
    if (SUCCEEDED(hr)) {
        loadedFrom = modulePath;
        return hr;
    }
    const std::wstring tlbPath = TypeLibraryFilePath(modulePath);
    hr = LoadTypeLibEx(tlbPath.c_str(), REGKIND_NONE, library.put());
    if (SUCCEEDED(hr)) {
        loadedFrom = tlbPath;
    }
    return hr;
}

using UnRegisterTypeLibFunction = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

struct LibraryUnloader {
    void operator()(HINSTANCE__* library) const noexcept { FreeLibrary(library); }
};

// The system's UnRegisterTypeLib, looked up at run time: older systems lack it.
void CallUnRegisterTypeLib(const TLIBATTR& attributes) noexcept
{
    std::unique_ptr<HINSTANCE__, LibraryUnloader> automation(LoadLibraryW(L"oleaut32.dll"));
    if (!automation) {
        return;
    }
    const auto unregister = reinterpret_cast<UnRegisterTypeLibFunction>(
        reinterpret_cast<void*>(GetProcAddress(automation.get(), "UnRegisterTypeLib")));
    if (unregister != nullptr) {
        unregister(attributes.guid, attributes.wMajorVerNum, attributes.wMinorVerNum, attributes.lcid,
                   attributes.syskind);
    }
}

} // namespace

HRESULT RegisterModuleTypeLibrary(const std::wstring& modulePath) noexcept
{
    return CallReturningHresult([&] {
        ComPtr<ITypeLib> library;
        std::wstring loadedFrom;
        const HRESULT hr = LoadModuleTypeLibrary(modulePath, library, loadedFrom);
        if (FAILED(hr)) {
            return hr;
        }
        std::wstring helpDirectory = HelpDirectory(loadedFrom);
        return RegisterTypeLib(library.get(), loadedFrom.data(), helpDirectory.data());
    });
}

void UnregisterModuleTypeLibrary(const std::wstring& modulePath) noexcept
{
    CallReturningHresult([&] {
        ComPtr<ITypeLib> library;
        std::wstring loadedFrom;
        HRESULT hr = LoadModuleTypeLibrary(modulePath, library, loadedFrom);
        if (FAILED(hr)) {
            return hr;
        }
        TLIBATTR* attributes = nullptr;
        hr = library->GetLibAttr(&attributes);
        if (FAILED(hr)) {
            return hr;
        }
        const TLIBATTR copy = *attributes;
        library->ReleaseTLibAttr(attributes);
        CallUnRegisterTypeLib(copy);
        return S_OK;
    });
}

} // namespace korvo::server
