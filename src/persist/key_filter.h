// The Pattern argument of RemoveAll, Save and Load: no filter for a null or empty pattern,
// otherwise a pattern object prepared for the one call and asked about every key.
#pragma once

#include <memory>

#include "platform/key_pattern.h"
#include "store/key_compare.h"

namespace korvo::persist {

class KeyFilter {
public:
    KeyFilter() = default;
    KeyFilter(const KeyFilter&) = delete;
    KeyFilter& operator=(const KeyFilter&) = delete;

    // Prepares the pattern object before the call attaches or touches its store; the
    // failure is the caller's to report (kPatternUnavailable). Nothing stays held on failure.
    HRESULT Prepare(BSTR pattern) noexcept;

    bool Active() const noexcept { return static_cast<bool>(pattern_); }

    // False for a prepared pattern the engine cannot compile: every test of it fails. Told
    // apart by a test of the empty key, which no usable pattern can fail.
    bool Compiles() const noexcept { return compiles_; }

    // The pattern as given, up to its first NUL, for the error record that names it.
    KeyView Text() const noexcept { return text_; }

    // Without a pattern every key matches.
    KeyTestResult Test(KeyView key) noexcept;

private:
    std::unique_ptr<KeyPattern> pattern_;
    KeyView text_;
    bool compiles_ = true;
};

// The filter's answer for each entry in store order. The entries of one key are adjacent, so
// the pattern is asked once per run of entries with the same text (the test is
// case-sensitive, so in text mode 'k' and 'K' of one key are asked apart).
class GroupTest {
public:
    explicit GroupTest(KeyFilter& filter) noexcept : filter_(filter) {}

    KeyTestResult operator()(KeyView key) noexcept
    {
        if (!tested_ || key != lastKey_) {
            lastResult_ = filter_.Test(key);
            lastKey_ = key;
            tested_ = true;
        }
        return lastResult_;
    }

private:
    KeyFilter& filter_;
    KeyView lastKey_;
    KeyTestResult lastResult_ = KeyTestResult::Match;
    bool tested_ = false;
};

} // namespace korvo::persist
