// The treatment stage: result matrices, one scan, the diversity histogram.
#pragma once

#include "analysis/results.h"
#include "raster/map.h"
#include "run/answers.h"
#include "run/console.h"
#include "window/window.h"

// Prints the heading, allocates tab_div and tab_homo filled with 255, runs the cell
// mesh or the square or circular moving window, then prints the diversity histogram
// and builds tab_divers.
void treatment(Console& con, const RunAnswers& run, const LoadedMap& map, Inventory& inv,
               const Window& win, Results& res);
