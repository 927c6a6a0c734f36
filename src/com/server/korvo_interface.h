// The interface declarations generated from korvo.idl (IDictionary, CompareMethod), reached
// through the platform header so the Windows headers come first and from one place.
#pragma once

#include "platform/platform.h"

#include "korvo.h"
