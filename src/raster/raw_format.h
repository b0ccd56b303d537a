// The raw raster format: base + ".raw" holds the pixels, base + ".txt" six integers
// (lines, columns, 1, lowest value, highest value, pixel size in metres).
#pragma once

#include <string>

#include "raster/nrutil.h"

// Writes base + ".txt" then base + ".raw". The header carries trunc(dpix_size).
// Returns true when both files were written in full; otherwise `failed_file` names
// the file that could not be created or written.
bool write_raw(const std::string& base, ByteMatrix m, int nb_lig, int nb_col, double dpix_size,
               std::string& failed_file);
