// Reading the dictionary file, buffered: a reader that serves the fields of many records
// from one ReadFile call, with the results that one call per field would give: end of file
// (0x80070026) for a field cut short, a failed read's mapped last error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "platform/hresults.h"
#include "platform/platform.h"
#include "platform/unique_handle.h"

namespace korvo::persist {

class FileReader {
public:
    FileReader() = default;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Opens an existing file for reading, shared for reading and writing; the mapped last
    // error when that fails.
    HRESULT Open(BSTR fileName) noexcept;
    // Reads a copy of bytes held in memory (records that came from a server) as if they were
    // the whole file. E_OUTOFMEMORY when the copy cannot be made.
    HRESULT OpenMemory(std::span<const std::byte> bytes) noexcept;

    // Exactly `count` bytes, or kEndOfFile when the file ends first, or a failed read's
    // mapped last error.
    HRESULT Read(void* bytes, std::size_t count) noexcept
    {
        // Most reads are a few bytes the buffer already holds.
        if (count != 0 && count <= end_ - begin_) {
            std::memcpy(bytes, buffer_.get() + begin_, count);
            begin_ += count;
            return S_OK;
        }
        return ReadAcrossFills(bytes, count);
    }
    template <class Value>
    HRESULT ReadValue(Value& value) noexcept
    {
        return Read(&value, sizeof value);
    }

    // `units` UTF-16 code units. Memory grows with what has actually been read, so a length
    // field larger than the file fails with kEndOfFile before much is allocated.
    // kTextNotAllocated when the text cannot be held.
    HRESULT ReadText(std::uint32_t units, std::basic_string<OLECHAR>& text) noexcept;

private:
    HRESULT Fill() noexcept;
    HRESULT ReadAcrossFills(void* bytes, std::size_t count) noexcept;

    UniqueHandle file_;
    std::unique_ptr<std::byte[]> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool inMemory_ = false;
};

} // namespace korvo::persist
