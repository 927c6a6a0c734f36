// Files that cannot be opened, created or written: the mapped results, an unchanged store,
// and the store's section released afterwards.
#include <future>
#include <thread>

#include "members/items.h"
#include "persist_test_support.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace korvo::testing {
namespace {

constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);
constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003);
constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80070005);

// True when another thread can enter the store now: the call left the section.
bool StoreIsFree(ObjectState& object)
{
    auto added = std::async(std::launch::async, [&] {
        Var item;
        V_VT(item.get()) = VT_I4;
        V_I4(item.get()) = 0;
        Bstr key(u"probe");
        return members::Add(object, key, item.get());
    });
    if (added.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        return false;
    }
    return added.get() == S_OK && RemoveAllMatching(object, u"^probe$") == S_OK;
}

class FileErrors : public ::testing::Test {
protected:
    void SetUp() override { AddInt(object_, u"k", 1); }

    ScratchDirectory dir_;
    ObjectState object_;
};

TEST_F(FileErrors, LoadOfMissingFileOrDirectory)
{
    EXPECT_EQ(LoadFrom(object_, dir_.File("missing.dic")), kFileNotFound);
    EXPECT_EQ(LoadFrom(object_, dir_.File("no-dir") / "missing.dic"), kPathNotFound);
    EXPECT_EQ(EntriesOf(object_), (std::vector<std::string>{"k=I4:1"}));
    EXPECT_TRUE(StoreIsFree(object_));
}

TEST_F(FileErrors, SaveIntoMissingDirectory)
{
    EXPECT_EQ(SaveTo(object_, dir_.File("no-dir") / "d.dic"), kPathNotFound);
    EXPECT_FALSE(std::filesystem::exists(dir_.File("no-dir")));
    EXPECT_TRUE(StoreIsFree(object_));
}

TEST_F(FileErrors, SaveOntoADirectoryIsDenied)
{
    std::filesystem::create_directory(dir_.File("sub"));
    EXPECT_EQ(SaveTo(object_, dir_.File("sub")), kAccessDenied);
    EXPECT_TRUE(StoreIsFree(object_));
}

#if !defined(_WIN32)
TEST_F(FileErrors, SaveOntoReadOnlyFileIsDenied)
{
    if (geteuid() == 0) {
        GTEST_SKIP() << "file permissions do not bind the superuser";
    }
    WriteBytes(dir_.File("ro.dic"), {1, 2, 3});
    ASSERT_EQ(chmod(dir_.File("ro.dic").c_str(), 0444), 0);
    EXPECT_EQ(SaveTo(object_, dir_.File("ro.dic")), kAccessDenied);
    EXPECT_EQ(ReadBytes(dir_.File("ro.dic")), (Bytes{1, 2, 3}));
}

TEST_F(FileErrors, SaveToFullDiskReportsTheFailedWrite)
{
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    EXPECT_EQ(SaveTo(object_, "/dev/full"), static_cast<HRESULT>(0x80070070));
    EXPECT_TRUE(StoreIsFree(object_));
}

TEST_F(FileErrors, LoadOfADirectoryFailsAndLeavesTheStore)
{
    const HRESULT result = LoadFrom(object_, dir_.path());
    EXPECT_TRUE(FAILED(result));
    EXPECT_EQ(EntriesOf(object_), (std::vector<std::string>{"k=I4:1"}));
    EXPECT_TRUE(StoreIsFree(object_));
}

// Every path closes its file: no descriptor is left open after many calls.
TEST_F(FileErrors, NoFileHandleOutlivesTheCall)
{
    const auto openDescriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    SaveTo(object_, dir_.File("good.dic"));
    WriteBytes(dir_.File("bad.dic"), {0x66, 0x44, 0x49, 0x43, 0x09, 0x00});
    const auto before = openDescriptors();
    for (int i = 0; i < 50; ++i) {
        ObjectState object;
        SaveTo(object_, dir_.File("good.dic"));
        SaveTo(object_, "/dev/full");
        LoadFrom(object, dir_.File("good.dic"));
        LoadFrom(object, dir_.File("bad.dic"));
        LoadFrom(object, dir_.File("missing.dic"));
    }
    EXPECT_EQ(openDescriptors(), before);
}
#endif

} // namespace
} // namespace korvo::testing
