// Exceptions never cross an interface operation: each entry point runs its body through the
// one translator here, which turns whatever escaped into an HRESULT once: no memory is
// E_OUTOFMEMORY, anything else E_FAIL. The variants below only say what a boundary returns
// for that HRESULT; none of them catches anything itself.
#pragma once

#include <new>
#include <utility>

#include "platform/platform.h"

namespace korvo {

// The body's result, or onFailure(the escaped exception's HRESULT) when the body throws.
// onFailure runs inside the handler and must not throw.
template <class Body, class OnFailure>
auto CallTranslatingExceptions(Body&& body, OnFailure&& onFailure) noexcept -> decltype(std::forward<Body>(body)())
{
    try {
        return std::forward<Body>(body)();
    } catch (const std::bad_alloc&) {
        return onFailure(E_OUTOFMEMORY);
    } catch (...) {
        return onFailure(E_FAIL);
    }
}

template <class Body>
HRESULT CallReturningHresult(Body&& body) noexcept
{
    return CallTranslatingExceptions(std::forward<Body>(body), [](HRESULT escaped) noexcept { return escaped; });
}

// For a body that can only fail to allocate, whose callers know one HRESULT for that
// (`failure`, E_OUTOFMEMORY or a code of its own): every escaped exception becomes it.
template <class Body>
HRESULT CallReturningHresult(Body&& body, HRESULT failure) noexcept
{
    return CallTranslatingExceptions(std::forward<Body>(body), [failure](HRESULT) noexcept { return failure; });
}

// For a function with Win32 conventions: an escaped exception leaves its last error
// (ERROR_NOT_ENOUGH_MEMORY for no memory, ERROR_GEN_FAILURE otherwise) and returns `failed`.
template <class Body, class Failed>
auto CallSettingLastError(Body&& body, Failed failed) noexcept
{
    return CallTranslatingExceptions(std::forward<Body>(body), [&failed](HRESULT escaped) noexcept {
        SetLastError(escaped == E_OUTOFMEMORY ? ERROR_NOT_ENOUGH_MEMORY : ERROR_GEN_FAILURE);
        return failed;
    });
}

} // namespace korvo
