// Posix: our own implementation of the Win32 and automation-runtime subset the code uses.
#pragma once

#include "base_types.h"
#include "kernel.h"
#include "oleauto.h"
