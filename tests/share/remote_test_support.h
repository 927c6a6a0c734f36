// A redis-server for the remote store tests and the configuration file that sends the names
// under "farm:" to it. Natively the child processes of a test read the same file: its path
// travels in their environment.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "redis_test_server.h"
#include "share/named_store_registry.h"

namespace korvo::testing {

inline constexpr const char* kConfigurationVariable = "KORVO_REMOTE_STORES";

inline void SetEnvironment(const char* name, const std::string& value)
{
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

// Points this process (and the children it starts later) at `text` as its configuration.
inline std::string UseConfiguration(const std::string& text)
{
    static int serial = 0;
    const auto path = std::filesystem::temp_directory_path() /
                      ("korvo-remote-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial) +
                       ".ini");
    std::ofstream(path, std::ios::binary) << text;
    SetEnvironment(kConfigurationVariable, path.string());
    ForgetRemoteConfiguration();
    return path.string();
}

// The configuration of one "farm:" prefix on the server's port, with extra setting lines.
inline std::string FarmConfiguration(std::uint16_t port, const std::string& extra = {})
{
    return "[farm:]\nHost = 127.0.0.1\nPort = " + std::to_string(port) +
           "\nConnectTimeoutMs = 5000\nOperationTimeoutMs = 5000\n" + extra;
}

} // namespace korvo::testing
