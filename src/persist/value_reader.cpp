#include "persist/value_reader.h"

#include <string>

#include "platform/unique_bstr.h"

namespace korvo::persist {

int PayloadBytes(std::uint16_t tag) noexcept
{
    switch (tag) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_UNKNOWN:
    case VT_VOID:
        return 0;
    case VT_I2:
    case VT_BOOL:
    case VT_UI2:
        return 2;
    case VT_I4:
    case VT_R4:
    case VT_ERROR:
    case VT_I1:
    case VT_UI1:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_HRESULT:
        return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_I8:
    case VT_UI8:
        return 8;
    default:
        return -1;
    }
}

namespace {

HRESULT ReadString(FileReader& file, VARIANT& value) noexcept
{
    std::uint32_t length = 0;
    if (const HRESULT read = file.ReadValue(length); FAILED(read)) {
        return read;
    }
    std::basic_string<OLECHAR> text;
    if (const HRESULT read = file.ReadText(length, text); FAILED(read)) {
        return read;
    }
    UniqueBstr string = UniqueBstr::CopyOf(text.c_str(), length);
    if (!string) {
        return hresult::kTextNotAllocated;
    }
    V_BSTR(&value) = string.release();
    V_VT(&value) = VT_BSTR;
    return S_OK;
}

HRESULT ReadFixedPayload(FileReader& file, std::uint16_t tag, int bytes, VARIANT& value) noexcept
{
    std::uint64_t payload = 0;
    if (const HRESULT read = file.Read(&payload, static_cast<std::size_t>(bytes)); FAILED(read)) {
        return read;
    }
    if (tag == VT_I1 || tag == VT_UI1) {
        payload &= 0xFF; // only the first of the four bytes carries the value
    }
    V_UI8(&value) = payload;
    if (tag == VT_UNKNOWN) {
        V_UNKNOWN(&value) = nullptr;
    }
    V_VT(&value) = tag;
    return S_OK;
}

} // namespace

HRESULT ReadItemValue(FileReader& file, std::uint16_t tag, VARIANT& value) noexcept
{
    if (tag == VT_BSTR) {
        return ReadString(file, value);
    }
    const int bytes = PayloadBytes(tag);
    if (bytes < 0) {
        return hresult::kInvalidData;
    }
    return ReadFixedPayload(file, tag, bytes, value);
}

} // namespace korvo::persist
