// The Dictionary object: the dual IDictionary and ISupportErrorInfo over one ObjectState.
// Every member forwards to the members layer in one call; the object itself holds no store
// logic.
//
// Created plain, the object is its own controlling IUnknown (the IDictionary pointer).
// Created inside an aggregate, AddRef, Release and QueryInterface of both interfaces go to
// the outer object first; the aggregate calls the object's own table through
// FindInterface.
#pragma once

#include "members/object_state.h"
#include "platform/com_ptr.h"
#include "server/korvo_interface.h"

namespace korvo::server {

class DictionaryObject final : public ComObject<DictionaryObject, Interfaces<IDictionary, ISupportErrorInfo>> {
public:
    // `outer` is the controlling IUnknown of an aggregate, null for a plain object.
    explicit DictionaryObject(IUnknown* outer) noexcept : ComObject(outer) {}
    ~DictionaryObject();

    // A plain object holding its first reference in `owner`.
    static HRESULT CreatePlain(ComPtr<IUnknown>& owner) noexcept;

    // Aggregates the free-threaded marshaller under the controlling IUnknown.
    HRESULT AggregateMarshaller() noexcept;

    // IMarshal, from the free-threaded marshaller.
    HRESULT QueryOtherInterface(REFIID iid, void** result) noexcept;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) noexcept override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** result) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount, LCID locale,
                                            DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) noexcept override;

    // IDictionary
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE putref_Item(BSTR key, VARIANT* newVal) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Item(BSTR key, VARIANT* newVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Item(BSTR key, VARIANT* newVal) noexcept override;
    HRESULT STDMETHODCALLTYPE Add(BSTR key, VARIANT* item) noexcept override;
    HRESULT STDMETHODCALLTYPE Remove(BSTR key, LONG itemPos) noexcept override;
    HRESULT STDMETHODCALLTYPE RemoveAll(BSTR pattern) noexcept override;
    HRESULT STDMETHODCALLTYPE Exists(BSTR key, VARIANT_BOOL* out) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ItemsCount(LONG* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_KeysCount(LONG* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Count(BSTR key, LONG* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Items(VARIANT* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Keys(VARIANT* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE Connect(BSTR dictionaryName, BSTR serverName) noexcept override;
    HRESULT STDMETHODCALLTYPE Lock(LONG timeOut, LONG* result) noexcept override;
    HRESULT STDMETHODCALLTYPE UnLock() noexcept override;
    HRESULT STDMETHODCALLTYPE get_UniqueKeys(VARIANT_BOOL* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE put_UniqueKeys(VARIANT_BOOL pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Key(BSTR key, BSTR newVal) noexcept override;
    HRESULT STDMETHODCALLTYPE put_CompareMode(CompareMethod pcomp) noexcept override;
    HRESULT STDMETHODCALLTYPE get_CompareMode(CompareMethod* pcomp) noexcept override;
    HRESULT STDMETHODCALLTYPE Save(BSTR fileName, VARIANT_BOOL saveEmpty, BSTR pattern) noexcept override;
    HRESULT STDMETHODCALLTYPE Load(BSTR fileName, BSTR pattern) noexcept override;
    HRESULT STDMETHODCALLTYPE DisConnect() noexcept override;
    HRESULT STDMETHODCALLTYPE get_RefCounter(LONG* pVal) noexcept override;
    HRESULT STDMETHODCALLTYPE get_DebugInfo(BSTR* pVal) noexcept override;

private:
    ObjectState state_;
    // Released first at final release.
    ComPtr<IUnknown> marshaller_;
};

} // namespace korvo::server
