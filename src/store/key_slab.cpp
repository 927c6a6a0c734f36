#include "store/key_slab.h"

#include <cstring>
#include <memory>
#include <new>

namespace korvo {
namespace {

constexpr std::size_t kAlignment = alignof(std::max_align_t);

constexpr std::size_t RoundUp(std::size_t bytes, std::size_t to) noexcept
{
    return (bytes + to - 1) / to * to;
}

} // namespace

KeySlab::KeySlab(std::size_t bytes, std::size_t keys)
{
    if (keys == 0 || bytes == 0) {
        return;
    }
    const std::size_t total = RoundUp(sizeof(Head), kAlignment) + bytes;
    auto* block = std::allocator<std::byte>().allocate(total);
    // One use for the slab and one for each key it may still give: keys freed while the
    // slab is filling never bring the count to nought.
    head_ = new (block) Head{{keys + 1}, total};
    next_ = block + RoundUp(sizeof(Head), kAlignment);
    end_ = block + total;
    keysLeft_ = keys;
}

KeySlab::~KeySlab()
{
    if (head_ == nullptr) {
        return;
    }
    const std::size_t unused = keysLeft_ + 1;
    if (head_->users.fetch_sub(unused, std::memory_order_acq_rel) == unused) {
        const std::size_t total = head_->bytes;
        head_->~Head();
        std::allocator<std::byte>().deallocate(reinterpret_cast<std::byte*>(head_), total);
    }
}

std::size_t KeySlab::BytesFor(std::size_t units) noexcept
{
    if (units <= StoredKey::kInlineUnits) {
        return 0;
    }
    return sizeof(Head*) + RoundUp(units * sizeof(OLECHAR), sizeof(Head*));
}

StoredKey KeySlab::Of(KeyView text)
{
    const std::size_t room = BytesFor(text.size());
    if (room == 0 || keysLeft_ == 0 || text.size() > 0xFFFFFFFFu || room > static_cast<std::size_t>(end_ - next_)) {
        return StoredKey::Of(text);
    }
    std::memcpy(next_, &head_, sizeof head_);
    auto* units = reinterpret_cast<OLECHAR*>(next_ + sizeof head_);
    std::memcpy(units, text.data(), text.size() * sizeof(OLECHAR));
    next_ += room;
    --keysLeft_;
    return StoredKey::InSlab(units, static_cast<std::uint32_t>(text.size()));
}

void KeySlab::Release(const OLECHAR* text) noexcept
{
    Head* head = nullptr;
    std::memcpy(&head, reinterpret_cast<const std::byte*>(text) - sizeof head, sizeof head);
    if (head->users.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        const std::size_t total = head->bytes;
        head->~Head();
        std::allocator<std::byte>().deallocate(reinterpret_cast<std::byte*>(head), total);
    }
}

} // namespace korvo
