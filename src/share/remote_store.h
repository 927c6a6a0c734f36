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
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "remote/connection_pool.h"
#include "share/store_backend.h"

namespace korvo {
// Calls function korvo_1_<function> of the library with its keys and arguments; loads the
// library when the server does not know it (first use, or a restarted server) and calls again,
// which is safe because an unknown function ran nothing. Refusals come back as error replies.
remote::Status CallStoreFunction(remote::ConnectionPool& pool, std::string_view function,
                                 std::span<const std::string_view> keys, std::span<const std::string_view> arguments,
                                 remote::Reply& reply) noexcept;
} // namespace korvo

namespace korvo {

// ERROR_INVALID_STATE as an HRESULT: the remote store keeps its keys in the other compare mode.
inline constexpr HRESULT kRemoteModeMismatch = static_cast<HRESULT>(0x8007139Fu);
// DISP_E_TYPEMISMATCH: a value that cannot be stored on a server.
inline constexpr HRESULT kRemoteValueRefused = static_cast<HRESULT>(0x80020005u);
// HRESULT_FROM_WIN32(ERROR_BUSY): a RemoveAll with a pattern lost every race against other
// writers of the store and removed nothing.
inline constexpr HRESULT kRemoteBusy = static_cast<HRESULT>(0x800700AAu);

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

    // The store as one read saw it: its version, its groups in key order, their entries.
    struct StoreRead;

private:
    remote::Status Call(std::string_view function, std::initializer_list<std::string_view> arguments,
                        remote::Reply& reply) noexcept;
    HRESULT Entries(StoreRead& read) noexcept;

    std::shared_ptr<remote::ConnectionPool> pool_;
    std::string keys_[4]; // idx, data, counts, meta
    std::shared_ptr<StoreLock> lock_;
};

// The lease lock of a remote store. A process takes it with a token of its own, so only that
// process frees it; a holder that dies frees it when its lease runs out.
class RemoteLock final : public StoreLock {
public:
    RemoteLock(std::shared_ptr<remote::ConnectionPool> pool, std::string key, std::chrono::milliseconds lease);
    HRESULT Take(DWORD timeOut) noexcept override;
    HRESULT Free() noexcept override;

private:
    std::shared_ptr<remote::ConnectionPool> pool_;
    const std::string key_;
    const std::string lease_;
    const std::string token_;
};

} // namespace korvo
