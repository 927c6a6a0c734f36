#include "share/item_enumerator.h"

#include <algorithm>
#include <utility>

#include "platform/failure_trace.h"

namespace korvo {
namespace {

// VariantCopy only reads its source, though some headers declare the source non-const.
HRESULT CopyVariant(VARIANT& destination, const VARIANT& source) noexcept
{
    return VariantCopy(&destination, const_cast<VARIANT*>(&source));
}

} // namespace

ItemEnumerator::ItemEnumerator(std::unique_ptr<VariantBlock> block) noexcept
    : ownedBlock_(std::move(block)), elements_(ownedBlock_->Elements())
{}

ItemEnumerator::ItemEnumerator(const ItemEnumerator& source, ComPtr<ItemEnumerator> owner) noexcept
    : ComObject(), keepAlive_(std::move(owner)), elements_(source.elements_), position_(source.position_)
{}

HRESULT ItemEnumerator::CreateOwner(std::unique_ptr<VariantBlock> snapshot, ComPtr<ItemEnumerator>& result) noexcept
{
    return MakeComObject(result, std::move(snapshot));
}

HRESULT ItemEnumerator::Next(ULONG asked, VARIANT* values, ULONG* fetched) noexcept
{
    if (values == nullptr || (asked != 1 && fetched == nullptr)) {
        return KORVO_TRACED(E_POINTER);
    }
    const std::size_t remaining = Remaining();
    const std::size_t count = std::min<std::size_t>(asked, remaining);
    if (fetched != nullptr) {
        *fetched = static_cast<ULONG>(count);
    }
    for (std::size_t index = 0; index < count; ++index) {
        if (const HRESULT copied = KORVO_TRACED(CopyVariant(values[index], elements_[position_])); FAILED(copied)) {
            // Nothing of this call stays with the caller; the position stays past what was copied.
            for (std::size_t undone = 0; undone < index; ++undone) {
                VariantClear(&values[undone]);
            }
            if (fetched != nullptr) {
                *fetched = 0;
            }
            return copied;
        }
        ++position_;
    }
    return asked > remaining ? S_FALSE : S_OK;
}

HRESULT ItemEnumerator::Skip(ULONG count) noexcept
{
    const std::size_t remaining = Remaining();
    if (count > remaining) {
        position_ = elements_.size();
        return S_FALSE;
    }
    position_ += count;
    return S_OK;
}

HRESULT ItemEnumerator::Reset() noexcept
{
    position_ = 0;
    return S_OK;
}

HRESULT ItemEnumerator::Clone(IEnumVARIANT** out) noexcept
{
    if (out == nullptr) {
        return KORVO_TRACED(E_POINTER);
    }
    *out = nullptr;
    // A clone of a clone refers to the same owner, so chains never grow.
    ComPtr<ItemEnumerator> owner = keepAlive_ ? keepAlive_ : ComPtr<ItemEnumerator>(this);
    ComPtr<ItemEnumerator> clone;
    if (const HRESULT made = KORVO_TRACED(MakeComObject(clone, *this, std::move(owner))); FAILED(made)) {
        return made;
    }
    return KORVO_TRACED(clone->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(out)));
}

} // namespace korvo
