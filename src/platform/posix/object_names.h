// The names of named kernel objects (semaphores, sections): Windows' namespace rules.
#pragma once

#include "kernel.h"

#include <string_view>

namespace korvo::posix {

// Reduces the name to its place in the machine's namespace, or gives the error code Windows
// gives for the name. The namespace prefixes are case-sensitive. In one session an
// unprefixed name and a "Local\" name are the same object; "Global\" and "Session\<n>\"
// names are kept apart. Any other backslash names an object directory, which does not exist.
DWORD NormaliseName(std::u16string_view& name);

} // namespace korvo::posix
