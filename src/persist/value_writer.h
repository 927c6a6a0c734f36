// Writes one item as the type tag and payload of a record.
#pragma once

#include "persist/record_buffer.h"

namespace korvo::persist {

enum class ValueWritten { Record, Skipped };

// Types with a tag are written as they are held; a variant referring to a variant is written
// as the value it refers to; anything else is converted to text, and a value that cannot be
// converted is written as Empty with saveEmpty, or skipped (no record at all) without it.
ValueWritten WriteItemValue(RecordBuffer& file, const VARIANT& item, bool saveEmpty) noexcept;

} // namespace korvo::persist
