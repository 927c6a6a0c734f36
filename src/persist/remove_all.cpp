#include "persist/remove_all.h"

#include <iterator>

#include "persist/key_filter.h"
#include "store/store_call.h"

namespace korvo::persist {

HRESULT RemoveAll(ObjectState& object, BSTR pattern) noexcept
{
    KeyFilter filter;
    if (const HRESULT prepared = filter.Prepare(pattern); FAILED(prepared))
        return prepared;
    return WithStore(object, [&](StoreCallContext& call) -> HRESULT {
        if (!filter.active()) {
            call.items.EraseAll(call.removed);
            return S_OK;
        }
        // One test per entry, so all items of a key go or stay together; a failed test
        // counts as a match.
        for (auto entry = call.items.begin(); entry != call.items.end();) {
            const auto next = std::next(entry);
            if (filter.Test(entry->first.text) != KeyTestResult::NoMatch)
                call.items.Erase(entry, next, call.removed);
            entry = next;
        }
        return S_OK;
    });
}

} // namespace korvo::persist
