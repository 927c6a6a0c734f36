#include "allocation.h"
#include "oleauto.h"
#include "variant_type.h"

#include <cstring>

namespace korvo::posix {

ULONG ValueSize(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
        return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
        return 8;
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return sizeof(void*);
    case VT_DECIMAL:
        return sizeof(DECIMAL);
    case VT_VARIANT:
        return sizeof(VARIANT);
    default:
        return 0;
    }
}

HRESULT ValidateVariantType(VARTYPE vt)
{
    const VARTYPE modifiers = vt & ~VT_TYPEMASK;
    const VARTYPE base = vt & VT_TYPEMASK;
    if (modifiers & (VT_VECTOR | VT_RESERVED)) {
        return DISP_E_BADVARTYPE;
    }
    const bool baseKnown = (base < VT_VOID && base != 15) || base == VT_RECORD || base == VT_CLSID;
    if (!baseKnown) {
        return DISP_E_BADVARTYPE;
    }
    if ((modifiers & (VT_BYREF | VT_ARRAY)) && base <= VT_NULL) {
        return DISP_E_BADVARTYPE;
    }
    return S_OK;
}

} // namespace korvo::posix

using korvo::posix::ValidateVariantType;
using korvo::posix::ValueSize;

namespace {

// Releases what a by-value variant owns. A failure leaves the variant as it was.
HRESULT ReleaseContents(VARIANTARG* v)
{
    if (V_ISBYREF(v)) {
        return S_OK;
    }
    if (V_ISARRAY(v)) {
        return SafeArrayDestroy(V_ARRAY(v));
    }
    switch (V_VT(v)) {
    case VT_BSTR:
        SysFreeString(V_BSTR(v));
        return S_OK;
    case VT_UNKNOWN:
    case VT_DISPATCH:
        if (V_UNKNOWN(v)) {
            V_UNKNOWN(v)->Release();
        }
        return S_OK;
    default:
        return S_OK;
    }
}

// Gives the shallow copy in dest its own strings, arrays and references.
HRESULT DeepenCopy(VARIANTARG* dest, const VARIANTARG* src)
{
    if (V_ISBYREF(src)) {
        return S_OK;
    }
    if (V_ISARRAY(src)) {
        return SafeArrayCopy(V_ARRAY(src), &V_ARRAY(dest));
    }
    switch (V_VT(src)) {
    case VT_BSTR:
        if (!V_BSTR(src)) {
            return S_OK;
        }
        V_BSTR(dest) = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(V_BSTR(src)), SysStringByteLen(V_BSTR(src)));
        return V_BSTR(dest) ? S_OK : E_OUTOFMEMORY;
    case VT_UNKNOWN:
    case VT_DISPATCH:
        if (V_UNKNOWN(src)) {
            V_UNKNOWN(src)->AddRef();
        }
        return S_OK;
    case VT_RECORD:
        // Records are not used here: copying one would need IRecordInfo.
        return DISP_E_BADVARTYPE;
    default:
        return S_OK;
    }
}

} // namespace

extern "C" void VariantInit(VARIANTARG* variant)
{
    V_VT(variant) = VT_EMPTY;
    variant->wReserved1 = variant->wReserved2 = variant->wReserved3 = 0;
}

extern "C" HRESULT VariantClear(VARIANTARG* variant)
{
    if (!variant) {
        return E_INVALIDARG;
    }
    HRESULT hr = ValidateVariantType(V_VT(variant));
    if (FAILED(hr)) {
        return hr;
    }
    hr = ReleaseContents(variant);
    if (FAILED(hr)) {
        return hr;
    }
    V_VT(variant) = VT_EMPTY;
    return S_OK;
}

extern "C" HRESULT VariantCopy(VARIANTARG* destination, VARIANTARG* source)
{
    if (!destination || !source) {
        return E_INVALIDARG;
    }
    if ((V_VT(source) & VT_TYPEMASK) == VT_CLSID || FAILED(ValidateVariantType(V_VT(source)))) {
        return DISP_E_BADVARTYPE;
    }
    if (destination == source) {
        return S_OK;
    }
    HRESULT hr = VariantClear(destination);
    if (FAILED(hr)) {
        return hr;
    }
    VARIANTARG copy;
    std::memcpy(&copy, source, sizeof copy);
    hr = DeepenCopy(&copy, source);
    if (FAILED(hr)) {
        return hr;
    }
    std::memcpy(destination, &copy, sizeof copy);
    return S_OK;
}

extern "C" HRESULT VariantCopyInd(VARIANT* destination, VARIANTARG* source)
{
    if (!destination || !source) {
        return E_INVALIDARG;
    }
    if (!V_ISBYREF(source)) {
        return VariantCopy(destination, source);
    }
    HRESULT hr = ValidateVariantType(V_VT(source));
    if (FAILED(hr)) {
        return hr;
    }
    if (!V_BYREF(source)) {
        return E_INVALIDARG;
    }

    // Build the by-value image of what the reference points at, then deep-copy it.
    const VARTYPE target = V_VT(source) & ~VT_BYREF;
    VARIANTARG image;
    VariantInit(&image);
    if (target == VT_VARIANT) {
        VARIANT* inner = V_VARIANTREF(source);
        if (V_VT(inner) == (VT_BYREF | VT_VARIANT)) {
            return E_INVALIDARG;
        }
        std::memcpy(&image, inner, sizeof image);
    } else {
        V_VT(&image) = target;
        const void* ref = V_BYREF(source);
        if (target & VT_ARRAY) {
            V_ARRAY(&image) = *static_cast<SAFEARRAY* const*>(ref);
        } else if (target == VT_DECIMAL) {
            // The DECIMAL overlays the whole variant, its type code included.
            std::memcpy(&image.decVal, ref, sizeof(DECIMAL));
            V_VT(&image) = VT_DECIMAL;
        } else {
            // Every number, string and interface member starts where llVal does.
            const ULONG size = ValueSize(target);
            if (size == 0) {
                return DISP_E_BADVARTYPE;
            }
            std::memcpy(&image.llVal, ref, size);
        }
    }
    // pvarDest may be the source itself: copy into a temporary first.
    VARIANTARG copy;
    VariantInit(&copy);
    hr = VariantCopy(&copy, &image);
    if (FAILED(hr)) {
        return hr;
    }
    hr = VariantClear(destination);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    std::memcpy(destination, &copy, sizeof copy);
    return S_OK;
}
