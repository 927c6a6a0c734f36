// A C++ client of Korvo.Dictionary on the header and GUID file that ship with the component
// (include/korvo.h, include/korvo_i.c). It keeps two keys, one of them with two items, reads
// them back in key order, saves the store to a file and loads it into a second object.
//
// Build (MinGW-w64):  g++ -std=c++17 client.cpp korvo_i.c -lole32 -loleaut32 -luuid
// Build (MSVC):       cl /EHsc /permissive- client.cpp korvo_i.c ole32.lib oleaut32.lib
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "korvo.h"

namespace {

// Owners for the three kinds of resource a client holds: COM references, BSTRs and VARIANTs.
struct ReleaseInterface {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface> using Owned = std::unique_ptr<Interface, ReleaseInterface>;

struct FreeString {
    void operator()(wchar_t* text) const { SysFreeString(text); }
};
using Text = std::unique_ptr<wchar_t, FreeString>;

Text MakeText(const wchar_t* text) { return Text(SysAllocString(text)); }

struct Variant : VARIANT {
    Variant() { VariantInit(this); }
    explicit Variant(long value) : Variant()
    {
        V_VT(this) = VT_I4;
        V_I4(this) = value;
    }
    ~Variant() { VariantClear(this); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

bool Check(HRESULT hr, const char* what)
{
    if (FAILED(hr)) {
        std::printf("%s failed: 0x%08lX\n", what, static_cast<unsigned long>(hr));
        return false;
    }
    return true;
}

Owned<IDictionary> NewDictionary()
{
    IDictionary* created = nullptr;
    const HRESULT hr = CoCreateInstance(CLSID_Dictionary, nullptr, CLSCTX_INPROC_SERVER, IID_IDictionary,
                                        reinterpret_cast<void**>(&created));
    Check(hr, "CoCreateInstance");
    return Owned<IDictionary>(created);
}

// Prints every key of the store with its items, in the store's order.
void PrintKeys(IDictionary& store)
{
    Variant keys;
    if (!Check(store.get_Keys(&keys), "Keys")) {
        return;
    }
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(V_ARRAY(&keys), 1, &lower);
    SafeArrayGetUBound(V_ARRAY(&keys), 1, &upper);
    for (LONG i = lower; i <= upper; ++i) {
        Variant key;
        SafeArrayGetElement(V_ARRAY(&keys), &i, &key);
        LONG count = 0;
        store.get_Count(V_BSTR(&key), &count);
        // A key with several items gives them as an array, in the order they were added.
        Variant items, first;
        store.get_Item(V_BSTR(&key), &items);
        if (V_VT(&items) & VT_ARRAY) {
            LONG firstIndex = 0;
            SafeArrayGetLBound(V_ARRAY(&items), 1, &firstIndex);
            SafeArrayGetElement(V_ARRAY(&items), &firstIndex, &first);
        } else {
            VariantCopy(&first, &items);
        }
        VariantChangeType(&first, &first, 0, VT_BSTR);
        std::printf("%ls: %ld item(s), first %ls\n", V_BSTR(&key), static_cast<long>(count), V_BSTR(&first));
    }
}

int Run()
{
    Owned<IDictionary> store = NewDictionary();
    if (!store) {
        return 1;
    }
    // Several items under one key are kept in the order they were added.
    store->put_UniqueKeys(VARIANT_FALSE);
    Text apples = MakeText(L"apples"), pears = MakeText(L"pears");
    Variant three(3), five(5), seven(7);
    if (!Check(store->Add(pears.get(), &seven), "Add") || !Check(store->Add(apples.get(), &three), "Add") ||
        !Check(store->Add(apples.get(), &five), "Add")) {
        return 1;
    }
    PrintKeys(*store);

    // Save and Load take their optional arguments from the header's defaults.
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    std::wstring file = std::wstring(folder) + L"korvo-example.dic";
    Text fileName = MakeText(file.c_str());
    if (!Check(store->Save(fileName.get()), "Save")) {
        return 1;
    }
    // A new object refuses a second item under one key, and so would load only the first.
    Owned<IDictionary> copy = NewDictionary();
    if (!copy || !Check(copy->put_UniqueKeys(VARIANT_FALSE), "UniqueKeys") ||
        !Check(copy->Load(fileName.get()), "Load")) {
        return 1;
    }
    LONG items = 0;
    copy->get_ItemsCount(&items);
    std::printf("loaded %ld items\n", static_cast<long>(items));
    DeleteFileW(file.c_str());
    return items == 3 ? 0 : 1;
}

} // namespace

int main()
{
    if (!Check(CoInitializeEx(nullptr, COINIT_MULTITHREADED), "CoInitializeEx")) {
        return 1;
    }
    const int status = Run();
    CoUninitialize();
    return status;
}
