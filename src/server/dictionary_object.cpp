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

HRESULT STDMETHODCALLTYPE DictionaryObject::get__NewEnum(IUnknown** out) noexcept
{
    return KORVO_TRACED(members::NewEnum(state_, out));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::putref_Item(BSTR key, VARIANT* newVal) noexcept
{
    return KORVO_TRACED(members::PutItem(state_, key, newVal));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::put_Item(BSTR key, VARIANT* newVal) noexcept
{
    return KORVO_TRACED(members::PutItem(state_, key, newVal));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_Item(BSTR key, VARIANT* newVal) noexcept
{
    return KORVO_TRACED(members::GetItem(state_, key, newVal));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Add(BSTR key, VARIANT* item) noexcept
{
    return KORVO_TRACED(members::Add(state_, key, item));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Remove(BSTR key, LONG itemPos) noexcept
{
    return KORVO_TRACED(members::Remove(state_, key, itemPos));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::RemoveAll(BSTR pattern) noexcept
{
    return KORVO_TRACED(members::RemoveAll(state_, pattern));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Exists(BSTR key, VARIANT_BOOL* out) noexcept
{
    return KORVO_TRACED(members::Exists(state_, key, out));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_ItemsCount(LONG* out) noexcept
{
    return KORVO_TRACED(members::ItemsCount(state_, out));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_KeysCount(LONG* out) noexcept
{
    return KORVO_TRACED(members::KeysCount(state_, out));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_Count(BSTR key, LONG* out) noexcept
{
    return KORVO_TRACED(members::Count(state_, key, out));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_Items(VARIANT* out) noexcept
{
    return KORVO_TRACED(members::Items(state_, out));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_Keys(VARIANT* out) noexcept
{
    return KORVO_TRACED(members::Keys(state_, out));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Connect(BSTR dictionaryName, BSTR serverName) noexcept
{
    return KORVO_TRACED(members::Connect(state_, dictionaryName, serverName));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Lock(LONG timeOut, LONG* result) noexcept
{
    return KORVO_TRACED(members::Lock(state_, timeOut, result));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::UnLock() noexcept
{
    return KORVO_TRACED(members::UnLock(state_));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_UniqueKeys(VARIANT_BOOL* out) noexcept
{
    return KORVO_TRACED(members::GetUniqueKeys(state_, out));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::put_UniqueKeys(VARIANT_BOOL out) noexcept
{
    return KORVO_TRACED(members::PutUniqueKeys(state_, out));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::put_Key(BSTR key, BSTR newVal) noexcept
{
    return KORVO_TRACED(members::PutKey(state_, key, newVal));
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

HRESULT STDMETHODCALLTYPE DictionaryObject::Save(BSTR fileName, VARIANT_BOOL saveEmpty, BSTR pattern) noexcept
{
    return KORVO_TRACED(members::Save(state_, fileName, saveEmpty, pattern));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::Load(BSTR fileName, BSTR pattern) noexcept
{
    return KORVO_TRACED(members::Load(state_, fileName, pattern));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::DisConnect() noexcept
{
    return KORVO_TRACED(members::DisConnect(state_));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_RefCounter(LONG* out) noexcept
{
    return KORVO_TRACED(members::RefCounter(state_, out));
}

HRESULT STDMETHODCALLTYPE DictionaryObject::get_DebugInfo(BSTR* out) noexcept
{
    return KORVO_TRACED(members::DebugInfo(state_, out));
}

} // namespace korvo::server
