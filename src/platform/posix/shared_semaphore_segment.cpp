// Opening and closing are serialised between processes by flock on the segment, which the
// kernel drops if its holder dies; waiting and releasing never take that lock.
#include "shared_semaphore_segment.h"

#include "errno_mapping.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace korvo::posix {

struct SharedSemaphoreSegment::Layout {
    static constexpr std::uint32_t kMagic = 0x4B534D33; // "KSM3"
    static constexpr int kMaxOpeners = 256;

    struct Opener {
        std::int32_t processId;
        std::uint32_t handles;
        std::uint64_t processStart; // tells a live opener from a later process with its id
    };

    std::uint32_t magic;
    std::uint32_t headerSize;
    Kind kind;
    std::uint32_t sectionBytes;
    SemaphoreCounter counter;
    Opener openers[kMaxOpeners];
    std::uint32_t nameLength;

    char16_t* Name() { return reinterpret_cast<char16_t*>(this + 1); }
    // A section's bytes follow the name, 16-byte aligned.
    static std::size_t SectionOffset(std::u16string_view name)
    {
        return (sizeof(Layout) + name.size() * sizeof(char16_t) + 15) & ~std::size_t{15};
    }
    static std::size_t SizeFor(std::u16string_view name, std::size_t sectionBytes)
    {
        return SectionOffset(name) + sectionBytes;
    }
};

namespace {

using Layout = SharedSemaphoreSegment::Layout;
using Kind = SharedSemaphoreSegment::Kind;

std::string SegmentNameFor(std::u16string_view name)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL; // FNV-1a over the UTF-16 code units
    for (char16_t unit : name) {
        for (int shift : {0, 8}) {
            hash ^= static_cast<std::uint8_t>(unit >> shift);
            hash *= 0x100000001b3ULL;
        }
    }
    char text[40];
    std::snprintf(text, sizeof text, "/korvo.sem.%016llx", static_cast<unsigned long long>(hash));
    return text;
}

class ExclusiveFileLock {
public:
    explicit ExclusiveFileLock(int descriptor) : descriptor_(descriptor)
    {
        while (flock(descriptor_, LOCK_EX) == -1 && errno == EINTR) {
        }
    }
    ExclusiveFileLock(const ExclusiveFileLock&) = delete;
    ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;
    ~ExclusiveFileLock() { flock(descriptor_, LOCK_UN); }

private:
    int descriptor_;
};

// The start time of a process in clock ticks since boot, or 0 where /proc cannot say.
std::uint64_t ProcessStartTime(std::int32_t processId)
{
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(processId));
    FILE* stat = std::fopen(path, "re");
    if (!stat) {
        return 0;
    }
    char line[1024];
    const bool read = std::fgets(line, sizeof line, stat) != nullptr;
    std::fclose(stat);
    // The command name in parentheses may hold anything; field 22 counts from after it.
    const char* afterName = read ? std::strrchr(line, ')') : nullptr;
    unsigned long long start = 0;
    if (!afterName || std::sscanf(afterName + 1,
                                  " %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s "
                                  "%*s %*s %*s %*s %*s %*s %*s %llu",
                                  &start) != 1) {
        return 0;
    }
    return start;
}

bool ProcessIsAlive(const Layout::Opener& opener)
{
    if (opener.processId == getpid()) {
        return true;
    }
    if (kill(opener.processId, 0) != 0 && errno != EPERM) {
        return false;
    }
    const std::uint64_t start = ProcessStartTime(opener.processId);
    return start == 0 || opener.processStart == 0 || start == opener.processStart;
}

// Forgets processes that died holding handles; returns the handles still open.
std::uint64_t PruneDeadOpeners(Layout& layout)
{
    std::uint64_t live = 0;
    for (auto& opener : layout.openers) {
        if (opener.handles == 0) {
            continue;
        }
        if (ProcessIsAlive(opener)) {
            live += opener.handles;
        } else {
            opener = {};
        }
    }
    return live;
}

Layout::Opener* OpenerOf(Layout& layout, std::int32_t processId)
{
    for (auto& opener : layout.openers) {
        if (opener.handles != 0 && opener.processId == processId) {
            return &opener;
        }
    }
    return nullptr;
}

bool RegisterOpener(Layout& layout)
{
    const std::int32_t self = getpid();
    if (auto* mine = OpenerOf(layout, self)) {
        ++mine->handles;
        return true;
    }
    for (auto& opener : layout.openers) {
        if (opener.handles == 0) {
            opener = {self, 1, ProcessStartTime(self)};
            return true;
        }
    }
    return false;
}

void InitialiseLayout(Layout& layout, std::u16string_view name, Kind kind, std::size_t sectionBytes, LONG initialCount,
                      LONG maximumCount)
{
    layout = {};
    layout.headerSize = sizeof(Layout);
    layout.kind = kind;
    layout.sectionBytes = static_cast<std::uint32_t>(sectionBytes);
    layout.counter = {initialCount, maximumCount};
    std::memset(reinterpret_cast<char*>(&layout) + Layout::SectionOffset(name), 0, sectionBytes);
    layout.nameLength = static_cast<std::uint32_t>(name.size());
    std::copy(name.begin(), name.end(), layout.Name());
    __atomic_store_n(&layout.magic, Layout::kMagic, __ATOMIC_SEQ_CST);
}

bool HoldsName(Layout& layout, std::size_t mappedSize, std::u16string_view name)
{
    return layout.headerSize == sizeof(Layout) && mappedSize == Layout::SizeFor(name, layout.sectionBytes) &&
           layout.nameLength == name.size() && std::u16string_view(layout.Name(), layout.nameLength) == name;
}

// Opens the segment that the name currently refers to. A segment unlinked by its last
// closer between our open and our lock is detected by comparing inodes, and opened anew.
int OpenLinkedSegment(const std::string& segmentName)
{
    for (;;) {
        int descriptor = shm_open(segmentName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (descriptor == -1) {
            return -1;
        }
        while (flock(descriptor, LOCK_EX) == -1 && errno == EINTR) {
        }
        int check = shm_open(segmentName.c_str(), O_RDWR | O_CLOEXEC, 0600);
        struct stat opened {
        }, linked{};
        const bool same = check != -1 && fstat(descriptor, &opened) == 0 && fstat(check, &linked) == 0 &&
                          opened.st_ino == linked.st_ino && opened.st_dev == linked.st_dev;
        if (check != -1) {
            close(check);
        }
        if (same) {
            return descriptor; // still locked by us
        }
        flock(descriptor, LOCK_UN);
        close(descriptor);
    }
}

} // namespace

std::unique_ptr<SharedSemaphoreSegment> SharedSemaphoreSegment::Open(std::u16string_view name, LONG initialCount,
                                                                     LONG maximumCount, bool& alreadyExisted)
{
    return OpenKind(name, Kind::Semaphore, 0, initialCount, maximumCount, alreadyExisted);
}

std::unique_ptr<SharedSemaphoreSegment> SharedSemaphoreSegment::OpenSection(std::u16string_view name, std::size_t bytes,
                                                                            bool& alreadyExisted)
{
    return OpenKind(name, Kind::Section, bytes, 0, 0, alreadyExisted);
}

std::unique_ptr<SharedSemaphoreSegment> SharedSemaphoreSegment::OpenKind(std::u16string_view name, Kind kind,
                                                                         std::size_t bytes, LONG initialCount,
                                                                         LONG maximumCount, bool& alreadyExisted)
{
    std::string segmentName = SegmentNameFor(name);
    const int descriptor = OpenLinkedSegment(segmentName);
    if (descriptor == -1) {
        FailFromErrno();
        return nullptr;
    }
    auto fail = [descriptor](DWORD error) {
        flock(descriptor, LOCK_UN);
        close(descriptor);
        SetLastError(error);
        return nullptr;
    };

    struct stat status {};
    if (fstat(descriptor, &status) == -1) {
        return fail(Win32ErrorFromErrno(errno));
    }
    const bool fresh = status.st_size == 0;
    // An existing object keeps the size it was made with.
    const std::size_t size = fresh ? Layout::SizeFor(name, bytes) : static_cast<std::size_t>(status.st_size);
    if (fresh && ftruncate(descriptor, static_cast<off_t>(size)) == -1) {
        return fail(Win32ErrorFromErrno(errno));
    }
    if (size < sizeof(Layout)) {
        return fail(ERROR_INVALID_HANDLE);
    }
    void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    if (mapped == MAP_FAILED) {
        return fail(Win32ErrorFromErrno(errno));
    }
    auto* layout = static_cast<Layout*>(mapped);
    auto unmapAndFail = [&](DWORD error) {
        munmap(mapped, size);
        return fail(error);
    };

    // A creator that died before finishing left no magic: the object never existed.
    if (layout->magic != Layout::kMagic) {
        if (size != Layout::SizeFor(name, bytes)) {
            return unmapAndFail(ERROR_INVALID_HANDLE);
        }
        InitialiseLayout(*layout, name, kind, bytes, initialCount, maximumCount);
    }
    if (!HoldsName(*layout, size, name)) {
        return unmapAndFail(ERROR_INVALID_HANDLE); // another name with the same hash
    }
    alreadyExisted = PruneDeadOpeners(*layout) != 0;
    if (!alreadyExisted) {
        if (size != Layout::SizeFor(name, bytes)) {
            return unmapAndFail(ERROR_INVALID_HANDLE); // left over at another size
        }
        InitialiseLayout(*layout, name, kind, bytes, initialCount, maximumCount);
    }
    if (layout->kind != kind) {
        return unmapAndFail(ERROR_INVALID_HANDLE); // the name belongs to an object of another kind
    }
    if (!RegisterOpener(*layout)) {
        return unmapAndFail(ERROR_NOT_ENOUGH_MEMORY);
    }
    flock(descriptor, LOCK_UN);
    return std::unique_ptr<SharedSemaphoreSegment>(
        new SharedSemaphoreSegment(descriptor, layout, size, std::move(segmentName)));
}

SharedSemaphoreSegment::SharedSemaphoreSegment(int descriptor, Layout* layout, std::size_t size,
                                               std::string segmentName)
    : descriptor_(descriptor), layout_(layout), size_(size), segmentName_(std::move(segmentName))
{}

SharedSemaphoreSegment::~SharedSemaphoreSegment()
{
    {
        ExclusiveFileLock lock(descriptor_);
        if (auto* mine = OpenerOf(*layout_, getpid()); mine && --mine->handles == 0) {
            *mine = {};
        }
        if (PruneDeadOpeners(*layout_) == 0) {
            shm_unlink(segmentName_.c_str());
        }
    }
    munmap(layout_, size_);
    close(descriptor_);
}

SemaphoreCounter& SharedSemaphoreSegment::Counter()
{
    return layout_->counter;
}

void* SharedSemaphoreSegment::SectionBytes()
{
    return reinterpret_cast<char*>(layout_) +
           Layout::SectionOffset(std::u16string_view(layout_->Name(), layout_->nameLength));
}

std::size_t SharedSemaphoreSegment::SectionSize() const
{
    return layout_->sectionBytes;
}

} // namespace korvo::posix
