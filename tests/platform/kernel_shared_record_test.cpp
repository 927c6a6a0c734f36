// Named shared records and process liveness, the two services behind a lock that a dead
// holder does not keep: a record written by one process is read by another and shares the
// namespace of named semaphores; a process is gone once it has ended, and not before.
#include "kernel_child_process.h"
#include "kernel_test_support.h"
#include "platform/process_liveness.h"
#include "platform/shared_record.h"
#include "platform/unique_handle.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

using korvo::ProcessIdentity;
using korvo::SharedRecord;
using korvo::UniqueHandle;
using korvo::test::ChildArgument;
using korvo::test::ChildProcess;
using korvo::test::Wide;

constexpr DWORD kHandshakeTimeout = 20000;

std::string BaseName(const char* purpose)
{
    return "korvo-record-test-" + std::to_string(GetCurrentProcessId()) + "-" + purpose;
}

struct Exchange {
    ProcessIdentity writer;
    std::uint32_t value;
};

HANDLE Signal(const std::string& base)
{
    return CreateSemaphoreW(nullptr, 0, 1, Wide(base + "-ready").c_str());
}

// --- Child role: writes its identity into the record, then waits to be killed ---

TEST(KernelRecordChild, WritesAndWaits)
{
    if (ChildArgument().empty()) {
        GTEST_SKIP() << "runs only as the child of the KernelSharedRecord tests";
    }
    const std::string base = ChildArgument();
    auto record = SharedRecord::Open(Wide(base).c_str(), sizeof(Exchange));
    UniqueHandle ready(Signal(base));
    ASSERT_TRUE(record && ready);
    auto* exchange = static_cast<Exchange*>(record->data());
    exchange->writer = korvo::CurrentProcessIdentity();
    exchange->value = 0xC0FFEE;
    ASSERT_NE(ReleaseSemaphore(ready.get(), 1, nullptr), FALSE);
    Sleep(INFINITE); // the parent kills us
}

// --- Parent tests ---

TEST(KernelSharedRecord, StartsZeroAndIsSharedWithinTheProcess)
{
    const std::string base = BaseName("within");
    auto first = SharedRecord::Open(Wide(base).c_str(), 64);
    ASSERT_TRUE(first);
    const unsigned char zero[64] = {};
    EXPECT_EQ(std::memcmp(first->data(), zero, sizeof zero), 0);
    static_cast<unsigned char*>(first->data())[7] = 42;
    auto second = SharedRecord::Open(Wide(base).c_str(), 64);
    ASSERT_TRUE(second);
    EXPECT_EQ(static_cast<unsigned char*>(second->data())[7], 42);
}

TEST(KernelSharedRecord, ShareTheNamespaceOfSemaphores)
{
    const std::string base = BaseName("namespace");
    UniqueHandle semaphore(CreateSemaphoreW(nullptr, 1, 1, Wide(base).c_str()));
    ASSERT_TRUE(semaphore);
    SetLastError(0);
    EXPECT_FALSE(SharedRecord::Open(Wide(base).c_str(), 8));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    auto record = SharedRecord::Open(Wide(base + "-record").c_str(), 8);
    ASSERT_TRUE(record);
    SetLastError(0);
    EXPECT_FALSE(UniqueHandle(CreateSemaphoreW(nullptr, 1, 1, Wide(base + "-record").c_str())));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(KernelSharedRecord, AnotherProcessWritesAndThenIsGone)
{
    EXPECT_FALSE(korvo::ProcessIsGone(korvo::CurrentProcessIdentity()));
    const std::string base = BaseName("child");
    auto record = SharedRecord::Open(Wide(base).c_str(), sizeof(Exchange));
    UniqueHandle ready(Signal(base));
    ASSERT_TRUE(record && ready);

    ChildProcess child("KernelRecordChild.WritesAndWaits", base);
    ASSERT_TRUE(child.Started());
    ASSERT_EQ(WaitForSingleObject(ready.get(), kHandshakeTimeout), WAIT_OBJECT_0);
    const auto* exchange = static_cast<const Exchange*>(record->data());
    EXPECT_EQ(exchange->value, 0xC0FFEEu);
    const ProcessIdentity writer = exchange->writer;
    EXPECT_NE(writer.id, GetCurrentProcessId());
    EXPECT_FALSE(korvo::ProcessIsGone(writer)) << "the child still runs";

    child.Kill();
    EXPECT_TRUE(korvo::ProcessIsGone(writer));
    // A live process with the same id but another start time is not the one recorded.
    ProcessIdentity impostor = korvo::CurrentProcessIdentity();
    impostor.startHash ^= 0x5A5A;
    EXPECT_TRUE(korvo::ProcessIsGone(impostor));
}

} // namespace
