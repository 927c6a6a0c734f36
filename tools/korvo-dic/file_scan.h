// A dictionary file read record by record with the component's own reader, keeping what the
// component drops (the spare bytes of one-byte integers, bytes after the end marker) so the
// file can be written again byte for byte, and stopping at the first problem with its offset.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/unique_variant.h"
#include "utf16_text.h"

namespace korvo::dic {

struct FileRecord {
    std::uint64_t offset = 0; // of the type tag
    std::uint16_t tag = 0;
    UniqueVariant value;
    // VT_I1 and VT_UI1: the three bytes after the value, as stored (the reader ignores them).
    std::uint32_t spareBytes = 0;
    Units key;
};

struct FileProblem {
    std::uint64_t offset = 0;
    std::string reason;
};

struct ScannedFile {
    std::vector<FileRecord> records;
    bool endMarker = false;
    std::vector<std::uint8_t> trailing; // after the end marker, never read by Load
    std::optional<FileProblem> problem; // the first one; nothing after it was read
};

// False, with `error` set, only when the file cannot be opened; a file that is not sound
// gives its records up to the problem and the problem itself.
bool ScanFile(const std::filesystem::path& path, ScannedFile& scanned, std::string& error);

// "0x80070026".
std::string HresultText(long result);

} // namespace korvo::dic
