// The other half of the cycle.
#pragma once

#include "item_map.h"
