// The item inventory of a loaded map.
#pragma once

#include "raster/map.h"
#include "run/console.h"

// Counts the pixels per code, numbers the items (codes 0..254 present) in ascending
// order of code and prints the histogram and the item list.
void explor(Console& con, int idiom, const LoadedMap& map, Inventory& inv);

// The items of the pixel counts already in inv.hist_explor, printing nothing: the
// highest code, the pixels below 255, the items in ascending order of code with their
// pixels and shares. Earlier items are cleared first.
void number_items(Inventory& inv);
