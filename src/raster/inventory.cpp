#include "raster/inventory.h"

void explor(Console&, int, const LoadedMap&, Inventory&) {}
