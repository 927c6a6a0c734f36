#include "type_tags.h"

#include <array>
#include <utility>

namespace korvo::dic {

namespace {

constexpr std::array<std::pair<std::uint16_t, std::string_view>, 22> kTags = {{
    {0, "VT_EMPTY"}, {1, "VT_NULL"},  {2, "VT_I2"},    {3, "VT_I4"},       {4, "VT_R4"},    {5, "VT_R8"},
    {6, "VT_CY"},    {7, "VT_DATE"},  {8, "VT_BSTR"},  {10, "VT_ERROR"},   {11, "VT_BOOL"}, {13, "VT_UNKNOWN"},
    {16, "VT_I1"},   {17, "VT_UI1"},  {18, "VT_UI2"},  {19, "VT_UI4"},     {20, "VT_I8"},   {21, "VT_UI8"},
    {22, "VT_INT"},  {23, "VT_UINT"}, {24, "VT_VOID"}, {25, "VT_HRESULT"},
}};

} // namespace

std::optional<std::string_view> TagName(std::uint16_t tag) noexcept
{
    for (const auto& [number, name] : kTags) {
        if (number == tag) {
            return name;
        }
    }
    return std::nullopt;
}

std::optional<std::uint16_t> TagOfName(std::string_view name) noexcept
{
    for (const auto& [number, known] : kTags) {
        if (name == known || name == known.substr(3)) {
            return number;
        }
    }
    return std::nullopt;
}

} // namespace korvo::dic
