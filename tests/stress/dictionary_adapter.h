// The stress driver's view of a Dictionary object, one set of calls over both builds: the
// COM object of Korvod.dll through its vtable on Windows, the members over an ObjectState
// natively. Each call returns the member's HRESULT.
#pragma once

#include <memory>
#include <string>

#include "platform/com_ptr.h"
#include "platform/platform.h"
#include "platform/unique_bstr.h"

#if defined(_WIN32)
#include "korvo.h"
#else
#include "members/enumeration.h"
#include "members/items.h"
#include "members/keys_and_modes.h"
#include "members/persistence.h"
#include "members/sharing.h"
#endif

namespace korvo::stress {

using Text = std::basic_string<OLECHAR>;

inline Text ToText(const std::string& ascii)
{
    return Text(ascii.begin(), ascii.end());
}

// A BSTR for the length of one call.
class Arg {
public:
    explicit Arg(const Text& text) : value_(UniqueBstr::CopyOf(text.data(), static_cast<UINT>(text.size()))) {}
    explicit Arg(const std::string& ascii) : Arg(ToText(ascii)) {}
    operator BSTR() const { return value_.get(); }

private:
    UniqueBstr value_;
};

// Module start and stop, and the unload question, for the whole process.
bool StartModule();
void StopModule();
bool ModuleCanUnload();
// Per thread: COM for the threads of a Windows client.
void EnterThread();
void LeaveThread();

#if defined(_WIN32)

class Dictionary {
public:
    // A new object; empty when it cannot be made.
    static std::shared_ptr<Dictionary> Create();
    explicit Dictionary(ComPtr<IDictionary> object) : object_(std::move(object)) {}

    HRESULT Connect(const std::string& name) { return object_->Connect(Arg(name), nullptr); }
    HRESULT Add(const std::string& key, VARIANT& item) { return object_->Add(Arg(key), &item); }
    HRESULT PutItem(const std::string& key, VARIANT& item) { return object_->put_Item(Arg(key), &item); }
    HRESULT GetItem(const std::string& key, VARIANT& item) { return object_->get_Item(Arg(key), &item); }
    HRESULT Exists(const std::string& key, VARIANT_BOOL& found) { return object_->Exists(Arg(key), &found); }
    HRESULT Remove(const std::string& key) { return object_->Remove(Arg(key), 0); }
    HRESULT RemoveAll(const std::string& pattern) { return object_->RemoveAll(Arg(pattern)); }
    HRESULT Rename(const std::string& key, const std::string& newKey)
    {
        return object_->put_Key(Arg(key), Arg(newKey));
    }
    HRESULT Count(const std::string& key, LONG& count) { return object_->get_Count(Arg(key), &count); }
    HRESULT ItemsCount(LONG& count) { return object_->get_ItemsCount(&count); }
    HRESULT Keys(VARIANT& keys) { return object_->get_Keys(&keys); }
    HRESULT NewEnum(ComPtr<IUnknown>& enumerator) { return object_->get__NewEnum(enumerator.put()); }
    HRESULT Save(const std::string& file, const std::string& pattern)
    {
        return object_->Save(Arg(file), VARIANT_FALSE, Arg(pattern));
    }
    HRESULT Load(const std::string& file) { return object_->Load(Arg(file), nullptr); }
    HRESULT PutUniqueKeys(bool unique) { return object_->put_UniqueKeys(unique ? VARIANT_TRUE : VARIANT_FALSE); }
    HRESULT PutCompareMode(LONG mode) { return object_->put_CompareMode(static_cast<CompareMethod>(mode)); }
    HRESULT Lock(LONG timeOut)
    {
        LONG result = 0;
        return object_->Lock(timeOut, &result);
    }
    HRESULT UnLock() { return object_->UnLock(); }
    // The object as an item value (VT_DISPATCH, one new reference).
    void AsItem(VARIANT& item)
    {
        VariantInit(&item);
        V_VT(&item) = VT_DISPATCH;
        V_DISPATCH(&item) = object_.get();
        object_->AddRef();
    }

private:
    ComPtr<IDictionary> object_;
};

#else

class Dictionary {
public:
    static std::shared_ptr<Dictionary> Create() { return std::make_shared<Dictionary>(); }

    HRESULT Connect(const std::string& name) { return members::Connect(state_, Arg(name), nullptr); }
    HRESULT Add(const std::string& key, VARIANT& item) { return members::Add(state_, Arg(key), &item); }
    HRESULT PutItem(const std::string& key, VARIANT& item) { return members::PutItem(state_, Arg(key), &item); }
    HRESULT GetItem(const std::string& key, VARIANT& item) { return members::GetItem(state_, Arg(key), &item); }
    HRESULT Exists(const std::string& key, VARIANT_BOOL& found) { return members::Exists(state_, Arg(key), &found); }
    HRESULT Remove(const std::string& key) { return members::Remove(state_, Arg(key), 0); }
    HRESULT RemoveAll(const std::string& pattern) { return members::RemoveAll(state_, Arg(pattern)); }
    HRESULT Rename(const std::string& key, const std::string& newKey)
    {
        return members::PutKey(state_, Arg(key), Arg(newKey));
    }
    HRESULT Count(const std::string& key, LONG& count) { return members::Count(state_, Arg(key), &count); }
    HRESULT ItemsCount(LONG& count) { return members::ItemsCount(state_, &count); }
    HRESULT Keys(VARIANT& keys) { return members::Keys(state_, &keys); }
    HRESULT NewEnum(ComPtr<IUnknown>& enumerator) { return members::NewEnum(state_, enumerator.put()); }
    HRESULT Save(const std::string& file, const std::string& pattern)
    {
        return members::Save(state_, Arg(file), VARIANT_FALSE, Arg(pattern));
    }
    HRESULT Load(const std::string& file) { return members::Load(state_, Arg(file), nullptr); }
    HRESULT PutUniqueKeys(bool unique) { return members::PutUniqueKeys(state_, unique ? VARIANT_TRUE : VARIANT_FALSE); }
    HRESULT PutCompareMode(LONG mode) { return members::PutCompareMode(mode); }
    HRESULT Lock(LONG timeOut) { return members::Lock(state_, timeOut, nullptr); }
    HRESULT UnLock() { return members::UnLock(state_); }
    // Natively there is no COM object to hold: a string stands in for the item.
    void AsItem(VARIANT& item)
    {
        VariantInit(&item);
        V_VT(&item) = VT_BSTR;
        V_BSTR(&item) = SysAllocString(OLESTR("a Dictionary"));
    }

private:
    ObjectState state_;
};

#endif

} // namespace korvo::stress
