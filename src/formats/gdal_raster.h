// Rasters through GDAL: every classified map GDAL reads, and GeoTIFF results. The only
// unit that includes GDAL; in a build without it the functions say so.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/status.h"
#include "core/rows.h"
#include "raster/map.h"

// True when the program was built with GDAL.
bool gdal_available();
// Why the GDAL module named by the environment variable LANDMOSAIC_GDAL_MODULE cannot be
// used; empty when the variable is not set or names a module that loads.
std::string gdal_module_problem();
// The version of GDAL in use; empty without it.
std::string gdal_version();

// What a result image is, for its data type, colour table and band description:
// Real is a Float32 band with no-data -1 and no colours; Dominant holds class codes and
// takes the map's colour table when it has one; Share is a percent like the homogeneity.
enum class ResultKind { Diversity, Homogeneity, Real, Dominant, Share };

// Band `band` (from 1) of the raster `path` read a window of rows at a time (RasterIO).
// The sizes, pixel size from the geotransform, lower left corner (X_min, Y_min,
// UTM_coord) and georeference go to `header` (its tab_in stays empty). A byte band is
// taken as it is, its no-data value becoming 255; another integer band is accepted
// while every value is 0..254 or the no-data value: a value that no class code can hold
// fails the read, and failure() says which. Real bands, non-square or rotated pixels and
// missing bands are refused at the open, saying why.
class GdalRowSource : public engine::RowSource {
  public:
    // What made the last open or read fail.
    virtual const Status& failure() const = 0;
    // Every file the dataset is made of, as GDAL lists them, each taken to the local file
    // that holds it (the archive or file behind a /vsi path), so that no output of the run
    // is written over any of them.
    virtual std::vector<std::string> files() const = 0;
    // The bytes reading rows holds besides the rows asked for: GDAL's cache of one row of
    // the map's blocks and the window of rows read at once.
    virtual long long held_bytes() const = 0;
};
// Band 0 reads band 1 when no band was named: a colour picture (bands red, green, blue and
// perhaps alpha) is then refused, naming its bands. With `reals`, the band's values are
// read as floats, 4 bytes a pixel (a real metric's result read back for its picture).
std::unique_ptr<GdalRowSource> gdal_row_source(const std::string& path, int band, LoadedMap& header,
                                               Status& st, bool reals = false);

// A GeoTIFF result written a band of rows at a time (one byte band, tiled, DEFLATE,
// BigTIFF when needed, no-data 255) with the map's coordinate system and geotransform
// (or, for a map without one, the corner and pixel size it has), a band description,
// `metadata` as the dataset's metadata and a colour table for `kind` (255 transparent),
// under a temporary name in the same folder until commit(). Its tiles are `tile_rows`
// high (a multiple of 16; 0 for 256): the sink gathers a row of tiles, tile_rows times
// the map's width in bytes, before it hands them to GDAL.
// What the run adds to the layout `kind` gives: creation options NAME=VALUE for GDAL's
// driver (checked by GDAL, a bad one failing the sink with GDAL's message), the Cloud
// Optimized layout (written through GDAL's COG driver, with overviews), and the band's
// colour table (entries 0 .. size - 1, the no-value entry 255 transparent), description
// and unit, each the kind's own when empty.
struct GeoTiffLayout {
    std::vector<std::string> creation_options;
    bool cog = false;
    std::vector<std::array<short, 4>> colours;
    std::string description;
    std::string unit;
};
// Checks creation options NAME=VALUE against GDAL's GeoTIFF driver (the COG driver when
// `cog`), before anything is written, by name and value, then by a tiny file in memory of
// each kind of band the run writes (`bytes`, `reals`): "" when GDAL takes them all (or
// when there is no GDAL, which the run reports otherwise), else the first option GDAL
// refuses, then a newline, then GDAL's reason.
std::string gdal_creation_options_problem(const std::vector<std::string>& options, bool cog,
                                          bool bytes, bool reals);

std::unique_ptr<engine::RowSink> geotiff_sink(
    const std::string& path, const LoadedMap& header, ResultKind kind,
    const std::vector<std::pair<std::string, std::string>>& metadata, int tile_rows,
    Status& st, const GeoTiffLayout& layout = {});
