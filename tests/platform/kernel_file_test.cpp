// Files: the failures callers turn into HRESULTs (missing file and directory, directories,
// read-only files, a full disk, bad handles), end of file, and truncation.
#include "kernel_test_support.h"
#include "platform/unique_handle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace {

namespace fs = std::filesystem;
using korvo::UniqueHandle;
using korvo::test::WidePath;

class KernelFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory_ = fs::temp_directory_path() / ("korvo-kernel-file-" + std::to_string(GetCurrentProcessId()) + "-" +
                                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(directory_);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(directory_, ignored);
    }

    static UniqueHandle Open(const fs::path& path, DWORD access, DWORD disposition)
    {
        return UniqueHandle(CreateFileW(WidePath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        disposition, 0, nullptr));
    }

    // The last error of a CreateFileW that must fail.
    static DWORD OpenFailure(const fs::path& path, DWORD access, DWORD disposition)
    {
        SetLastError(0);
        HANDLE handle = CreateFileW(WidePath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    disposition, 0, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
            return ERROR_SUCCESS;
        }
        return GetLastError();
    }

    static void WriteText(HANDLE file, const std::string& text)
    {
        DWORD written = 0;
        ASSERT_NE(WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr), FALSE);
        ASSERT_EQ(written, text.size());
    }

    static std::string ReadAll(const fs::path& path)
    {
        auto file = Open(path, GENERIC_READ, OPEN_EXISTING);
        std::string text;
        char buffer[7];
        DWORD got = 0;
        while (file && ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got != 0) {
            text.append(buffer, got);
        }
        return text;
    }

    fs::path directory_;
};

TEST_F(KernelFile, FailuresGiveTheWindowsCodes)
{
    const auto missing = directory_ / "missing.dic";
    const auto inMissingDirectory = directory_ / "no-such-dir" / "file.dic";
    struct Case {
        const char* what;
        fs::path path;
        DWORD access, disposition, error;
    };
    const Case cases[] = {
        {"missing file", missing, GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"read in missing directory", inMissingDirectory, GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"create in missing directory", inMissingDirectory, GENERIC_WRITE, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {"directory read as file", directory_, GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {"directory created as file", directory_, GENERIC_WRITE, CREATE_ALWAYS, ERROR_ACCESS_DENIED},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OpenFailure(c.path, c.access, c.disposition), c.error) << c.what;
    }
    EXPECT_FALSE(fs::exists(missing)) << "a failed OPEN_EXISTING creates nothing";
}

TEST_F(KernelFile, CreateNewRefusesAnExistingFile)
{
    const auto path = directory_ / "once.dic";
    ASSERT_TRUE(Open(path, GENERIC_WRITE, CREATE_NEW));
    EXPECT_EQ(OpenFailure(path, GENERIC_WRITE, CREATE_NEW), ERROR_FILE_EXISTS);
}

TEST_F(KernelFile, FileThatCannotBeWrittenIsAccessDenied)
{
    // A read-only kernel attribute file refuses writers even to root, who ignores file modes.
    const fs::path readOnly = "/sys/kernel/uevent_seqnum";
    std::error_code error;
    if (!fs::exists(readOnly, error)) {
        GTEST_SKIP() << "no read-only kernel attribute file on this system";
    }
    EXPECT_EQ(OpenFailure(readOnly, GENERIC_WRITE, OPEN_EXISTING), ERROR_ACCESS_DENIED);
}

TEST_F(KernelFile, WritingToAFullDiskIsDiskFull)
{
    std::error_code error;
    if (!fs::exists("/dev/full", error)) {
        GTEST_SKIP() << "no /dev/full on this system";
    }
    auto full = Open("/dev/full", GENERIC_WRITE, OPEN_EXISTING);
    ASSERT_TRUE(full) << GetLastError();
    DWORD written = 99;
    SetLastError(0);
    EXPECT_EQ(WriteFile(full.get(), "fDIC", 4, &written, nullptr), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_EQ(written, 0u);
}

TEST_F(KernelFile, ReadAtEndOfFileSucceedsWithNothing)
{
    const auto path = directory_ / "short.dic";
    {
        auto file = Open(path, GENERIC_WRITE, CREATE_ALWAYS);
        ASSERT_TRUE(file);
        WriteText(file.get(), "abc");
    }
    auto file = Open(path, GENERIC_READ, OPEN_EXISTING);
    ASSERT_TRUE(file);
    char buffer[8] = {};
    DWORD got = 99;
    ASSERT_NE(ReadFile(file.get(), buffer, 8, &got, nullptr), FALSE);
    EXPECT_EQ(got, 3u) << "a short read at the end is still success";
    EXPECT_EQ(std::string(buffer, got), "abc");
    ASSERT_NE(ReadFile(file.get(), buffer, 8, &got, nullptr), FALSE);
    EXPECT_EQ(got, 0u);
}

TEST_F(KernelFile, CreateAlwaysTruncatesAndReportsTheExistingFile)
{
    const auto path = directory_ / "twice.dic";
    {
        auto file = Open(path, GENERIC_WRITE, CREATE_ALWAYS);
        ASSERT_TRUE(file);
        EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
        WriteText(file.get(), "a much longer first content");
    }
    {
        auto file = Open(path, GENERIC_WRITE, CREATE_ALWAYS);
        ASSERT_TRUE(file);
        EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
        WriteText(file.get(), "second");
    }
    EXPECT_EQ(ReadAll(path), "second");
}

TEST_F(KernelFile, HandleOpenedForReadingCannotWrite)
{
    const auto path = directory_ / "read-only-handle.dic";
    ASSERT_TRUE(Open(path, GENERIC_WRITE, CREATE_ALWAYS));
    auto file = Open(path, GENERIC_READ, OPEN_EXISTING);
    ASSERT_TRUE(file);
    DWORD written = 99;
    SetLastError(0);
    EXPECT_EQ(WriteFile(file.get(), "x", 1, &written, nullptr), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(written, 0u);
}

TEST_F(KernelFile, BadHandlesFailWithInvalidHandle)
{
    HANDLE semaphore = CreateSemaphoreW(nullptr, 1, 1, nullptr);
    char buffer[4];
    DWORD done = 0;
    for (HANDLE bad : {INVALID_HANDLE_VALUE, HANDLE{nullptr}}) {
        SetLastError(0);
        EXPECT_EQ(ReadFile(bad, buffer, 4, &done, nullptr), FALSE);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(0);
        EXPECT_EQ(WriteFile(bad, buffer, 4, &done, nullptr), FALSE);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    CloseHandle(semaphore);
}

TEST_F(KernelFile, NonAsciiNamesRoundTrip)
{
    const auto path = directory_ / fs::path(u"\u00e9t\u00e9-\u65e5\u672c.dic");
    {
        auto file = Open(path, GENERIC_WRITE, CREATE_ALWAYS);
        ASSERT_TRUE(file);
        WriteText(file.get(), "ok");
    }
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(ReadAll(path), "ok");
}

} // namespace
