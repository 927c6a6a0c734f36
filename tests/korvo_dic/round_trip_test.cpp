// dump --json then from-json gives back the same bytes: every type tag through the
// component's writer, the bytes the writer never makes but the reader accepts, and JSON
// written by hand.
#include <sstream>

#include "commands.h"
#include "dic_test_files.h"

namespace korvo::dic::testing {
namespace {

struct Trip {
    int dumped = -1;
    int written = -1;
    std::string json;
    Bytes bytes;
};

Trip RoundTrip(const Bytes& original)
{
    ScratchFolder folder;
    WriteBytes(folder.File("in.dic"), original);
    Trip trip;
    std::ostringstream out, err;
    trip.dumped = Dump(folder.File("in.dic"), {.json = true, .pattern = {}}, out, err);
    trip.json = out.str();
    WriteText(folder.File("in.json"), trip.json);
    trip.written = FromJson(folder.File("in.json"), folder.File("out.dic"), err);
    trip.bytes = ReadBytes(folder.File("out.dic"));
    return trip;
}

TEST(RoundTrip, EveryTypeTagComesBackByteForByte)
{
    const Bytes original = EveryTagFile();
    const Trip trip = RoundTrip(original);
    EXPECT_EQ(trip.dumped, kSound);
    EXPECT_EQ(trip.written, kSound);
    EXPECT_EQ(trip.bytes, original);
    // Values a JSON reader would round or refuse travel as text.
    for (const char* exact : {"\"-9223372036854775808\"", "\"18446744073709551615\"", "\"0x7FA00001\"",
                              "\"0xFFF8000000000123\"", "\"-Infinity\"", "\"0x8000000000000000\"", "\"key\": [",
                              "\"value\": [", "\"value\": \"\\u0000\"", "\"text\": \"1899-12-29 06:00:00\""}) {
        EXPECT_NE(trip.json.find(exact), std::string::npos) << exact;
    }
}

struct RawFile {
    const char* name;
    Bytes bytes;
    int dumped;
};

class RawRoundTrip : public ::testing::TestWithParam<RawFile> {};

TEST_P(RawRoundTrip, KeepsWhatTheReaderIgnores)
{
    const Trip trip = RoundTrip(GetParam().bytes);
    EXPECT_EQ(trip.dumped, GetParam().dumped);
    EXPECT_EQ(trip.written, kSound);
    EXPECT_EQ(trip.bytes, GetParam().bytes);
}

const Bytes kKeyA = LittleEndian<std::uint32_t>(1) + Units(u"a");

INSTANTIATE_TEST_SUITE_P(
    Files, RawRoundTrip,
    ::testing::Values(
        RawFile{"empty_store", FileBuilder().Finish(), kSound},
        RawFile{"one_byte_integer_spare_bytes",
                FileBuilder().Raw(LittleEndian<std::uint16_t>(VT_I1) + Bytes{0x80, 1, 2, 3} + kKeyA).Finish(), kSound},
        RawFile{"unsigned_byte_spare_bytes",
                FileBuilder().Raw(LittleEndian<std::uint16_t>(VT_UI1) + Bytes{7, 0, 0, 0xFF} + kKeyA).Finish(), kSound},
        RawFile{"bool_neither_true_nor_false",
                FileBuilder().Raw(LittleEndian<std::uint16_t>(VT_BOOL) + Bytes{1, 0} + kKeyA).Finish(), kSound},
        RawFile{"bytes_after_the_end_marker", FileBuilder().Finish() + Bytes{0, 0xFF, 'x'}, kSound},
        RawFile{"no_end_marker", FileBuilder().Raw(LittleEndian<std::uint16_t>(VT_NULL) + kKeyA).Finish(false),
                kFileProblem}),
    [](const auto& info) { return std::string(info.param.name); });

struct HandWritten {
    const char* name;
    const char* json;
    Bytes bytes;
};

class FromHandWrittenJson : public ::testing::TestWithParam<HandWritten> {};

TEST_P(FromHandWrittenJson, WritesTheseBytes)
{
    ScratchFolder folder;
    WriteText(folder.File("in.json"), GetParam().json);
    std::ostringstream err;
    ASSERT_EQ(FromJson(folder.File("in.json"), folder.File("out.dic"), err), kSound) << err.str();
    EXPECT_EQ(ReadBytes(folder.File("out.dic")), GetParam().bytes);
}

const Bytes kMagic = {'f', 'D', 'I', 'C'};
const Bytes kEnd = {0xFF, 0xFF};

INSTANTIATE_TEST_SUITE_P(
    Documents, FromHandWrittenJson,
    ::testing::Values(
        // The file of a store with 'a' holding the 4-byte integer 1 and then the string 'x'.
        HandWritten{"integer_and_string",
                    R"({"records": [{"key": "a", "type": 3, "value": 1},
                                    {"key": "a", "type_name": "VT_BSTR", "value": "x"}]})",
                    kMagic + Bytes{3, 0, 1, 0, 0, 0} + kKeyA + Bytes{8, 0, 1, 0, 0, 0, 'x', 0} + kKeyA + kEnd},
        HandWritten{"names_without_prefix_and_hex_strings",
                    R"({"records": [{"key": [97], "type_name": "HRESULT", "value": "0x80004005"}]})",
                    kMagic + Bytes{25, 0, 5, 0x40, 0, 0x80} + kKeyA + kEnd},
        HandWritten{"double_from_its_value", R"({"records": [{"key": "a", "type": 5, "value": 1.0}]})",
                    kMagic + Bytes{5, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F} + kKeyA + kEnd},
        HandWritten{"bits_win_over_the_value",
                    R"({"records": [{"key": "a", "type": 4, "value": 1.0, "bits": "0x7FC00000"}]})",
                    kMagic + Bytes{4, 0, 0, 0, 0xC0, 0x7F} + kKeyA + kEnd},
        HandWritten{"lone_surrogate_as_code_units",
                    R"({"records": [{"key": "a", "type": 8, "value": [55296]}], "end_marker": false})",
                    kMagic + Bytes{8, 0, 1, 0, 0, 0, 0x00, 0xD8} + kKeyA},
        HandWritten{"bool_true_and_currency",
                    R"({"records": [{"key": "a", "type": 11, "value": true},
                                    {"key": "a", "type": 6, "value": "-1"}]})",
                    kMagic + Bytes{11, 0, 0xFF, 0xFF} + kKeyA + Bytes{6, 0} + LittleEndian<std::int64_t>(-1) + kKeyA +
                        kEnd}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace korvo::dic::testing
