#include "members/persistence.h"

#include <span>
#include <vector>

#include "errors/report_error.h"
#include "persist/records.h"
#include "persist/replacement_file.h"
#include "platform/hresult_from_exception.h"

namespace korvo::members {
namespace {

using persist::FileReader;
using persist::KeyFilter;
using persist::Record;
using persist::RecordBuffer;
using persist::RecordRead;
using persist::ReplacementFile;

// Records are read and decoded in batches outside the store, and each batch is added in one
// call, so no file read happens while the store is held.
constexpr std::size_t kRecordsPerBatch = 4096;

// Reads the records after the magic, adding those the filter matches; the first error of
// the reads or of a pattern test ends the load, after the records before it are added.
HRESULT LoadRecords(FileReader& file, KeyFilter& filter, ObjectState& object, StoreBackend& store)
{
    // The batch's records are read in place and kept from batch to batch, so a key's text
    // reuses the room an earlier key left instead of asking for memory for each record.
    std::vector<Record> batch(kRecordsPerBatch);
    std::size_t used = 0;
    for (;;) {
        RecordRead read = RecordRead::Record;
        HRESULT result = persist::ReadRecord(file, batch[used], read);
        if (SUCCEEDED(result) && read == RecordRead::Record) {
            switch (filter.Test(batch[used].key)) {
            case KeyTestResult::NoMatch:
                continue;
            case KeyTestResult::Failed:
                result = hresult::kInvalidData;
                break;
            case KeyTestResult::Match:
                if (++used < kRecordsPerBatch) {
                    continue;
                }
                break;
            }
        }
        if (used > 0) {
            const HRESULT added = store.AddRecords(std::span(batch.data(), used), object.UniqueKeys() != VARIANT_FALSE);
            used = 0;
            if (FAILED(added)) {
                return added;
            }
        }
        if (FAILED(result) || read == RecordRead::EndMarker) {
            return result;
        }
    }
}

} // namespace

HRESULT RemoveAll(ObjectState& object, BSTR pattern) noexcept
{
    return CallReturningHresult([&]() -> HRESULT {
        KeyFilter filter;
        if (const HRESULT prepared = filter.Prepare(pattern); FAILED(prepared)) {
            return prepared;
        }
        if (!filter.Compiles()) {
            return ReportUnusablePattern(filter.Text(), PatternFault::DoesNotCompile);
        }
        return OnStore(object, [&](StoreBackend& store) { return store.RemoveAll(filter); });
    });
}

HRESULT Save(ObjectState& object, BSTR fileName, VARIANT_BOOL saveEmpty, BSTR pattern) noexcept
{
    return CallReturningHresult([&]() -> HRESULT {
        KeyFilter filter;
        if (FAILED(filter.Prepare(pattern))) {
            return ReportPatternUnavailable();
        }
        if (!filter.Compiles()) {
            return ReportUnusablePattern(filter.Text(), PatternFault::DoesNotCompile);
        }
        return OnStore(object, [&](StoreBackend& store) -> HRESULT {
            ReplacementFile file;
            if (const HRESULT created = file.Create(fileName); FAILED(created)) {
                return created;
            }
            // The records are gathered while the store is held and written after it is let go.
            // Into a temporary file, a store serialising a copy of itself may write as it goes.
            RecordBuffer records;
            if (file.ReplacesTarget()) {
                records.SpillTo(file);
            }
            persist::WriteMagic(records);
            if (const HRESULT written = store.WriteRecords(records, filter, saveEmpty != VARIANT_FALSE);
                FAILED(written)) {
                return written;
            }
            persist::WriteEndMarker(records);
            if (FAILED(records.Status())) {
                return records.Status();
            }
            file.Write(records.Bytes());
            return file.Commit();
        });
    });
}

HRESULT Load(ObjectState& object, BSTR fileName, BSTR pattern) noexcept
{
    return CallReturningHresult([&]() -> HRESULT {
        KeyFilter filter;
        if (FAILED(filter.Prepare(pattern))) {
            return ReportPatternUnavailable();
        }
        FileReader file;
        if (const HRESULT opened = file.Open(fileName); FAILED(opened)) {
            return opened;
        }
        return OnStore(object, [&](StoreBackend& store) -> HRESULT {
            if (const HRESULT magic = persist::ReadMagic(file); FAILED(magic)) {
                return magic;
            }
            return LoadRecords(file, filter, object, store);
        });
    });
}

} // namespace korvo::members
