// The records of the dictionary file: after the magic "fDIC", one record per item (type tag,
// payload, key length, key), then the end marker FF FF. A key that holds several items is
// written once per item.
#pragma once

#include <cstdint>

#include "persist/buffered_file.h"
#include "persist/record_buffer.h"
#include "persist/value_reader.h"
#include "persist/value_writer.h"
#include "platform/unique_variant.h"
#include "store/key_compare.h"

namespace korvo::persist {

void WriteMagic(RecordBuffer& file) noexcept;
void WriteEndMarker(RecordBuffer& file) noexcept;

// The item's record under `key`, or nothing when the value writer skips the item.
void WriteRecord(RecordBuffer& file, KeyView key, const VARIANT& item, bool saveEmpty) noexcept;

// kInvalidData unless the file starts with the magic.
HRESULT ReadMagic(FileReader& file) noexcept;

struct Record {
    KeyText key;
    UniqueVariant value;
};

enum class RecordRead { Record, EndMarker };

// The next record into `record` (its key and value replaced), or the end marker; the first
// error of the reads otherwise (kEndOfFile for a file cut short, kInvalidData for a tag the
// writer never produces, kTextNotAllocated for text that cannot be held).
HRESULT ReadRecord(FileReader& file, Record& record, RecordRead& read) noexcept;

} // namespace korvo::persist
