// The one compare mode of the process, shared by every object and store.
#pragma once

#include "platform/platform.h"

namespace korvo {

// The CompareMethod values of the type library.
enum class CompareMode : LONG { Binary = 0, Text = 1 };

// Read once at the start of an operation; the operation then orders keys by that value only.
CompareMode ProcessCompareMode() noexcept;
void SetProcessCompareMode(CompareMode mode) noexcept;

} // namespace korvo
