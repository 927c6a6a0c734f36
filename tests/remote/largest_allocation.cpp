#include "largest_allocation.h"

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KORVO_SANITIZER_OWNS_NEW 1
#endif
#endif

namespace korvo::test {
namespace {

std::atomic<std::size_t> largest{0};

[[maybe_unused]] void* Allocate(std::size_t size)
{
    std::size_t seen = largest.load(std::memory_order_relaxed);
    while (size > seen && !largest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
    }
    return std::malloc(size == 0 ? 1 : size);
}

} // namespace

bool AllocationTrackingAvailable()
{
#if defined(KORVO_SANITIZER_OWNS_NEW)
    return false;
#else
    return true;
#endif
}

void ResetLargestAllocation()
{
    largest.store(0);
}
std::size_t LargestAllocation()
{
    return largest.load();
}

} // namespace korvo::test

#if !defined(KORVO_SANITIZER_OWNS_NEW)
void* operator new(std::size_t size)
{
    if (void* memory = korvo::test::Allocate(size)) {
        return memory;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return korvo::test::Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return korvo::test::Allocate(size);
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}
#endif
