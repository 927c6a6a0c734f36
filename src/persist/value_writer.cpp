#include "persist/value_writer.h"

#include <cstdint>

#include "platform/unique_variant.h"

namespace korvo::persist {

namespace {

// A chain of variants referring to variants longer than this is treated as unconvertible,
// so a chain that loops back on itself cannot recurse without end.
constexpr int kMaxReferenceDepth = 64;

void WriteTag(RecordBuffer& file, VARTYPE tag) noexcept
{
    file.WriteValue(static_cast<std::uint16_t>(tag));
}

void WriteText(RecordBuffer& file, BSTR text) noexcept
{
    const UINT length = SysStringLen(text);
    file.WriteValue(static_cast<std::uint32_t>(length));
    file.Write(text, std::size_t{length} * sizeof(OLECHAR));
}

// The tags written as the variant holds them; false for every other type.
bool WriteTaggedValue(RecordBuffer& file, const VARIANT& item) noexcept
{
    const VARTYPE type = V_VT(&item);
    switch (type) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_UNKNOWN:
    case VT_VOID:
        WriteTag(file, type);
        return true;
    case VT_I2:
    case VT_BOOL:
    case VT_UI2:
        WriteTag(file, type);
        file.WriteValue(V_UI2(&item));
        return true;
    case VT_I4:
    case VT_R4:
    case VT_ERROR:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_HRESULT:
        WriteTag(file, type);
        file.WriteValue(V_UI4(&item));
        return true;
    case VT_I1:
    case VT_UI1: {
        // Four bytes, the value in the first; the other three are written as zeros.
        WriteTag(file, type);
        const std::uint32_t widened = V_UI1(&item);
        file.WriteValue(widened);
        return true;
    }
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_I8:
    case VT_UI8:
        WriteTag(file, type);
        file.WriteValue(V_UI8(&item));
        return true;
    case VT_BSTR:
        WriteTag(file, type);
        WriteText(file, V_BSTR(&item));
        return true;
    default:
        return false;
    }
}

ValueWritten WriteUnconvertible(RecordBuffer& file, bool saveEmpty) noexcept
{
    if (!saveEmpty) {
        return ValueWritten::Skipped;
    }
    WriteTag(file, VT_EMPTY);
    return ValueWritten::Record;
}

ValueWritten WriteConverted(RecordBuffer& file, const VARIANT& item, bool saveEmpty) noexcept
{
    UniqueVariant text;
    // The platform's signature takes the source as mutable; the conversion only reads it.
    if (FAILED(VariantChangeType(text.get(), const_cast<VARIANT*>(&item), 0, VT_BSTR)) || V_VT(text.get()) != VT_BSTR) {
        return WriteUnconvertible(file, saveEmpty);
    }
    WriteTag(file, VT_BSTR);
    WriteText(file, V_BSTR(text.get()));
    return ValueWritten::Record;
}

ValueWritten WriteValue(RecordBuffer& file, const VARIANT& item, bool saveEmpty, int depth) noexcept
{
    if (WriteTaggedValue(file, item)) {
        return ValueWritten::Record;
    }
    if (V_VT(&item) == (VT_BYREF | VT_VARIANT)) {
        const VARIANT* target = V_VARIANTREF(&item);
        if (target && depth < kMaxReferenceDepth) {
            return WriteValue(file, *target, saveEmpty, depth + 1);
        }
        return WriteUnconvertible(file, saveEmpty);
    }
    return WriteConverted(file, item, saveEmpty);
}

} // namespace

ValueWritten WriteItemValue(RecordBuffer& file, const VARIANT& item, bool saveEmpty) noexcept
{
    return WriteValue(file, item, saveEmpty, 0);
}

} // namespace korvo::persist
