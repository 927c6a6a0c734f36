#include "share/remote_store.h"

#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "errors/report_error.h"
#include "persist/buffered_file.h"
#include "persist/value_reader.h"
#include "persist/value_writer.h"
#include "platform/unique_bstr.h"
#include "platform/unique_safearray.h"
#include "platform/unique_variant.h"
#include "share/remote_functions.h"
#include "store/item_array.h"

namespace korvo {

namespace {

constexpr HRESULT kLockTimedOut = static_cast<HRESULT>(0x80070079u);
constexpr int kRemoveAllAttempts = 16;
constexpr HRESULT kLockAlreadyFree = static_cast<HRESULT>(0x8007012Au);

std::string_view Bytes(KeyView text) noexcept
{
    return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(OLECHAR)};
}

// The key as the server orders it: big-endian code units, so that byte order is code-unit
// order; text mode folds 'A'..'Z' as the local comparison does.
std::string SortKey(KeyView key, CompareMode mode)
{
    std::string sortKey;
    sortKey.reserve(key.size() * 2);
    for (OLECHAR unit : key) {
        if (mode == CompareMode::Text && unit >= u'A' && unit <= u'Z') {
            unit = static_cast<OLECHAR>(unit - u'A' + u'a');
        }
        sortKey.push_back(static_cast<char>(unit >> 8));
        sortKey.push_back(static_cast<char>(unit & 0xFF));
    }
    return sortKey;
}

void AppendLength(std::string& bytes, std::size_t length)
{
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<char>((length >> shift) & 0xFF));
    }
}

std::string KeyPart(KeyView key)
{
    std::string part;
    AppendLength(part, key.size() * sizeof(OLECHAR));
    part.append(Bytes(key));
    return part;
}

std::string_view ModeArgument(CompareMode mode) noexcept
{
    return mode == CompareMode::Text ? "1" : "0";
}

bool HoldsObject(const VARIANT& value) noexcept
{
    const VARIANT* held = &value;
    if (V_VT(held) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(held) != nullptr) {
        held = V_VARIANTREF(held);
    }
    if ((V_VT(held) & VT_ARRAY) != 0) {
        return true;
    }
    switch (V_VT(held) & VT_TYPEMASK) {
    case VT_DISPATCH:
    case VT_UNKNOWN:
    case VT_RECORD:
        return true;
    default:
        return false;
    }
}

// The value part of an entry: its length, then the value record as Save writes it.
HRESULT ValuePart(const VARIANT& value, std::string& part)
{
    if (HoldsObject(value)) {
        ReportErrorText("An object, array or record cannot be kept in a remote store.");
        return kRemoteValueRefused;
    }
    persist::RecordBuffer record;
    if (persist::WriteItemValue(record, value, false) == persist::ValueWritten::Skipped) {
        ReportErrorText("This value cannot be kept in a remote store.");
        return kRemoteValueRefused;
    }
    if (FAILED(record.status())) {
        return ReportError(KORVO_MSG_OUT_OF_MEMORY, E_OUTOFMEMORY);
    }
    const auto bytes = record.bytes();
    AppendLength(part, bytes.size());
    part.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return S_OK;
}

std::uint32_t ReadLength(std::string_view bytes, std::size_t at) noexcept
{
    std::uint32_t length = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        length |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return length;
}

struct EntryView {
    KeyView key;
    std::string_view value;
};

// Splits a group's entries; false for bytes no writer of ours produced.
bool SplitEntries(std::string_view group, std::vector<EntryView>& entries)
{
    std::size_t at = 0;
    while (at < group.size()) {
        if (group.size() - at < 4) {
            return false;
        }
        const std::uint32_t keyBytes = ReadLength(group, at);
        if (keyBytes % sizeof(OLECHAR) != 0 || group.size() - at - 4 < keyBytes + 4ull) {
            return false;
        }
        const char* keyData = group.data() + at + 4;
        at += 4 + keyBytes;
        const std::uint32_t valueBytes = ReadLength(group, at);
        if (group.size() - at - 4 < valueBytes) {
            return false;
        }
        EntryView entry;
        entry.key = KeyView(reinterpret_cast<const OLECHAR*>(keyData), keyBytes / sizeof(OLECHAR));
        entry.value = group.substr(at + 4, valueBytes);
        entries.push_back(entry);
        at += 4 + valueBytes;
    }
    return true;
}

// The bytes of one entry as the server keeps them.
std::string EntryBytes(const EntryView& entry)
{
    std::string bytes = KeyPart(entry.key);
    AppendLength(bytes, entry.value.size());
    bytes.append(entry.value);
    return bytes;
}

HRESULT DecodeValue(std::string_view record, VARIANT& value) noexcept
{
    persist::FileReader reader;
    if (FAILED(reader.OpenMemory({reinterpret_cast<const std::byte*>(record.data()), record.size()}))) {
        return E_OUTOFMEMORY;
    }
    std::uint16_t tag = 0;
    if (FAILED(reader.ReadValue(tag))) {
        return persist::kInvalidData;
    }
    VariantInit(&value);
    return persist::ReadItemValue(reader, tag, value);
}

// The HRESULT of a call's outcome, with its error record.
HRESULT Outcome(const remote::Status& status, const remote::Reply& reply) noexcept
{
    if (!status.ok()) {
        ReportErrorText(status.text.c_str());
        return status.code;
    }
    if (!reply.IsError()) {
        return S_OK;
    }
    if (reply.text.starts_with("KORVO_EXISTS")) {
        return ReportError(KORVO_MSG_KEY_EXISTS, E_FAIL);
    }
    if (reply.text.starts_with("KORVO_SEVERAL")) {
        return ReportError(KORVO_MSG_SEVERAL_VALUES, E_FAIL);
    }
    if (reply.text.starts_with("KORVO_MODE")) {
        ReportErrorText("The remote store keeps its keys in the other compare mode.");
        return kRemoteModeMismatch;
    }
    ReportErrorText(("The store server refused the call: " + reply.text).c_str());
    return E_FAIL;
}

std::string HexOf(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char byte : bytes) {
        hex.push_back(kDigits[(static_cast<unsigned char>(byte) >> 4) & 0xF]);
        hex.push_back(kDigits[static_cast<unsigned char>(byte) & 0xF]);
    }
    return hex;
}

std::string RandomToken()
{
    std::random_device device;
    std::string bytes;
    for (int i = 0; i < 4; ++i) {
        const auto word = device();
        bytes.append(reinterpret_cast<const char*>(&word), sizeof word);
    }
    return HexOf(bytes);
}

template <class Body>
HRESULT Guarded(Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return ReportError(KORVO_MSG_OUT_OF_MEMORY, E_OUTOFMEMORY);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// Fills a VARIANT array of `count` elements by `fill(elements)`.
template <class Fill>
HRESULT MakeArray(VARIANT& result, std::size_t count, Fill&& fill) noexcept
{
    UniqueSafeArray array = UniqueSafeArray::VariantVector(static_cast<ULONG>(count));
    if (!array) {
        return E_OUTOFMEMORY;
    }
    {
        const SafeArrayDataAccess access(array.get());
        if (FAILED(access.result())) {
            return E_FAIL;
        }
        if (const HRESULT filled = fill(access.data<VARIANT>()); FAILED(filled)) {
            return filled;
        }
    }
    SetArrayResult(&result, array.release());
    return S_OK;
}

} // namespace

struct RemoteStore::StoreRead {
    struct Group {
        std::string sortKey;
        std::string entries; // as the server keeps them; `entries` below views into it
        std::size_t first;
        std::size_t count;
    };
    std::string version;
    std::vector<Group> groups;
    std::vector<EntryView> entries;
};

namespace {

// For each group with an entry the filter matches: its sort key, the entries it keeps and
// their count, as the replace function takes them. Nothing for a key the pattern cannot be
// tested against: the whole call then fails.
HRESULT KeptEntries(const RemoteStore::StoreRead& read, persist::KeyFilter& filter, std::vector<std::string>& rewritten)
{
    persist::GroupTest test(filter);
    for (const auto& group : read.groups) {
        std::string kept;
        std::size_t keptCount = 0;
        for (std::size_t i = group.first; i < group.first + group.count; ++i) {
            switch (test(read.entries[i].key)) {
            case KeyTestResult::Failed:
                return ReportUnusablePattern(filter.text(), PatternFault::TestFailed);
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

} // namespace

remote::Status CallStoreFunction(remote::ConnectionPool& pool, std::string_view function,
                                 std::span<const std::string_view> keys, std::span<const std::string_view> arguments,
                                 remote::Reply& reply) noexcept
{
    try {
        const std::string name = RemoteLibraryName() + "_" + std::string(function);
        const std::string keyCount = std::to_string(keys.size());
        std::vector<std::string_view> command{"FCALL", name, keyCount};
        command.insert(command.end(), keys.begin(), keys.end());
        command.insert(command.end(), arguments.begin(), arguments.end());
        remote::Request request;
        if (FAILED(request.Add(command))) {
            return {E_OUTOFMEMORY, "out of memory"};
        }
        for (int attempt = 0; attempt < 2; ++attempt) {
            std::vector<remote::Reply> replies;
            remote::Status status = pool.Execute(request, replies);
            if (!status.ok()) {
                return status;
            }
            reply = std::move(replies.front());
            if (!reply.IsError() || !reply.text.starts_with("ERR Function not found") || attempt > 0) {
                return {};
            }
            remote::Request load;
            const std::string library = RemoteLibraryText();
            if (FAILED(load.Add({"FUNCTION", "LOAD", "REPLACE", library}))) {
                return {E_OUTOFMEMORY, "out of memory"};
            }
            if (status = pool.Execute(load, replies); !status.ok()) {
                return status;
            }
            if (replies.front().IsError()) {
                reply = std::move(replies.front());
                return {};
            }
        }
        return {};
    } catch (...) {
        return {E_OUTOFMEMORY, "out of memory"};
    }
}

RemoteStore::RemoteStore(std::shared_ptr<remote::ConnectionPool> pool, KeyView name,
                         std::chrono::milliseconds lockLease)
    : pool_(std::move(pool))
{
    const std::string base = "korvo:{" + HexOf(Bytes(name)) + "}:";
    keys_[0] = base + "idx";
    keys_[1] = base + "data";
    keys_[2] = base + "counts";
    keys_[3] = base + "meta";
    lock_ = std::make_shared<RemoteLock>(pool_, base + "lock", lockLease);
}

remote::Status RemoteStore::Call(std::string_view function, std::initializer_list<std::string_view> arguments,
                                 remote::Reply& reply) noexcept
{
    const std::string_view keys[] = {keys_[0], keys_[1], keys_[2], keys_[3]};
    return CallStoreFunction(*pool_, function, keys,
                             std::span<const std::string_view>(arguments.begin(), arguments.size()), reply);
}

HRESULT RemoteStore::GetItem(KeyView key, VARIANT& result) noexcept
{
    return Guarded([&]() -> HRESULT {
        const CompareMode mode = ProcessCompareMode();
        remote::Reply reply;
        const auto status = Call("get", {ModeArgument(mode), SortKey(key, mode)}, reply);
        if (const HRESULT failed = Outcome(status, reply); FAILED(failed)) {
            return failed;
        }
        VariantInit(&result);
        if (reply.type != remote::ReplyType::kBulkString) {
            return S_OK;
        }
        std::vector<EntryView> entries;
        if (!SplitEntries(reply.text, entries) || entries.empty()) {
            return persist::kInvalidData;
        }
        if (entries.size() == 1) {
            return DecodeValue(entries.front().value, result);
        }
        return MakeArray(result, entries.size(), [&](VARIANT* elements) -> HRESULT {
            for (std::size_t i = 0; i < entries.size(); ++i) {
                if (const HRESULT decoded = DecodeValue(entries[i].value, elements[i]); FAILED(decoded)) {
                    return decoded;
                }
            }
            return S_OK;
        });
    });
}

HRESULT RemoteStore::PutItem(KeyView key, const VARIANT& value) noexcept
{
    return Guarded([&]() -> HRESULT {
        std::string valuePart;
        if (const HRESULT encoded = ValuePart(value, valuePart); FAILED(encoded)) {
            return encoded;
        }
        const CompareMode mode = ProcessCompareMode();
        remote::Reply reply;
        const auto status = Call("put", {ModeArgument(mode), SortKey(key, mode), KeyPart(key), valuePart}, reply);
        return Outcome(status, reply);
    });
}

HRESULT RemoteStore::Add(KeyView key, const VARIANT& item, bool uniqueKeys) noexcept
{
    return Guarded([&]() -> HRESULT {
        std::string valuePart;
        if (const HRESULT encoded = ValuePart(item, valuePart); FAILED(encoded)) {
            return encoded;
        }
        const CompareMode mode = ProcessCompareMode();
        remote::Reply reply;
        const auto status = Call(
            "add", {ModeArgument(mode), SortKey(key, mode), uniqueKeys ? "1" : "0", KeyPart(key), valuePart}, reply);
        return Outcome(status, reply);
    });
}

HRESULT RemoteStore::Count(KeyView key, LONG& count) noexcept
{
    return Guarded([&]() -> HRESULT {
        const CompareMode mode = ProcessCompareMode();
        remote::Reply reply;
        const auto status = Call("count", {ModeArgument(mode), SortKey(key, mode)}, reply);
        if (const HRESULT failed = Outcome(status, reply); FAILED(failed)) {
            return failed;
        }
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
    return Guarded([&]() -> HRESULT {
        const CompareMode mode = ProcessCompareMode();
        remote::Reply reply;
        const auto status = Call("remove", {ModeArgument(mode), SortKey(key, mode)}, reply);
        return Outcome(status, reply);
    });
}

HRESULT RemoteStore::ItemsCount(LONG& count) noexcept
{
    return Guarded([&]() -> HRESULT {
        remote::Reply reply;
        const auto status = Call("totals", {ModeArgument(ProcessCompareMode())}, reply);
        if (const HRESULT failed = Outcome(status, reply); FAILED(failed)) {
            return failed;
        }
        count = reply.elements.size() == 2 ? static_cast<LONG>(reply.elements[0].integer) : 0;
        return S_OK;
    });
}

HRESULT RemoteStore::KeysCount(LONG& count) noexcept
{
    return Guarded([&]() -> HRESULT {
        remote::Reply reply;
        const auto status = Call("totals", {ModeArgument(ProcessCompareMode())}, reply);
        if (const HRESULT failed = Outcome(status, reply); FAILED(failed)) {
            return failed;
        }
        count = reply.elements.size() == 2 ? static_cast<LONG>(reply.elements[1].integer) : 0;
        return S_OK;
    });
}

HRESULT RemoteStore::Entries(StoreRead& read) noexcept
{
    return Guarded([&]() -> HRESULT {
        remote::Reply reply;
        const auto status = Call("all", {ModeArgument(ProcessCompareMode())}, reply);
        if (const HRESULT failed = Outcome(status, reply); FAILED(failed)) {
            return failed;
        }
        if (reply.elements.empty() || reply.elements.size() % 2 != 1) {
            return persist::kInvalidData;
        }
        read.version = std::move(reply.elements.front().text);
        read.groups.clear();
        read.entries.clear();
        for (std::size_t at = 1; at < reply.elements.size(); at += 2) {
            read.groups.push_back({std::move(reply.elements[at].text), std::move(reply.elements[at + 1].text), 0, 0});
        }
        // The views point into the groups' text, which no longer moves.
        for (auto& group : read.groups) {
            group.first = read.entries.size();
            if (!SplitEntries(group.entries, read.entries) || read.entries.size() == group.first) {
                return persist::kInvalidData;
            }
            group.count = read.entries.size() - group.first;
        }
        return S_OK;
    });
}

HRESULT RemoteStore::Items(VARIANT& result) noexcept
{
    return Guarded([&]() -> HRESULT {
        StoreRead read;
        if (const HRESULT failed = Entries(read); FAILED(failed)) {
            return failed;
        }
        return MakeArray(result, read.entries.size(), [&](VARIANT* elements) -> HRESULT {
            for (std::size_t i = 0; i < read.entries.size(); ++i) {
                if (const HRESULT decoded = DecodeValue(read.entries[i].value, elements[i]); FAILED(decoded)) {
                    return decoded;
                }
            }
            return S_OK;
        });
    });
}

HRESULT RemoteStore::Keys(VARIANT& result) noexcept
{
    return Guarded([&]() -> HRESULT {
        StoreRead read;
        if (const HRESULT failed = Entries(read); FAILED(failed)) {
            return failed;
        }
        return MakeArray(result, read.groups.size(), [&](VARIANT* elements) -> HRESULT {
            for (std::size_t i = 0; i < read.groups.size(); ++i) {
                // Each group as the text of its earliest entry, as locally.
                const KeyView key = read.entries[read.groups[i].first].key;
                BSTR text = UniqueBstr::CopyOf(key.data(), static_cast<UINT>(key.size())).release();
                if (text == nullptr) {
                    return E_FAIL;
                }
                V_VT(&elements[i]) = VT_BSTR;
                V_BSTR(&elements[i]) = text;
            }
            return S_OK;
        });
    });
}

HRESULT RemoteStore::RenameKey(KeyView key, KeyView newKey) noexcept
{
    return Guarded([&]() -> HRESULT {
        const CompareMode mode = ProcessCompareMode();
        remote::Reply reply;
        const auto status = Call(
            "rename", {ModeArgument(mode), SortKey(key, mode), SortKey(newKey, mode), KeyPart(newKey)}, reply);
        return Outcome(status, reply);
    });
}

HRESULT RemoteStore::RemoveAll(persist::KeyFilter& filter) noexcept
{
    return Guarded([&]() -> HRESULT {
        remote::Reply reply;
        if (!filter.active()) {
            return Outcome(Call("clear", {ModeArgument(ProcessCompareMode())}, reply), reply);
        }
        // The pattern runs here, on a read of the store; the removal applies only to the
        // version that was read, and another writer in between makes the whole call again.
        for (int attempt = 0; attempt < kRemoveAllAttempts; ++attempt) {
            StoreRead read;
            if (const HRESULT failed = Entries(read); FAILED(failed)) {
                return failed;
            }
            std::vector<std::string> rewritten;
            if (const HRESULT tested = KeptEntries(read, filter, rewritten); FAILED(tested)) {
                return tested;
            }
            if (rewritten.empty()) {
                return S_OK;
            }
            std::vector<std::string_view> arguments{ModeArgument(ProcessCompareMode()), read.version};
            arguments.insert(arguments.end(), rewritten.begin(), rewritten.end());
            const std::string_view keys[] = {keys_[0], keys_[1], keys_[2], keys_[3]};
            const auto status = CallStoreFunction(*pool_, "replace", keys, arguments, reply);
            if (status.ok() && reply.IsError() && reply.text.starts_with("KORVO_RETRY")) {
                continue;
            }
            return Outcome(status, reply);
        }
        ReportErrorText("The remote store kept changing while RemoveAll read it; nothing was removed.");
        return kRemoteBusy;
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
                return ReportUnusablePattern(filter.text(), PatternFault::TestFailed);
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
        return records.status();
    });
}

HRESULT RemoteStore::AddRecords(std::span<persist::Record> records, bool uniqueKeys) noexcept
{
    return Guarded([&]() -> HRESULT {
        const CompareMode mode = ProcessCompareMode();
        // Sort key and entry of each record, all added by one call.
        std::vector<std::string> pieces;
        pieces.reserve(records.size() * 2);
        for (const persist::Record& record : records) {
            std::string entry = KeyPart(record.key);
            if (const HRESULT encoded = ValuePart(*record.value.get(), entry); FAILED(encoded)) {
                return encoded;
            }
            pieces.push_back(SortKey(record.key, mode));
            pieces.push_back(std::move(entry));
        }
        if (pieces.empty()) {
            return S_OK;
        }
        std::vector<std::string_view> arguments{ModeArgument(mode), uniqueKeys ? "1" : "0"};
        arguments.insert(arguments.end(), pieces.begin(), pieces.end());
        const std::string_view keys[] = {keys_[0], keys_[1], keys_[2], keys_[3]};
        remote::Reply reply;
        const auto status = CallStoreFunction(*pool_, "add_many", keys, arguments, reply);
        if (const HRESULT failed = Outcome(status, reply); FAILED(failed)) {
            return failed;
        }
        // As locally: a refused record is dropped, and the load goes on and succeeds.
        if (reply.integer > 0) {
            ReportError(KORVO_MSG_KEY_EXISTS, E_FAIL);
        }
        return S_OK;
    });
}

HRESULT RemoteStore::Snapshot(VariantBlock& block) noexcept
{
    return Guarded([&]() -> HRESULT {
        VARIANT items;
        VariantInit(&items);
        if (const HRESULT read = Items(items); FAILED(read)) {
            return read;
        }
        UniqueVariant owned;
        *owned.get() = items;
        const SafeArrayDataAccess access(V_ARRAY(&items));
        if (FAILED(access.result())) {
            return E_FAIL;
        }
        const auto count = static_cast<std::size_t>(V_ARRAY(&items)->rgsabound[0].cElements);
        if (FAILED(block.Reserve(count))) {
            return E_OUTOFMEMORY;
        }
        for (std::size_t i = 0; i < count; ++i) {
            if (FAILED(block.Append(access.data<VARIANT>()[i]))) {
                block.Clear();
                return E_FAIL;
            }
        }
        return S_OK;
    });
}

HRESULT RemoteStore::Destroy() noexcept
{
    return Guarded([&]() -> HRESULT {
        remote::Reply reply;
        const auto status = Call("destroy", {}, reply);
        return Outcome(status, reply);
    });
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
        return Outcome(status, status.ok() ? replies.front() : remote::Reply{});
    });
}

RemoteLock::RemoteLock(std::shared_ptr<remote::ConnectionPool> pool, std::string key, std::chrono::milliseconds lease)
    : pool_(std::move(pool)), key_(std::move(key)), lease_(std::to_string(lease.count())), token_(RandomToken())
{}

HRESULT RemoteLock::Take(DWORD timeOut) noexcept
{
    try {
        remote::Request request;
        if (FAILED(request.Add({"SET", key_, token_, "NX", "PX", lease_}))) {
            return E_OUTOFMEMORY;
        }
        const auto start = std::chrono::steady_clock::now();
        auto pause = std::chrono::milliseconds(1);
        for (;;) {
            std::vector<remote::Reply> replies;
            const auto status = pool_->Execute(request, replies);
            if (!status.ok() || replies.front().IsError()) {
                return Outcome(status, status.ok() ? replies.front() : remote::Reply{});
            }
            if (replies.front().type == remote::ReplyType::kSimpleString) {
                return S_OK;
            }
            const auto waited = std::chrono::steady_clock::now() - start;
            if (timeOut != INFINITE && waited >= std::chrono::milliseconds(timeOut)) {
                return kLockTimedOut;
            }
            auto sleep = pause;
            if (timeOut != INFINITE) {
                const auto left = std::chrono::milliseconds(timeOut) -
                                  std::chrono::duration_cast<std::chrono::milliseconds>(waited);
                sleep = std::min(sleep, std::max(left, std::chrono::milliseconds(1)));
            }
            std::this_thread::sleep_for(sleep);
            pause = std::min(pause * 2, std::chrono::milliseconds(50));
        }
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT RemoteLock::Free() noexcept
{
    const std::string_view keys[] = {key_};
    const std::string_view arguments[] = {token_};
    remote::Reply reply;
    const auto status = CallStoreFunction(*pool_, "unlock", keys, arguments, reply);
    if (const HRESULT failed = Outcome(status, reply); FAILED(failed)) {
        return failed;
    }
    return reply.integer == 1 ? S_OK : kLockAlreadyFree;
}

} // namespace korvo
