#include "share/local_store.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <type_traits>
#include <vector>

#include "errors/report_error.h"
#include "platform/hresult_from_exception.h"
#include "store/item_array.h"
#include "store/key_slab.h"
#include "store/variant_copy.h"

namespace korvo {

// What the body of one operation works with, inside the section.
struct LocalStore::Call {
    ItemMap& items;
    RemovedEntries& removed;
};

// The frame of every operation on the container: take the section, order the container for
// the compare mode the operation read at its start, run the body. What the body removes is
// released after the section is left; no exception leaves the operation.
template <class Body>
HRESULT LocalStore::WithContainer(CompareMode mode, Body&& body) noexcept
{
    return CallReturningHresult([&]() -> HRESULT {
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

template <class Body>
HRESULT LocalStore::WithContainer(Body&& body) noexcept
{
    return WithContainer(ProcessCompareMode(), std::forward<Body>(body));
}

using persist::GroupTest;

namespace {

// How the copy of a value into the store went. The copy is made before the section is
// taken, since copying an object runs its AddRef, which may call back into any store; its
// failure is reported inside, after the rules that refuse the member first.
struct CopyOutcome {
    HRESULT copied = S_OK; // VariantCopy's own result
    HRESULT thrown = S_OK; // what an exception out of the copy became

    bool Failed() const noexcept { return FAILED(copied) || FAILED(thrown); }
    // The member's result for a failed copy, its error record set; S_OK for a copy made.
    HRESULT Report() const noexcept
    {
        if (FAILED(thrown)) {
            return thrown;
        }
        return FAILED(copied) ? ReportCopyFailure(copied) : S_OK;
    }
};

CopyOutcome CopyInto(const VARIANT& value, UniqueVariant& copy) noexcept
{
    CopyOutcome outcome;
    outcome.thrown = CallReturningHresult([&] {
        // VariantCopy only reads its source, though some headers declare it non-const.
        outcome.copied = VariantCopy(copy.get(), const_cast<VARIANT*>(&value));
        return S_OK;
    });
    return outcome;
}

// Add's rules inside the section, the caller's value copied before it: one lookup, then the
// refusal of a present key in unique mode, the copy's failure, the insertion.
HRESULT AddEntry(ItemMap& items, KeyView key, UniqueVariant& newItem, const CopyOutcome& copy, bool uniqueKeys)
{
    const bool numbered = items.ReadyToInsert();
    const ItemMap::Place place = items.PlaceFor(key);
    if (uniqueKeys && place.present) {
        return ReportError(KORVO_MSG_KEY_EXISTS, E_FAIL);
    }
    if (copy.Failed()) {
        return copy.Report();
    }
    if (!numbered) {
        return E_OUTOFMEMORY;
    }
    items.InsertAt(place, StoredKey::Of(key), std::move(newItem));
    return S_OK;
}

// Item put's rules, likewise: one lookup, then the refusal of a key with several items, the
// copy's failure, the replacement of a key's one item or the insertion of a new key.
HRESULT PutEntry(ItemMap& items, RemovedEntries& removed, KeyView key, UniqueVariant& newItem, const CopyOutcome& copy)
{
    const bool numbered = items.ReadyToInsert();
    const ItemMap::Group group = items.FindGroup(key);
    if (group.count >= 2) {
        return ReportError(KORVO_MSG_SEVERAL_VALUES, E_FAIL);
    }
    if (copy.Failed()) {
        return copy.Report();
    }
    if (group.count == 1) {
        // The entry keeps its key and place; its former item is released after the section.
        removed.ReserveItems(1);
        items.ReplaceItem(group, std::move(newItem), removed);
        return S_OK;
    }
    if (!numbered) {
        return E_OUTOFMEMORY;
    }
    items.InsertAt(group.PlaceBehind(), StoredKey::Of(key), std::move(newItem));
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
    const CompareMode mode = ProcessCompareMode();
    // Made before the section is taken, so what is not stored is released after it is left.
    UniqueVariant newItem;
    const CopyOutcome copy = CopyInto(value, newItem);
    return WithContainer(mode, [&](Call& call) { return PutEntry(call.items, call.removed, key, newItem, copy); });
}

HRESULT LocalStore::Add(KeyView key, const VARIANT& item, bool uniqueKeys) noexcept
{
    const CompareMode mode = ProcessCompareMode();
    UniqueVariant newItem;
    const CopyOutcome copy = CopyInto(item, newItem);
    return WithContainer(mode, [&](Call& call) { return AddEntry(call.items, key, newItem, copy, uniqueKeys); });
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
        if (!filter.Active()) {
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
            switch (test(entry.key.View())) {
            case KeyTestResult::Failed:
                return ReportUnusablePattern(filter.Text(), PatternFault::TestFailed);
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
                __builtin_prefetch(entries[index + kAhead].key.View().data());
            }
            ++index;
        }
        switch (test(entry.key.View())) {
        case KeyTestResult::Failed:
            return ReportUnusablePattern(filter.Text(), PatternFault::TestFailed);
        case KeyTestResult::NoMatch:
            continue;
        case KeyTestResult::Match:
            persist::WriteRecord(records, entry.key.View(), entry.item, saveEmpty);
            break;
        }
    }
    return records.Status();
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
        if (const HRESULT made = CallReturningHresult(
                [&] {
                    snapshot.resize(static_cast<std::size_t>(container_.EntryCount()));
                    return S_OK;
                },
                E_OUTOFMEMORY);
            FAILED(made)) {
            return made;
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
    return CallTranslatingExceptions([&] { return std::make_unique<KeySlab>(bytes, keys); },
                                     [](HRESULT) noexcept { return std::unique_ptr<KeySlab>(); });
}

// The records' values that a variant copy does not take as it is are copied before the
// section is taken, as Add's would be, each copy taking the place of its value; the outcome
// of each record's copy is kept by its index, none when no record needs one.
HRESULT CopyRecordValues(std::span<persist::Record> records, std::vector<CopyOutcome>& outcomes) noexcept
{
    const auto copied = [](const persist::Record& record) { return !CopiesAsItIs(V_VT(record.value.get())); };
    if (std::none_of(records.begin(), records.end(), copied)) {
        return S_OK;
    }
    if (const HRESULT made = CallReturningHresult([&] {
            outcomes.resize(records.size());
            return S_OK;
        });
        FAILED(made)) {
        return made;
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (copied(records[i])) {
            UniqueVariant copy;
            outcomes[i] = CopyInto(*records[i].value.get(), copy);
            if (!outcomes[i].Failed()) {
                records[i].value = std::move(copy);
            }
        }
    }
    return S_OK;
}

// The fault a load leaves in the thread's error record: Add's message for the last record
// refused, or the last copy failure when none was refused after it.
class LoadFault {
public:
    void Refused() noexcept { refused_ = true; }
    void CopyFailed(HRESULT failure) noexcept
    {
        refused_ = false;
        copyFailure_ = failure;
    }
    void Report() const noexcept
    {
        if (refused_) {
            ReportError(KORVO_MSG_KEY_EXISTS, E_FAIL);
        } else if (FAILED(copyFailure_)) {
            ReportCopyFailure(copyFailure_);
        }
    }

private:
    bool refused_ = false;
    HRESULT copyFailure_ = S_OK;
};

// Each record by Add's rules, with one lookup: a record Add refuses is dropped and the load
// goes on, and so is a record whose copy failed or that finds no memory. The values move
// into their entries (those that needed a copy were copied before the section).
void AddEachRecord(ItemMap& items, std::span<persist::Record> records, const std::vector<CopyOutcome>& copies,
                   KeySlab* slab, bool uniqueKeys) noexcept
{
    LoadFault fault;
    for (std::size_t i = 0; i < records.size(); ++i) {
        persist::Record& record = records[i];
        const KeyView key = record.key;
        const CopyOutcome copy = copies.empty() ? CopyOutcome{} : copies[i];
        const bool numbered = items.ReadyToInsert();
        const ItemMap::Place place = items.PlaceFor(key);
        if (uniqueKeys && place.present) {
            fault.Refused();
            continue;
        }
        if (FAILED(copy.copied)) {
            fault.CopyFailed(copy.copied);
        }
        if (copy.Failed() || !numbered) {
            continue;
        }
        CallReturningHresult([&] {
            items.InsertAt(place, slab != nullptr ? slab->Of(key) : StoredKey::Of(key), std::move(record.value));
            return S_OK;
        });
    }
    fault.Report();
}

} // namespace

HRESULT LocalStore::AddRecords(std::span<persist::Record> records, bool uniqueKeys) noexcept
{
    const CompareMode mode = ProcessCompareMode();
    const std::unique_ptr<KeySlab> slab = SlabFor(records);
    std::vector<CopyOutcome> copies;
    if (const HRESULT copied = CopyRecordValues(records, copies); FAILED(copied)) {
        return copied;
    }
    return WithContainer(mode, [&](Call& call) {
        AddEachRecord(call.items, records, copies, slab.get(), uniqueKeys);
        return S_OK;
    });
}

HRESULT LocalStore::Snapshot(VariantBlock& block) noexcept
{
    return WithContainer([&](Call& call) -> HRESULT {
        if (FAILED(block.Reserve(static_cast<std::size_t>(call.items.EntryCount())))) {
            return E_OUTOFMEMORY;
        }
        for (EntryTree::Run run = EntryTree::RunAt(call.items.begin().Position()); run.count != 0;
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
