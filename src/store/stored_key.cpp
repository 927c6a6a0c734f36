#include "store/stored_key.h"

#include <memory>
#include <new>

#include "store/key_slab.h"

namespace korvo {

StoredKey StoredKey::Of(KeyView text)
{
    StoredKey key;
    if (text.size() <= kInlineUnits) {
        std::memcpy(key.bytes_, text.data(), text.size() * sizeof(OLECHAR));
        const auto tag = static_cast<std::uint16_t>(text.size());
        std::memcpy(key.bytes_ + 14, &tag, sizeof tag);
        return key;
    }
    if (text.size() > 0xFFFFFFFFu) {
        throw std::bad_alloc();
    }
    // The block is the key's own; Free gives it back.
    OLECHAR* data = std::allocator<OLECHAR>().allocate(text.size());
    std::memcpy(data, text.data(), text.size() * sizeof(OLECHAR));
    return Pointing(data, static_cast<std::uint32_t>(text.size()), kHeapTag);
}

StoredKey StoredKey::InSlab(const OLECHAR* text, std::uint32_t size) noexcept
{
    return Pointing(text, size, kSlabTag);
}

StoredKey StoredKey::Pointing(const OLECHAR* text, std::uint32_t size, std::uint16_t tag) noexcept
{
    StoredKey key;
    std::memcpy(key.bytes_, &text, sizeof text);
    std::memcpy(key.bytes_ + 8, &size, sizeof size);
    std::memcpy(key.bytes_ + 14, &tag, sizeof tag);
    return key;
}

void StoredKey::Free() noexcept
{
    const std::uint16_t tag = Tag();
    if (tag == kHeapTag) {
        const KeyView text = View();
        std::allocator<OLECHAR>().deallocate(const_cast<OLECHAR*>(text.data()), text.size());
    } else if (tag == kSlabTag) {
        KeySlab::Release(View().data());
    }
    std::memset(bytes_, 0, sizeof bytes_);
}

} // namespace korvo
