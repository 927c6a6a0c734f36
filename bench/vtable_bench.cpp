// Listing through the vtable from C++, against Scripting.Dictionary in the same process:
// Keys, Items and _NewEnum with a Next per item, medians of three, at the sizes given.
// Prints "figure vtable.<member>.<keys> <ours/peer> x" for the report.
//
//   vtable_bench <keys> [<keys> ...]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"

#include "korvo.h"

#include "errors/identifiers.h"
#include "platform/com_ptr.h"
#include "platform/unique_bstr.h"

// The peer's dual interface, in its published order after IDispatch. Outside the unnamed
// namespace: there the optimiser may assume it sees every implementation of the interface
// (none), and turn calls through the peer's vtable into calls to nothing.
struct IPeerDictionary : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE putref_Item(VARIANT* key, VARIANT* item) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Item(VARIANT* key, VARIANT* item) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT* key, VARIANT* item) = 0;
    virtual HRESULT STDMETHODCALLTYPE Add(VARIANT* key, VARIANT* item) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Exists(VARIANT* key, VARIANT_BOOL* exists) = 0;
    virtual HRESULT STDMETHODCALLTYPE Items(VARIANT* items) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Key(VARIANT* key, VARIANT* newKey) = 0;
    virtual HRESULT STDMETHODCALLTYPE Keys(VARIANT* keys) = 0;
    virtual HRESULT STDMETHODCALLTYPE Remove(VARIANT* key) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveAll() = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CompareMode(LONG mode) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CompareMode(LONG* mode) = 0;
    virtual HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown** enumerator) = 0;
};

namespace {

using korvo::ComPtr;
using korvo::UniqueBstr;
using Clock = std::chrono::steady_clock;

constexpr CLSID kClsidPeer = {0xEE09B103, 0x97E0, 0x11CF, {0x97, 0x8F, 0x00, 0xA0, 0x24, 0x63, 0xE0, 0x6F}};
constexpr IID kIidPeer = {0x42C642C1, 0x97E1, 0x11CF, {0x97, 0x8F, 0x00, 0xA0, 0x24, 0x63, 0xE0, 0x6F}};

std::wstring ServerPath()
{
    const std::string built = KORVO_DLL_FILE;
    std::wstring path(built.begin(), built.end());
    if (!path.empty() && path.front() == L'/') {
        path.insert(0, L"Z:");
    }
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

ComPtr<IDictionary> NewKorvo()
{
    static HMODULE module = LoadLibraryW(ServerPath().c_str());
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    static const auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    ComPtr<IClassFactory> factory;
    ComPtr<IDictionary> dictionary;
    if (getClassObject != nullptr &&
        SUCCEEDED(getClassObject(korvo::kClsidDictionary, IID_IClassFactory, factory.PutVoid()))) {
        factory->CreateInstance(nullptr, korvo::kIidIDictionary, dictionary.PutVoid());
    }
    return dictionary;
}

std::vector<std::wstring> MakeKeys(std::size_t count)
{
    std::vector<std::wstring> keys;
    keys.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        keys.push_back(L"key-" + std::to_wstring((i * 2654435761u) % 10000019u) + L"-" + std::to_wstring(i));
    }
    return keys;
}

template <class Work>
double MedianSeconds(Work&& work)
{
    std::vector<double> times;
    for (int round = 0; round < 3; ++round) {
        const auto started = Clock::now();
        work();
        times.push_back(std::chrono::duration<double>(Clock::now() - started).count());
    }
    std::sort(times.begin(), times.end());
    return times[1];
}

// Every item once through an enumerator, one Next a call.
void Enumerate(IUnknown* source)
{
    ComPtr<IEnumVARIANT> enumerator;
    if (FAILED(source->QueryInterface(IID_IEnumVARIANT, enumerator.PutVoid()))) {
        return;
    }
    VARIANT item;
    VariantInit(&item);
    while (enumerator->Next(1, &item, nullptr) == S_OK) {
        VariantClear(&item);
    }
}

// The least any server can spend on the array Keys or Items returns: the same vector of
// variants made and cleared by oleaut32 alone, each key's BSTR copied from text read in
// memory order. Both servers pay this; printed against the peer's time.
double KeysFloor(const std::vector<std::wstring>& keys)
{
    return MedianSeconds([&] {
        SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(keys.size()));
        VARIANT* elements = nullptr;
        if (array == nullptr || FAILED(SafeArrayAccessData(array, reinterpret_cast<void**>(&elements)))) {
            return;
        }
        for (std::size_t i = 0; i < keys.size(); ++i) {
            V_VT(&elements[i]) = VT_BSTR;
            V_BSTR(&elements[i]) = SysAllocStringLen(keys[i].data(), static_cast<UINT>(keys[i].size()));
        }
        SafeArrayUnaccessData(array);
        SafeArrayDestroy(array);
    });
}

double ItemsFloor(std::size_t count)
{
    return MedianSeconds([&] {
        SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(count));
        VARIANT* elements = nullptr;
        if (array == nullptr || FAILED(SafeArrayAccessData(array, reinterpret_cast<void**>(&elements)))) {
            return;
        }
        for (std::size_t i = 0; i < count; ++i) {
            V_VT(&elements[i]) = VT_I4;
            V_I4(&elements[i]) = static_cast<LONG>(i);
        }
        SafeArrayUnaccessData(array);
        SafeArrayDestroy(array);
    });
}

void ReportFloor(const char* member, std::size_t keys, double floor, double peer)
{
    std::printf("floor  %-9s %8zu keys: oleaut32 alone %8.2f ms, %.2fx of Scripting.Dictionary\n", member, keys,
                floor * 1000, floor / peer);
    std::printf("figure floor.%s.%zu %.6g x\n", member, keys, floor / peer);
}

void Report(const char* member, std::size_t keys, double ours, double peer)
{
    std::printf("vtable %-9s %8zu keys: Korvo %8.2f ms, Scripting.Dictionary %8.2f ms, ratio %.2fx\n", member, keys,
                ours * 1000, peer * 1000, ours / peer);
    std::printf("figure vtable.%s.%zu %.6g x\n", member, keys, ours / peer);
}

int Measure(std::size_t count)
{
    const auto keys = MakeKeys(count);
    auto ours = NewKorvo();
    ComPtr<IPeerDictionary> peer;
    if (!ours || FAILED(CoCreateInstance(kClsidPeer, nullptr, CLSCTX_INPROC_SERVER, kIidPeer, peer.PutVoid()))) {
        std::printf("vtable: a dictionary cannot be made\n");
        return 1;
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
        UniqueBstr key = UniqueBstr::CopyUpToNul(keys[i].c_str());
        VARIANT item;
        VariantInit(&item);
        V_VT(&item) = VT_I4;
        V_I4(&item) = static_cast<LONG>(i);
        ours->Add(key.get(), &item);
        VARIANT keyValue;
        VariantInit(&keyValue);
        V_VT(&keyValue) = VT_BSTR;
        V_BSTR(&keyValue) = key.get();
        peer->Add(&keyValue, &item);
    }
    const auto listed = [](auto&& list) {
        return [list] {
            VARIANT result;
            VariantInit(&result);
            list(result);
            VariantClear(&result);
        };
    };
    const double peerKeys = MedianSeconds(listed([&](VARIANT& v) { peer->Keys(&v); }));
    Report("Keys", count, MedianSeconds(listed([&](VARIANT& v) { ours->get_Keys(&v); })), peerKeys);
    ReportFloor("Keys", count, KeysFloor(keys), peerKeys);
    const double peerItems = MedianSeconds(listed([&](VARIANT& v) { peer->Items(&v); }));
    Report("Items", count, MedianSeconds(listed([&](VARIANT& v) { ours->get_Items(&v); })), peerItems);
    ReportFloor("Items", count, ItemsFloor(count), peerItems);
    Report("_NewEnum", count, MedianSeconds([&] {
               ComPtr<IUnknown> enumerator;
               ours->get__NewEnum(enumerator.put());
               Enumerate(enumerator.get());
           }),
           MedianSeconds([&] {
               ComPtr<IUnknown> enumerator;
               peer->_NewEnum(enumerator.put());
               Enumerate(enumerator.get());
           }));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        status |= Measure(std::stoul(argv[i]));
    }
    CoUninitialize();
    return status;
}
