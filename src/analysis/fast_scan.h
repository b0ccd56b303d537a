// The fast scans of the treatment stage: the same values as the reference scans of
// scans.h, byte for byte, computed incrementally and on every core.
//
// The square window keeps, for every map column, the count of each item over the rows
// of the window, slid down one row at a time; the window sums of all items are slid
// right one column at a time in vector lanes, so a window costs the same whatever its
// rank. The circular window slides down: each step takes out the top pixel of every
// vertical run of the mask and puts in the pixel below its bottom, counted per item for
// many centres in each vector. Where that would be slower (very many items, huge
// circles, masks of scattered pixels, processors without vectors) the window slides
// right instead, by the runs of the mask rows. The cell mesh counts every cell once.
// Centre rows (rows of cells for the mesh) are shared out in bands among worker threads;
// `progress` is still called on the calling thread, once per row, in the order of the
// rows; when it returns false the workers take no more rows and the scan returns, its
// grids incomplete.
//
// The grids are the size of the map. The inventory is only read (its hist_item is not
// used): every worker keeps its own counts.
#pragma once

#include <cstdint>

#include "analysis/scans.h"

// How a moving window is slid.
enum class WindowMethod {
    best,    // the faster of the two for the window, the items and the processor
    runs,    // right along each centre row, by the runs of the mask rows
    counts,  // item counts per column (square) or down each column of centres (circle)
};

// The windows a scan evaluates with centres in rows [from, to) and those of them that
// hold pixels of no item (codes the inventory does not list, 255 in a map's own
// inventory). The moving windows slid by item counts count them on their way
// (`counted` then true); the other scans leave them to metrics::unclassified_windows.
struct UnclassifiedTally {
    int from = 0;
    int to = 0;
    std::int64_t windows = 0;
    std::int64_t with_unclassified = 0;
    bool counted = false;
};

struct ScanOptions {
    int threads = 0;  // workers; 0 for one per hardware thread
    // False: the grids hold 255 wherever no value yet, and only those pixels take one.
    // True: the grids' contents do not matter; every pixel is written, 255 where no
    // window or cell reaches.
    bool fresh = false;
    // With `fresh`: 256 counters, to which the scan adds the number of pixels of each
    // diversity value its windows or cells give (not the pixels that no window reaches).
    std::int64_t* histogram = nullptr;
    WindowMethod method = WindowMethod::best;
    // Centre columns a worker handles together with item counts; 0: as many as keep its
    // counts within a few MiB.
    int strip = 0;
    // Given: the windows counted, where the method allows (see UnclassifiedTally).
    UnclassifiedTally* tally = nullptr;
};

// The number of workers a scan uses when it is given 0: one per hardware thread.
int fast_scan_threads();

// The scan chosen by the treatment type and the window shape, as reference_scan.
// `threads`: the number of workers, 0 for one per hardware thread.
void fast_scan(int treat_type, int win_shape, const LoadedMap& map, const Inventory& inv,
               const Window& win, int rw, ByteGrid& tab_div, ByteGrid& tab_homo,
               const Progress& progress = {}, int threads = 0);
void fast_scan(int treat_type, int win_shape, const LoadedMap& map, const Inventory& inv,
               const Window& win, int rw, ByteGrid& tab_div, ByteGrid& tab_homo,
               const Progress& progress, const ScanOptions& options);

