// A BSTR is one block: a 4-byte byte count, the code units, and a NUL code unit. The string
// pointer points at the first code unit, so the count sits just in front of it.
#include "allocation.h"
#include "oleauto.h"

#include <cstdint>
#include <cstring>

namespace {

using korvo::posix::RuntimeAlloc;
using korvo::posix::RuntimeFree;

constexpr std::size_t kPrefixBytes = sizeof(std::uint32_t);
// Largest byte count whose block size still fits the 32-bit count and its terminator.
constexpr std::uint64_t kMaxByteCount = 0x7FFFFFFFu - kPrefixBytes - sizeof(OLECHAR);

std::uint32_t* PrefixOf(BSTR s)
{
    return reinterpret_cast<std::uint32_t*>(s) - 1;
}

// Allocates a string of byteCount bytes plus terminator; the content is left to the caller.
BSTR AllocateBytes(std::uint64_t byteCount)
{
    if (byteCount > kMaxByteCount) {
        return nullptr;
    }
    // Rounded up to whole code units, plus the terminating code unit.
    const std::size_t payload = static_cast<std::size_t>((byteCount + 1) / 2 * 2 + sizeof(OLECHAR));
    auto* block = static_cast<unsigned char*>(RuntimeAlloc(kPrefixBytes + payload));
    if (!block) {
        return nullptr;
    }
    const auto count = static_cast<std::uint32_t>(byteCount);
    std::memcpy(block, &count, kPrefixBytes);
    std::memset(block + kPrefixBytes + byteCount, 0, payload - byteCount);
    return reinterpret_cast<BSTR>(block + kPrefixBytes);
}

} // namespace

extern "C" BSTR SysAllocString(const OLECHAR* text)
{
    if (!text) {
        return nullptr;
    }
    UINT length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return SysAllocStringLen(text, length);
}

extern "C" BSTR SysAllocStringLen(const OLECHAR* text, UINT length)
{
    BSTR s = AllocateBytes(static_cast<std::uint64_t>(length) * sizeof(OLECHAR));
    if (s && text) {
        std::memcpy(s, text, static_cast<std::size_t>(length) * sizeof(OLECHAR));
    }
    return s;
}

extern "C" BSTR SysAllocStringByteLen(LPCSTR text, UINT len)
{
    BSTR s = AllocateBytes(len);
    if (s && text) {
        std::memcpy(s, text, len);
    }
    return s;
}

extern "C" INT SysReAllocStringLen(BSTR* string, const OLECHAR* text, UINT len)
{
    if (!string) {
        return FALSE;
    }
    // A fresh block first, so that the source may be (part of) the old string.
    BSTR fresh = SysAllocStringLen(text, len);
    if (!fresh) {
        return FALSE;
    }
    SysFreeString(*string);
    *string = fresh;
    return TRUE;
}

extern "C" UINT SysStringByteLen(BSTR bstr)
{
    return bstr ? *PrefixOf(bstr) : 0;
}

extern "C" UINT SysStringLen(BSTR string)
{
    return SysStringByteLen(string) / sizeof(OLECHAR);
}

extern "C" void SysFreeString(BSTR text)
{
    if (text) {
        RuntimeFree(PrefixOf(text));
    }
}
