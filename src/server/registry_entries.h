// The registry entries of the class under HKEY_CLASSES_ROOT: the ProgID, the CLSID key with
// its ProgIDs, Programmable, in-process server (threading model "Both") and type library.
#pragma once

#include <string>

#include "platform/platform.h"

namespace korvo::server {

// Writes every entry; the CLSID key and Programmable are replaced whole. On a failure the
// entries are removed again and the failure returned.
HRESULT WriteRegistryEntries(const std::wstring& modulePath) noexcept;

// Removes the CLSID key with everything below it, and the ProgID key unless the build of the
// other bitness is still registered in its own view; missing keys are no error.
void RemoveRegistryEntries() noexcept;

} // namespace korvo::server
