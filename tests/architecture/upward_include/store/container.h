// A store header that reaches up into the members: the check must refuse it.
#pragma once

#include "members/items.h"
