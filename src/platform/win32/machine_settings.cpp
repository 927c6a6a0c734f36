#include "platform/machine_settings.h"

#include "platform/hresult_from_exception.h"

#include "platform/win32_error.h"

namespace korvo {
namespace {

// A key handle closed when it goes.
class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey()
    {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    HKEY* Out() noexcept { return &key_; }
    HKEY get() const noexcept { return key_; }

private:
    HKEY key_ = nullptr;
};

constexpr REGSAM kRead = KEY_READ | KEY_WOW64_64KEY;
constexpr DWORD kLongestName = 16384; // the registry's own bound on key and value names

const wchar_t* Wide(const char16_t* text) noexcept
{
    return reinterpret_cast<const wchar_t*>(text);
}

const wchar_t* Wide(const std::u16string& text) noexcept
{
    return Wide(text.c_str());
}

LSTATUS ReadValues(HKEY key, std::vector<MachineSetting>& settings)
{
    std::vector<wchar_t> name(kLongestName);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = kLongestName;
        DWORD type = 0;
        DWORD size = 0;
        LSTATUS status = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, nullptr, &size);
        if (status == ERROR_NO_MORE_ITEMS) {
            return ERROR_SUCCESS;
        }
        if (status != ERROR_SUCCESS) {
            return status;
        }
        MachineSetting setting;
        setting.name.assign(reinterpret_cast<const char16_t*>(name.data()), nameLength);
        if (type == REG_DWORD) {
            size = sizeof setting.number;
            status = RegQueryValueExW(key, Wide(setting.name), nullptr, &type, reinterpret_cast<BYTE*>(&setting.number),
                                      &size);
            setting.isNumber = true;
        } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
            std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
            size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
            status = RegQueryValueExW(key, Wide(setting.name), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                                      &size);
            // The stored text may or may not end with its NUL.
            std::size_t length = size / sizeof(wchar_t);
            while (length > 0 && text[length - 1] == L'\0') {
                --length;
            }
            setting.text.assign(reinterpret_cast<const char16_t*>(text.data()), length);
        } else {
            continue;
        }
        if (status != ERROR_SUCCESS) {
            return status;
        }
        settings.push_back(std::move(setting));
    }
}

} // namespace

HRESULT ReadMachineSettingsKeys(std::u16string_view path, std::vector<MachineSettingsKey>& keys) noexcept
{
    keys.clear();
    const HRESULT read = CallReturningHresult([&]() -> HRESULT {
        const std::u16string parentPath(path);
        RegistryKey parent;
        LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(parentPath), 0, kRead, parent.Out());
        if (status == ERROR_FILE_NOT_FOUND) {
            return S_OK;
        }
        if (status != ERROR_SUCCESS) {
            return HresultFromWin32Code(static_cast<DWORD>(status));
        }
        std::vector<wchar_t> name(kLongestName);
        for (DWORD index = 0;; ++index) {
            DWORD nameLength = kLongestName;
            status = RegEnumKeyExW(parent.get(), index, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) {
                return S_OK;
            }
            if (status != ERROR_SUCCESS) {
                return HresultFromWin32Code(static_cast<DWORD>(status));
            }
            MachineSettingsKey entry;
            entry.name.assign(reinterpret_cast<const char16_t*>(name.data()), nameLength);
            RegistryKey subkey;
            status = RegOpenKeyExW(parent.get(), Wide(entry.name), 0, kRead, subkey.Out());
            if (status == ERROR_SUCCESS) {
                status = ReadValues(subkey.get(), entry.settings);
            }
            if (status != ERROR_SUCCESS) {
                keys.clear();
                return HresultFromWin32Code(static_cast<DWORD>(status));
            }
            keys.push_back(std::move(entry));
        }
    });
    if (FAILED(read)) {
        keys.clear();
    }
    return read;
}

bool ReadMachineSettingNumber(const char16_t* path, const char16_t* name, DWORD& number) noexcept
{
    RegistryKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(path), 0, kRead, key.Out()) != ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(key.get(), Wide(name), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
        return false;
    }
    number = value;
    return true;
}

} // namespace korvo
