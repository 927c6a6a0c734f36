#include "errors/report_error.h"

#include <algorithm>
#include <array>

#include "errors/identifiers.h"
#include "errors/message_text.h"
#include "platform/com_ptr.h"
#include "platform/hresults.h"
#include "platform/unique_co_task_string.h"

namespace korvo {
namespace {

// Messages are at most 99 characters; the buffers hold one more for the terminator.
constexpr int kMessageBufferSize = 100;

struct AnsiToWide {
    OLECHAR text[kMessageBufferSize] = {};
    explicit AnsiToWide(const char* ansi) noexcept
    {
        if (MultiByteToWideChar(CP_ACP, 0, ansi, -1, text, kMessageBufferSize) == 0) {
            text[0] = 0;
        }
    }
};

void SetThreadRecord(ICreateErrorInfo& record) noexcept
{
    ComPtr<IErrorInfo> errorInfo;
    if (SUCCEEDED(record.QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(errorInfo.put())))) {
        SetErrorInfo(0, errorInfo.get());
    }
}

void SetRecord(const GUID& guid, const OLECHAR* source, const OLECHAR* description) noexcept
{
    ComPtr<ICreateErrorInfo> record;
    if (FAILED(CreateErrorInfo(record.put())) || !record) {
        return;
    }
    record->SetGUID(guid);
    if (source != nullptr) {
        record->SetSource(const_cast<LPOLESTR>(source));
    }
    record->SetDescription(const_cast<LPOLESTR>(description));
    SetThreadRecord(*record.get());
}

} // namespace

HRESULT ReportError(UINT stringId, HRESULT result) noexcept
{
    char message[kMessageBufferSize];
    LoadMessageText(stringId, message, kMessageBufferSize);
    const AnsiToWide description(message);
    SetRecord(kIidIDictionary, kProgId, description.text);
    return result;
}

HRESULT ReportErrorDetail(UINT stringId, std::string_view detail, HRESULT result) noexcept
{
    char message[kMessageBufferSize];
    LoadMessageText(stringId, message, kMessageBufferSize);
    const std::string_view pattern(message);
    const std::size_t marker = pattern.find("%1");
    // Room for a text past what a record holds, so that a long one is refused whole, not cut.
    std::array<char, 2 * kMessageBufferSize> text{};
    std::size_t used = 0;
    const auto append = [&](std::string_view piece) {
        const std::size_t taken = std::min(piece.size(), text.size() - 1 - used);
        std::copy_n(piece.data(), taken, text.data() + used);
        used += taken;
    };
    append(pattern.substr(0, marker));
    if (marker != std::string_view::npos) {
        append(detail);
        append(pattern.substr(marker + 2));
    }
    const AnsiToWide description(text.data());
    SetRecord(kIidIDictionary, kProgId, description.text);
    return result;
}

HRESULT ReportCopyFailure(HRESULT copyFailure) noexcept
{
    switch (copyFailure) {
    case DISP_E_ARRAYISLOCKED:
        return ReportError(KORVO_MSG_ARRAY_LOCKED, copyFailure);
    case DISP_E_BADVARTYPE:
        return ReportError(KORVO_MSG_BAD_VARIANT_TYPE, copyFailure);
    case E_OUTOFMEMORY:
        return ReportError(KORVO_MSG_OUT_OF_MEMORY, copyFailure);
    case E_INVALIDARG:
        return ReportError(KORVO_MSG_INVALID_ARGUMENT, copyFailure);
    default:
        return ReportError(KORVO_MSG_UNKNOWN_ERROR, E_FAIL);
    }
}

void ReportErrorText(const char* ansiText) noexcept
{
    const AnsiToWide description(ansiText);
    UniqueCoTaskString progId;
    const bool registered = SUCCEEDED(ProgIDFromCLSID(kClsidDictionary, progId.put())) && progId;
    SetRecord(GUID_NULL, registered ? progId.get() : nullptr, description.text);
}

HRESULT ReportUnusablePattern(std::basic_string_view<OLECHAR> pattern, PatternFault fault) noexcept
{
    constexpr std::size_t kShownUnits = 200;
    constexpr char kIntroduction[] = "The pattern \"";
    const char* reason = fault == PatternFault::DoesNotCompile ? "\" is not a valid regular expression."
                                                               : "\" could not be tested against every key.";
    std::array<OLECHAR, kShownUnits + 128> text{};
    std::size_t used = 0;
    const auto append = [&](const char* ascii) {
        for (; *ascii != '\0' && used + 1 < text.size(); ++ascii) {
            text[used++] = static_cast<OLECHAR>(*ascii);
        }
    };
    append(kIntroduction);
    for (std::size_t i = 0; i < pattern.size() && i < kShownUnits; ++i) {
        text[used++] = pattern[i];
    }
    if (pattern.size() > kShownUnits) {
        append("...");
    }
    append(reason);
    SetRecord(kIidIDictionary, kProgId, text.data());
    return hresult::kInvalidData;
}

HRESULT ReportPatternUnavailable() noexcept
{
    ReportErrorText(KORVO_TEXT_REGEXP_UNAVAILABLE);
    return hresult::kPatternUnavailable;
}

} // namespace korvo
