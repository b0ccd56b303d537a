// The colours of GeoTIFF results for which the run gives no table of its own, and the
// names of the classes of a result of class codes.
#include "formats/gdal_internal.h"

#include <cpl_string.h>

#include <algorithm>
#include <cmath>

namespace gdal_impl {

GDALColorEntry diversity_colour(int v) {
    static const short kFirst[][3] = {
        {0, 0, 0},       {31, 119, 180},  {255, 127, 14},  {44, 160, 44},   {214, 39, 40},
        {148, 103, 189}, {140, 86, 75},   {227, 119, 194}, {127, 127, 127}, {188, 189, 34},
        {23, 190, 207},  {174, 199, 232}, {255, 187, 120}, {152, 223, 138}, {255, 152, 150},
        {197, 176, 213}, {196, 156, 148}, {247, 182, 210}, {219, 219, 141}, {158, 218, 229}};
    const int n = static_cast<int>(sizeof kFirst / sizeof kFirst[0]);
    if (v < n) return {kFirst[v][0], kFirst[v][1], kFirst[v][2], 255};
    const double h = std::fmod(v * 137.508, 360.0) / 60.0;
    const double s = v % 2 ? 0.65 : 0.9;
    const double l = 0.35 + 0.3 * ((v / 2) % 3) / 2.0;
    const double c = (1 - std::fabs(2 * l - 1)) * s;
    const double x = c * (1 - std::fabs(std::fmod(h, 2.0) - 1));
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(h)) {
        case 0:
            r = c, g = x;
            break;
        case 1:
            r = x, g = c;
            break;
        case 2:
            g = c, b = x;
            break;
        case 3:
            g = x, b = c;
            break;
        case 4:
            r = x, b = c;
            break;
        default:
            r = c, b = x;
            break;
    }
    const double m = l - c / 2;
    auto to8 = [&](double u) { return static_cast<short>(std::lround((u + m) * 255)); };
    return {to8(r), to8(g), to8(b), 255};
}

GDALColorEntry homogeneity_colour(int v) {
    if (v > 100) return {0, 0, 0, 255};
    const double t = v / 100.0;
    auto mix = [&](double a, double b) { return static_cast<short>(std::lround(a + (b - a) * t)); };
    return {mix(255, 0), mix(255, 90), mix(204, 50), 255};
}

bool set_class_names(GDALRasterBandH band, const std::vector<std::string>& names) {
    std::size_t n = std::min<std::size_t>(names.size(), 255);
    while (n > 0 && names[n - 1].empty()) --n;
    if (n == 0) return true;
    char** list = nullptr;
    for (std::size_t v = 0; v < n; ++v) list = CSLAddString(list, names[v].c_str());
    const bool ok = GDALSetRasterCategoryNames(band, list) == CE_None;
    CSLDestroy(list);
    return ok;
}

}  // namespace gdal_impl
