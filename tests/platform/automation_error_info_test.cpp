// Error records: what a record keeps, and that each thread has its own current record,
// which GetErrorInfo takes away.
#include "automation_test_text.h"
#include "platform/com_ptr.h"
#include "platform/platform.h"
#include "platform/unique_bstr.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using korvo::ComPtr;
using korvo::UniqueBstr;
using korvo::test::Narrow;

const GUID kSomeInterface = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};

ComPtr<IErrorInfo> MakeRecord(const OLECHAR* description)
{
    ComPtr<ICreateErrorInfo> create;
    EXPECT_EQ(CreateErrorInfo(create.put()), S_OK);
    ComPtr<IErrorInfo> record;
    if (!create) {
        return record;
    }
    create->SetDescription(const_cast<LPOLESTR>(description));
    EXPECT_EQ(create.As(IID_IErrorInfo, record), S_OK);
    return record;
}

// The description of the calling thread's current record, taken away; "<none>" if none.
std::string TakeCurrentDescription()
{
    ComPtr<IErrorInfo> record;
    const HRESULT hr = GetErrorInfo(0, record.put());
    if (hr == S_FALSE) {
        EXPECT_FALSE(record);
        return "<none>";
    }
    EXPECT_EQ(hr, S_OK);
    if (!record) {
        return "<null record>";
    }
    UniqueBstr text;
    EXPECT_EQ(record->GetDescription(text.put()), S_OK);
    return Narrow(text.get());
}

TEST(AutomationErrorInfo, RecordKeepsWhatWasSet)
{
    ComPtr<ICreateErrorInfo> create;
    ASSERT_EQ(CreateErrorInfo(create.put()), S_OK);
    ASSERT_TRUE(create);
    EXPECT_EQ(create->SetGUID(kSomeInterface), S_OK);
    EXPECT_EQ(create->SetSource(const_cast<LPOLESTR>(OLESTR("Source.Name"))), S_OK);
    EXPECT_EQ(create->SetDescription(const_cast<LPOLESTR>(OLESTR("Something failed."))), S_OK);
    EXPECT_EQ(create->SetHelpFile(const_cast<LPOLESTR>(OLESTR("help.chm"))), S_OK);
    EXPECT_EQ(create->SetHelpContext(42), S_OK);

    ComPtr<IErrorInfo> record;
    ASSERT_EQ(create.As(IID_IErrorInfo, record), S_OK);
    GUID guid{};
    EXPECT_EQ(record->GetGUID(&guid), S_OK);
    EXPECT_TRUE(IsEqualGUID(guid, kSomeInterface));
    UniqueBstr text;
    EXPECT_EQ(record->GetSource(text.put()), S_OK);
    EXPECT_EQ(Narrow(text.get()), "Source.Name");
    EXPECT_EQ(record->GetDescription(text.put()), S_OK);
    EXPECT_EQ(Narrow(text.get()), "Something failed.");
    EXPECT_EQ(record->GetHelpFile(text.put()), S_OK);
    EXPECT_EQ(Narrow(text.get()), "help.chm");
    DWORD context = 0;
    EXPECT_EQ(record->GetHelpContext(&context), S_OK);
    EXPECT_EQ(context, 42u);

    // Both faces are one object.
    ComPtr<IUnknown> fromCreate, fromRecord;
    ASSERT_EQ(create.As(IID_IUnknown, fromCreate), S_OK);
    ASSERT_EQ(record.As(IID_IUnknown, fromRecord), S_OK);
    EXPECT_EQ(fromCreate.get(), fromRecord.get());
}

TEST(AutomationErrorInfo, GetErrorInfoTakesTheRecord)
{
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(TakeCurrentDescription(), "<none>");

    ComPtr<IErrorInfo> record = MakeRecord(OLESTR("first"));
    ASSERT_EQ(SetErrorInfo(0, record.get()), S_OK);
    record.reset(); // the thread holds its own reference
    EXPECT_EQ(TakeCurrentDescription(), "first");
    EXPECT_EQ(TakeCurrentDescription(), "<none>");
}

TEST(AutomationErrorInfo, SettingReplacesAndNullClears)
{
    ASSERT_EQ(SetErrorInfo(0, MakeRecord(OLESTR("old")).get()), S_OK);
    ASSERT_EQ(SetErrorInfo(0, MakeRecord(OLESTR("new")).get()), S_OK);
    EXPECT_EQ(TakeCurrentDescription(), "new");

    ASSERT_EQ(SetErrorInfo(0, MakeRecord(OLESTR("cleared")).get()), S_OK);
    ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);
    EXPECT_EQ(TakeCurrentDescription(), "<none>");
}

TEST(AutomationErrorInfo, EachThreadHasItsOwnRecord)
{
    ASSERT_EQ(SetErrorInfo(0, MakeRecord(OLESTR("main thread")).get()), S_OK);
    std::string seenByOther;
    std::string otherAfterSetting;
    std::thread other([&] {
        seenByOther = TakeCurrentDescription();
        SetErrorInfo(0, MakeRecord(OLESTR("other thread")).get());
        otherAfterSetting = TakeCurrentDescription();
        SetErrorInfo(0, MakeRecord(OLESTR("left behind")).get());
    });
    other.join();
    EXPECT_EQ(seenByOther, "<none>");
    EXPECT_EQ(otherAfterSetting, "other thread");
    EXPECT_EQ(TakeCurrentDescription(), "main thread");
}

} // namespace
