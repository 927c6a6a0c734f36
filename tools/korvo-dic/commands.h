// The three commands of korvo-dic, apart from the command line so they can be driven by
// tests. Each returns the process's exit code: 0 done (a sound file), 1 the file has a
// problem (its offset and reason on `err`), 2 the command could not run.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

namespace korvo::dic {

inline constexpr int kSound = 0;
inline constexpr int kFileProblem = 1;
inline constexpr int kCannotRun = 2;

struct DumpOptions {
    bool json = false;
    std::optional<std::string> pattern; // UTF-8; the key filter of Save and Load
};

int Dump(const std::filesystem::path& file, const DumpOptions& options, std::ostream& out, std::ostream& err);
int Verify(const std::filesystem::path& file, std::ostream& out, std::ostream& err);
int FromJson(const std::filesystem::path& json, const std::filesystem::path& file, std::ostream& err);

} // namespace korvo::dic
