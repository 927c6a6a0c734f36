// The library's entry point: start and stop of the module.
#include "errors/message_text.h"
#include "server/class_table.h"
#include "server/dictionary_dispatch.h"
#include "server/module_instance.h"
#include "share/named_store_registry.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        // Named stores first: objects may attach to them as soon as the module is up.
        if (!korvo::StartNamedStoreRegistry()) {
            return FALSE;
        }
        korvo::server::SetModuleInstance(instance);
        korvo::SetMessageModule(instance);
        DisableThreadLibraryCalls(instance);
        return TRUE;
    case DLL_PROCESS_DETACH:
        // The process is ending: its memory goes back to the system whole, and no object of
        // a named store may be released now, with other modules already gone.
        if (reserved != nullptr) {
            return TRUE;
        }
        // Unloaded while the process goes on, under the loader lock: nothing that may call
        // back into COM runs here, so objects still held by named stores are given up.
        korvo::server::ReleaseClassObject();
        korvo::server::ReleaseDictionaryTypeInfo();
        korvo::StopNamedStoreRegistry(true);
        return TRUE;
    default:
        return TRUE;
    }
}
