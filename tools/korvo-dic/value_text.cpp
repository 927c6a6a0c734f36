#include "value_text.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "type_tags.h"

namespace korvo::dic {

namespace {

// The first and last dates an automation date can show: 0100-01-01 and 9999-12-31.
constexpr double kFirstDate = -657434.0;
constexpr double kLastDate = 2958466.0;

std::string Hex32(std::uint32_t value)
{
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "0x%08X", static_cast<unsigned>(value));
    return text.data();
}

std::string BoolText(std::uint16_t raw)
{
    if (raw == 0) {
        return "False";
    }
    if (raw == 0xFFFF) {
        return "True";
    }
    return std::to_string(raw) + " (neither True nor False)";
}

std::string ValueText(const FileRecord& record)
{
    const VARIANT& v = *record.value.get();
    switch (record.tag) {
    case VT_I2:
        return std::to_string(V_I2(&v));
    case VT_I4:
    case VT_INT:
        return std::to_string(V_I4(&v));
    case VT_I1:
        return std::to_string(static_cast<std::int8_t>(V_UI1(&v)));
    case VT_UI1:
        return std::to_string(V_UI1(&v));
    case VT_UI2:
        return std::to_string(V_UI2(&v));
    case VT_UI4:
    case VT_UINT:
        return std::to_string(static_cast<std::uint32_t>(V_UI4(&v)));
    case VT_ERROR:
    case VT_HRESULT:
        return Hex32(static_cast<std::uint32_t>(V_UI4(&v)));
    case VT_I8:
        return std::to_string(V_I8(&v));
    case VT_UI8:
        return std::to_string(V_UI8(&v));
    case VT_CY:
        return CurrencyText(V_I8(&v));
    case VT_R4:
        return ExactFloat(V_R4(&v));
    case VT_R8:
        return ExactDouble(V_R8(&v));
    case VT_DATE:
        return DateText(V_DATE(&v)).value_or(ExactDouble(V_DATE(&v)));
    case VT_BOOL:
        return BoolText(static_cast<std::uint16_t>(V_BOOL(&v)));
    case VT_BSTR:
        return Quoted(UnitsView(reinterpret_cast<const char16_t*>(V_BSTR(&v)), SysStringLen(V_BSTR(&v))));
    case VT_UNKNOWN:
        return "(no object)";
    default:
        return "";
    }
}

} // namespace

std::string CurrencyText(std::int64_t scaled)
{
    const bool negative = scaled < 0;
    const std::uint64_t magnitude = negative ? std::uint64_t{0} - static_cast<std::uint64_t>(scaled)
                                             : static_cast<std::uint64_t>(scaled);
    std::string text = (negative ? "-" : "") + std::to_string(magnitude / 10000);
    std::array<char, 8> fraction{};
    std::snprintf(fraction.data(), fraction.size(), "%04u", static_cast<unsigned>(magnitude % 10000));
    std::string digits = fraction.data();
    while (!digits.empty() && digits.back() == '0') {
        digits.pop_back();
    }
    return digits.empty() ? text : text + "." + digits;
}

std::optional<std::string> DateText(double days)
{
    if (!(days >= kFirstDate && days < kLastDate)) {
        return std::nullopt;
    }
    using namespace std::chrono;
    const double whole = std::trunc(days);
    auto seconds = static_cast<long long>(std::llround(std::fabs(days - whole) * 86400.0));
    if (seconds >= 86400) {
        seconds = 86399; // a fraction a hair below one day stays on its day
    }
    const year_month_day date{sys_days{1899y / December / 30} + std::chrono::days{static_cast<long long>(whole)}};
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%04d-%02u-%02u %02lld:%02lld:%02lld", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), seconds / 3600,
                  seconds / 60 % 60, seconds % 60);
    return std::string(text.data());
}

std::string ExactDouble(double value)
{
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), "%.17g", value);
    return text.data();
}

std::string ExactFloat(float value)
{
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), "%.9g", static_cast<double>(value));
    return text.data();
}

std::string RecordLine(const FileRecord& record)
{
    return Quoted(record.key) + "\t" + std::string(TagName(record.tag).value_or("?")) + "\t" + ValueText(record);
}

} // namespace korvo::dic
