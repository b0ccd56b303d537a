// The item inventory of a loaded map.
#pragma once

#include "raster/map.h"

// Counts the pixels per code and numbers the items (codes 0..254 present) in ascending
// order of code, with their share of the pixels below 255.
void take_inventory(const LoadedMap& map, Inventory& inv);

// The items of the pixel counts already in inv.hist_explor: the highest code, the pixels
// below 255, the items in ascending order of code with their pixels and shares. Earlier
// items are cleared first. For maps whose counts are taken as they stream by.
void number_items(Inventory& inv);
