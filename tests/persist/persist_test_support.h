// Helpers for the persistence tests: scratch files and a readable picture of a store's
// entries.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "member_calls.h"

namespace korvo::testing {

using Bytes = std::vector<std::uint8_t>;

// A fresh directory for one test, removed with its files afterwards.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    std::filesystem::path File(std::string_view name) const { return path_ / name; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A path as the platform's file functions take it.
class PathBstr : public Bstr {
public:
    explicit PathBstr(const std::filesystem::path& path);
};

Bytes ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const Bytes& bytes);

// Each entry in container order as "key=TYPE:value" (see Describe).
std::vector<std::string> EntriesOf(ObjectState& object);
// A variant as "TYPE:value", e.g. "I4:1", "BSTR:x", "EMPTY", "UNKNOWN:null".
std::string Describe(const VARIANT& value);

void AddInt(ObjectState& object, std::u16string_view key, LONG value);

// Calls with the usual defaults; a null pattern means no filter.
HRESULT SaveTo(ObjectState& object, const std::filesystem::path& path, bool saveEmpty = false,
               const char16_t* pattern = nullptr);
HRESULT LoadFrom(ObjectState& object, const std::filesystem::path& path, const char16_t* pattern = nullptr);
HRESULT RemoveAllMatching(ObjectState& object, const char16_t* pattern);

// Makes the regular-expression component unavailable for the scope.
class PatternUnavailableScope {
public:
    PatternUnavailableScope();
    ~PatternUnavailableScope();
};

} // namespace korvo::testing
