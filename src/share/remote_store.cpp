#include "share/remote_store.h"

#include <utility>
#include <vector>

#include "errors/report_error.h"
#include "persist/value_reader.h"
#include "platform/hresult_from_exception.h"
#include "platform/unique_bstr.h"
#include "platform/unique_safearray.h"
#include "platform/unique_variant.h"
#include "share/remote_call.h"
#include "store/item_array.h"

namespace korvo {

using remote_entry::Bytes;
using remote_entry::DecodeGroup;
using remote_entry::DecodeStoreRead;
using remote_entry::DecodeValue;
using remote_entry::DecodeValues;
using remote_entry::EntryBytes;
using remote_entry::EntryView;
using remote_entry::Hex;
using remote_entry::StoreRead;

namespace {

constexpr int kRemoveAllAttempts = 16;

template <class Body>
HRESULT Guarded(Body&& body) noexcept
{
    return CallTranslatingExceptions(std::forward<Body>(body), [](HRESULT escaped) noexcept {
        return escaped == E_OUTOFMEMORY ? ReportError(KORVO_MSG_OUT_OF_MEMORY, E_OUTOFMEMORY) : E_UNEXPECTED;
    });
}

// A decoder for the calls whose reply says nothing beyond their success.
HRESULT NoResult(const remote::Reply&) noexcept
{
    return S_OK;
}

// For each group with an entry the filter matches: its sort key, the entries it keeps and
// their count, as the replace function takes them. Nothing for a key the pattern cannot be
// tested against: the whole call then fails.
HRESULT KeptEntries(const StoreRead& read, persist::KeyFilter& filter, std::vector<std::string>& rewritten)
{
    persist::GroupTest test(filter);
    for (const auto& group : read.groups) {
        std::string kept;
        std::size_t keptCount = 0;
        for (std::size_t i = group.first; i < group.first + group.count; ++i) {
            switch (test(read.entries[i].key)) {
            case KeyTestResult::Failed:
                return ReportUnusablePattern(filter.Text(), PatternFault::TestFailed);
            case KeyTestResult::NoMatch:
                kept += EntryBytes(read.entries[i]);
                ++keptCount;
                break;
            case KeyTestResult::Match:
                break;
            }
        }
        if (keptCount < group.count) {
            rewritten.push_back(group.sortKey);
            rewritten.push_back(std::move(kept));
            rewritten.push_back(std::to_string(keptCount));
        }
    }
    return S_OK;
}

// Each group as the text of its earliest entry, as locally.
HRESULT KeyArray(const StoreRead& read, VARIANT& result) noexcept
{
    UniqueSafeArray array = UniqueSafeArray::VariantVector(static_cast<ULONG>(read.groups.size()));
    if (!array) {
        return E_OUTOFMEMORY;
    }
    for (std::size_t i = 0; i < read.groups.size(); ++i) {
        const KeyView key = read.entries[read.groups[i].first].key;
        UniqueVariant text;
        V_BSTR(text.get()) = UniqueBstr::CopyOf(key.data(), static_cast<UINT>(key.size())).release();
        if (V_BSTR(text.get()) == nullptr) {
            return E_FAIL;
        }
        V_VT(text.get()) = VT_BSTR;
        LONG index = static_cast<LONG>(i);
        if (FAILED(SafeArrayPutElement(array.get(), &index, text.get()))) {
            return E_FAIL;
        }
    }
    SetArrayResult(&result, array.release());
    return S_OK;
}

} // namespace

RemoteStore::RemoteStore(std::shared_ptr<remote::ConnectionPool> pool, KeyView name,
                         std::chrono::milliseconds lockLease)
    : pool_(std::move(pool))
{
    const std::string base = "korvo:{" + Hex(Bytes(name)) + "}:";
    keys_[0] = base + "idx";
    keys_[1] = base + "data";
    keys_[2] = base + "counts";
    keys_[3] = base + "meta";
    lock_ = std::make_shared<RemoteLock>(pool_, base + "lock", lockLease);
}

template <class Decode>
HRESULT RemoteStore::Call(std::string_view function, std::span<const Argument> arguments, Decode&& decode) noexcept
{
    return Guarded([&]() -> HRESULT {
        const CompareMode mode = ProcessCompareMode();
        std::vector<std::string> made(arguments.size());
        std::vector<std::string_view> encoded(arguments.size());
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            if (const HRESULT refused = arguments[i].Encode(mode, made[i], encoded[i]); FAILED(refused)) {
                return refused;
            }
        }
        const std::string_view keys[] = {keys_[0], keys_[1], keys_[2], keys_[3]};
        remote::Reply reply;
        const auto status = CallStoreFunction(*pool_, function, keys, encoded, reply);
        if (const HRESULT failed = CallOutcome(status, reply); FAILED(failed)) {
            return failed;
        }
        return decode(reply);
    });
}

template <class Decode>
HRESULT RemoteStore::Call(std::string_view function, std::initializer_list<Argument> arguments,
                          Decode&& decode) noexcept
{
    return Call(function, std::span<const Argument>(arguments.begin(), arguments.size()), decode);
}

HRESULT RemoteStore::Call(std::string_view function, std::initializer_list<Argument> arguments) noexcept
{
    return Call(function, arguments, NoResult);
}

HRESULT RemoteStore::GetItem(KeyView key, VARIANT& result) noexcept
{
    return Call("get", {Argument::Mode(), Argument::SortKeyOf(key)}, [&](const remote::Reply& reply) {
        VariantInit(&result);
        return reply.type == remote::ReplyType::BulkString ? DecodeGroup(reply.text, result) : S_OK;
    });
}

HRESULT RemoteStore::PutItem(KeyView key, const VARIANT& value) noexcept
{
    return Call("put",
                {Argument::Mode(), Argument::SortKeyOf(key), Argument::KeyPartOf(key), Argument::ValueOf(value)});
}

HRESULT RemoteStore::Add(KeyView key, const VARIANT& item, bool uniqueKeys) noexcept
{
    return Call("add", {Argument::Mode(), Argument::SortKeyOf(key), uniqueKeys ? "1" : "0", Argument::KeyPartOf(key),
                        Argument::ValueOf(item)});
}

HRESULT RemoteStore::Count(KeyView key, LONG& count) noexcept
{
    return Call("count", {Argument::Mode(), Argument::SortKeyOf(key)}, [&](const remote::Reply& reply) {
        count = static_cast<LONG>(reply.integer);
        return S_OK;
    });
}

HRESULT RemoteStore::Exists(KeyView key, bool& exists) noexcept
{
    LONG count = 0;
    const HRESULT counted = Count(key, count);
    exists = count > 0;
    return counted;
}

HRESULT RemoteStore::Remove(KeyView key) noexcept
{
    return Call("remove", {Argument::Mode(), Argument::SortKeyOf(key)});
}

// `which` of the totals: 0 the items, 1 the keys.
HRESULT RemoteStore::Totals(std::size_t which, LONG& count) noexcept
{
    return Call("totals", {Argument::Mode()}, [&](const remote::Reply& reply) {
        count = reply.elements.size() == 2 ? static_cast<LONG>(reply.elements[which].integer) : 0;
        return S_OK;
    });
}

HRESULT RemoteStore::ItemsCount(LONG& count) noexcept
{
    return Totals(0, count);
}

HRESULT RemoteStore::KeysCount(LONG& count) noexcept
{
    return Totals(1, count);
}

HRESULT RemoteStore::Entries(StoreRead& read) noexcept
{
    return Call("all", {Argument::Mode()}, [&](remote::Reply& reply) { return DecodeStoreRead(reply, read); });
}

HRESULT RemoteStore::Items(VARIANT& result) noexcept
{
    StoreRead read;
    if (const HRESULT failed = Entries(read); FAILED(failed)) {
        return failed;
    }
    return DecodeValues(read.entries, result);
}

HRESULT RemoteStore::Keys(VARIANT& result) noexcept
{
    StoreRead read;
    if (const HRESULT failed = Entries(read); FAILED(failed)) {
        return failed;
    }
    return KeyArray(read, result);
}

HRESULT RemoteStore::RenameKey(KeyView key, KeyView newKey) noexcept
{
    return Call("rename",
                {Argument::Mode(), Argument::SortKeyOf(key), Argument::SortKeyOf(newKey), Argument::KeyPartOf(newKey)});
}

HRESULT RemoteStore::RemoveAll(persist::KeyFilter& filter) noexcept
{
    if (!filter.Active()) {
        return Call("clear", {Argument::Mode()});
    }
    return Guarded([&]() -> HRESULT {
        // The pattern runs here, on a read of the store; the removal applies only to the
        // version that was read, and another writer in between makes the whole call again.
        for (int attempt = 0; attempt < kRemoveAllAttempts; ++attempt) {
            StoreRead read;
            std::vector<std::string> rewritten;
            if (const HRESULT failed = Entries(read); FAILED(failed)) {
                return failed;
            }
            if (const HRESULT tested = KeptEntries(read, filter, rewritten); FAILED(tested)) {
                return tested;
            }
            if (rewritten.empty()) {
                return S_OK;
            }
            std::vector<Argument> arguments{Argument::Mode(), std::string_view(read.version)};
            for (const std::string& piece : rewritten) {
                arguments.push_back(std::string_view(piece));
            }
            if (const HRESULT replaced = Call("replace", arguments, NoResult); replaced != kRemoteBusy) {
                return replaced;
            }
        }
        return ReportError(KORVO_MSG_REMOTE_KEPT_CHANGING, kRemoteBusy);
    });
}

HRESULT RemoteStore::WriteRecords(persist::RecordBuffer& records, persist::KeyFilter& filter, bool saveEmpty) noexcept
{
    return Guarded([&]() -> HRESULT {
        StoreRead read;
        if (const HRESULT failed = Entries(read); FAILED(failed)) {
            return failed;
        }
        persist::GroupTest test(filter);
        for (const EntryView& entry : read.entries) {
            switch (test(entry.key)) {
            case KeyTestResult::Failed:
                return ReportUnusablePattern(filter.Text(), PatternFault::TestFailed);
            case KeyTestResult::NoMatch:
                continue;
            case KeyTestResult::Match:
                break;
            }
            UniqueVariant value;
            if (const HRESULT decoded = DecodeValue(entry.value, *value.get()); FAILED(decoded)) {
                return decoded;
            }
            persist::WriteRecord(records, entry.key, *value.get(), saveEmpty);
        }
        return records.Status();
    });
}

HRESULT RemoteStore::AddRecords(std::span<persist::Record> records, bool uniqueKeys) noexcept
{
    if (records.empty()) {
        return S_OK;
    }
    return Guarded([&]() -> HRESULT {
        // Sort key and entry of each record, all added by one call.
        std::vector<Argument> arguments{Argument::Mode(), uniqueKeys ? "1" : "0"};
        arguments.reserve(2 + records.size() * 2);
        for (const persist::Record& record : records) {
            arguments.push_back(Argument::SortKeyOf(record.key));
            arguments.push_back(Argument::EntryOf(record.key, *record.value.get()));
        }
        return Call("add_many", arguments, [](const remote::Reply& reply) {
            // As locally: a refused record is dropped, and the load goes on and succeeds.
            if (reply.integer > 0) {
                ReportError(KORVO_MSG_KEY_EXISTS, E_FAIL);
            }
            return S_OK;
        });
    });
}

HRESULT RemoteStore::Snapshot(VariantBlock& block) noexcept
{
    StoreRead read;
    if (const HRESULT failed = Entries(read); FAILED(failed)) {
        return failed;
    }
    if (FAILED(block.Reserve(read.entries.size()))) {
        return E_OUTOFMEMORY;
    }
    for (const EntryView& entry : read.entries) {
        UniqueVariant value;
        if (const HRESULT decoded = DecodeValue(entry.value, *value.get()); FAILED(decoded)) {
            block.Clear();
            return decoded;
        }
        if (FAILED(block.Append(*value.get()))) {
            block.Clear();
            return E_FAIL;
        }
    }
    return S_OK;
}

HRESULT RemoteStore::Destroy() noexcept
{
    return Call("destroy", {});
}

HRESULT RemoteStore::Probe() noexcept
{
    return Guarded([&]() -> HRESULT {
        remote::Request request;
        if (FAILED(request.Add({"PING"}))) {
            return E_OUTOFMEMORY;
        }
        std::vector<remote::Reply> replies;
        const auto status = pool_->Execute(request, replies);
        return CallOutcome(status, status.Ok() ? replies.front() : remote::Reply{});
    });
}

} // namespace korvo
