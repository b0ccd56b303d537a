// The table of raster formats: for each, its name, its extensions, its row reader, its
// row sink and the byte layout of its files, so that a writer that puts rows at their
// offsets itself (the processes of an MPI job) writes the same bytes as its sink.
#pragma once

#include <array>
#include <memory>
#include <span>
#include <string>

#include "core/rows.h"

namespace formats {

// How a result file of a format stores its rows.
struct ByteLayout {
    std::string head;        // bytes before the first row (header, palette)
    long long stride = 0;    // bytes of a stored row; 0: rows of text, each as long as its cells
    bool bottom_up = false;  // rows stored from the last line to the first
    // A row as stored: nb_col cells into `out` (`stride` bytes, padding included, or text).
    void (*row_bytes)(const unsigned char* row, int nb_col, std::string& out) = nullptr;
    // A file that goes beside the image (the raw format's header): its extension and bytes.
    std::string side_extension;
    std::string side_bytes;
    // The largest file the format's header can describe; -1 when there is no bound.
    long long max_bytes = -1;

    // Where row y (0 the top line) starts, for a layout of fixed stride.
    long long offset(int y, int nb_lig) const {
        return static_cast<long long>(head.size()) +
               stride * (bottom_up ? static_cast<long long>(nb_lig) - 1 - y : y);
    }
    // Whether the whole file of nb_lig rows is beyond what the format can describe.
    bool too_large(int nb_lig) const {
        return max_bytes >= 0 &&
               static_cast<long long>(head.size()) + stride * static_cast<long long>(nb_lig) >
                   max_bytes;
    }
};

struct Format {
    const char* name;  // as the command line names it
    int code;          // the format's number in the dialogue's menus (kRaster ...); -1 none
    // Extensions in lower case (compared without case), the one results get first;
    // unused entries are null.
    std::array<const char*, 3> extensions;
    // Opens the map `path` for reading rows. `declared` holds what a header file beside
    // the map says (the raw format's sizes and pixel size); the others read their own.
    // Null for formats read through the GDAL module.
    std::unique_ptr<engine::RowSource> (*open_source)(const std::string& path,
                                                      const engine::MapInfo& declared, Status& st);
    // The sink of one result image under `base` (no extension), sized and georeferenced as
    // `info`; null for formats written otherwise (GeoTIFF through the GDAL module, PNG
    // pictures of whole results).
    std::unique_ptr<engine::RowSink> (*make_sink)(const std::string& base,
                                                  const engine::MapInfo& info, Status& st);
    // The byte layout of a result file; false for formats that have none of their own.
    bool (*layout)(const engine::MapInfo& info, ByteLayout& out);

    // The extension of result files: ".raw", ".bmp", ...
    const char* extension() const { return extensions[0]; }
};

// Every format, the program's own first.
std::span<const Format> all_formats();
// The format of number `code` (kRaster, kBitmap, kAscii, kGeoTiff); the raw format for
// any other number.
const Format& format_of(int code);
// The format whose extension `path` ends with (without case); null when none.
const Format* format_of_path(const std::string& path);

// Each unit's row of the table.
const Format& raw_format();
const Format& bitmap_format();
const Format& ascii_grid_format();
const Format& geotiff_format();
const Format& png_format();

}  // namespace formats
