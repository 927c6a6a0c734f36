// CreateFileW, ReadFile, WriteFile and DeleteFileW over posix descriptors, with the failures
// reported as the Win32 codes Windows gives for the same situation.
#include "errno_mapping.h"
#include "handle_table.h"
#include "platform/hresult_from_exception.h"
#include "utf8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <new>
#include <optional>
#include <string>

namespace korvo::posix {
namespace {

struct InjectedFault {
    std::mutex guard;
    bool armed = false;
    FileOperation operation = FileOperation::Write;
    long callsBefore = 0;
    FileFault fault = FileFault::Fails;
};

InjectedFault& Injected()
{
    static InjectedFault injected;
    return injected;
}

// Whether this call of `operation` is the one to fail, and how.
std::optional<FileFault> TakeFault(FileOperation operation)
{
    InjectedFault& injected = Injected();
    std::lock_guard lock(injected.guard);
    if (!injected.armed || injected.operation != operation) {
        return std::nullopt;
    }
    if (injected.callsBefore > 0) {
        --injected.callsBefore;
        return std::nullopt;
    }
    injected.armed = false;
    return injected.fault;
}

class File final : public KernelObject {
public:
    explicit File(int descriptor) : descriptor_(descriptor) {}
    ~File() override { close(descriptor_); }
    int Descriptor() const { return descriptor_; }

private:
    int descriptor_;
};

// Paths are UTF-8 on posix. An unpaired surrogate has no UTF-8 form, so no file can have
// that name.
std::optional<std::string> NativePath(LPCWSTR path)
{
    std::string native;
    if (!AppendUtf8(path, native, true)) {
        return std::nullopt;
    }
    return native;
}

bool ParentDirectoryExists(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return true;
    }
    struct stat status {};
    const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    return stat(parent.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Windows tells a missing file from a missing directory on the way to it.
DWORD OpenFailure(int error, const std::string& path)
{
    if (error == ENOENT && !ParentDirectoryExists(path)) {
        return ERROR_PATH_NOT_FOUND;
    }
    return Win32ErrorFromErrno(error);
}

int AccessFlags(DWORD desiredAccess)
{
    const bool reads = (desiredAccess & GENERIC_READ) != 0;
    const bool writes = (desiredAccess & GENERIC_WRITE) != 0;
    return reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
}

int OpenWithRetry(const std::string& path, int flags)
{
    int descriptor;
    do {
        descriptor = open(path.c_str(), flags | O_CLOEXEC, 0666);
    } while (descriptor == -1 && errno == EINTR);
    return descriptor;
}

struct Opened {
    int descriptor = -1;
    DWORD error = ERROR_SUCCESS; // the last error on success: ERROR_ALREADY_EXISTS or 0
};

// The dispositions that may create a file first try to create it, so that they know whether
// it existed, as Windows reports.
Opened OpenByDisposition(const std::string& path, int access, DWORD disposition)
{
    auto attempt = [&](int flags, DWORD successError) -> Opened {
        const int descriptor = OpenWithRetry(path, access | flags);
        if (descriptor == -1) {
            return {-1, OpenFailure(errno, path)};
        }
        return {descriptor, successError};
    };
    switch (disposition) {
    case CREATE_NEW:
        return attempt(O_CREAT | O_EXCL, ERROR_SUCCESS);
    case OPEN_EXISTING:
        return attempt(0, ERROR_SUCCESS);
    case TRUNCATE_EXISTING:
        if (access == O_RDONLY) { // truncation needs write access; a missing file is still reported
            Opened existing = attempt(0, ERROR_SUCCESS);
            if (existing.descriptor != -1) {
                close(existing.descriptor);
            }
            return {-1, existing.descriptor == -1 ? existing.error : ERROR_INVALID_PARAMETER};
        }
        return attempt(O_TRUNC, ERROR_SUCCESS);
    case CREATE_ALWAYS:
    case OPEN_ALWAYS: {
        Opened created = attempt(O_CREAT | O_EXCL, ERROR_SUCCESS);
        if (created.descriptor != -1 || created.error != ERROR_FILE_EXISTS) {
            return created;
        }
        return attempt(disposition == CREATE_ALWAYS ? O_TRUNC : 0, ERROR_ALREADY_EXISTS);
    }
    default:
        return {-1, ERROR_INVALID_PARAMETER};
    }
}

bool IsDirectory(int descriptor)
{
    struct stat status {};
    return fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode);
}

HANDLE FailWith(DWORD error)
{
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

} // namespace
} // namespace korvo::posix

using namespace korvo::posix;

void korvo::posix::InjectFileFault(FileOperation operation, long callsBefore, FileFault fault)
{
    InjectedFault& injected = Injected();
    std::lock_guard lock(injected.guard);
    injected.armed = true;
    injected.operation = operation;
    injected.callsBefore = callsBefore;
    injected.fault = fault;
}

void korvo::posix::ClearFileFault()
{
    InjectedFault& injected = Injected();
    std::lock_guard lock(injected.guard);
    injected.armed = false;
}

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD, LPSECURITY_ATTRIBUTES, DWORD creationDisposition,
                   DWORD, HANDLE templateFile)
{
    if (!fileName || templateFile) {
        return FailWith(fileName ? ERROR_INVALID_PARAMETER : ERROR_PATH_NOT_FOUND);
    }
    if (!*fileName) {
        return FailWith(ERROR_PATH_NOT_FOUND);
    }
    const auto body = [&]() -> HANDLE {
        const auto path = NativePath(fileName);
        if (!path) {
            return FailWith(ERROR_INVALID_NAME);
        }
        Opened opened = OpenByDisposition(*path, AccessFlags(desiredAccess), creationDisposition);
        if (opened.descriptor == -1) {
            return FailWith(opened.error);
        }
        auto file = std::make_shared<File>(opened.descriptor);
        // Windows opens directories only with backup semantics, which is not offered.
        if (IsDirectory(opened.descriptor)) {
            return FailWith(ERROR_ACCESS_DENIED);
        }
        HANDLE handle = InsertHandle(std::move(file));
        if (!handle) {
            return INVALID_HANDLE_VALUE;
        }
        SetLastError(opened.error);
        return handle;
    };
    return korvo::CallSettingLastError(body, INVALID_HANDLE_VALUE);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped)
{
    if (bytesRead) {
        *bytesRead = 0;
    }
    auto object = LookUpHandle<File>(file);
    if (!object) {
        return FALSE;
    }
    if (overlapped || (!buffer && bytesToRead != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (const auto fault = TakeFault(FileOperation::Read)) {
        if (*fault == FileFault::Fails) {
            SetLastError(ERROR_READ_FAULT);
            return FALSE;
        }
        return TRUE; // nothing read: the file seems to end here
    }
    // A disk file delivers everything asked for up to its end; end of file is success.
    DWORD done = 0;
    while (done < bytesToRead) {
        const ssize_t got = read(object->Descriptor(), static_cast<char*>(buffer) + done, bytesToRead - done);
        if (got == -1 && errno == EINTR) {
            continue;
        }
        if (got == -1) {
            SetLastError(errno == EBADF ? ERROR_ACCESS_DENIED : Win32ErrorFromErrno(errno));
            return FALSE;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<DWORD>(got);
        if (bytesRead) {
            *bytesRead = done;
        }
    }
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped)
{
    if (bytesWritten) {
        *bytesWritten = 0;
    }
    auto object = LookUpHandle<File>(file);
    if (!object) {
        return FALSE;
    }
    if (overlapped || (!buffer && bytesToWrite != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (const auto fault = TakeFault(FileOperation::Write)) {
        if (*fault == FileFault::Fails) {
            SetLastError(ERROR_DISK_FULL);
            return FALSE;
        }
        bytesToWrite /= 2; // reported as written, as a device that takes less than asked does
    }
    DWORD done = 0;
    while (done < bytesToWrite) {
        const ssize_t put = write(object->Descriptor(), static_cast<const char*>(buffer) + done, bytesToWrite - done);
        if (put == -1 && errno == EINTR) {
            continue;
        }
        if (put == -1) {
            // A descriptor opened without write access reports EBADF; Windows says access denied.
            SetLastError(errno == EBADF ? ERROR_ACCESS_DENIED : Win32ErrorFromErrno(errno));
            return FALSE;
        }
        done += static_cast<DWORD>(put);
        if (bytesWritten) {
            *bytesWritten = done;
        }
    }
    return TRUE;
}

BOOL DeleteFileW(LPCWSTR fileName)
{
    if (!fileName || !*fileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    const auto body = [&]() -> BOOL {
        const auto path = NativePath(fileName);
        if (!path) {
            SetLastError(ERROR_INVALID_NAME);
            return FALSE;
        }
        if (unlink(path->c_str()) == -1) {
            SetLastError(OpenFailure(errno, *path));
            return FALSE;
        }
        return TRUE;
    };
    return korvo::CallSettingLastError(body, FALSE);
}

BOOL FlushFileBuffers(HANDLE file)
{
    auto object = LookUpHandle<File>(file);
    if (!object) {
        return FALSE;
    }
    if (TakeFault(FileOperation::Flush)) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    if (fsync(object->Descriptor()) == -1) {
        SetLastError(Win32ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

namespace {

// The folder of a path, flushed so that a rename in it is on the disk.
void FlushFolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor != -1) {
        fsync(descriptor);
        close(descriptor);
    }
}

} // namespace

BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags)
{
    if (!existingFileName || !*existingFileName || !newFileName || !*newFileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    const auto body = [&]() -> BOOL {
        const auto from = NativePath(existingFileName);
        const auto to = NativePath(newFileName);
        if (!from || !to) {
            SetLastError(ERROR_INVALID_NAME);
            return FALSE;
        }
        if (TakeFault(FileOperation::Replace)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        struct stat status {};
        if (stat(to->c_str(), &status) == 0) {
            if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
                SetLastError(ERROR_ALREADY_EXISTS);
                return FALSE;
            }
            if (S_ISDIR(status.st_mode)) {
                SetLastError(ERROR_ACCESS_DENIED);
                return FALSE;
            }
        }
        if (rename(from->c_str(), to->c_str()) == -1) {
            SetLastError(errno == EISDIR ? ERROR_ACCESS_DENIED : OpenFailure(errno, *to));
            return FALSE;
        }
        if (flags & MOVEFILE_WRITE_THROUGH) {
            FlushFolderOf(*to);
        }
        return TRUE;
    };
    return korvo::CallSettingLastError(body, FALSE);
}

DWORD GetFileType(HANDLE file)
{
    auto object = LookUpHandle<File>(file);
    if (!object) {
        return FILE_TYPE_UNKNOWN;
    }
    struct stat status {};
    if (fstat(object->Descriptor(), &status) == -1) {
        SetLastError(Win32ErrorFromErrno(errno));
        return FILE_TYPE_UNKNOWN;
    }
    SetLastError(ERROR_SUCCESS);
    if (S_ISREG(status.st_mode)) {
        return FILE_TYPE_DISK;
    }
    if (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)) {
        return FILE_TYPE_PIPE;
    }
    return FILE_TYPE_CHAR;
}

DWORD GetFileAttributesW(LPCWSTR fileName)
{
    if (!fileName || !*fileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    const auto body = [&]() -> DWORD {
        const auto path = NativePath(fileName);
        if (!path) {
            SetLastError(ERROR_INVALID_NAME);
            return INVALID_FILE_ATTRIBUTES;
        }
        struct stat status {};
        if (lstat(path->c_str(), &status) == -1) {
            SetLastError(OpenFailure(errno, *path));
            return INVALID_FILE_ATTRIBUTES;
        }
        if (S_ISLNK(status.st_mode)) {
            return FILE_ATTRIBUTE_REPARSE_POINT;
        }
        return S_ISDIR(status.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    };
    return korvo::CallSettingLastError(body, INVALID_FILE_ATTRIBUTES);
}
