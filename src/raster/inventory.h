// The item inventory of a loaded map.
#pragma once

#include "raster/map.h"

// The items of the pixel counts already in inv.hist_explor: the highest code, the pixels
// below 255, the items in ascending order of code with their pixels and shares. Earlier
// items are cleared first. For maps whose counts are taken as they stream by.
void number_items(Inventory& inv);
