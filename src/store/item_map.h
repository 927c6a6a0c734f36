// The ordered container of one store: entries of (key, item), keys ascending, the entries
// of equivalent keys adjacent in the order they were inserted.
//
// Every entry carries an insertion sequence number, and the tree orders by (key, sequence),
// so a new entry always lands behind its equals and the container can be re-sorted for
// another compare mode into exactly the order that inserting its entries anew would give.
// Items are variants owned by their entries; they are cleared only by ReleaseItem, and
// entries that leave the store for good are moved into RemovedEntries so that their items
// can be released after the store's critical section is left.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>

#include "platform/unique_variant.h"
#include "store/key_compare.h"

namespace korvo {

// Clears an item that leaves its store for good. Clearing may run a foreign object's
// release, which may throw or call back into a store; a fault there is absorbed so the
// removal goes on.
void ReleaseItem(VARIANT& item) noexcept;

// Whether clearing the item may run foreign code: it holds an object, a record or an array
// that may hold them. A reference to a variant owns nothing and runs nothing.
bool ItemHoldsObjects(const VARIANT& item) noexcept;

struct EntryKey {
    KeyText text;
    std::uint64_t sequence = 0;
};

class EntryOrder {
public:
    using is_transparent = void;

    explicit EntryOrder(CompareMode mode = CompareMode::Binary) noexcept : mode_(mode) {}

    CompareMode mode() const noexcept { return mode_; }

    bool operator()(const EntryKey& a, const EntryKey& b) const noexcept
    {
        const int order = CompareKeys(a.text, b.text, mode_);
        return order < 0 || (order == 0 && a.sequence < b.sequence);
    }
    bool operator()(const EntryKey& a, KeyView b) const noexcept { return CompareKeys(a.text, b, mode_) < 0; }
    bool operator()(KeyView a, const EntryKey& b) const noexcept { return CompareKeys(a, b.text, mode_) < 0; }

private:
    CompareMode mode_;
};

using EntryTree = std::map<EntryKey, VARIANT, EntryOrder>;

// Entries taken out of a container; their items are released when this is destroyed.
class RemovedEntries {
public:
    RemovedEntries() = default;
    RemovedEntries(const RemovedEntries&) = delete;
    RemovedEntries& operator=(const RemovedEntries&) = delete;
    ~RemovedEntries();

    void Take(EntryTree::node_type&& entry) noexcept;
    void TakeAll(EntryTree&& entries) noexcept;
    // The item an entry held before it was given a new one.
    void TakeItem(VARIANT& item) noexcept;

    std::size_t size() const noexcept { return entries_.size() + (hasDisplacedItem_ ? 1 : 0); }

private:
    EntryTree entries_;
    VARIANT displacedItem_{};
    bool hasDisplacedItem_ = false;
};

class ItemMap {
public:
    using iterator = EntryTree::iterator;
    using const_iterator = EntryTree::const_iterator;

    ItemMap() = default;
    ItemMap(const ItemMap&) = delete;
    ItemMap& operator=(const ItemMap&) = delete;
    // Releases every item still held.
    ~ItemMap();

    // Every operation calls this first, inside the store's critical section, with the
    // compare mode it read at its start. Re-sorts a container ordered under the other mode.
    void UseMode(CompareMode mode) noexcept;
    CompareMode mode() const noexcept { return entries_.key_comp().mode(); }

    iterator begin() noexcept { return entries_.begin(); }
    iterator end() noexcept { return entries_.end(); }
    const_iterator begin() const noexcept { return entries_.begin(); }
    const_iterator end() const noexcept { return entries_.end(); }

    iterator LowerBound(KeyView key) { return entries_.lower_bound(key); }
    iterator UpperBound(KeyView key) { return entries_.upper_bound(key); }
    std::pair<iterator, iterator> KeyRange(KeyView key) { return entries_.equal_range(key); }
    LONG Count(KeyView key);

    // Adds an entry behind every entry of an equivalent key, which takes the item over.
    // Throws std::bad_alloc before anything changes (the item stays with the caller) when no
    // entry can be allocated.
    iterator Insert(KeyText key, UniqueVariant&& item);

    // Gives the entry a new item; the one it held goes to removed.
    void ReplaceItem(iterator entry, UniqueVariant&& item, RemovedEntries& removed) noexcept;

    // Moves the entries of [first, last) into removed; their keys and items go with them.
    void Erase(iterator first, iterator last, RemovedEntries& removed) noexcept;
    void EraseAll(RemovedEntries& removed) noexcept;

    // Gives the key's entries the new key text, behind the new key's existing entries,
    // keeping their items and their order. Throws std::bad_alloc before anything changes.
    void Rename(KeyView key, KeyView newKey);

    // Read without the store's critical section by ItemsCount and UniqueKeys put.
    LONG EntryCount() const noexcept { return entryCount_.load(std::memory_order_relaxed); }
    // How many items may run foreign code when they are cleared; read without the section.
    LONG ObjectItemCount() const noexcept { return objectItems_.load(std::memory_order_relaxed); }
    // Module stop in a process that goes on: empties the container, but items that may run
    // foreign code are given up without being cleared, since no foreign code may run while
    // the module is unloaded.
    void AbandonAll(RemovedEntries& removed) noexcept;
    LONG DistinctKeyCount() const;

    // The next entry of another key: the distinct-key walk visits each group's first entry.
    const_iterator NextGroup(const_iterator entry) const { return entries_.upper_bound(KeyView(entry->first.text)); }

private:
    void CountEntries() noexcept { entryCount_.store(static_cast<LONG>(entries_.size()), std::memory_order_relaxed); }
    void CountObjects(const VARIANT& item, LONG change) noexcept
    {
        if (ItemHoldsObjects(item)) {
            objectItems_.fetch_add(change, std::memory_order_relaxed);
        }
    }

    EntryTree entries_;
    std::uint64_t nextSequence_ = 1;
    std::atomic<LONG> entryCount_{0};
    std::atomic<LONG> objectItems_{0};
};

} // namespace korvo
