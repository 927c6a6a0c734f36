// The regular-expression component behind the Pattern arguments of RemoveAll, Save and
// Load: one pattern prepared per call, asked about one key at a time whether it matches
// anywhere in it (case-sensitive, no global option, script-engine syntax).
//
// Windows drives the script engine's RegExp class; the posix build compiles the pattern
// with PCRE2 (16-bit) after adapting it to the script engine's syntax, under match limits.
#pragma once

#include <memory>
#include <string_view>

#include "platform/platform.h"

namespace korvo {

using PatternText = std::basic_string_view<OLECHAR>;

// The outcome of one test: a failed test (an unusable pattern, a hit match limit, a
// component error) is neither a match nor a miss; each caller gives it its own meaning.
enum class KeyTestResult { Match, NoMatch, Failed };

class KeyPattern {
public:
    virtual ~KeyPattern() = default;
    KeyPattern(const KeyPattern&) = delete;
    KeyPattern& operator=(const KeyPattern&) = delete;

    virtual KeyTestResult Test(PatternText key) noexcept = 0;

protected:
    KeyPattern() = default;
};

// Creates the component and sets its pattern (the text up to its first NUL). Fails when the
// component cannot be created or refuses the pattern; out then stays empty. A pattern the
// engine cannot compile does not fail here: every Test of it fails instead.
HRESULT PrepareKeyPattern(PatternText pattern, std::unique_ptr<KeyPattern>& out) noexcept;

// Test seam: while set, PrepareKeyPattern fails as though the component were not installed,
// so the callers' handling of a missing component can be exercised on every platform.
void SetKeyPatternUnavailableForTesting(bool unavailable) noexcept;
bool KeyPatternUnavailableForTesting() noexcept;

} // namespace korvo
