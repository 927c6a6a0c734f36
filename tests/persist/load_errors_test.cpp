// Load of damaged, hostile and unusual files: each gives its result and keeps the records
// read before the failure.
#include "persist_test_support.h"

namespace korvo::testing {
namespace {

constexpr HRESULT kInvalidData = static_cast<HRESULT>(0x8007000D);
constexpr HRESULT kEndOfFile = static_cast<HRESULT>(0x80070026);

const Bytes kMagic = {0x66, 0x44, 0x49, 0x43};
const Bytes kEnd = {0xFF, 0xFF};

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// An I4 record under a one-letter key.
Bytes IntRecord(char key, std::uint8_t value)
{
    return {0x03, 0x00, value, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, static_cast<std::uint8_t>(key), 0x00};
}

class LoadFile : public ::testing::Test {
protected:
    HRESULT LoadBytes(const Bytes& bytes, const char16_t* pattern = nullptr)
    {
        WriteBytes(dir_.File("in.dic"), bytes);
        return LoadFrom(object_, dir_.File("in.dic"), pattern);
    }

    ScratchDirectory dir_;
    ObjectState object_;
};

TEST_F(LoadFile, TruncatedAtEveryOffsetKeepsTheWholeRecordsBeforeTheCut)
{
    ScratchDirectory source;
    ObjectState saved;
    saved.SetUniqueKeys(VARIANT_FALSE);
    AddInt(saved, u"a", 1);
    AddText(saved, u"a", u"xy");
    AddInt(saved, u"bc", 7);
    ASSERT_EQ(SaveTo(saved, source.File("full.dic")), S_OK);
    const Bytes full = ReadBytes(source.File("full.dic"));
    // Record boundaries: magic 4, then 12, 16 and 14 bytes, then the end marker.
    const std::vector<std::size_t> recordEnds = {4 + 12, 4 + 12 + 16, 4 + 12 + 16 + 14};
    ASSERT_EQ(full.size(), recordEnds.back() + 2);

    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        ObjectState object;
        object.SetUniqueKeys(VARIANT_FALSE);
        WriteBytes(dir_.File("cut.dic"), Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));
        const HRESULT result = LoadFrom(object, dir_.File("cut.dic"));
        const auto whole = static_cast<LONG>(
            std::count_if(recordEnds.begin(), recordEnds.end(), [&](std::size_t end) { return end <= cut; }));
        EXPECT_EQ(result, cut < 4 ? kInvalidData : kEndOfFile) << "cut at " << cut;
        EXPECT_EQ(ItemsCountOf(object), whole) << "cut at " << cut;
    }
}

TEST_F(LoadFile, WrongOrShortMagicAddsNothing)
{
    AddInt(object_, u"kept", 1);
    EXPECT_EQ(LoadBytes(Concat({{0x66, 0x44, 0x49, 0x44}, IntRecord('a', 1), kEnd})), kInvalidData);
    EXPECT_EQ(LoadBytes({0x66, 0x44, 0x49}), kInvalidData);
    EXPECT_EQ(LoadBytes({}), kInvalidData);
    EXPECT_EQ(EntriesOf(object_), (std::vector<std::string>{"kept=I4:1"}));
}

TEST_F(LoadFile, MissingEndMarkerKeepsEveryWholeRecord)
{
    EXPECT_EQ(LoadBytes(Concat({kMagic, IntRecord('a', 1), IntRecord('b', 2)})), kEndOfFile);
    EXPECT_EQ(EntriesOf(object_), (std::vector<std::string>{"a=I4:1", "b=I4:2"}));
}

TEST_F(LoadFile, BytesAfterTheEndMarkerAreIgnored)
{
    EXPECT_EQ(LoadBytes(Concat({kMagic, IntRecord('a', 1), kEnd, IntRecord('b', 2), {0x09, 0x00, 0x01}})), S_OK);
    EXPECT_EQ(EntriesOf(object_), (std::vector<std::string>{"a=I4:1"}));
}

TEST_F(LoadFile, TagsTheWriterNeverProducesStopTheLoadAtThatRecord)
{
    for (std::uint16_t tag : {9, 12, 14, 15, 26, 36, 0x2000, 0x400C, 0xFFFE}) {
        ObjectState object;
        WriteBytes(dir_.File("tag.dic"),
                   Concat({kMagic,
                           IntRecord('a', 1),
                           {static_cast<std::uint8_t>(tag & 0xFF), static_cast<std::uint8_t>(tag >> 8)},
                           {0x01, 0x00, 0x00, 0x00, 0x62, 0x00},
                           IntRecord('c', 3),
                           kEnd}));
        EXPECT_EQ(LoadFrom(object, dir_.File("tag.dic")), kInvalidData) << "tag " << tag;
        EXPECT_EQ(EntriesOf(object), (std::vector<std::string>{"a=I4:1"})) << "tag " << tag;
    }
}

TEST_F(LoadFile, HostileLengthsFailAsEndOfFileWithoutAllocatingThem)
{
    const Bytes hugeKey = {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x61, 0x00};
    const Bytes hugeString = {0x08, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0x78, 0x00};
    const Bytes overflowOn32Bits = {0x08, 0x00, 0x00, 0x00, 0x00, 0x80, 0x78, 0x00};
    for (const Bytes& record : {hugeKey, hugeString, overflowOn32Bits}) {
        ObjectState object;
        WriteBytes(dir_.File("huge.dic"), Concat({kMagic, IntRecord('a', 1), record, kEnd}));
        EXPECT_EQ(LoadFrom(object, dir_.File("huge.dic")), kEndOfFile);
        EXPECT_EQ(EntriesOf(object), (std::vector<std::string>{"a=I4:1"}));
    }
}

TEST_F(LoadFile, EmptyStringAndKeyAreValid)
{
    EXPECT_EQ(LoadBytes(Concat({kMagic, {0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, kEnd})), S_OK);
    EXPECT_EQ(EntriesOf(object_), (std::vector<std::string>{"=BSTR:"}));
}

TEST_F(LoadFile, UniqueKeysKeepTheStoredItemAndDropLaterRecordsSilently)
{
    AddInt(object_, u"a", 9);
    ClearErrorRecord();
    EXPECT_EQ(LoadBytes(Concat({kMagic, IntRecord('a', 1), IntRecord('b', 2), IntRecord('b', 3), kEnd})), S_OK);
    EXPECT_EQ(EntriesOf(object_), (std::vector<std::string>{"a=I4:9", "b=I4:2"}));
    // Add reported its refusal as for any client.
    EXPECT_EQ(TakeErrorRecord().description, u"This key is already in collection.");
}

TEST_F(LoadFile, SeveralItemsPerKeyAddToWhatIsThere)
{
    object_.SetUniqueKeys(VARIANT_FALSE);
    AddInt(object_, u"a", 9);
    const Bytes file = Concat({kMagic, IntRecord('a', 1), IntRecord('b', 2), kEnd});
    EXPECT_EQ(LoadBytes(file), S_OK);
    EXPECT_EQ(LoadBytes(file), S_OK);
    EXPECT_EQ(EntriesOf(object_), (std::vector<std::string>{"a=I4:9", "a=I4:1", "a=I4:1", "b=I4:2", "b=I4:2"}));
}

} // namespace
} // namespace korvo::testing

namespace korvo::testing {
namespace {

// Tags 24 and 25 carry 0 and 4 bytes; whether Add keeps such a value is the variant copy's
// decision, but the reader stays in step with the file either way.
TEST_F(LoadFile, TagsThatNoStoredItemHasAreReadInStep)
{
    EXPECT_EQ(LoadBytes(Concat({kMagic,
                                {0x18, 0x00, 0x01, 0x00, 0x00, 0x00, 0x76, 0x00},
                                {0x19, 0x00, 0x05, 0x40, 0x00, 0x80, 0x01, 0x00, 0x00, 0x00, 0x68, 0x00},
                                IntRecord('z', 26),
                                kEnd})),
              S_OK);
    const auto entries = EntriesOf(object_);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back(), "z=I4:26");
}

} // namespace
} // namespace korvo::testing
