#include "share/local_store.h"

#include <iterator>
#include <memory>
#include <type_traits>
#include <vector>

#include "errors/report_error.h"
#include "platform/hresult_from_exception.h"
#include "store/item_array.h"
#include "store/key_slab.h"

namespace korvo {

// What the body of one operation works with, inside the section.
struct LocalStore::Call {
    ItemMap& items;
    RemovedEntries& removed;
};

// The frame of every operation on the container: read the compare mode once, take the
// section, order the container for that mode, run the body. What the body removes is
// released after the section is left; no exception leaves the operation.
template <class Body>
HRESULT LocalStore::WithContainer(Body&& body) noexcept
{
    return CallReturningHresult([&]() -> HRESULT {
        const CompareMode mode = ProcessCompareMode();
        RemovedEntries removed;
        SectionGuard guard(section_);
        if (graveyard_) {
            removed.KeepFor(graveyard_); // a snapshot may still read what this call removes
        }
        container_.UseMode(mode);
        Call call{container_, removed};
        return body(call);
    });
}

using persist::GroupTest;

namespace {

// Copies a caller's value into a new item; the copy's failure is reported as a member's.
HRESULT CopyIn(const VARIANT& value, UniqueVariant& item) noexcept
{
    const HRESULT copied = VariantCopy(item.get(), const_cast<VARIANT*>(&value));
    return FAILED(copied) ? ReportCopyFailure(copied) : S_OK;
}

// The types whose variant copy is a plain copy of the value (a string duplicated): a value
// of these read from a file can be moved into its entry with the same result.
bool CopiesAsItIs(VARTYPE type) noexcept
{
    switch (type) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_ERROR:
    case VT_BOOL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
        return true;
    default:
        return false;
    }
}

// Add's rules on a container the caller works on inside the section: one lookup, then the
// refusal of a present key in unique mode, the copy of the caller's value, the insertion.
HRESULT AddEntry(ItemMap& items, KeyView key, const VARIANT& item, bool uniqueKeys)
{
    const ItemMap::Place place = items.PlaceFor(key);
    if (uniqueKeys && place.present) {
        return ReportError(KORVO_MSG_KEY_EXISTS, E_FAIL);
    }
    UniqueVariant newItem;
    if (const HRESULT copied = CopyIn(item, newItem); FAILED(copied)) {
        return copied;
    }
    // The copy may have run an object's AddRef, which may have changed the store: then the
    // place is looked up again, and with unique keys a key that AddRef added refuses this Add
    // as if it had been there (the copy is released again).
    const ItemMap::Place current = items.Current(place) ? place : items.PlaceFor(key);
    if (uniqueKeys && current.present) {
        return ReportError(KORVO_MSG_KEY_EXISTS, E_FAIL);
    }
    items.InsertAt(current, key, std::move(newItem));
    return S_OK;
}

} // namespace

LocalStore::LocalStore(std::shared_ptr<StoreLock> sharedLock) noexcept : sharedLock_(std::move(sharedLock)) {}

LocalStore::~LocalStore()
{
    Destroy();
}

void LocalStore::Destroy() noexcept
{
    // Declared before the guard: the items are released after the section is left.
    RemovedEntries removed;
    SectionGuard guard(section_);
    container_.EraseAll(removed);
}

void LocalStore::Abandon() noexcept
{
    RemovedEntries removed;
    SectionGuard guard(section_);
    container_.AbandonAll(removed);
}

HRESULT LocalStore::GetItem(KeyView key, VARIANT& result) noexcept
{
    return WithContainer([&](Call& call) -> HRESULT {
        const ItemMap::Group group = call.items.FindGroup(key);
        if (group.count == 0) {
            VariantInit(&result);
            return S_OK;
        }
        if (group.count == 1) {
            VariantInit(&result);
            const HRESULT copied = VariantCopy(&result, const_cast<VARIANT*>(&ItemMap::ItemAt(group.first)));
            return FAILED(copied) ? ReportCopyFailure(copied) : S_OK;
        }
        return MakeItemArray(&result, ItemMap::const_iterator(group.first), static_cast<LONG>(group.count));
    });
}

HRESULT LocalStore::PutItem(KeyView key, const VARIANT& value) noexcept
{
    return WithContainer([&](Call& call) -> HRESULT {
        const ItemMap::Group group = call.items.FindGroup(key);
        if (group.count >= 2) {
            return ReportError(KORVO_MSG_SEVERAL_VALUES, E_FAIL);
        }
        UniqueVariant newItem;
        if (const HRESULT copied = CopyIn(value, newItem); FAILED(copied)) {
            return copied;
        }
        // The copy may have run an object's AddRef, which may have changed the store: then the
        // key is looked up again, and the put acts on what the key holds now.
        const ItemMap::Group current = call.items.Current(group) ? group : call.items.FindGroup(key);
        if (current.count >= 2) {
            return ReportError(KORVO_MSG_SEVERAL_VALUES, E_FAIL);
        }
        if (current.count == 1) {
            // The entry keeps its key and place; its former item is released after the section.
            call.removed.ReserveItems(1);
            call.items.ReplaceItem(current, std::move(newItem), call.removed);
            return S_OK;
        }
        call.items.Insert(key, std::move(newItem));
        return S_OK;
    });
}

HRESULT LocalStore::Add(KeyView key, const VARIANT& item, bool uniqueKeys) noexcept
{
    return WithContainer([&](Call& call) { return AddEntry(call.items, key, item, uniqueKeys); });
}

HRESULT LocalStore::Exists(KeyView key, bool& exists) noexcept
{
    return WithContainer([&](Call& call) {
        exists = call.items.PlaceFor(key).present;
        return S_OK;
    });
}

HRESULT LocalStore::Remove(KeyView key) noexcept
{
    return WithContainer([&](Call& call) {
        call.items.Erase(call.items.FindGroup(key), call.removed);
        return S_OK;
    });
}

HRESULT LocalStore::Count(KeyView key, LONG& count) noexcept
{
    return WithContainer([&](Call& call) {
        count = static_cast<LONG>(call.items.FindGroup(key).count);
        return S_OK;
    });
}

HRESULT LocalStore::ItemsCount(LONG& count) noexcept
{
    // The entry count is one aligned value, read without the section.
    count = container_.EntryCount();
    return S_OK;
}

HRESULT LocalStore::KeysCount(LONG& count) noexcept
{
    return WithContainer([&](Call& call) {
        count = call.items.DistinctKeyCount();
        return S_OK;
    });
}

HRESULT LocalStore::Items(VARIANT& result) noexcept
{
    return WithContainer(
        [&](Call& call) { return MakeItemArray(&result, call.items.begin(), call.items.EntryCount()); });
}

HRESULT LocalStore::Keys(VARIANT& result) noexcept
{
    return WithContainer([&](Call& call) { return MakeKeyArray(&result, call.items); });
}

HRESULT LocalStore::RenameKey(KeyView key, KeyView newKey) noexcept
{
    return WithContainer([&](Call& call) {
        call.items.Rename(key, newKey, call.removed);
        return S_OK;
    });
}

HRESULT LocalStore::RemoveAll(persist::KeyFilter& filter) noexcept
{
    return WithContainer([&](Call& call) -> HRESULT {
        if (!filter.active()) {
            call.items.EraseAll(call.removed);
            return S_OK;
        }
        // Every key is tested before anything goes, so a key the pattern cannot be tested
        // against leaves the store as it was.
        std::vector<bool> matching;
        matching.reserve(static_cast<std::size_t>(call.items.EntryCount()));
        std::size_t matched = 0;
        GroupTest test(filter);
        for (const Entry& entry : call.items) {
            switch (test(entry.key.view())) {
            case KeyTestResult::Failed:
                return ReportUnusablePattern(filter.text(), PatternFault::TestFailed);
            case KeyTestResult::Match:
                matching.push_back(true);
                ++matched;
                break;
            case KeyTestResult::NoMatch:
                matching.push_back(false);
                break;
            }
        }
        call.items.EraseFlagged(matching, matched, call.removed);
        return S_OK;
    });
}

namespace {

// The records of `entries` (in container order) whose key the filter matches.
template <class Entries>
HRESULT SerialiseRecords(const Entries& entries, persist::RecordBuffer& records, persist::KeyFilter& filter,
                         bool saveEmpty, std::size_t count) noexcept
{
    GroupTest test(filter);
    // A guess at the bytes of small records, so the buffer seldom grows.
    records.Reserve(count * 32);
    std::size_t index = 0;
    for (const Entry& entry : entries) {
        if constexpr (std::is_same_v<Entries, std::vector<Entry>>) {
            // A long key's text lies where the key was made, in no order this walk follows:
            // asking for the text a few entries ahead hides most of the wait for memory.
            constexpr std::size_t kAhead = 16;
            if (index + kAhead < entries.size()) {
                __builtin_prefetch(entries[index + kAhead].key.view().data());
            }
            ++index;
        }
        switch (test(entry.key.view())) {
        case KeyTestResult::Failed:
            return ReportUnusablePattern(filter.text(), PatternFault::TestFailed);
        case KeyTestResult::NoMatch:
            continue;
        case KeyTestResult::Match:
            persist::WriteRecord(records, entry.key.view(), entry.item, saveEmpty);
            break;
        }
    }
    return records.status();
}

} // namespace

HRESULT LocalStore::WriteRecords(persist::RecordBuffer& records, persist::KeyFilter& filter, bool saveEmpty) noexcept
{
    // In the section: a copy of the entries' bytes, and a graveyard that keeps every key and
    // item a later removal frees until the copy has been read. Objects are never read
    // outside the section (their text is asked of them there), so a store holding any is
    // written in the section instead.
    //
    // The copy's memory is asked for and written once before the section is taken, so that
    // the section is held for the copy alone; a store that grew meanwhile makes room inside.
    std::vector<Entry> snapshot;
    if (container_.ObjectItemCount() == 0) {
        try {
            snapshot.resize(static_cast<std::size_t>(container_.EntryCount()));
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    std::shared_ptr<Graveyard> kept;
    bool written = false;
    const HRESULT taken = WithContainer([&](Call& call) -> HRESULT {
        if (call.items.ObjectItemCount() > 0) {
            written = true;
            return SerialiseRecords(call.items, records, filter, saveEmpty,
                                    static_cast<std::size_t>(call.items.EntryCount()));
        }
        snapshot.resize(static_cast<std::size_t>(call.items.EntryCount()));
        if (!graveyard_) {
            graveyard_ = std::make_shared<Graveyard>();
        }
        call.items.CopyEntries(snapshot.data());
        kept = graveyard_;
        ++snapshots_;
        return S_OK;
    });
    if (FAILED(taken) || written) {
        return taken;
    }
    const HRESULT serialised = [&] {
        const persist::RecordBuffer::Spilling spilling(records);
        return SerialiseRecords(snapshot, records, filter, saveEmpty, snapshot.size());
    }();
    {
        SectionGuard guard(section_);
        if (--snapshots_ == 0) {
            graveyard_.reset();
        }
    }
    // `kept` goes last, outside the section: when it is the graveyard's last holder, what the
    // removals left there is freed now.
    return serialised;
}

namespace {

// One block for the long keys of a batch, asked for before the section is taken; without
// the memory for it each key gets a block of its own, as Add's would.
std::unique_ptr<KeySlab> SlabFor(std::span<const persist::Record> records) noexcept
{
    std::size_t bytes = 0;
    std::size_t keys = 0;
    for (const persist::Record& record : records) {
        if (const std::size_t room = KeySlab::BytesFor(record.key.size()); room != 0) {
            bytes += room;
            ++keys;
        }
    }
    try {
        return std::make_unique<KeySlab>(bytes, keys);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

HRESULT LocalStore::AddRecords(std::span<persist::Record> records, bool uniqueKeys) noexcept
{
    const std::unique_ptr<KeySlab> slab = SlabFor(records);
    return WithContainer([&](Call& call) {
        // Each record by Add's rules. A value that a variant copy takes as it is moves into the
        // entry instead of being copied; any other goes through the copy, as Add's would. A
        // record Add refuses is dropped and the load goes on, Add's message in the thread's
        // error record (set once, for the last refusal, when no copy failed after it).
        bool refused = false;
        for (persist::Record& record : records) {
            const KeyView key = record.key;
            const ItemMap::Place place = call.items.PlaceFor(key);
            if (uniqueKeys && place.present) {
                refused = true;
                continue;
            }
            // A record that finds no memory is dropped like a refused one.
            CallReturningHresult([&]() -> HRESULT {
                if (CopiesAsItIs(V_VT(record.value.get()))) {
                    call.items.InsertAt(place, slab ? slab->Of(key) : StoredKey::Of(key), std::move(record.value));
                    return S_OK;
                }
                if (refused) {
                    ReportError(KORVO_MSG_KEY_EXISTS, E_FAIL);
                    refused = false;
                }
                return AddEntry(call.items, key, *record.value.get(), false);
            });
        }
        if (refused) {
            ReportError(KORVO_MSG_KEY_EXISTS, E_FAIL);
        }
        return S_OK;
    });
}

HRESULT LocalStore::Snapshot(VariantBlock& block) noexcept
{
    return WithContainer([&](Call& call) -> HRESULT {
        if (FAILED(block.Reserve(static_cast<std::size_t>(call.items.EntryCount())))) {
            return E_OUTOFMEMORY;
        }
        for (EntryTree::Run run = EntryTree::RunAt(call.items.begin().position()); run.count != 0;
             run = EntryTree::RunAt(run.after)) {
            for (std::uint32_t i = 0; i < run.count; ++i) {
                if (FAILED(block.Append(run.entries[i].item))) {
                    block.Clear();
                    return E_FAIL;
                }
            }
        }
        return S_OK;
    });
}

} // namespace korvo
