// Builders of the error records that members leave on the calling thread.
#pragma once

#include <string_view>

#include "errors/message_table.h"
#include "platform/platform.h"

namespace korvo {

// Sets the thread's error record to the message `stringId` of the string table, with the
// interface's IID and the source "Korvo.Dictionary", and returns `result`.
HRESULT ReportError(UINT stringId, HRESULT result) noexcept;

// ReportError for a message that holds "%1": the failure's own `detail` (a server's reply, a
// connection's description) stands in its place. A text longer than a record holds (99
// characters) leaves an empty description, as ReportErrorText does.
HRESULT ReportErrorDetail(UINT stringId, std::string_view detail, HRESULT result) noexcept;

// Maps a failed variant copy onto its message; the member returns what this returns.
HRESULT ReportCopyFailure(HRESULT copyFailure) noexcept;

// Sets the thread's error record to an ANSI text, with a null GUID and the registered
// ProgID of the class as the source (none when the class is not registered).
void ReportErrorText(const char* ansiText) noexcept;

// RemoveAll and Save with a pattern the engine cannot use, because it does not compile or
// because testing a key with it failed (a match limit): a record naming the pattern (cut to
// a readable length), with the interface's IID and the source "Korvo.Dictionary", and
// 0x8007000D.
enum class PatternFault { DoesNotCompile, TestFailed };
HRESULT ReportUnusablePattern(std::basic_string_view<OLECHAR> pattern, PatternFault fault) noexcept;

// Save and Load whose pattern object cannot be prepared: "Cannot initialize VBScript RegExp
// object" in the thread's error record, and kPatternUnavailable.
HRESULT ReportPatternUnavailable() noexcept;

} // namespace korvo
