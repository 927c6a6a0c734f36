// The handle table and CloseHandle.
#include "handle_table.h"
#include "platform/hresult_from_exception.h"

#include <cstdint>
#include <mutex>
#include <new>
#include <unordered_map>

namespace korvo::posix {
namespace {

class HandleTable {
public:
    HANDLE Insert(std::shared_ptr<KernelObject> object)
    {
        std::lock_guard guard(mutex_);
        // Values are never reused, so a stale handle cannot reach a newer object. They are
        // multiples of 4, as on Windows, and far from the pseudo-handles -1 and -2.
        nextValue_ += 4;
        objects_.emplace(nextValue_, std::move(object));
        return reinterpret_cast<HANDLE>(nextValue_);
    }

    std::shared_ptr<KernelObject> Find(HANDLE handle)
    {
        std::lock_guard guard(mutex_);
        auto found = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
        return found == objects_.end() ? nullptr : found->second;
    }

    std::shared_ptr<KernelObject> Remove(HANDLE handle)
    {
        std::lock_guard guard(mutex_);
        auto found = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
        if (found == objects_.end()) {
            return nullptr;
        }
        auto object = std::move(found->second);
        objects_.erase(found);
        return object;
    }

private:
    std::mutex mutex_;
    std::uintptr_t nextValue_ = 0;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects_;
};

// Never destroyed: handles may still be closed by static destructors of other files.
HandleTable& Table()
{
    static auto* table = new HandleTable;
    return *table;
}

bool IsPseudoHandle(HANDLE handle)
{
    return handle == GetCurrentProcess() || handle == GetCurrentThread();
}

} // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object)
{
    return korvo::CallSettingLastError([&] { return Table().Insert(std::move(object)); }, nullptr);
}

std::shared_ptr<KernelObject> LookUpAnyHandle(HANDLE handle)
{
    return Table().Find(handle);
}

} // namespace korvo::posix

BOOL CloseHandle(HANDLE handle)
{
    if (korvo::posix::IsPseudoHandle(handle)) {
        return TRUE;
    }
    // The object itself goes when its last user lets go, outside the table's lock.
    if (!korvo::posix::Table().Remove(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
