// I/O that fails part-way, injected by countdown at every write, flush, rename and read of a
// Save or a Load: a failed Save reports the failure and leaves the old file byte for byte
// (and no temporary file); a Load that fails keeps exactly the records before the failure.
// The injection is the posix platform's test seam, so these run natively only.
#include <filesystem>
#include <iterator>

#include "persist_test_support.h"

namespace korvo::testing {
namespace {

#if !defined(_WIN32)

using posix::FileFault;
using posix::FileOperation;

constexpr HRESULT kDiskFull = static_cast<HRESULT>(0x80070070);
constexpr HRESULT kWriteFault = static_cast<HRESULT>(0x8007001D);
constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80070005);
constexpr HRESULT kReadFault = static_cast<HRESULT>(0x8007001E);
constexpr HRESULT kEndOfFile = static_cast<HRESULT>(0x80070026);
constexpr HRESULT kInvalidData = static_cast<HRESULT>(0x8007000D);

class FaultScope {
public:
    FaultScope(FileOperation operation, long callsBefore, FileFault fault)
    {
        posix::InjectFileFault(operation, callsBefore, fault);
    }
    ~FaultScope() { posix::ClearFileFault(); }
    FaultScope(const FaultScope&) = delete;
    FaultScope& operator=(const FaultScope&) = delete;
};

// Enough records for a file of several megabytes, so that Save writes it in more than one
// call and Load reads it in many.
void FillLarge(ObjectState& object)
{
    const std::u16string text(200, u'x');
    for (int i = 0; i < 12000; ++i) {
        const std::string key = "key" + std::to_string(100000 + i);
        AddText(object, std::u16string(key.begin(), key.end()), text);
    }
}

std::size_t FilesIn(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

struct SaveFault {
    const char* name;
    FileOperation operation;
    FileFault fault;
    HRESULT expected; // S_OK: the fault is absorbed and the Save completes
};

class FailedSave : public ::testing::TestWithParam<SaveFault> {};

TEST_P(FailedSave, KeepsTheOldFileAtEveryCall)
{
    const SaveFault& c = GetParam();
    ScratchDirectory dir;
    ObjectState old;
    AddInt(old, u"old", 1);
    ASSERT_EQ(SaveTo(old, dir.File("d.dic")), S_OK);
    const Bytes oldBytes = ReadBytes(dir.File("d.dic"));

    ObjectState large;
    FillLarge(large);
    ASSERT_EQ(SaveTo(large, dir.File("expected.dic")), S_OK);
    const Bytes newBytes = ReadBytes(dir.File("expected.dic"));
    std::filesystem::remove(dir.File("expected.dic"));

    int faulted = 0;
    for (long callsBefore = 0; callsBefore < 64; ++callsBefore) {
        HRESULT saved = S_OK;
        {
            FaultScope fault(c.operation, callsBefore, c.fault);
            saved = SaveTo(large, dir.File("d.dic"));
        }
        EXPECT_EQ(FilesIn(dir.path()), 1u) << "a temporary file stayed at call " << callsBefore;
        if (saved == S_OK && ReadBytes(dir.File("d.dic")) == newBytes) {
            if (c.expected == S_OK) {
                ++faulted;
            }
            break; // past the last call of this kind: the Save ran clean
        }
        ++faulted;
        EXPECT_EQ(saved, c.expected) << "call " << callsBefore;
        EXPECT_EQ(ReadBytes(dir.File("d.dic")), oldBytes) << "call " << callsBefore;
    }
    EXPECT_GT(faulted, 0) << "no call was made to fail";
}

INSTANTIATE_TEST_SUITE_P(Faults, FailedSave,
                         ::testing::Values(SaveFault{"WriteFails", FileOperation::Write, FileFault::Fails, kDiskFull},
                                           SaveFault{"WriteComesUpShort", FileOperation::Write, FileFault::Short, S_OK},
                                           SaveFault{"FlushFails", FileOperation::Flush, FileFault::Fails, kWriteFault},
                                           SaveFault{"ReplaceFails", FileOperation::Replace, FileFault::Fails,
                                                     kAccessDenied}),
                         [](const auto& info) { return std::string(info.param.name); });

struct LoadFault {
    const char* name;
    FileFault fault;
    HRESULT expected;
};

class FailedLoad : public ::testing::TestWithParam<LoadFault> {};

TEST_P(FailedLoad, KeepsTheRecordsBeforeTheFailure)
{
    const LoadFault& c = GetParam();
    ScratchDirectory dir;
    ObjectState source;
    FillLarge(source);
    ASSERT_EQ(SaveTo(source, dir.File("d.dic")), S_OK);
    const auto all = EntriesOf(source);

    long callsBefore = 0;
    for (; callsBefore < 200; ++callsBefore) {
        ObjectState loaded;
        HRESULT result = S_OK;
        {
            posix::InjectFileFault(FileOperation::Read, callsBefore, c.fault);
            result = LoadFrom(loaded, dir.File("d.dic"));
            posix::ClearFileFault();
        }
        const auto entries = EntriesOf(loaded);
        if (result == S_OK) {
            EXPECT_EQ(entries, all);
            break;
        }
        // The first read brings the magic: a file whose magic cannot be read is no dictionary file.
        EXPECT_EQ(result, callsBefore == 0 ? kInvalidData : c.expected) << "read " << callsBefore;
        ASSERT_LE(entries.size(), all.size());
        EXPECT_TRUE(std::equal(entries.begin(), entries.end(), all.begin())) << "read " << callsBefore;
    }
    EXPECT_GT(callsBefore, 10) << "the file was read in too few calls to test much";
}

INSTANTIATE_TEST_SUITE_P(Faults, FailedLoad,
                         ::testing::Values(LoadFault{"ReadFails", FileFault::Fails, kReadFault},
                                           LoadFault{"FileSeemsToEnd", FileFault::Short, kEndOfFile}),
                         [](const auto& info) { return std::string(info.param.name); });

#endif

} // namespace
} // namespace korvo::testing
