// ItemEnumerator: the IEnumVARIANT that _NewEnum hands out, over a snapshot of a store's
// items. The enumerator made by _NewEnum owns the block of variants; its clones share the
// block and keep the owner alive, so the block lives until the owner and every clone are
// released. Nothing in it refers to the store or the object, and it holds no lock: only
// the position is unguarded, so one enumerator must not be driven from two threads at once.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "platform/com_ptr.h"
#include "share/module_lock_count.h"
#include "share/object_state.h"

namespace korvo {

// A block of variants that clears every one of them when it goes.
class VariantBlock {
public:
    VariantBlock() = default;
    VariantBlock(const VariantBlock&) = delete;
    VariantBlock& operator=(const VariantBlock&) = delete;
    ~VariantBlock();

    // Copies every element of `source`, as VariantCopy does. On failure the copies made so
    // far are cleared and the block is left empty.
    HRESULT CopyFrom(std::span<const VARIANT> source) noexcept;
    std::span<const VARIANT> elements() const noexcept { return elements_; }

private:
    void Clear() noexcept;

    std::vector<VARIANT> elements_;
};

class ItemEnumerator final : public IEnumVARIANT {
public:
    // An owner of its own copy of `snapshot`, with its position at the begin.
    static HRESULT CreateOwner(std::span<const VARIANT> snapshot, ComPtr<ItemEnumerator>& result) noexcept;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;
    HRESULT STDMETHODCALLTYPE Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) noexcept override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG celt) noexcept override;
    HRESULT STDMETHODCALLTYPE Reset() noexcept override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** ppEnum) noexcept override;

private:
    // Only CreateOwner and Clone make enumerators: the token keeps the constructors to them
    // while letting the allocation helper call them.
    struct Token {
        explicit Token() = default;
    };

public:
    ItemEnumerator(Token, std::unique_ptr<VariantBlock> block) noexcept;
    ItemEnumerator(Token, const ItemEnumerator& source, ComPtr<ItemEnumerator> owner) noexcept;
    ItemEnumerator(const ItemEnumerator&) = delete;
    ItemEnumerator& operator=(const ItemEnumerator&) = delete;
    ~ItemEnumerator() = default;

private:
    std::size_t Remaining() const noexcept { return elements_.size() - position_; }

    LONG volatile references_ = 0;
    ModuleLock moduleLock_;
    // The owner holds the block; a clone holds the owner instead. Exactly one is set.
    std::unique_ptr<VariantBlock> ownedBlock_;
    ComPtr<ItemEnumerator> keepAlive_;
    std::span<const VARIANT> elements_;
    std::size_t position_ = 0;
};

namespace share {

// _NewEnum: an enumerator over a snapshot of every item of the object's store, taken inside
// the store's section; the enumerator's own copies are made after the section is left.
HRESULT NewEnum(ObjectState& object, IUnknown** result) noexcept;

} // namespace share
} // namespace korvo
