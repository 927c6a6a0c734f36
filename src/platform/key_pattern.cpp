#include "platform/key_pattern.h"

#include <atomic>

namespace korvo {

namespace {
std::atomic<bool> patternUnavailableForTesting{false};
}

void SetKeyPatternUnavailableForTesting(bool unavailable) noexcept
{
    patternUnavailableForTesting.store(unavailable, std::memory_order_relaxed);
}

bool KeyPatternUnavailableForTesting() noexcept
{
    return patternUnavailableForTesting.load(std::memory_order_relaxed);
}

} // namespace korvo
