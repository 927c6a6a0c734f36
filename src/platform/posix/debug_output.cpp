#include <unistd.h>

#include <string>
#include <string_view>

#include "kernel.h"
#include "platform/hresult_from_exception.h"
#include "utf8.h"

void OutputDebugStringW(LPCWSTR outputString)
{
    if (outputString == nullptr) {
        return;
    }
    // One write for the whole text, so that lines of several threads do not interleave.
    korvo::CallReturningHresult([&] {
        std::string text;
        korvo::posix::AppendUtf8(std::u16string_view(outputString), text, false);
        for (std::size_t written = 0; written < text.size();) {
            const ssize_t put = write(STDERR_FILENO, text.data() + written, text.size() - written);
            if (put <= 0) {
                break;
            }
            written += static_cast<std::size_t>(put);
        }
        return S_OK;
    });
}
