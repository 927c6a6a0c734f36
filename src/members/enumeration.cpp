#include "members/enumeration.h"

#include <memory>

#include "errors/report_error.h"
#include "share/item_enumerator.h"

namespace korvo::members {

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
    return CallReturningHresult([&]() -> HRESULT {
        auto snapshot = std::make_unique<VariantBlock>();
        if (const HRESULT taken = store->Snapshot(*snapshot); FAILED(taken)) {
            return taken;
        }
        ComPtr<ItemEnumerator> enumerator;
        if (const HRESULT made = ItemEnumerator::CreateOwner(std::move(snapshot), enumerator); FAILED(made)) {
            return made;
        }
        return enumerator->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(result));
    });
}

} // namespace korvo::members
