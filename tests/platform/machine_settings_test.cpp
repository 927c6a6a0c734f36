// Machine settings: on Windows the subkeys of a registry key with their text and number
// values, read in the 64-bit view; natively nothing, and no failure.
#include <gtest/gtest.h>

#include <string>

#include "platform/machine_settings.h"

namespace korvo {
namespace {

#if defined(_WIN32)
const wchar_t* Wide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

TEST(MachineSettings, ReadsEverySubkeyWithItsTextAndNumberValues)
{
    const std::u16string path = u"SOFTWARE\\Korvo\\Test-" + std::u16string(u"settings-") + [] {
        const std::string id = std::to_string(GetCurrentProcessId());
        return std::u16string(id.begin(), id.end());
    }();
    HKEY subkey = nullptr;
    const std::u16string farm = path + u"\\farm:";
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(farm), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr,
                              &subkey, nullptr),
              ERROR_SUCCESS);
    const wchar_t host[] = L"10.0.0.5";
    const DWORD port = 6380;
    RegSetValueExW(subkey, L"Host", 0, REG_SZ, reinterpret_cast<const BYTE*>(host), sizeof host);
    RegSetValueExW(subkey, L"Port", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&port), sizeof port);
    RegSetValueExW(subkey, L"Blob", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&port), sizeof port);
    RegCloseKey(subkey);

    std::vector<MachineSettingsKey> keys;
    EXPECT_EQ(ReadMachineSettingsKeys(path, keys), S_OK);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, Wide(path));
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].name, u"farm:");
    ASSERT_EQ(keys[0].settings.size(), 2u) << "the binary value is left out";
    for (const MachineSetting& setting : keys[0].settings) {
        if (setting.name == u"Host") {
            EXPECT_FALSE(setting.isNumber);
            EXPECT_EQ(setting.text, u"10.0.0.5");
        } else {
            EXPECT_EQ(setting.name, u"Port");
            EXPECT_TRUE(setting.isNumber);
            EXPECT_EQ(setting.number, 6380u);
        }
    }
}
#endif

TEST(MachineSettings, AnAbsentKeyHoldsNothing)
{
    std::vector<MachineSettingsKey> keys(1);
    EXPECT_EQ(ReadMachineSettingsKeys(u"SOFTWARE\\Korvo\\No such key of the tests", keys), S_OK);
    EXPECT_TRUE(keys.empty());
}

} // namespace
} // namespace korvo
