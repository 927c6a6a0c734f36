// The failures a remote store returns of its own, besides the local store's and the socket
// codes of an unreachable server.
#pragma once

#include "platform/platform.h"

namespace korvo {

// ERROR_INVALID_STATE as an HRESULT: the remote store keeps its keys in the other compare mode.
inline constexpr HRESULT kRemoteModeMismatch = static_cast<HRESULT>(0x8007139Fu);
// DISP_E_TYPEMISMATCH: a value that cannot be stored on a server.
inline constexpr HRESULT kRemoteValueRefused = static_cast<HRESULT>(0x80020005u);
// HRESULT_FROM_WIN32(ERROR_BUSY): a RemoveAll with a pattern lost every race against other
// writers of the store and removed nothing.
inline constexpr HRESULT kRemoteBusy = static_cast<HRESULT>(0x800700AAu);

} // namespace korvo
