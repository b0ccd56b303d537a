// The two result images and their lines in the report.
#pragma once

#include <string>

#include "analysis/results.h"
#include "raster/map.h"
#include "results/report.h"
#include "run/answers.h"
#include "run/console.h"

struct ResultFiles {
    std::string nom_diversidad;    // diversity image; base name until it is written
    std::string descr_diversidad;  // its raw header (raster format)
    std::string nom_homo;          // homogeneity image
    std::string descr_homo;        // its raw header (raster format)
};

// The base name of the diversity image: nomim3 + "_diversity".
std::string diversity_base(const RunAnswers& run);

// The extension of an image file in the given format: ".raw", ".bmp" or ".asc".
const char* image_extension(int form);

// Writes the diversity image then the homogeneity image in run.res_form, each followed
// by its line in the report. A file that cannot be written is reported on the console
// and left out of the report; the other image is still written. Returns false when any
// could not be written.
bool write_result_images(Console& con, const RunAnswers& run, const LoadedMap& map, Results& res,
                         Report& rep, ResultFiles& files);
