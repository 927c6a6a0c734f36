// Which named stores live on a server: the administrator maps name prefixes to servers, and
// a store whose name starts with none of them stays in the process.
//
// The file form (the one the native build reads; its path is the value of the environment
// variable KORVO_REMOTE_STORES) has one section per prefix, UTF-8, '#' or ';' starting a
// comment line:
//
//   [farm:]
//   Host = 10.0.0.5
//   Port = 6379
//   Password = secret
//   LockLeaseMs = 30000
//
// Values: Host, Port (6379), User, Password, Database (0), ConnectTimeoutMs and
// OperationTimeoutMs (2000), LockLeaseMs (30000). An unknown name or a bad number makes the
// whole file unusable, so that a typo never silently sends a store to the wrong place.
//
// The registry form (Windows) is the same settings as the values of one subkey per prefix
// of HKLM\SOFTWARE\Korvo\Dictionary\RemoteStores: Host, User and Password as REG_SZ, the
// others as REG_DWORD; a value of the wrong type is a mistake like a bad number.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine_settings.h"
#include "remote/server_settings.h"

namespace korvo::remote {

struct RemotePrefix {
    std::u16string prefix;
    ServerSettings server;
    std::chrono::milliseconds lockLease{30000};
};

struct ConfigurationError {
    std::size_t line = 0;
    std::string text;
};

class StoreConfiguration {
public:
    // Parses the file form; on failure `error` says where and why and the result is empty.
    static StoreConfiguration Parse(std::string_view text, ConfigurationError& error);
    // The registry form; `error.line` is then the subkey's position, from 1.
    static StoreConfiguration FromMachineSettings(const std::vector<MachineSettingsKey>& keys,
                                                  ConfigurationError& error);

    // The entry with the longest prefix of `name`, compared by UTF-16 code unit and
    // case-sensitively like the names themselves; none for a store that stays local.
    const RemotePrefix* Find(std::u16string_view name) const noexcept;

    bool empty() const noexcept { return prefixes_.empty(); }
    const std::vector<RemotePrefix>& Prefixes() const noexcept { return prefixes_; }

private:
    std::vector<RemotePrefix> prefixes_;
};

// UTF-8 to UTF-16; none for bytes that are not UTF-8.
std::optional<std::u16string> Utf16FromUtf8(std::string_view text);
// UTF-16 to UTF-8; none for an unpaired surrogate.
std::optional<std::string> Utf8FromUtf16(std::u16string_view text);

// Where the registry form lives under HKEY_LOCAL_MACHINE.
inline constexpr std::u16string_view kRemoteStoresKey = u"SOFTWARE\\Korvo\\Dictionary\\RemoteStores";

} // namespace korvo::remote
