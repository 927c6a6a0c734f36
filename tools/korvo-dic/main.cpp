// korvo-dic: reads, checks and writes dictionary files with the component's own reader and
// writer. See the README's "korvo-dic" section and docs/korvo-dic.md.
#include <CLI/CLI.hpp>

#include <exception>
#include <filesystem>
#include <iostream>

#include "commands.h"
#include "platform/platform.h"

namespace {

// The regular-expression component of the Windows build lives in a single-threaded
// apartment, as script hosts give it.
class ComApartment {
public:
    ComApartment()
    {
#if defined(_WIN32)
        initialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
#endif
    }
    ~ComApartment()
    {
#if defined(_WIN32)
        if (initialised_) {
            CoUninitialize();
        }
#endif
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    [[maybe_unused]] bool initialised_ = false;
};

int Run(int argc, char** argv)
{
    CLI::App app{"Reads, checks and writes dictionary files (magic \"fDIC\")."};
    app.require_subcommand(1);

    std::string file;
    std::string json;
    std::string out;
    korvo::dic::DumpOptions dumpOptions;
    std::string pattern;

    auto* dump = app.add_subcommand("dump", "One line per record (key, type, value), or every record as JSON");
    dump->add_option("FILE", file, "dictionary file")->required();
    dump->add_flag("--json", dumpOptions.json, "lossless JSON, the input of from-json");
    auto* patternOption = dump->add_option("--pattern", pattern, "only keys that match, as Save and Load select them");

    auto* verify = app.add_subcommand("verify",
                                      "Exit 0 for a sound file; else the offset and reason of its first problem");
    verify->add_option("FILE", file, "dictionary file")->required();

    auto* fromJson = app.add_subcommand("from-json", "Writes the file that a dump --json describes, byte for byte");
    fromJson->add_option("JSON", json, "output of dump --json")->required();
    fromJson->add_option("OUT", out, "dictionary file to write")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? 0 : korvo::dic::kCannotRun;
    }

    ComApartment apartment;
    if (dump->parsed()) {
        if (patternOption->count() > 0) {
            dumpOptions.pattern = pattern;
        }
        return korvo::dic::Dump(file, dumpOptions, std::cout, std::cerr);
    }
    if (verify->parsed()) {
        return korvo::dic::Verify(file, std::cout, std::cerr);
    }
    return korvo::dic::FromJson(json, out, std::cerr);
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "korvo-dic: " << error.what() << "\n";
    } catch (...) {
        std::cerr << "korvo-dic: unexpected failure\n";
    }
    return korvo::dic::kCannotRun;
}
