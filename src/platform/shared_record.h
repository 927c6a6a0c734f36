// A small named block of memory shared by every process of the machine that opens the same
// name (a section of the paging file), zero when it is first made. It lives while any
// process has it open.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/platform.h"
#include "platform/unique_handle.h"

namespace korvo {

class SharedRecord {
public:
    // Null when the section cannot be made (the name is unfit, or taken by an object of
    // another kind); the last error tells why.
    static std::unique_ptr<SharedRecord> Open(const OLECHAR* name, std::size_t bytes) noexcept;

    SharedRecord(UniqueHandle section, void* view) noexcept : section_(std::move(section)), view_(view) {}
    SharedRecord(const SharedRecord&) = delete;
    SharedRecord& operator=(const SharedRecord&) = delete;
    ~SharedRecord() { UnmapViewOfFile(view_); }

    void* data() const noexcept { return view_; }

private:
    UniqueHandle section_;
    void* view_;
};

} // namespace korvo
