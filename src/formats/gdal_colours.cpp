// The colours of GeoTIFF results for which the run gives no table of its own, and the
// names of the classes of a result of class codes.
#include "formats/gdal_internal.h"
#include "results/class_colours.h"

#include <cpl_string.h>

#include <algorithm>
#include <cmath>

namespace gdal_impl {

GDALColorEntry class_entry(int v) {
    const Rgba c = class_colour(v);
    return {c.r, c.g, c.b, 255};
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
