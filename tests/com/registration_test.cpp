// DllRegisterServer and DllUnregisterServer: the entries under HKEY_CLASSES_ROOT, their
// replacement rules, and the type library registration. Runs alone: it removes the
// registration that every other test program relies on, and restores it at the end.
#include "korvod_client.h"

#include <algorithm>
#include <array>
#include <optional>
#include <set>
#include <string>

#include "errors/identifiers.h"

namespace korvo::test {
namespace {

const wchar_t* const kClassKey = L"CLSID\\{FF1EDF26-F2EE-4BCF-A988-A8E26C1C12B5}";
const wchar_t* const kProgIdKey = L"Korvo.Dictionary";

class Key {
public:
    explicit Key(const std::wstring& path)
    {
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    ~Key()
    {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    explicit operator bool() const { return key_ != nullptr; }

    std::set<std::wstring> Subkeys() const
    {
        std::set<std::wstring> names;
        std::array<wchar_t, 256> name{};
        for (DWORD index = 0;; ++index) {
            DWORD length = static_cast<DWORD>(name.size());
            if (RegEnumKeyExW(key_, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
                break;
            }
            names.insert(name.data());
        }
        return names;
    }

    // Value name to string data (the default value under "").
    std::set<std::pair<std::wstring, std::wstring>> Values() const
    {
        std::set<std::pair<std::wstring, std::wstring>> values;
        std::array<wchar_t, 256> name{};
        std::array<wchar_t, 1024> data{};
        for (DWORD index = 0;; ++index) {
            DWORD nameLength = static_cast<DWORD>(name.size());
            DWORD dataBytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
            DWORD type = 0;
            data.fill(0);
            if (RegEnumValueW(key_, index, name.data(), &nameLength, nullptr, &type,
                              reinterpret_cast<BYTE*>(data.data()), &dataBytes) != ERROR_SUCCESS) {
                break;
            }
            EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << name.data();
            values.insert({name.data(), data.data()});
        }
        return values;
    }

private:
    HKEY key_ = nullptr;
};

using Values = std::set<std::pair<std::wstring, std::wstring>>;
using Names = std::set<std::wstring>;

void CreateSubkey(const std::wstring& path)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

bool KeyExists(const std::wstring& path)
{
    return static_cast<bool>(Key(path));
}

bool TypeLibraryRegistered()
{
    ComPtr<ITypeLib> library;
    return SUCCEEDED(LoadRegTypeLib(kLibidKorvo, 1, 0, 0, library.put()));
}

class RegistrationTest : public ComTest {
protected:
    void TearDown() override
    {
        // Leave the server registered for the programs that run after this one.
        EXPECT_EQ(Korvod().registerServer(), S_OK);
        ComTest::TearDown();
    }

    static void ExpectTabledEntries()
    {
        const std::wstring classKey = kClassKey;
        const std::wstring clsid = L"{FF1EDF26-F2EE-4BCF-A988-A8E26C1C12B5}";
        const std::wstring className = L"ASP/VBS KorvoDictionary Class";
        EXPECT_EQ(Key(kProgIdKey).Values(), (Values{{L"", className}}));
        EXPECT_EQ(Key(std::wstring(kProgIdKey) + L"\\CLSID").Values(), (Values{{L"", clsid}}));
        EXPECT_EQ(Key(classKey).Values(), (Values{{L"", className}}));
        EXPECT_EQ(Key(classKey).Subkeys(),
                  (Names{L"InprocServer32", L"Programmable", L"ProgID", L"TypeLib", L"VersionIndependentProgID"}));
        EXPECT_EQ(Key(classKey + L"\\ProgID").Values(), (Values{{L"", L"Korvo.Dictionary"}}));
        EXPECT_EQ(Key(classKey + L"\\VersionIndependentProgID").Values(), (Values{{L"", L"Korvo.Dictionary"}}));
        EXPECT_TRUE(Key(classKey + L"\\Programmable"));
        EXPECT_EQ(Key(classKey + L"\\Programmable").Values(), Values{});
        EXPECT_EQ(Key(classKey + L"\\Programmable").Subkeys(), Names{});
        EXPECT_EQ(Key(classKey + L"\\InprocServer32").Values(),
                  (Values{{L"", KorvodPath()}, {L"ThreadingModel", L"Both"}}));
        EXPECT_EQ(Key(classKey + L"\\TypeLib").Values(), (Values{{L"", L"{9BF370AA-3869-4F11-82FB-04017F65BF51}"}}));
        EXPECT_TRUE(TypeLibraryRegistered());
    }
};

TEST_F(RegistrationTest, RegisteringWritesExactlyTheTabledEntries)
{
    ASSERT_EQ(Korvod().registerServer(), S_OK);
    ExpectTabledEntries();
}

TEST_F(RegistrationTest, RegisteringAgainReplacesTheClassKeyButKeepsTheProgIdKey)
{
    ASSERT_EQ(Korvod().registerServer(), S_OK);
    const std::wstring classKey = kClassKey;
    CreateSubkey(classKey + L"\\Added");
    CreateSubkey(classKey + L"\\Programmable\\Added");
    CreateSubkey(std::wstring(kProgIdKey) + L"\\Added");

    ASSERT_EQ(Korvod().registerServer(), S_OK);
    EXPECT_FALSE(KeyExists(classKey + L"\\Added"));
    EXPECT_FALSE(KeyExists(classKey + L"\\Programmable\\Added"));
    EXPECT_TRUE(KeyExists(std::wstring(kProgIdKey) + L"\\Added"));
    EXPECT_EQ(Key(kProgIdKey).Subkeys(), (Names{L"Added", L"CLSID"}));
    ExpectTabledEntries();
}

TEST_F(RegistrationTest, UnregisteringRemovesBothKeysWholeAndTheTypeLibrary)
{
    ASSERT_EQ(Korvod().registerServer(), S_OK);
    CreateSubkey(std::wstring(kClassKey) + L"\\Added");
    CreateSubkey(std::wstring(kProgIdKey) + L"\\Added");

    EXPECT_EQ(Korvod().unregisterServer(), S_OK);
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_FALSE(KeyExists(kProgIdKey));
    EXPECT_TRUE(KeyExists(L"CLSID"));
    EXPECT_FALSE(TypeLibraryRegistered());
    CLSID clsid{};
    EXPECT_NE(CLSIDFromProgID(L"Korvo.Dictionary", &clsid), S_OK);

    // Nothing left to remove is no failure either.
    EXPECT_EQ(Korvod().unregisterServer(), S_OK);
}

TEST_F(RegistrationTest, RegisteredClassIsCreatableByProgId)
{
    ASSERT_EQ(Korvod().registerServer(), S_OK);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"Korvo.Dictionary", &clsid), S_OK);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, dispatch.PutVoid()), S_OK);
    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(kClsidDictionary, &progId), S_OK);
    EXPECT_STREQ(progId, L"Korvo.Dictionary");
    CoTaskMemFree(progId);
}

} // namespace
} // namespace korvo::test
