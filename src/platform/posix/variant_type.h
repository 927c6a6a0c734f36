// Which type codes a VARIANT may carry. Internal to posix/.
#pragma once

#include "oleauto.h"

namespace korvo::posix {

// S_OK for a type code a variant may hold, DISP_E_BADVARTYPE otherwise: the base types
// VT_EMPTY..VT_UINT except code 15, VT_RECORD and VT_CLSID, each optionally VT_ARRAY or
// VT_BYREF (but not VT_EMPTY or VT_NULL so); never VT_VECTOR or VT_RESERVED.
HRESULT ValidateVariantType(VARTYPE vt);

// The bytes a value of the base type vt takes in an array element or behind a VT_BYREF
// reference: 1 to 8 for numbers, a pointer for VT_BSTR, VT_UNKNOWN and VT_DISPATCH, the
// DECIMAL and the VARIANT; 0 for any other type.
ULONG ValueSize(VARTYPE vt);

} // namespace korvo::posix
