#include "remote/store_configuration.h"

#include <charconv>
#include <limits>

namespace korvo::remote {

namespace {

std::string_view Trim(std::string_view text) noexcept
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool ParseNumber(std::string_view text, std::uint64_t maximum, std::uint64_t& value) noexcept
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size() && value <= maximum;
}

// Applies one "Name = value" line to the section's entry; the error text when it cannot.
std::string ApplyValue(RemotePrefix& entry, std::string_view name, std::string_view value)
{
    const auto number = [&](std::uint64_t maximum, auto assign) -> std::string {
        std::uint64_t parsed = 0;
        if (!ParseNumber(value, maximum, parsed)) {
            return std::string(name) + " is not a number up to " + std::to_string(maximum);
        }
        assign(parsed);
        return {};
    };
    const auto milliseconds = [&](std::chrono::milliseconds& target) {
        return number(std::numeric_limits<std::int32_t>::max(),
                      [&](std::uint64_t parsed) { target = std::chrono::milliseconds(parsed); });
    };
    if (name == "Host") {
        entry.server.host = value;
        return value.empty() ? "Host is empty" : "";
    }
    if (name == "Port") {
        return number(65535, [&](std::uint64_t parsed) { entry.server.port = static_cast<std::uint16_t>(parsed); });
    }
    if (name == "User") {
        entry.server.user = value;
        return {};
    }
    if (name == "Password") {
        entry.server.password = value;
        return {};
    }
    if (name == "Database") {
        return number(std::numeric_limits<std::uint32_t>::max(),
                      [&](std::uint64_t parsed) { entry.server.database = static_cast<std::uint32_t>(parsed); });
    }
    if (name == "ConnectTimeoutMs") {
        return milliseconds(entry.server.connectTimeout);
    }
    if (name == "OperationTimeoutMs") {
        return milliseconds(entry.server.operationTimeout);
    }
    if (name == "LockLeaseMs") {
        return milliseconds(entry.lockLease);
    }
    return "unknown setting " + std::string(name);
}

} // namespace

std::optional<std::u16string> Utf16FromUtf8(std::string_view text)
{
    std::u16string result;
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
        if (extra < 0 || at + static_cast<std::size_t>(extra) >= text.size() + (extra == 0 ? 1 : 0)) {
            return std::nullopt;
        }
        char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int i = 1; i <= extra; ++i) {
            const auto next = static_cast<unsigned char>(text[at + static_cast<std::size_t>(i)]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (code < kLeast[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return std::nullopt;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            result.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            result.push_back(static_cast<char16_t>(code));
        }
        at += static_cast<std::size_t>(extra) + 1;
    }
    return result;
}

std::optional<std::string> Utf8FromUtf16(std::u16string_view text)
{
    std::string result;
    for (std::size_t at = 0; at < text.size(); ++at) {
        char32_t code = text[at];
        if (code >= 0xD800 && code <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
            text[at + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++at] - 0xDC00);
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            return std::nullopt;
        }
        if (code < 0x80) {
            result.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            result.push_back(static_cast<char>(0xC0 | (code >> 6)));
            result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            result.push_back(static_cast<char>(0xE0 | (code >> 12)));
            result.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            result.push_back(static_cast<char>(0xF0 | (code >> 18)));
            result.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return result;
}

StoreConfiguration StoreConfiguration::FromMachineSettings(const std::vector<MachineSettingsKey>& keys,
                                                           ConfigurationError& error)
{
    StoreConfiguration configuration;
    for (std::size_t index = 0; index < keys.size(); ++index) {
        const auto fail = [&](std::string why) {
            error = {index + 1, std::move(why)};
            return StoreConfiguration{};
        };
        RemotePrefix entry;
        entry.prefix = keys[index].name;
        for (const MachineSetting& setting : keys[index].settings) {
            if (setting.name.empty()) {
                continue; // the key's default value holds nothing of ours
            }
            const auto name = Utf8FromUtf16(setting.name);
            const auto text = Utf8FromUtf16(setting.text);
            if (!name || !text) {
                return fail("a value is not valid text");
            }
            const bool wantsText = *name == "Host" || *name == "User" || *name == "Password";
            if (wantsText == setting.isNumber) {
                return fail(*name + (wantsText ? " is REG_SZ" : " is REG_DWORD"));
            }
            if (auto why = ApplyValue(entry, *name, setting.isNumber ? std::to_string(setting.number) : *text);
                !why.empty()) {
                return fail(std::move(why));
            }
        }
        configuration.prefixes_.push_back(std::move(entry));
    }
    return configuration;
}

StoreConfiguration StoreConfiguration::Parse(std::string_view text, ConfigurationError& error)
{
    StoreConfiguration configuration;
    const auto fail = [&](std::size_t line, std::string why) {
        error = {line, std::move(why)};
        return StoreConfiguration{};
    };
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const auto end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == '#' || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                return fail(lineNumber, "a section line ends with ']'");
            }
            auto prefix = Utf16FromUtf8(line.substr(1, line.size() - 2));
            if (!prefix) {
                return fail(lineNumber, "the prefix is not UTF-8");
            }
            for (const auto& known : configuration.prefixes_) {
                if (known.prefix == *prefix) {
                    return fail(lineNumber, "the prefix is configured twice");
                }
            }
            // Aggregate braces would zero the defaults of the members they name.
            RemotePrefix entry;
            entry.prefix = std::move(*prefix);
            configuration.prefixes_.push_back(std::move(entry));
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            return fail(lineNumber, "a setting line is Name = value");
        }
        if (configuration.prefixes_.empty()) {
            return fail(lineNumber, "a setting before the first [prefix]");
        }
        if (auto why = ApplyValue(configuration.prefixes_.back(), Trim(line.substr(0, equals)),
                                  Trim(line.substr(equals + 1)));
            !why.empty()) {
            return fail(lineNumber, std::move(why));
        }
    }
    return configuration;
}

const RemotePrefix* StoreConfiguration::Find(std::u16string_view name) const noexcept
{
    const RemotePrefix* best = nullptr;
    for (const auto& entry : prefixes_) {
        if (name.starts_with(entry.prefix) && (best == nullptr || entry.prefix.size() > best->prefix.size())) {
            best = &entry;
        }
    }
    return best;
}

} // namespace korvo::remote
