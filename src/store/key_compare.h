// Ordering of keys: UTF-16 code units, with ASCII-only case folding in text mode, under the
// one compare mode of the process.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace korvo {

// The CompareMethod values of the type library.
enum class CompareMode : LONG { Binary = 0, Text = 1 };

// Shared by every object and store. An operation reads it once at its start and orders keys
// by that value only.
CompareMode ProcessCompareMode() noexcept;
void SetProcessCompareMode(CompareMode mode) noexcept;

using KeyText = std::basic_string<OLECHAR>;
using KeyView = std::basic_string_view<OLECHAR>;

// Negative when a orders before b, zero when they are one key, positive otherwise.
// Only 'A'..'Z' fold (to 'a'..'z') in text mode; no locale is consulted, and a prefix
// orders before the longer key.
int CompareKeys(KeyView a, KeyView b, CompareMode mode) noexcept;

// A key as it arrives from a caller: the text up to its first NUL; null is the empty key.
KeyView KeyArgument(const OLECHAR* key) noexcept;

} // namespace korvo
