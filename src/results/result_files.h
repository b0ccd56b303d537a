// The files of a run read back for its summary, and files written whole.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "results/summary.h"

namespace results {

// Writes `bytes` to `path` whole or not at all.
bool write_file_whole(const std::string& path, const std::string& bytes);
// The whole contents of a file; false when it cannot be read.
bool read_whole(const std::string& path, std::string& bytes);
// A regular file is there.
bool is_file(const std::string& path);
// The extension of a file name in lower case, with its dot; empty when none.
std::string extension_of(const std::string& path);
// A result image opened to be read a band of rows at a time: through the row reader of
// its row of the format table, or through `gdal` (a GeoTIFF).
struct ResultImage {
    std::string path;
    std::unique_ptr<engine::RowSource> src;
    bool native = true;
    bool real = false;  // rows of floats (a real metric's GeoTIFF)
    double cell = 0;  // the pixel size it carries (ASCII grid, GeoTIFF); 0 otherwise
    std::string crs;  // its coordinate system (WKT), empty when it has none
    bool corner_known = false;  // its lower left corner (an ASCII grid's)
    double x_min = 0, y_min = 0;
    int nb_lig() const { return src->info().nb_lig; }
    int nb_col() const { return src->info().nb_col; }
};
// False, with the reader's fault in `why`, when it cannot be opened.
bool open_result_image(const std::string& path, const ResultSourceOpener& gdal, ResultImage& im,
                       Status& why, bool real = false);
// Every row of the image, top line first, handed to `take` a band of a few MB at a time.
bool read_result_rows(ResultImage& im,
                      const std::function<void(int y, int n, const unsigned char* const* rows)>& take,
                      Status& why);
// The result image a report names, or the one beside BASE when the folder has moved.
std::string find_image(const std::string& named, const std::string& base, const char* suffix);

}  // namespace results
