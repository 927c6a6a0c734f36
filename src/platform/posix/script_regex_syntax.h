// The script engine's regular-expression syntax rewritten for PCRE2 (16-bit, no UTF, with
// PCRE2_ALT_BSUX | PCRE2_MATCH_UNSET_BACKREF | PCRE2_ALLOW_EMPTY_CLASS | PCRE2_DOLLAR_ENDONLY):
// constructs the script engine lacks are refused, unknown letter escapes stand for the
// letter, '.' stops at every line terminator, '\v' is U+000B only.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvo::posix {

// The PCRE2 form of a pattern, or nothing for a pattern the script engine would refuse.
std::optional<std::u16string> TranslateScriptRegex(std::u16string_view pattern);

} // namespace korvo::posix
