#include "platform/machine_settings.h"

namespace korvo {

HRESULT ReadMachineSettingsKeys(std::u16string_view, std::vector<MachineSettingsKey>& keys) noexcept
{
    keys.clear();
    return S_OK;
}

} // namespace korvo
