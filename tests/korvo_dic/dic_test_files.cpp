#include "dic_test_files.h"

#include <fstream>
#include <iterator>
#include <limits>
#include <random>

#include "persist/records.h"
#include "platform/unique_bstr.h"
#include "platform/unique_variant.h"

namespace korvo::dic::testing {

ScratchFolder::ScratchFolder()
{
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() / ("korvo-dic-" + std::to_string(seed()) + std::to_string(seed()));
    std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

Bytes ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

FileBuilder::FileBuilder()
{
    persist::WriteMagic(buffer_);
}

FileBuilder& FileBuilder::Add(std::u16string_view key, const std::function<void(VARIANT&)>& make)
{
    UniqueVariant value;
    make(*value.get());
    persist::WriteRecord(buffer_, KeyView(reinterpret_cast<const OLECHAR*>(key.data()), key.size()), *value.get(),
                         true);
    return *this;
}

FileBuilder& FileBuilder::Raw(const Bytes& bytes)
{
    buffer_.Write(bytes.data(), bytes.size());
    return *this;
}

Bytes FileBuilder::Finish(bool endMarker)
{
    if (endMarker) {
        persist::WriteEndMarker(buffer_);
    }
    const auto bytes = buffer_.Bytes();
    return Bytes(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                 reinterpret_cast<const std::uint8_t*>(bytes.data()) + bytes.size());
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Units(std::u16string_view text)
{
    Bytes bytes;
    for (const char16_t unit : text) {
        bytes = bytes + LittleEndian(static_cast<std::uint16_t>(unit));
    }
    return bytes;
}

namespace {

template <class Setter>
std::function<void(VARIANT&)> Make(VARTYPE type, Setter set)
{
    return [type, set](VARIANT& v) {
        set(v);
        V_VT(&v) = type;
    };
}

std::function<void(VARIANT&)> Text(std::u16string_view text)
{
    const std::u16string copy(text);
    return [copy](VARIANT& v) {
        V_BSTR(&v) =
            UniqueBstr::CopyOf(reinterpret_cast<const OLECHAR*>(copy.data()), static_cast<UINT>(copy.size())).release();
        V_VT(&v) = VT_BSTR;
    };
}

} // namespace

Bytes EveryTagFile()
{
    using std::numeric_limits;
    FileBuilder file;
    file.Add(u"", [](VARIANT&) {})
        .Add(u"null", Make(VT_NULL, [](VARIANT&) {}))
        .Add(u"i2", Make(VT_I2, [](VARIANT& v) { V_I2(&v) = numeric_limits<SHORT>::min(); }))
        .Add(u"i4", Make(VT_I4, [](VARIANT& v) { V_I4(&v) = numeric_limits<LONG>::min(); }))
        .Add(u"r4 nan", Make(VT_R4, [](VARIANT& v) { V_UI4(&v) = 0x7FA00001; })) // a signalling NaN
        .Add(u"r4", Make(VT_R4, [](VARIANT& v) { V_R4(&v) = 0.1f; }))
        .Add(u"r8 -0", Make(VT_R8, [](VARIANT& v) { V_R8(&v) = -0.0; }))
        .Add(u"r8 denormal", Make(VT_R8, [](VARIANT& v) { V_R8(&v) = numeric_limits<double>::denorm_min(); }))
        .Add(u"r8 inf", Make(VT_R8, [](VARIANT& v) { V_R8(&v) = -numeric_limits<double>::infinity(); }))
        .Add(u"r8 nan", Make(VT_R8, [](VARIANT& v) { V_UI8(&v) = 0xFFF8000000000123ULL; }))
        .Add(u"cy", Make(VT_CY, [](VARIANT& v) { V_CY(&v).int64 = numeric_limits<LONGLONG>::min(); }))
        .Add(u"date", Make(VT_DATE, [](VARIANT& v) { V_DATE(&v) = -1.25; }))
        .Add(u"bstr", Text(u"caf\u00e9 \U0001F600 \"q\"\n"))
        .Add(u"bstr empty", Text(u""))
        .Add(u"bstr lone", Text(std::u16string_view(u"a\xD800z\xDC00", 4)))
        .Add(std::u16string_view(u"key\0nul\xDBFF", 8), Text(std::u16string_view(u"\0", 1)))
        .Add(u"error", Make(VT_ERROR, [](VARIANT& v) { V_ERROR(&v) = static_cast<SCODE>(0x80020004); }))
        .Add(u"bool", Make(VT_BOOL, [](VARIANT& v) { V_BOOL(&v) = VARIANT_TRUE; }))
        .Add(u"unknown", Make(VT_UNKNOWN, [](VARIANT& v) { V_UNKNOWN(&v) = nullptr; }))
        .Add(u"i1", Make(VT_I1, [](VARIANT& v) { V_I1(&v) = -128; }))
        .Add(u"ui1", Make(VT_UI1, [](VARIANT& v) { V_UI1(&v) = 255; }))
        .Add(u"ui2", Make(VT_UI2, [](VARIANT& v) { V_UI2(&v) = 65535; }))
        .Add(u"ui4", Make(VT_UI4, [](VARIANT& v) { V_UI4(&v) = 4294967295U; }))
        .Add(u"i8", Make(VT_I8, [](VARIANT& v) { V_I8(&v) = numeric_limits<LONGLONG>::min(); }))
        .Add(u"ui8", Make(VT_UI8, [](VARIANT& v) { V_UI8(&v) = numeric_limits<ULONGLONG>::max(); }))
        .Add(u"int", Make(VT_INT, [](VARIANT& v) { V_INT(&v) = -1; }))
        .Add(u"uint", Make(VT_UINT, [](VARIANT& v) { V_UINT(&v) = 3000000000U; }))
        .Add(u"void", Make(VT_VOID, [](VARIANT&) {}))
        .Add(u"hresult", Make(VT_HRESULT, [](VARIANT& v) { V_UI4(&v) = 0x8007000E; }));
    return file.Finish();
}

} // namespace korvo::dic::testing
