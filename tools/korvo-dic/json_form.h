// The JSON form of a dictionary file: every record with its offset, key, type tag (number
// and name) and a value that gives back the stored bytes exactly (64-bit integers and
// currency as decimal strings, floating-point values also as their bit patterns, text that
// is not well-formed UTF-16 as its code units).
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "file_scan.h"
#include "persist/record_buffer.h"

namespace korvo::dic {

nlohmann::ordered_json RecordToJson(const FileRecord& record);
nlohmann::ordered_json FileToJson(const ScannedFile& file, const std::vector<const FileRecord*>& records);

// The file's bytes for its JSON form into `bytes`; false with `error` naming the first member
// that does not describe a record the file can hold.
bool FileFromJson(const nlohmann::json& document, persist::RecordBuffer& bytes, std::string& error);

} // namespace korvo::dic
