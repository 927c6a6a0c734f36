#include "store/key_compare.h"

#include <algorithm>
#include <atomic>

namespace korvo {
namespace {

std::atomic<CompareMode> processCompareMode{CompareMode::Binary};

constexpr int FoldAscii(OLECHAR unit) noexcept
{
    return (unit >= u'A' && unit <= u'Z') ? unit + 0x20 : unit;
}

} // namespace

CompareMode ProcessCompareMode() noexcept
{
    return processCompareMode.load(std::memory_order_relaxed);
}

void SetProcessCompareMode(CompareMode mode) noexcept
{
    processCompareMode.store(mode, std::memory_order_relaxed);
}

int CompareKeys(KeyView a, KeyView b, CompareMode mode) noexcept
{
    const std::size_t common = std::min(a.size(), b.size());
    if (mode == CompareMode::Text) {
        for (std::size_t i = 0; i < common; ++i) {
            const int difference = FoldAscii(a[i]) - FoldAscii(b[i]);
            if (difference != 0) {
                return difference;
            }
        }
    } else {
        for (std::size_t i = 0; i < common; ++i) {
            const int difference = int{a[i]} - int{b[i]};
            if (difference != 0) {
                return difference;
            }
        }
    }
    // Stored keys hold no NUL, so the shorter key meets its terminator first.
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

KeyView KeyArgument(const OLECHAR* key) noexcept
{
    if (key == nullptr) {
        return {};
    }
    return KeyView(key, std::char_traits<OLECHAR>::length(key));
}

} // namespace korvo
