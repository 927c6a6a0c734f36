#include "commands.h"

#include <fstream>
#include <iterator>
#include <ostream>
#include <vector>

#include "file_scan.h"
#include "json_form.h"
#include "persist/key_filter.h"
#include "persist/replacement_file.h"
#include "platform/unique_bstr.h"
#include "value_text.h"

namespace korvo::dic {

namespace {

UniqueBstr BstrOf(const Units& text)
{
    return UniqueBstr::CopyOf(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
}

void ReportProblem(const FileProblem& problem, std::ostream& err)
{
    err << "offset " << problem.offset << ": " << problem.reason << "\n";
}

// The records whose keys the pattern selects, as Load would add them; false with `error` when
// the pattern cannot be used or a test of it fails.
bool SelectRecords(const ScannedFile& file, const std::optional<std::string>& pattern,
                   std::vector<const FileRecord*>& selected, std::string& error)
{
    persist::KeyFilter filter;
    if (pattern) {
        const auto units = FromUtf8(*pattern);
        if (!units) {
            error = "the pattern is not UTF-8";
            return false;
        }
        UniqueBstr text = BstrOf(*units);
        if (FAILED(filter.Prepare(text.get())) || !filter.Compiles()) {
            error = "the pattern cannot be used: " + *pattern;
            return false;
        }
    }
    for (const FileRecord& record : file.records) {
        const KeyTestResult test = filter.Test(
            KeyView(reinterpret_cast<const OLECHAR*>(record.key.data()), record.key.size()));
        if (test == KeyTestResult::Failed) {
            error = "the pattern test failed for the key " + Quoted(record.key) + " at offset " +
                    std::to_string(record.offset);
            return false;
        }
        if (test == KeyTestResult::Match) {
            selected.push_back(&record);
        }
    }
    return true;
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

HRESULT WriteFile(const std::filesystem::path& path, const persist::RecordBuffer& bytes)
{
    const Units name = path.u16string();
    UniqueBstr target = BstrOf(name);
    persist::ReplacementFile file;
    if (const HRESULT created = file.Create(target.get()); FAILED(created)) {
        return created;
    }
    file.Write(bytes.Bytes());
    return file.Commit();
}

} // namespace

int Dump(const std::filesystem::path& file, const DumpOptions& options, std::ostream& out, std::ostream& err)
{
    ScannedFile scanned;
    std::string error;
    if (!ScanFile(file, scanned, error)) {
        err << error << "\n";
        return kCannotRun;
    }
    std::vector<const FileRecord*> selected;
    if (!SelectRecords(scanned, options.pattern, selected, error)) {
        err << error << "\n";
        return kCannotRun;
    }
    if (options.json) {
        out << FileToJson(scanned, selected).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
            << "\n";
    } else {
        for (const FileRecord* record : selected) {
            out << RecordLine(*record) << "\n";
        }
    }
    if (scanned.problem) {
        ReportProblem(*scanned.problem, err);
        return kFileProblem;
    }
    return kSound;
}

int Verify(const std::filesystem::path& file, std::ostream& out, std::ostream& err)
{
    ScannedFile scanned;
    std::string error;
    if (!ScanFile(file, scanned, error)) {
        err << error << "\n";
        return kCannotRun;
    }
    if (scanned.problem) {
        ReportProblem(*scanned.problem, err);
        return kFileProblem;
    }
    out << "sound: " << scanned.records.size() << " records";
    if (!scanned.trailing.empty()) {
        out << ", " << scanned.trailing.size() << " bytes after the end marker that Load never reads";
    }
    out << "\n";
    return kSound;
}

int FromJson(const std::filesystem::path& json, const std::filesystem::path& file, std::ostream& err)
{
    std::string text;
    if (!ReadWholeFile(json, text)) {
        err << "cannot read " << json.string() << "\n";
        return kCannotRun;
    }
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (document.is_discarded()) {
        err << json.string() << " is not JSON\n";
        return kCannotRun;
    }
    persist::RecordBuffer bytes;
    std::string error;
    if (!FileFromJson(document, bytes, error)) {
        err << json.string() << ": " << error << "\n";
        return kCannotRun;
    }
    if (const HRESULT written = WriteFile(file, bytes); FAILED(written)) {
        err << "cannot write " << file.string() << ": " << HresultText(written) << "\n";
        return kCannotRun;
    }
    return kSound;
}

} // namespace korvo::dic
