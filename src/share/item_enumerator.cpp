#include "share/item_enumerator.h"

#include <algorithm>
#include <utility>

#include "com/report_error.h"
#include "platform/hresult_from_exception.h"
#include "platform/unique_safearray.h"
#include "platform/unique_variant.h"
#include "store/make_item_array.h"
#include "store/store_call.h"

namespace korvo {
namespace {

// A COM object's life: made here with its first reference, ended by its own last Release.
template <class Object, class... Arguments>
HRESULT MakeComObject(ComPtr<Object>& result, Arguments&&... arguments) noexcept
{
    return CallReturningHresult([&] {
        auto made = std::make_unique<Object>(std::forward<Arguments>(arguments)...);
        result = ComPtr<Object>(made.release());
        return S_OK;
    });
}

// The elements of a one-dimensional array result, for as long as `access` lives.
std::span<const VARIANT> ArrayElements(const VARIANT& array, const SafeArrayDataAccess& access) noexcept
{
    const SAFEARRAY* descriptor = V_ARRAY(&array);
    return {access.data<const VARIANT>(), static_cast<std::size_t>(descriptor->rgsabound[0].cElements)};
}

// VariantCopy only reads its source, though some headers declare the source non-const.
HRESULT CopyVariant(VARIANT& destination, const VARIANT& source) noexcept
{
    return VariantCopy(&destination, const_cast<VARIANT*>(&source));
}

} // namespace

VariantBlock::~VariantBlock() { Clear(); }

void VariantBlock::Clear() noexcept
{
    for (VARIANT& element : elements_) {
        VariantClear(&element);
    }
    elements_.clear();
}

HRESULT VariantBlock::CopyFrom(std::span<const VARIANT> source) noexcept
{
    Clear();
    const HRESULT allocated = CallReturningHresult([&] {
        elements_.reserve(source.size());
        return S_OK;
    });
    if (FAILED(allocated)) {
        return allocated;
    }
    for (const VARIANT& element : source) {
        VARIANT& copy = elements_.emplace_back(); // within the reserved room: cannot throw
        VariantInit(&copy);
        if (const HRESULT copied = CopyVariant(copy, element); FAILED(copied)) {
            Clear();
            return copied;
        }
    }
    return S_OK;
}

ItemEnumerator::ItemEnumerator(Token, std::unique_ptr<VariantBlock> block) noexcept
    : ownedBlock_(std::move(block)), elements_(ownedBlock_->elements())
{
}

ItemEnumerator::ItemEnumerator(Token, const ItemEnumerator& source, ComPtr<ItemEnumerator> owner) noexcept
    : keepAlive_(std::move(owner)), elements_(source.elements_), position_(source.position_)
{
}

HRESULT ItemEnumerator::CreateOwner(std::span<const VARIANT> snapshot, ComPtr<ItemEnumerator>& result) noexcept
{
    std::unique_ptr<VariantBlock> block;
    if (const HRESULT made = CallReturningHresult([&] {
            block = std::make_unique<VariantBlock>();
            return S_OK;
        });
        FAILED(made)) {
        return made;
    }
    if (const HRESULT copied = block->CopyFrom(snapshot); FAILED(copied)) {
        return copied;
    }
    return MakeComObject(result, Token{}, std::move(block));
}

HRESULT ItemEnumerator::QueryInterface(REFIID iid, void** result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IEnumVARIANT)) {
        return E_NOINTERFACE;
    }
    *result = static_cast<IEnumVARIANT*>(this);
    AddRef();
    return S_OK;
}

ULONG ItemEnumerator::AddRef() noexcept { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG ItemEnumerator::Release() noexcept
{
    const LONG remaining = InterlockedDecrement(&references_);
    if (remaining == 0) {
        // The last reference ends the object; its members give up the block or the owner.
        std::unique_ptr<ItemEnumerator> ended(this);
    }
    return static_cast<ULONG>(remaining);
}

HRESULT ItemEnumerator::Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) noexcept
{
    if (rgVar == nullptr || (celt != 1 && pCeltFetched == nullptr)) {
        return E_POINTER;
    }
    const std::size_t remaining = Remaining();
    const std::size_t count = std::min<std::size_t>(celt, remaining);
    if (pCeltFetched != nullptr) {
        *pCeltFetched = static_cast<ULONG>(count);
    }
    for (std::size_t index = 0; index < count; ++index) {
        if (const HRESULT copied = CopyVariant(rgVar[index], elements_[position_]); FAILED(copied)) {
            // Nothing of this call stays with the caller; the position stays past what was copied.
            for (std::size_t undone = 0; undone < index; ++undone) {
                VariantClear(&rgVar[undone]);
            }
            if (pCeltFetched != nullptr) {
                *pCeltFetched = 0;
            }
            return copied;
        }
        ++position_;
    }
    return celt > remaining ? S_FALSE : S_OK;
}

HRESULT ItemEnumerator::Skip(ULONG celt) noexcept
{
    const std::size_t remaining = Remaining();
    if (celt > remaining) {
        position_ = elements_.size();
        return S_FALSE;
    }
    position_ += celt;
    return S_OK;
}

HRESULT ItemEnumerator::Reset() noexcept
{
    position_ = 0;
    return S_OK;
}

HRESULT ItemEnumerator::Clone(IEnumVARIANT** ppEnum) noexcept
{
    if (ppEnum == nullptr) {
        return E_POINTER;
    }
    *ppEnum = nullptr;
    // A clone of a clone refers to the same owner, so chains never grow.
    ComPtr<ItemEnumerator> owner = keepAlive_ ? keepAlive_ : ComPtr<ItemEnumerator>(this);
    ComPtr<ItemEnumerator> clone;
    if (const HRESULT made = MakeComObject(clone, Token{}, *this, std::move(owner)); FAILED(made)) {
        return made;
    }
    return clone->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(ppEnum));
}

namespace share {

HRESULT NewEnum(ObjectState& object, IUnknown** result) noexcept
{
    StorePtr store;
    if (const HRESULT attached = EnsureAttached(object, store); FAILED(attached)) {
        return attached;
    }
    if (result == nullptr) {
        return ReportError(KORVO_MSG_INVALID_POINTER, E_INVALIDARG);
    }
    *result = nullptr;
    UniqueVariant snapshot;
    if (const HRESULT taken = WithStore(object,
                                        [&](StoreCallContext& call) {
                                            return MakeItemArray(snapshot.get(), call.items.begin(),
                                                                 call.items.EntryCount());
                                        });
        FAILED(taken)) {
        return taken;
    }
    // Outside the section: the enumerator's own copies keep no other client waiting.
    ComPtr<ItemEnumerator> enumerator;
    {
        const SafeArrayDataAccess access(V_ARRAY(snapshot.get()));
        if (FAILED(access.result())) {
            return access.result();
        }
        if (const HRESULT made = ItemEnumerator::CreateOwner(ArrayElements(*snapshot.get(), access), enumerator);
            FAILED(made)) {
            return made;
        }
    }
    return enumerator->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(result));
}

} // namespace share
} // namespace korvo
