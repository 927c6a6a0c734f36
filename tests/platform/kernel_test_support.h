// Small helpers shared by the kernel service tests.
#pragma once

#include "platform/platform.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace korvo::test {

using WideString = std::basic_string<WCHAR>;

inline WideString Wide(std::string_view ascii)
{
    return WideString(ascii.begin(), ascii.end());
}

inline WideString WidePath(const std::filesystem::path& path)
{
    const auto units = path.u16string();
    return WideString(units.begin(), units.end());
}

// A name no other test run uses at the same time.
inline WideString UniqueName(std::string_view purpose)
{
    return Wide("korvo-kernel-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::string(purpose));
}

} // namespace korvo::test
