// Window geometry: the rank help, the sizes of the cell and windows, the circular mask.
#pragma once

#include "core/status.h"
#include "window/window.h"

// The integer part of a real, truncated toward zero. Values beyond the range of an
// int are held at its nearest end, and a NaN gives 0, so that no conversion is ever
// undefined.
int trunc_int(double x);

// The advised ranks for a pixel edge (metres) and a surface (km2), as the rank help
// computes them; fills the same fields of `win`.
void advise_ranks(Window& win, int pixel_edge, double surface_km2);

// The sizes of the cell or of the square window of rank R (0 to 23169, so that the
// surface in pixels fits an int) for a pixel edge of `dpix_size` metres: ps, ps2,
// side, surf_tot, surf_window, surf_win.
void square_sizes(Window& win, int range_win, double dpix_size);

// The sizes of the circular window of rank R: ps, ps2, radius, the mask (circle),
// surf_tot, surf_window, surf_win. False when the mask cannot be allocated.
bool circle_sizes(Window& win, int range_win, double dpix_size);

// The sizes of the shape the dialogue's answers choose (window_shape(treat_type,
// win_shape): the cell mesh, the square window or the circular window, building its
// mask) of rank R for a pixel edge of `dpix_size` metres.
// OutOfMemory (naming the mask's size) when the mask cannot be allocated.
Status window_sizes(Window& win, int treat_type, int win_shape, int range_win, double dpix_size);

// Builds the circular mask tab_rad for win.radius by drawing concentric rings; sets
// nb and num_pix_circ. Returns false (and leaves no mask) when it cannot be allocated.
bool circle(Window& win);
