#include "platform/shared_record.h"

#include "platform/hresult_from_exception.h"

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
    auto record = CallSettingLastError([&] { return std::make_unique<SharedRecord>(std::move(section), view); },
                                       nullptr);
    if (!record) {
        UnmapViewOfFile(view); // leaves the last error as it is when it succeeds
    }
    return record;
}

} // namespace korvo
