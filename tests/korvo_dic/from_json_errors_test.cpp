// JSON that does not describe a dictionary file: from-json names what is wrong, exits 2 and
// leaves the output file as it was.
#include <sstream>

#include "commands.h"
#include "dic_test_files.h"

namespace korvo::dic::testing {
namespace {

struct BadJson {
    const char* name;
    const char* json;
    const char* reason;
};

class RefusedJson : public ::testing::TestWithParam<BadJson> {};

TEST_P(RefusedJson, LeavesTheOutputFileAlone)
{
    ScratchFolder folder;
    WriteText(folder.File("in.json"), GetParam().json);
    const Bytes before = {'k', 'e', 'e', 'p'};
    WriteBytes(folder.File("out.dic"), before);
    std::ostringstream err;
    EXPECT_EQ(FromJson(folder.File("in.json"), folder.File("out.dic"), err), kCannotRun);
    EXPECT_NE(err.str().find(GetParam().reason), std::string::npos) << err.str();
    EXPECT_EQ(ReadBytes(folder.File("out.dic")), before);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, RefusedJson,
    ::testing::Values(
        BadJson{"not_json", "{\"records\": [", "is not JSON"}, BadJson{"not_an_object", "[1]", "not an object"},
        BadJson{"no_records", "{}", "no \"records\""},
        BadJson{"record_not_an_object", R"({"records": [1]})", "record 0: not an object"},
        BadJson{"no_key", R"({"records": [{"type": 0}]})", "record 0: no \"key\""},
        BadJson{"no_type", R"({"records": [{"key": "a"}]})", "no \"type_name\""},
        BadJson{"tag_the_file_never_holds", R"({"records": [{"key": "a", "type": 9}]})", "type 9 is not one"},
        BadJson{"unknown_type_name", R"({"records": [{"key": "a", "type_name": "VT_DECIMAL"}]})", "unknown type name"},
        BadJson{"tag_out_of_range", R"({"records": [{"key": "a", "type": 65536}]})", "out of range"},
        BadJson{"short_too_big", R"({"records": [{"key": "a", "type": 2, "value": 32768}]})", "out of range"},
        BadJson{"byte_too_small", R"({"records": [{"key": "a", "type": 16, "value": -129}]})", "out of range"},
        BadJson{"unsigned_negative", R"({"records": [{"key": "a", "type": 21, "value": "-1"}]})", "not an integer"},
        BadJson{"integer_with_junk", R"({"records": [{"key": "a", "type": 20, "value": "12x"}]})", "not an integer"},
        BadJson{"double_as_word", R"({"records": [{"key": "a", "type": 5, "value": "many"}]})", "expected a number"},
        BadJson{"code_unit_too_big", R"({"records": [{"key": [65536], "type": 0}]})", "out of range"},
        BadJson{"spare_bytes_too_many",
                R"({"records": [{"key": "a", "type": 17, "value": 1, "spare_bytes": "0x1000000"}]})",
                "not an integer in range"},
        BadJson{"end_marker_not_bool", R"({"records": [], "end_marker": 1})", "\"end_marker\""},
        BadJson{"trailing_odd", R"({"records": [], "trailing": "ABC"})", "odd number"},
        BadJson{"trailing_not_hex", R"({"records": [], "trailing": "ZZ"})", "not a hex digit"},
        BadJson{"second_record_bad", R"({"records": [{"key": "a", "type": 0}, {"key": 5, "type": 0}]})",
                "record 1: expected a string"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RefusedJson, MissingInputCannotBeRead)
{
    ScratchFolder folder;
    std::ostringstream err;
    EXPECT_EQ(FromJson(folder.File("absent.json"), folder.File("out.dic"), err), kCannotRun);
    EXPECT_FALSE(std::filesystem::exists(folder.File("out.dic")));
}

TEST(RefusedJson, DeepNestingIsRefusedWithoutExhaustingTheStack)
{
    ScratchFolder folder;
    const std::size_t depth = 100000;
    WriteText(folder.File("in.json"),
              "{\"records\": [{\"key\": " + std::string(depth, '[') + std::string(depth, ']') + ", \"type\": 0}]}");
    std::ostringstream err;
    EXPECT_EQ(FromJson(folder.File("in.json"), folder.File("out.dic"), err), kCannotRun);
    EXPECT_NE(err.str().find("record 0: expected an integer"), std::string::npos) << err.str();
}

} // namespace
} // namespace korvo::dic::testing
