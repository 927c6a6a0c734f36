#include "persist/replacement_file.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "platform/hresult_from_exception.h"
#include "platform/hresults.h"
#include "platform/win32_error.h"

namespace korvo::persist {
namespace {

using PathText = std::basic_string<OLECHAR>;

// WriteFile takes at most this many bytes a call.
constexpr std::size_t kLargestWrite = std::size_t{1} << 20;

// The folder part of a path, separator included; empty for a bare file name.
PathText FolderOf(const PathText& path)
{
    const auto separator = path.find_last_of(OLESTR("\\/:"));
    return separator == PathText::npos ? PathText() : path.substr(0, separator + 1);
}

// A short name in the target's folder that no other Save of this process uses at the same
// time, so that the temporary file's path is no longer than the target's folder allows.
PathText TemporaryPathBeside(const PathText& target)
{
    static std::atomic<unsigned> serial{0};
    char name[40];
    std::snprintf(name, sizeof name, "~kv%x-%x.tmp", static_cast<unsigned>(GetCurrentProcessId()),
                  serial.fetch_add(1, std::memory_order_relaxed));
    PathText path = FolderOf(target);
    path.append(name, name + std::char_traits<char>::length(name));
    return path;
}

// What creating the target would report, without touching it: an existing target is opened
// for writing and closed again; a missing one is no failure here. `replaceable` is false for
// a target that must be written where it is: a device or pipe (renaming a file over one
// would put a file in its place) or a symbolic link (the link, not what it points to, would
// be replaced).
HRESULT CheckTarget(const PathText& target, bool& replaceable) noexcept
{
    replaceable = true;
    UniqueHandle probe(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    if (probe) {
        const DWORD attributes = GetFileAttributesW(target.c_str());
        replaceable = GetFileType(probe.get()) == FILE_TYPE_DISK && attributes != INVALID_FILE_ATTRIBUTES &&
                      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
        return S_OK;
    }
    if (GetLastError() == ERROR_FILE_NOT_FOUND) {
        return S_OK;
    }
    return FailureFromLastError(E_FAIL);
}

HRESULT OpenForWriting(const PathText& path, DWORD disposition, UniqueHandle& file) noexcept
{
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                                0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return FailureFromLastError(E_FAIL);
    }
    file.reset(handle);
    return S_OK;
}

} // namespace

ReplacementFile::~ReplacementFile()
{
    Discard();
}

void ReplacementFile::Discard() noexcept
{
    file_.reset();
    if (!committed_ && !inPlace_ && !temporaryPath_.empty()) {
        DeleteFileW(temporaryPath_.c_str());
        temporaryPath_.clear();
    }
}

HRESULT ReplacementFile::Create(BSTR target) noexcept
{
    const auto body = [&]() -> HRESULT {
        targetPath_.assign(target == nullptr ? OLESTR("") : target);
        bool replaceable = true;
        if (const HRESULT checked = CheckTarget(targetPath_, replaceable); FAILED(checked)) {
            return checked;
        }
        if (!replaceable) {
            // A device or pipe takes no flush; a link's target is flushed like any file.
            inPlace_ = true;
            flushes_ = GetFileAttributesW(targetPath_.c_str()) != INVALID_FILE_ATTRIBUTES &&
                       (GetFileAttributesW(targetPath_.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            return OpenForWriting(targetPath_, CREATE_ALWAYS, file_);
        }
        HRESULT created = E_FAIL;
        for (int attempt = 0; attempt < 16; ++attempt) {
            temporaryPath_ = TemporaryPathBeside(targetPath_);
            created = OpenForWriting(temporaryPath_, CREATE_NEW, file_);
            if (created != HresultFromWin32Code(ERROR_FILE_EXISTS) &&
                created != HresultFromWin32Code(ERROR_ALREADY_EXISTS)) {
                break;
            }
        }
        if (SUCCEEDED(created)) {
            return S_OK;
        }
        // No temporary file can be made beside the target (a folder that takes no new file,
        // a path too long for the temporary name): the target is written in place, as a
        // Save without a temporary file does.
        temporaryPath_.clear();
        inPlace_ = true;
        return OpenForWriting(targetPath_, CREATE_ALWAYS, file_);
    };
    return CallReturningHresult(body, E_OUTOFMEMORY);
}

void ReplacementFile::Write(std::span<const std::byte> bytes) noexcept
{
    while (!bytes.empty() && SUCCEEDED(failure_)) {
        const std::size_t piece = std::min(bytes.size(), kLargestWrite);
        DWORD written = 0;
        if (!WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(piece), &written, nullptr)) {
            failure_ = FailureFromLastError(E_FAIL);
        } else if (written == 0) {
            failure_ = FailureFromLastError(hresult::kDiskFull);
        } else {
            bytes = bytes.subspan(written);
        }
    }
}

HRESULT ReplacementFile::Commit() noexcept
{
    if (SUCCEEDED(failure_) && flushes_ && !FlushFileBuffers(file_.get())) {
        failure_ = FailureFromLastError(E_FAIL);
    }
    file_.reset();
    if (FAILED(failure_) || inPlace_) {
        return failure_;
    }
    if (!MoveFileExW(temporaryPath_.c_str(), targetPath_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        failure_ = FailureFromLastError(E_FAIL);
        return failure_;
    }
    committed_ = true;
    return S_OK;
}

} // namespace korvo::persist
