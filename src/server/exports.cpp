// The four exports of the in-process server.
#include "platform/failure_trace.h"
#include "platform/hresult_from_exception.h"
#include "platform/module_lock.h"
#include "server/class_table.h"
#include "server/module_instance.h"
#include "server/registry_entries.h"
#include "server/type_library_registration.h"
#include "share/named_store_registry.h"

// A named store that holds objects keeps the module: their release may run foreign code,
// which must not run while the module is unloaded.
STDAPI DllCanUnloadNow()
{
    return korvo::ModuleLockCount() == 0 && !korvo::NamedStoresHoldObjects() ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** result)
{
    return KORVO_TRACED(korvo::server::GetClassObject(clsid, iid, result));
}

STDAPI DllRegisterServer()
{
    return KORVO_TRACED(korvo::CallReturningHresult([] {
        const std::wstring modulePath = korvo::server::ModulePath();
        if (modulePath.empty()) {
            return HRESULT_FROM_WIN32(GetLastError());
        }
        const HRESULT hr = korvo::server::WriteRegistryEntries(modulePath);
        if (FAILED(hr)) {
            return hr;
        }
        return korvo::server::RegisterModuleTypeLibrary(modulePath);
    }));
}

STDAPI DllUnregisterServer()
{
    korvo::server::RemoveRegistryEntries();
    korvo::CallReturningHresult([] {
        korvo::server::UnregisterModuleTypeLibrary(korvo::server::ModulePath());
        return S_OK;
    });
    return S_OK;
}
