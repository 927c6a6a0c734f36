// Keys and strings of a dictionary file are UTF-16 code units as the component held them,
// lone surrogates and NULs included; the command line and JSON speak UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvo::dic {

using Units = std::u16string;
using UnitsView = std::u16string_view;

// No lone surrogate: the text has an exact UTF-8 form.
bool IsWellFormed(UnitsView text) noexcept;

// The UTF-8 form of well-formed text; a lone surrogate becomes U+FFFD.
std::string ToUtf8(UnitsView text);

// Nothing for bytes that are not UTF-8.
std::optional<Units> FromUtf8(std::string_view text);

// In double quotes, readable on a terminal: quotes, backslashes, control characters and lone
// surrogates escaped (\uD800), everything else as UTF-8.
std::string Quoted(UnitsView text);

} // namespace korvo::dic
