#include "members/sharing.h"

#include <cstdint>
#include <cstdio>

#include "platform/unique_bstr.h"
#include "platform/win32_error.h"

namespace korvo::members {
namespace {

unsigned int Low32(HANDLE pseudoHandle) noexcept
{
    return static_cast<unsigned int>(reinterpret_cast<std::uintptr_t>(pseudoHandle));
}

} // namespace

HRESULT Connect(ObjectState& object, BSTR dictionaryName, BSTR /*serverName*/) noexcept
{
    return object.StoreBinding().Attach(dictionaryName);
}

HRESULT DisConnect(ObjectState& object) noexcept
{
    return object.StoreBinding().Attach(nullptr);
}

HRESULT Lock(ObjectState& object, LONG timeOut, LONG* result) noexcept
{
    if (result != nullptr) {
        *result = 0;
    }
    StorePtr store;
    if (const HRESULT attached = EnsureAttached(object, store); FAILED(attached)) {
        return attached;
    }
    const auto lock = object.StoreBinding().Lock(true);
    if (!lock) {
        // What a wait on the missing handle reports; the next Lock tries to make it again.
        return HresultFromWin32Code(ERROR_INVALID_HANDLE);
    }
    const HRESULT taken = lock->Take(static_cast<DWORD>(timeOut));
    if (taken == S_OK && result != nullptr) {
        *result = 1;
    }
    return taken;
}

HRESULT UnLock(ObjectState& object) noexcept
{
    StorePtr store;
    if (const HRESULT attached = EnsureAttached(object, store); FAILED(attached)) {
        return attached;
    }
    const auto lock = object.StoreBinding().Lock(false);
    if (!lock) {
        return E_PENDING;
    }
    return lock->Free();
}

HRESULT RefCounter(ObjectState& object, LONG* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = object.StoreBinding().BoundObjects();
    return S_OK;
}

HRESULT DebugInfo(ObjectState& /*object*/, BSTR* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    char text[128];
    std::snprintf(text, sizeof text, "<br>Process:%x, Thread:%x, ProcessId:%x, ThreadID:%x", Low32(GetCurrentProcess()),
                  Low32(GetCurrentThread()), static_cast<unsigned int>(GetCurrentProcessId()),
                  static_cast<unsigned int>(GetCurrentThreadId()));
    OLECHAR wide[128];
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 128) == 0) {
        return FailureFromLastError(E_FAIL);
    }
    UniqueBstr info = UniqueBstr::CopyUpToNul(wide);
    if (!info) {
        return E_OUTOFMEMORY;
    }
    *result = info.release();
    return S_OK;
}

} // namespace korvo::members
