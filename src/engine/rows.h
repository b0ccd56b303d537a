// Maps read and result images written a band of rows at a time, for maps that are not
// held whole: the row sources and sinks of the program's own three formats (the two
// interfaces are in core/rows.h), each writing its rows where the whole-image writer
// would have put them, so that the finished file is the same, byte for byte.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "core/rows.h"

namespace engine {

// The raw pixel file `name` of nb_lig lines of nb_col bytes (sizes from its header).
// A file shorter than that is TooShort, with the two sizes in `detail`.
std::unique_ptr<RowSource> open_raw_source(const std::string& name, int nb_lig, int nb_col,
                                           double dpix_size, Status& st);
// A bitmap of 8 bits, or of 24 bits whose pixels are all grey (blue = green = red),
// stored bottom-up or top-down. A coloured pixel is found when its row is read.
std::unique_ptr<RowSource> open_bitmap_source(const std::string& name, Status& st);
// An ASCII grid, read forward only, its cells as read_ascii_grid reads them.
std::unique_ptr<RowSource> open_ascii_source(const std::string& name, Status& st);

// Where the file of each result format puts row y, and the bytes before the first row.
struct ImageLayout {
    long long first = 0;   // bytes before the rows (header, palette)
    long long stride = 0;  // bytes per stored row
    bool bottom_up = false;
    long long offset(int y, int nb_lig) const {
        return first + stride * (bottom_up ? static_cast<long long>(nb_lig) - 1 - y : y);
    }
};

// The sink of one result image under `base` (no extension) in result format `res_form`
// (0 raw with its ".txt" header, 1 8-bit grey bitmap, 2 ASCII grid), sized and
// georeferenced as `info`. The raw header is complete as soon as the sink is made; the
// bitmap header and palette too.
std::unique_ptr<RowSink> make_sink(int res_form, const std::string& base, const MapInfo& info,
                                   Status& st);

// The header bytes a result file of each format starts with, and the layout of its rows
// (ASCII grids have no fixed layout and give none).
std::string raw_header_text(const MapInfo& info);
std::string bitmap_head(const MapInfo& info);
std::string ascii_head(const MapInfo& info);
ImageLayout raw_layout(const MapInfo& info);
ImageLayout bitmap_layout(const MapInfo& info);
// Row `row` of nb_col cells as an ASCII grid writes it ("%d\t" per cell) into `out`.
void ascii_row_text(const unsigned char* row, int nb_col, std::string& out);

}  // namespace engine
