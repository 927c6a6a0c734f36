// The entries of a remote store as the server keeps them, written and read here and split
// again by the server's functions (share/lua/remote_library.lua), which agree byte for byte:
//   sort key  the key's UTF-16 code units as big-endian bytes, 'A'..'Z' folded in text mode,
//             so that the server's byte order is the local store's key order
//   entry     a u32 length and the key's UTF-16LE text, then a u32 length and the value
//             record as Save writes it (lengths little-endian, in bytes)
//   group     the entries of one sort key back to back, in insertion order
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "remote/reply.h"
#include "store/key_compare.h"

namespace korvo::remote_entry {

// The raw bytes of a key's text.
std::string_view Bytes(KeyView text) noexcept;
// Two lowercase hex digits a byte.
std::string Hex(std::string_view bytes);

std::string SortKey(KeyView key, CompareMode mode);
// The store functions' first argument: the compare mode the caller orders keys in.
std::string_view ModeArgument(CompareMode mode) noexcept;
// The key half of an entry.
std::string KeyPart(KeyView key);
// Appends the value half of an entry. Objects, arrays, records and values without a record
// are refused (kRemoteValueRefused with an error record), and nothing is appended.
HRESULT AppendValuePart(const VARIANT& value, std::string& part);

struct EntryView {
    KeyView key;
    std::string_view value; // the value record
};

// Appends a group's entries; false for bytes no writer of ours produced.
bool SplitGroup(std::string_view group, std::vector<EntryView>& entries);
// The bytes of one entry again.
std::string EntryBytes(const EntryView& entry);

// A value record back into `value` (which holds nothing); kInvalidData for a broken record.
HRESULT DecodeValue(std::string_view record, VARIANT& value) noexcept;
// The values of `entries` as a zero-based VT_ARRAY | VT_VARIANT array.
HRESULT DecodeValues(std::span<const EntryView> entries, VARIANT& result) noexcept;
// A group as GetItem gives it: the value of a single entry, else the array of every value.
HRESULT DecodeGroup(std::string_view group, VARIANT& result);

// The store as one read saw it: its version, its groups in key order, their entries.
struct StoreRead {
    struct Group {
        std::string sortKey;
        std::string entries; // as the server keeps them; the read's entries view into it
        std::size_t first;
        std::size_t count;
    };
    std::string version;
    std::vector<Group> groups;
    std::vector<EntryView> entries;
};
// Takes the reply of the function "all" apart; kInvalidData for a reply it never gives.
HRESULT DecodeStoreRead(remote::Reply& reply, StoreRead& read);

// An argument of a store function as a member names it. Its bytes are made in the call, so
// that a key's sort key and the mode argument come from the one compare mode it reads.
class Argument {
public:
    // Implicit, for the texts a member passes as they are.
    Argument(std::string_view text) noexcept : kind_(Kind::Text), text_(text) {}
    Argument(const char* text) noexcept : Argument(std::string_view(text)) {}
    static Argument Mode() noexcept { return Argument(Kind::Mode); }
    static Argument SortKeyOf(KeyView key) noexcept { return Argument(Kind::SortKey, key); }
    static Argument KeyPartOf(KeyView key) noexcept { return Argument(Kind::KeyPart, key); }
    static Argument ValueOf(const VARIANT& value) noexcept;
    // A whole entry, key part and value part.
    static Argument EntryOf(KeyView key, const VARIANT& value) noexcept;

    // Its bytes: a text as it is, anything else made into `made`. A value that cannot travel
    // fails as AppendValuePart does.
    HRESULT Encode(CompareMode mode, std::string& made, std::string_view& bytes) const;

private:
    enum class Kind { Text, Mode, SortKey, KeyPart, Value, Entry };
    explicit Argument(Kind kind, KeyView key = {}, const VARIANT* value = nullptr) noexcept
        : kind_(kind), key_(key), value_(value)
    {}

    Kind kind_;
    std::string_view text_;
    KeyView key_;
    const VARIANT* value_ = nullptr;
};

} // namespace korvo::remote_entry
