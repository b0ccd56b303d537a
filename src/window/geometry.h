// Window geometry: the rank help, the sizes of the cell and windows, the circular mask.
#pragma once

#include "raster/map.h"
#include "run/answers.h"
#include "run/console.h"
#include "window/window.h"

// The integer part of a real, truncated toward zero. Values beyond the range of an
// int are held at its nearest end, and a NaN gives 0, so that no conversion is ever
// undefined.
int trunc_int(double x);

// The rank help: asks a pixel edge (again while it is not above 0) and a surface in
// km2 (again while it is below 0), then shows the ranks advised for a square and for
// a circle. Leaves the pixel edge in win.side, the surface in win.surf_window and the
// values of the computation in win.S, radius, rad_pix, val_prov, R_square, R_circle.
void rank_help(Console& con, int idiom, Window& win);

// The advised ranks for a pixel edge (metres) and a surface (km2), as rank_help
// computes them; fills the same fields of `win`.
void advise_ranks(Window& win, int pixel_edge, double surface_km2);

// The sizes of the cell or of the square window of rank R (0 to 23169, so that the
// surface in pixels fits an int) for a pixel edge of `dpix_size` metres: ps, ps2,
// side, surf_tot, surf_window, surf_win.
void square_sizes(Window& win, int range_win, double dpix_size);

// The sizes of the circular window of rank R: ps, ps2, radius, the mask (circle),
// surf_tot, surf_window, surf_win. False when the mask cannot be allocated.
bool circle_sizes(Window& win, int range_win, double dpix_size);

// Computes and shows the sizes of the cell mesh, the square window or the circular
// window (building its mask), as chosen by run.treat_type and run.win_shape. The run
// stops with a message when the mask cannot be allocated.
void show_sizes(Console& con, const RunAnswers& run, const LoadedMap& map, Window& win);

// Builds the circular mask tab_rad for win.radius by drawing concentric rings; sets
// nb and num_pix_circ. Returns false (and leaves no mask) when it cannot be allocated.
bool circle(Window& win);
