// The outcome of a call to the server as a whole: success, or why no replies came. A command
// the server refused is not a failure here: its error reply comes back as data, with the
// server's text. A failure carries an HRESULT and a description for the error record.
//
// Codes: the socket ones of platform/socket.h (refused, timed out, reset, ...) for transport
// failures, E_OUTOFMEMORY, and these:
#pragma once

#include <string>

#include "platform/platform.h"

namespace korvo::remote {

// The server's bytes are not a valid reply, or exceed a limit of ReplyLimits
// (HRESULT_FROM_WIN32(ERROR_INVALID_DATA)).
inline constexpr HRESULT kProtocolError = static_cast<HRESULT>(0x8007000Du);
// The server refused AUTH: wrong user or password (E_ACCESSDENIED); the text is the server's.
inline constexpr HRESULT kAuthenticationFailed = static_cast<HRESULT>(0x80070005u);
// The server refused SELECT of the configured database (E_INVALIDARG); the text is the server's.
inline constexpr HRESULT kDatabaseRejected = static_cast<HRESULT>(0x80070057u);

struct Status {
    HRESULT code = S_OK;
    std::string text;

    bool ok() const noexcept { return SUCCEEDED(code); }
};

} // namespace korvo::remote
