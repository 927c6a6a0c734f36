#include "share_test_support.h"

#include <atomic>

#include "share/connection.h"
#include "store/item_operations.h"

namespace korvo::sharetest {

Bstr::Bstr(std::u16string_view text)
    : value_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size())))
{
}

Bstr::~Bstr() { SysFreeString(value_); }

std::u16string UniqueStoreName(std::u16string_view label)
{
    static std::atomic<int> serial{0};
    const std::string unique = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial) + "-";
    return u"korvo-share-test-" + std::u16string(unique.begin(), unique.end()) + std::u16string(label);
}

void ConnectOk(ObjectState& object, std::u16string_view name)
{
    ASSERT_EQ(share::Connect(object, Bstr(name), nullptr), S_OK);
}

void DisConnectOk(ObjectState& object) { ASSERT_EQ(share::DisConnect(object), S_OK); }

void AddOk(ObjectState& object, std::u16string_view key, LONG value)
{
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_I4;
    V_I4(&item) = value;
    AddOk(object, key, item);
}

void AddOk(ObjectState& object, std::u16string_view key, const VARIANT& item)
{
    ASSERT_EQ(store::Add(object, Bstr(key), &item), S_OK);
}

void RemoveOk(ObjectState& object, std::u16string_view key) { ASSERT_EQ(store::Remove(object, Bstr(key), 0), S_OK); }

LONG ItemsCountOf(ObjectState& object)
{
    LONG count = -1;
    EXPECT_EQ(store::ItemsCount(object, &count), S_OK);
    return count;
}

bool ExistsIn(ObjectState& object, std::u16string_view key)
{
    VARIANT_BOOL found = VARIANT_FALSE;
    EXPECT_EQ(store::Exists(object, Bstr(key), &found), S_OK);
    return found != VARIANT_FALSE;
}

HRESULT CountingUnknown::QueryInterface(REFIID iid, void** result)
{
    if (result == nullptr)
        return E_POINTER;
    *result = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown))
        return E_NOINTERFACE;
    *result = this;
    AddRef();
    return S_OK;
}

ULONG CountingUnknown::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG CountingUnknown::Release() { return static_cast<ULONG>(InterlockedDecrement(&references_)); }

} // namespace korvo::sharetest
