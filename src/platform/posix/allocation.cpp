#include "allocation.h"

#include "oleauto.h"

#include <atomic>
#include <cstdlib>

namespace korvo::posix {
namespace {
// -1: off. 0: every allocation fails. n > 0: n more succeed.
std::atomic<long> allocationCountdown{-1};
} // namespace

void SetAllocationFailureCountdown(long n)
{
    allocationCountdown.store(n < 0 ? -1 : n);
}

bool TakeAllocation()
{
    long left = allocationCountdown.load();
    while (left > 0) {
        if (allocationCountdown.compare_exchange_weak(left, left - 1)) {
            return true;
        }
    }
    return left < 0;
}

void* RuntimeAlloc(std::size_t bytes)
{
    if (!TakeAllocation()) {
        return nullptr;
    }
    return std::malloc(bytes == 0 ? 1 : bytes);
}

void RuntimeFree(void* block)
{
    std::free(block);
}

} // namespace korvo::posix

// The task allocator is the runtime's too, so the out-of-memory hook reaches it.
extern "C" LPVOID CoTaskMemAlloc(SIZE_T cb)
{
    return korvo::posix::RuntimeAlloc(cb);
}

extern "C" void CoTaskMemFree(LPVOID block)
{
    korvo::posix::RuntimeFree(block);
}
