// Files that are not sound: every cut of a file with every type tag, and files built to
// mislead (huge lengths, bad tags, a wrong magic). Each gives a clear reason at the right
// offset and a non-zero exit, and never a crash (run under the sanitizers too).
#include <sstream>

#include "commands.h"
#include "dic_test_files.h"

namespace korvo::dic::testing {
namespace {

struct Checked {
    int verified;
    int dumped;
    std::string problem;
};

Checked Check(const Bytes& bytes)
{
    ScratchFolder folder;
    WriteBytes(folder.File("f.dic"), bytes);
    std::ostringstream out, err, dumpOut, dumpErr;
    Checked checked{Verify(folder.File("f.dic"), out, err), 0, err.str()};
    checked.dumped = Dump(folder.File("f.dic"), {.json = true, .pattern = {}}, dumpOut, dumpErr);
    return checked;
}

TEST(HostileFile, EveryCutOfASoundFileIsAProblemAtOrBeforeTheCut)
{
    const Bytes whole = EveryTagFile();
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const Checked checked = Check(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)));
        ASSERT_EQ(checked.verified, kFileProblem) << "cut at " << size;
        ASSERT_EQ(checked.dumped, kFileProblem) << "cut at " << size;
        const std::size_t offset = std::stoul(checked.problem.substr(checked.problem.find(' ') + 1));
        ASSERT_LE(offset, size) << checked.problem;
    }
}

struct Misleading {
    const char* name;
    Bytes bytes;
    std::string problem; // "offset N: ..." as far as it is given
};

class MisleadingFile : public ::testing::TestWithParam<Misleading> {};

TEST_P(MisleadingFile, NamesTheOffsetAndReason)
{
    const Checked checked = Check(GetParam().bytes);
    EXPECT_EQ(checked.verified, kFileProblem);
    EXPECT_EQ(checked.dumped, kFileProblem);
    EXPECT_EQ(checked.problem.substr(0, GetParam().problem.size()), GetParam().problem) << checked.problem;
}

const Bytes kMagic = {'f', 'D', 'I', 'C'};
const Bytes kKeyA = LittleEndian<std::uint32_t>(1) + Units(u"a");
const Bytes kNull = Bytes{1, 0} + kKeyA; // 8 bytes

INSTANTIATE_TEST_SUITE_P(
    Files, MisleadingFile,
    ::testing::Values(
        Misleading{"empty", {}, "offset 0: not a dictionary file: shorter"},
        Misleading{"other_magic",
                   {'f', 'D', 'I', 'D', 0xFF, 0xFF},
                   "offset 0: not a dictionary file: the magic is 66 44 49 44"},
        Misleading{"no_end_marker", kMagic + kNull, "offset 12: the file ends without the end marker"},
        Misleading{"half_an_end_marker", kMagic + Bytes{0xFF}, "offset 4: type tag needs 2 bytes, the file has 1 left"},
        Misleading{"tag_never_written", kMagic + kNull + Bytes{9, 0} + kKeyA, "offset 12: unknown type tag 9"},
        Misleading{"array_tag", kMagic + Bytes{0x0C, 0x20} + kKeyA, "offset 4: unknown type tag 8204"},
        Misleading{"huge_string_length", kMagic + Bytes{8, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'x', 0} + kKeyA,
                   "offset 10: string of 4294967295 code units needs 8589934590 bytes, the file has 8 left"},
        Misleading{"huge_key_length", kMagic + Bytes{0, 0, 0xFE, 0xFF, 0xFF, 0x7F, 'a', 0, 0xFF, 0xFF},
                   "offset 10: key of 2147483646 code units needs"},
        Misleading{"payload_cut", kMagic + Bytes{5, 0, 1, 2, 3}, "offset 6: payload of the VT_R8 record needs 8 bytes"},
        Misleading{"key_length_cut", kMagic + Bytes{2, 0, 1, 0, 1, 0}, "offset 8: key length needs 4 bytes"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HostileFile, MissingFileCannotBeRead)
{
    ScratchFolder folder;
    std::ostringstream out, err;
    EXPECT_EQ(Verify(folder.File("absent.dic"), out, err), kCannotRun);
    EXPECT_NE(err.str().find("0x80070002"), std::string::npos) << err.str();
}

} // namespace
} // namespace korvo::dic::testing
