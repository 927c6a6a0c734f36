// CreateFileMappingW, MapViewOfFile and UnmapViewOfFile for sections of shared memory: an
// unnamed section is process memory, a named one lives in a shared segment beside the named
// semaphores, in the same namespace.
#include "handle_table.h"
#include "object_names.h"
#include "platform/hresult_from_exception.h"
#include "shared_semaphore_segment.h"

#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <vector>

namespace korvo::posix {
namespace {

class Section final : public KernelObject {
public:
    explicit Section(std::size_t bytes) : local_(bytes) {}
    explicit Section(std::unique_ptr<SharedSemaphoreSegment> segment) : segment_(std::move(segment)) {}

    void* Bytes() { return segment_ ? segment_->SectionBytes() : local_.data(); }

private:
    std::vector<std::byte> local_;
    std::unique_ptr<SharedSemaphoreSegment> segment_;
};

// Every mapped view with the section it keeps alive.
struct Views {
    std::mutex guard;
    std::multimap<const void*, std::shared_ptr<Section>> mapped;
};

Views& AllViews()
{
    static Views views;
    return views;
}

HANDLE Publish(std::shared_ptr<KernelObject> object, DWORD successError)
{
    HANDLE handle = InsertHandle(std::move(object));
    if (handle) {
        SetLastError(successError);
    }
    return handle;
}

} // namespace
} // namespace korvo::posix

using namespace korvo::posix;

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protection, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name)
{
    if (file != INVALID_HANDLE_VALUE || protection != PAGE_READWRITE || maximumSizeHigh != 0 || maximumSizeLow == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const auto body = [&]() -> HANDLE {
        if (!name || !*name) {
            return Publish(std::make_shared<Section>(maximumSizeLow), ERROR_SUCCESS);
        }
        std::u16string_view shared(name);
        if (const DWORD error = NormaliseName(shared); error != ERROR_SUCCESS) {
            SetLastError(error);
            return nullptr;
        }
        bool alreadyExisted = false;
        auto segment = SharedSemaphoreSegment::OpenSection(shared, maximumSizeLow, alreadyExisted);
        if (!segment) {
            return nullptr;
        }
        return Publish(std::make_shared<Section>(std::move(segment)),
                       alreadyExisted ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    };
    return korvo::CallSettingLastError(body, nullptr);
}

LPVOID MapViewOfFile(HANDLE section, DWORD, DWORD fileOffsetHigh, DWORD fileOffsetLow, SIZE_T)
{
    auto object = LookUpHandle<Section>(section);
    if (!object) {
        return nullptr;
    }
    if (fileOffsetHigh != 0 || fileOffsetLow != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const auto body = [&]() -> LPVOID {
        Views& views = AllViews();
        std::lock_guard lock(views.guard);
        void* bytes = object->Bytes();
        views.mapped.emplace(bytes, std::move(object));
        return bytes;
    };
    return korvo::CallSettingLastError(body, nullptr);
}

BOOL UnmapViewOfFile(LPCVOID baseAddress)
{
    std::shared_ptr<Section> released;
    Views& views = AllViews();
    std::lock_guard lock(views.guard);
    const auto found = views.mapped.find(baseAddress);
    if (found == views.mapped.end()) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    released = std::move(found->second);
    views.mapped.erase(found);
    return TRUE;
}
