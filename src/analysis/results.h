// The result matrices of the treatment stage.
#pragma once

#include <cstdint>

#include "raster/grid.h"

// The no-value mark of the result matrices.
inline constexpr unsigned char kNoValue = 255;

struct Results {
    int rw = 0;                        // the rank used by the scans
    ByteGrid tab_div;                  // diversity per pixel, 255 where no value
    ByteGrid tab_homo;                 // homogeneity per pixel (0..100), 255 where no value
    ByteGrid tab_divers;               // the diversity image (mesh lines drawn on it)
    std::int64_t histo_div[260] = {};  // pixels per diversity value
    int max_histo = 0;                 // highest diversity below 255
};
