// The module's one class table entry: the class object of Dictionary, created on first
// request under the class-object section and kept until the module unloads.
#pragma once

#include "server/korvo_interface.h"

namespace korvo::server {

// DllGetClassObject's work: the class object for `clsid` as interface `iid`.
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** result) noexcept;

// Module unload: drops the table's reference to the class object.
void ReleaseClassObject() noexcept;

} // namespace korvo::server
