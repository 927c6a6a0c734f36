// _NewEnum: an enumerator over a snapshot of every item of the object's store.
#pragma once

#include "members/object_state.h"

namespace korvo::members {

// The snapshot is taken in one call on the store; the enumerator needs no lock afterwards.
// E_INVALIDARG with message 106 for a null result pointer.
HRESULT NewEnum(ObjectState& object, IUnknown** result) noexcept;

} // namespace korvo::members
