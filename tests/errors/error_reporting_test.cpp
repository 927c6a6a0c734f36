// The error records that members leave: the copy-failure mapping, the record of a member
// failure, the text record of an unavailable pattern component, and records per thread.
#include <thread>

#include "errors/identifiers.h"
#include "errors/report_error.h"
#include "member_calls.h"

namespace korvo::testing {
namespace {

struct CopyFailureCase {
    HRESULT copyFailure;
    HRESULT returned;
    const char16_t* description;
};

TEST(ErrorReporting, CopyFailuresMapOntoTheirMessages)
{
    const CopyFailureCase cases[] = {
        {DISP_E_ARRAYISLOCKED, DISP_E_ARRAYISLOCKED, u"The variant contains an array that is locked."},
        {DISP_E_BADVARTYPE, DISP_E_BADVARTYPE,
         u"The source and destination have an invalid variant type (usually uninitialized)."},
        {E_OUTOFMEMORY, E_OUTOFMEMORY, u"Memory could not be allocated."},
        {E_INVALIDARG, E_INVALIDARG, u"One of the arguments is invalid."},
        {DISP_E_TYPEMISMATCH, E_FAIL, u"Unknown error."},
        {E_UNEXPECTED, E_FAIL, u"Unknown error."},
    };
    for (const auto& c : cases) {
        ClearErrorRecord();
        EXPECT_EQ(ReportCopyFailure(c.copyFailure), c.returned);
        const ErrorRecord record = TakeErrorRecord();
        ASSERT_TRUE(record.present);
        EXPECT_EQ(record.description, c.description);
        EXPECT_EQ(record.source, u"Korvo.Dictionary");
        EXPECT_TRUE(IsEqualGUID(record.guid, kIidIDictionary));
    }
}

TEST(ErrorReporting, ReportErrorReturnsTheGivenResult)
{
    EXPECT_EQ(ReportError(KORVO_MSG_KEY_EXISTS, static_cast<HRESULT>(0x80001234)), static_cast<HRESULT>(0x80001234));
    EXPECT_EQ(TakeErrorRecord().description, u"This key is already in collection.");
}

TEST(ErrorReporting, TextRecordHasNullGuidAndRegisteredSourceOnly)
{
    ClearErrorRecord();
    ReportErrorText(KORVO_TEXT_REGEXP_UNAVAILABLE);
    const ErrorRecord record = TakeErrorRecord();
    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.description, u"Cannot initialize VBScript RegExp object");
    EXPECT_TRUE(IsEqualGUID(record.guid, GUID_NULL));
    // The source is the ProgID the class is registered under, or none.
    EXPECT_TRUE(record.source.empty() || record.source == u"Korvo.Dictionary") << "source";
}

TEST(ErrorReporting, RecordsArePerThread)
{
    ReportError(KORVO_MSG_UNKNOWN_ERROR, E_FAIL);
    bool otherThreadSawOne = true;
    std::thread([&] { otherThreadSawOne = TakeErrorRecord().present; }).join();
    EXPECT_FALSE(otherThreadSawOne);
    EXPECT_TRUE(TakeErrorRecord().present);
}

} // namespace
} // namespace korvo::testing
