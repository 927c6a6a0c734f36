// Settings an administrator keeps for the whole machine: on Windows the registry under
// HKEY_LOCAL_MACHINE, always in its 64-bit view, so that the 32-bit and the 64-bit module
// read one configuration. The posix platform has no such store: it reads nothing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace korvo {

// The module's own key under HKEY_LOCAL_MACHINE.
inline constexpr const char16_t* kMachineSettingsPath = u"SOFTWARE\\Korvo\\Dictionary";

struct MachineSetting {
    std::u16string name;
    bool isNumber = false; // REG_DWORD; otherwise REG_SZ or REG_EXPAND_SZ (unexpanded)
    DWORD number = 0;
    std::u16string text;
};

struct MachineSettingsKey {
    std::u16string name;
    std::vector<MachineSetting> settings; // values of other types are left out
};

// The subkeys of HKEY_LOCAL_MACHINE\<path> with their values. S_OK with none when the key is
// absent; the registry's failure otherwise.
HRESULT ReadMachineSettingsKeys(std::u16string_view path, std::vector<MachineSettingsKey>& keys) noexcept;

// The REG_DWORD value `name` of HKEY_LOCAL_MACHINE\<path>: true with `number` set when it is
// there; false when the key or the value is absent, is not a REG_DWORD or cannot be read.
bool ReadMachineSettingNumber(const char16_t* path, const char16_t* name, DWORD& number) noexcept;

} // namespace korvo
