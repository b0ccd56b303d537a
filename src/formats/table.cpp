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

namespace {

// Whether `path` ends with `ext` (lower case), without case.
bool ends_with_extension(const std::string& path, const char* ext) {
    const std::size_t n = std::char_traits<char>::length(ext);
    if (path.size() < n) return false;
    return std::equal(path.end() - static_cast<std::ptrdiff_t>(n), path.end(), ext,
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) == b;
                      });
}

}  // namespace

const Format& geotiff_format() {
    static const Format f{"tif", kGeoTiff, {".tif", ".tiff", nullptr}, nullptr, nullptr, nullptr};
    return f;
}

namespace {

const Format& cog_format() {
    static const Format f{"cog",   kGeoTiff, {".tif", ".tiff", nullptr},
                          nullptr, nullptr,  nullptr,
                          nullptr, false,    false,
                          false,   true};
    return f;
}

}  // namespace

const Format& png_format() {
    static const Format f{"png", -1, {".png", nullptr, nullptr}, nullptr, nullptr, nullptr};
    return f;
}

std::span<const Format> all_formats() {
    static const Format table[] = {geotiff_format(),    cog_format(),   raw_format(),
                                   bitmap_format(),     ascii_grid_format(), png_format()};
    return table;
}

const Format& format_of(int code) {
    for (const Format& f : all_formats())
        if (f.code == code && code >= 0) return f;
    return raw_format();
}

const Format* format_named(std::string_view name) {
    for (const Format& f : all_formats())
        if (f.code >= 0 && name == f.name) return &f;
    return nullptr;
}

std::vector<std::string> result_format_names() {
    std::vector<std::string> names;
    for (const Format& f : all_formats())
        if (f.code >= 0) names.emplace_back(f.name);
    return names;
}

int last_native_code() {
    int last = 0;
    for (const Format& f : all_formats())
        if (f.native()) last = std::max(last, f.code);
    return last;
}

const Format* format_of_path(const std::string& path) {
    for (const Format& f : all_formats())
        for (const char* ext : f.extensions) {
            if (!ext) break;
            if (ends_with_extension(path, ext)) return &f;
        }
    return nullptr;
}

std::string extension_in(const std::string& path, const Format& f) {
    for (const char* ext : f.extensions) {
        if (!ext) break;
        if (ends_with_extension(path, ext))
            return path.substr(path.size() - std::char_traits<char>::length(ext));
    }
    return {};
}

long long least_file_bytes(const Format& f, int nb_lig, int nb_col) {
    ByteLayout layout;
    engine::MapInfo info;
    info.nb_lig = nb_lig;
    info.nb_col = nb_col;
    if (!f.layout || !f.layout(info, layout)) return 0;
    if (layout.stride > 0)
        return static_cast<long long>(layout.head.size()) + layout.stride * nb_lig;
    return 2 * info.pixels();
}

}  // namespace formats
