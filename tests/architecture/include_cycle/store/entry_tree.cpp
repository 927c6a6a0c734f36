// A file that only includes a cycle's member: reported as leading into it.
#include "store/item_map.h"
