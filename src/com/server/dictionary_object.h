// The Dictionary object: ISupportErrorInfo and the dual IDictionary over one ObjectState.
// Every member forwards to the core in one call; the object itself holds no store logic.
//
// Created plain, the object is its own controlling IUnknown (the IDictionary pointer).
// Created inside an aggregate, AddRef, Release and QueryInterface of both interfaces go to
// the outer object first; the aggregate calls the object's own table through
// FindInterface.
#pragma once

#include "com/server/korvo_interface.h"
#include "com/server/module_lock.h"
#include "platform/com_ptr.h"
#include "share/object_state.h"

namespace korvo::server {

class DictionaryObject final : public ISupportErrorInfo, public IDictionary {
public:
    // `outer` is the controlling IUnknown of an aggregate, null for a plain object.
    explicit DictionaryObject(IUnknown* outer) noexcept : outer_(outer) {}
    ~DictionaryObject() = default;
    DictionaryObject(const DictionaryObject&) = delete;
    DictionaryObject& operator=(const DictionaryObject&) = delete;

    // A plain object holding its first reference in `owner`.
    static HRESULT CreatePlain(ComPtr<IUnknown>& owner) noexcept;

    // The object that answers AddRef, Release and the object's identity: itself or the outer one.
    virtual IUnknown* ControllingUnknown() noexcept;

    // Aggregates the free-threaded marshaller under the controlling IUnknown.
    HRESULT AggregateMarshaller() noexcept;

    // The interface table: IUnknown, IDictionary, IDispatch, ISupportErrorInfo, IMarshal.
    HRESULT FindInterface(REFIID iid, void** result) noexcept;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** result) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

    // IDictionary
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** pVal) override;
    HRESULT STDMETHODCALLTYPE putref_Item(BSTR Key, VARIANT* newVal) override;
    HRESULT STDMETHODCALLTYPE put_Item(BSTR Key, VARIANT* newVal) override;
    HRESULT STDMETHODCALLTYPE get_Item(BSTR Key, VARIANT* newVal) override;
    HRESULT STDMETHODCALLTYPE Add(BSTR Key, VARIANT* Item) override;
    HRESULT STDMETHODCALLTYPE Remove(BSTR Key, LONG ItemPos) override;
    HRESULT STDMETHODCALLTYPE RemoveAll(BSTR Pattern) override;
    HRESULT STDMETHODCALLTYPE Exists(BSTR Key, VARIANT_BOOL* Out) override;
    HRESULT STDMETHODCALLTYPE get_ItemsCount(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_KeysCount(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_Count(BSTR Key, LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_Items(VARIANT* pVal) override;
    HRESULT STDMETHODCALLTYPE get_Keys(VARIANT* pVal) override;
    HRESULT STDMETHODCALLTYPE Connect(BSTR DictionaryName, BSTR ServerName) override;
    HRESULT STDMETHODCALLTYPE Lock(LONG TimeOut, LONG* Result) override;
    HRESULT STDMETHODCALLTYPE UnLock() override;
    HRESULT STDMETHODCALLTYPE get_UniqueKeys(VARIANT_BOOL* pVal) override;
    HRESULT STDMETHODCALLTYPE put_UniqueKeys(VARIANT_BOOL pVal) override;
    HRESULT STDMETHODCALLTYPE put_Key(BSTR Key, BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE put_CompareMode(CompareMethod pcomp) override;
    HRESULT STDMETHODCALLTYPE get_CompareMode(CompareMethod* pcomp) override;
    HRESULT STDMETHODCALLTYPE Save(BSTR FileName, VARIANT_BOOL SaveEmpty, BSTR Pattern) override;
    HRESULT STDMETHODCALLTYPE Load(BSTR FileName, BSTR Pattern) override;
    HRESULT STDMETHODCALLTYPE DisConnect() override;
    HRESULT STDMETHODCALLTYPE get_RefCounter(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_DebugInfo(BSTR* pVal) override;

private:
    // Destroyed last, so the module stays counted until the store is gone.
    ModuleLock moduleLock_;
    IUnknown* const outer_;
    LONG referenceCount_ = 0;
    ObjectState state_;
    // Released first at final release.
    ComPtr<IUnknown> marshaller_;
};

} // namespace korvo::server
