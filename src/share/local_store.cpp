#include "share/local_store.h"

#include <iterator>
#include <vector>

#include "errors/report_error.h"
#include "platform/hresult_from_exception.h"
#include "store/item_array.h"

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
        container_.UseMode(mode);
        Call call{container_, removed};
        return body(call);
    });
}

namespace {

// Copies a caller's value into a new item; the copy's failure is reported as a member's.
HRESULT CopyIn(const VARIANT& value, UniqueVariant& item) noexcept
{
    const HRESULT copied = VariantCopy(item.get(), const_cast<VARIANT*>(&value));
    return FAILED(copied) ? ReportCopyFailure(copied) : S_OK;
}

// Add's rules on a container the caller works on inside the section.
HRESULT AddEntry(ItemMap& items, KeyView key, const VARIANT& item, bool uniqueKeys)
{
    if (uniqueKeys && items.Count(key) > 0) {
        return ReportError(KORVO_MSG_KEY_EXISTS, E_FAIL);
    }
    UniqueVariant newItem;
    if (const HRESULT copied = CopyIn(item, newItem); FAILED(copied)) {
        return copied;
    }
    items.Insert(KeyText(key), std::move(newItem));
    return S_OK;
}

// The filter's answer for each entry in container order. The entries of one key are
// adjacent, so the pattern is asked once per run of entries with the same text (the test is
// case-sensitive, so in text mode 'k' and 'K' of one key are asked apart).
class GroupTest {
public:
    explicit GroupTest(persist::KeyFilter& filter) noexcept : filter_(filter) {}

    KeyTestResult operator()(KeyView key) noexcept
    {
        if (!tested_ || key != lastKey_) {
            lastResult_ = filter_.Test(key);
            lastKey_ = key;
            tested_ = true;
        }
        return lastResult_;
    }

private:
    persist::KeyFilter& filter_;
    KeyView lastKey_;
    KeyTestResult lastResult_ = KeyTestResult::Match;
    bool tested_ = false;
};

} // namespace

LocalStore::LocalStore(std::shared_ptr<StoreLock> sharedLock) noexcept : sharedLock_(std::move(sharedLock)) {}

LocalStore::~LocalStore() { Destroy(); }

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
        const auto [first, last] = call.items.KeyRange(key);
        const auto count = static_cast<LONG>(std::distance(first, last));
        if (count == 0) {
            VariantInit(&result);
            return S_OK;
        }
        if (count == 1) {
            VariantInit(&result);
            const HRESULT copied = VariantCopy(&result, &first->second);
            return FAILED(copied) ? ReportCopyFailure(copied) : S_OK;
        }
        return MakeItemArray(&result, first, count);
    });
}

HRESULT LocalStore::PutItem(KeyView key, const VARIANT& value) noexcept
{
    return WithContainer([&](Call& call) -> HRESULT {
        const auto [first, last] = call.items.KeyRange(key);
        const auto count = std::distance(first, last);
        if (count >= 2) {
            return ReportError(KORVO_MSG_SEVERAL_VALUES, E_FAIL);
        }
        UniqueVariant newItem;
        if (const HRESULT copied = CopyIn(value, newItem); FAILED(copied)) {
            return copied;
        }
        if (count == 1) {
            // The entry keeps its key and place; its former item is released after the section.
            call.items.ReplaceItem(first, std::move(newItem), call.removed);
        } else {
            call.items.Insert(KeyText(key), std::move(newItem));
        }
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
        exists = call.items.Count(key) > 0;
        return S_OK;
    });
}

HRESULT LocalStore::Remove(KeyView key) noexcept
{
    return WithContainer([&](Call& call) {
        const auto [first, last] = call.items.KeyRange(key);
        call.items.Erase(first, last, call.removed);
        return S_OK;
    });
}

HRESULT LocalStore::Count(KeyView key, LONG& count) noexcept
{
    return WithContainer([&](Call& call) {
        count = call.items.Count(key);
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
        call.items.Rename(key, newKey);
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
        // against leaves the store as it was. All items of a key go or stay together.
        std::vector<ItemMap::iterator> matching;
        GroupTest test(filter);
        for (auto entry = call.items.begin(); entry != call.items.end(); ++entry) {
            switch (test(entry->first.text)) {
            case KeyTestResult::Failed:
                return ReportUnusablePattern(filter.text(), PatternFault::TestFailed);
            case KeyTestResult::Match:
                matching.push_back(entry);
                break;
            case KeyTestResult::NoMatch:
                break;
            }
        }
        for (const auto entry : matching) {
            call.items.Erase(entry, std::next(entry), call.removed);
        }
        return S_OK;
    });
}

HRESULT LocalStore::WriteRecords(persist::RecordBuffer& records, persist::KeyFilter& filter, bool saveEmpty) noexcept
{
    return WithContainer([&](Call& call) -> HRESULT {
        GroupTest test(filter);
        for (const auto& [key, item] : call.items) {
            switch (test(key.text)) {
            case KeyTestResult::Failed:
                return ReportUnusablePattern(filter.text(), PatternFault::TestFailed);
            case KeyTestResult::NoMatch:
                continue;
            case KeyTestResult::Match:
                persist::WriteRecord(records, key.text, item, saveEmpty);
                break;
            }
        }
        return records.status();
    });
}

HRESULT LocalStore::AddRecords(std::span<persist::Record> records, bool uniqueKeys) noexcept
{
    return WithContainer([&](Call& call) {
        for (persist::Record& record : records) {
            // A record Add refuses, or that finds no memory, is dropped and the load goes on;
            // a refusal has left Add's error record.
            CallReturningHresult([&] { return AddEntry(call.items, record.key, *record.value.get(), uniqueKeys); });
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
        for (const auto& entry : call.items) {
            if (FAILED(block.Append(entry.second))) {
                block.Clear();
                return E_FAIL;
            }
        }
        return S_OK;
    });
}

} // namespace korvo
