// The module-wide count of reasons to stay loaded. Every live COM object of the module,
// every reference to the class object beyond the class table's own and every LockServer
// lock holds one; the module may be unloaded only while it is 0.
#pragma once

#include "platform/platform.h"

namespace korvo {

void IncrementModuleLockCount() noexcept;
void DecrementModuleLockCount() noexcept;
LONG ModuleLockCount() noexcept;

// Holds one count for as long as it lives.
class ModuleLock {
public:
    ModuleLock() noexcept { IncrementModuleLockCount(); }
    ModuleLock(const ModuleLock&) = delete;
    ModuleLock& operator=(const ModuleLock&) = delete;
    ~ModuleLock() { DecrementModuleLockCount(); }
};

} // namespace korvo
