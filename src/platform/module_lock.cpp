#include "platform/module_lock.h"

namespace korvo {
namespace {

LONG volatile moduleLockCount = 0;

} // namespace

void IncrementModuleLockCount() noexcept
{
    InterlockedIncrement(&moduleLockCount);
}

void DecrementModuleLockCount() noexcept
{
    InterlockedDecrement(&moduleLockCount);
}

// An interlocked no-op read, so the value is current on every processor.
LONG ModuleLockCount() noexcept
{
    return InterlockedCompareExchange(&moduleLockCount, 0, 0);
}

} // namespace korvo
