// Room for the texts of many keys in one block, for filling a container with many keys at
// once (a Load): one allocation for a whole batch instead of one per key. Each text in the
// block is preceded by a pointer to the block's head, which counts the keys still using the
// block and the slab itself; the block is freed when the last of them lets go. A key made
// here is a StoredKey like any other: it moves by its bytes and is freed once, from any
// thread.
//
// A block outlives the removal of most of its keys: it goes with the last one, so a store
// that loaded many keys and removed all but a few keeps the block until those go too.
#pragma once

#include <atomic>
#include <cstddef>

#include "store/stored_key.h"

namespace korvo {

class KeySlab {
public:
    // Room for at most `keys` keys of `bytes` in all (BytesFor of each). Throws
    // std::bad_alloc; with `keys` 0 nothing is allocated.
    KeySlab(std::size_t bytes, std::size_t keys);
    KeySlab(const KeySlab&) = delete;
    KeySlab& operator=(const KeySlab&) = delete;
    ~KeySlab();

    // The room a key of `units` code units takes in a block; 0 for a key held in place.
    static std::size_t BytesFor(std::size_t units) noexcept;

    // A copy of `text`: in place when short, in the block while it has room, else in a block
    // of its own (which may throw std::bad_alloc, nothing then to free).
    StoredKey Of(KeyView text);

private:
    friend class StoredKey;
    struct Head {
        std::atomic<std::size_t> users;
        std::size_t bytes;
    };

    // For StoredKey::Free of a key made here.
    static void Release(const OLECHAR* text) noexcept;

    Head* head_ = nullptr;
    std::byte* next_ = nullptr;
    std::byte* end_ = nullptr;
    std::size_t keysLeft_ = 0;
};

} // namespace korvo
