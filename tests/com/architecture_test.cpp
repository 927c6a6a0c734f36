// Which build of the server runs: the machine type of the image loaded in this process, the
// process's pointer size and WoW64 state, the module COM activates for the class, and the
// registry view its registration lands in. The x86 server runs under a 64-bit Wine or Windows
// in WoW64, where a 64-bit host or a registration in the wrong view could otherwise pass for it.
#include "korvod_client.h"

#include <array>
#include <cstdio>
#include <string>

#include "errors/identifiers.h"

namespace korvo::test {
namespace {

constexpr WORD kExpectedMachine = KORVO_EXPECTED_MACHINE;
constexpr bool kExpect32Bit = kExpectedMachine == IMAGE_FILE_MACHINE_I386;

WORD MachineOf(HMODULE module)
{
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->FileHeader.Machine;
}

bool RunsInWow64()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool NativeSystemIs64Bit()
{
    SYSTEM_INFO system{};
    GetNativeSystemInfo(&system);
    return system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
           system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64;
}

class ArchitectureTest : public ComTest {};

TEST_F(ArchitectureTest, LoadedServerAndHostAreBuiltForTheTargetMachine)
{
    const HMODULE server = Korvod().module;
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(MachineOf(server), kExpectedMachine);
    EXPECT_EQ(MachineOf(GetModuleHandleW(nullptr)), kExpectedMachine);
    EXPECT_EQ(sizeof(void*), kExpect32Bit ? 4U : 8U);
    // Shown with ctest -V: the evidence of which build ran.
    std::printf("Korvod.dll machine 0x%04x, %u-byte pointers, WoW64 process: %s, 64-bit system: %s\n",
                static_cast<unsigned>(MachineOf(server)), static_cast<unsigned>(sizeof(void*)),
                RunsInWow64() ? "yes" : "no", NativeSystemIs64Bit() ? "yes" : "no");
}

TEST_F(ArchitectureTest, A32BitHostRunsInWow64ExactlyOnA64BitSystem)
{
    EXPECT_EQ(RunsInWow64(), kExpect32Bit && NativeSystemIs64Bit());
}

TEST_F(ArchitectureTest, ComActivatesTheServerOfThisBuild)
{
    ComPtr<IDispatch> object;
    ASSERT_EQ(CoCreateInstance(kClsidDictionary, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.PutVoid()), S_OK);
    // The object's vtable lies in the image of the module that made it.
    const void* vtable = *reinterpret_cast<void* const*>(object.get());
    HMODULE owner = nullptr;
    ASSERT_TRUE(
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(vtable), &owner));
    EXPECT_EQ(owner, Korvod().module);
    EXPECT_EQ(MachineOf(owner), kExpectedMachine);
}

// The InprocServer32 path in one registry view, empty when the key is absent there.
std::wstring ServerPathIn(REGSAM view, const std::wstring& classesPath)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, classesPath.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return {};
    }
    std::array<wchar_t, 1024> path{};
    DWORD bytes = static_cast<DWORD>((path.size() - 1) * sizeof(wchar_t));
    DWORD type = 0;
    const LONG status = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path.data()), &bytes);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? std::wstring(path.data()) : std::wstring();
}

struct RegistryView {
    const char* name;
    REGSAM view;
    const wchar_t* classesPath;
    bool holds32BitServer; // else the 64-bit one
};

const wchar_t* const kServerKey = L"CLSID\\{FF1EDF26-F2EE-4BCF-A988-A8E26C1C12B5}\\InprocServer32";
const wchar_t* const kServerKeyIn32BitView =
    L"Wow6432Node\\CLSID\\{FF1EDF26-F2EE-4BCF-A988-A8E26C1C12B5}\\InprocServer32";

// A server registers in its own view only; the other view may hold the other build, never this one.
// A 32-bit Windows has one view, the 32-bit one: the view flags are ignored there, and it has no
// Wow6432Node.
TEST_F(ArchitectureTest, RegistrationLandsInTheViewOfItsBitnessOnly)
{
    const bool twoViews = NativeSystemIs64Bit();
    const std::array views{
        RegistryView{"32-bit view", KEY_WOW64_32KEY, kServerKey, true},
        RegistryView{"64-bit view", KEY_WOW64_64KEY, kServerKey, !twoViews},
        RegistryView{"Wow6432Node seen from the 64-bit view", KEY_WOW64_64KEY, kServerKeyIn32BitView, twoViews},
    };
    const std::wstring self = KorvodPath();
    for (const auto& view : views) {
        if (!twoViews && view.classesPath == kServerKeyIn32BitView) {
            EXPECT_TRUE(ServerPathIn(view.view, view.classesPath).empty()) << "a 32-bit Windows has a " << view.name;
            continue;
        }
        const std::wstring found = ServerPathIn(view.view, view.classesPath);
        const bool namesThisServer = !found.empty() && lstrcmpiW(found.c_str(), self.c_str()) == 0;
        EXPECT_EQ(namesThisServer, view.holds32BitServer == kExpect32Bit) << view.name << " names \"" << found << "\"";
    }
}

} // namespace
} // namespace korvo::test
