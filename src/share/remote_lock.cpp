#include "share/remote_lock.h"

#include <algorithm>
#include <random>
#include <thread>
#include <vector>

#include "platform/hresult_from_exception.h"
#include "platform/hresults.h"
#include "share/remote_call.h"
#include "share/remote_entry_codec.h"

namespace korvo {
namespace {

std::string RandomToken()
{
    std::random_device device;
    std::string bytes;
    for (int i = 0; i < 4; ++i) {
        const auto word = device();
        bytes.append(reinterpret_cast<const char*>(&word), sizeof word);
    }
    return remote_entry::Hex(bytes);
}

} // namespace

RemoteLock::RemoteLock(std::shared_ptr<remote::ConnectionPool> pool, std::string key, std::chrono::milliseconds lease)
    : pool_(std::move(pool)), key_(std::move(key)), lease_(std::to_string(lease.count())), token_(RandomToken())
{}

HRESULT RemoteLock::Take(DWORD timeOut) noexcept
{
    return CallReturningHresult(
        [&]() -> HRESULT {
            remote::Request request;
            if (FAILED(request.Add({"SET", key_, token_, "NX", "PX", lease_}))) {
                return E_OUTOFMEMORY;
            }
            const auto start = std::chrono::steady_clock::now();
            auto pause = std::chrono::milliseconds(1);
            for (;;) {
                std::vector<remote::Reply> replies;
                const auto status = pool_->Execute(request, replies);
                if (!status.Ok() || replies.front().IsError()) {
                    return CallOutcome(status, status.Ok() ? replies.front() : remote::Reply{});
                }
                if (replies.front().type == remote::ReplyType::SimpleString) {
                    return S_OK;
                }
                const auto waited = std::chrono::steady_clock::now() - start;
                if (timeOut != INFINITE && waited >= std::chrono::milliseconds(timeOut)) {
                    return hresult::kLockTimedOut;
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
        },
        E_OUTOFMEMORY);
}

HRESULT RemoteLock::Free() noexcept
{
    const std::string_view keys[] = {key_};
    const std::string_view arguments[] = {token_};
    remote::Reply reply;
    const auto status = CallStoreFunction(*pool_, "unlock", keys, arguments, reply);
    if (const HRESULT failed = CallOutcome(status, reply); FAILED(failed)) {
        return failed;
    }
    return reply.integer == 1 ? S_OK : hresult::kLockAlreadyFree;
}

} // namespace korvo
