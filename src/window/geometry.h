// Window geometry: the rank help, the sizes of the cell and windows, the circular mask.
#pragma once

#include "raster/map.h"
#include "run/answers.h"
#include "run/console.h"
#include "window/window.h"

// The rank help: asks a pixel edge and a surface, shows the ranks advised for a
// square and for a circle.
void rank_help(Console& con, int idiom, Window& win);

// Computes and shows the sizes of the cell mesh, the square window or the circular
// window (building its mask), as chosen by run.treat_type and run.win_shape.
void show_sizes(Console& con, const RunAnswers& run, const LoadedMap& map, Window& win);

// Builds the circular mask tab_rad for win.radius; sets nb and num_pix_circ.
// Returns false when the mask cannot be allocated.
bool circle(Window& win);
