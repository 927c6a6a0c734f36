#include "share/connection.h"

#include <cstdint>
#include <cstdio>
#include <mutex>

#include "share/attachment.h"

namespace korvo::share {
namespace {

unsigned int Low32(HANDLE pseudoHandle) noexcept
{
    return static_cast<unsigned int>(reinterpret_cast<std::uintptr_t>(pseudoHandle));
}

} // namespace

HRESULT Connect(ObjectState& object, BSTR dictionaryName, BSTR /*serverName*/) noexcept
{
    return AttachStore(object, dictionaryName);
}

HRESULT DisConnect(ObjectState& object) noexcept { return AttachStore(object, nullptr); }

HRESULT RefCounter(ObjectState& object, LONG* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    std::lock_guard guard(object.bindingGuard());
    const StorePtr& store = object.binding().store;
    // An unattached object gets its private store at its first call: it counts as one.
    *result = store ? store->boundObjects.load(std::memory_order_relaxed) : 1;
    return S_OK;
}

HRESULT DebugInfo(ObjectState& /*object*/, BSTR* result) noexcept
{
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    char text[128];
    std::snprintf(text, sizeof text, "<br>Process:%x, Thread:%x, ProcessId:%x, ThreadID:%x",
                  Low32(GetCurrentProcess()), Low32(GetCurrentThread()),
                  static_cast<unsigned int>(GetCurrentProcessId()), static_cast<unsigned int>(GetCurrentThreadId()));
    OLECHAR wide[128];
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 128) == 0) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    *result = SysAllocString(wide);
    return *result != nullptr ? S_OK : E_OUTOFMEMORY;
}

} // namespace korvo::share
