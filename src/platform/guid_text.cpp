#include "platform/guid_text.h"

#include <cstdio>

namespace korvo {

std::basic_string<OLECHAR> GuidText(const GUID& guid)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(guid.Data1), unsigned{guid.Data2}, unsigned{guid.Data3},
                  unsigned{guid.Data4[0]}, unsigned{guid.Data4[1]}, unsigned{guid.Data4[2]}, unsigned{guid.Data4[3]},
                  unsigned{guid.Data4[4]}, unsigned{guid.Data4[5]}, unsigned{guid.Data4[6]}, unsigned{guid.Data4[7]});
    return std::basic_string<OLECHAR>(text, text + 38);
}

} // namespace korvo
