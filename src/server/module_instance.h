// The instance handle of the loaded module and the full path of its file.
#pragma once

#include <string>

#include "platform/platform.h"

namespace korvo::server {

void SetModuleInstance(HINSTANCE instance) noexcept;
HINSTANCE ModuleInstance() noexcept;

// The long form of the module file's full path; empty when it cannot be read.
std::wstring ModulePath();

} // namespace korvo::server
