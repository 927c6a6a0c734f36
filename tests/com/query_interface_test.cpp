// The interfaces a Dictionary object answers, its identity and its reference counts.
#include "korvod_client.h"

#include "errors/identifiers.h"

namespace korvo::test {
namespace {

class QueryInterfaceTest : public ComTest {};

TEST_F(QueryInterfaceTest, IdentityDispatchAndDictionaryAreOnePointer)
{
    auto dictionary = NewDictionary();
    ASSERT_TRUE(dictionary);
    ComPtr<IUnknown> identity;
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(dictionary.As(IID_IUnknown, identity), S_OK);
    ASSERT_EQ(dictionary.As(IID_IDispatch, dispatch), S_OK);
    EXPECT_EQ(static_cast<void*>(identity.get()), static_cast<void*>(dictionary.get()));
    EXPECT_EQ(static_cast<void*>(dispatch.get()), static_cast<void*>(dictionary.get()));
}

TEST_F(QueryInterfaceTest, SupportErrorInfoIsItsOwnPointerWithTheSameIdentity)
{
    auto dictionary = NewDictionary();
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(dictionary.As(IID_ISupportErrorInfo, support), S_OK);
    EXPECT_NE(static_cast<void*>(support.get()), static_cast<void*>(dictionary.get()));
    ComPtr<IUnknown> identity;
    ASSERT_EQ(support.As(IID_IUnknown, identity), S_OK);
    EXPECT_EQ(static_cast<void*>(identity.get()), static_cast<void*>(dictionary.get()));

    EXPECT_EQ(support->InterfaceSupportsErrorInfo(kIidIDictionary), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IUnknown), S_FALSE);
}

TEST_F(QueryInterfaceTest, MarshalComesFromTheFreeThreadedMarshaller)
{
    auto dictionary = NewDictionary();
    ComPtr<IMarshal> marshal;
    ASSERT_EQ(dictionary.As(IID_IMarshal, marshal), S_OK);
    CLSID unmarshaler{};
    ASSERT_EQ(marshal->GetUnmarshalClass(kIidIDictionary, dictionary.get(), MSHCTX_INPROC, nullptr, MSHLFLAGS_NORMAL,
                                         &unmarshaler),
              S_OK);
    // The free-threaded marshaller names itself as the unmarshaler for in-process contexts.
    ComPtr<IUnknown> freeThreaded;
    ASSERT_EQ(CoCreateFreeThreadedMarshaler(nullptr, freeThreaded.put()), S_OK);
    ComPtr<IMarshal> reference;
    ASSERT_EQ(freeThreaded.As(IID_IMarshal, reference), S_OK);
    CLSID expected{};
    ASSERT_EQ(reference->GetUnmarshalClass(kIidIDictionary, dictionary.get(), MSHCTX_INPROC, nullptr, MSHLFLAGS_NORMAL,
                                           &expected),
              S_OK);
    EXPECT_TRUE(IsEqualCLSID(unmarshaler, expected));
    // Its IUnknown is the object's identity, as aggregation requires.
    ComPtr<IUnknown> identity;
    ASSERT_EQ(marshal.As(IID_IUnknown, identity), S_OK);
    EXPECT_EQ(static_cast<void*>(identity.get()), static_cast<void*>(dictionary.get()));
}

TEST_F(QueryInterfaceTest, OtherInterfacesAreRefusedAndNullResultsRejected)
{
    auto dictionary = NewDictionary();
    for (const IID* iid : {&IID_IClassFactory, &IID_IEnumVARIANT, &IID_IPersist, &IID_ITypeInfo, &IID_IErrorInfo}) {
        void* result = reinterpret_cast<void*>(1);
        EXPECT_EQ(dictionary->QueryInterface(*iid, &result), E_NOINTERFACE);
        EXPECT_EQ(result, nullptr);
    }
    EXPECT_EQ(dictionary->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(QueryInterfaceTest, ReferenceCountsAreExact)
{
    auto factory = ClassObject();
    IDictionary* raw = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, kIidIDictionary, reinterpret_cast<void**>(&raw)), S_OK);
    EXPECT_EQ(raw->AddRef(), 2u);
    EXPECT_EQ(raw->Release(), 1u);

    ISupportErrorInfo* support = nullptr;
    ASSERT_EQ(raw->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)), S_OK);
    EXPECT_EQ(ReferenceCount(raw), 2u);
    EXPECT_EQ(support->Release(), 1u);

    IMarshal* marshal = nullptr;
    ASSERT_EQ(raw->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&marshal)), S_OK);
    EXPECT_EQ(ReferenceCount(raw), 2u);
    EXPECT_EQ(marshal->Release(), 1u);

    EXPECT_EQ(raw->Release(), 0u);
}

TEST_F(QueryInterfaceTest, NewObjectStartsWithUniqueKeysAndNoItems)
{
    auto dictionary = NewDictionary();
    VARIANT_BOOL unique = VARIANT_FALSE;
    ASSERT_EQ(dictionary->get_UniqueKeys(&unique), S_OK);
    EXPECT_EQ(unique, VARIANT_TRUE);
    LONG count = -1;
    ASSERT_EQ(dictionary->get_ItemsCount(&count), S_OK);
    EXPECT_EQ(count, 0);
}

} // namespace
} // namespace korvo::test
