#include "persist/load.h"

#include <array>
#include <cstdint>
#include <string>

#include "persist/buffered_file.h"
#include "persist/file_format.h"
#include "persist/key_filter.h"
#include "persist/pattern_failure.h"
#include "persist/value_reader.h"
#include "platform/hresult_from_exception.h"
#include "platform/unique_variant.h"
#include "store/item_operations.h"
#include "store/store_call.h"

namespace korvo::persist {

namespace {

HRESULT ReadMagic(FileReader& file) noexcept
{
    std::array<char, kFileMagic.size()> magic{};
    if (FAILED(file.Read(magic.data(), magic.size())) || magic != kFileMagic)
        return kInvalidData;
    return S_OK;
}

// One record after its tag: the value, the key, the pattern test, the Add. A record that
// Add refuses is dropped; Add has left its own error record.
HRESULT ReadRecord(FileReader& file, std::uint16_t tag, KeyFilter& filter, ObjectState& object,
                   StoreCallContext& call, std::basic_string<OLECHAR>& key) noexcept
{
    UniqueVariant value;
    if (const HRESULT read = ReadItemValue(file, tag, *value.get()); FAILED(read))
        return read;
    std::uint32_t keyLength = 0;
    if (const HRESULT read = file.ReadValue(keyLength); FAILED(read))
        return read;
    if (const HRESULT read = file.ReadText(keyLength, key); FAILED(read))
        return read;
    switch (filter.Test(key)) {
    case KeyTestResult::NoMatch:
        return S_OK;
    case KeyTestResult::Failed:
        return kInvalidData;
    case KeyTestResult::Match:
        break;
    }
    store::AddToStore(call.store, call.mode, object.uniqueKeys(), key, *value.get());
    return S_OK;
}

HRESULT ReadRecords(FileReader& file, KeyFilter& filter, ObjectState& object, StoreCallContext& call) noexcept
{
    if (const HRESULT magic = ReadMagic(file); FAILED(magic))
        return magic;
    std::basic_string<OLECHAR> key;
    for (;;) {
        std::uint16_t tag = 0;
        if (const HRESULT read = file.ReadValue(tag); FAILED(read))
            return read;
        if (tag == kEndMarker)
            return S_OK;
        if (const HRESULT record = ReadRecord(file, tag, filter, object, call, key); FAILED(record))
            return record;
    }
}

} // namespace

HRESULT Load(ObjectState& object, BSTR fileName, BSTR pattern) noexcept
{
    return CallReturningHresult([&]() -> HRESULT {
        KeyFilter filter;
        if (FAILED(filter.Prepare(pattern)))
            return ReportPatternUnavailable();
        FileReader file;
        if (const HRESULT opened = file.Open(fileName); FAILED(opened))
            return opened;
        return WithStore(object, [&](StoreCallContext& call) { return ReadRecords(file, filter, object, call); });
    });
}

} // namespace korvo::persist
