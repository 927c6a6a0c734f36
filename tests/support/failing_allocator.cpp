#if defined(__GNUC__) && !defined(__clang__)
// The replacement operators below pair malloc with free themselves; g++ cannot see that.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

#include "failing_allocator.h"

#include <cstdlib>
#include <new>

#include "platform/platform.h"

namespace {

// Allocations left before the next one fails on this thread; negative: never fail.
thread_local long allocationsBeforeFailure = -1;

[[maybe_unused]] void* Allocate(std::size_t size)
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

namespace korvo::testing {

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

} // namespace korvo::testing

#if KORVO_OPERATOR_NEW_CAN_FAIL
void* operator new(std::size_t size)
{
    if (void* block = Allocate(size)) {
        return block;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}
void operator delete(void* block) noexcept
{
    std::free(block);
}
void operator delete[](void* block) noexcept
{
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept
{
    std::free(block);
}
#endif
