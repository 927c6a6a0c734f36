// One-dimensional safe arrays. Each array is one block: a small header holding the element
// type (where Windows keeps it, just in front of the descriptor), the descriptor, and the
// elements.
#include "allocation.h"
#include "oleauto.h"

#include <cstring>
#include <new>

namespace {

using korvo::posix::RuntimeAlloc;
using korvo::posix::RuntimeFree;

constexpr std::size_t kHeaderBytes = 16;
constexpr ULONG kMaxLocks = 0xFFFF;

ULONG ElementSize(VARTYPE vt)
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

VARTYPE& StoredType(SAFEARRAY* psa)
{
    return *reinterpret_cast<VARTYPE*>(reinterpret_cast<unsigned char*>(psa) - 4);
}

unsigned char* BlockOf(SAFEARRAY* psa)
{
    return reinterpret_cast<unsigned char*>(psa) - kHeaderBytes;
}

ULONG CountOf(const SAFEARRAY* psa)
{
    return psa->rgsabound[0].cElements;
}

SAFEARRAY* AllocateVector(VARTYPE vt, LONG lLbound, ULONG cElements)
{
    const ULONG size = ElementSize(vt);
    if (size == 0)
        return nullptr;
    const unsigned long long dataBytes = static_cast<unsigned long long>(size) * cElements;
    if (dataBytes > 0x7FFFFFFFull)
        return nullptr;
    auto* block = static_cast<unsigned char*>(RuntimeAlloc(kHeaderBytes + sizeof(SAFEARRAY) + dataBytes));
    if (!block)
        return nullptr;
    std::memset(block, 0, kHeaderBytes + sizeof(SAFEARRAY) + dataBytes);
    auto* psa = new (block + kHeaderBytes) SAFEARRAY{};
    StoredType(psa) = vt;
    psa->cDims = 1;
    psa->fFeatures = FADF_HAVEVARTYPE | FADF_CREATEVECTOR | FeaturesOf(vt);
    psa->cbElements = size;
    psa->cLocks = 0;
    psa->pvData = block + kHeaderBytes + sizeof(SAFEARRAY);
    psa->rgsabound[0] = {cElements, lLbound};
    return psa;
}

void* ElementAt(SAFEARRAY* psa, ULONG offset)
{
    return static_cast<unsigned char*>(psa->pvData) + offset * psa->cbElements;
}

void ClearElements(SAFEARRAY* psa)
{
    for (ULONG i = 0; i < CountOf(psa); ++i) {
        void* element = ElementAt(psa, i);
        if (psa->fFeatures & FADF_VARIANT) {
            VariantClear(static_cast<VARIANT*>(element));
        } else if (psa->fFeatures & FADF_BSTR) {
            SysFreeString(*static_cast<BSTR*>(element));
        } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
            if (auto* unk = *static_cast<IUnknown**>(element))
                unk->Release();
        }
        std::memset(element, 0, psa->cbElements);
    }
}

// Copies one element into an element slot that holds nothing.
HRESULT CopyElement(const SAFEARRAY* psa, void* dest, const void* src)
{
    if (psa->fFeatures & FADF_VARIANT) {
        auto* v = static_cast<VARIANT*>(dest);
        VariantInit(v);
        return VariantCopy(v, static_cast<VARIANT*>(const_cast<void*>(src)));
    }
    if (psa->fFeatures & FADF_BSTR) {
        BSTR s = *static_cast<const BSTR*>(src);
        BSTR copy = nullptr;
        if (s) {
            copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(s), SysStringByteLen(s));
            if (!copy)
                return E_OUTOFMEMORY;
        }
        *static_cast<BSTR*>(dest) = copy;
        return S_OK;
    }
    if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        auto* unk = *static_cast<IUnknown* const*>(src);
        if (unk)
            unk->AddRef();
        *static_cast<IUnknown**>(dest) = unk;
        return S_OK;
    }
    std::memcpy(dest, src, psa->cbElements);
    return S_OK;
}

// The element offset of an index, or DISP_E_BADINDEX.
HRESULT OffsetOf(const SAFEARRAY* psa, const LONG* rgIndices, ULONG* offset)
{
    const long long relative = static_cast<long long>(rgIndices[0]) - psa->rgsabound[0].lLbound;
    if (relative < 0 || relative >= static_cast<long long>(CountOf(psa)))
        return DISP_E_BADINDEX;
    *offset = static_cast<ULONG>(relative);
    return S_OK;
}

} // namespace

extern "C" SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements)
{
    return AllocateVector(vt, lLbound, cElements);
}

extern "C" HRESULT SafeArrayDestroy(SAFEARRAY* psa)
{
    if (!psa)
        return S_OK;
    if (psa->cLocks > 0)
        return DISP_E_ARRAYISLOCKED;
    ClearElements(psa);
    RuntimeFree(BlockOf(psa));
    return S_OK;
}

extern "C" HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut)
{
    if (!ppsaOut)
        return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (!psa)
        return S_OK;
    if (psa->cbElements == 0 || psa->cDims != 1)
        return E_INVALIDARG;
    SAFEARRAY* copy = AllocateVector(StoredType(psa), psa->rgsabound[0].lLbound, CountOf(psa));
    if (!copy)
        return E_OUTOFMEMORY;
    for (ULONG i = 0; i < CountOf(psa); ++i) {
        const HRESULT hr = CopyElement(psa, ElementAt(copy, i), ElementAt(psa, i));
        if (FAILED(hr)) {
            SafeArrayDestroy(copy);
            return hr;
        }
    }
    *ppsaOut = copy;
    return S_OK;
}

extern "C" HRESULT SafeArrayLock(SAFEARRAY* psa)
{
    if (!psa)
        return E_INVALIDARG;
    if (psa->cLocks >= kMaxLocks)
        return E_UNEXPECTED;
    ++psa->cLocks;
    return S_OK;
}

extern "C" HRESULT SafeArrayUnlock(SAFEARRAY* psa)
{
    if (!psa)
        return E_INVALIDARG;
    if (psa->cLocks == 0)
        return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

extern "C" HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData)
{
    if (!psa || !ppvData)
        return E_INVALIDARG;
    const HRESULT hr = SafeArrayLock(psa);
    *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
    return hr;
}

extern "C" HRESULT SafeArrayUnaccessData(SAFEARRAY* psa)
{
    return SafeArrayUnlock(psa);
}

extern "C" HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv)
{
    if (!psa || !rgIndices)
        return E_INVALIDARG;
    ULONG offset = 0;
    HRESULT hr = OffsetOf(psa, rgIndices, &offset);
    if (FAILED(hr))
        return hr;
    void* element = ElementAt(psa, offset);
    if (psa->fFeatures & FADF_VARIANT)
        return VariantCopy(static_cast<VARIANT*>(element), static_cast<VARIANT*>(pv));
    if (psa->fFeatures & FADF_BSTR) {
        auto* slot = static_cast<BSTR*>(element);
        auto source = static_cast<BSTR>(pv);
        BSTR copy = nullptr;
        if (source) {
            copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source));
            if (!copy)
                return E_OUTOFMEMORY;
        }
        SysFreeString(*slot);
        *slot = copy;
        return S_OK;
    }
    if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        auto* slot = static_cast<IUnknown**>(element);
        auto* source = static_cast<IUnknown*>(pv);
        if (source)
            source->AddRef();
        if (*slot)
            (*slot)->Release();
        *slot = source;
        return S_OK;
    }
    if (!pv)
        return E_INVALIDARG;
    std::memcpy(element, pv, psa->cbElements);
    return S_OK;
}

extern "C" HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv)
{
    if (!psa || !rgIndices || !pv)
        return E_INVALIDARG;
    ULONG offset = 0;
    const HRESULT hr = OffsetOf(psa, rgIndices, &offset);
    if (FAILED(hr))
        return hr;
    return CopyElement(psa, pv, ElementAt(psa, offset));
}

extern "C" HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound)
{
    if (!psa || !plLbound)
        return E_INVALIDARG;
    if (nDim != 1)
        return DISP_E_BADINDEX;
    *plLbound = psa->rgsabound[0].lLbound;
    return S_OK;
}

extern "C" HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound)
{
    if (!psa || !plUbound)
        return E_INVALIDARG;
    if (nDim != 1)
        return DISP_E_BADINDEX;
    *plUbound = static_cast<LONG>(static_cast<long long>(psa->rgsabound[0].lLbound) + CountOf(psa) - 1);
    return S_OK;
}

extern "C" UINT SafeArrayGetDim(SAFEARRAY* psa)
{
    return psa ? psa->cDims : 0;
}

extern "C" UINT SafeArrayGetElemsize(SAFEARRAY* psa)
{
    return psa ? psa->cbElements : 0;
}

extern "C" HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt)
{
    if (!psa || !pvt)
        return E_INVALIDARG;
    *pvt = StoredType(psa);
    return S_OK;
}
