#pragma once

#include "platform/platform.h"

namespace korvo {

// Clears an item that leaves its store for good. Clearing may run a foreign object's
// release, which may throw or call back into a store; a fault there is absorbed so the
// removal goes on.
void ReleaseItem(VARIANT& item) noexcept;

} // namespace korvo
