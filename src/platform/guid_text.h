// The registry's text form of a GUID: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
#pragma once

#include <string>

#include "platform/platform.h"

namespace korvo {

std::basic_string<OLECHAR> GuidText(const GUID& guid);

} // namespace korvo
