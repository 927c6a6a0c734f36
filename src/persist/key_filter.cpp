#include "persist/key_filter.h"

#include "platform/hresults.h"

namespace korvo::persist {

HRESULT KeyFilter::Prepare(BSTR pattern) noexcept
{
    text_ = KeyArgument(pattern);
    if (text_.empty()) {
        return S_OK;
    }
    if (FAILED(PrepareKeyPattern(text_, pattern_))) {
        return hresult::kPatternUnavailable;
    }
    compiles_ = pattern_->Test(KeyView()) != KeyTestResult::Failed;
    return S_OK;
}

KeyTestResult KeyFilter::Test(KeyView key) noexcept
{
    return pattern_ ? pattern_->Test(key) : KeyTestResult::Match;
}

} // namespace korvo::persist
