// Scalar types, HRESULT codes, GUIDs and calling-convention macros of the Windows
// API, with the Windows names and widths (LONG and HRESULT are 32 bits even on LP64).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

using BYTE = std::uint8_t;
using CHAR = char;
using WORD = std::uint16_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using INT = std::int32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using BOOL = std::int32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using LONG64 = std::int64_t;
using ULONG64 = std::uint64_t;
using FLOAT = float;
using DOUBLE = double;
using HRESULT = std::int32_t;
using SCODE = std::int32_t;
using LCID = DWORD;
using DISPID = LONG;
using MEMBERID = DISPID;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
using DATE = double;
using PVOID = void*;
using LPVOID = void*;
using LPCVOID = const void*;
using HANDLE = void*;
using SIZE_T = std::size_t;
using ULONG_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;

using OLECHAR = char16_t;
using WCHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPSTR = char*;
using LPCSTR = const char*;
using BSTR = OLECHAR*;

#define OLESTR(str) u##str
#define WINAPI
#define STDMETHODCALLTYPE
#define STDAPI extern "C" HRESULT
#define STDAPI_(type) extern "C" type
#define WINBASEAPI

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// HRESULT helpers.
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define HRESULT_CODE(hr) ((hr)&0xFFFF)
#define MAKE_HRESULT(sev, fac, code)                                                                                   \
    static_cast<HRESULT>((static_cast<ULONG>(sev) << 31) | (static_cast<ULONG>(fac) << 16) | static_cast<ULONG>(code))
constexpr int FACILITY_WIN32 = 7;
constexpr int FACILITY_ITF = 4;
constexpr int FACILITY_DISPATCH = 2;
constexpr int SEVERITY_ERROR = 1;

inline constexpr HRESULT HRESULT_FROM_WIN32(unsigned long x)
{
    return static_cast<HRESULT>(x) <= 0
               ? static_cast<HRESULT>(x)
               : static_cast<HRESULT>((x & 0x0000FFFFUL) | (FACILITY_WIN32 << 16) | 0x80000000UL);
}

constexpr HRESULT Hr32(std::uint32_t v)
{
    return static_cast<HRESULT>(v);
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = Hr32(0x80004001);
constexpr HRESULT E_NOINTERFACE = Hr32(0x80004002);
constexpr HRESULT E_POINTER = Hr32(0x80004003);
constexpr HRESULT E_ABORT = Hr32(0x80004004);
constexpr HRESULT E_FAIL = Hr32(0x80004005);
constexpr HRESULT E_UNEXPECTED = Hr32(0x8000FFFF);
constexpr HRESULT E_PENDING = Hr32(0x8000000A);
constexpr HRESULT E_ACCESSDENIED = Hr32(0x80070005);
constexpr HRESULT E_HANDLE = Hr32(0x80070006);
constexpr HRESULT E_OUTOFMEMORY = Hr32(0x8007000E);
constexpr HRESULT E_INVALIDARG = Hr32(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = Hr32(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = Hr32(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = Hr32(0x80040154);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = Hr32(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = Hr32(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = Hr32(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = Hr32(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = Hr32(0x80020006);
constexpr HRESULT DISP_E_NONAMEDARGS = Hr32(0x80020007);
constexpr HRESULT DISP_E_BADVARTYPE = Hr32(0x80020008);
constexpr HRESULT DISP_E_EXCEPTION = Hr32(0x80020009);
constexpr HRESULT DISP_E_OVERFLOW = Hr32(0x8002000A);
constexpr HRESULT DISP_E_BADINDEX = Hr32(0x8002000B);
constexpr HRESULT DISP_E_ARRAYISLOCKED = Hr32(0x8002000D);
constexpr HRESULT DISP_E_BADPARAMCOUNT = Hr32(0x8002000E);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = Hr32(0x8002000F);
constexpr HRESULT TYPE_E_LIBNOTREGISTERED = Hr32(0x8002801D);

// Win32 error codes used by the file, semaphore and wait services.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_DATA = 13;
constexpr DWORD ERROR_OUTOFMEMORY = 14;
constexpr DWORD ERROR_WRITE_PROTECT = 19;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_READ_FAULT = 30;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_HANDLE_DISK_FULL = 39;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_SEM_TIMEOUT = 121;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_TOO_MANY_POSTS = 298;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool IsEqualGUID(REFGUID a, REFGUID b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool IsEqualIID(REFIID a, REFIID b)
{
    return IsEqualGUID(a, b);
}
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b)
{
    return IsEqualGUID(a, b);
}
inline bool operator==(REFGUID a, REFGUID b)
{
    return IsEqualGUID(a, b);
}

inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

static_assert(sizeof(LONG) == 4 && sizeof(HRESULT) == 4 && sizeof(OLECHAR) == 2);

// Further Win32 error codes of the kernel services (code-page conversion, object names).
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_BAD_PATHNAME = 161;
constexpr DWORD ERROR_INVALID_ADDRESS = 487;
constexpr DWORD ERROR_INVALID_FLAGS = 1004;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;
