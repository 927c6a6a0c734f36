#include "persist/buffered_file.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "platform/hresult_from_exception.h"
#include "platform/hresults.h"
#include "platform/win32_error.h"

namespace korvo::persist {

namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;
// Text is read in pieces of this many code units, so memory follows the bytes read.
constexpr std::size_t kTextChunkUnits = 32 * 1024;

std::unique_ptr<std::byte[]> MakeBuffer() noexcept
{
    return CallTranslatingExceptions([] { return std::make_unique_for_overwrite<std::byte[]>(kBufferBytes); },
                                     [](HRESULT) noexcept { return nullptr; });
}

HRESULT OpenFile(BSTR fileName, UniqueHandle& file) noexcept
{
    HANDLE handle = CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return FailureFromLastError(E_FAIL);
    }
    file.reset(handle);
    return S_OK;
}

} // namespace

HRESULT FileReader::Open(BSTR fileName) noexcept
{
    buffer_ = MakeBuffer();
    if (!buffer_) {
        return E_OUTOFMEMORY;
    }
    return OpenFile(fileName, file_);
}

HRESULT FileReader::OpenMemory(std::span<const std::byte> bytes) noexcept
{
    if (const HRESULT made = CallReturningHresult([&] {
            buffer_ = std::make_unique_for_overwrite<std::byte[]>(bytes.size());
            return S_OK;
        });
        FAILED(made)) {
        return made;
    }
    if (!bytes.empty()) {
        std::memcpy(buffer_.get(), bytes.data(), bytes.size());
    }
    begin_ = 0;
    end_ = bytes.size();
    inMemory_ = true;
    return S_OK;
}

HRESULT FileReader::Fill() noexcept
{
    if (inMemory_) {
        return hresult::kEndOfFile;
    }
    DWORD received = 0;
    if (!ReadFile(file_.get(), buffer_.get(), static_cast<DWORD>(kBufferBytes), &received, nullptr)) {
        return FailureFromLastError(hresult::kReadFault);
    }
    begin_ = 0;
    end_ = received;
    return received == 0 ? hresult::kEndOfFile : S_OK;
}

HRESULT FileReader::ReadAcrossFills(void* bytes, std::size_t count) noexcept
{
    auto* target = static_cast<std::byte*>(bytes);
    while (count > 0) {
        if (begin_ == end_) {
            if (const HRESULT filled = Fill(); FAILED(filled)) {
                return filled;
            }
        }
        const std::size_t piece = std::min(count, end_ - begin_);
        std::memcpy(target, buffer_.get() + begin_, piece);
        begin_ += piece;
        target += piece;
        count -= piece;
    }
    return S_OK;
}

HRESULT FileReader::ReadText(std::uint32_t units, std::basic_string<OLECHAR>& text) noexcept
{
    const auto body = [&]() -> HRESULT {
        // A text the buffer already holds is copied in one piece.
        const std::uint64_t bytes = std::uint64_t{units} * sizeof(OLECHAR);
        if (bytes <= end_ - begin_) {
            text.resize(units);
            if (bytes != 0) {
                std::memcpy(text.data(), buffer_.get() + begin_, static_cast<std::size_t>(bytes));
                begin_ += static_cast<std::size_t>(bytes);
            }
            return S_OK;
        }
        text.clear();
        std::uint64_t remaining = units;
        while (remaining > 0) {
            const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kTextChunkUnits));
            const std::size_t filled = text.size();
            text.resize(filled + piece);
            if (const HRESULT read = Read(text.data() + filled, piece * sizeof(OLECHAR)); FAILED(read)) {
                return read;
            }
            remaining -= piece;
        }
        return S_OK;
    };
    // bad_alloc, or a length the string type cannot hold.
    return CallReturningHresult(body, hresult::kTextNotAllocated);
}

} // namespace korvo::persist
