// The registered type library read back: the library, the enumeration, the class and every
// member of IDictionary with its DISPID, kind, flags, parameters, defaults and help.
#include "korvod_client.h"

#include <string>
#include <vector>

#include "errors/identifiers.h"
#include "platform/unique_bstr.h"

namespace korvo::test {
namespace {

struct Documentation {
    std::wstring name;
    std::wstring help;
    DWORD helpContext = 0;
    std::wstring helpFile;
};

Documentation Describe(ITypeLib& library, INT index)
{
    UniqueBstr name, help, helpFile;
    Documentation result;
    if (SUCCEEDED(library.GetDocumentation(index, name.put(), help.put(), &result.helpContext, helpFile.put()))) {
        result.name = name ? name.get() : L"";
        result.help = help ? help.get() : L"";
        result.helpFile = helpFile ? helpFile.get() : L"";
    }
    return result;
}

Documentation Describe(ITypeInfo& info, MEMBERID id)
{
    UniqueBstr name, help, helpFile;
    Documentation result;
    if (SUCCEEDED(info.GetDocumentation(id, name.put(), help.put(), &result.helpContext, helpFile.put()))) {
        result.name = name ? name.get() : L"";
        result.help = help ? help.get() : L"";
    }
    return result;
}

enum class Default { None, Optional, EmptyText, MinusOne, False };

struct Parameter {
    const wchar_t* name; // null for the unnamed value of a property assignment
    VARTYPE type;
    Default value = Default::None;
};

struct Member {
    const wchar_t* name;
    INVOKEKIND kind;
    DISPID id;
    WORD flags;
    const wchar_t* help;
    DWORD helpContext;
    std::vector<Parameter> parameters;
};

const wchar_t* const kItemHelp = L"Set or get the item for a given key.";

// The function table after IUnknown and IDispatch, in order.
const std::vector<Member>& Members()
{
    static const std::vector<Member> members = {
        {L"_NewEnum",
         INVOKE_PROPERTYGET,
         DISPID_NEWENUM,
         FUNCFLAG_FRESTRICTED,
         L"Dictionary enumarator.",
         0,
         {{L"pVal", VT_PTR}}},
        {L"Item", INVOKE_PROPERTYPUTREF, 0, 0, kItemHelp, 197007, {{L"Key", VT_BSTR}, {nullptr, VT_PTR}}},
        {L"Item", INVOKE_PROPERTYPUT, 0, 0, kItemHelp, 197007, {{L"Key", VT_BSTR}, {nullptr, VT_PTR}}},
        {L"Item", INVOKE_PROPERTYGET, 0, 0, kItemHelp, 197007, {{L"Key", VT_BSTR}, {L"newVal", VT_PTR}}},
        {L"Add",
         INVOKE_FUNC,
         1,
         0,
         L"Add a new key and item to the dictionary.",
         197008,
         {{L"Key", VT_BSTR}, {L"Item", VT_PTR}}},
        {L"Remove",
         INVOKE_FUNC,
         2,
         0,
         L"Remove a given key from the dictionary.",
         197029,
         {{L"Key", VT_BSTR}, {L"ItemPos", VT_I4, Default::Optional}}},
        {L"RemoveAll",
         INVOKE_FUNC,
         3,
         0,
         L"Remove all information from the dictionary.",
         197031,
         {{L"Pattern", VT_BSTR, Default::EmptyText}}},
        {L"Exists",
         INVOKE_FUNC,
         4,
         0,
         L"Determine if a given key is in the dictionary.",
         197021,
         {{L"Key", VT_BSTR}, {L"Out", VT_PTR}}},
        {L"ItemsCount", INVOKE_PROPERTYGET, 5, 0, L"Number of items in the dictionary.", 197026, {{L"pVal", VT_PTR}}},
        {L"KeysCount", INVOKE_PROPERTYGET, 6, 0, L"Number of keys in the dictionary.", 197025, {{L"pVal", VT_PTR}}},
        {L"Count",
         INVOKE_PROPERTYGET,
         7,
         0,
         L"Number of items in the dictionary with one key.",
         197020,
         {{L"Key", VT_BSTR, Default::EmptyText}, {L"pVal", VT_PTR}}},
        {L"Items",
         INVOKE_PROPERTYGET,
         8,
         0,
         L"Array containing all items in the dictionary.",
         197022,
         {{L"pVal", VT_PTR}}},
        {L"Keys",
         INVOKE_PROPERTYGET,
         9,
         0,
         L"Array containing all keys in the dictionary.",
         197024,
         {{L"pVal", VT_PTR}}},
        {L"Connect",
         INVOKE_FUNC,
         10,
         0,
         L"Connect to another dictionary.",
         197019,
         {{L"DictionaryName", VT_BSTR}, {L"ServerName", VT_BSTR, Default::EmptyText}}},
        {L"Lock",
         INVOKE_FUNC,
         11,
         0,
         L"Blocks other clients from modifying the variables stored in the Dictionary object.",
         197027,
         {{L"TimeOut", VT_I4, Default::MinusOne}, {L"Result", VT_PTR}}},
        {L"UnLock",
         INVOKE_FUNC,
         12,
         0,
         L"Enables other clients to modify the variables stored in the Dictionary object.",
         197028,
         {}},
        {L"UniqueKeys", INVOKE_PROPERTYGET, 13, 0, L"Set or get unique keys property.", 197030, {{L"pVal", VT_PTR}}},
        {L"UniqueKeys", INVOKE_PROPERTYPUT, 13, 0, L"Set or get unique keys property.", 197030, {{nullptr, VT_BOOL}}},
        {L"Key",
         INVOKE_PROPERTYPUT,
         14,
         0,
         L"Change name of key in dictionary.",
         197023,
         {{L"Key", VT_BSTR}, {nullptr, VT_BSTR}}},
        {L"CompareMode",
         INVOKE_PROPERTYPUT,
         15,
         0,
         L"Set or get the string comparison method.",
         197018,
         {{nullptr, VT_USERDEFINED}}},
        {L"CompareMode",
         INVOKE_PROPERTYGET,
         15,
         0,
         L"Set or get the string comparison method.",
         197018,
         {{L"pcomp", VT_PTR}}},
        {L"Save",
         INVOKE_FUNC,
         16,
         0,
         L"Save dictionary data to a disk",
         0,
         {{L"FileName", VT_BSTR}, {L"SaveEmpty", VT_BOOL, Default::False}, {L"Pattern", VT_BSTR, Default::EmptyText}}},
        {L"Load",
         INVOKE_FUNC,
         17,
         0,
         L"Load dictionary data from a disk",
         0,
         {{L"FileName", VT_BSTR}, {L"Pattern", VT_BSTR, Default::EmptyText}}},
        {L"DisConnect", INVOKE_FUNC, 18, 0, L"DisConnect from the connected dictionary.", 0, {}},
        {L"RefCounter", INVOKE_PROPERTYGET, 100, FUNCFLAG_FHIDDEN, L"property RefCounter", 0, {{L"pVal", VT_PTR}}},
        {L"DebugInfo", INVOKE_PROPERTYGET, 101, FUNCFLAG_FHIDDEN, L"property DebugInfo", 0, {{L"pVal", VT_PTR}}},
    };
    return members;
}

class TypeLibraryTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        ASSERT_EQ(LoadRegTypeLib(kLibidKorvo, 1, 0, 0, library_.put()), S_OK);
    }
    void TearDown() override
    {
        library_.reset();
        ComTest::TearDown();
    }

    // The vtable side of the dual interface.
    ComPtr<ITypeInfo> InterfaceSide()
    {
        ComPtr<ITypeInfo> dispatchSide;
        ComPtr<ITypeInfo> vtableSide;
        HREFTYPE reference = 0;
        if (SUCCEEDED(library_->GetTypeInfoOfGuid(kIidIDictionary, dispatchSide.put())) &&
            SUCCEEDED(dispatchSide->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference))) {
            dispatchSide->GetRefTypeInfo(reference, vtableSide.put());
        }
        return vtableSide;
    }

    ComPtr<ITypeLib> library_;
};

TEST_F(TypeLibraryTest, LibraryAttributesAndHelp)
{
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library_->GetLibAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, kLibidKorvo));
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->lcid, 0u);
    EXPECT_EQ(attributes->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    library_->ReleaseTLibAttr(attributes);

    const auto library = Describe(*library_.get(), -1);
    EXPECT_EQ(library.name, L"Korvo");
    EXPECT_EQ(library.help, L"ASP/VBS KorvoDictionary library 1.1.5");
    EXPECT_EQ(library.helpContext, 0x10001u);
    ASSERT_GE(library.helpFile.size(), 10u);
    EXPECT_EQ(library.helpFile.substr(library.helpFile.size() - 10), L"Korvod.chm");
}

TEST_F(TypeLibraryTest, TypeDescriptionsInOrder)
{
    ASSERT_EQ(library_->GetTypeInfoCount(), 3u);
    const TYPEKIND expectedKinds[] = {TKIND_ENUM, TKIND_COCLASS, TKIND_DISPATCH};
    const wchar_t* expectedNames[] = {L"CompareMethod", L"Dictionary", L"IDictionary"};
    const wchar_t* expectedHelp[] = {L"Comparison method for comparing string keys in a Dictionary object.",
                                     L"ASP/VBS KorvoDictionary Class",
                                     L"ASP/VBS KorvoDictionary Class - Free threaded dictionary with extended "
                                     L"functionality."};
    const DWORD expectedContexts[] = {0x20071, 0x20070, 0};
    for (UINT index = 0; index < 3; ++index) {
        TYPEKIND kind{};
        ASSERT_EQ(library_->GetTypeInfoType(index, &kind), S_OK);
        EXPECT_EQ(kind, expectedKinds[index]);
        const auto described = Describe(*library_.get(), static_cast<INT>(index));
        EXPECT_EQ(described.name, expectedNames[index]);
        EXPECT_EQ(described.help, expectedHelp[index]);
        EXPECT_EQ(described.helpContext, expectedContexts[index]);
    }
}

TEST_F(TypeLibraryTest, CompareMethodValues)
{
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(library_->GetTypeInfo(0, info.put()), S_OK);
    const wchar_t* names[] = {L"BinaryCompare", L"TextCompare"};
    for (UINT index = 0; index < 2; ++index) {
        VARDESC* variable = nullptr;
        ASSERT_EQ(info->GetVarDesc(index, &variable), S_OK);
        EXPECT_EQ(Describe(*info.get(), variable->memid).name, names[index]);
        VARIANT value;
        VariantInit(&value);
        ASSERT_EQ(VariantChangeType(&value, variable->lpvarValue, 0, VT_I4), S_OK);
        EXPECT_EQ(V_I4(&value), static_cast<LONG>(index));
        info->ReleaseVarDesc(variable);
    }
}

TEST_F(TypeLibraryTest, ClassHasIDictionaryAsDefault)
{
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(library_->GetTypeInfoOfGuid(kClsidDictionary, coclass.put()), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->cImplTypes, 1);
    EXPECT_NE(attributes->wTypeFlags & TYPEFLAG_FCANCREATE, 0);
    coclass->ReleaseTypeAttr(attributes);
    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_NE(flags & IMPLTYPEFLAG_FDEFAULT, 0);
    HREFTYPE reference = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &reference), S_OK);
    ComPtr<ITypeInfo> implemented;
    ASSERT_EQ(coclass->GetRefTypeInfo(reference, implemented.put()), S_OK);
    EXPECT_EQ(Describe(*implemented.get(), MEMBERID_NIL).name, L"IDictionary");
}

TEST_F(TypeLibraryTest, InterfaceIsDualAutomationDerivedFromIDispatch)
{
    ComPtr<ITypeInfo> dispatchSide;
    ASSERT_EQ(library_->GetTypeInfoOfGuid(kIidIDictionary, dispatchSide.put()), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(dispatchSide->GetTypeAttr(&attributes), S_OK);
    EXPECT_NE(attributes->wTypeFlags & TYPEFLAG_FDUAL, 0);
    EXPECT_NE(attributes->wTypeFlags & TYPEFLAG_FDISPATCHABLE, 0);
    dispatchSide->ReleaseTypeAttr(attributes);

    auto vtableSide = InterfaceSide();
    ASSERT_TRUE(vtableSide);
    ASSERT_EQ(vtableSide->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->typekind, TKIND_INTERFACE);
    EXPECT_NE(attributes->wTypeFlags & TYPEFLAG_FOLEAUTOMATION, 0);
    EXPECT_EQ(attributes->cFuncs, static_cast<WORD>(Members().size()));
    vtableSide->ReleaseTypeAttr(attributes);

    HREFTYPE reference = 0;
    ASSERT_EQ(vtableSide->GetRefTypeOfImplType(0, &reference), S_OK);
    ComPtr<ITypeInfo> base;
    ASSERT_EQ(vtableSide->GetRefTypeInfo(reference, base.put()), S_OK);
    EXPECT_EQ(Describe(*base.get(), MEMBERID_NIL).name, L"IDispatch");
}

void ExpectDefault(const ELEMDESC& element, Default expected)
{
    const USHORT flags = element.paramdesc.wParamFlags;
    if (expected == Default::None) {
        EXPECT_EQ(flags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT), 0);
        return;
    }
    EXPECT_NE(flags & PARAMFLAG_FOPT, 0);
    if (expected == Default::Optional) {
        EXPECT_EQ(flags & PARAMFLAG_FHASDEFAULT, 0);
        return;
    }
    ASSERT_NE(flags & PARAMFLAG_FHASDEFAULT, 0);
    const VARIANT& value = element.paramdesc.pparamdescex->varDefaultValue;
    VARIANT converted;
    VariantInit(&converted);
    if (expected == Default::EmptyText) {
        ASSERT_EQ(V_VT(&value), VT_BSTR);
        EXPECT_EQ(SysStringLen(V_BSTR(&value)), 0u);
        return;
    }
    ASSERT_EQ(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_I4), S_OK);
    EXPECT_EQ(V_I4(&converted), expected == Default::MinusOne ? -1 : 0);
}

TEST_F(TypeLibraryTest, EveryMemberInFunctionTableOrder)
{
    auto info = InterfaceSide();
    ASSERT_TRUE(info);
    const auto& members = Members();
    for (UINT index = 0; index < members.size(); ++index) {
        const Member& expected = members[index];
        SCOPED_TRACE(testing::Message() << "member " << index + 1);
        FUNCDESC* function = nullptr;
        ASSERT_EQ(info->GetFuncDesc(index, &function), S_OK);
        EXPECT_EQ(function->memid, expected.id);
        EXPECT_EQ(function->invkind, expected.kind);
        EXPECT_EQ(function->wFuncFlags, expected.flags);
        // After the three IUnknown and four IDispatch entries.
        EXPECT_EQ(function->oVft, static_cast<SHORT>((7 + index) * sizeof(void*)));
        EXPECT_EQ(function->elemdescFunc.tdesc.vt, VT_HRESULT);
        ASSERT_EQ(function->cParams, static_cast<SHORT>(expected.parameters.size()));
        const auto described = Describe(*info.get(), function->memid);
        EXPECT_EQ(described.name, expected.name);

        std::vector<BSTR> names(expected.parameters.size() + 1, nullptr);
        UINT nameCount = 0;
        ASSERT_EQ(info->GetNames(function->memid, names.data(), static_cast<UINT>(names.size()), &nameCount), S_OK);
        for (std::size_t p = 0; p < expected.parameters.size(); ++p) {
            const Parameter& parameter = expected.parameters[p];
            const ELEMDESC& element = function->lprgelemdescParam[p];
            EXPECT_EQ(element.tdesc.vt, parameter.type) << "parameter " << p;
            if (parameter.name != nullptr && p + 1 < nameCount) {
                EXPECT_STREQ(names[p + 1], parameter.name);
            }
            ExpectDefault(element, parameter.value);
        }
        for (BSTR name : names) {
            SysFreeString(name);
        }
        info->ReleaseFuncDesc(function);

        // Help belongs to the DISPID; every kind of one property shares it.
        UniqueBstr help;
        DWORD helpContext = 0;
        ASSERT_EQ(info->GetDocumentation(expected.id, nullptr, help.put(), &helpContext, nullptr), S_OK);
        EXPECT_STREQ(help.get(), expected.help);
        EXPECT_EQ(helpContext, expected.helpContext);
    }
}

TEST_F(TypeLibraryTest, NamesResolveInAnyLetterCase)
{
    auto dictionary = NewDictionary();
    struct Case {
        const wchar_t* name;
        DISPID id;
    };
    for (const Case& c :
         {Case{L"itemscount", 5}, Case{L"ITEMSCOUNT", 5}, Case{L"ItemsCount", 5}, Case{L"item", 0},
          Case{L"_newenum", DISPID_NEWENUM}, Case{L"disconnect", 18}, Case{L"DebugInfo", 101}, Case{L"unlock", 12}}) {
        LPOLESTR name = const_cast<LPOLESTR>(c.name);
        DISPID id = 12345;
        EXPECT_EQ(dictionary->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK) << c.name;
        EXPECT_EQ(id, c.id) << c.name;
    }
    LPOLESTR unknown = const_cast<LPOLESTR>(L"NoSuchMember");
    DISPID id = 0;
    EXPECT_EQ(dictionary->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);

    LPOLESTR withParameter[] = {const_cast<LPOLESTR>(L"lock"), const_cast<LPOLESTR>(L"timeout")};
    DISPID ids[2] = {};
    EXPECT_EQ(dictionary->GetIDsOfNames(IID_NULL, withParameter, 2, 0, ids), S_OK);
    EXPECT_EQ(ids[0], 11);
    EXPECT_EQ(ids[1], 0);
}

TEST_F(TypeLibraryTest, ObjectHandsOutTheDescriptionOfIDictionary)
{
    auto dictionary = NewDictionary();
    UINT count = 0;
    ASSERT_EQ(dictionary->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    for (UINT index : {0u, 5u}) {
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(dictionary->GetTypeInfo(index, 0, info.put()), S_OK);
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
        EXPECT_TRUE(IsEqualGUID(attributes->guid, kIidIDictionary));
        info->ReleaseTypeAttr(attributes);
    }
    EXPECT_EQ(dictionary->GetTypeInfo(0, 0, nullptr), E_POINTER);
}

} // namespace
} // namespace korvo::test
