#include "persist/records.h"

#include <array>

#include "persist/file_format.h"

namespace korvo::persist {

void WriteMagic(RecordBuffer& file) noexcept
{
    file.Write(kFileMagic.data(), kFileMagic.size());
}

void WriteEndMarker(RecordBuffer& file) noexcept
{
    file.WriteValue(kEndMarker);
}

void WriteRecord(RecordBuffer& file, KeyView key, const VARIANT& item, bool saveEmpty) noexcept
{
    if (WriteItemValue(file, item, saveEmpty) == ValueWritten::Skipped) {
        return;
    }
    file.WriteValue(static_cast<std::uint32_t>(key.size()));
    file.Write(key.data(), key.size() * sizeof(OLECHAR));
}

HRESULT ReadMagic(FileReader& file) noexcept
{
    std::array<char, kFileMagic.size()> magic{};
    if (FAILED(file.Read(magic.data(), magic.size())) || magic != kFileMagic) {
        return hresult::kInvalidData;
    }
    return S_OK;
}

HRESULT ReadRecord(FileReader& file, Record& record, RecordRead& read) noexcept
{
    std::uint16_t tag = 0;
    if (const HRESULT result = file.ReadValue(tag); FAILED(result)) {
        return result;
    }
    if (tag == kEndMarker) {
        read = RecordRead::EndMarker;
        return S_OK;
    }
    record.value.reset();
    if (const HRESULT result = ReadItemValue(file, tag, *record.value.get()); FAILED(result)) {
        return result;
    }
    std::uint32_t keyLength = 0;
    if (const HRESULT result = file.ReadValue(keyLength); FAILED(result)) {
        return result;
    }
    if (const HRESULT result = file.ReadText(keyLength, record.key); FAILED(result)) {
        return result;
    }
    read = RecordRead::Record;
    return S_OK;
}

} // namespace korvo::persist
