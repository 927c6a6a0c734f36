// The bytes of a dictionary file gathered in memory: Save serialises the store's records
// here while it holds the store, and writes the file after it has let the store go.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "platform/platform.h"

namespace korvo::persist {

class RecordBuffer {
public:
    RecordBuffer() = default;
    RecordBuffer(const RecordBuffer&) = delete;
    RecordBuffer& operator=(const RecordBuffer&) = delete;

    // Appends bytes. When memory runs out the buffer keeps E_OUTOFMEMORY and drops every
    // later write, so a Save that could not hold its records never writes a partial file.
    void Write(const void* bytes, std::size_t count) noexcept;
    template <class Value>
    void WriteValue(const Value& value) noexcept
    {
        Write(&value, sizeof value);
    }

    HRESULT status() const noexcept { return status_; }
    std::span<const std::byte> bytes() const noexcept { return bytes_; }

private:
    std::vector<std::byte> bytes_;
    HRESULT status_ = S_OK;
};

} // namespace korvo::persist
