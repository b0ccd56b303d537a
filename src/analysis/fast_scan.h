// The fast scans of the treatment stage: the same values as the reference scans of
// scans.h, byte for byte, computed incrementally and on every core.
//
// The moving window is slid one column at a time along each centre row: the pixels
// that leave it are taken out of its item counts and those that enter are put in, so a
// window costs a few pixels per row of the window instead of its whole surface. The
// diversity and the largest count are kept up to date as the counts change. Centre rows
// (rows of cells for the mesh) are shared out among worker threads; `progress` is still
// called on the calling thread, once per row, in the order of the rows.
//
// The grids are the same as for the reference scans: the size of the map, 255 where no
// value yet. The inventory is only read (its hist_item is not used): every worker keeps
// its own counts.
#pragma once

#include "analysis/scans.h"

// The number of workers a scan uses when it is given 0: one per hardware thread.
int fast_scan_threads();

// The cell mesh, as cell_mesh_scan.
void fast_cell_mesh_scan(const LoadedMap& map, const Inventory& inv, const Window& win,
                         ByteGrid& tab_div, ByteGrid& tab_homo, const RowProgress& progress = {},
                         int threads = 0);

// The square moving window of rank rw, as square_scan.
void fast_square_scan(const LoadedMap& map, const Inventory& inv, const Window& win, int rw,
                      ByteGrid& tab_div, ByteGrid& tab_homo, const RowProgress& progress = {},
                      int threads = 0);

// The circular moving window of rank rw, as circle_scan. Any mask shape is followed:
// a row of the mask may hold several separate runs of pixels.
void fast_circle_scan(const LoadedMap& map, const Inventory& inv, const Window& win, int rw,
                      ByteGrid& tab_div, ByteGrid& tab_homo, const RowProgress& progress = {},
                      int threads = 0);

// The scan chosen by the treatment type and the window shape, as reference_scan.
// `threads`: the number of workers, 0 for one per hardware thread.
void fast_scan(int treat_type, int win_shape, const LoadedMap& map, const Inventory& inv,
               const Window& win, int rw, ByteGrid& tab_div, ByteGrid& tab_homo,
               const RowProgress& progress = {}, int threads = 0);
