// The item inventory of a loaded map.
#pragma once

#include "raster/map.h"

// Counts the pixels per code and numbers the items (codes 0..254 present) in ascending
// order of code, with their share of the pixels below 255.
void take_inventory(const LoadedMap& map, Inventory& inv);
