// Reads the payload of one record for its type tag into a variant.
#pragma once

#include <cstdint>

#include "persist/buffered_file.h"

namespace korvo::persist {

// Bytes of fixed payload for a tag the writer produces (0 for the tags without payload), or
// -1 for a string, whose payload is length-counted, and for a tag the writer never produces.
int PayloadBytes(std::uint16_t tag) noexcept;

// Fills `value` (which must be Empty) for the tag: the payload's bytes, a string of the
// stored length (empty, not null, for length 0), or nothing for the tags without payload.
// Tag 13 gives an object reference to no object. A tag the writer never produces fails
// with kInvalidData; a failed read returns its error. On failure `value` stays Empty.
HRESULT ReadItemValue(FileReader& file, std::uint16_t tag, VARIANT& value) noexcept;

} // namespace korvo::persist
