// The treatment stage: result matrices, one scan, the diversity histogram.
#pragma once

#include "analysis/results.h"
#include "analysis/scans.h"
#include "core/status.h"
#include "raster/map.h"
#include "window/window.h"

// Allocates tab_div and tab_homo and runs the cell mesh (treat_type 0) or the square or
// circular moving window (win_shape 0 or 1) of rank range_win, which writes every pixel
// (255 where no value) and counts the diversity values: histo_div and max_histo. tab_div
// then becomes tab_divers, the diversity image. `progress` is called once per row (of
// cells for the mesh), in row order, and cancels when it returns false; `threads` 0 uses
// every core. OutOfMemory, naming the grid's size, when a grid cannot be allocated.
Status treat(int treat_type, int win_shape, int range_win, const LoadedMap& map,
             const Inventory& inv, const Window& win, Results& res,
             const Progress& progress = {}, int threads = 0);
