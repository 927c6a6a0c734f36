#include "remote/request.h"

#include "platform/hresult_from_exception.h"
#include <charconv>

namespace korvo::remote {
namespace {

void AppendHeader(std::string& out, char type, std::size_t count)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, count).ptr;
    out += type;
    out.append(digits, end);
    out += "\r\n";
}

} // namespace

HRESULT Request::Add(std::span<const std::string_view> arguments) noexcept
{
    if (arguments.empty()) {
        return E_INVALIDARG;
    }
    const std::size_t before = bytes_.size();
    const HRESULT added = CallReturningHresult([&] {
        AppendHeader(bytes_, '*', arguments.size());
        for (const std::string_view argument : arguments) {
            AppendHeader(bytes_, '$', argument.size());
            bytes_.append(argument);
            bytes_ += "\r\n";
        }
        return S_OK;
    });
    if (FAILED(added)) {
        bytes_.resize(before);
        return added;
    }
    ++commands_;
    return S_OK;
}

void Request::Clear() noexcept
{
    bytes_.clear();
    commands_ = 0;
}

} // namespace korvo::remote
