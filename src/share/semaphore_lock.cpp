#include "share/semaphore_lock.h"

#include <algorithm>
#include <new>

#include "platform/hresult_from_exception.h"
#include "platform/hresults.h"
#include "platform/process_liveness.h"
#include "platform/win32_error.h"

namespace korvo {
namespace {

// How often a waiter looks whether the holder still exists.
constexpr DWORD kHolderCheckMilliseconds = 100;

// The holder record's name: the store's name with a prefix of our own, kept in the same
// namespace ("Global\", "Local\" or a session's) as the semaphore.
KeyText HolderRecordName(const KeyText& name)
{
    const auto lastSeparator = name.find_last_of(OLECHAR('\\'));
    const std::size_t split = lastSeparator == KeyText::npos ? 0 : lastSeparator + 1;
    static constexpr OLECHAR kPrefix[] = OLESTR("Korvo.Dictionary.LockHolder:");
    return name.substr(0, split) + kPrefix + name.substr(split);
}

LONGLONG Packed(const ProcessIdentity& process) noexcept
{
    return static_cast<LONGLONG>(PackProcess(process));
}

HRESULT FromWaitResult(DWORD waited) noexcept
{
    switch (waited) {
    case WAIT_OBJECT_0:
        return S_OK;
    case WAIT_TIMEOUT:
        return hresult::kLockTimedOut;
    case WAIT_FAILED:
        return MappedLastError();
    default:
        return HresultFromWin32Code(waited);
    }
}

template <class Lock, class... Arguments>
std::shared_ptr<Lock> MakeLock(Arguments&&... arguments) noexcept
{
    return CallSettingLastError([&] { return std::make_shared<Lock>(std::forward<Arguments>(arguments)...); }, nullptr);
}

} // namespace

std::shared_ptr<SemaphoreLock> SemaphoreLock::CreateNamed(const KeyText& name) noexcept
{
    UniqueHandle semaphore(CreateSemaphoreW(nullptr, 1, 1, name.c_str()));
    if (!semaphore) {
        return nullptr;
    }
    // Without the record the lock works as before, only without taking over.
    std::unique_ptr<SharedRecord> holder = CallTranslatingExceptions(
        [&] { return SharedRecord::Open(HolderRecordName(name).c_str(), sizeof(LONGLONG)); },
        [](HRESULT) noexcept { return nullptr; });
    return MakeLock<SemaphoreLock>(std::move(semaphore), std::move(holder));
}

std::shared_ptr<SemaphoreLock> SemaphoreLock::CreatePrivate() noexcept
{
    UniqueHandle semaphore(CreateSemaphoreW(nullptr, 1, 1, nullptr));
    if (!semaphore) {
        return nullptr;
    }
    return MakeLock<SemaphoreLock>(std::move(semaphore), nullptr);
}

LONGLONG volatile* SemaphoreLock::Holder() const noexcept
{
    return holder_ ? static_cast<LONGLONG volatile*>(holder_->data()) : nullptr;
}

bool SemaphoreLock::TakeOverFromTheDead() noexcept
{
    LONGLONG volatile* holder = Holder();
    if (holder == nullptr) {
        return false;
    }
    const LONGLONG recorded = InterlockedCompareExchange64(holder, 0, 0);
    if (recorded == 0 || !ProcessIsGone(UnpackProcess(static_cast<std::uint64_t>(recorded)))) {
        return false;
    }
    // One waiter wins; the count stays 0, now held by this process.
    return InterlockedCompareExchange64(holder, Packed(CurrentProcessIdentity()), recorded) == recorded;
}

HRESULT SemaphoreLock::Take(DWORD timeOut) noexcept
{
    // Without a holder record there is nothing to check between waits: one wait does it.
    const DWORD slice = Holder() == nullptr ? timeOut : kHolderCheckMilliseconds;
    const ULONGLONG started = GetTickCount64();
    for (;;) {
        const ULONGLONG elapsed = GetTickCount64() - started;
        const DWORD remaining = timeOut == INFINITE  ? INFINITE
                                : elapsed >= timeOut ? 0
                                                     : static_cast<DWORD>(timeOut - elapsed);
        const DWORD waited = WaitForSingleObject(semaphore_.get(), std::min(remaining, slice));
        if (waited == WAIT_OBJECT_0) {
            if (LONGLONG volatile* holder = Holder()) {
                InterlockedExchange64(holder, Packed(CurrentProcessIdentity()));
            }
            return S_OK;
        }
        if (waited != WAIT_TIMEOUT) {
            return FromWaitResult(waited);
        }
        if (TakeOverFromTheDead()) {
            return S_OK;
        }
        if (remaining != INFINITE && remaining <= slice) {
            return FromWaitResult(WAIT_TIMEOUT);
        }
    }
}

HRESULT SemaphoreLock::Free() noexcept
{
    LONGLONG volatile* holder = Holder();
    const LONGLONG recorded = holder != nullptr ? InterlockedExchange64(holder, 0) : 0;
    if (!ReleaseSemaphore(semaphore_.get(), 1, nullptr)) {
        const HRESULT failure = MappedLastError();
        if (holder != nullptr) {
            // The lock was free (or could not be freed): whoever was recorded stays recorded.
            InterlockedCompareExchange64(holder, recorded, 0);
        }
        return failure;
    }
    return S_OK;
}

} // namespace korvo
