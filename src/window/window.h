// The geometry of the cell or moving window.
#pragma once

#include "raster/grid.h"

struct Window {
    int side = 0;            // m = 2R + 1 (during the rank help: the pixel edge typed)
    int surf_tot = 0;        // surface in pixels
    double surf_window = 0;  // during the rank help the surface typed (km2), then surf_tot
    double ps = 0;           // pixel size in metres
    double ps2 = 0;          // ps x ps
    double surf_win = 0;     // surface in hectares
    double radius = 0;       // rc = R + 0.5 (during the rank help: radius in metres)
    int num_pix_circ = 0;    // pixels of the circular window
    int nb = 0;              // edge of the mask, 2R + 1
    ByteGrid tab_rad;        // circular mask, nb x nb, 1 inside the window
    // Values of the rank help, shown only.
    double S = 0;
    double rad_pix = 0;
    double val_prov = 0;
    int R_circle = 0;
    int R_square = 0;
};
