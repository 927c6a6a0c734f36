// What the members need of a store, whatever keeps it: the operations they make on its
// entries, each one atomic, and its shared lock. The local in-process store is one backend;
// another (a store kept on a server) implements the same operations with the same results,
// errors and order, so no member knows which one it works on.
//
// Keys arrive as the caller's text up to its first NUL. Failures a script author is meant
// to read leave their error record, as the members' own failures do.
#pragma once

#include <atomic>
#include <memory>
#include <span>

#include "persist/key_filter.h"
#include "persist/records.h"
#include "share/store_lock.h"
#include "store/key_compare.h"
#include "store/variant_block.h"

namespace korvo {

class StoreBackend {
public:
    virtual ~StoreBackend() = default;
    StoreBackend(const StoreBackend&) = delete;
    StoreBackend& operator=(const StoreBackend&) = delete;

    // Empty for an absent key, a copy of a single item, an array of several in the order
    // they were added.
    virtual HRESULT GetItem(KeyView key, VARIANT& result) noexcept = 0;
    // Replaces the key's one item, or adds the key; refuses a key with several items (116).
    virtual HRESULT PutItem(KeyView key, const VARIANT& value) noexcept = 0;
    // Adds behind the key's items; with uniqueKeys refuses a key that is present (109).
    virtual HRESULT Add(KeyView key, const VARIANT& item, bool uniqueKeys) noexcept = 0;
    virtual HRESULT Exists(KeyView key, bool& exists) noexcept = 0;
    // Removes every item of the key; an absent key is no failure.
    virtual HRESULT Remove(KeyView key) noexcept = 0;
    virtual HRESULT Count(KeyView key, LONG& count) noexcept = 0;
    // The total number of items; what UniqueKeys put consults as well.
    virtual HRESULT ItemsCount(LONG& count) noexcept = 0;
    virtual HRESULT KeysCount(LONG& count) noexcept = 0;
    virtual HRESULT Items(VARIANT& result) noexcept = 0;
    virtual HRESULT Keys(VARIANT& result) noexcept = 0;
    // Moves every item of `key` behind the items of `newKey`, keeping their order.
    virtual HRESULT RenameKey(KeyView key, KeyView newKey) noexcept = 0;
    // Removes the items of every key the filter matches (every key without a pattern). A
    // key the pattern cannot be tested against removes nothing at all (0x8007000D with a
    // record naming the pattern).
    virtual HRESULT RemoveAll(persist::KeyFilter& filter) noexcept = 0;
    // Appends the records of the items whose key the filter matches, in order, for Save; the
    // same failure as RemoveAll for a key the pattern cannot be tested against.
    virtual HRESULT WriteRecords(persist::RecordBuffer& records, persist::KeyFilter& filter,
                                 bool saveEmpty) noexcept = 0;
    // Adds loaded records in order, each by Add's rules; a record Add refuses is dropped and
    // leaves Add's error record.
    virtual HRESULT AddRecords(std::span<persist::Record> records, bool uniqueKeys) noexcept = 0;
    // A copy of every item in order, for an enumerator. E_FAIL when an item cannot be
    // copied, E_OUTOFMEMORY when the block cannot be made; `block` is then empty.
    virtual HRESULT Snapshot(VariantBlock& block) noexcept = 0;

    // The lock every object bound to the store shares; null when each object keeps a lock
    // of its own (a private store, or a named one whose shared lock could not be made).
    virtual std::shared_ptr<StoreLock> SharedLock() const noexcept = 0;

    // How many objects are bound to the store now (RefCounter).
    std::atomic<LONG> boundObjects{0};

protected:
    StoreBackend() = default;
};

using StorePtr = std::shared_ptr<StoreBackend>;

} // namespace korvo
