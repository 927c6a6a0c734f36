#include "com/server/dictionary_object.h"

#include <memory>
#include <new>

#include "com/identifiers.h"
#include "com/server/dictionary_dispatch.h"
#include "persist/load.h"
#include "persist/remove_all.h"
#include "persist/save.h"
#include "share/connection.h"
#include "share/item_enumerator.h"
#include "share/lock.h"
#include "store/item_operations.h"
#include "store/key_operations.h"

namespace korvo::server {

HRESULT DictionaryObject::CreatePlain(ComPtr<IUnknown>& owner) noexcept
{
    std::unique_ptr<DictionaryObject> object(new (std::nothrow) DictionaryObject(nullptr));
    if (!object) {
        return E_OUTOFMEMORY;
    }
    DictionaryObject* created = object.get();
    // From here the reference count owns the object: releasing `owner` destroys it.
    owner = ComPtr<IUnknown>(static_cast<IDictionary*>(object.release()));
    return created->AggregateMarshaller();
}

IUnknown* DictionaryObject::ControllingUnknown() noexcept
{
    return outer_ != nullptr ? outer_ : static_cast<IDictionary*>(this);
}

HRESULT DictionaryObject::AggregateMarshaller() noexcept
{
    return CoCreateFreeThreadedMarshaler(ControllingUnknown(), marshaller_.put());
}

HRESULT DictionaryObject::FindInterface(REFIID iid, void** result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIidIDictionary) || IsEqualIID(iid, IID_IDispatch)) {
        *result = static_cast<IDictionary*>(this);
    } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
        *result = static_cast<ISupportErrorInfo*>(this);
    } else if (IsEqualIID(iid, IID_IMarshal)) {
        return marshaller_ ? marshaller_->QueryInterface(iid, result) : E_NOINTERFACE;
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DictionaryObject::QueryInterface(REFIID iid, void** result)
{
    if (outer_ != nullptr && result != nullptr && SUCCEEDED(outer_->QueryInterface(iid, result))) {
        return S_OK;
    }
    return FindInterface(iid, result);
}

ULONG STDMETHODCALLTYPE DictionaryObject::AddRef()
{
    if (outer_ != nullptr) {
        return outer_->AddRef();
    }
    return static_cast<ULONG>(InterlockedIncrement(&referenceCount_));
}

ULONG STDMETHODCALLTYPE DictionaryObject::Release()
{
    if (outer_ != nullptr) {
        return outer_->Release();
    }
    const LONG remaining = InterlockedDecrement(&referenceCount_);
    if (remaining == 0) {
        // Calls made while the object is destroyed must not destroy it a second time.
        referenceCount_ = 1;
        std::unique_ptr<DictionaryObject> finalRelease(this);
    }
    return static_cast<ULONG>(remaining);
}

HRESULT STDMETHODCALLTYPE DictionaryObject::InterfaceSupportsErrorInfo(REFIID iid)
{
    return IsEqualIID(iid, kIidIDictionary) ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE DictionaryObject::GetTypeInfoCount(UINT* count)
{
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DictionaryObject::GetTypeInfo(UINT, LCID locale, ITypeInfo** result)
{
    return GetDictionaryTypeInfo(locale, result);
}

HRESULT STDMETHODCALLTYPE DictionaryObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount, LCID locale,
                                                          DISPID* ids)
{
    return DictionaryIdsOfNames(iid, names, nameCount, locale, ids);
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                                   UINT* argumentError)
{
    return InvokeDictionary(static_cast<IDictionary*>(this), id, iid, locale, flags, params, result, exception,
                            argumentError);
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get__NewEnum(IUnknown** pVal) { return share::NewEnum(state_, pVal); }

HRESULT STDMETHODCALLTYPE DictionaryObject::putref_Item(BSTR Key, VARIANT* newVal)
{
    return store::PutItem(state_, Key, newVal);
}

HRESULT STDMETHODCALLTYPE DictionaryObject::put_Item(BSTR Key, VARIANT* newVal)
{
    return store::PutItem(state_, Key, newVal);
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_Item(BSTR Key, VARIANT* newVal)
{
    return store::GetItem(state_, Key, newVal);
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Add(BSTR Key, VARIANT* Item) { return store::Add(state_, Key, Item); }

HRESULT STDMETHODCALLTYPE DictionaryObject::Remove(BSTR Key, LONG ItemPos)
{
    return store::Remove(state_, Key, ItemPos);
}

HRESULT STDMETHODCALLTYPE DictionaryObject::RemoveAll(BSTR Pattern) { return persist::RemoveAll(state_, Pattern); }

HRESULT STDMETHODCALLTYPE DictionaryObject::Exists(BSTR Key, VARIANT_BOOL* Out)
{
    return store::Exists(state_, Key, Out);
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_ItemsCount(LONG* pVal) { return store::ItemsCount(state_, pVal); }

HRESULT STDMETHODCALLTYPE DictionaryObject::get_KeysCount(LONG* pVal) { return store::KeysCount(state_, pVal); }

HRESULT STDMETHODCALLTYPE DictionaryObject::get_Count(BSTR Key, LONG* pVal) { return store::Count(state_, Key, pVal); }

HRESULT STDMETHODCALLTYPE DictionaryObject::get_Items(VARIANT* pVal) { return store::Items(state_, pVal); }

HRESULT STDMETHODCALLTYPE DictionaryObject::get_Keys(VARIANT* pVal) { return store::Keys(state_, pVal); }

HRESULT STDMETHODCALLTYPE DictionaryObject::Connect(BSTR DictionaryName, BSTR ServerName)
{
    return share::Connect(state_, DictionaryName, ServerName);
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Lock(LONG TimeOut, LONG* Result)
{
    return share::Lock(state_, TimeOut, Result);
}

HRESULT STDMETHODCALLTYPE DictionaryObject::UnLock() { return share::UnLock(state_); }

HRESULT STDMETHODCALLTYPE DictionaryObject::get_UniqueKeys(VARIANT_BOOL* pVal)
{
    return store::GetUniqueKeys(state_, pVal);
}

HRESULT STDMETHODCALLTYPE DictionaryObject::put_UniqueKeys(VARIANT_BOOL pVal)
{
    return store::PutUniqueKeys(state_, pVal);
}

HRESULT STDMETHODCALLTYPE DictionaryObject::put_Key(BSTR Key, BSTR newVal)
{
    return store::PutKey(state_, Key, newVal);
}

HRESULT STDMETHODCALLTYPE DictionaryObject::put_CompareMode(CompareMethod pcomp)
{
    return store::PutCompareMode(static_cast<LONG>(pcomp));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_CompareMode(CompareMethod* pcomp)
{
    // CompareMethod is a 32-bit enumeration with the values of the core's LONG mode.
    static_assert(sizeof(CompareMethod) == sizeof(LONG));
    return store::GetCompareMode(reinterpret_cast<LONG*>(pcomp));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Save(BSTR FileName, VARIANT_BOOL SaveEmpty, BSTR Pattern)
{
    return persist::Save(state_, FileName, SaveEmpty, Pattern);
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Load(BSTR FileName, BSTR Pattern)
{
    return persist::Load(state_, FileName, Pattern);
}

HRESULT STDMETHODCALLTYPE DictionaryObject::DisConnect() { return share::DisConnect(state_); }

HRESULT STDMETHODCALLTYPE DictionaryObject::get_RefCounter(LONG* pVal) { return share::RefCounter(state_, pVal); }

HRESULT STDMETHODCALLTYPE DictionaryObject::get_DebugInfo(BSTR* pVal) { return share::DebugInfo(state_, pVal); }

} // namespace korvo::server
