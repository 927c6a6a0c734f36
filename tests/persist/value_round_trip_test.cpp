// Values through Save and Load: every tag with a payload under both compare modes, the
// values converted to text, arrays and SaveEmpty, by-reference variants.
#include <algorithm>
#include <functional>

#include "counting_object.h"
#include "members/items.h"
#include "members/keys_and_modes.h"
#include "persist_test_support.h"
#include "store/key_compare.h"

namespace korvo::testing {
namespace {

struct TaggedValue {
    const char* name;
    std::function<void(VARIANT&)> make;
    std::string described;
};

// Every tag the writer produces that a store can hold (the variant copy refuses VT_VOID and
// VT_HRESULT, so no stored item has them).
std::vector<TaggedValue> TaggedValues()
{
    return {
        {"empty", [](VARIANT&) {}, "EMPTY"},
        {"null", [](VARIANT& v) { V_VT(&v) = VT_NULL; }, "NULL"},
        {"i2",
         [](VARIANT& v) {
             V_VT(&v) = VT_I2;
             V_I2(&v) = -12345;
         },
         "I2:-12345"},
        {"i4",
         [](VARIANT& v) {
             V_VT(&v) = VT_I4;
             V_I4(&v) = -2000000000;
         },
         "I4:-2000000000"},
        {"r4",
         [](VARIANT& v) {
             V_VT(&v) = VT_R4;
             V_R4(&v) = 1.5f;
         },
         "R4:1.5"},
        {"r8",
         [](VARIANT& v) {
             V_VT(&v) = VT_R8;
             V_R8(&v) = -0.25;
         },
         "R8:-0.25"},
        {"cy",
         [](VARIANT& v) {
             V_VT(&v) = VT_CY;
             V_CY(&v).int64 = 123456789012LL;
         },
         "CY:123456789012"},
        {"date",
         [](VARIANT& v) {
             V_VT(&v) = VT_DATE;
             V_DATE(&v) = 45000.5;
         },
         "DATE:45000.5"},
        {"bstr",
         [](VARIANT& v) {
             V_VT(&v) = VT_BSTR;
             V_BSTR(&v) = SysAllocString(OLESTR("text"));
         },
         "BSTR:text"},
        {"bstr-null",
         [](VARIANT& v) {
             V_VT(&v) = VT_BSTR;
             V_BSTR(&v) = nullptr;
         },
         "BSTR:"},
        {"error",
         [](VARIANT& v) {
             V_VT(&v) = VT_ERROR;
             V_ERROR(&v) = static_cast<SCODE>(0x80020004);
         },
         "ERROR:80020004"},
        {"bool-true",
         [](VARIANT& v) {
             V_VT(&v) = VT_BOOL;
             V_BOOL(&v) = VARIANT_TRUE;
         },
         "BOOL:-1"},
        {"bool-false",
         [](VARIANT& v) {
             V_VT(&v) = VT_BOOL;
             V_BOOL(&v) = VARIANT_FALSE;
         },
         "BOOL:0"},
        {"i1",
         [](VARIANT& v) {
             V_VT(&v) = VT_I1;
             V_I1(&v) = -5;
         },
         "I1:-5"},
        {"ui1",
         [](VARIANT& v) {
             V_VT(&v) = VT_UI1;
             V_UI1(&v) = 250;
         },
         "UI1:250"},
        {"ui2",
         [](VARIANT& v) {
             V_VT(&v) = VT_UI2;
             V_UI2(&v) = 65000;
         },
         "UI2:65000"},
        {"ui4",
         [](VARIANT& v) {
             V_VT(&v) = VT_UI4;
             V_UI4(&v) = 4000000000u;
         },
         "UI4:4000000000"},
        {"i8",
         [](VARIANT& v) {
             V_VT(&v) = VT_I8;
             V_I8(&v) = -9000000000000000000LL;
         },
         "I8:-9000000000000000000"},
        {"ui8",
         [](VARIANT& v) {
             V_VT(&v) = VT_UI8;
             V_UI8(&v) = 18000000000000000000ULL;
         },
         "UI8:18000000000000000000"},
        {"int",
         [](VARIANT& v) {
             V_VT(&v) = VT_INT;
             V_INT(&v) = -7;
         },
         "INT:-7"},
        {"uint",
         [](VARIANT& v) {
             V_VT(&v) = VT_UINT;
             V_UINT(&v) = 7u;
         },
         "UINT:7"},
    };
}

class RoundTrip : public ::testing::TestWithParam<CompareMode> {
protected:
    CompareModeScope modeScope_;
    ScratchDirectory dir_;
};

TEST_P(RoundTrip, EveryTagWithItsPayloadKeysAndOrder)
{
    SetProcessCompareMode(GetParam());
    ObjectState saved;
    saved.SetUniqueKeys(VARIANT_FALSE);
    for (const auto& value : TaggedValues()) {
        Var item;
        value.make(*item.get());
        const std::string name(value.name);
        // Two spellings per name, so text mode folds them into one key with two items.
        AddOk(saved, std::u16string(name.begin(), name.end()), *item.get());
        std::string upper = name;
        upper[0] = static_cast<char>(upper[0] - 'a' + 'A');
        AddOk(saved, std::u16string(upper.begin(), upper.end()), *item.get());
    }
    ASSERT_EQ(SaveTo(saved, dir_.File("all.dic")), S_OK);

    ObjectState loaded;
    loaded.SetUniqueKeys(VARIANT_FALSE);
    ASSERT_EQ(LoadFrom(loaded, dir_.File("all.dic")), S_OK);
    const auto entries = EntriesOf(loaded);
    // A null string comes back as an empty one; everything else exactly as it was saved.
    auto expected = EntriesOf(saved);
    for (auto& entry : expected) {
        if (const auto at = entry.find("BSTR(null)"); at != std::string::npos) {
            entry.replace(at, 10, "BSTR:");
        }
    }
    EXPECT_EQ(entries, expected);
    for (const auto& value : TaggedValues()) {
        const std::string entry = std::string(value.name) + "=" + value.described;
        EXPECT_NE(std::find(entries.begin(), entries.end(), entry), entries.end()) << entry;
    }
}

INSTANTIATE_TEST_SUITE_P(CompareModes, RoundTrip, ::testing::Values(CompareMode::Binary, CompareMode::Text));

// Loaded keys share blocks of memory; removing, renaming and dropping them in any order must
// leave every other key's text intact (the sanitizer builds see a block freed early).
TEST(LoadedKeys, SurviveRemovalsRenamesAndTheStoreGoing)
{
    ScratchDirectory dir;
    std::vector<std::u16string> keys;
    {
        ObjectState saved;
        for (int i = 0; i < 10000; ++i) {
            std::u16string key = u"key-" + std::u16string(static_cast<std::size_t>(i % 37), u'x');
            for (const char c : std::to_string(i)) {
                key.push_back(static_cast<char16_t>(c));
            }
            keys.push_back(key);
            AddInt(saved, key, i);
        }
        ASSERT_EQ(SaveTo(saved, dir.File("long.dic")), S_OK);
    }
    ObjectState loaded;
    ASSERT_EQ(LoadFrom(loaded, dir.File("long.dic")), S_OK);
    ObjectState expected;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i % 3 == 0) {
            EXPECT_EQ(members::Remove(loaded, Bstr(keys[i]), 0), S_OK);
        } else if (i % 3 == 1) {
            const std::u16string renamed = keys[i] + u"-renamed";
            EXPECT_EQ(members::PutKey(loaded, Bstr(keys[i]), Bstr(renamed)), S_OK);
            AddInt(expected, renamed, static_cast<LONG>(i));
        } else {
            AddInt(expected, keys[i], static_cast<LONG>(i));
        }
    }
    EXPECT_EQ(EntriesOf(loaded), EntriesOf(expected));
}

TEST(ValueWriter, SingleByteTypesTakeFourBytesWithTheValueFirst)
{
    ScratchDirectory dir;
    ObjectState object;
    Var item;
    V_VT(item.get()) = VT_UI1;
    V_UI1(item.get()) = 0x7F;
    AddOk(object, u"b", *item.get());
    ASSERT_EQ(SaveTo(object, dir.File("d.dic")), S_OK);
    const Bytes expected = {0x66, 0x44, 0x49, 0x43, 0x11, 0x00, 0x7F, 0x00, 0x00,
                            0x00, 0x01, 0x00, 0x00, 0x00, 0x62, 0x00, 0xFF, 0xFF};
    EXPECT_EQ(ReadBytes(dir.File("d.dic")), expected);
}

TEST(ValueWriter, ObjectReferenceIsTaggedAndLoadsAsNoObject)
{
    ScratchDirectory dir;
    CountingObject object(OLESTR("ignored"));
    {
        ObjectState store;
        Var item;
        V_VT(item.get()) = VT_UNKNOWN;
        V_UNKNOWN(item.get()) = &object;
        object.AddRef();
        AddOk(store, u"u", *item.get());
        ASSERT_EQ(SaveTo(store, dir.File("d.dic")), S_OK);
    }
    EXPECT_EQ(object.references(), 1u);
    const Bytes expected = {0x66, 0x44, 0x49, 0x43, 0x0D, 0x00, 0x01, 0x00, 0x00, 0x00, 0x75, 0x00, 0xFF, 0xFF};
    EXPECT_EQ(ReadBytes(dir.File("d.dic")), expected);
    ObjectState loaded;
    ASSERT_EQ(LoadFrom(loaded, dir.File("d.dic")), S_OK);
    EXPECT_EQ(EntriesOf(loaded), (std::vector<std::string>{"u=UNKNOWN:null"}));
}

TEST(ValueWriter, ObjectWithDefaultPropertyIsSavedAsItsText)
{
    ScratchDirectory dir;
    CountingObject object(OLESTR("seven"));
    {
        ObjectState store;
        Var item;
        V_VT(item.get()) = VT_DISPATCH;
        V_DISPATCH(item.get()) = &object;
        object.AddRef();
        AddOk(store, u"o", *item.get());
        ASSERT_EQ(SaveTo(store, dir.File("d.dic")), S_OK);
    }
    EXPECT_EQ(object.references(), 1u);
    ObjectState loaded;
    ASSERT_EQ(LoadFrom(loaded, dir.File("d.dic")), S_OK);
    EXPECT_EQ(EntriesOf(loaded), (std::vector<std::string>{"o=BSTR:seven"}));
}

TEST(ValueWriter, DecimalIsSavedAsText)
{
    ScratchDirectory dir;
    ObjectState store;
    Var item;
    DECIMAL& decimal = V_DECIMAL(item.get());
    decimal.scale = 2;
    decimal.sign = 0x80;
    decimal.Hi32 = 0;
    decimal.Lo64 = 12345;
    V_VT(item.get()) = VT_DECIMAL;
    AddOk(store, u"d", *item.get());
    ASSERT_EQ(SaveTo(store, dir.File("d.dic")), S_OK);
    ObjectState loaded;
    ASSERT_EQ(LoadFrom(loaded, dir.File("d.dic")), S_OK);
    const auto entries = EntriesOf(loaded);
    ASSERT_EQ(entries.size(), 1u);
    // The digits come from the platform's conversion; the decimal separator follows its locale.
    EXPECT_EQ(entries[0].rfind("d=BSTR:-123", 0), 0u) << entries[0];
    EXPECT_NE(entries[0].find("45"), std::string::npos) << entries[0];
}

TEST(ValueWriter, ArrayIsLeftOutWithoutSaveEmptyAndEmptyWithIt)
{
    ScratchDirectory dir;
    ObjectState store;
    store.SetUniqueKeys(VARIANT_FALSE);
    AddInt(store, u"a", 1);
    Var array;
    V_VT(array.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(array.get()) = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    ASSERT_NE(V_ARRAY(array.get()), nullptr);
    AddOk(store, u"arr", *array.get());
    AddInt(store, u"b", 2);

    ASSERT_EQ(SaveTo(store, dir.File("without.dic"), false), S_OK);
    ASSERT_EQ(SaveTo(store, dir.File("with.dic"), true), S_OK);
    ObjectState without;
    ASSERT_EQ(LoadFrom(without, dir.File("without.dic")), S_OK);
    EXPECT_EQ(EntriesOf(without), (std::vector<std::string>{"a=I4:1", "b=I4:2"}));
    ObjectState with;
    ASSERT_EQ(LoadFrom(with, dir.File("with.dic")), S_OK);
    EXPECT_EQ(EntriesOf(with), (std::vector<std::string>{"a=I4:1", "arr=EMPTY", "b=I4:2"}));
}

TEST(ValueWriter, ByReferenceVariantsAreSavedAsWhatTheyReferTo)
{
    ScratchDirectory dir;
    ObjectState store;
    store.SetUniqueKeys(VARIANT_FALSE);

    VARIANT target;
    VariantInit(&target);
    V_VT(&target) = VT_I2;
    V_I2(&target) = 42;
    Var toVariant;
    V_VT(toVariant.get()) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(toVariant.get()) = &target;
    LONG number = 5;
    Var toLong;
    V_VT(toLong.get()) = VT_BYREF | VT_I4;
    V_I4REF(toLong.get()) = &number;
    // The store copies by-reference values as they are; the referred values outlive it.
    AddOk(store, u"v", *toVariant.get());
    AddOk(store, u"w", *toLong.get());
    ASSERT_EQ(SaveTo(store, dir.File("d.dic")), S_OK);

    const Bytes bytes = ReadBytes(dir.File("d.dic"));
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(bytes[4], 0x02); // the referring variant leaves no trace: tag 2 first
    ObjectState loaded;
    ASSERT_EQ(LoadFrom(loaded, dir.File("d.dic")), S_OK);
    EXPECT_EQ(EntriesOf(loaded), (std::vector<std::string>{"v=I2:42", "w=BSTR:5"}));
}

TEST(ValueWriter, LoopingReferenceChainIsTreatedAsUnconvertible)
{
    ScratchDirectory dir;
    ObjectState store;
    VARIANT loop;
    VariantInit(&loop);
    V_VT(&loop) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&loop) = &loop;
    AddOk(store, u"loop", loop);
    ASSERT_EQ(SaveTo(store, dir.File("skip.dic"), false), S_OK);
    EXPECT_EQ(ReadBytes(dir.File("skip.dic")), (Bytes{0x66, 0x44, 0x49, 0x43, 0xFF, 0xFF}));
    ASSERT_EQ(SaveTo(store, dir.File("empty.dic"), true), S_OK);
    ObjectState loaded;
    ASSERT_EQ(LoadFrom(loaded, dir.File("empty.dic")), S_OK);
    EXPECT_EQ(EntriesOf(loaded), (std::vector<std::string>{"loop=EMPTY"}));
}

} // namespace
} // namespace korvo::testing
