// The item table, the window's runs and the runs method of the fast scans: each row of
// windows slid right along its centre row by the runs of the mask rows.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/grid.h"
#include "raster/map.h"

namespace fast_runs {

// The item number of every code: the first k, from 1 upwards, whose code is that code,
// or 0 (no item). The codes of the item list are distinct, so this is the item the
// search of the reference tally finds.
struct ItemTable {
    unsigned char item_of[256] = {};
    int num_item = 0;
};

ItemTable item_table(const Inventory& inv);

// The pixels of a moving window as runs: in mask row r, the columns a to b.
struct Run {
    int r;
    int a;
    int b;
};

struct ScanShape {
    int rw = 0;
    std::vector<Run> runs;
    long long pixels = 0;  // pixels per window
};

ScanShape square_shape(int rw);
// The runs of the mask cells that hold 1; any other value leaves the pixel out.
ScanShape mask_shape(const ByteGrid& tab_rad, int rw);

// Window positions handled together when looking for changes of codes between runs.
constexpr int kBlock = 64;

// The item counts of one worker. cc[n] is the number of items (1..num_item) counted n
// times, which lets the largest count step down when the item holding it loses a pixel
// and no other item has as many.
struct Counts {
    std::vector<std::int32_t> hist = std::vector<std::int32_t>(256, 0);
    std::vector<std::uint16_t> cc;
    std::vector<const unsigned char*> leave, enter;
    // For each position of a block, how many runs and which begin a new group of codes.
    int breaks_at[kBlock] = {};
    std::vector<std::uint32_t> breaks;
};

// The windows centred on row i, from column rw over `centres` columns, into div[t] and
// largest[t] for the centre in column rw + t (see fast_runs.cpp).
void window_row(const ByteGrid& tab_in, const ScanShape& shape, const ItemTable& items, int i,
                int centres, Counts& c, std::uint16_t* div, std::uint32_t* largest);

}  // namespace fast_runs
