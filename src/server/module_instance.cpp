#include "server/module_instance.h"

#include <vector>

namespace korvo::server {
namespace {

HINSTANCE moduleInstance = nullptr;

// Long-path-aware Windows accepts paths of up to 32767 characters.
constexpr DWORD kLongestPath = 32768;

} // namespace

void SetModuleInstance(HINSTANCE instance) noexcept
{
    moduleInstance = instance;
}

HINSTANCE ModuleInstance() noexcept
{
    return moduleInstance;
}

std::wstring ModulePath()
{
    std::vector<wchar_t> path(kLongestPath);
    const DWORD length = GetModuleFileNameW(moduleInstance, path.data(), kLongestPath);
    if (length == 0 || length >= kLongestPath) {
        return {};
    }
    std::vector<wchar_t> longPath(kLongestPath);
    const DWORD longLength = GetLongPathNameW(path.data(), longPath.data(), kLongestPath);
    if (longLength == 0 || longLength >= kLongestPath) {
        return std::wstring(path.data(), length);
    }
    return std::wstring(longPath.data(), longLength);
}

} // namespace korvo::server
