// A dispatch object for the tests: counts its references, answers IUnknown and IDispatch,
// and has a default property (DISPID_VALUE) whose value or failure the test sets. It lives
// on the test's stack: the last Release does not delete it, so a test can assert exactly
// how many references the code under test holds.
#pragma once

#include "platform/platform.h"

#include <atomic>

namespace korvo::testing {

class CountingObject final : public IDispatch {
public:
    CountingObject() { VariantInit(&defaultValue_); }
    // An object whose default property is `text`.
    explicit CountingObject(const OLECHAR* text) : CountingObject()
    {
        V_VT(&defaultValue_) = VT_BSTR;
        V_BSTR(&defaultValue_) = SysAllocString(text);
    }
    CountingObject(const CountingObject&) = delete;
    CountingObject& operator=(const CountingObject&) = delete;
    ~CountingObject() { VariantClear(&defaultValue_); }

    ULONG references() const { return references_.load(); }
    int defaultPropertyReads() const { return defaultPropertyReads_; }

    void SetDefaultValue(VARIANT& value) { VariantCopy(&defaultValue_, &value); }
    void FailDefaultProperty(HRESULT failure) { defaultFailure_ = failure; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) {
            return E_POINTER;
        }
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override
    {
        if (!pctinfo) {
            return E_POINTER;
        }
        *pctinfo = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override
    {
        if (member != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET)) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (params && params->cArgs != 0) {
            return DISP_E_BADPARAMCOUNT;
        }
        ++defaultPropertyReads_;
        if (FAILED(defaultFailure_)) {
            return defaultFailure_;
        }
        if (!result) {
            return S_OK;
        }
        return VariantCopy(result, &defaultValue_);
    }

private:
    std::atomic<ULONG> references_{1};
    int defaultPropertyReads_ = 0;
    HRESULT defaultFailure_ = S_OK;
    VARIANT defaultValue_;
};

} // namespace korvo::testing
