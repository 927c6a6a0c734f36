// ItemEnumerator: the IEnumVARIANT that _NewEnum hands out, over a snapshot of a store's
// items. The enumerator made from the snapshot owns the block of variants; its clones share
// the block and keep the owner alive, so the block lives until the owner and every clone are
// released. Nothing in it refers to the store or the object, and it holds no lock: only the
// position is unguarded, so one enumerator must not be driven from two threads at once.
#pragma once

#include <cstddef>
#include <memory>
#include <span>

#include "platform/com_object.h"
#include "store/variant_block.h"

namespace korvo {

class ItemEnumerator final : public ComObject<ItemEnumerator, Interfaces<IEnumVARIANT>> {
public:
    // An owner of `snapshot`, with its position at the begin.
    static HRESULT CreateOwner(std::unique_ptr<VariantBlock> snapshot, ComPtr<ItemEnumerator>& result) noexcept;

    HRESULT STDMETHODCALLTYPE Next(ULONG asked, VARIANT* values, ULONG* fetched) noexcept override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) noexcept override;
    HRESULT STDMETHODCALLTYPE Reset() noexcept override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** ppEnum) noexcept override;

    explicit ItemEnumerator(std::unique_ptr<VariantBlock> block) noexcept;
    ItemEnumerator(const ItemEnumerator& source, ComPtr<ItemEnumerator> owner) noexcept;
    ~ItemEnumerator() = default;

private:
    std::size_t Remaining() const noexcept { return elements_.size() - position_; }

    // The owner holds the block; a clone holds the owner instead. Exactly one is set.
    std::unique_ptr<VariantBlock> ownedBlock_;
    ComPtr<ItemEnumerator> keepAlive_;
    std::span<const VARIANT> elements_;
    std::size_t position_ = 0;
};

} // namespace korvo
