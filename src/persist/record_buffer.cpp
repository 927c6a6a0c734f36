#include "persist/record_buffer.h"

#include <cstring>

namespace korvo::persist {

void RecordBuffer::Write(const void* bytes, std::size_t count) noexcept
{
    if (FAILED(status_) || count == 0) {
        return;
    }
    try {
        const std::size_t used = bytes_.size();
        bytes_.resize(used + count);
        std::memcpy(bytes_.data() + used, bytes, count);
    } catch (...) {
        status_ = E_OUTOFMEMORY;
    }
}

} // namespace korvo::persist
