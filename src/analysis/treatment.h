// The treatment stage: result matrices, one scan, the diversity histogram.
#pragma once

#include "analysis/results.h"
#include "raster/map.h"
#include "run/answers.h"
#include "run/console.h"
#include "window/window.h"

// Prints the heading, allocates tab_div and tab_homo, runs the cell mesh or the square
// or circular moving window (one progress line per row), which writes every pixel (255
// where no value) and counts the diversity values, then prints the diversity histogram.
// tab_div becomes tab_divers, the diversity image. The run stops with a message when a
// grid cannot be allocated.
void treatment(Console& con, const RunAnswers& run, const LoadedMap& map, Inventory& inv,
               const Window& win, Results& res);

// The histogram of the diversity values below 255 of tab_div: histo_div and max_histo.
void diversity_histogram(const ByteGrid& tab_div, int nb_lig, int nb_col, Results& res);
