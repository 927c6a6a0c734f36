#include "server/dictionary_object.h"

#include "members/enumeration.h"
#include "members/items.h"
#include "members/keys_and_modes.h"
#include "members/persistence.h"
#include "members/sharing.h"
#include "platform/failure_trace.h"
#include "server/dictionary_dispatch.h"

namespace korvo::server {

DictionaryObject::~DictionaryObject() = default;

HRESULT DictionaryObject::CreatePlain(ComPtr<IUnknown>& owner) noexcept
{
    ComPtr<DictionaryObject> object;
    if (const HRESULT made = MakeComObject(object, nullptr); FAILED(made)) {
        return made;
    }
    // From here the reference count owns the object: releasing `owner` destroys it.
    owner = ComPtr<IUnknown>(object->ControllingUnknown());
    return object->AggregateMarshaller();
}

HRESULT DictionaryObject::AggregateMarshaller() noexcept
{
    return CoCreateFreeThreadedMarshaler(ControllingUnknown(), marshaller_.put());
}

HRESULT DictionaryObject::QueryOtherInterface(REFIID iid, void** result) noexcept
{
    if (IsEqualIID(iid, IID_IMarshal) && marshaller_) {
        return marshaller_->QueryInterface(iid, result);
    }
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE DictionaryObject::InterfaceSupportsErrorInfo(REFIID iid) noexcept
{
    return IsEqualIID(iid, kIidIDictionary) ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE DictionaryObject::GetTypeInfoCount(UINT* count) noexcept
{
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DictionaryObject::GetTypeInfo(UINT, LCID locale, ITypeInfo** result) noexcept
{
    return KORVO_TRACED(GetDictionaryTypeInfo(locale, result));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount, LCID locale,
                                                          DISPID* ids) noexcept
{
    return KORVO_TRACED(DictionaryIdsOfNames(iid, names, nameCount, locale, ids));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError) noexcept
{
    return KORVO_TRACED(InvokeDictionary(static_cast<IDictionary*>(this), id, iid, locale, flags, params, result,
                                         exception, argumentError));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get__NewEnum(IUnknown** pVal) noexcept
{
    return KORVO_TRACED(members::NewEnum(state_, pVal));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::putref_Item(BSTR Key, VARIANT* newVal) noexcept
{
    return KORVO_TRACED(members::PutItem(state_, Key, newVal));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::put_Item(BSTR Key, VARIANT* newVal) noexcept
{
    return KORVO_TRACED(members::PutItem(state_, Key, newVal));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_Item(BSTR Key, VARIANT* newVal) noexcept
{
    return KORVO_TRACED(members::GetItem(state_, Key, newVal));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Add(BSTR Key, VARIANT* Item) noexcept
{
    return KORVO_TRACED(members::Add(state_, Key, Item));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Remove(BSTR Key, LONG ItemPos) noexcept
{
    return KORVO_TRACED(members::Remove(state_, Key, ItemPos));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::RemoveAll(BSTR Pattern) noexcept
{
    return KORVO_TRACED(members::RemoveAll(state_, Pattern));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Exists(BSTR Key, VARIANT_BOOL* Out) noexcept
{
    return KORVO_TRACED(members::Exists(state_, Key, Out));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_ItemsCount(LONG* pVal) noexcept
{
    return KORVO_TRACED(members::ItemsCount(state_, pVal));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_KeysCount(LONG* pVal) noexcept
{
    return KORVO_TRACED(members::KeysCount(state_, pVal));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_Count(BSTR Key, LONG* pVal) noexcept
{
    return KORVO_TRACED(members::Count(state_, Key, pVal));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_Items(VARIANT* pVal) noexcept
{
    return KORVO_TRACED(members::Items(state_, pVal));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_Keys(VARIANT* pVal) noexcept
{
    return KORVO_TRACED(members::Keys(state_, pVal));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Connect(BSTR DictionaryName, BSTR ServerName) noexcept
{
    return KORVO_TRACED(members::Connect(state_, DictionaryName, ServerName));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Lock(LONG TimeOut, LONG* Result) noexcept
{
    return KORVO_TRACED(members::Lock(state_, TimeOut, Result));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::UnLock() noexcept
{
    return KORVO_TRACED(members::UnLock(state_));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_UniqueKeys(VARIANT_BOOL* pVal) noexcept
{
    return KORVO_TRACED(members::GetUniqueKeys(state_, pVal));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::put_UniqueKeys(VARIANT_BOOL pVal) noexcept
{
    return KORVO_TRACED(members::PutUniqueKeys(state_, pVal));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::put_Key(BSTR Key, BSTR newVal) noexcept
{
    return KORVO_TRACED(members::PutKey(state_, Key, newVal));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::put_CompareMode(CompareMethod pcomp) noexcept
{
    return KORVO_TRACED(members::PutCompareMode(static_cast<LONG>(pcomp)));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_CompareMode(CompareMethod* pcomp) noexcept
{
    // CompareMethod is a 32-bit enumeration with the values of the core's LONG mode.
    static_assert(sizeof(CompareMethod) == sizeof(LONG));
    return KORVO_TRACED(members::GetCompareMode(reinterpret_cast<LONG*>(pcomp)));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Save(BSTR FileName, VARIANT_BOOL SaveEmpty, BSTR Pattern) noexcept
{
    return KORVO_TRACED(members::Save(state_, FileName, SaveEmpty, Pattern));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Load(BSTR FileName, BSTR Pattern) noexcept
{
    return KORVO_TRACED(members::Load(state_, FileName, Pattern));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::DisConnect() noexcept
{
    return KORVO_TRACED(members::DisConnect(state_));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_RefCounter(LONG* pVal) noexcept
{
    return KORVO_TRACED(members::RefCounter(state_, pVal));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_DebugInfo(BSTR* pVal) noexcept
{
    return KORVO_TRACED(members::DebugInfo(state_, pVal));
}

} // namespace korvo::server
