// The table of functions the GDAL module hands to the program that loads it. The module
// (gdal_raster.cpp, linked with GDAL) is a shared object loaded on first use, so that a
// run that needs no GDAL never maps GDAL and its hundred libraries into memory.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "formats/gdal_raster.h"

struct GdalModule {
    // Equal to kGdalModuleVersion in the program that loads the module, and to the sizes
    // of the structures passed across, or the module is not used.
    int version;
    unsigned sizes;

    std::string (*gdal_version)();
    std::unique_ptr<GdalRowSource> (*gdal_row_source)(const std::string& path, int band,
                                                      LoadedMap& header, Status& st, bool reals);
    std::unique_ptr<engine::RowSink> (*geotiff_sink)(
        const std::string& path, const LoadedMap& header, ResultKind kind,
        const std::vector<std::pair<std::string, std::string>>& metadata, int tile_rows,
        Status& st, const GeoTiffLayout& layout);
    std::string (*creation_options_problem)(const std::vector<std::string>& options, bool cog,
                                            bool bytes, bool reals);
};

inline constexpr int kGdalModuleVersion = 10;

// A fingerprint of the layouts the two sides share.
inline constexpr unsigned gdal_module_sizes() {
    return static_cast<unsigned>(sizeof(GdalModule) * 131u + sizeof(LoadedMap) * 31u +
                                 sizeof(Status) * 7u + sizeof(std::string));
}

// The file name of the module, and the one function it exports.
inline constexpr const char* kGdalModuleFile = "landmosaic-gdal.so";
inline constexpr const char* kGdalModuleEntry = "landmosaic_gdal_module";
