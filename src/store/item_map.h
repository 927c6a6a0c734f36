// The ordered container of one store: entries of (key, item), keys ascending, the entries of
// equivalent keys adjacent in the order they were inserted.
//
// Every entry carries an insertion sequence number, and the tree orders by (key, sequence),
// so a new entry always lands behind its equals and the container can be re-sorted for
// another compare mode into exactly the order that inserting its entries anew would give.
// Items are variants owned by their entries; they are cleared only by ReleaseItem, and
// entries that leave the store for good hand their items to RemovedEntries so that they can
// be released after the store's critical section is left.
//
// A lookup is one descent of the tree; a key's group is found by walking back from the place
// behind it. The entry count, the number of distinct keys and the number of items that hold
// objects are kept current by every change.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/unique_variant.h"
#include "store/entry_tree.h"
#include "store/key_compare.h"

namespace korvo {

// Clears an item that leaves its store for good. Clearing may run a foreign object's
// release, which may throw or call back into a store; a fault there is absorbed so the
// removal goes on.
void ReleaseItem(VARIANT& item) noexcept;

// Whether clearing the item may run foreign code: it holds an object, a record or an array
// that may hold them. A reference to a variant owns nothing and runs nothing.
bool ItemHoldsObjects(const VARIANT& item) noexcept;

// What removals leave behind while a snapshot of the container is being read outside the
// store's section (a Save): the keys and items the snapshot may still read are kept here,
// and freed when the last snapshot and the last removal that left them here are done.
class Graveyard {
public:
    struct Plot {
        std::vector<VARIANT> items;
        std::vector<StoredKey> keys;
        EntryTree tree{CompareMode::Binary};
        std::unique_ptr<Plot> next;
    };

    Graveyard() = default;
    Graveyard(const Graveyard&) = delete;
    Graveyard& operator=(const Graveyard&) = delete;
    ~Graveyard();

    void Bury(std::unique_ptr<Plot> plot) noexcept;

private:
    std::mutex guard_;
    std::unique_ptr<Plot> first_;
};

// Items (and keys) taken out of a container; they are released when this is destroyed, or
// handed to the graveyard of a snapshot that may still read them.
class RemovedEntries {
public:
    RemovedEntries() noexcept : all_(CompareMode::Binary) {}
    RemovedEntries(const RemovedEntries&) = delete;
    RemovedEntries& operator=(const RemovedEntries&) = delete;
    ~RemovedEntries();

    // Room for `count` more items and keys, so that taking them allocates nothing. Throws
    // std::bad_alloc before anything is taken.
    void Reserve(std::size_t count);
    // Room for `count` more items alone, for what takes no key (ReplaceItem).
    void ReserveItems(std::size_t count);
    std::vector<VARIANT>& Items() noexcept { return items_; }
    std::vector<StoredKey>& Keys() noexcept { return keys_; }
    // A whole tree, emptied out of a container in one step.
    void TakeTree(EntryTree&& tree) noexcept;
    // What is taken goes to `graveyard` instead of being freed. Throws std::bad_alloc
    // before anything is taken.
    void KeepFor(std::shared_ptr<Graveyard> graveyard);

private:
    void ReleaseNow() noexcept;

    std::vector<VARIANT> items_;
    std::vector<StoredKey> keys_;
    EntryTree all_;
    std::shared_ptr<Graveyard> graveyard_;
    std::unique_ptr<Graveyard::Plot> plot_;
};

class ItemMap {
public:
    class const_iterator {
    public:
        const_iterator() = default;
        explicit const_iterator(EntryTree::Position position) noexcept : position_(position) {}
        const Entry& operator*() const noexcept { return EntryTree::At(position_); }
        const Entry* operator->() const noexcept { return &EntryTree::At(position_); }
        const_iterator& operator++() noexcept
        {
            position_ = EntryTree::Next(position_);
            return *this;
        }
        bool operator==(const const_iterator&) const = default;
        EntryTree::Position Position() const noexcept { return position_; }

    private:
        EntryTree::Position position_;
    };

    // Where a new entry of a key goes, found by one descent, and whether the key is there.
    // Good until the container changes.
    struct Place {
        EntryTree::Position place;
        bool present = false;
    };

    // The entries of one key: the first of them, how many there are, and the place behind
    // them, where a new entry of the key goes.
    struct Group {
        EntryTree::Position first;
        std::size_t count = 0;
        EntryTree::Position behind;
        Place PlaceBehind() const noexcept { return {behind, count > 0}; }
    };

    ItemMap() noexcept : entries_(CompareMode::Binary) {}
    ItemMap(const ItemMap&) = delete;
    ItemMap& operator=(const ItemMap&) = delete;
    // Releases every item still held.
    ~ItemMap();

    // Every operation calls this first, inside the store's critical section, with the
    // compare mode it read at its start. Re-sorts a container ordered under the other mode;
    // throws std::bad_alloc, leaving the container as it was, when that needs memory it
    // cannot have.
    void UseMode(CompareMode mode);
    CompareMode Mode() const noexcept { return entries_.Mode(); }

    const_iterator begin() const noexcept { return const_iterator(entries_.Begin()); }
    const_iterator end() const noexcept { return const_iterator(EntryTree::End()); }

    // Every entry in order, copied by its bytes to `out`, which has room for EntryCount();
    // the container still owns them.
    void CopyEntries(Entry* out) const noexcept { entries_.CopyAll(out); }

    Group FindGroup(KeyView key) const noexcept;
    Place PlaceFor(KeyView key) const noexcept;
    static const VARIANT& ItemAt(EntryTree::Position position) noexcept { return EntryTree::At(position).item; }

    // Makes sure the next insertion has a sequence number of its own. When the numbers have
    // run out the entries are numbered anew, which builds the tree anew and so moves every
    // entry: this is called before the place of an insertion is looked up. False, with the
    // container as it was, when that needs memory it cannot have.
    bool ReadyToInsert() noexcept { return SequencesLeft(1) || Renumber(); }

    // Adds an entry behind every entry of an equivalent key at `place`, from PlaceFor or
    // FindGroup after ReadyToInsert, with no change of the container since. The entry takes
    // the key made for it and the item over. Throws std::bad_alloc before anything changes:
    // the key has then been freed and the item stays the caller's.
    void InsertAt(const Place& place, StoredKey key, UniqueVariant&& item);

    // Gives a key's one entry a new item; the one it held goes to removed, which must have
    // room for it.
    void ReplaceItem(const Group& group, UniqueVariant&& item, RemovedEntries& removed) noexcept;

    // Removes a key's whole group; their items go to removed. Throws std::bad_alloc before
    // anything changes.
    void Erase(const Group& group, RemovedEntries& removed);
    void EraseAll(RemovedEntries& removed) noexcept;
    // Removes the entries whose flag is set, flags in container order. Throws std::bad_alloc
    // before anything changes.
    void EraseFlagged(const std::vector<bool>& flags, std::size_t flagged, RemovedEntries& removed);

    // Gives the key's entries the new key text, behind the new key's existing entries,
    // keeping their items and their order; the former keys go to removed. Throws
    // std::bad_alloc before anything changes.
    void Rename(KeyView key, KeyView newKey, RemovedEntries& removed);

    // Read without the store's critical section by ItemsCount and UniqueKeys put.
    LONG EntryCount() const noexcept { return entryCount_.load(std::memory_order_relaxed); }
    LONG DistinctKeyCount() const noexcept { return distinctKeys_; }
    // How many items may run foreign code when they are cleared; read without the section.
    LONG ObjectItemCount() const noexcept { return objectItems_.load(std::memory_order_relaxed); }
    // Module stop in a process that goes on: empties the container, but items that may run
    // foreign code are given up without being cleared, since no foreign code may run while
    // the module is unloaded.
    void AbandonAll(RemovedEntries& removed) noexcept;

private:
    // Builds the tree anew from its entries under `mode`, optionally numbering them afresh.
    void Rebuild(CompareMode mode, bool renumber);
    // After removals: a tree that has emptied out is built anew, full, when memory allows.
    void CompactIfSparse() noexcept;
    bool SequencesLeft(std::size_t count) const noexcept
    {
        return count < std::numeric_limits<std::uint32_t>::max() - nextSequence_;
    }
    std::uint32_t TakeSequences(std::size_t count);
    // Numbers the entries anew from 1; false when that cannot be done or leaves no number.
    bool Renumber() noexcept;
    void Counted() noexcept { entryCount_.store(static_cast<LONG>(entries_.size()), std::memory_order_relaxed); }
    void CountObjects(const VARIANT& item, LONG change) noexcept
    {
        if (ItemHoldsObjects(item)) {
            objectItems_.fetch_add(change, std::memory_order_relaxed);
        }
    }
    void Recount() noexcept;

    EntryTree entries_;
    std::uint32_t nextSequence_ = 1;
    LONG distinctKeys_ = 0;
    std::atomic<LONG> entryCount_{0};
    std::atomic<LONG> objectItems_{0};
};

} // namespace korvo
