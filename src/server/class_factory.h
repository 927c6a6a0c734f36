// The class object of Dictionary. The class table keeps its first reference; every
// reference beyond that one holds the module loaded, so a client's reference keeps the
// library in memory while the table's own does not.
#pragma once

#include "server/korvo_interface.h"

namespace korvo::server {

class ClassFactory final : public ComObject<ClassFactory, Interfaces<IClassFactory>, ClassObjectCount> {
public:
    ClassFactory() = default;
    ~ClassFactory() = default;

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** result) noexcept override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override;
};

} // namespace korvo::server
