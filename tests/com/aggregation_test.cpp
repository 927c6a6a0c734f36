// A Dictionary object aggregated into an outer object.
#include "korvod_client.h"

#include <vector>

#include "errors/identifiers.h"

namespace korvo::test {
namespace {

// An outer object that exposes the inner object's IDictionary as its own.
class Outer final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override
    {
        if (IsEqualIID(iid, IID_IUnknown)) {
            *result = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        for (const IID* exposed : exposes) {
            if (IsEqualIID(iid, *exposed) && inner) {
                return inner->QueryInterface(iid, result);
            }
        }
        *result = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
    ULONG STDMETHODCALLTYPE Release() override { return --count; }

    ULONG count = 1;
    ComPtr<IUnknown> inner;
    std::vector<const IID*> exposes{&kIidIDictionary};
};

class AggregationTest : public ComTest {};

TEST_F(AggregationTest, OnlyIUnknownMayBeAskedForWithAnOuterObject)
{
    Outer outer;
    auto factory = ClassObject();
    for (const IID* iid : {&IID_IDispatch, &kIidIDictionary, &IID_ISupportErrorInfo}) {
        void* result = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->CreateInstance(&outer, *iid, &result), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(result, nullptr);
    }
    EXPECT_EQ(outer.count, 1u);
}

TEST_F(AggregationTest, InnerInterfacesCountOnTheOuterObject)
{
    Outer outer;
    auto factory = ClassObject();
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, outer.inner.PutVoid()), S_OK);
    factory.reset();
    EXPECT_EQ(outer.count, 1u);
    EXPECT_EQ(ReferenceCount(outer.inner.get()), 1u);

    ComPtr<IDictionary> dictionary;
    ASSERT_EQ(outer.inner.As(kIidIDictionary, dictionary), S_OK);
    EXPECT_NE(static_cast<void*>(dictionary.get()), static_cast<void*>(outer.inner.get()));
    EXPECT_EQ(outer.count, 2u);

    // The inner interfaces answer with the outer object's identity.
    ComPtr<IUnknown> identity;
    ASSERT_EQ(dictionary.As(IID_IUnknown, identity), S_OK);
    EXPECT_EQ(static_cast<void*>(identity.get()), static_cast<void*>(&outer));
    identity.reset();

    Text key(L"k");
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_I4;
    V_I4(&item) = 7;
    ASSERT_EQ(dictionary->Add(key, &item), S_OK);
    LONG count = 0;
    ASSERT_EQ(dictionary->get_ItemsCount(&count), S_OK);
    EXPECT_EQ(count, 1);

    dictionary.reset();
    EXPECT_EQ(outer.count, 1u);
    EXPECT_EQ(outer.inner->Release(), 0u);
    outer.inner.Detach();
    EXPECT_EQ(Korvod().canUnloadNow(), S_OK);
}

TEST_F(AggregationTest, AggregateIUnknownRejectsNullAndUnknownInterfaces)
{
    Outer outer;
    ASSERT_EQ(ClassObject()->CreateInstance(&outer, IID_IUnknown, outer.inner.PutVoid()), S_OK);
    EXPECT_EQ(outer.inner->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    void* result = reinterpret_cast<void*>(1);
    EXPECT_EQ(outer.inner->QueryInterface(IID_IClassFactory, &result), E_NOINTERFACE);
    EXPECT_EQ(result, nullptr);
    ComPtr<IUnknown> self;
    ASSERT_EQ(outer.inner.As(IID_IUnknown, self), S_OK);
    EXPECT_EQ(self.get(), outer.inner.get());
    self.reset();
    outer.inner.reset();
    EXPECT_EQ(outer.count, 1u);
}

// Every interface of the inner object asks the outer object alone: what the outer object does
// not expose is not there, whichever inner pointer is asked, and what it exposes is the same
// object as the outer object's own answer.
TEST_F(AggregationTest, InnerInterfacesAnswerOnlyWhatTheOuterObjectExposes)
{
    struct Case {
        const char* name;
        const IID* asked;
        std::vector<const IID*> exposes;
        HRESULT expected;
    };
    const Case cases[] = {
        {"unexposed ISupportErrorInfo", &IID_ISupportErrorInfo, {&kIidIDictionary}, E_NOINTERFACE},
        {"unexposed IDispatch", &IID_IDispatch, {&kIidIDictionary}, E_NOINTERFACE},
        {"exposed ISupportErrorInfo", &IID_ISupportErrorInfo, {&kIidIDictionary, &IID_ISupportErrorInfo}, S_OK},
        {"exposed IDispatch", &IID_IDispatch, {&kIidIDictionary, &IID_IDispatch}, S_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outer outer;
        outer.exposes = c.exposes;
        ASSERT_EQ(ClassObject()->CreateInstance(&outer, IID_IUnknown, outer.inner.PutVoid()), S_OK);
        ComPtr<IDictionary> dictionary;
        ASSERT_EQ(outer.inner.As(kIidIDictionary, dictionary), S_OK);

        void* throughInner = reinterpret_cast<void*>(1);
        EXPECT_EQ(dictionary->QueryInterface(*c.asked, &throughInner), c.expected);
        void* throughOuter = reinterpret_cast<void*>(1);
        EXPECT_EQ(outer.QueryInterface(*c.asked, &throughOuter), c.expected);
        EXPECT_EQ(throughInner, throughOuter);
        for (void* answer : {throughInner, throughOuter}) {
            if (answer != nullptr) {
                static_cast<IUnknown*>(answer)->Release();
            }
        }
        EXPECT_EQ(outer.count, 2u);
        dictionary.reset();
        outer.inner.reset();
        EXPECT_EQ(outer.count, 1u);
    }
}

} // namespace
} // namespace korvo::test
