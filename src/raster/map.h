// The loaded map and its item inventory.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "raster/grid.h"

// Where the map lies on the ground, as a GDAL map carries it: the affine transform from
// pixel to map coordinates (top left corner first) and the coordinate system.
struct GeoRef {
    bool has_transform = false;
    double transform[6] = {0, 1, 0, 0, 0, -1};
    std::string crs_wkt;  // empty when the map has none
    std::string area_or_point;  // whether a value stands for its pixel's area or its centre
    // The band's colour table, red, green, blue and alpha per code from 0; empty when the
    // map has none.
    std::vector<std::array<short, 4>> colours;
    // The names of the classes, by code from 0 (GDAL's category names, or the name column
    // of the raster attribute table); empty when the map names none.
    std::vector<std::string> class_names;
};

struct LoadedMap {
    int nb_lig = 0;    // lines
    int nb_col = 0;    // columns
    int pix_size = 0;  // pixel edge in metres, whole number (raster header)
    int min_al = 0;    // raster header bounds, stored only
    int max_al = 0;
    double dpix_size = 0.0;  // pixel edge in metres
    double nodata = 0.0;     // ascii grid no-data value
    // Map coordinates of the lower left corner, known from an ascii grid or typed
    // in the dialogue when ascii results are asked for.
    bool UTM_coord = false;
    double X_min = 0.0;
    double Y_min = 0.0;
    std::string nomdescr1;  // raster header file name
    ByteGrid tab_in;        // the map, nb_lig lines of nb_col class codes
    GeoRef georef;          // a map read through GDAL: its transform and coordinate system
};

struct Inventory {
    // Pixel counts are 64-bit: a map streamed in bands may hold more than 2^31 pixels.
    std::int64_t hist_explor[260] = {};     // pixels per code 0..255
    int num_item = 0;                       // number of items (codes 0..254 present)
    std::int32_t number_item[260] = {};     // code of item k, k = 1..num_item
    std::int64_t num_pixel_item[260] = {};  // pixels of item k
    double percent_item[260] = {};          // share of item k among the pixels below 255
    int max_hist_explor = 0;                // highest code present below 255
    std::int64_t tot_surf_item = 0;         // pixels whose code is below 255
    IntVector hist_item;                    // per-item counters, num_item + 1 entries
};

