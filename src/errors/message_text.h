#pragma once

#include <cstddef>

#include "platform/platform.h"

namespace korvo {

// Copies the string-table message `stringId` as ANSI text into `buffer` (NUL-terminated,
// cut to fit); returns its length, 0 for an unknown id.
int LoadMessageText(UINT stringId, char* buffer, int bufferSize) noexcept;

#if defined(_WIN32)
// The module whose STRINGTABLE holds the messages; the DLL entry point sets it.
void SetMessageModule(HINSTANCE module) noexcept;
#endif

} // namespace korvo
