// A block of variants that clears every one of them when it goes: the snapshot behind an
// enumerator.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "platform/platform.h"

namespace korvo {

class VariantBlock {
public:
    VariantBlock() = default;
    VariantBlock(const VariantBlock&) = delete;
    VariantBlock& operator=(const VariantBlock&) = delete;
    ~VariantBlock() { Clear(); }

    // Room for `count` elements, so that Append allocates nothing of its own.
    HRESULT Reserve(std::size_t count) noexcept;
    // Appends a copy of `value`, as VariantCopy makes it; its failure code otherwise, with
    // the block unchanged. Within the reserved room.
    HRESULT Append(const VARIANT& value) noexcept;
    void Clear() noexcept;

    std::span<const VARIANT> Elements() const noexcept { return elements_; }

private:
    std::vector<VARIANT> elements_;
};

} // namespace korvo
