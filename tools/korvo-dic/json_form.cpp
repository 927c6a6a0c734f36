#include "json_form.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <utility>

#include "persist/file_format.h"
#include "persist/records.h"
#include "platform/unique_bstr.h"
#include "type_tags.h"
#include "value_text.h"

namespace korvo::dic {

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

// ---- to JSON ----

ordered_json TextToJson(UnitsView text)
{
    if (IsWellFormed(text)) {
        return ToUtf8(text);
    }
    ordered_json units = ordered_json::array();
    for (const char16_t unit : text) {
        units.push_back(static_cast<unsigned>(unit));
    }
    return units;
}

std::string Hex(std::uint64_t bits, int digits)
{
    std::array<char, 24> text{};
    std::snprintf(text.data(), text.size(), "0x%0*llX", digits, static_cast<unsigned long long>(bits));
    return text.data();
}

ordered_json DoubleToJson(double value)
{
    if (std::isfinite(value)) {
        return value;
    }
    if (std::isnan(value)) {
        return "NaN";
    }
    return value > 0 ? "Infinity" : "-Infinity";
}

void PutValue(ordered_json& out, const FileRecord& record)
{
    const VARIANT& v = *record.value.get();
    switch (record.tag) {
    case VT_I2:
        out["value"] = V_I2(&v);
        break;
    case VT_I4:
    case VT_INT:
        out["value"] = V_I4(&v);
        break;
    case VT_I1:
        out["value"] = static_cast<int>(static_cast<std::int8_t>(V_UI1(&v)));
        break;
    case VT_UI1:
        out["value"] = static_cast<unsigned>(V_UI1(&v));
        break;
    case VT_UI2:
        out["value"] = V_UI2(&v);
        break;
    case VT_UI4:
    case VT_UINT:
        out["value"] = static_cast<std::uint32_t>(V_UI4(&v));
        break;
    case VT_ERROR:
    case VT_HRESULT:
        out["value"] = static_cast<std::uint32_t>(V_UI4(&v));
        out["hex"] = Hex(static_cast<std::uint32_t>(V_UI4(&v)), 8);
        break;
    case VT_I8:
        out["value"] = std::to_string(V_I8(&v));
        break;
    case VT_UI8:
        out["value"] = std::to_string(V_UI8(&v));
        break;
    case VT_CY:
        out["value"] = std::to_string(V_I8(&v));
        out["text"] = CurrencyText(V_I8(&v));
        break;
    case VT_R4:
        out["value"] = DoubleToJson(V_R4(&v));
        out["bits"] = Hex(static_cast<std::uint32_t>(V_UI4(&v)), 8);
        break;
    case VT_R8:
        out["value"] = DoubleToJson(V_R8(&v));
        out["bits"] = Hex(V_UI8(&v), 16);
        break;
    case VT_DATE:
        out["value"] = DoubleToJson(V_DATE(&v));
        out["bits"] = Hex(V_UI8(&v), 16);
        if (const auto text = DateText(V_DATE(&v))) {
            out["text"] = *text;
        }
        break;
    case VT_BOOL: {
        const auto raw = static_cast<std::uint16_t>(V_BOOL(&v));
        if (raw == 0 || raw == 0xFFFF) {
            out["value"] = raw != 0;
        } else {
            out["value"] = raw; // neither true nor false: kept as stored
        }
        break;
    }
    case VT_BSTR: {
        const BSTR text = V_BSTR(&v);
        out["value"] = TextToJson(UnitsView(reinterpret_cast<const char16_t*>(text), SysStringLen(text)));
        break;
    }
    default:
        out["value"] = nullptr;
        break; // Empty, Null, Void, and an object reference to no object
    }
}

std::string BytesHex(const std::vector<std::uint8_t>& bytes)
{
    std::string text;
    for (const std::uint8_t byte : bytes) {
        text += Hex(byte, 2).substr(2);
    }
    return text;
}

// ---- from JSON ----

class RecordError {
public:
    explicit RecordError(std::string message) : message_(std::move(message)) {}
    const std::string& message() const { return message_; }

private:
    std::string message_;
};

[[noreturn]] void Refuse(const std::string& message)
{
    throw RecordError(message);
}

const json& Member(const json& object, const char* name)
{
    const auto found = object.find(name);
    if (found == object.end()) {
        Refuse(std::string("no \"") + name + "\"");
    }
    return *found;
}

// A number or a decimal or 0x-prefixed string, within [low, high].
template <class Integer>
Integer IntegerOf(const json& value, Integer low, Integer high)
{
    if (value.is_number_integer()) {
        const bool fits = value.is_number_unsigned() ? std::in_range<Integer>(value.get<std::uint64_t>())
                                                     : std::in_range<Integer>(value.get<std::int64_t>());
        const auto number = static_cast<Integer>(value.is_number_unsigned() ? value.get<std::uint64_t>()
                                                                            : value.get<std::int64_t>());
        if (!fits || number < low || number > high) {
            Refuse("integer out of range: " + value.dump());
        }
        return number;
    }
    if (!value.is_string()) {
        Refuse(std::string("expected an integer, not ") + value.type_name());
    }
    const auto& text = value.get_ref<const std::string&>();
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* first = text.data() + (hex ? 2 : 0);
    const char* last = text.data() + text.size();
    Integer result{};
    const auto [end, error] = std::from_chars(first, last, result, hex ? 16 : 10);
    if (error != std::errc() || end != last || result < low || result > high) {
        Refuse("not an integer in range: \"" + text + "\"");
    }
    return result;
}

template <class Integer>
Integer FullRange(const json& value)
{
    return IntegerOf<Integer>(value, std::numeric_limits<Integer>::min(), std::numeric_limits<Integer>::max());
}

// The bit pattern from "bits", else from "value"; kept as bits all the way to the file, since
// a signalling NaN that passed through a floating-point register could come back quieted.
std::uint64_t DoubleBits(const json& record)
{
    if (const auto bits = record.find("bits"); bits != record.end()) {
        return FullRange<std::uint64_t>(*bits);
    }
    const json& value = Member(record, "value");
    if (value.is_number()) {
        return std::bit_cast<std::uint64_t>(value.get<double>());
    }
    if (value == "NaN") {
        return std::bit_cast<std::uint64_t>(std::numeric_limits<double>::quiet_NaN());
    }
    if (value == "Infinity") {
        return std::bit_cast<std::uint64_t>(std::numeric_limits<double>::infinity());
    }
    if (value == "-Infinity") {
        return std::bit_cast<std::uint64_t>(-std::numeric_limits<double>::infinity());
    }
    Refuse("expected a number");
}

std::uint32_t FloatBits(const json& record)
{
    if (const auto bits = record.find("bits"); bits != record.end()) {
        return FullRange<std::uint32_t>(*bits);
    }
    const double value = std::bit_cast<double>(DoubleBits(record));
    return std::bit_cast<std::uint32_t>(static_cast<float>(value));
}

Units TextOf(const json& value)
{
    if (value.is_string()) {
        auto units = FromUtf8(value.get_ref<const std::string&>());
        if (!units) {
            Refuse("text that is not UTF-8");
        }
        return *units;
    }
    if (!value.is_array()) {
        Refuse("expected a string or an array of UTF-16 code units");
    }
    Units units;
    for (const json& unit : value) {
        units += static_cast<char16_t>(FullRange<std::uint16_t>(unit));
    }
    return units;
}

std::uint16_t BoolOf(const json& value)
{
    if (value.is_boolean()) {
        return value.get<bool>() ? 0xFFFF : 0;
    }
    return FullRange<std::uint16_t>(value);
}

std::uint16_t TagOf(const json& record)
{
    if (const auto type = record.find("type"); type != record.end()) {
        return FullRange<std::uint16_t>(*type);
    }
    const json& name = Member(record, "type_name");
    if (!name.is_string()) {
        Refuse("\"type_name\" is not a string");
    }
    const auto tag = TagOfName(name.get_ref<const std::string&>());
    if (!tag) {
        Refuse("unknown type name " + name.dump());
    }
    return *tag;
}

void FillValue(const json& record, std::uint16_t tag, UniqueVariant& out)
{
    VARIANT& v = *out.get();
    switch (tag) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_VOID:
        break;
    case VT_UNKNOWN:
        V_UNKNOWN(&v) = nullptr;
        break;
    case VT_I2:
        V_I2(&v) = FullRange<std::int16_t>(Member(record, "value"));
        break;
    case VT_I4:
    case VT_INT:
        V_I4(&v) = FullRange<std::int32_t>(Member(record, "value"));
        break;
    case VT_UI2:
        V_UI2(&v) = FullRange<std::uint16_t>(Member(record, "value"));
        break;
    case VT_UI4:
    case VT_UINT:
    case VT_ERROR:
    case VT_HRESULT:
        V_UI4(&v) = FullRange<std::uint32_t>(Member(record, "value"));
        break;
    case VT_I8:
        V_I8(&v) = FullRange<std::int64_t>(Member(record, "value"));
        break;
    case VT_CY:
        V_I8(&v) = FullRange<std::int64_t>(Member(record, "value"));
        break;
    case VT_UI8:
        V_UI8(&v) = FullRange<std::uint64_t>(Member(record, "value"));
        break;
    case VT_R4:
        V_UI4(&v) = FloatBits(record);
        break;
    case VT_R8:
        V_UI8(&v) = DoubleBits(record);
        break;
    case VT_DATE:
        V_UI8(&v) = DoubleBits(record);
        break;
    case VT_BOOL:
        V_BOOL(&v) = static_cast<VARIANT_BOOL>(BoolOf(Member(record, "value")));
        break;
    case VT_BSTR: {
        const Units text = TextOf(Member(record, "value"));
        UniqueBstr copy = UniqueBstr::CopyOf(reinterpret_cast<const OLECHAR*>(text.data()),
                                             static_cast<UINT>(text.size()));
        if (!copy) {
            Refuse("the string cannot be held in memory");
        }
        V_BSTR(&v) = copy.release();
        break;
    }
    default:
        Refuse("type " + std::to_string(tag) + " is not one a dictionary file holds");
    }
    V_VT(&v) = tag;
}

// A one-byte integer with spare bytes that are not zero: the writer would store zeros there,
// so the record is written field by field.
void WriteOneByteInteger(persist::RecordBuffer& bytes, std::uint16_t tag, std::uint8_t value, std::uint32_t spare,
                         UnitsView key)
{
    bytes.WriteValue(tag);
    bytes.WriteValue(static_cast<std::uint32_t>(value | (spare << 8)));
    bytes.WriteValue(static_cast<std::uint32_t>(key.size()));
    bytes.Write(key.data(), key.size() * sizeof(char16_t));
}

void WriteRecordOf(const json& record, persist::RecordBuffer& bytes)
{
    if (!record.is_object()) {
        Refuse("not an object");
    }
    const std::uint16_t tag = TagOf(record);
    Units key = TextOf(Member(record, "key"));
    if (tag == VT_I1 || tag == VT_UI1) {
        const json& number = Member(record, "value");
        const std::uint8_t byte = tag == VT_I1 ? static_cast<std::uint8_t>(FullRange<std::int8_t>(number))
                                               : FullRange<std::uint8_t>(number);
        std::uint32_t spare = 0;
        if (const auto found = record.find("spare_bytes"); found != record.end()) {
            spare = IntegerOf<std::uint32_t>(*found, 0, 0xFFFFFF);
        }
        WriteOneByteInteger(bytes, tag, byte, spare, key);
        return;
    }
    UniqueVariant value;
    FillValue(record, tag, value);
    const KeyView keyView(reinterpret_cast<const OLECHAR*>(key.data()), key.size());
    persist::WriteRecord(bytes, keyView, *value.get(), false);
}

std::vector<std::uint8_t> HexBytes(const json& value)
{
    if (!value.is_string()) {
        Refuse("\"trailing\" is not a string of hex digits");
    }
    const auto& text = value.get_ref<const std::string&>();
    if (text.size() % 2 != 0) {
        Refuse("\"trailing\" has an odd number of hex digits");
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t at = 0; at < text.size(); at += 2) {
        std::uint8_t byte = 0;
        const auto [end, error] = std::from_chars(text.data() + at, text.data() + at + 2, byte, 16);
        if (error != std::errc() || end != text.data() + at + 2) {
            Refuse("\"trailing\" holds a character that is not a hex digit");
        }
        bytes.push_back(byte);
    }
    return bytes;
}

void WriteFileOf(const json& document, persist::RecordBuffer& bytes)
{
    if (!document.is_object()) {
        Refuse("the document is not an object");
    }
    const json& records = Member(document, "records");
    if (!records.is_array()) {
        Refuse("\"records\" is not an array");
    }
    persist::WriteMagic(bytes);
    std::size_t index = 0;
    for (const json& record : records) {
        try {
            WriteRecordOf(record, bytes);
        } catch (const RecordError& error) {
            Refuse("record " + std::to_string(index) + ": " + error.message());
        }
        ++index;
    }
    const auto endMarker = document.find("end_marker");
    if (endMarker != document.end() && !endMarker->is_boolean()) {
        Refuse("\"end_marker\" is not true or false");
    }
    if (endMarker == document.end() || endMarker->get<bool>()) {
        persist::WriteEndMarker(bytes);
    }
    if (const auto trailing = document.find("trailing"); trailing != document.end()) {
        const auto extra = HexBytes(*trailing);
        bytes.Write(extra.data(), extra.size());
    }
}

} // namespace

ordered_json RecordToJson(const FileRecord& record)
{
    ordered_json out = ordered_json::object();
    out["offset"] = record.offset;
    out["key"] = TextToJson(record.key);
    out["type"] = record.tag;
    out["type_name"] = std::string(TagName(record.tag).value_or("?"));
    PutValue(out, record);
    if (record.spareBytes != 0) {
        out["spare_bytes"] = Hex(record.spareBytes, 6);
    }
    return out;
}

ordered_json FileToJson(const ScannedFile& file, const std::vector<const FileRecord*>& records)
{
    ordered_json out = ordered_json::object();
    out["magic"] = "fDIC";
    ordered_json list = ordered_json::array();
    for (const FileRecord* record : records) {
        list.push_back(RecordToJson(*record));
    }
    out["records"] = std::move(list);
    out["end_marker"] = file.endMarker;
    if (!file.trailing.empty()) {
        out["trailing"] = BytesHex(file.trailing);
    }
    if (file.problem) {
        out["problem"] = {{"offset", file.problem->offset}, {"reason", file.problem->reason}};
    }
    return out;
}

bool FileFromJson(const json& document, persist::RecordBuffer& bytes, std::string& error)
{
    try {
        WriteFileOf(document, bytes);
    } catch (const RecordError& refused) {
        error = refused.message();
        return false;
    } catch (const json::exception& failed) {
        error = failed.what();
        return false;
    }
    if (FAILED(bytes.Status())) {
        error = "the file's bytes cannot be held in memory";
        return false;
    }
    return true;
}

} // namespace korvo::dic
