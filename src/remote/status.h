// The outcome of a call to the server as a whole: success, or why no replies came. A command
// the server refused is not a failure here: its error reply comes back as data, with the
// server's text. A failure carries an HRESULT and a description for the error record.
//
// Codes: the socket ones of platform/socket.h (refused, timed out, reset, ...) for transport
// failures, E_OUTOFMEMORY, and those of platform/hresults.h: kInvalidData for bytes that are
// not a valid reply or exceed a limit of ReplyLimits, kAuthenticationFailed and
// kDatabaseRejected for a refused AUTH or SELECT (the text is the server's).
#pragma once

#include <string>

#include "platform/hresults.h"
#include "platform/platform.h"

namespace korvo::remote {

struct Status {
    HRESULT code = S_OK;
    std::string text;

    bool Ok() const noexcept { return SUCCEEDED(code); }
};

} // namespace korvo::remote
