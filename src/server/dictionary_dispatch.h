// IDispatch of the Dictionary object, served entirely from the registered type library.
// The type description is loaded on first use, shared by every object, and released when
// the module unloads; while loading fails, each call tries again.
#pragma once

#include "server/korvo_interface.h"

namespace korvo::server {

// The type description of IDictionary (a new reference), or the loader's failure.
HRESULT GetDictionaryTypeInfo(LCID locale, ITypeInfo** result) noexcept;

// Names to DISPIDs without regard to letter case; unknown names give DISP_E_UNKNOWNNAME.
HRESULT DictionaryIdsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount, LCID locale, DISPID* ids) noexcept;

// Calls the member through the type description's own dispatcher on `instance`.
HRESULT InvokeDictionary(IDictionary* instance, DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, UINT* argumentError) noexcept;

// Module unload: drops the cached type description.
void ReleaseDictionaryTypeInfo() noexcept;

} // namespace korvo::server
