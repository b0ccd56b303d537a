// The table of raster formats: for each, its name, its extensions, its row reader, its
// row sink and the byte layout of its files, so that a writer that puts rows at their
// offsets itself (the processes of an MPI job) writes the same bytes as its sink.
#pragma once

#include <array>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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
    const char* name;  // as the command line's -f and the JSON summary name it
    int code;          // the format's number in the dialogue's menus and in the run's answers
                       // (kRaster ...); -1 for formats no run writes (PNG pictures)
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
    // The extension of the file that goes beside a map or result of the format (the raw
    // format's header); null when there is none.
    const char* side_extension = nullptr;
    // A map of the format states its pixel size (a raw header, an ASCII grid's cell size).
    bool carries_pixel_size = false;
    // Results need the map's lower left corner and must run north-up (ASCII grid).
    bool needs_corner = false;
    // Read in one forward pass (ASCII grid): no row can be read twice, nor out of order.
    bool forward_only = false;
    // The cloud-optimised variant of GeoTIFF (-f cog).
    bool cloud_optimised = false;

    // The extension of result files: ".raw", ".bmp", ...
    const char* extension() const { return extensions[0]; }
    // Whether the program reads and writes it itself (raw, bitmap, ASCII grid).
    bool native() const { return open_source != nullptr; }
};

// Every format, in the order the command line lists them.
std::span<const Format> all_formats();
// The format of number `code` (kRaster, kBitmap, kAscii, kGeoTiff); the raw format for
// any other number.
const Format& format_of(int code);
// The format the command line names `name` ("tif", "cog", "raw", ...); null when none.
const Format* format_named(std::string_view name);
// The names -f takes, in the table's order.
std::vector<std::string> result_format_names();
// The highest number the dialogue's format menus take (the native formats').
int last_native_code();
// The format whose extension `path` ends with (without case); null when none.
const Format* format_of_path(const std::string& path);
// The extension `path` ends with when it is one of `f`'s, as written (case kept); empty
// otherwise.
std::string extension_in(const std::string& path, const Format& f);
// The bytes a result image of nb_lig x nb_col pixels takes at least in `f`: a file of
// fixed stride its whole size, rows of text two bytes a cell ("0\t"); 0 for a format
// without a layout of its own.
long long least_file_bytes(const Format& f, int nb_lig, int nb_col);

// Each unit's row of the table.
const Format& raw_format();
const Format& bitmap_format();
const Format& ascii_grid_format();
const Format& geotiff_format();
const Format& png_format();

}  // namespace formats
