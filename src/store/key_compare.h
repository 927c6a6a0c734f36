// Ordering of keys: UTF-16 code units, with ASCII-only case folding in text mode.
#pragma once

#include <string>
#include <string_view>

#include "store/compare_mode.h"

namespace korvo {

using KeyText = std::basic_string<OLECHAR>;
using KeyView = std::basic_string_view<OLECHAR>;

// Negative when a orders before b, zero when they are one key, positive otherwise.
// Only 'A'..'Z' fold (to 'a'..'z') in text mode; no locale is consulted, and a prefix
// orders before the longer key.
int CompareKeys(KeyView a, KeyView b, CompareMode mode) noexcept;

// A key as it arrives from a caller: the text up to its first NUL; null is the empty key.
KeyView KeyArgument(const OLECHAR* key) noexcept;

} // namespace korvo
