// Two headers of one layer that include each other: the check must refuse the cycle.
#pragma once

#include "store/key_compare.h"
