// The class object and the count that decides when the module may be unloaded.
#include "korvod_client.h"

#include <string>

#include "errors/identifiers.h"

namespace korvo::test {
namespace {

class ModuleLifetimeTest : public ComTest {
protected:
    static HRESULT CanUnload() { return Korvod().canUnloadNow(); }
};

TEST_F(ModuleLifetimeTest, NothingAliveMeansUnloadable)
{
    EXPECT_EQ(CanUnload(), S_OK);
}

TEST_F(ModuleLifetimeTest, LiveObjectsHoldTheModule)
{
    auto first = NewDictionary();
    auto second = NewDictionary();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(CanUnload(), S_FALSE);
    first.reset();
    EXPECT_EQ(CanUnload(), S_FALSE);
    second.reset();
    EXPECT_EQ(CanUnload(), S_OK);
}

// The release of an object held by a named store may call back into COM, which must not
// happen while the module is unloaded: the store keeps the module until the object goes.
TEST_F(ModuleLifetimeTest, NamedStoreHoldingAnObjectHoldsTheModule)
{
    auto dictionary = NewDictionary();
    const std::wstring name = L"lifetime-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_EQ(dictionary->Connect(Text(name.c_str()), nullptr), S_OK);
    auto item = NewDictionary();
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_DISPATCH;
    V_DISPATCH(&value) = item.get();
    ASSERT_EQ(dictionary->Add(Text(L"object"), &value), S_OK);
    item.reset();
    dictionary.reset();
    EXPECT_EQ(CanUnload(), S_FALSE);

    dictionary = NewDictionary();
    ASSERT_EQ(dictionary->Connect(Text(name.c_str()), nullptr), S_OK);
    ASSERT_EQ(dictionary->RemoveAll(nullptr), S_OK);
    dictionary.reset();
    EXPECT_EQ(CanUnload(), S_OK);
}

TEST_F(ModuleLifetimeTest, EnumeratorOutlivingItsObjectHoldsTheModule)
{
    auto dictionary = NewDictionary();
    ComPtr<IUnknown> enumerator;
    ASSERT_EQ(dictionary->get__NewEnum(enumerator.put()), S_OK);
    dictionary.reset();
    EXPECT_EQ(CanUnload(), S_FALSE);
    enumerator.reset();
    EXPECT_EQ(CanUnload(), S_OK);
}

TEST_F(ModuleLifetimeTest, ClassObjectReferencesBeyondTheTablesHoldTheModule)
{
    ComPtr<IClassFactory> first;
    ComPtr<IClassFactory> second;
    ASSERT_EQ(Korvod().getClassObject(kClsidDictionary, IID_IClassFactory, first.PutVoid()), S_OK);
    ASSERT_EQ(Korvod().getClassObject(kClsidDictionary, IID_IUnknown, second.PutVoid()), S_OK);
    EXPECT_EQ(static_cast<void*>(first.get()), static_cast<void*>(second.get()));
    EXPECT_EQ(CanUnload(), S_FALSE);
    second.reset();
    EXPECT_EQ(CanUnload(), S_FALSE);
    first.reset();
    EXPECT_EQ(CanUnload(), S_OK);
}

TEST_F(ModuleLifetimeTest, LockServerHoldsTheModuleUntilUnlocked)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(Korvod().getClassObject(kClsidDictionary, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory->Release();
    EXPECT_EQ(CanUnload(), S_FALSE);
    ASSERT_EQ(Korvod().getClassObject(kClsidDictionary, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory->Release();
    EXPECT_EQ(CanUnload(), S_OK);
}

TEST_F(ModuleLifetimeTest, OtherClassesAreNotAvailable)
{
    void* result = reinterpret_cast<void*>(1);
    EXPECT_EQ(Korvod().getClassObject(IID_IDispatch, IID_IClassFactory, &result), static_cast<HRESULT>(0x80040111));
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(Korvod().getClassObject(kClsidDictionary, IID_IClassFactory, nullptr), E_POINTER);
    result = reinterpret_cast<void*>(1);
    EXPECT_EQ(Korvod().getClassObject(kClsidDictionary, IID_IDispatch, &result), E_NOINTERFACE);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(CanUnload(), S_OK);
}

TEST_F(ModuleLifetimeTest, CreateInstanceChecksItsResultAndInterface)
{
    auto factory = ClassObject();
    EXPECT_EQ(factory->CreateInstance(nullptr, kIidIDictionary, nullptr), E_POINTER);
    void* result = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &result), E_NOINTERFACE);
    EXPECT_EQ(result, nullptr);
    factory.reset();
    // The half-made object was destroyed with its count.
    EXPECT_EQ(CanUnload(), S_OK);
}

TEST_F(ModuleLifetimeTest, ObjectsCreatedByProgIdShareTheLoadedModule)
{
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"Korvo.Dictionary", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, kClsidDictionary));
    ComPtr<IDictionary> dictionary;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIidIDictionary, dictionary.PutVoid()), S_OK);
    EXPECT_EQ(CanUnload(), S_FALSE);
    dictionary.reset();
    EXPECT_EQ(CanUnload(), S_OK);
}

} // namespace
} // namespace korvo::test
