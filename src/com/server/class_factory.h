// The class object of Dictionary. The class table keeps its first reference; every
// reference beyond that one holds the module loaded (ModuleLockCount), so a client's
// reference keeps the library in memory while the table's own does not.
#pragma once

#include "com/server/korvo_interface.h"
#include "platform/critical_section.h"

namespace korvo::server {

class ClassFactory final : public IClassFactory {
public:
    ClassFactory() = default;
    ~ClassFactory() = default;
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** result) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    CriticalSection countSection_;
    ULONG referenceCount_ = 0;
};

} // namespace korvo::server
