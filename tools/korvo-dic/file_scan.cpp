#include "file_scan.h"

#include <array>
#include <cstdio>
#include <system_error>

#include "persist/buffered_file.h"
#include "persist/file_format.h"
#include "persist/records.h"
#include "persist/value_reader.h"
#include "platform/unique_bstr.h"
#include "type_tags.h"

namespace korvo::dic {

namespace {

std::string MagicText(const std::array<char, 4>& magic)
{
    std::string text;
    for (const char byte : magic) {
        std::array<char, 4> hex{};
        std::snprintf(hex.data(), hex.size(), "%02X", static_cast<unsigned>(static_cast<unsigned char>(byte)));
        text += (text.empty() ? "" : " ") + std::string(hex.data());
    }
    return text;
}

// Walks the file field by field. The size, when the file has one, lets a field that cannot
// fit (a cut, a length larger than the file) be named before anything is read for it.
class Scanner {
public:
    Scanner(persist::FileReader& file, std::optional<std::uint64_t> size, ScannedFile& out)
        : file_(file), size_(size), out_(out)
    {}

    void Run()
    {
        if (!ReadMagic()) {
            return;
        }
        while (ReadRecord()) {
        }
    }

private:
    bool Fail(std::uint64_t at, std::string reason)
    {
        out_.problem = FileProblem{at, std::move(reason)};
        return false;
    }

    std::uint64_t Remaining() const { return *size_ > offset_ ? *size_ - offset_ : 0; }

    // Whether `bytes` more fit in the file; the problem names the field otherwise.
    bool Fits(std::uint64_t bytes, const std::string& field)
    {
        if (!size_ || bytes <= Remaining()) {
            return true;
        }
        return Fail(offset_, field + " needs " + std::to_string(bytes) + " bytes, the file has " +
                                 std::to_string(Remaining()) + " left");
    }

    bool Read(void* bytes, std::size_t count, const std::string& field)
    {
        if (!Fits(count, field)) {
            return false;
        }
        return Consumed(file_.Read(bytes, count), count, field);
    }

    bool Consumed(HRESULT result, std::uint64_t count, const std::string& field)
    {
        if (FAILED(result)) {
            return ReadFailed(result, field);
        }
        offset_ += count;
        return true;
    }

    bool ReadFailed(HRESULT result, const std::string& field)
    {
        if (result == hresult::kEndOfFile) {
            return Fail(offset_, "the file ends inside the " + field);
        }
        if (result == hresult::kTextNotAllocated) {
            return Fail(offset_, "the " + field + " cannot be held in memory");
        }
        return Fail(offset_, "reading the " + field + " failed with " + HresultText(result));
    }

    bool ReadMagic()
    {
        std::array<char, 4> magic{};
        if (!Read(magic.data(), magic.size(), "magic")) {
            return Fail(0, "not a dictionary file: shorter than the 4-byte magic \"fDIC\"");
        }
        if (magic != persist::kFileMagic) {
            return Fail(0, "not a dictionary file: the magic is " + MagicText(magic) + ", not \"fDIC\" (66 44 49 43)");
        }
        return true;
    }

    bool ReadRecord()
    {
        FileRecord record;
        record.offset = offset_;
        if (size_ && Remaining() == 0) {
            return Fail(offset_, "the file ends without the end marker FF FF");
        }
        if (!Read(&record.tag, sizeof record.tag, "type tag")) {
            return false;
        }
        if (record.tag == persist::kEndMarker) {
            out_.endMarker = true;
            ReadTrailing();
            return false;
        }
        if (!ReadValue(record) || !ReadKey(record)) {
            return false;
        }
        out_.records.push_back(std::move(record));
        return true;
    }

    bool ReadValue(FileRecord& record)
    {
        if (record.tag == VT_BSTR) {
            return ReadString(record);
        }
        const int bytes = persist::PayloadBytes(record.tag);
        if (bytes < 0) {
            return Fail(record.offset, "unknown type tag " + std::to_string(record.tag) +
                                           ": the writer never produces it and the reader refuses it");
        }
        if (record.tag == VT_I1 || record.tag == VT_UI1) {
            return ReadOneByteInteger(record);
        }
        const std::string field = "payload of the " + std::string(*TagName(record.tag)) + " record";
        if (!Fits(static_cast<std::uint64_t>(bytes), field)) {
            return false;
        }
        return Consumed(persist::ReadItemValue(file_, record.tag, *record.value.get()),
                        static_cast<std::uint64_t>(bytes), field);
    }

    // The reader keeps only the first of the four bytes; the rest is kept here for rewriting.
    bool ReadOneByteInteger(FileRecord& record)
    {
        std::uint32_t payload = 0;
        if (!Read(&payload, sizeof payload, "payload of the " + std::string(*TagName(record.tag)) + " record")) {
            return false;
        }
        V_VT(record.value.get()) = record.tag;
        V_UI1(record.value.get()) = static_cast<std::uint8_t>(payload & 0xFF);
        record.spareBytes = payload >> 8;
        return true;
    }

    bool ReadUnits(const char* what, Units& text)
    {
        const std::string lengthField = std::string(what) + " length";
        std::uint32_t length = 0;
        if (!Read(&length, sizeof length, lengthField)) {
            return false;
        }
        const std::string field = std::string(what) + " of " + std::to_string(length) + " code units";
        if (!Fits(std::uint64_t{length} * 2, field)) {
            return false;
        }
        std::basic_string<OLECHAR> units;
        if (!Consumed(file_.ReadText(length, units), std::uint64_t{length} * 2, field)) {
            return false;
        }
        text.assign(units.begin(), units.end());
        return true;
    }

    bool ReadString(FileRecord& record)
    {
        const std::uint64_t start = offset_;
        Units text;
        if (!ReadUnits("string", text)) {
            return false;
        }
        UniqueBstr string = UniqueBstr::CopyOf(reinterpret_cast<const OLECHAR*>(text.data()),
                                               static_cast<UINT>(text.size()));
        if (!string) {
            return Fail(start, "the string cannot be held in memory");
        }
        V_BSTR(record.value.get()) = string.release();
        V_VT(record.value.get()) = VT_BSTR;
        return true;
    }

    bool ReadKey(FileRecord& record) { return ReadUnits("key", record.key); }

    void ReadTrailing()
    {
        if (size_) {
            out_.trailing.resize(static_cast<std::size_t>(Remaining()));
            Read(out_.trailing.data(), out_.trailing.size(), "bytes after the end marker");
            return;
        }
        std::uint8_t byte = 0;
        while (SUCCEEDED(file_.Read(&byte, 1))) {
            out_.trailing.push_back(byte);
        }
    }

    persist::FileReader& file_;
    std::optional<std::uint64_t> size_;
    ScannedFile& out_;
    std::uint64_t offset_ = 0;
};

std::optional<std::uint64_t> RegularFileSize(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return std::nullopt;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        return std::nullopt;
    }
    return size;
}

} // namespace

std::string HresultText(long result)
{
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "0x%08X", static_cast<unsigned>(result));
    return text.data();
}

bool ScanFile(const std::filesystem::path& path, ScannedFile& scanned, std::string& error)
{
    const std::u16string name = path.u16string();
    UniqueBstr fileName = UniqueBstr::CopyOf(reinterpret_cast<const OLECHAR*>(name.c_str()),
                                             static_cast<UINT>(name.size()));
    persist::FileReader file;
    if (const HRESULT opened = file.Open(fileName.get()); FAILED(opened)) {
        error = "cannot open " + path.string() + ": " + HresultText(opened);
        return false;
    }
    Scanner(file, RegularFileSize(path), scanned).Run();
    return true;
}

} // namespace korvo::dic
