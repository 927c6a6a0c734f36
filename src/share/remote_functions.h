// The server side of a remote store: one function library (share/lua/remote_library.lua,
// compiled in as kRemoteLibraryBody), loaded by each new connection and again by a call that
// finds it gone (flushed), each member one atomic function. The library is named after a
// digest of its text, so that two builds whose functions differ never call each other's
// functions, and no version has to be remembered by hand.
//
// A store named N is five keys sharing one hash tag (so they live on one cluster slot):
//   idx     sorted set, every score 0, members the sort keys: the key's UTF-16 code units as
//           big-endian bytes, ASCII-folded in text mode, so that the server's byte order is the
//           local store's key order
//   data    hash, sort key -> the group's entries in insertion order, each a u32 length and
//           the key's UTF-16LE text, then a u32 length and the value record
//           (share/remote_entry_codec.h)
//   counts  hash, sort key -> entries in the group
//   meta    hash: items (entries in all), mode (the compare mode the store keeps), version
//           (bumped by every change, so that a change the client computed from a read
//           applies only to the store it read)
//   lock    the lease of Lock: a random token of the holding process, with an expiry
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "share/remote_library_lua.h"

namespace korvo {

// FNV-1a: a stable digest of the library's text, the same on every compiler.
constexpr std::uint32_t RemoteLibraryDigest(std::string_view text) noexcept
{
    std::uint32_t digest = 2166136261u;
    for (const char byte : text) {
        digest = (digest ^ static_cast<unsigned char>(byte)) * 16777619u;
    }
    return digest;
}

// "korvo_" and eight hex digits of the digest.
inline const std::string& RemoteLibraryName()
{
    static const std::string kName = [] {
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string text = "korvo_";
        const std::uint32_t digest = RemoteLibraryDigest(kRemoteLibraryBody);
        for (int shift = 28; shift >= 0; shift -= 4) {
            text.push_back(kDigits[(digest >> shift) & 0xF]);
        }
        return text;
    }();
    return kName;
}

// What FUNCTION LOAD takes: the name line, LIB, then the functions.
inline std::string RemoteLibraryText()
{
    const std::string& name = RemoteLibraryName();
    return "#!lua name=" + name + "\nlocal LIB = '" + name + "'" + std::string(kRemoteLibraryBody);
}

} // namespace korvo
