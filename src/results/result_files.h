// The files of a run read back for its summary, and files written whole.
#pragma once

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
// Reads a result image in one of the native formats, or through `reader` for a GeoTIFF:
// `cell` receives the cell size of an ascii grid (0 otherwise), `corner` its lower left
// corner (x, y, and 1 when known).
bool read_result_image(const std::string& path, ByteGrid& grid, int& nb_lig, int& nb_col,
                       double& cell, std::string& crs, double* corner,
                       const ResultImageReader& reader, std::string& why);
// The result image a report names, or the one beside BASE when the folder has moved.
std::string find_image(const std::string& named, const std::string& base, const char* suffix);

}  // namespace results
