// Memory exhaustion at every allocation of a member fails it with E_OUTOFMEMORY and leaves
// the store as it was. C++ allocations fail through the replaced operator new below; the
// native build also fails the runtime's own (strings, arrays, variant copies).
#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

#include "share/connection.h"
#include "store/item_operations.h"
#include "store/key_operations.h"
#include "store_test_support.h"

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

void* Allocate(std::size_t size)
{
    if (NextAllocationFails()) {
        return nullptr;
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

struct ExhaustionCase {
    const char* name;
    std::function<HRESULT(ObjectState&)> member;
};

class MemoryExhaustion : public ::testing::TestWithParam<ExhaustionCase> {};

// Fails the n-th allocation for n = 0, 1, 2 ... until the member succeeds; every failed
// attempt must report E_OUTOFMEMORY (or the copy failure's mapped code) and change nothing.
TEST_P(MemoryExhaustion, FailsCleanlyAtEveryAllocation)
{
    for (long failAt = 0; failAt < 200; ++failAt) {
        ObjectState object;
        ASSERT_EQ(store::PutUniqueKeys(object, VARIANT_FALSE), S_OK);
        AddOk(object, u"existing", 1);
        AddOk(object, u"twice", 2);
        AddOk(object, u"twice", 3);
        const Snapshot before = Take(object);

        ArmFailureAfter(failAt);
        const HRESULT result = GetParam().member(object);
        Disarm();

        if (result == S_OK) {
            SUCCEED() << "succeeded once " << failAt << " allocations were allowed";
            return;
        }
        EXPECT_EQ(result, E_OUTOFMEMORY) << "allocation " << failAt;
        EXPECT_EQ(Take(object), before) << "allocation " << failAt;
    }
    FAIL() << "the member never succeeded";
}

HRESULT AddNewKey(ObjectState& object)
{
    Bstr key(u"new key with a long text so that it needs its own allocation");
    Var item(u"a string item that has to be copied");
    return store::Add(object, key, item.get());
}

HRESULT PutNewKey(ObjectState& object)
{
    Bstr key(u"another new key with a long text that needs an allocation");
    Var item(u"a string item that has to be copied");
    return store::PutItem(object, key, item.get());
}

HRESULT PutExistingKey(ObjectState& object)
{
    Bstr key(u"existing");
    Var item(u"a string item that has to be copied");
    return store::PutItem(object, key, item.get());
}

HRESULT RenameGroup(ObjectState& object)
{
    Bstr key(u"twice");
    Bstr newKey(u"a new name for both entries that is long enough to allocate");
    return store::PutKey(object, key, newKey);
}

HRESULT ConnectToNewName(ObjectState& object)
{
    static int counter = 0;
    const std::string name = "oom-store-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    Bstr dictionary(std::u16string(name.begin(), name.end()));
    const HRESULT result = share::Connect(object, dictionary, nullptr);
    if (result == S_OK) {
        // Back to a private store holding what the snapshot expects is not possible; the
        // success path only has to have bound the object to the new, empty store.
        EXPECT_EQ(ItemsCountOf(object), 0);
    }
    return result;
}

INSTANTIATE_TEST_SUITE_P(Members, MemoryExhaustion,
                         ::testing::Values(ExhaustionCase{"AddNewKey", AddNewKey}, ExhaustionCase{"PutNewKey", PutNewKey},
                                           ExhaustionCase{"PutExistingKey", PutExistingKey},
                                           ExhaustionCase{"RenameGroup", RenameGroup},
                                           ExhaustionCase{"ConnectToNewName", ConnectToNewName}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MemoryExhaustionOnAttach, FirstCallFailsAndALaterOneAttaches)
{
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
