// The process's table of kernel-object handles. A HANDLE is a key into the table, never a
// pointer, so a closed or made-up handle is recognised instead of dereferenced; a looked-up
// object stays alive while in use even if another thread closes its handle meanwhile.
#pragma once

#include "kernel.h"

#include <memory>

namespace korvo::posix {

class KernelObject {
public:
    KernelObject() = default;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;
    virtual ~KernelObject() = default;
};

// Returns the new handle, or null with ERROR_NOT_ENOUGH_MEMORY as the last error.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// Null (and ERROR_INVALID_HANDLE as the last error) unless the handle is open and refers
// to an object of type T.
template <class T>
std::shared_ptr<T> LookUpHandle(HANDLE handle);

std::shared_ptr<KernelObject> LookUpAnyHandle(HANDLE handle);

template <class T>
std::shared_ptr<T> LookUpHandle(HANDLE handle)
{
    auto typed = std::dynamic_pointer_cast<T>(LookUpAnyHandle(handle));
    if (!typed) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return typed;
}

} // namespace korvo::posix
