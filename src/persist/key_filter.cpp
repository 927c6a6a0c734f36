#include "persist/key_filter.h"

#include "errors/identifiers.h"

namespace korvo::persist {

HRESULT KeyFilter::Prepare(BSTR pattern) noexcept
{
    const KeyView text = KeyArgument(pattern);
    if (text.empty())
        return S_OK;
    if (FAILED(PrepareKeyPattern(text, pattern_)))
        return kPatternUnavailable;
    return S_OK;
}

KeyTestResult KeyFilter::Test(KeyView key) noexcept
{
    return pattern_ ? pattern_->Test(key) : KeyTestResult::Match;
}

} // namespace korvo::persist
