// The bytes Save writes: the worked examples, records per item, and replacing a file.
#include "persist_test_support.h"

namespace korvo::testing {
namespace {

const Bytes kEmptyStoreFile = {0x66, 0x44, 0x49, 0x43, 0xFF, 0xFF};

TEST(FileFormat, IntegerAndStringUnderOneKey)
{
    ScratchDirectory dir;
    ObjectState object;
    object.SetUniqueKeys(VARIANT_FALSE);
    AddInt(object, u"a", 1);
    AddText(object, u"a", u"x");
    ASSERT_EQ(SaveTo(object, dir.File("d.dic")), S_OK);
    const Bytes expected = {0x66, 0x44, 0x49, 0x43, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,
                            0x00, 0x00, 0x00, 0x61, 0x00, 0x08, 0x00, 0x01, 0x00, 0x00, 0x00,
                            0x78, 0x00, 0x01, 0x00, 0x00, 0x00, 0x61, 0x00, 0xFF, 0xFF};
    EXPECT_EQ(ReadBytes(dir.File("d.dic")), expected);
}

TEST(FileFormat, TwoByteIntegerRecord)
{
    ScratchDirectory dir;
    ObjectState object;
    object.SetUniqueKeys(VARIANT_FALSE);
    Var shortOne;
    V_VT(shortOne.get()) = VT_I2;
    V_I2(shortOne.get()) = 1;
    AddOk(object, u"a", *shortOne.get());
    AddText(object, u"a", u"x");
    ASSERT_EQ(SaveTo(object, dir.File("d.dic")), S_OK);
    const Bytes expected = {0x66, 0x44, 0x49, 0x43, 0x02, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x61, 0x00, 0x08,
                            0x00, 0x01, 0x00, 0x00, 0x00, 0x78, 0x00, 0x01, 0x00, 0x00, 0x00, 0x61, 0x00, 0xFF, 0xFF};
    EXPECT_EQ(ReadBytes(dir.File("d.dic")), expected);
}

TEST(FileFormat, EmptyStoreAndUnmatchedPatternSaveSixBytes)
{
    ScratchDirectory dir;
    ObjectState empty;
    ASSERT_EQ(SaveTo(empty, dir.File("empty.dic")), S_OK);
    EXPECT_EQ(ReadBytes(dir.File("empty.dic")), kEmptyStoreFile);

    ObjectState filled;
    AddInt(filled, u"abc", 1);
    ASSERT_EQ(SaveTo(filled, dir.File("none.dic"), false, u"^z"), S_OK);
    EXPECT_EQ(ReadBytes(dir.File("none.dic")), kEmptyStoreFile);

    ObjectState loaded;
    EXPECT_EQ(LoadFrom(loaded, dir.File("empty.dic")), S_OK);
    EXPECT_EQ(ItemsCountOf(loaded), 0);
}

TEST(FileFormat, KeyWithThreeItemsGivesThreeRecordsInOrder)
{
    ScratchDirectory dir;
    ObjectState object;
    object.SetUniqueKeys(VARIANT_FALSE);
    AddInt(object, u"k", 1);
    AddInt(object, u"k", 2);
    AddInt(object, u"k", 3);
    ASSERT_EQ(SaveTo(object, dir.File("d.dic")), S_OK);
    EXPECT_EQ(ReadBytes(dir.File("d.dic")).size(), 4u + 3u * (2 + 4 + 4 + 2) + 2u);

    ObjectState several;
    several.SetUniqueKeys(VARIANT_FALSE);
    ASSERT_EQ(LoadFrom(several, dir.File("d.dic")), S_OK);
    EXPECT_EQ(EntriesOf(several), (std::vector<std::string>{"k=I4:1", "k=I4:2", "k=I4:3"}));

    // A new object is in unique-keys mode: only the first record of the key is added.
    ObjectState unique;
    ClearErrorRecord();
    ASSERT_EQ(LoadFrom(unique, dir.File("d.dic")), S_OK);
    EXPECT_EQ(EntriesOf(unique), (std::vector<std::string>{"k=I4:1"}));
}

TEST(FileFormat, SaveReplacesTheWholeFile)
{
    ScratchDirectory dir;
    WriteBytes(dir.File("d.dic"), Bytes(1000, 0xAB));
    ObjectState object;
    ASSERT_EQ(SaveTo(object, dir.File("d.dic")), S_OK);
    EXPECT_EQ(ReadBytes(dir.File("d.dic")), kEmptyStoreFile);
}

TEST(FileFormat, LargeStoreCrossesTheBufferAndComesBackWhole)
{
    ScratchDirectory dir;
    ObjectState object;
    const std::u16string longText(70000, u'z');
    AddText(object, u"long", longText);
    for (LONG i = 0; i < 5000; ++i) {
        const std::string key = "key" + std::to_string(i);
        AddInt(object, std::u16string(key.begin(), key.end()), i);
    }
    ASSERT_EQ(SaveTo(object, dir.File("d.dic")), S_OK);
    ObjectState loaded;
    ASSERT_EQ(LoadFrom(loaded, dir.File("d.dic")), S_OK);
    EXPECT_EQ(EntriesOf(loaded), EntriesOf(object));
}

} // namespace
} // namespace korvo::testing
