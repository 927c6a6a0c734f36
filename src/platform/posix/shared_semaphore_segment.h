// The machine-wide home of a named kernel object, a semaphore or a section of shared memory:
// a shared-memory segment named after a hash of the object's name, holding its kind (names
// of both kinds share one namespace, as on Windows), the count of a semaphore or the bytes
// of a section, the full name (so that two names with one hash are told apart) and the
// processes that have it open.
//
// Lifetime follows Windows: the object lives while any process holds a handle to it. Every
// opener registers its process id with a handle count; the last handle closed unlinks the
// segment, and openers of a process that died without closing are discounted by the next
// process that opens the name, so a later run starts with a fresh object and fresh counts.
#pragma once

#include "semaphore_counter.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace korvo::posix {

class SharedSemaphoreSegment {
public:
    enum class Kind : std::uint32_t { Semaphore = 1, Section = 2 };

    // Opens the semaphore of this name, creating it with the given counts if nobody holds
    // it. Null, with the last error set, on failure (ERROR_INVALID_HANDLE when the name
    // belongs to a section). alreadyExisted tells which case it was.
    static std::unique_ptr<SharedSemaphoreSegment> Open(std::u16string_view name, LONG initialCount, LONG maximumCount,
                                                        bool& alreadyExisted);
    // Opens the section of this name, creating it with `bytes` zero bytes if nobody holds
    // it; an existing section keeps the size it was created with.
    static std::unique_ptr<SharedSemaphoreSegment> OpenSection(std::u16string_view name, std::size_t bytes,
                                                               bool& alreadyExisted);

    SharedSemaphoreSegment(const SharedSemaphoreSegment&) = delete;
    SharedSemaphoreSegment& operator=(const SharedSemaphoreSegment&) = delete;
    ~SharedSemaphoreSegment();

    SemaphoreCounter& Counter();
    void* SectionBytes();
    std::size_t SectionSize() const;

    struct Layout;

private:
    static std::unique_ptr<SharedSemaphoreSegment> OpenKind(std::u16string_view name, Kind kind, std::size_t bytes,
                                                            LONG initialCount, LONG maximumCount, bool& alreadyExisted);
    SharedSemaphoreSegment(int descriptor, Layout* layout, std::size_t size, std::string segmentName);

    int descriptor_;
    Layout* layout_;
    std::size_t size_;
    std::string segmentName_;
};

} // namespace korvo::posix
