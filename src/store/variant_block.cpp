#include "store/variant_block.h"

#include "platform/hresult_from_exception.h"

namespace korvo {

HRESULT VariantBlock::Reserve(std::size_t count) noexcept
{
    return CallReturningHresult([&] {
        elements_.reserve(count);
        return S_OK;
    });
}

HRESULT VariantBlock::Append(const VARIANT& value) noexcept
{
    if (elements_.size() == elements_.capacity()) {
        return E_OUTOFMEMORY; // the caller reserves first; growing here could throw
    }
    VARIANT& copy = elements_.emplace_back();
    VariantInit(&copy);
    // VariantCopy only reads its source, though some headers declare it non-const.
    const HRESULT copied = VariantCopy(&copy, const_cast<VARIANT*>(&value));
    if (FAILED(copied)) {
        VariantClear(&copy);
        elements_.pop_back();
    }
    return copied;
}

void VariantBlock::Clear() noexcept
{
    for (VARIANT& element : elements_) {
        VariantClear(&element);
    }
    elements_.clear();
}

} // namespace korvo
