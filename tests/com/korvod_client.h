// The test programs' view of Korvod.dll: the module loaded once by path, its exports, a
// registration that the whole program relies on, and the objects made by its class object.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "platform/com_ptr.h"
#include "platform/platform.h"

#include "korvo.h"

namespace korvo::test {

struct KorvodExports {
    HMODULE module = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* registerServer)() = nullptr;
    HRESULT(STDAPICALLTYPE* unregisterServer)() = nullptr;
};

// The DLL's Windows path (the build tree's path, as Z:\... under Wine).
std::wstring KorvodPath();

// Loads the DLL on first use; the program keeps it loaded.
const KorvodExports& Korvod();

// Registers the DLL unless the registry already names this very file and the type library
// is registered; returns the registration's result.
HRESULT EnsureRegistered();

ComPtr<IClassFactory> ClassObject();
ComPtr<IDictionary> NewDictionary();

// Reference count of `object` as AddRef and Release report it, leaving it unchanged.
ULONG ReferenceCount(IUnknown* object);

// Every test runs in a single-threaded apartment with the server registered.
class ComTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;
};

// A BSTR holding a literal for the length of a call.
class Text {
public:
    explicit Text(const wchar_t* text) : value_(SysAllocString(text)) {}
    ~Text() { SysFreeString(value_); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    operator BSTR() const { return value_; }

private:
    BSTR value_;
};

} // namespace korvo::test
