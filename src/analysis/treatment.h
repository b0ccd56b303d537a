// The treatment stage: result matrices, one scan, the diversity histogram.
#pragma once

#include "analysis/results.h"
#include "analysis/scans.h"
#include "core/status.h"
#include "raster/map.h"
#include "window/window.h"

// Allocates tab_div and tab_homo filled with 255, runs the cell mesh (treat_type 0) or
// the square or circular moving window (win_shape 0 or 1) of rank range_win, then takes
// the diversity histogram and builds tab_divers. tab_div is released once tab_divers
// holds its values. `progress` is called once per row (of cells for the mesh), in row
// order; `threads` 0 uses every core. OutOfMemory, naming the grid's size, when a grid
// cannot be allocated.
Status treat(int treat_type, int win_shape, int range_win, const LoadedMap& map,
             const Inventory& inv, const Window& win, Results& res,
             const RowProgress& progress = {}, int threads = 0);

// The histogram of the diversity values below 255 of tab_div: histo_div and max_histo.
void diversity_histogram(const ByteGrid& tab_div, int nb_lig, int nb_col, Results& res);
