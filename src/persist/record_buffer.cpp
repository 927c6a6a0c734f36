#include "persist/record_buffer.h"
#include "platform/hresult_from_exception.h"

#include <algorithm>
#include <new>

namespace korvo::persist {
namespace {

// Large enough that a write costs little beside the serialising, small enough to stay in the
// cache and to come from memory the heap keeps.
constexpr std::size_t kSpillBlock = 256 * 1024;

} // namespace

bool RecordBuffer::Grow(std::size_t needed) noexcept
{
    const std::size_t capacity = std::max({needed, capacity_ * 2, std::size_t{64 * 1024}});
    std::unique_ptr<std::byte[]> grown;
    if (const HRESULT made = CallReturningHresult([&] {
            grown = std::make_unique_for_overwrite<std::byte[]>(capacity);
            return S_OK;
        });
        FAILED(made)) {
        status_ = made;
        return false;
    }
    if (used_ > 0) {
        std::memcpy(grown.get(), storage_.get(), used_);
    }
    storage_ = std::move(grown);
    capacity_ = capacity;
    return true;
}

void RecordBuffer::Spill() noexcept
{
    sink_->Write(Bytes());
    used_ = 0;
}

void RecordBuffer::Reserve(std::size_t count) noexcept
{
    if (spilling_) {
        count = std::min(count, kSpillBlock);
    }
    if (SUCCEEDED(status_) && used_ + count > capacity_) {
        const HRESULT before = status_;
        if (!Grow(used_ + count)) {
            status_ = before; // only a hint: growing later may still work
        }
    }
}

void RecordBuffer::WriteGrowing(const void* bytes, std::size_t count) noexcept
{
    if (FAILED(status_) || count == 0) {
        return;
    }
    if (spilling_ && used_ > 0 && used_ + count > capacity_) {
        Spill();
    }
    if (used_ + count > capacity_ && !Grow(used_ + count)) {
        return;
    }
    std::memcpy(storage_.get() + used_, bytes, count);
    used_ += count;
}

} // namespace korvo::persist
