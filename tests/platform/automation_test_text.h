// Text helpers for the automation tests: readable comparisons of BSTRs on both platforms
// (OLECHAR is wchar_t on Windows and char16_t elsewhere).
#pragma once

#include "platform/platform.h"

#include <string>

namespace korvo::test {

// The code units of a BSTR (its full length, embedded NULs included) as ASCII; other code
// units show as '?'. Null is the empty string.
inline std::string Narrow(BSTR s)
{
    std::string out;
    const UINT length = SysStringLen(s);
    for (UINT i = 0; i < length; ++i) {
        const auto unit = static_cast<unsigned>(s[i]);
        out += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return out;
}

// A BSTR with the given ASCII text (which may contain NULs).
inline BSTR WideCopy(const std::string& ascii)
{
    BSTR s = SysAllocStringLen(nullptr, static_cast<UINT>(ascii.size()));
    for (std::size_t i = 0; s && i < ascii.size(); ++i) {
        s[i] = static_cast<OLECHAR>(static_cast<unsigned char>(ascii[i]));
    }
    return s;
}

} // namespace korvo::test
