// Memory exhaustion at every allocation of a member fails it with E_OUTOFMEMORY and leaves
// the store as it was. C++ allocations fail through the replaced operator new below; the
// native build also fails the runtime's own (strings, arrays, variant copies).
#if defined(__GNUC__) && !defined(__clang__)
// The replacement operators below pair malloc with free themselves; g++ cannot see that.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

#include "share/connection.h"
#include "store/item_operations.h"
#include "store/key_operations.h"
#include "store_test_support.h"

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KORVO_TEST_KEEPS_OPERATOR_NEW 1
#endif
#endif

namespace {

// Allocations left before the next one fails on this thread; negative: never fail.
thread_local long allocationsBeforeFailure = -1;

bool NextAllocationFails()
{
    if (allocationsBeforeFailure < 0) {
        return false;
    }
    if (allocationsBeforeFailure == 0) {
        return true;
    }
    --allocationsBeforeFailure;
    return false;
}

[[maybe_unused]] void* Allocate(std::size_t size)
{
    if (NextAllocationFails()) {
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}

} // namespace

// ThreadSanitizer owns operator new; there only the runtime's allocations fail.
#if !defined(KORVO_TEST_KEEPS_OPERATOR_NEW)
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

namespace korvo::testing {
namespace {

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

struct Snapshot {
    std::vector<std::u16string> keys;
    LONG items;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(ObjectState& object) { return {KeysOf(object), ItemsCountOf(object)}; }

// A member under test, given its two text arguments (a key and a second key, item text or
// name), made before allocations start failing.
using Member = HRESULT (*)(ObjectState& object, BSTR first, BSTR second);

struct ExhaustionCase {
    const char* name;
    std::u16string first;
    std::u16string second;
    Member member;
};

class MemoryExhaustion : public ::testing::TestWithParam<ExhaustionCase> {};

// Fails the n-th allocation for n = 0, 1, 2 ... until the member succeeds; every failed
// attempt must report E_OUTOFMEMORY and change nothing.
TEST_P(MemoryExhaustion, FailsCleanlyAtEveryAllocation)
{
    const ExhaustionCase& c = GetParam();
    for (long failAt = 0; failAt < 200; ++failAt) {
        ObjectState object;
        ASSERT_EQ(store::PutUniqueKeys(object, VARIANT_FALSE), S_OK);
        AddOk(object, u"existing", 1);
        AddOk(object, u"twice", 2);
        AddOk(object, u"twice", 3);
        const Snapshot before = Take(object);
        Bstr first(c.first);
        Bstr second(c.second);

        ArmFailureAfter(failAt);
        const HRESULT result = c.member(object, first, second);
        Disarm();

        if (result == S_OK) {
            return;
        }
        EXPECT_EQ(result, E_OUTOFMEMORY) << "allocation " << failAt;
        EXPECT_EQ(Take(object), before) << "allocation " << failAt;
    }
    FAIL() << "the member never succeeded";
}

HRESULT AddItem(ObjectState& object, BSTR key, BSTR text)
{
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_BSTR;
    V_BSTR(&item) = text;
    return store::Add(object, key, &item);
}

HRESULT PutItem(ObjectState& object, BSTR key, BSTR text)
{
    VARIANT item;
    VariantInit(&item);
    V_VT(&item) = VT_BSTR;
    V_BSTR(&item) = text;
    return store::PutItem(object, key, &item);
}

HRESULT RenameKey(ObjectState& object, BSTR key, BSTR newKey) { return store::PutKey(object, key, newKey); }

HRESULT ConnectTo(ObjectState& object, BSTR name, BSTR server) { return share::Connect(object, name, server); }

std::u16string FreshName()
{
    static int counter = 0;
    const std::string name = "oom-store-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    return std::u16string(name.begin(), name.end());
}

const std::u16string kLongText = u"a text long enough that every copy of it needs an allocation of its own";

INSTANTIATE_TEST_SUITE_P(
    Members, MemoryExhaustion,
    ::testing::Values(ExhaustionCase{"AddNewKey", u"new " + kLongText, kLongText, AddItem},
                      ExhaustionCase{"PutNewKey", u"put " + kLongText, kLongText, PutItem},
                      ExhaustionCase{"PutExistingKey", u"existing", kLongText, PutItem},
                      ExhaustionCase{"RenameGroup", u"twice", u"renamed " + kLongText, RenameKey},
                      ExhaustionCase{"ConnectToNewName", FreshName(), u"", ConnectTo}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MemoryExhaustionOnAttach, FirstCallFailsAndALaterOneAttaches)
{
#if defined(KORVO_TEST_KEEPS_OPERATOR_NEW)
    GTEST_SKIP() << "a store is made with operator new, which cannot fail here";
#endif
    ObjectState object;
    ArmFailureAfter(0);
    LONG count = -1;
    const HRESULT result = store::ItemsCount(object, &count);
    Disarm();
    EXPECT_EQ(result, E_OUTOFMEMORY);
    AddOk(object, u"k", 1);
    EXPECT_EQ(ItemsCountOf(object), 1);
}

} // namespace
} // namespace korvo::testing
