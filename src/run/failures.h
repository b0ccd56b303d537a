// Ending a run on a failure, and grids that are allocated or the run stops.
#pragma once

#include <initializer_list>

#include "raster/grid.h"
#include "run/console.h"

// Prints the message in the run's language, waits for one key press and ends the run
// with exit status 1 (throws RunStop{1}).
[[noreturn]] void stop_run(Console& con, int idiom, const Text& message,
                           std::initializer_list<Arg> args = {});

// A zero-filled grid of nb_col columns and nb_lig lines; when memory runs out the run
// stops with a message naming the size.
ByteGrid alloc_grid(Console& con, int idiom, int nb_col, int nb_lig);
