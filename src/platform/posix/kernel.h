// The Win32 kernel services the portable code calls, with their Windows names, signatures
// and results: critical sections, semaphores and waits, files, the thread's last error,
// interlocked counts, process and thread identity, code-page conversion.
//
// Handles are small numbers looked up in a process-wide table, so a closed, stale or made-up
// handle fails with ERROR_INVALID_HANDLE instead of touching freed memory.
#pragma once

#include "base_types.h"

// --- Types -------------------------------------------------------------------------------

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// Asynchronous file access is not offered: every call that takes one expects null.
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

using LPDWORD = DWORD*;
using LPLONG = LONG*;
using LPBOOL = BOOL*;
using LPCCH = const CHAR*;
using LPCWCH = const WCHAR*;

struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;

// A recursive mutex. The storage is opaque so that no posix header leaks into the core;
// critical_section.cpp checks that the native mutex fits.
struct CRITICAL_SECTION {
    alignas(16) unsigned char opaque[64];
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

// --- Constants ---------------------------------------------------------------------------

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED = 0x80;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD INFINITE = 0xFFFFFFFF;

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;
constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;

// --- Critical sections -------------------------------------------------------------------

void InitializeCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);

// --- Handles, semaphores and waits -------------------------------------------------------

BOOL CloseHandle(HANDLE handle);

// A named semaphore is shared by every process of the machine that opens the same name.
HANDLE CreateSemaphoreW(LPSECURITY_ATTRIBUTES attributes, LONG initialCount, LONG maximumCount, LPCWSTR name);
BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LPLONG previousCount);
// Semaphores are the only waitable objects here; any other handle fails with
// ERROR_INVALID_HANDLE.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// --- Sections of shared memory ------------------------------------------------------------

constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD FILE_MAP_ALL_ACCESS = 0xF001F;
constexpr DWORD FILE_MAP_WRITE = 0x2;
constexpr DWORD FILE_MAP_READ = 0x4;

// Only sections of the paging file: `file` must be INVALID_HANDLE_VALUE and the protection
// PAGE_READWRITE. A named section is shared by every process of the machine that opens the
// name; it starts with zero bytes, and an existing one keeps its size.
HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protection, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name);
// The whole section (offset 0, every byte); a view keeps its section alive after the handle
// is closed, until UnmapViewOfFile.
LPVOID MapViewOfFile(HANDLE section, DWORD desiredAccess, DWORD fileOffsetHigh, DWORD fileOffsetLow, SIZE_T bytesToMap);
BOOL UnmapViewOfFile(LPCVOID baseAddress);

// --- Files -------------------------------------------------------------------------------

// Share modes are accepted and not enforced: posix has no mandatory sharing.
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES attributes,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped);
BOOL DeleteFileW(LPCWSTR fileName);
BOOL FlushFileBuffers(HANDLE file);

constexpr DWORD FILE_TYPE_UNKNOWN = 0;
constexpr DWORD FILE_TYPE_DISK = 1;
constexpr DWORD FILE_TYPE_CHAR = 2;
constexpr DWORD FILE_TYPE_PIPE = 3;
// FILE_TYPE_DISK for a regular file, FILE_TYPE_CHAR for a device, FILE_TYPE_PIPE for a pipe.
DWORD GetFileType(HANDLE file);

constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
// Of the path itself, not of what a symbolic link points to: a link is a reparse point.
DWORD GetFileAttributesW(LPCWSTR fileName);

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;
// Renames within one file system; with MOVEFILE_REPLACE_EXISTING the target is replaced in
// one step, and MOVEFILE_WRITE_THROUGH also flushes the folder, so the new name survives a
// crash.
BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags);

namespace korvo::posix {

// Test seam: the call `callsBefore` calls from now of one kind of file operation fails (a
// write with ERROR_DISK_FULL, a flush with ERROR_WRITE_FAULT, a replace with
// ERROR_ACCESS_DENIED, a read with ERROR_READ_FAULT) or, for writes and reads, comes up
// short (a write puts half its bytes, a read finds the end of the file). One fault at a
// time; it fires once.
enum class FileOperation { Write, Flush, Replace, Read };
enum class FileFault { Fails, Short };
void InjectFileFault(FileOperation operation, long callsBefore, FileFault fault);
void ClearFileFault();

} // namespace korvo::posix

// --- Last error --------------------------------------------------------------------------

DWORD GetLastError();
void SetLastError(DWORD errorCode);

// --- Debug output ------------------------------------------------------------------------

// Where Windows hands the text to a debugger, this writes it to standard error as UTF-8.
void OutputDebugStringW(LPCWSTR outputString);

// --- Process and thread identity ---------------------------------------------------------

inline HANDLE GetCurrentProcess()
{
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
}
inline HANDLE GetCurrentThread()
{
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));
}
DWORD GetCurrentProcessId();
DWORD GetCurrentThreadId();
void Sleep(DWORD milliseconds);
// Milliseconds since an arbitrary start, never going back.
ULONGLONG GetTickCount64();

// --- Interlocked operations (sequentially consistent) ------------------------------------

inline LONG InterlockedIncrement(LONG volatile* addend)
{
    return __atomic_add_fetch(addend, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(LONG volatile* addend)
{
    return __atomic_sub_fetch(addend, 1, __ATOMIC_SEQ_CST);
}
// Returns the previous value.
inline LONG InterlockedExchange(LONG volatile* target, LONG value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline LONGLONG InterlockedExchange64(LONGLONG volatile* target, LONGLONG value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline LONGLONG InterlockedCompareExchange64(LONGLONG volatile* destination, LONGLONG exchange, LONGLONG comparand)
{
    __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}
// Returns the previous value; the exchange happened if it equals comparand.
inline LONG InterlockedCompareExchange(LONG volatile* destination, LONG exchange, LONG comparand)
{
    __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}

// --- Code pages (CP_ACP is Windows-1252, CP_UTF8) ----------------------------------------

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByteStr, int multiByteCount, LPWSTR wideCharStr,
                        int wideCharCount);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wideCharStr, int wideCharCount, LPSTR multiByteStr,
                        int multiByteCount, LPCCH defaultChar, LPBOOL usedDefaultChar);
