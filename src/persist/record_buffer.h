// The bytes of a dictionary file gathered in memory: Save serialises the store's records
// here while it holds the store, and writes the file after it has let the store go.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <span>

#include "platform/platform.h"

namespace korvo::persist {

class RecordBuffer {
public:
    RecordBuffer() = default;
    RecordBuffer(const RecordBuffer&) = delete;
    RecordBuffer& operator=(const RecordBuffer&) = delete;

    // Appends bytes. When memory runs out the buffer keeps E_OUTOFMEMORY and drops every
    // later write, so a Save that could not hold its records never writes a partial file.
    void Write(const void* bytes, std::size_t count) noexcept
    {
        // An empty payload (a null BSTR, an empty array) may come with a null pointer,
        // which memcpy must not be given even for no bytes.
        if (count == 0) {
            return;
        }
        if (used_ + count <= capacity_ && SUCCEEDED(status_)) {
            std::memcpy(storage_.get() + used_, bytes, count);
            used_ += count;
            return;
        }
        WriteGrowing(bytes, count);
    }
    template <class Value>
    void WriteValue(const Value& value) noexcept
    {
        Write(&value, sizeof value);
    }

    // Room for `count` more bytes, a hint: without it the buffer grows as it goes.
    void Reserve(std::size_t count) noexcept;

    HRESULT status() const noexcept { return status_; }
    std::span<const std::byte> bytes() const noexcept { return {storage_.get(), used_}; }

private:
    void WriteGrowing(const void* bytes, std::size_t count) noexcept;
    bool Grow(std::size_t needed) noexcept;

    std::unique_ptr<std::byte[]> storage_;
    std::size_t used_ = 0;
    std::size_t capacity_ = 0;
    HRESULT status_ = S_OK;
};

} // namespace korvo::persist
