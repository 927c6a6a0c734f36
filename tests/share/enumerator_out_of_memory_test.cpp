// Memory exhaustion while a snapshot is taken or handed out: every failure is clean, with
// nothing leaked, no module lock left behind and the store untouched. C++ allocations fail
// through the replaced operator new below; the native build also fails the runtime's own
// (strings, arrays, variant copies).
#if defined(__GNUC__) && !defined(__clang__)
// The replacement operators below pair malloc with free themselves; g++ cannot see that.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KORVO_SANITIZER_OWNS_NEW 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define KORVO_SANITIZER_OWNS_NEW 1
#endif

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <new>

#include "platform/com_ptr.h"
#include "share/item_enumerator.h"
#include "share/module_lock_count.h"
#include "share_test_support.h"

namespace {

// Allocations left before the next one fails; negative: never fail.
long allocationsBeforeFailure = -1;

} // namespace

// ThreadSanitizer's runtime defines these operators itself; there only the runtime's own
// allocations are made to fail.
#if !defined(KORVO_SANITIZER_OWNS_NEW)
namespace {

void* Allocate(std::size_t size)
{
    if (allocationsBeforeFailure == 0) {
        return nullptr;
    }
    if (allocationsBeforeFailure > 0) {
        --allocationsBeforeFailure;
    }
    return std::malloc(size == 0 ? 1 : size);
}

} // namespace

void* operator new(std::size_t size)
{
    if (void* block = Allocate(size)) {
        return block;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
#endif

namespace korvo {
namespace {

using namespace sharetest;

constexpr long kMostAllocations = 500;

void ArmFailureAfter(long allocations)
{
    allocationsBeforeFailure = allocations;
#if !defined(_WIN32)
    posix::SetAllocationFailureCountdown(allocations);
#endif
}

void Disarm()
{
    allocationsBeforeFailure = -1;
#if !defined(_WIN32)
    posix::SetAllocationFailureCountdown(-1);
#endif
}

void AddText(ObjectState& object, std::u16string_view key, const char16_t* text)
{
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_BSTR;
    V_BSTR(&item) = SysAllocString(reinterpret_cast<const OLECHAR*>(text));
    AddOk(object, key, item);
    VariantClear(&item);
}

TEST(EnumeratorOutOfMemory, NewEnumFailsCleanlyAtEveryAllocation)
{
    CountingUnknown held;
    ObjectState object;
    AddText(object, u"a", u"first");
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_UNKNOWN;
    V_UNKNOWN(&item) = &held;
    AddOk(object, u"b", item);
    AddText(object, u"c", u"third");

    long failAt = 0;
    for (; failAt < kMostAllocations; ++failAt) {
        IUnknown* result = &held; // must come back null
        ArmFailureAfter(failAt);
        const HRESULT made = share::NewEnum(object, &result);
        Disarm();
        if (made == S_OK) {
            ComPtr<IUnknown>::Attach(result);
            break;
        }
        EXPECT_TRUE(made == E_OUTOFMEMORY || made == E_FAIL) << std::hex << made << " at " << failAt;
        EXPECT_EQ(result, nullptr);
        EXPECT_EQ(held.References(), 2) << "at " << failAt;
        EXPECT_EQ(ModuleLockCount(), 0) << "at " << failAt;
        EXPECT_EQ(ItemsCountOf(object), 3);
    }
    EXPECT_GT(failAt, 0) << "nothing was made to fail";
    EXPECT_LT(failAt, kMostAllocations);
    EXPECT_EQ(held.References(), 2);
    EXPECT_EQ(ModuleLockCount(), 0);
}

TEST(EnumeratorOutOfMemory, FailedNextLeavesNothingAndKeepsWhatWasHandedOut)
{
#if defined(_WIN32)
    GTEST_SKIP() << "the system's string allocator cannot be made to fail";
#endif
    ObjectState object;
    AddText(object, u"a", u"first");
    AddText(object, u"b", u"second");
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(share::NewEnum(object, unknown.put()), S_OK);
    ComPtr<IEnumVARIANT> enumerator;
    ASSERT_EQ(unknown.As(IID_IEnumVARIANT, enumerator), S_OK);

    bool failedAfterTheFirstCopy = false;
    for (long failAt = 0; failAt < kMostAllocations; ++failAt) {
        ASSERT_EQ(enumerator->Reset(), S_OK);
        std::array<VARIANT, 2> row{};
        for (VARIANT& element : row) {
            VariantInit(&element);
        }
        ULONG fetched = 99;
        ArmFailureAfter(failAt);
        const HRESULT next = enumerator->Next(2, row.data(), &fetched);
        Disarm();
        if (next == S_OK) {
            EXPECT_EQ(fetched, 2u);
            for (VARIANT& element : row) {
                VariantClear(&element);
            }
            break;
        }
        EXPECT_EQ(next, E_OUTOFMEMORY);
        EXPECT_EQ(fetched, 0u);
        EXPECT_EQ(V_VT(&row[0]), VT_EMPTY) << "nothing of the failed call stays";
        // The position stays past what was copied before the failure.
        VARIANT rest;
        VariantInit(&rest);
        ASSERT_EQ(enumerator->Next(1, &rest, nullptr), S_OK);
        ASSERT_EQ(V_VT(&rest), VT_BSTR);
        if (std::u16string(reinterpret_cast<const char16_t*>(V_BSTR(&rest))) == u"second") {
            failedAfterTheFirstCopy = true;
        }
        VariantClear(&rest);
        for (VARIANT& element : row) {
            VariantClear(&element);
        }
    }
    EXPECT_TRUE(failedAfterTheFirstCopy);
}

} // namespace
} // namespace korvo
