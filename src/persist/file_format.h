// The dictionary file: the magic "fDIC", records of (type tag, payload, key length, key),
// and the end marker FF FF. Little-endian throughout.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace korvo::persist {

static_assert(std::endian::native == std::endian::little, "fields are copied as the host holds them");

inline constexpr std::array<char, 4> kFileMagic = {'f', 'D', 'I', 'C'};
inline constexpr std::uint16_t kEndMarker = 0xFFFF;

} // namespace korvo::persist
