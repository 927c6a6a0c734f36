// Holds the module loaded for as long as it lives: one count of ModuleLockCount.
#pragma once

#include "share/module_lock_count.h"

namespace korvo::server {

class ModuleLock {
public:
    ModuleLock() noexcept { IncrementModuleLockCount(); }
    ~ModuleLock() { DecrementModuleLockCount(); }
    ModuleLock(const ModuleLock&) = delete;
    ModuleLock& operator=(const ModuleLock&) = delete;
};

} // namespace korvo::server
