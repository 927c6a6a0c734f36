#include "store/item_map.h"

#include <algorithm>
#include <limits>

#include "platform/failure_cleanup.h"
#include "platform/hresult_from_exception.h"

namespace korvo {

void ReleaseItem(VARIANT& item) noexcept
{
    // A misbehaving object must not stop the removal of the other items.
    CallTranslatingExceptions([&] { VariantClear(&item); }, [](HRESULT) noexcept {});
    V_VT(&item) = VT_EMPTY;
}

bool ItemHoldsObjects(const VARIANT& item) noexcept
{
    const VARTYPE type = V_VT(&item);
    if ((type & VT_BYREF) != 0) {
        return false;
    }
    switch (type & VT_TYPEMASK) {
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return (type & VT_ARRAY) != 0 || V_UNKNOWN(&item) != nullptr;
    case VT_RECORD:
    case VT_VARIANT:
        return true;
    default:
        return false;
    }
}

namespace {

void Release(std::vector<VARIANT>& items, std::vector<StoredKey>& keys, EntryTree& tree) noexcept
{
    for (VARIANT& item : items) {
        ReleaseItem(item);
    }
    for (StoredKey& key : keys) {
        key.Free();
    }
    for (auto at = tree.Begin(); at != EntryTree::End(); at = EntryTree::Next(at)) {
        ReleaseItem(EntryTree::At(at).item);
    }
    EntryTree ended = std::move(tree);
}

} // namespace

Graveyard::~Graveyard()
{
    // One plot after the other: a long chain must not recurse.
    std::unique_ptr<Plot> plot = std::move(first_);
    while (plot) {
        Release(plot->items, plot->keys, plot->tree);
        plot = std::move(plot->next);
    }
}

void Graveyard::Bury(std::unique_ptr<Plot> plot) noexcept
{
    std::lock_guard lock(guard_);
    plot->next = std::move(first_);
    first_ = std::move(plot);
}

RemovedEntries::~RemovedEntries()
{
    if (graveyard_ && plot_) {
        plot_->items = std::move(items_);
        plot_->keys = std::move(keys_);
        plot_->tree = std::move(all_);
        graveyard_->Bury(std::move(plot_));
        return;
    }
    ReleaseNow();
}

void RemovedEntries::ReleaseNow() noexcept
{
    Release(items_, keys_, all_);
}

void RemovedEntries::Reserve(std::size_t count)
{
    items_.reserve(items_.size() + count);
    keys_.reserve(keys_.size() + count);
}

void RemovedEntries::ReserveItems(std::size_t count)
{
    items_.reserve(items_.size() + count);
}

void RemovedEntries::KeepFor(std::shared_ptr<Graveyard> graveyard)
{
    plot_ = std::make_unique<Graveyard::Plot>();
    graveyard_ = std::move(graveyard);
}

void RemovedEntries::TakeTree(EntryTree&& tree) noexcept
{
    if (all_.size() == 0) {
        all_ = std::move(tree);
        return;
    }
    // A second tree in one call (never in practice): it goes now.
    std::vector<VARIANT> none;
    std::vector<StoredKey> noKeys;
    Release(none, noKeys, tree);
}

ItemMap::~ItemMap()
{
    RemovedEntries removed;
    EraseAll(removed);
}

void ItemMap::UseMode(CompareMode mode)
{
    if (mode != entries_.Mode()) {
        Rebuild(mode, false);
    }
}

void ItemMap::Rebuild(CompareMode mode, bool renumber)
{
    // The entries are copied out by their bytes; the old tree gives them up only once the new
    // one stands, so a failure leaves the container as it was.
    std::vector<Entry> all;
    all.reserve(entries_.size());
    for (auto at = entries_.Begin(); at != EntryTree::End(); at = EntryTree::Next(at)) {
        all.push_back(EntryTree::At(at));
    }
    if (mode != entries_.Mode()) {
        // (key, sequence) under the new mode: the order inserting every entry anew in its
        // original order would give.
        std::sort(all.begin(), all.end(), [mode](const Entry& a, const Entry& b) {
            const int order = CompareKeys(a.key.View(), b.key.View(), mode);
            return order < 0 || (order == 0 && a.sequence < b.sequence);
        });
    }
    std::uint32_t sequence = nextSequence_;
    if (renumber) {
        // Numbers in the order the entries were added, so groups keep their order.
        std::vector<Entry*> byAge(all.size());
        for (std::size_t i = 0; i < all.size(); ++i) {
            byAge[i] = &all[i];
        }
        std::sort(byAge.begin(), byAge.end(), [](const Entry* a, const Entry* b) { return a->sequence < b->sequence; });
        sequence = 1;
        for (Entry* entry : byAge) {
            entry->sequence = sequence++;
        }
    }
    EntryTree rebuilt = EntryTree::Build(all, mode);
    entries_.ForgetEntries();
    entries_ = std::move(rebuilt);
    nextSequence_ = sequence;
    Recount();
}

void ItemMap::Recount() noexcept
{
    LONG groups = 0;
    const Entry* previous = nullptr;
    for (auto at = entries_.Begin(); at != EntryTree::End(); at = EntryTree::Next(at)) {
        const Entry& entry = EntryTree::At(at);
        if (previous == nullptr || CompareKeys(previous->key.View(), entry.key.View(), entries_.Mode()) != 0) {
            ++groups;
        }
        previous = &entry;
    }
    distinctKeys_ = groups;
    Counted();
}

void ItemMap::CompactIfSparse() noexcept
{
    constexpr std::size_t kLeafEntries = 32;
    if (entries_.LeafCount() > 8 && entries_.size() * 4 < entries_.LeafCount() * kLeafEntries) {
        // Without the memory to rebuild it, it stays sparse but sound.
        CallTranslatingExceptions([&] { Rebuild(entries_.Mode(), false); }, [](HRESULT) noexcept {});
    }
}

std::uint32_t ItemMap::TakeSequences(std::size_t count)
{
    if (!SequencesLeft(count)) {
        Rebuild(entries_.Mode(), true);
        if (!SequencesLeft(count)) {
            throw std::bad_alloc(); // more entries than sequence numbers: cannot be held
        }
    }
    const std::uint32_t first = nextSequence_;
    nextSequence_ += static_cast<std::uint32_t>(count);
    return first;
}

bool ItemMap::Renumber() noexcept
{
    const HRESULT renumbered = CallReturningHresult([&] {
        Rebuild(entries_.Mode(), true);
        return S_OK;
    });
    return SUCCEEDED(renumbered) && SequencesLeft(1);
}

ItemMap::Group ItemMap::FindGroup(KeyView key) const noexcept
{
    Group group;
    group.behind = entries_.Seek(key, EntryTree::kBehindAll);
    auto at = entries_.Previous(EntryTree::Normalised(group.behind));
    while (at != EntryTree::End() && CompareKeys(EntryTree::At(at).key.View(), key, entries_.Mode()) == 0) {
        group.first = at;
        ++group.count;
        at = entries_.Previous(at);
    }
    return group;
}

ItemMap::Place ItemMap::PlaceFor(KeyView key) const noexcept
{
    Place result;
    // A key behind every key (a Load of a file saved in order) needs only the last entry.
    const auto last = entries_.Previous(EntryTree::End());
    if (last != EntryTree::End()) {
        const int order = CompareKeys(EntryTree::At(last).key.View(), key, entries_.Mode());
        if (order <= 0) {
            result.place = {last.leaf, last.index + 1};
            result.present = order == 0;
            return result;
        }
    }
    result.place = entries_.Seek(key, EntryTree::kBehindAll);
    const auto before = entries_.Previous(EntryTree::Normalised(result.place));
    result.present = before != EntryTree::End() &&
                     CompareKeys(EntryTree::At(before).key.View(), key, entries_.Mode()) == 0;
    return result;
}

void ItemMap::InsertAt(const Place& place, StoredKey stored, UniqueVariant&& item)
{
    FailureCleanup freeKey([&] { stored.Free(); });
    if (!SequencesLeft(1)) {
        throw std::bad_alloc(); // not made ready: never a number twice
    }
    entries_.InsertAt(place.place, Entry{stored, nextSequence_, *item.get()});
    freeKey.Dismiss();
    ++nextSequence_;
    VARIANT owned;
    item.release(&owned); // the entry holds these bits now
    if (!place.present) {
        ++distinctKeys_;
    }
    CountObjects(owned, 1);
    Counted();
}

void ItemMap::ReplaceItem(const Group& group, UniqueVariant&& item, RemovedEntries& removed) noexcept
{
    VARIANT& held = EntryTree::At(group.first).item;
    CountObjects(held, -1);
    removed.Items().push_back(held); // within the room the caller made
    item.release(&held);
    CountObjects(held, 1);
}

void ItemMap::Erase(const Group& group, RemovedEntries& removed)
{
    if (group.count == 0) {
        return;
    }
    removed.Reserve(group.count);
    auto at = group.first;
    for (std::size_t i = 0; i < group.count; ++i, at = EntryTree::Next(at)) {
        CountObjects(EntryTree::At(at).item, -1);
    }
    entries_.Erase(group.first, group.count, removed.Items(), removed.Keys());
    --distinctKeys_;
    Counted();
    CompactIfSparse();
}

void ItemMap::EraseAll(RemovedEntries& removed) noexcept
{
    // The emptied tree keeps the mode it was ordered for.
    removed.TakeTree(std::move(entries_));
    distinctKeys_ = 0;
    objectItems_.store(0, std::memory_order_relaxed);
    Counted();
}

void ItemMap::EraseFlagged(const std::vector<bool>& flags, std::size_t flagged, RemovedEntries& removed)
{
    if (flagged == 0) {
        return;
    }
    removed.Reserve(flagged);
    std::size_t ordinal = 0;
    for (auto at = entries_.Begin(); at != EntryTree::End(); at = EntryTree::Next(at), ++ordinal) {
        if (flags[ordinal]) {
            CountObjects(EntryTree::At(at).item, -1);
        }
    }
    entries_.EraseFlagged(flags, removed.Items(), removed.Keys());
    Recount();
    CompactIfSparse();
}

void ItemMap::Rename(KeyView key, KeyView newKey, RemovedEntries& removed)
{
    const Group group = FindGroup(key);
    if (group.count == 0) {
        return;
    }
    // Everything that may fail comes first: the new keys, room for the dropped entries, the
    // sequence numbers. The new entries are inserted before the old ones go, and taken out
    // again if an insertion fails, so the container is never left half renamed.
    std::vector<VARIANT> items;
    items.reserve(group.count);
    std::vector<VARIANT> dropped;
    dropped.reserve(group.count);
    std::vector<StoredKey> droppedKeys;
    droppedKeys.reserve(group.count);
    removed.Reserve(group.count);
    for (auto at = group.first; items.size() < group.count; at = EntryTree::Next(at)) {
        items.push_back(EntryTree::At(at).item);
    }
    std::vector<StoredKey> keys;
    keys.reserve(group.count);
    {
        FailureCleanup freeKeys([&] {
            for (StoredKey& made : keys) {
                made.Free();
            }
        });
        for (std::size_t i = 0; i < group.count; ++i) {
            keys.push_back(StoredKey::Of(newKey));
        }
        freeKeys.Dismiss();
    }
    const bool equivalent = CompareKeys(key, newKey, entries_.Mode()) == 0;
    const bool newKeyPresent = !equivalent && FindGroup(newKey).count > 0;
    std::size_t inserted = 0;
    std::uint32_t firstNew = 0;
    {
        FailureCleanup takeOutNew([&] {
            // The new entries stand at the end of the new key's group: out they go, their items
            // staying with the old entries.
            if (inserted > 0) {
                const Group added = FindGroup(newKey);
                auto first = added.first;
                for (std::size_t skip = added.count - inserted; skip > 0; --skip) {
                    first = EntryTree::Next(first);
                }
                entries_.Erase(first, inserted, dropped, droppedKeys);
                for (StoredKey& made : droppedKeys) {
                    made.Free(); // never seen by anyone
                }
            }
            for (std::size_t i = inserted; i < keys.size(); ++i) {
                keys[i].Free();
            }
        });
        firstNew = TakeSequences(group.count);
        for (; inserted < group.count; ++inserted) {
            entries_.Insert(Entry{keys[inserted], firstNew + static_cast<std::uint32_t>(inserted), items[inserted]});
        }
        takeOutNew.Dismiss();
    }
    // The old entries are the first of their key's group (before the new ones when the new
    // key is equivalent); their items now belong to the new entries.
    entries_.Erase(FindGroup(key).first, group.count, dropped, removed.Keys());
    if (!equivalent) {
        distinctKeys_ += newKeyPresent ? -1 : 0;
    }
    Counted();
}

void ItemMap::AbandonAll(RemovedEntries& removed) noexcept
{
    for (auto at = entries_.Begin(); at != EntryTree::End(); at = EntryTree::Next(at)) {
        VARIANT& item = EntryTree::At(at).item;
        if (ItemHoldsObjects(item)) {
            V_VT(&item) = VT_EMPTY; // given up, not released
        }
    }
    EraseAll(removed);
}

} // namespace korvo
