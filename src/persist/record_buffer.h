// The bytes of a dictionary file gathered in memory: Save serialises the store's records
// here while it holds the store, and writes the file after it has let the store go.
//
// A buffer given a sink may hand its bytes on as it fills, but only inside a Spilling scope:
// a store serialising a copy of itself, outside its section, opens one, so that a large Save
// writes from one small block that stays in the cache instead of a block as large as the
// file. Nowhere else, so no file is written while a store is held.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <span>

#include "persist/byte_sink.h"
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

    // Room for `count` more bytes, a hint: without it the buffer grows as it goes. While
    // spilling, the room of one spill block at most.
    void Reserve(std::size_t count) noexcept;

    // The sink the buffer may hand its bytes to while spilling: one whose partial content is
    // thrown away when the Save fails (a temporary file), never the target itself.
    void SpillTo(ByteSink& sink) noexcept { sink_ = &sink; }

    // While one lives, a buffer with a sink hands on every full block. Without a sink it
    // changes nothing.
    class Spilling {
    public:
        explicit Spilling(RecordBuffer& buffer) noexcept : buffer_(buffer), before_(buffer.spilling_)
        {
            buffer_.spilling_ = buffer_.sink_ != nullptr;
        }
        Spilling(const Spilling&) = delete;
        Spilling& operator=(const Spilling&) = delete;
        ~Spilling() { buffer_.spilling_ = before_; }

    private:
        RecordBuffer& buffer_;
        bool before_;
    };

    HRESULT Status() const noexcept { return status_; }
    // What is gathered and not yet handed to the sink.
    std::span<const std::byte> Bytes() const noexcept { return {storage_.get(), used_}; }

private:
    void WriteGrowing(const void* bytes, std::size_t count) noexcept;
    bool Grow(std::size_t needed) noexcept;
    // Hands what is gathered to the sink and starts the block again.
    void Spill() noexcept;

    std::unique_ptr<std::byte[]> storage_;
    std::size_t used_ = 0;
    std::size_t capacity_ = 0;
    HRESULT status_ = S_OK;
    ByteSink* sink_ = nullptr;
    bool spilling_ = false;
};

} // namespace korvo::persist
