// Exceptions never cross an interface operation: each core entry point runs its body
// through CallReturningHresult, which turns whatever escaped into an HRESULT once.
#pragma once

#include <new>
#include <utility>

#include "platform/platform.h"

namespace korvo {

template <class Body>
HRESULT CallReturningHresult(Body&& body) noexcept
{
    try {
        return std::forward<Body>(body)();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

} // namespace korvo
