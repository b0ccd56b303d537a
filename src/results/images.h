// The two result images, in one of the program's own formats.
#pragma once

#include <string>

#include "analysis/results.h"
#include "core/answers.h"
#include "core/status.h"
#include "raster/map.h"

struct ResultFiles {
    std::string nom_diversidad;    // diversity image; base name until it is written
    std::string descr_diversidad;  // its raw header (raster format)
    std::string nom_homo;          // homogeneity image
    std::string descr_homo;        // its raw header (raster format)
};

// The base name of the diversity image: nomim3 + "_diversity".
std::string diversity_base(const RunAnswers& run);
// The base name of the homogeneity image: nomim3 + "_homog".
std::string homogeneity_base(const RunAnswers& run);

// The extension of an image file in the given format: ".raw", ".bmp", ".asc" or ".tif".
const char* image_extension(int form);

// Writes the grid `m` under `base` in format `form` (raster, bitmap or ascii; the ascii
// grid takes the map's X_min and Y_min). On return `nom` holds the full name of the
// image file (the ".raw" file for the raster format) and `descr` the raw header name.
// NotWritten, naming the first file that could not be written, on failure.
Status write_result_image(int form, const LoadedMap& map, ByteMatrix m, const std::string& base,
                          std::string& nom, std::string& descr);
