#include "store/compare_mode.h"

#include <atomic>

namespace korvo {
namespace {
std::atomic<CompareMode> processCompareMode{CompareMode::Binary};
} // namespace

CompareMode ProcessCompareMode() noexcept { return processCompareMode.load(std::memory_order_relaxed); }

void SetProcessCompareMode(CompareMode mode) noexcept { processCompareMode.store(mode, std::memory_order_relaxed); }

} // namespace korvo
