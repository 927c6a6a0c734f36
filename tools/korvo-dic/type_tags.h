// The type tags a dictionary file can hold: the automation variant types that the value
// writer stores as they are, by number and by name.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace korvo::dic {

// "VT_I4" for 3; nothing for a tag the writer never produces.
std::optional<std::string_view> TagName(std::uint16_t tag) noexcept;

// 3 for "VT_I4" (also "I4"); nothing for a name the file cannot hold.
std::optional<std::uint16_t> TagOfName(std::string_view name) noexcept;

} // namespace korvo::dic
