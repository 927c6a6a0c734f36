#include "share/remote_entry_codec.h"

#include "errors/report_error.h"
#include "persist/buffered_file.h"
#include "persist/value_reader.h"
#include "persist/value_writer.h"
#include "platform/hresults.h"
#include "platform/unique_safearray.h"
#include "platform/unique_variant.h"
#include "share/remote_results.h"
#include "store/item_array.h"

namespace korvo::remote_entry {
namespace {

void AppendLength(std::string& bytes, std::size_t length)
{
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<char>((length >> shift) & 0xFF));
    }
}

std::uint32_t ReadLength(std::string_view bytes, std::size_t at) noexcept
{
    std::uint32_t length = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        length |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return length;
}

bool HoldsObject(const VARIANT& value) noexcept
{
    const VARIANT* held = &value;
    if (V_VT(held) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(held) != nullptr) {
        held = V_VARIANTREF(held);
    }
    if ((V_VT(held) & VT_ARRAY) != 0) {
        return true;
    }
    switch (V_VT(held) & VT_TYPEMASK) {
    case VT_DISPATCH:
    case VT_UNKNOWN:
    case VT_RECORD:
        return true;
    default:
        return false;
    }
}

} // namespace

std::string_view Bytes(KeyView text) noexcept
{
    return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(OLECHAR)};
}

std::string Hex(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char byte : bytes) {
        hex.push_back(kDigits[(static_cast<unsigned char>(byte) >> 4) & 0xF]);
        hex.push_back(kDigits[static_cast<unsigned char>(byte) & 0xF]);
    }
    return hex;
}

std::string SortKey(KeyView key, CompareMode mode)
{
    std::string sortKey;
    sortKey.reserve(key.size() * 2);
    for (OLECHAR unit : key) {
        if (mode == CompareMode::Text && unit >= u'A' && unit <= u'Z') {
            unit = static_cast<OLECHAR>(unit - u'A' + u'a');
        }
        sortKey.push_back(static_cast<char>(unit >> 8));
        sortKey.push_back(static_cast<char>(unit & 0xFF));
    }
    return sortKey;
}

std::string_view ModeArgument(CompareMode mode) noexcept
{
    return mode == CompareMode::Text ? "1" : "0";
}

std::string KeyPart(KeyView key)
{
    std::string part;
    AppendLength(part, key.size() * sizeof(OLECHAR));
    part.append(Bytes(key));
    return part;
}

HRESULT AppendValuePart(const VARIANT& value, std::string& part)
{
    if (HoldsObject(value)) {
        return ReportError(KORVO_MSG_REMOTE_OBJECT_REFUSED, kRemoteValueRefused);
    }
    persist::RecordBuffer record;
    if (persist::WriteItemValue(record, value, false) == persist::ValueWritten::Skipped) {
        return ReportError(KORVO_MSG_REMOTE_VALUE_REFUSED, kRemoteValueRefused);
    }
    if (FAILED(record.Status())) {
        return ReportError(KORVO_MSG_OUT_OF_MEMORY, E_OUTOFMEMORY);
    }
    const auto bytes = record.Bytes();
    AppendLength(part, bytes.size());
    part.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return S_OK;
}

bool SplitGroup(std::string_view group, std::vector<EntryView>& entries)
{
    std::size_t at = 0;
    while (at < group.size()) {
        if (group.size() - at < 4) {
            return false;
        }
        const std::uint32_t keyBytes = ReadLength(group, at);
        if (keyBytes % sizeof(OLECHAR) != 0 || group.size() - at - 4 < keyBytes + 4ull) {
            return false;
        }
        const char* keyData = group.data() + at + 4;
        at += 4 + keyBytes;
        const std::uint32_t valueBytes = ReadLength(group, at);
        if (group.size() - at - 4 < valueBytes) {
            return false;
        }
        EntryView entry;
        entry.key = KeyView(reinterpret_cast<const OLECHAR*>(keyData), keyBytes / sizeof(OLECHAR));
        entry.value = group.substr(at + 4, valueBytes);
        entries.push_back(entry);
        at += 4 + valueBytes;
    }
    return true;
}

std::string EntryBytes(const EntryView& entry)
{
    std::string bytes = KeyPart(entry.key);
    AppendLength(bytes, entry.value.size());
    bytes.append(entry.value);
    return bytes;
}

HRESULT DecodeValue(std::string_view record, VARIANT& value) noexcept
{
    persist::FileReader reader;
    if (FAILED(reader.OpenMemory({reinterpret_cast<const std::byte*>(record.data()), record.size()}))) {
        return E_OUTOFMEMORY;
    }
    std::uint16_t tag = 0;
    if (FAILED(reader.ReadValue(tag))) {
        return hresult::kInvalidData;
    }
    VariantInit(&value);
    return persist::ReadItemValue(reader, tag, value);
}

HRESULT DecodeValues(std::span<const EntryView> entries, VARIANT& result) noexcept
{
    UniqueSafeArray array = UniqueSafeArray::VariantVector(static_cast<ULONG>(entries.size()));
    if (!array) {
        return E_OUTOFMEMORY;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        UniqueVariant value;
        if (const HRESULT decoded = DecodeValue(entries[i].value, *value.get()); FAILED(decoded)) {
            return decoded;
        }
        LONG index = static_cast<LONG>(i);
        if (FAILED(SafeArrayPutElement(array.get(), &index, value.get()))) {
            return E_FAIL;
        }
    }
    SetArrayResult(&result, array.release());
    return S_OK;
}

HRESULT DecodeGroup(std::string_view group, VARIANT& result)
{
    std::vector<EntryView> entries;
    if (!SplitGroup(group, entries) || entries.empty()) {
        return hresult::kInvalidData;
    }
    if (entries.size() == 1) {
        return DecodeValue(entries.front().value, result);
    }
    return DecodeValues(entries, result);
}

HRESULT DecodeStoreRead(remote::Reply& reply, StoreRead& read)
{
    if (reply.elements.empty() || reply.elements.size() % 2 != 1) {
        return hresult::kInvalidData;
    }
    read.version = std::move(reply.elements.front().text);
    read.groups.clear();
    read.entries.clear();
    for (std::size_t at = 1; at < reply.elements.size(); at += 2) {
        read.groups.push_back({std::move(reply.elements[at].text), std::move(reply.elements[at + 1].text), 0, 0});
    }
    // The views point into the groups' text, which no longer moves.
    for (auto& group : read.groups) {
        group.first = read.entries.size();
        if (!SplitGroup(group.entries, read.entries) || read.entries.size() == group.first) {
            return hresult::kInvalidData;
        }
        group.count = read.entries.size() - group.first;
    }
    return S_OK;
}

Argument Argument::ValueOf(const VARIANT& value) noexcept
{
    return Argument(Kind::Value, {}, &value);
}

Argument Argument::EntryOf(KeyView key, const VARIANT& value) noexcept
{
    return Argument(Kind::Entry, key, &value);
}

HRESULT Argument::Encode(CompareMode mode, std::string& made, std::string_view& bytes) const
{
    HRESULT encoded = S_OK;
    switch (kind_) {
    case Kind::Text:
        bytes = text_;
        return S_OK;
    case Kind::Mode:
        bytes = ModeArgument(mode);
        return S_OK;
    case Kind::SortKey:
        made = SortKey(key_, mode);
        break;
    case Kind::KeyPart:
        made = KeyPart(key_);
        break;
    case Kind::Value:
        encoded = AppendValuePart(*value_, made);
        break;
    case Kind::Entry:
        made = KeyPart(key_);
        encoded = AppendValuePart(*value_, made);
        break;
    }
    bytes = made;
    return encoded;
}

} // namespace korvo::remote_entry
