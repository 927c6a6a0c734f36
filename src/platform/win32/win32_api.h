// Windows: the real headers. Kept to one place so that nothing else includes them.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <objbase.h>
