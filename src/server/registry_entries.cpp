#include "server/registry_entries.h"

#include "errors/identifiers.h"
#include "platform/guid_text.h"

namespace korvo::server {
namespace {

// Every name and value comes from the identities the type library and the class use.
const std::wstring kClsidText = GuidText(kClsidDictionary);
const std::wstring kLibidText = GuidText(kLibidKorvo);
const std::wstring kClassKey = L"CLSID\\" + kClsidText;
constexpr const wchar_t* kProgIdKey = kProgId;
constexpr const wchar_t* kClassName = kClassDescription;

class UniqueKey {
public:
    UniqueKey() = default;
    ~UniqueKey()
    {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    UniqueKey(const UniqueKey&) = delete;
    UniqueKey& operator=(const UniqueKey&) = delete;

    HKEY get() const noexcept { return key_; }
    HKEY* put() noexcept { return &key_; }

private:
    HKEY key_ = nullptr;
};

HRESULT FromRegistryError(LSTATUS status) noexcept
{
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

HRESULT CreateKey(HKEY parent, const std::wstring& name, UniqueKey& key) noexcept
{
    return FromRegistryError(RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr));
}

// A key that registration owns outright: whatever was below it goes first.
HRESULT ReplaceKey(HKEY parent, const std::wstring& name, UniqueKey& key) noexcept
{
    const LSTATUS deleted = RegDeleteTreeW(parent, name.c_str());
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
        return FromRegistryError(deleted);
    }
    return CreateKey(parent, name, key);
}

HRESULT SetString(HKEY key, const wchar_t* valueName, const wchar_t* data, size_t length) noexcept
{
    const auto bytes = static_cast<DWORD>((length + 1) * sizeof(wchar_t));
    return FromRegistryError(RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), bytes));
}

HRESULT SetString(HKEY key, const wchar_t* valueName, const std::wstring& data) noexcept
{
    return SetString(key, valueName, data.c_str(), data.size());
}

// A subkey whose default value is `data`, left open in `key` for more values.
HRESULT WriteKey(HKEY parent, const std::wstring& name, const std::wstring& data, UniqueKey& key) noexcept
{
    const HRESULT hr = CreateKey(parent, name, key);
    return FAILED(hr) ? hr : SetString(key.get(), nullptr, data);
}

HRESULT WriteSubkey(HKEY parent, const wchar_t* name, const std::wstring& data) noexcept
{
    UniqueKey key;
    return WriteKey(parent, name, data, key);
}

HRESULT WriteProgIdEntries() noexcept
{
    UniqueKey progId;
    const HRESULT hr = WriteKey(HKEY_CLASSES_ROOT, kProgIdKey, kClassName, progId);
    return FAILED(hr) ? hr : WriteSubkey(progId.get(), L"CLSID", kClsidText);
}

HRESULT WriteInprocServer(HKEY classKey, const std::wstring& modulePath) noexcept
{
    UniqueKey server;
    const HRESULT hr = WriteKey(classKey, L"InprocServer32", modulePath, server);
    return FAILED(hr) ? hr : SetString(server.get(), L"ThreadingModel", L"Both");
}

HRESULT WriteClassEntries(const std::wstring& modulePath) noexcept
{
    UniqueKey classKey;
    HRESULT hr = ReplaceKey(HKEY_CLASSES_ROOT, kClassKey, classKey);
    if (SUCCEEDED(hr)) {
        hr = SetString(classKey.get(), nullptr, kClassName);
    }
    if (SUCCEEDED(hr)) {
        hr = WriteSubkey(classKey.get(), L"ProgID", kProgIdKey);
    }
    if (SUCCEEDED(hr)) {
        hr = WriteSubkey(classKey.get(), L"VersionIndependentProgID", kProgIdKey);
    }
    if (SUCCEEDED(hr)) {
        UniqueKey programmable;
        hr = ReplaceKey(classKey.get(), L"Programmable", programmable);
    }
    if (SUCCEEDED(hr)) {
        hr = WriteInprocServer(classKey.get(), modulePath);
    }
    if (SUCCEEDED(hr)) {
        hr = WriteSubkey(classKey.get(), L"TypeLib", kLibidText);
    }
    return hr;
}

// The registry view of the build of the other bitness: on 64-bit Windows both views share the
// ProgID key, while each view has a class key of its own. On a 32-bit system the flag is
// ignored and the view asked is this build's own.
#ifdef _WIN64
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
#else
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
#endif

bool OtherViewServesClass() noexcept
{
    UniqueKey server;
    const std::wstring name = kClassKey + L"\\InprocServer32";
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_READ | kOtherView, server.put()) == ERROR_SUCCESS;
}

} // namespace

HRESULT WriteRegistryEntries(const std::wstring& modulePath) noexcept
{
    HRESULT hr = WriteProgIdEntries();
    if (SUCCEEDED(hr)) {
        hr = WriteClassEntries(modulePath);
    }
    if (FAILED(hr)) {
        RemoveRegistryEntries();
    }
    return hr;
}

void RemoveRegistryEntries() noexcept
{
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey.c_str());
    if (!OtherViewServesClass()) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgIdKey);
    }
}

} // namespace korvo::server
