#include "store/item_map.h"

#include <iterator>
#include <vector>

namespace korvo {

void ReleaseItem(VARIANT& item) noexcept
{
    try {
        VariantClear(&item);
    } catch (...) {
        // A misbehaving object must not stop the removal of the other items.
    }
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

RemovedEntries::~RemovedEntries()
{
    for (auto& entry : entries_) {
        ReleaseItem(entry.second);
    }
    if (hasDisplacedItem_) {
        ReleaseItem(displacedItem_);
    }
}

void RemovedEntries::Take(EntryTree::node_type&& entry) noexcept
{
    // Sequence numbers are unique within a store, so the node always finds a place.
    entries_.insert(entries_.end(), std::move(entry));
}

void RemovedEntries::TakeAll(EntryTree&& entries) noexcept
{
    if (entries_.empty()) {
        entries_.swap(entries);
    } else {
        entries_.merge(entries);
    }
}

void RemovedEntries::TakeItem(VARIANT& item) noexcept
{
    if (hasDisplacedItem_) {
        ReleaseItem(displacedItem_);
    }
    displacedItem_ = item;
    hasDisplacedItem_ = true;
    V_VT(&item) = VT_EMPTY;
}

ItemMap::~ItemMap()
{
    RemovedEntries removed;
    EraseAll(removed);
}

void ItemMap::UseMode(CompareMode mode) noexcept
{
    if (mode == this->mode()) {
        return;
    }
    // Moving the nodes allocates nothing; (key, sequence) gives the order that inserting
    // every entry anew in its original order under the new mode would give.
    EntryTree resorted{EntryOrder(mode)};
    while (!entries_.empty()) {
        resorted.insert(entries_.extract(entries_.begin()));
    }
    entries_.swap(resorted);
}

LONG ItemMap::Count(KeyView key)
{
    const auto [first, last] = KeyRange(key);
    return static_cast<LONG>(std::distance(first, last));
}

ItemMap::iterator ItemMap::Insert(KeyText key, UniqueVariant&& item)
{
    const auto inserted = entries_.emplace(EntryKey{std::move(key), nextSequence_}, VARIANT{}).first;
    item.release(&inserted->second);
    CountObjects(inserted->second, 1);
    ++nextSequence_;
    CountEntries();
    return inserted;
}

void ItemMap::ReplaceItem(iterator entry, UniqueVariant&& item, RemovedEntries& removed) noexcept
{
    CountObjects(entry->second, -1);
    removed.TakeItem(entry->second);
    item.release(&entry->second);
    CountObjects(entry->second, 1);
}

void ItemMap::Erase(iterator first, iterator last, RemovedEntries& removed) noexcept
{
    while (first != last) {
        const auto next = std::next(first);
        CountObjects(first->second, -1);
        removed.Take(entries_.extract(first));
        first = next;
    }
    CountEntries();
}

void ItemMap::EraseAll(RemovedEntries& removed) noexcept
{
    // The emptied tree keeps ordering under the mode the container was sorted for.
    const CompareMode sortedFor = mode();
    removed.TakeAll(std::move(entries_));
    EntryTree empty{EntryOrder(sortedFor)};
    entries_.swap(empty);
    CountEntries();
    objectItems_.store(0, std::memory_order_relaxed);
}

void ItemMap::AbandonAll(RemovedEntries& removed) noexcept
{
    for (auto& entry : entries_) {
        if (ItemHoldsObjects(entry.second)) {
            V_VT(&entry.second) = VT_EMPTY; // given up, not released
        }
    }
    EraseAll(removed);
}

void ItemMap::Rename(KeyView key, KeyView newKey)
{
    const auto [groupBegin, groupEnd] = KeyRange(key);
    const auto moving = static_cast<std::size_t>(std::distance(groupBegin, groupEnd));
    if (moving == 0) {
        return;
    }
    // Every allocation happens before the first entry moves.
    std::vector<KeyText> newTexts(moving, KeyText(newKey));

    auto entry = groupBegin;
    for (std::size_t i = 0; i < moving; ++i) {
        // A renamed entry lands outside the group or, for an equivalent new key, behind its
        // remaining entries, so the next `moving` entries from here are the former ones.
        const auto next = std::next(entry);
        auto node = entries_.extract(entry);
        node.key().text = std::move(newTexts[i]);
        node.key().sequence = nextSequence_++;
        entries_.insert(std::move(node));
        entry = next;
    }
}

LONG ItemMap::DistinctKeyCount() const
{
    LONG groups = 0;
    for (auto entry = entries_.begin(); entry != entries_.end(); entry = NextGroup(entry)) {
        ++groups;
    }
    return groups;
}

} // namespace korvo
