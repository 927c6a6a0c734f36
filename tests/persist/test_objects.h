// A small automation object whose default property (DISPID_VALUE) is a string, counting its
// references so that tests can see when the store lets it go.
#pragma once

#include "platform/platform.h"

namespace korvo::testing {

class DefaultValueObject final : public IDispatch {
public:
    explicit DefaultValueObject(const OLECHAR* value) : value_(value) {}

    ULONG references() const { return references_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    // Lives on the test's stack: the count only shows who still holds it.
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) override
    {
        if (member != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET) || !result)
            return DISP_E_MEMBERNOTFOUND;
        VariantInit(result);
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocString(value_);
        return V_BSTR(result) ? S_OK : E_OUTOFMEMORY;
    }

private:
    const OLECHAR* value_;
    ULONG references_ = 1;
};

} // namespace korvo::testing
