// The table of raster formats. Each of the program's own formats is a unit of its own
// (raw.cpp, bitmap.cpp, ascii_grid.cpp) that gives its row; GeoTIFF goes through the GDAL
// module (gdal_raster.cpp), whose reader and sink take more than rows (the band to read;
// the kind, metadata and creation options of a result) and are called by name, and PNG
// is written by png.cpp as pictures of whole results. The table is written out here, not
// filled by registering statics, which a static library may drop.
#include "formats/format.h"

#include <algorithm>
#include <cctype>

#include "core/answers.h"

namespace formats {

const Format& geotiff_format() {
    static const Format f{
        "tif", kGeoTiff, {".tif", ".tiff", nullptr}, nullptr, nullptr, nullptr};
    return f;
}

const Format& png_format() {
    static const Format f{"png", -1, {".png", nullptr, nullptr}, nullptr, nullptr, nullptr};
    return f;
}

std::span<const Format> all_formats() {
    static const Format table[] = {raw_format(), bitmap_format(), ascii_grid_format(),
                                   geotiff_format(), png_format()};
    return table;
}

const Format& format_of(int code) {
    for (const Format& f : all_formats())
        if (f.code == code && code >= 0) return f;
    return raw_format();
}

const Format* format_of_path(const std::string& path) {
    for (const Format& f : all_formats()) {
        for (const char* ext : f.extensions) {
            if (!ext) break;
            const std::size_t n = std::char_traits<char>::length(ext);
            if (path.size() < n) continue;
            const bool same = std::equal(path.end() - static_cast<std::ptrdiff_t>(n), path.end(),
                                         ext, [](char a, char b) {
                                             return std::tolower(static_cast<unsigned char>(a)) ==
                                                    b;
                                         });
            if (same) return &f;
        }
    }
    return nullptr;
}

}  // namespace formats
