// Commands encoded for the wire: each an array of bulk strings (binary-safe arguments), one
// or several in one request. The commands of a request go out in one write and their replies
// come back in the same order, so a pipeline costs one round trip.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace korvo::remote {

class Request {
public:
    // Appends one command. E_INVALIDARG for a command without arguments; E_OUTOFMEMORY when
    // memory runs out, with the request as it was.
    [[nodiscard]] HRESULT Add(std::span<const std::string_view> arguments) noexcept;
    [[nodiscard]] HRESULT Add(std::initializer_list<std::string_view> arguments) noexcept
    {
        return Add(std::span<const std::string_view>(arguments.begin(), arguments.size()));
    }

    std::size_t CommandCount() const noexcept { return commands_; }
    const std::string& Bytes() const noexcept { return bytes_; }
    void Clear() noexcept;

private:
    std::string bytes_;
    std::size_t commands_ = 0;
};

} // namespace korvo::remote
