// The ASCII grid format (".asc"): six header lines, then the cells.
#pragma once

#include <string>

#include "raster/nrutil.h"

// Writes base + ".asc": the header, then every cell as "%d\t" on one single text line.
// Returns true when the file was written in full.
bool write_ascii_grid(const std::string& base, ByteMatrix m, int nb_lig, int nb_col,
                      double X_min, double Y_min, double dpix_size);
