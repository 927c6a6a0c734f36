// The text dump, one line per record, and the key filter shared with Save and Load.
#include <sstream>

#include "commands.h"
#include "dic_test_files.h"

namespace korvo::dic::testing {
namespace {

struct Dumped {
    int code;
    std::string out;
    std::string err;
};

Dumped DumpOf(const Bytes& bytes, bool json = false, std::optional<std::string> pattern = {})
{
    ScratchFolder folder;
    WriteBytes(folder.File("f.dic"), bytes);
    std::ostringstream out, err;
    const int code = Dump(folder.File("f.dic"), {.json = json, .pattern = std::move(pattern)}, out, err);
    return {code, out.str(), err.str()};
}

Bytes Record(std::uint16_t tag, const Bytes& payload, std::u16string_view key)
{
    return LittleEndian(tag) + payload + LittleEndian(static_cast<std::uint32_t>(key.size())) + Units(key);
}

struct Line {
    const char* name;
    Bytes record;
    std::string line;
};

class TextLine : public ::testing::TestWithParam<Line> {};

TEST_P(TextLine, ShowsKeyTypeAndValue)
{
    const Dumped dumped = DumpOf(FileBuilder().Raw(GetParam().record).Finish());
    EXPECT_EQ(dumped.code, kSound) << dumped.err;
    EXPECT_EQ(dumped.out, GetParam().line + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Records, TextLine,
    ::testing::Values(
        Line{"empty", Record(VT_EMPTY, {}, u"k"), "\"k\"\tVT_EMPTY\t"},
        Line{"i1", Record(VT_I1, {0xFF, 9, 9, 9}, u"k"), "\"k\"\tVT_I1\t-1"},
        Line{"currency", Record(VT_CY, LittleEndian<std::int64_t>(-12345), u"k"), "\"k\"\tVT_CY\t-1.2345"},
        Line{"date", Record(VT_DATE, LittleEndian(std::bit_cast<std::uint64_t>(45351.5)), u"k"),
             "\"k\"\tVT_DATE\t2024-02-29 12:00:00"},
        Line{"float", Record(VT_R4, LittleEndian(std::bit_cast<std::uint32_t>(0.1f)), u"k"),
             "\"k\"\tVT_R4\t0.100000001"},
        Line{"bool", Record(VT_BOOL, {0xFF, 0xFF}, u"k"), "\"k\"\tVT_BOOL\tTrue"},
        Line{"error", Record(VT_ERROR, LittleEndian<std::uint32_t>(0x80020004), u"k"), "\"k\"\tVT_ERROR\t0x80020004"},
        Line{"unknown", Record(VT_UNKNOWN, {}, u"k"), "\"k\"\tVT_UNKNOWN\t(no object)"},
        Line{"escaped_text", Record(VT_BSTR, LittleEndian<std::uint32_t>(4) + Units(u"\"\t\xD800\u00e9"), u"\\"),
             "\"\\\\\"\tVT_BSTR\t\"\\\"\\u0009\\uD800\u00e9\""}),
    [](const auto& info) { return std::string(info.param.name); });

const Bytes kThreeKeys = FileBuilder()
                             .Raw(Record(VT_NULL, {}, u"apple"))
                             .Raw(Record(VT_NULL, {}, u"banana"))
                             .Raw(Record(VT_NULL, {}, u"apricot"))
                             .Finish();

struct Filtered {
    const char* name;
    const char* pattern;
    int code;
    std::string out;
};

class KeyPatternFilter : public ::testing::TestWithParam<Filtered> {};

TEST_P(KeyPatternFilter, SelectsKeysAsLoadWould)
{
    const Dumped dumped = DumpOf(kThreeKeys, false, GetParam().pattern);
    EXPECT_EQ(dumped.code, GetParam().code) << dumped.err;
    EXPECT_EQ(dumped.out, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, KeyPatternFilter,
    ::testing::Values(Filtered{"prefix", "^ap", kSound, "\"apple\"\tVT_NULL\t\n\"apricot\"\tVT_NULL\t\n"},
                      Filtered{"anywhere", "nan", kSound, "\"banana\"\tVT_NULL\t\n"},
                      Filtered{"none", "^z", kSound, ""},
                      Filtered{"empty_means_every_key", "", kSound,
                               "\"apple\"\tVT_NULL\t\n\"banana\"\tVT_NULL\t\n\"apricot\"\tVT_NULL\t\n"},
                      Filtered{"does_not_compile", "(", kCannotRun, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeyPatternFilter, JsonOfAFilteredDumpWritesTheFilteredFile)
{
    const Dumped dumped = DumpOf(kThreeKeys, true, "^b");
    ASSERT_EQ(dumped.code, kSound);
    ScratchFolder folder;
    WriteText(folder.File("f.json"), dumped.out);
    std::ostringstream err;
    ASSERT_EQ(FromJson(folder.File("f.json"), folder.File("f.dic"), err), kSound);
    EXPECT_EQ(ReadBytes(folder.File("f.dic")), FileBuilder().Raw(Record(VT_NULL, {}, u"banana")).Finish());
}

TEST(TextDump, RecordsBeforeAProblemAreShownThenTheProblem)
{
    const Dumped dumped = DumpOf(FileBuilder().Raw(Record(VT_NULL, {}, u"k")).Raw({9, 0}).Finish(false));
    EXPECT_EQ(dumped.code, kFileProblem);
    EXPECT_EQ(dumped.out, "\"k\"\tVT_NULL\t\n");
    EXPECT_EQ(dumped.err.substr(0, 30), "offset 12: unknown type tag 9:");
}

} // namespace
} // namespace korvo::dic::testing
