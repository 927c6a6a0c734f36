// Windows: the real headers. Kept to one place so that nothing else includes them.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
// Winsock 2 must come before windows.h, which would otherwise pull in the old winsock.h.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
// clang-format on
#include <objbase.h>
#include <ole2.h>
#include <oleauto.h>
