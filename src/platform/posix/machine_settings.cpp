#include "platform/machine_settings.h"

namespace korvo {

HRESULT ReadMachineSettingsKeys(std::u16string_view, std::vector<MachineSettingsKey>& keys) noexcept
{
    keys.clear();
    return S_OK;
}

bool ReadMachineSettingNumber(const char16_t*, const char16_t*, DWORD&) noexcept
{
    return false;
}

} // namespace korvo
