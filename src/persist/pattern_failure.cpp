#include "persist/pattern_failure.h"

#include "com/identifiers.h"
#include "com/message_table.h"
#include "com/report_error.h"

namespace korvo::persist {

HRESULT ReportPatternUnavailable() noexcept
{
    ReportErrorText(KORVO_TEXT_REGEXP_UNAVAILABLE);
    return kPatternUnavailable;
}

} // namespace korvo::persist
