// The machine-wide home of a named semaphore: a shared-memory segment named after a hash of
// the semaphore's name, holding the count, the full name (so that two names with one hash
// are told apart) and the processes that have it open.
//
// Lifetime follows Windows: the object lives while any process holds a handle to it. Every
// opener registers its process id with a handle count; the last handle closed unlinks the
// segment, and openers of a process that died without closing are discounted by the next
// process that opens the name, so a later run starts with a fresh object and fresh counts.
#pragma once

#include "semaphore_counter.h"

#include <memory>
#include <string_view>

namespace korvo::posix {

class SharedSemaphoreSegment {
public:
    // Opens the object of this name, creating it with the given counts if nobody holds it.
    // Null, with the last error set, on failure. alreadyExisted tells which case it was.
    static std::unique_ptr<SharedSemaphoreSegment> Open(std::u16string_view name, LONG initialCount,
                                                        LONG maximumCount, bool& alreadyExisted);

    SharedSemaphoreSegment(const SharedSemaphoreSegment&) = delete;
    SharedSemaphoreSegment& operator=(const SharedSemaphoreSegment&) = delete;
    ~SharedSemaphoreSegment();

    SemaphoreCounter& Counter();

    struct Layout;

private:
    SharedSemaphoreSegment(int descriptor, Layout* layout, std::size_t size, std::string segmentName);

    int descriptor_;
    Layout* layout_;
    std::size_t size_;
    std::string segmentName_;
};

} // namespace korvo::posix
