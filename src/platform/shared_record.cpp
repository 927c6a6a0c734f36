#include "platform/shared_record.h"

#include <new>

namespace korvo {

std::unique_ptr<SharedRecord> SharedRecord::Open(const OLECHAR* name, std::size_t bytes) noexcept
{
    UniqueHandle section(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(bytes), name));
    if (!section) {
        return nullptr;
    }
    void* view = MapViewOfFile(section.get(), FILE_MAP_ALL_ACCESS, 0, 0, bytes);
    if (view == nullptr) {
        return nullptr;
    }
    try {
        return std::make_unique<SharedRecord>(std::move(section), view);
    } catch (const std::bad_alloc&) {
        UnmapViewOfFile(view);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

} // namespace korvo
