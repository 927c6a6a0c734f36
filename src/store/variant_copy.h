// What a variant copy of a value does, told by its type alone: where the copy can be skipped
// with the same result, the container's hot paths skip it.
#pragma once

#include "platform/platform.h"

namespace korvo {

// The types whose variant copy is a copy of the VARIANT's bits: no string, array,
// reference, interface or record to duplicate or count.
constexpr bool CopiesBitForBit(VARTYPE type) noexcept
{
    switch (type) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_ERROR:
    case VT_BOOL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
        return true;
    default:
        return false;
    }
}

// The types whose variant copy is a plain copy of the value (a string duplicated): a value
// of these that nothing else holds can be moved where its copy would go, with the same result.
constexpr bool CopiesAsItIs(VARTYPE type) noexcept
{
    return type == VT_BSTR || CopiesBitForBit(type);
}

} // namespace korvo
