// VariantChangeType: the text form of every scalar value, in the forms the Windows runtime
// gives with flags 0 and the en-US locale; other targets only as a plain copy of a value
// that already has the type.
#include "oleauto.h"
#include "variant_type.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

using korvo::posix::ValidateVariantType;

namespace {

HRESULT MakeText(std::string_view ascii, BSTR* out)
{
    BSTR s = SysAllocStringLen(nullptr, static_cast<UINT>(ascii.size()));
    if (!s) {
        return E_OUTOFMEMORY;
    }
    for (std::size_t i = 0; i < ascii.size(); ++i) {
        s[i] = static_cast<OLECHAR>(static_cast<unsigned char>(ascii[i]));
    }
    *out = s;
    return S_OK;
}

template <typename Integer>
HRESULT IntegerText(Integer value, BSTR* out)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return MakeText(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)), out);
}

// printf's %.<digits>G in the C locale; a negative zero prints as "0".
HRESULT RealText(double value, int significantDigits, BSTR* out)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general,
                                      significantDigits);
    std::string text(buffer, result.ptr);
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    if (!text.empty() && text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos) {
        text = "0";
    }
    return MakeText(text, out);
}

// An unsigned magnitude with `scale` decimal places, trailing fractional zeros dropped.
HRESULT ScaledText(bool negative, unsigned __int128 magnitude, unsigned scale, BSTR* out)
{
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    if (digits.size() <= scale) {
        digits.insert(0, scale + 1 - digits.size(), '0');
    }
    std::string text = digits.substr(0, digits.size() - scale);
    std::string fraction = digits.substr(digits.size() - scale);
    while (!fraction.empty() && fraction.back() == '0') {
        fraction.pop_back();
    }
    if (!fraction.empty()) {
        text += "." + fraction;
    }
    if (negative && text != "0") {
        text.insert(0, "-");
    }
    return MakeText(text, out);
}

HRESULT CurrencyText(const CY& value, BSTR* out)
{
    const bool negative = value.int64 < 0;
    const auto bits = static_cast<std::uint64_t>(value.int64);
    const std::uint64_t magnitude = negative ? 0 - bits : bits;
    return ScaledText(negative, magnitude, 4, out);
}

HRESULT DecimalText(const DECIMAL& value, BSTR* out)
{
    const unsigned __int128 magnitude = (static_cast<unsigned __int128>(value.Hi32) << 64) | value.Lo64;
    return ScaledText((value.sign & DECIMAL_NEG) != 0, magnitude, value.scale, out);
}

// --- Dates -------------------------------------------------------------------------------

constexpr double kFirstDate = -657434.0; // 1/1/100
constexpr double kLastDate = 2958465.0; // 12/31/9999

struct CivilTime {
    long long year;
    unsigned month, day, hour, minute, second;
};

// Days since 1/1/1970 to a proleptic Gregorian date.
void CivilFromDays(long long z, CivilTime& t)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    t.day = doy - (153 * mp + 2) / 5 + 1;
    t.month = mp < 10 ? mp + 3 : mp - 9;
    t.year = static_cast<long long>(yoe) + era * 400 + (t.month <= 2 ? 1 : 0);
}

// The day and time of day of a DATE: whole days from 12/30/1899, and the fraction's
// magnitude as the time on that day (so -1.25 is 12/29/1899 6:00 AM), to the nearest second.
bool SplitDate(double date, CivilTime& t)
{
    if (!(date > kFirstDate - 1.0 && date < kLastDate + 1.0)) {
        return false;
    }
    double whole = date < 0 ? std::ceil(date) : std::floor(date);
    long long seconds = std::llround(std::fabs(date - whole) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        whole += date < 0 ? -1.0 : 1.0;
    }
    constexpr long long kDaysFrom1970To18991230 = -25569;
    CivilFromDays(static_cast<long long>(whole) + kDaysFrom1970To18991230, t);
    t.hour = static_cast<unsigned>(seconds / 3600);
    t.minute = static_cast<unsigned>(seconds / 60 % 60);
    t.second = static_cast<unsigned>(seconds % 60);
    return true;
}

// en-US short date "M/d/yyyy" and long time "h:mm:ss tt"; a date with no time of day
// prints as the date alone, one on day 0 (12/30/1899) as the time alone.
HRESULT DateText(double date, BSTR* out)
{
    CivilTime t{};
    if (!SplitDate(date, t)) {
        return E_INVALIDARG;
    }
    const double whole = date < 0 ? std::ceil(date) : std::floor(date);
    const double partial = date - whole;
    const bool timeOnly = whole == 0.0;
    const bool dateOnly = !timeOnly && partial > -1e-12 && partial < 1e-12;

    char buffer[64];
    int length = 0;
    if (!timeOnly) {
        length = std::snprintf(buffer, sizeof buffer, "%u/%u/%04lld", t.month, t.day, t.year);
    }
    if (!dateOnly) {
        const unsigned hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
        length += std::snprintf(buffer + length, sizeof buffer - static_cast<std::size_t>(length), "%s%u:%02u:%02u %s",
                                timeOnly ? "" : " ", hour12, t.minute, t.second, t.hour < 12 ? "AM" : "PM");
    }
    return MakeText(std::string_view(buffer, static_cast<std::size_t>(length)), out);
}

// --- Objects and arrays ------------------------------------------------------------------

HRESULT ScalarText(const VARIANT& v, USHORT flags, BSTR* out);

HRESULT DefaultPropertyText(IDispatch* object, USHORT flags, BSTR* out)
{
    if (!object) {
        return DISP_E_BADVARTYPE;
    }
    if (flags & VARIANT_NOVALUEPROP) {
        return DISP_E_TYPEMISMATCH;
    }
    DISPPARAMS noArguments = {nullptr, nullptr, 0, 0};
    VARIANT value;
    VariantInit(&value);
    if (FAILED(object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &noArguments, &value,
                              nullptr, nullptr))) {
        return DISP_E_TYPEMISMATCH;
    }
    VARIANT text;
    VariantInit(&text);
    HRESULT hr = VariantChangeType(&text, &value, flags, VT_BSTR);
    VariantClear(&value);
    if (SUCCEEDED(hr)) {
        *out = V_BSTR(&text);
    }
    return hr;
}

// A vector of bytes becomes a string of those bytes, as the Windows runtime does.
HRESULT ByteArrayText(SAFEARRAY* array, BSTR* out)
{
    if (!array || SafeArrayGetDim(array) != 1 || SafeArrayGetElemsize(array) != 1) {
        return DISP_E_TYPEMISMATCH;
    }
    void* data = nullptr;
    HRESULT hr = SafeArrayAccessData(array, &data);
    if (FAILED(hr)) {
        return hr;
    }
    *out = SysAllocStringByteLen(static_cast<LPCSTR>(data), array->rgsabound[0].cElements);
    SafeArrayUnaccessData(array);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ScalarText(const VARIANT& v, USHORT flags, BSTR* out)
{
    switch (V_VT(&v)) {
    case VT_EMPTY:
        return MakeText("", out);
    case VT_I1:
        return IntegerText(static_cast<signed char>(v.cVal), out);
    case VT_UI1:
        return IntegerText(v.bVal, out);
    case VT_I2:
        return IntegerText(v.iVal, out);
    case VT_UI2:
        return IntegerText(v.uiVal, out);
    case VT_I4:
        return IntegerText(v.lVal, out);
    case VT_UI4:
        return IntegerText(v.ulVal, out);
    case VT_INT:
        return IntegerText(v.intVal, out);
    case VT_UINT:
        return IntegerText(v.uintVal, out);
    case VT_I8:
        return IntegerText(v.llVal, out);
    case VT_UI8:
        return IntegerText(v.ullVal, out);
    case VT_R4:
        return RealText(v.fltVal, 7, out);
    case VT_R8:
        return RealText(v.dblVal, 15, out);
    case VT_CY:
        return CurrencyText(v.cyVal, out);
    case VT_DATE:
        return DateText(v.date, out);
    case VT_DECIMAL:
        return DecimalText(v.decVal, out);
    case VT_BOOL:
        if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) {
            return MakeText(v.boolVal ? "True" : "False", out);
        }
        return IntegerText(v.boolVal, out);
    case VT_BSTR: {
        *out = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(v.bstrVal), SysStringByteLen(v.bstrVal));
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    case VT_DISPATCH:
        return DefaultPropertyText(v.pdispVal, flags, out);
    case VT_ARRAY | VT_UI1:
    case VT_ARRAY | VT_I1:
        return ByteArrayText(v.parray, out);
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

} // namespace

extern "C" HRESULT VariantChangeType(VARIANTARG* destination, VARIANTARG* source, USHORT flags, VARTYPE vt)
{
    if (!destination || !source) {
        return E_INVALIDARG;
    }
    if ((vt & VT_TYPEMASK) == VT_CLSID) {
        return DISP_E_BADVARTYPE;
    }
    HRESULT hr = ValidateVariantType(V_VT(source));
    if (FAILED(hr)) {
        return hr;
    }
    hr = ValidateVariantType(vt);
    if (FAILED(hr)) {
        return hr;
    }
    if (V_ISBYREF(source) && !V_BYREF(source)) {
        return DISP_E_TYPEMISMATCH;
    }

    // Work on a by-value copy, so that the source may be the destination.
    VARIANT value;
    VariantInit(&value);
    hr = VariantCopyInd(&value, source);
    if (FAILED(hr)) {
        return hr;
    }
    VARIANT result;
    VariantInit(&result);
    if (V_VT(&value) == vt) {
        hr = VariantCopy(&result, &value);
    } else if (vt == VT_BSTR) {
        BSTR text = nullptr;
        hr = ScalarText(value, flags, &text);
        if (SUCCEEDED(hr)) {
            V_VT(&result) = VT_BSTR;
            V_BSTR(&result) = text;
        }
    } else {
        // Only conversions to text are offered on this platform.
        hr = E_NOTIMPL;
    }
    VariantClear(&value);
    if (FAILED(hr)) {
        return hr;
    }
    hr = VariantClear(destination);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    std::memcpy(destination, &result, sizeof result);
    return S_OK;
}
