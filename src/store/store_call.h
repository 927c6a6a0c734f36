// The frame of every member that works on a store's container: attach, read the compare
// mode once, enter the store's section, order the container for that mode, run the body.
// Entries the body removes are released after the section is left, still before the
// member returns; no exception leaves the member.
#pragma once

#include "platform/critical_section.h"
#include "platform/hresult_from_exception.h"
#include "share/attachment.h"
#include "store/item_map.h"

namespace korvo {

struct StoreCallContext {
    Store& store;
    ItemMap& items;
    CompareMode mode;
    RemovedEntries& removed;
};

template <class Body>
HRESULT WithStore(ObjectState& object, Body&& body) noexcept
{
    return CallReturningHresult([&]() -> HRESULT {
        StorePtr store;
        if (const HRESULT attached = EnsureAttached(object, store); FAILED(attached)) {
            return attached;
        }
        const CompareMode mode = ProcessCompareMode();
        RemovedEntries removed;
        SectionGuard guard(store->section);
        store->container.UseMode(mode);
        StoreCallContext call{*store, store->container, mode, removed};
        return body(call);
    });
}

} // namespace korvo
