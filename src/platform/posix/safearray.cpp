// One-dimensional safe arrays. Each array is one block: a small header holding the element
// type (where Windows keeps it, just in front of the descriptor), the descriptor, and the
// elements.
#include "allocation.h"
#include "oleauto.h"
#include "variant_type.h"

#include <cstring>
#include <new>

namespace {

using korvo::posix::RuntimeAlloc;
using korvo::posix::RuntimeFree;

constexpr std::size_t kHeaderBytes = 16;
constexpr ULONG kMaxLocks = 0xFFFF;

USHORT FeaturesOf(VARTYPE vt)
{
    switch (vt) {
    case VT_BSTR:
        return FADF_BSTR;
    case VT_UNKNOWN:
        return FADF_UNKNOWN;
    case VT_DISPATCH:
        return FADF_DISPATCH;
    case VT_VARIANT:
        return FADF_VARIANT;
    default:
        return 0;
    }
}

VARTYPE& StoredType(SAFEARRAY* array)
{
    return *reinterpret_cast<VARTYPE*>(reinterpret_cast<unsigned char*>(array) - 4);
}

unsigned char* BlockOf(SAFEARRAY* array)
{
    return reinterpret_cast<unsigned char*>(array) - kHeaderBytes;
}

ULONG CountOf(const SAFEARRAY* array)
{
    return array->rgsabound[0].cElements;
}

SAFEARRAY* AllocateVector(VARTYPE vt, LONG lowerBound, ULONG count)
{
    const ULONG size = korvo::posix::ValueSize(vt);
    if (size == 0) {
        return nullptr;
    }
    const unsigned long long dataBytes = static_cast<unsigned long long>(size) * count;
    if (dataBytes > 0x7FFFFFFFull) {
        return nullptr;
    }
    auto* block = static_cast<unsigned char*>(RuntimeAlloc(kHeaderBytes + sizeof(SAFEARRAY) + dataBytes));
    if (!block) {
        return nullptr;
    }
    std::memset(block, 0, kHeaderBytes + sizeof(SAFEARRAY) + dataBytes);
    auto* array = new (block + kHeaderBytes) SAFEARRAY{};
    StoredType(array) = vt;
    array->cDims = 1;
    array->fFeatures = FADF_HAVEVARTYPE | FADF_CREATEVECTOR | FeaturesOf(vt);
    array->cbElements = size;
    array->cLocks = 0;
    array->pvData = block + kHeaderBytes + sizeof(SAFEARRAY);
    array->rgsabound[0] = {count, lowerBound};
    return array;
}

void* ElementAt(SAFEARRAY* array, ULONG offset)
{
    return static_cast<unsigned char*>(array->pvData) + offset * array->cbElements;
}

void ClearElements(SAFEARRAY* array)
{
    for (ULONG i = 0; i < CountOf(array); ++i) {
        void* element = ElementAt(array, i);
        if (array->fFeatures & FADF_VARIANT) {
            VariantClear(static_cast<VARIANT*>(element));
        } else if (array->fFeatures & FADF_BSTR) {
            SysFreeString(*static_cast<BSTR*>(element));
        } else if (array->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
            if (auto* unk = *static_cast<IUnknown**>(element)) {
                unk->Release();
            }
        }
        std::memset(element, 0, array->cbElements);
    }
}

// Copies one element into an element slot that holds nothing.
HRESULT CopyElement(const SAFEARRAY* array, void* dest, const void* src)
{
    if (array->fFeatures & FADF_VARIANT) {
        auto* v = static_cast<VARIANT*>(dest);
        VariantInit(v);
        return VariantCopy(v, static_cast<VARIANT*>(const_cast<void*>(src)));
    }
    if (array->fFeatures & FADF_BSTR) {
        BSTR s = *static_cast<const BSTR*>(src);
        BSTR copy = nullptr;
        if (s) {
            copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(s), SysStringByteLen(s));
            if (!copy) {
                return E_OUTOFMEMORY;
            }
        }
        *static_cast<BSTR*>(dest) = copy;
        return S_OK;
    }
    if (array->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        auto* unk = *static_cast<IUnknown* const*>(src);
        if (unk) {
            unk->AddRef();
        }
        *static_cast<IUnknown**>(dest) = unk;
        return S_OK;
    }
    std::memcpy(dest, src, array->cbElements);
    return S_OK;
}

// The element offset of an index, or DISP_E_BADINDEX.
HRESULT OffsetOf(const SAFEARRAY* array, const LONG* indices, ULONG* offset)
{
    const long long relative = static_cast<long long>(indices[0]) - array->rgsabound[0].lLbound;
    if (relative < 0 || relative >= static_cast<long long>(CountOf(array))) {
        return DISP_E_BADINDEX;
    }
    *offset = static_cast<ULONG>(relative);
    return S_OK;
}

} // namespace

extern "C" SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG count)
{
    return AllocateVector(vt, lowerBound, count);
}

extern "C" HRESULT SafeArrayDestroy(SAFEARRAY* array)
{
    if (!array) {
        return S_OK;
    }
    if (array->cLocks > 0) {
        return DISP_E_ARRAYISLOCKED;
    }
    ClearElements(array);
    RuntimeFree(BlockOf(array));
    return S_OK;
}

extern "C" HRESULT SafeArrayCopy(SAFEARRAY* array, SAFEARRAY** out)
{
    if (!out) {
        return E_INVALIDARG;
    }
    *out = nullptr;
    if (!array) {
        return S_OK;
    }
    if (array->cbElements == 0 || array->cDims != 1) {
        return E_INVALIDARG;
    }
    SAFEARRAY* copy = AllocateVector(StoredType(array), array->rgsabound[0].lLbound, CountOf(array));
    if (!copy) {
        return E_OUTOFMEMORY;
    }
    for (ULONG i = 0; i < CountOf(array); ++i) {
        const HRESULT hr = CopyElement(array, ElementAt(copy, i), ElementAt(array, i));
        if (FAILED(hr)) {
            SafeArrayDestroy(copy);
            return hr;
        }
    }
    *out = copy;
    return S_OK;
}

extern "C" HRESULT SafeArrayLock(SAFEARRAY* array)
{
    if (!array) {
        return E_INVALIDARG;
    }
    if (array->cLocks >= kMaxLocks) {
        return E_UNEXPECTED;
    }
    ++array->cLocks;
    return S_OK;
}

extern "C" HRESULT SafeArrayUnlock(SAFEARRAY* array)
{
    if (!array) {
        return E_INVALIDARG;
    }
    if (array->cLocks == 0) {
        return E_UNEXPECTED;
    }
    --array->cLocks;
    return S_OK;
}

extern "C" HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data)
{
    if (!array || !data) {
        return E_INVALIDARG;
    }
    const HRESULT hr = SafeArrayLock(array);
    *data = SUCCEEDED(hr) ? array->pvData : nullptr;
    return hr;
}

extern "C" HRESULT SafeArrayUnaccessData(SAFEARRAY* array)
{
    return SafeArrayUnlock(array);
}

extern "C" HRESULT SafeArrayPutElement(SAFEARRAY* array, LONG* indices, void* value)
{
    if (!array || !indices) {
        return E_INVALIDARG;
    }
    ULONG offset = 0;
    HRESULT hr = OffsetOf(array, indices, &offset);
    if (FAILED(hr)) {
        return hr;
    }
    void* element = ElementAt(array, offset);
    if (array->fFeatures & FADF_VARIANT) {
        return VariantCopy(static_cast<VARIANT*>(element), static_cast<VARIANT*>(value));
    }
    if (array->fFeatures & FADF_BSTR) {
        auto* slot = static_cast<BSTR*>(element);
        auto source = static_cast<BSTR>(value);
        BSTR copy = nullptr;
        if (source) {
            copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source));
            if (!copy) {
                return E_OUTOFMEMORY;
            }
        }
        SysFreeString(*slot);
        *slot = copy;
        return S_OK;
    }
    if (array->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        auto* slot = static_cast<IUnknown**>(element);
        auto* source = static_cast<IUnknown*>(value);
        if (source) {
            source->AddRef();
        }
        if (*slot) {
            (*slot)->Release();
        }
        *slot = source;
        return S_OK;
    }
    if (!value) {
        return E_INVALIDARG;
    }
    std::memcpy(element, value, array->cbElements);
    return S_OK;
}

extern "C" HRESULT SafeArrayGetElement(SAFEARRAY* array, LONG* indices, void* value)
{
    if (!array || !indices || !value) {
        return E_INVALIDARG;
    }
    ULONG offset = 0;
    const HRESULT hr = OffsetOf(array, indices, &offset);
    if (FAILED(hr)) {
        return hr;
    }
    return CopyElement(array, value, ElementAt(array, offset));
}

extern "C" HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* lowerBound)
{
    if (!array || !lowerBound) {
        return E_INVALIDARG;
    }
    if (dimension != 1) {
        return DISP_E_BADINDEX;
    }
    *lowerBound = array->rgsabound[0].lLbound;
    return S_OK;
}

extern "C" HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* upperBound)
{
    if (!array || !upperBound) {
        return E_INVALIDARG;
    }
    if (dimension != 1) {
        return DISP_E_BADINDEX;
    }
    *upperBound = static_cast<LONG>(static_cast<long long>(array->rgsabound[0].lLbound) + CountOf(array) - 1);
    return S_OK;
}

extern "C" UINT SafeArrayGetDim(SAFEARRAY* array)
{
    return array ? array->cDims : 0;
}

extern "C" UINT SafeArrayGetElemsize(SAFEARRAY* array)
{
    return array ? array->cbElements : 0;
}

extern "C" HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* type)
{
    if (!array || !type) {
        return E_INVALIDARG;
    }
    *type = StoredType(array);
    return S_OK;
}
