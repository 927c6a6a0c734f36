// MultiByteToWideChar and WideCharToMultiByte for UTF-8 and for the ANSI code page, which
// is Windows-1252 here as on a Western-European Windows. Unmappable characters become the
// default character; no best-fit approximations are made.
#include "kernel.h"
#include "platform/hresult_from_exception.h"
#include "utf8.h"

#include <cstring>
#include <new>
#include <optional>
#include <string>

namespace korvo::posix {
namespace {

constexpr UINT kWindows1252 = 1252;

// Code points of the bytes 0x80-0x9F; the five bytes Windows-1252 leaves undefined map to
// the C1 control of the same value, as Windows does.
constexpr char16_t kHighControls1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t From1252(unsigned char byte)
{
    return byte >= 0x80 && byte <= 0x9F ? kHighControls1252[byte - 0x80] : char16_t{byte};
}

std::optional<char> To1252(char16_t unit)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
        return static_cast<char>(unit);
    }
    for (int i = 0; i < 32; ++i) {
        if (kHighControls1252[i] == unit) {
            return static_cast<char>(0x80 + i);
        }
    }
    return std::nullopt;
}

bool IsAnsi(UINT codePage)
{
    return codePage == CP_ACP || codePage == kWindows1252;
}

// Windows' rules for the counts: -1 takes a NUL-terminated input, NUL included; 0 or below
// -1 is invalid; a zero output size asks for the size needed.
bool ValidCounts(const void* input, int inputCount, const void* output, int outputCount)
{
    return input && inputCount != 0 && inputCount >= -1 && outputCount >= 0 && (output || outputCount == 0) &&
           (input != output || outputCount == 0);
}

template <class Unit>
int Deliver(const std::basic_string<Unit>& converted, Unit* output, int outputCount)
{
    const auto size = static_cast<int>(converted.size());
    if (outputCount == 0) {
        return size;
    }
    if (size > outputCount) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(output, converted.data(), converted.size() * sizeof(Unit));
    return size;
}

int Fail(DWORD error)
{
    SetLastError(error);
    return 0;
}

} // namespace
} // namespace korvo::posix

using namespace korvo::posix;

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByteStr, int multiByteCount, LPWSTR wideCharStr,
                        int wideCharCount)
{
    if (!ValidCounts(multiByteStr, multiByteCount, wideCharStr, wideCharCount)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (codePage != CP_UTF8 && !IsAnsi(codePage)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (codePage == CP_UTF8 && (flags & ~MB_ERR_INVALID_CHARS) != 0) {
        return Fail(ERROR_INVALID_FLAGS);
    }
    const std::size_t length = multiByteCount == -1 ? std::strlen(multiByteStr) + 1
                                                    : static_cast<std::size_t>(multiByteCount);
    const auto body = [&]() -> int {
        std::u16string converted;
        if (codePage == CP_UTF8) {
            if (!AppendUtf16({multiByteStr, length}, converted, (flags & MB_ERR_INVALID_CHARS) != 0)) {
                return Fail(ERROR_NO_UNICODE_TRANSLATION);
            }
        } else {
            for (std::size_t i = 0; i < length; ++i) {
                converted += From1252(static_cast<unsigned char>(multiByteStr[i]));
            }
        }
        return Deliver(converted, wideCharStr, wideCharCount);
    };
    return korvo::CallSettingLastError(body, 0);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wideCharStr, int wideCharCount, LPSTR multiByteStr,
                        int multiByteCount, LPCCH defaultChar, LPBOOL usedDefaultChar)
{
    if (!ValidCounts(wideCharStr, wideCharCount, multiByteStr, multiByteCount)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (codePage != CP_UTF8 && !IsAnsi(codePage)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (codePage == CP_UTF8 && (defaultChar || usedDefaultChar)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (codePage == CP_UTF8 && (flags & ~WC_ERR_INVALID_CHARS) != 0) {
        return Fail(ERROR_INVALID_FLAGS);
    }
    std::size_t length = static_cast<std::size_t>(wideCharCount);
    if (wideCharCount == -1) {
        length = std::char_traits<char16_t>::length(wideCharStr) + 1;
    }
    const auto body = [&]() -> int {
        std::string converted;
        if (codePage == CP_UTF8) {
            if (!AppendUtf8({wideCharStr, length}, converted, (flags & WC_ERR_INVALID_CHARS) != 0)) {
                return Fail(ERROR_NO_UNICODE_TRANSLATION);
            }
        } else {
            bool usedDefault = false;
            for (std::size_t i = 0; i < length; ++i) {
                auto byte = To1252(wideCharStr[i]);
                usedDefault = usedDefault || !byte;
                converted += byte ? *byte : (defaultChar ? *defaultChar : '?');
            }
            if (usedDefaultChar) {
                *usedDefaultChar = usedDefault ? TRUE : FALSE;
            }
        }
        return Deliver(converted, multiByteStr, multiByteCount);
    };
    return korvo::CallSettingLastError(body, 0);
}
