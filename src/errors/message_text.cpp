#include "errors/message_text.h"

#include <cstring>

#include "errors/message_table.h"

namespace korvo {
namespace {

struct MessageRow {
    UINT id;
    const char* text;
};

#define KORVO_MESSAGE_ROW(id, text) {id, text},
constexpr MessageRow kMessages[] = {KORVO_MESSAGES(KORVO_MESSAGE_ROW)};
#undef KORVO_MESSAGE_ROW

int CopyCompiledMessage(UINT stringId, char* buffer, int bufferSize) noexcept
{
    for (const auto& row : kMessages) {
        if (row.id == stringId) {
            const auto length = static_cast<int>(std::strlen(row.text));
            const int copied = length < bufferSize ? length : bufferSize - 1;
            std::memcpy(buffer, row.text, static_cast<std::size_t>(copied));
            buffer[copied] = '\0';
            return copied;
        }
    }
    buffer[0] = '\0';
    return 0;
}

#if defined(_WIN32)
HINSTANCE messageModule = nullptr;
#endif

} // namespace

#if defined(_WIN32)
void SetMessageModule(HINSTANCE module) noexcept
{
    messageModule = module;
}
#endif

int LoadMessageText(UINT stringId, char* buffer, int bufferSize) noexcept
{
    if (buffer == nullptr || bufferSize <= 0) {
        return 0;
    }
#if defined(_WIN32)
    // The module's STRINGTABLE is the source; a host without it (a test executable) falls
    // back to the same list compiled in.
    if (messageModule != nullptr) {
        const int length = LoadStringA(messageModule, stringId, buffer, bufferSize);
        if (length > 0) {
            return length;
        }
    }
#endif
    return CopyCompiledMessage(stringId, buffer, bufferSize);
}

} // namespace korvo
