// The reference scans of the treatment stage: the cell mesh and the square and
// circular moving windows.
//
// Each scan tallies every window afresh from all the pixels of its box, searching the
// item of each pixel in the item list, and writes its values into tab_div (diversity)
// and tab_homo (homogeneity). Both grids must have the size of the map and hold 255
// (no value) everywhere when the scan starts; pixels that no window or cell evaluates
// keep it. The scans print nothing: after each row of centres (or of cells) they call
// `progress`, when given, with that row and the map's lines; when it returns false they
// stop there.
#pragma once

#include "analysis/results.h"
#include "core/progress.h"
#include "raster/map.h"
#include "window/window.h"

// Sets the first nb_col cells of the first nb_lig lines of `g` to `value`.
void fill_grid(const ByteGrid& g, int nb_lig, int nb_col, unsigned char value);

// The cell mesh: whole cells of win.side x win.side pixels laid from the top left
// corner, each tallied once with the surface win.surf_tot; its values go to every pixel
// of the cell. `progress` gets the top row of each row of cells.
void cell_mesh_scan(const LoadedMap& map, Inventory& inv, const Window& win, ByteGrid& tab_div,
                    ByteGrid& tab_homo, const Progress& progress = {});

// The square moving window of rank rw and surface win.surf_tot, at every centre whose
// whole window lies inside the map. `progress` gets each centre row.
void square_scan(const LoadedMap& map, Inventory& inv, const Window& win, int rw, ByteGrid& tab_div,
                 ByteGrid& tab_homo, const Progress& progress = {});

// The circular moving window: the square box of rank rw, where only the pixels whose
// cell of the mask win.tab_rad (2rw + 1 cells wide) holds 1 are tallied, with the
// surface win.surf_tot. Nothing is evaluated when the mask does not fit the rank.
void circle_scan(const LoadedMap& map, Inventory& inv, const Window& win, int rw, ByteGrid& tab_div,
                 ByteGrid& tab_homo, const Progress& progress = {});

// The scan chosen by the treatment type (0 cell mesh, 1 moving window) and the window
// shape (0 square, 1 circle).
void reference_scan(int treat_type, int win_shape, const LoadedMap& map, Inventory& inv,
                    const Window& win, int rw, ByteGrid& tab_div, ByteGrid& tab_homo,
                    const Progress& progress = {});
