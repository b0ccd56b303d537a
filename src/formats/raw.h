// The raw raster format: base + ".raw" holds the pixels, base + ".txt" six integers
// (lines, columns, 1, lowest value, highest value, pixel size in metres).
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "core/rows.h"
#include "raster/nrutil.h"

// The six integers of a header, in the order they are stored.
struct RawHeader {
    int nb_lig = 0;
    int nb_col = 0;
    int val = 1;  // a constant, read and ignored
    int min_al = 0;
    int max_al = 255;
    int pix_size = 0;
};

// Reads a header: six integers separated by any white space. A file that cannot be
// opened is Missing (the dialogue then asks for the values, a batch run refuses the map);
// one that holds fewer than six integers or one beyond the range of an int, or that is a
// folder, a FIFO or a device (never waited on), is Refused, saying why.
Status read_raw_header(const std::string& name, RawHeader& h);

// Writes a header, one "%d\n" per value. Returns true when the file was written in full.
bool write_raw_header(const std::string& name, const RawHeader& h);
// The bytes of a header file: one "%d\n" per value.
std::string raw_header_text(const RawHeader& h);
// The header of a result image sized as `info`: its pixel size truncated toward zero.
RawHeader raw_header_of(const engine::MapInfo& info);

// trunc(x) as an int; values beyond the range of an int are held at its bounds.
int trunc_to_int(double x);

namespace formats {

// The raw pixel file `name` of nb_lig lines of nb_col bytes (sizes from its header).
// A file shorter than that is refused, naming the two sizes.
std::unique_ptr<engine::RowSource> open_raw_source(const std::string& name, int nb_lig, int nb_col,
                                                   double dpix_size, Status& st);

}  // namespace formats
