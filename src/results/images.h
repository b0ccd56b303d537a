// The names of the two result images.
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
