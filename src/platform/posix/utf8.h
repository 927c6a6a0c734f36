// UTF-8 <-> UTF-16 transcoding shared by the code-page functions and the file paths.
#pragma once

#include <string>
#include <string_view>

namespace korvo::posix {

// Appends the UTF-8 form; an unpaired surrogate becomes U+FFFD, or, when strict, stops the
// conversion with false.
bool AppendUtf8(std::u16string_view text, std::string& out, bool strict);

// Appends the UTF-16 form; an ill-formed sequence becomes U+FFFD, or, when strict, stops the
// conversion with false.
bool AppendUtf16(std::string_view text, std::u16string& out, bool strict);

} // namespace korvo::posix
