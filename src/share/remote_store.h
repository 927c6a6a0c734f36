// A named store kept on a server: every member is one function call, atomic on the server,
// with the results, errors and key order of the local store. Items travel as the file
// format's value records; values that cannot leave the process (objects, interfaces,
// records, anything without a record) are refused and nothing is written. The compare mode
// is the store's: the first write fixes it, and a process in the other mode gets
// kRemoteModeMismatch rather than a different order.
//
// A failure to reach the server returns its socket code within the configured time-outs,
// with the description in the error record; a refusal of the server returns E_FAIL with the
// server's text. Nothing falls back to a local store.
//
// This class adapts the members' operations to the calls: the entries' bytes are
// share/remote_entry_codec's, the functions share/lua/remote_library.lua, the lock
// share/remote_lock's.
#pragma once

#include <chrono>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>

#include "remote/connection_pool.h"
#include "share/remote_entry_codec.h"
#include "share/remote_lock.h"
#include "share/remote_results.h"
#include "share/store_backend.h"

namespace korvo {

class RemoteStore final : public StoreBackend {
public:
    RemoteStore(std::shared_ptr<remote::ConnectionPool> pool, KeyView name, std::chrono::milliseconds lockLease);

    HRESULT GetItem(KeyView key, VARIANT& result) noexcept override;
    HRESULT PutItem(KeyView key, const VARIANT& value) noexcept override;
    HRESULT Add(KeyView key, const VARIANT& item, bool uniqueKeys) noexcept override;
    HRESULT Exists(KeyView key, bool& exists) noexcept override;
    HRESULT Remove(KeyView key) noexcept override;
    HRESULT Count(KeyView key, LONG& count) noexcept override;
    HRESULT ItemsCount(LONG& count) noexcept override;
    HRESULT KeysCount(LONG& count) noexcept override;
    HRESULT Items(VARIANT& result) noexcept override;
    HRESULT Keys(VARIANT& result) noexcept override;
    HRESULT RenameKey(KeyView key, KeyView newKey) noexcept override;
    HRESULT RemoveAll(persist::KeyFilter& filter) noexcept override;
    HRESULT WriteRecords(persist::RecordBuffer& records, persist::KeyFilter& filter, bool saveEmpty) noexcept override;
    HRESULT AddRecords(std::span<persist::Record> records, bool uniqueKeys) noexcept override;
    HRESULT Snapshot(VariantBlock& block) noexcept override;
    std::shared_ptr<StoreLock> SharedLock() const noexcept override { return lock_; }

    // Deletes every key of the store on the server (for tests and administration).
    HRESULT Destroy() noexcept;

    // One PING: whether the server answers now, as Connect asks it.
    HRESULT Probe() noexcept;

private:
    using Argument = remote_entry::Argument;

    // Calls the store function with the arguments, encoded in the compare mode read once at
    // its start; `decode(reply)` then makes the member's result of a reply that is no
    // refusal. Every failure comes back as its HRESULT, with its error record.
    template <class Decode>
    HRESULT Call(std::string_view function, std::span<const Argument> arguments, Decode&& decode) noexcept;
    template <class Decode>
    HRESULT Call(std::string_view function, std::initializer_list<Argument> arguments, Decode&& decode) noexcept;
    HRESULT Call(std::string_view function, std::initializer_list<Argument> arguments) noexcept;
    HRESULT Totals(std::size_t which, LONG& count) noexcept;
    HRESULT Entries(remote_entry::StoreRead& read) noexcept;

    std::shared_ptr<remote::ConnectionPool> pool_;
    std::string keys_[4]; // idx, data, counts, meta
    std::shared_ptr<StoreLock> lock_;
};

} // namespace korvo
