// The in-process store: one ItemMap under one recursive critical section, and for a named
// store the semaphore named after it. Every operation takes the section for its whole work
// on the container and orders the container for the compare mode it read at its start. No
// foreign code runs in the section: a caller's value is copied before it is taken, and the
// items an operation removed or did not take are released after it is left, so that an
// object's AddRef or Release may call back into any store and find it unlocked.
#pragma once

#include <memory>

#include "platform/critical_section.h"
#include "share/store_backend.h"
#include "store/item_map.h"

namespace korvo {

class LocalStore final : public StoreBackend {
public:
    // `sharedLock` is the named store's semaphore, null for a private store.
    explicit LocalStore(std::shared_ptr<StoreLock> sharedLock = nullptr) noexcept;
    ~LocalStore() override;

    HRESULT GetItem(KeyView key, VARIANT& result) noexcept override;
    HRESULT PutItem(KeyView key, const VARIANT& value) noexcept override;
    HRESULT Add(KeyView key, const VARIANT& item, bool uniqueKeys) noexcept override;
    HRESULT Exists(KeyView key, bool& exists) noexcept override;
    HRESULT Remove(KeyView key) noexcept override;
    HRESULT Count(KeyView key, LONG& count) noexcept override;
    HRESULT ItemsCount(LONG& count) noexcept override;
    HRESULT KeysCount(LONG& count) noexcept override;
    HRESULT Items(VARIANT& result) noexcept override;
    HRESULT Keys(VARIANT& result) noexcept override;
    HRESULT RenameKey(KeyView key, KeyView newKey) noexcept override;
    HRESULT RemoveAll(persist::KeyFilter& filter) noexcept override;
    HRESULT WriteRecords(persist::RecordBuffer& records, persist::KeyFilter& filter, bool saveEmpty) noexcept override;
    HRESULT AddRecords(std::span<persist::Record> records, bool uniqueKeys) noexcept override;
    HRESULT Snapshot(VariantBlock& block) noexcept override;
    std::shared_ptr<StoreLock> SharedLock() const noexcept override { return sharedLock_; }

    // Empties the store, releasing every item after its section is left.
    void Destroy() noexcept;
    // Empties the store at module stop without running foreign code (ItemMap::AbandonAll).
    void Abandon() noexcept;
    // Whether an item may run foreign code when it is cleared.
    bool HoldsObjects() const noexcept { return container_.ObjectItemCount() > 0; }

private:
    struct Call;
    template <class Body>
    HRESULT WithContainer(CompareMode mode, Body&& body) noexcept;
    template <class Body>
    HRESULT WithContainer(Body&& body) noexcept;

    ItemMap container_;
    CriticalSection section_;
    const std::shared_ptr<StoreLock> sharedLock_;
    // While snapshots are read outside the section, what removals free waits here.
    std::shared_ptr<Graveyard> graveyard_;
    int snapshots_ = 0;
};

} // namespace korvo
