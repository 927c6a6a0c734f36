#include "utf16_text.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace korvo::dic {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t unit) noexcept
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) noexcept
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The code point at `at`, and how many units it takes; a lone surrogate is itself.
char32_t CodePointAt(UnitsView text, std::size_t at, std::size_t& units) noexcept
{
    const char16_t unit = text[at];
    if (IsHighSurrogate(unit) && at + 1 < text.size() && IsLowSurrogate(text[at + 1])) {
        units = 2;
        return 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{text[at + 1]} - 0xDC00);
    }
    units = 1;
    return unit;
}

void AppendUtf8(std::string& out, char32_t point)
{
    if (point >= 0xD800 && point <= 0xDFFF) {
        point = kReplacement;
    }
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

void AppendUnits(Units& out, char32_t point)
{
    if (point < 0x10000) {
        out += static_cast<char16_t>(point);
        return;
    }
    point -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (point >> 10));
    out += static_cast<char16_t>(0xDC00 + (point & 0x3FF));
}

std::string Escaped(char16_t unit)
{
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "\\u%04X", static_cast<unsigned>(unit));
    return text.data();
}

// Bytes of a sequence led by `lead`, 0 for a byte that cannot lead one.
int SequenceLength(unsigned char lead) noexcept
{
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

} // namespace

bool IsWellFormed(UnitsView text) noexcept
{
    for (std::size_t at = 0; at < text.size();) {
        std::size_t units = 0;
        const char32_t point = CodePointAt(text, at, units);
        if (point >= 0xD800 && point <= 0xDFFF) {
            return false;
        }
        at += units;
    }
    return true;
}

std::string ToUtf8(UnitsView text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        std::size_t units = 0;
        AppendUtf8(out, CodePointAt(text, at, units));
        at += units;
    }
    return out;
}

std::optional<Units> FromUtf8(std::string_view text)
{
    Units out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const int length = SequenceLength(lead);
        if (length == 0 || at + static_cast<std::size_t>(length) > text.size()) {
            return std::nullopt;
        }
        char32_t point = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (int i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + static_cast<std::size_t>(i)]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            point = (point << 6) | (next & 0x3F);
        }
        const bool overlong = (length == 3 && point < 0x800) || (length == 4 && point < 0x10000);
        if (overlong || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            return std::nullopt;
        }
        AppendUnits(out, point);
        at += static_cast<std::size_t>(length);
    }
    return out;
}

std::string Quoted(UnitsView text)
{
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        std::size_t units = 0;
        const char32_t point = CodePointAt(text, at, units);
        if (point == '"' || point == '\\') {
            out += '\\';
            out += static_cast<char>(point);
        } else if (point < 0x20 || point == 0x7F || (point >= 0xD800 && point <= 0xDFFF)) {
            out += Escaped(static_cast<char16_t>(point));
        } else {
            AppendUtf8(out, point);
        }
        at += units;
    }
    return out + "\"";
}

} // namespace korvo::dic
