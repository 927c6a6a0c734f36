// CreateSemaphoreW, ReleaseSemaphore and WaitForSingleObject.
#include "handle_table.h"
#include "object_names.h"
#include "platform/hresult_from_exception.h"
#include "semaphore_counter.h"
#include "shared_semaphore_segment.h"

#include <new>
#include <string_view>

namespace korvo::posix {
namespace {

class Semaphore : public KernelObject {
public:
    virtual SemaphoreCounter& Counter() = 0;
    virtual bool Shared() const = 0;
};

class UnnamedSemaphore final : public Semaphore {
public:
    UnnamedSemaphore(LONG initialCount, LONG maximumCount) : counter_{initialCount, maximumCount} {}
    SemaphoreCounter& Counter() override { return counter_; }
    bool Shared() const override { return false; }

private:
    SemaphoreCounter counter_;
};

class NamedSemaphore final : public Semaphore {
public:
    explicit NamedSemaphore(std::unique_ptr<SharedSemaphoreSegment> segment) : segment_(std::move(segment)) {}
    SemaphoreCounter& Counter() override { return segment_->Counter(); }
    bool Shared() const override { return true; }

private:
    std::unique_ptr<SharedSemaphoreSegment> segment_;
};

HANDLE Publish(std::shared_ptr<KernelObject> object, DWORD successError)
{
    HANDLE handle = InsertHandle(std::move(object));
    if (handle) {
        SetLastError(successError);
    }
    return handle;
}

HANDLE CreateNamedSemaphore(std::u16string_view name, LONG initialCount, LONG maximumCount)
{
    if (DWORD error = NormaliseName(name); error != ERROR_SUCCESS) {
        SetLastError(error);
        return nullptr;
    }
    bool alreadyExisted = false;
    auto segment = SharedSemaphoreSegment::Open(name, initialCount, maximumCount, alreadyExisted);
    if (!segment) {
        return nullptr;
    }
    return Publish(std::make_shared<NamedSemaphore>(std::move(segment)),
                   alreadyExisted ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
}

} // namespace
} // namespace korvo::posix

using namespace korvo::posix;

HANDLE CreateSemaphoreW(LPSECURITY_ATTRIBUTES, LONG initialCount, LONG maximumCount, LPCWSTR name)
{
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const auto body = [&]() -> HANDLE {
        // An empty name, like no name, makes an object nobody else can open.
        if (name && *name) {
            return CreateNamedSemaphore(name, initialCount, maximumCount);
        }
        return Publish(std::make_shared<UnnamedSemaphore>(initialCount, maximumCount), ERROR_SUCCESS);
    };
    return korvo::CallSettingLastError(body, nullptr);
}

BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LPLONG previousCount)
{
    auto object = LookUpHandle<Semaphore>(semaphore);
    if (!object) {
        return FALSE;
    }
    return ReleaseCounter(object->Counter(), releaseCount, previousCount, object->Shared());
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    auto object = LookUpHandle<Semaphore>(handle);
    if (!object) {
        return WAIT_FAILED;
    }
    return WaitOnCounter(object->Counter(), milliseconds, object->Shared());
}
