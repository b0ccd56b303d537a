// Whole images read for the tests through the row readers the program runs: every row of
// a file into one grid, so that a test compares all its cells at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/progress.h"
#include "core/status.h"
#include "formats/ascii_grid.h"
#include "raster/grid.h"

// An ASCII grid read whole: its header, its cells, and whether cells follow the declared
// ones (ignored).
struct AsciiGridRead : AsciiGrid {
    ByteGrid cells;
    bool extra_cells = false;
};
// Every line of `name` through AsciiGridReader (at most INT_MAX cells); `at_line(i, rows)`
// is called before line i is read, false cancelling. On failure the cells stay empty.
Status read_ascii_grid(const std::string& name, AsciiGridRead& g, const Progress& at_line = {});

// A bitmap read whole through open_bitmap_source (at most INT_MAX pixels): its sizes as
// soon as they are known, its rows on success, the refusal otherwise.
struct BitmapRead {
    ByteGrid m;
    int nb_col = -1, nb_lig = -1;
    Status why;
};
BitmapRead read_bitmap(const std::string& name);

// Reads a PNG back as RGBA pixels (width x height x 4 bytes, top row first), to check
// what the program drew; false in a build without libpng or for bytes it cannot read.
bool decode_png_rgba(const std::string& bytes, int& width, int& height,
                     std::vector<std::uint8_t>& rgba);
