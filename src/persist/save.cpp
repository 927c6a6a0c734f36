#include "persist/save.h"

#include <cstdint>

#include "persist/buffered_file.h"
#include "persist/file_format.h"
#include "persist/key_filter.h"
#include "persist/pattern_failure.h"
#include "persist/value_writer.h"
#include "platform/critical_section.h"
#include "platform/hresult_from_exception.h"
#include "share/attachment.h"

namespace korvo::persist {

namespace {

void WriteRecords(FileWriter& file, Store& store, KeyFilter& filter, bool saveEmpty) noexcept
{
    const CompareMode mode = ProcessCompareMode();
    SectionGuard guard(store.section);
    store.container.UseMode(mode);
    for (const auto& [key, item] : store.container) {
        // A failed test counts as a match: an unusable pattern saves everything.
        if (filter.Test(key.text) == KeyTestResult::NoMatch)
            continue;
        if (WriteItemValue(file, item, saveEmpty) == ValueWritten::Skipped)
            continue;
        file.WriteValue(static_cast<std::uint32_t>(key.text.size()));
        file.Write(key.text.data(), key.text.size() * sizeof(OLECHAR));
    }
}

} // namespace

HRESULT Save(ObjectState& object, BSTR fileName, VARIANT_BOOL saveEmpty, BSTR pattern) noexcept
{
    return CallReturningHresult([&]() -> HRESULT {
        KeyFilter filter;
        if (FAILED(filter.Prepare(pattern)))
            return ReportPatternUnavailable();
        StorePtr store;
        if (const HRESULT attached = EnsureAttached(object, store); FAILED(attached))
            return attached;
        FileWriter file;
        if (const HRESULT created = file.Create(fileName); FAILED(created))
            return created;
        file.Write(kFileMagic.data(), kFileMagic.size());
        WriteRecords(file, *store, filter, saveEmpty != VARIANT_FALSE);
        file.WriteValue(kEndMarker);
        return file.Finish();
    });
}

} // namespace korvo::persist
