// Registration of the type library embedded in the module (or a .tlb beside it).
#pragma once

#include <string>

#include "platform/platform.h"

namespace korvo::server {

// Loads the library from the module, else from the module path with ".tlb" for its
// extension, and registers it with the module's directory as help directory.
HRESULT RegisterModuleTypeLibrary(const std::wstring& modulePath) noexcept;

// Unregisters the library if it can be loaded and the system offers UnRegisterTypeLib.
void UnregisterModuleTypeLibrary(const std::wstring& modulePath) noexcept;

} // namespace korvo::server
