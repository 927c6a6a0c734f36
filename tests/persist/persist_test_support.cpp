#include "persist_test_support.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "members/items.h"
#include "members/persistence.h"
#include "platform/key_pattern.h"
#include "store/key_compare.h"

namespace korvo::testing {

namespace {

std::string Narrow(std::u16string_view text)
{
    std::string out;
    for (char16_t unit : text) {
        if (unit >= 0x20 && unit < 0x7F) {
            out += static_cast<char>(unit);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(unit));
            out += escaped;
        }
    }
    return out;
}

std::string ElementsDescribed(SAFEARRAY* array);

// The values of a VT_ARRAY | VT_VARIANT result, in order.
std::vector<VARIANT*> ArrayElements(SAFEARRAY* array)
{
    std::vector<VARIANT*> out;
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) {
        return out;
    }
    auto* values = static_cast<VARIANT*>(data);
    for (LONG i = 0; i <= upper - lower; ++i) {
        out.push_back(&values[i]);
    }
    SafeArrayUnaccessData(array);
    return out;
}

std::string ElementsDescribed(SAFEARRAY* array)
{
    std::string out = "[";
    for (VARIANT* element : ArrayElements(array)) {
        out += (out.size() > 1 ? "," : "") + Describe(*element);
    }
    return out + "]";
}

} // namespace

ScratchDirectory::ScratchDirectory()
{
    static std::atomic<int> counter{0};
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "korvo-persist-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
    if (test) {
        name += std::string("-") + test->name();
    }
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        }
    }
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

ScratchDirectory::~ScratchDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

PathBstr::PathBstr(const std::filesystem::path& path)
#if defined(_WIN32)
    : Bstr(std::u16string_view(reinterpret_cast<const char16_t*>(path.wstring().c_str()), path.wstring().size()))
#else
    : Bstr(path.u16string())
#endif
{}

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

std::string Describe(const VARIANT& value)
{
    std::ostringstream out;
    switch (V_VT(&value)) {
    case VT_EMPTY:
        return "EMPTY";
    case VT_NULL:
        return "NULL";
    case VT_VOID:
        return "VOID";
    case VT_I2:
        out << "I2:" << V_I2(&value);
        break;
    case VT_I4:
        out << "I4:" << V_I4(&value);
        break;
    case VT_R4:
        out << "R4:" << V_R4(&value);
        break;
    case VT_R8:
        out << "R8:" << V_R8(&value);
        break;
    case VT_CY:
        out << "CY:" << V_CY(&value).int64;
        break;
    case VT_DATE:
        out << "DATE:" << V_DATE(&value);
        break;
    case VT_BSTR:
        if (!V_BSTR(&value)) {
            return "BSTR(null)";
        }
        return "BSTR:" + Narrow(ToU16(V_BSTR(&value), SysStringLen(V_BSTR(&value))));
    case VT_ERROR:
        out << "ERROR:" << std::hex << static_cast<std::uint32_t>(V_ERROR(&value));
        break;
    case VT_BOOL:
        out << "BOOL:" << V_BOOL(&value);
        break;
    case VT_UNKNOWN:
        return V_UNKNOWN(&value) ? "UNKNOWN:object" : "UNKNOWN:null";
    case VT_I1:
        out << "I1:" << static_cast<int>(V_I1(&value));
        break;
    case VT_UI1:
        out << "UI1:" << static_cast<int>(V_UI1(&value));
        break;
    case VT_UI2:
        out << "UI2:" << V_UI2(&value);
        break;
    case VT_UI4:
        out << "UI4:" << V_UI4(&value);
        break;
    case VT_I8:
        out << "I8:" << V_I8(&value);
        break;
    case VT_UI8:
        out << "UI8:" << V_UI8(&value);
        break;
    case VT_INT:
        out << "INT:" << V_INT(&value);
        break;
    case VT_UINT:
        out << "UINT:" << V_UINT(&value);
        break;
    case VT_HRESULT:
        out << "HRESULT:" << std::hex << static_cast<std::uint32_t>(V_I4(&value));
        break;
    default:
        if (V_VT(&value) == (VT_ARRAY | VT_VARIANT)) {
            return ElementsDescribed(V_ARRAY(&value));
        }
        out << "VT" << V_VT(&value);
        break;
    }
    return out.str();
}

std::vector<std::string> EntriesOf(ObjectState& object)
{
    Var keys;
    Var items;
    EXPECT_EQ(members::Keys(object, keys.get()), S_OK);
    EXPECT_EQ(members::Items(object, items.get()), S_OK);
    std::vector<std::string> out;
    if (V_VT(keys.get()) != (VT_ARRAY | VT_VARIANT) || V_VT(items.get()) != (VT_ARRAY | VT_VARIANT)) {
        return out;
    }
    const auto itemValues = ArrayElements(V_ARRAY(items.get()));
    std::size_t next = 0;
    for (VARIANT* key : ArrayElements(V_ARRAY(keys.get()))) {
        LONG count = 0;
        EXPECT_EQ(members::Count(object, V_BSTR(key), &count), S_OK);
        const std::string keyText = Narrow(ToU16(V_BSTR(key), SysStringLen(V_BSTR(key))));
        for (LONG i = 0; i < count && next < itemValues.size(); ++i) {
            out.push_back(keyText + "=" + Describe(*itemValues[next++]));
        }
    }
    return out;
}

void AddInt(ObjectState& object, std::u16string_view key, LONG value)
{
    Var item;
    V_VT(item.get()) = VT_I4;
    V_I4(item.get()) = value;
    AddOk(object, key, *item.get());
}

HRESULT SaveTo(ObjectState& object, const std::filesystem::path& path, bool saveEmpty, const char16_t* pattern)
{
    PathBstr fileName(path);
    Bstr patternText(pattern ? std::u16string_view(pattern) : std::u16string_view());
    return members::Save(object, fileName, saveEmpty ? VARIANT_TRUE : VARIANT_FALSE,
                         pattern ? BSTR(patternText) : nullptr);
}

HRESULT LoadFrom(ObjectState& object, const std::filesystem::path& path, const char16_t* pattern)
{
    PathBstr fileName(path);
    Bstr patternText(pattern ? std::u16string_view(pattern) : std::u16string_view());
    return members::Load(object, fileName, pattern ? BSTR(patternText) : nullptr);
}

HRESULT RemoveAllMatching(ObjectState& object, const char16_t* pattern)
{
    Bstr patternText(pattern ? std::u16string_view(pattern) : std::u16string_view());
    return members::RemoveAll(object, pattern ? BSTR(patternText) : nullptr);
}

PatternUnavailableScope::PatternUnavailableScope()
{
    SetKeyPatternUnavailableForTesting(true);
}
PatternUnavailableScope::~PatternUnavailableScope()
{
    SetKeyPatternUnavailableForTesting(false);
}

} // namespace korvo::testing
