// The failure trace, for finding where a failure began in a process nobody can debug (an
// in-process server inside a web server, say). Off unless the environment has KORVO_TRACE=1
// or, on Windows, HKLM\SOFTWARE\Korvo\Dictionary has the REG_DWORD FailureTrace = 1; read
// once, on the first traced failure. When on, each failing HRESULT of a traced expression
// leaves one line through OutputDebugStringW (a debugger, DebugView, Wine's
// WINEDEBUG=+debugstr or, up to Wine 8, warn+seh; standard error on posix):
//
//   Korvod: src/remote/connection.cpp:33 ConnectTcp(...) -> 0x8007274D (thread 4711)
//
//   return KORVO_TRACED(members::Add(state_, Key, Item));
//
// The expression's value passes through unchanged. A success costs one test of its sign; a
// failure with the trace off one relaxed atomic load more.
#pragma once

#include <atomic>

#include "platform/platform.h"

namespace korvo {

enum class FailureTraceState { Unread, Off, On };

inline std::atomic<FailureTraceState> failureTraceState{FailureTraceState::Unread};

// Reads the switch once per process (later callers wait for the first) and keeps the
// answer in failureTraceState; true when the trace is on.
bool ReadFailureTraceSwitch() noexcept;

// Writes one trace line for `result`; `file` is shown from its "src" folder on.
void WriteFailureTrace(HRESULT result, const char* file, int line, const char* expression) noexcept;

inline bool FailureTraceOn() noexcept
{
    const FailureTraceState state = failureTraceState.load(std::memory_order_relaxed);
    return state == FailureTraceState::On || (state == FailureTraceState::Unread && ReadFailureTraceSwitch());
}

inline HRESULT TraceFailure(HRESULT result, const char* file, int line, const char* expression) noexcept
{
    if (FAILED(result) && FailureTraceOn()) {
        WriteFailureTrace(result, file, line, expression);
    }
    return result;
}

} // namespace korvo

#define KORVO_TRACED(expression) ::korvo::TraceFailure((expression), __FILE__, __LINE__, #expression)
