// A key as the container stores it: 16 bytes that hold up to 7 UTF-16 code units in place,
// or a pointer to and the length of their text, in a block of its own or in a KeySlab's. It is a plain value that moves by
// copying its bytes; whoever holds it frees it once (Free), so the container can shift and
// relocate entries with memmove.
#pragma once

#include <cstdint>
#include <cstring>

#include "store/key_compare.h"

namespace korvo {

class StoredKey {
public:
    static constexpr std::size_t kInlineUnits = 7;

    // The empty key; nothing to free.
    StoredKey() noexcept { std::memset(bytes_, 0, sizeof bytes_); }

    // A copy of `text`. Throws std::bad_alloc (nothing then to free) when a longer key cannot
    // be held.
    static StoredKey Of(KeyView text);

    KeyView View() const noexcept
    {
        const std::uint16_t tag = Tag();
        if (tag < kSlabTag) {
            return KeyView(reinterpret_cast<const OLECHAR*>(bytes_), tag);
        }
        const OLECHAR* data = nullptr;
        std::uint32_t size = 0;
        std::memcpy(&data, bytes_, sizeof data);
        std::memcpy(&size, bytes_ + 8, sizeof size);
        return KeyView(data, size);
    }

    // Frees a block of its own (or lets go of its slab's); the key is then empty.
    void Free() noexcept;

private:
    friend class KeySlab;
    static constexpr std::uint16_t kHeapTag = 0xFFFF;
    static constexpr std::uint16_t kSlabTag = 0xFFFE;

    // A key whose text lies in a KeySlab's block.
    static StoredKey InSlab(const OLECHAR* text, std::uint32_t size) noexcept;
    static StoredKey Pointing(const OLECHAR* text, std::uint32_t size, std::uint16_t tag) noexcept;

    std::uint16_t Tag() const noexcept
    {
        std::uint16_t tag = 0;
        std::memcpy(&tag, bytes_ + 14, sizeof tag);
        return tag;
    }

    alignas(8) unsigned char bytes_[16];
};

static_assert(sizeof(StoredKey) == 16);

} // namespace korvo
