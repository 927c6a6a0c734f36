#include "platform/failure_trace.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/machine_settings.h"

namespace korvo {
namespace {

constexpr const char* kTraceVariable = "KORVO_TRACE";
constexpr const char16_t* kTraceValueName = u"FailureTrace";
constexpr std::size_t kLongestLine = 1024; // longer lines are cut

bool SwitchedOn() noexcept
{
    const char* variable = std::getenv(kTraceVariable);
    if (variable != nullptr && std::strcmp(variable, "1") == 0) {
        return true;
    }
    DWORD value = 0;
    return ReadMachineSettingNumber(kMachineSettingsPath, kTraceValueName, value) && value == 1;
}

// The path from its last "src" folder on, so that the line names the file as the sources do
// wherever they were built.
const char* SourcePath(const char* file) noexcept
{
    const char* shown = file;
    for (const char* at = file; *at != '\0'; ++at) {
        const bool folderStart = at == file || at[-1] == '/' || at[-1] == '\\';
        if (folderStart && std::strncmp(at, "src", 3) == 0 && (at[3] == '/' || at[3] == '\\')) {
            shown = at;
        }
    }
    return shown;
}

} // namespace

bool ReadFailureTraceSwitch() noexcept
{
    static const bool kOn = SwitchedOn();
    failureTraceState.store(kOn ? FailureTraceState::On : FailureTraceState::Off, std::memory_order_relaxed);
    return kOn;
}

void WriteFailureTrace(HRESULT result, const char* file, int line, const char* expression) noexcept
{
    char text[kLongestLine];
    const int length = std::snprintf(text, sizeof text, "Korvod: %s:%d %s -> 0x%08lX (thread %lu)\n", SourcePath(file),
                                     line, expression, static_cast<unsigned long>(static_cast<std::uint32_t>(result)),
                                     static_cast<unsigned long>(GetCurrentThreadId()));
    if (length <= 0) {
        return;
    }
    // The sources are ASCII; anything else shows as '?'.
    WCHAR wide[kLongestLine];
    std::size_t used = 0;
    for (; used + 1 < kLongestLine && text[used] != '\0'; ++used) {
        const auto unit = static_cast<unsigned char>(text[used]);
        wide[used] = static_cast<WCHAR>(unit < 0x80 ? unit : '?');
    }
    wide[used] = 0;
    OutputDebugStringW(wide);
}

} // namespace korvo
