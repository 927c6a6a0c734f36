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

    bool active() const noexcept { return static_cast<bool>(pattern_); }

    // Without a pattern every key matches.
    KeyTestResult Test(KeyView key) noexcept;

private:
    std::unique_ptr<KeyPattern> pattern_;
};

} // namespace korvo::persist
