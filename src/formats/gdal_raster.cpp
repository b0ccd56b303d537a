// The GDAL module: every raster GDAL reads, and GeoTIFF results. Built as a shared object
// of its own and loaded by gdal_loader.cpp on first use.
#include "formats/gdal_raster.h"
#include "formats/gdal_module.h"
#include "formats/gdal_internal.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_priv.h>

#include <algorithm>
#include <cstdint>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <vector>

#include "raster/nrutil.h"
#include "text/catalogue.h"

namespace fs = std::filesystem;

using gdal_impl::compression_threads_usable;
using gdal_impl::class_entry;
using gdal_impl::register_drivers;
using gdal_impl::remove_with_sidecar;
using gdal_impl::rename_with_sidecar;
using gdal_impl::set_class_names;
using gdal_impl::user_options;
using gdal_impl::GdalMessages;
using gdal_impl::StderrCapture;
using gdal_impl::homogeneity_colour;
using gdal_impl::local_file;
using gdal_impl::special_file_in;
using gdal_impl::temporary_name;

namespace gdal_impl {

// The names of a band's classes by code: its category names, else the name column of its
// raster attribute table (rows by value, or by code when it has no value column).
void class_names(GDALRasterBandH band, std::vector<std::string>& names) {
    names.clear();
    if (char** cats = GDALGetRasterCategoryNames(band)) {
        for (int v = 0; v < 256 && cats[v]; ++v) names.emplace_back(cats[v]);
        return;
    }
    GDALRasterAttributeTableH rat = GDALGetDefaultRAT(band);
    if (!rat) return;
    const int name = GDALRATGetColOfUsage(rat, GFU_Name);
    if (name < 0) return;
    int value = GDALRATGetColOfUsage(rat, GFU_MinMax);
    if (value < 0) value = GDALRATGetColOfUsage(rat, GFU_Min);
    const int rows = GDALRATGetRowCount(rat);
    for (int r = 0; r < rows; ++r) {
        const int code = value >= 0 ? GDALRATGetValueAsInt(rat, r, value) : r;
        if (code < 0 || code > 254) continue;
        if (names.size() <= static_cast<std::size_t>(code)) names.resize(code + 1);
        const char* n = GDALRATGetValueAsString(rat, r, name);
        names[code] = n ? n : "";
    }
}

void register_drivers() {
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        // GDAL's own messages come back through the Status, not on the console.
        CPLSetErrorHandler(CPLQuietErrorHandler);
    });
}

}  // namespace gdal_impl

namespace {

// GDAL keeps raster blocks in a cache of up to 5% of the machine's memory, whatever the
// run's memory budget. The program reads the map row after row, so the cache need hold
// one row of the map's blocks and no more (the run counts it in its budget); results are
// handed to GDAL a whole row of tiles at a time, so their tiles are complete as soon as
// they are in the cache and may leave it at once. Each raster opened adds what it needs
// to the cache's bound, which never goes above GDAL's own default. (The cache is GDAL's,
// one for the process; so is this bound.)
void bound_block_cache(long long row_of_blocks_bytes) {
    static std::mutex m;
    static long long wanted = 4ll << 20;
    static const long long gdal_default = GDALGetCacheMax64();
    std::lock_guard<std::mutex> lock(m);
    wanted += std::max(row_of_blocks_bytes, 0ll) + (1ll << 20);
    GDALSetCacheMax64(std::min(wanted, gdal_default));
}

// One row of blocks of `band`, in bytes as GDAL caches them.
long long row_of_blocks(GDALRasterBandH band) {
    int bw = 0, bh = 0;
    GDALGetBlockSize(band, &bw, &bh);
    const long long cols = GDALGetRasterBandXSize(band);
    const long long per_row = bw > 0 ? (cols + bw - 1) / bw * bw : cols;
    return per_row * std::max(bh, 1) * GDALGetDataTypeSizeBytes(GDALGetRasterDataType(band));
}

struct Dataset {
    GDALDatasetH h = nullptr;
    ~Dataset() {
        if (h) GDALClose(h);
    }
};

std::string last_gdal_error() {
    const char* msg = CPLGetLastErrorMsg();
    return msg ? msg : "";
}

// GDAL's reason, with the first useful line the libraries under it wrote to the standard
// error meanwhile, when that says more.
std::string with_raw_line(std::string reason, const std::string& raw) {
    if (raw.empty() || reason.find(raw) != std::string::npos) return reason;
    return reason.empty() ? raw : reason + " (" + raw + ")";
}

// A real number as it is best shown: whole numbers without decimals.
std::string show_number(double v) {
    char buf[64];
    if (std::isfinite(v) && std::floor(v) == v && std::fabs(v) < 9e15)
        std::snprintf(buf, sizeof buf, "%.0f", v);
    else
        std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

// Equal up to the rounding of a pixel size written in decimal.
bool same_size(double a, double b) {
    return std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

}  // namespace

namespace gdal_impl {

std::string gdal_version() {
    return GDALVersionInfo("RELEASE_NAME");
}

}  // namespace gdal_impl

namespace {

class GdalRows final : public GdalRowSource {
  public:
    ~GdalRows() override {
        if (ds_) GDALClose(ds_);
    }
    const Status& failure() const override { return failure_; }
    long long held_bytes() const override {
        const long long cols = info_.nb_col;
        // Byte bands are read in windows of up to 8 MB (one row at least), other types a
        // row of reals at a time.
        const long long window =
            type_ == GDT_Byte && !signed_byte_ ? std::max(8ll << 20, cols) : 8 * cols;
        return (band_ ? row_of_blocks(band_) : 0) + window;
    }
    std::vector<std::string> files() const override {
        std::vector<std::string> list;
        if (!ds_) return list;
        char** names = GDALGetFileList(ds_);
        for (char** n = names; n && *n; ++n)
            if (std::string f = local_file(*n); !f.empty()) list.push_back(std::move(f));
        CSLDestroy(names);
        return list;
    }

    Status open(const std::string& path, int band_no, LoadedMap& map, bool reals) {
        reals_ = reals;
        if (Status st = probe(path); !st.ok()) return st;
        if (Status st = choose_band(band_no); !st.ok()) return st;
        double gt[6] = {0, 1, 0, 0, 0, 1};
        bool has_gt = false;
        if (Status st = check_band(gt, has_gt); !st.ok()) return st;
        describe(gt, has_gt, map);
        return Status::success();
    }

  private:
    // Opens the dataset, after making sure that nothing it is made of would block GDAL.
    Status probe(const std::string& path) {
        register_drivers();
        CPLErrorReset();
        path_ = path;
        if (const std::string special = special_file_in(path); !special.empty())
            return Status::refused(special, txt::reason_not_regular);
        StderrCapture capture;
        ds_ = GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR,
                         nullptr, nullptr, nullptr);
        const std::string raw = capture.finish();
        if (ds_) return Status::success();
        // A plain path that names nothing is a missing map; a /vsi path or a driver's
        // spelling gets GDAL's own reason.
        std::error_code ec;
        if (path.rfind("/vsi", 0) != 0 && path.find(':') == std::string::npos &&
            !fs::exists(path, ec))
            return Status::make(Status::Code::Missing, path, txt::raw_pixels_missing, {path});
        Status s = Status::refused(path, txt::reason_gdal_open);
        s.detail = with_raw_line(last_gdal_error(), raw);
        return s;
    }

    // The band to read: the one named, else the first, unless the dataset is a container
    // of subdatasets or a colour picture.
    Status choose_band(int band_no) {
        const int bands = GDALGetRasterCount(ds_);
        // A container of subdatasets (netCDF, HDF): the names to give as the map.
        if (bands == 0) {
            std::string names;
            char** md = GDALGetMetadata(ds_, "SUBDATASETS");
            for (char** m = md; m && *m; ++m) {
                const std::string item = *m;
                const std::size_t eq = item.find('=');
                if (eq == std::string::npos || item.compare(eq - 5, 5, "_NAME") != 0) continue;
                names += (names.empty() ? "" : ", ") + item.substr(eq + 1);
            }
            if (!names.empty()) return Status::refused(path_, txt::reason_subdatasets, {names});
        }
        if (band_no == 0) {
            // No band named: a colour picture (red, green, blue and perhaps alpha bands)
            // is not a map of class codes, whatever its first band holds.
            band_no = 1;
            if (Status st = refuse_colour_picture(bands); !st.ok()) return st;
        }
        if (band_no < 1 || band_no > bands)
            return Status::refused(path_, txt::reason_no_band, {band_no, bands});
        band_ = GDALGetRasterBand(ds_, band_no);
        return Status::success();
    }

    Status refuse_colour_picture(int bands) const {
        if (bands < 3) return Status::success();
        std::string names;
        bool colour = true;
        for (int b = 1; b <= bands && colour; ++b) {
            const GDALColorInterp ci = GDALGetRasterColorInterpretation(GDALGetRasterBand(ds_, b));
            const bool rgb = b <= 3 && ci == GCI_RedBand + (b - 1);
            colour = rgb || (b == 4 && ci == GCI_AlphaBand);
            names +=
                std::string(names.empty() ? "" : ", ") + GDALGetColorInterpretationName(ci);
        }
        if (!colour || bands > 4) return Status::success();
        for (char& c : names) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return Status::refused(path_, txt::reason_colour_bands, {names});
    }

    // The band's type and sizes, and a north-up or south-up geotransform of square pixels.
    Status check_band(double (&gt)[6], bool& has_gt) {
        type_ = GDALGetRasterDataType(band_);
        const int band_no = GDALGetBandNumber(band_);
        if ((!GDALDataTypeIsInteger(type_) && !reals_) || GDALDataTypeIsComplex(type_))
            return Status::refused(path_, txt::reason_real_band, {band_no});
        const int nb_col = GDALGetRasterXSize(ds_);
        const int nb_lig = GDALGetRasterYSize(ds_);
        if (nb_lig <= 0 || nb_col <= 0)
            return Status::refused(path_, txt::reason_bad_sizes, {nb_lig, nb_col});
        has_gt = GDALGetGeoTransform(ds_, gt) == CE_None;
        if (!has_gt) return Status::success();
        if (gt[2] != 0 || gt[4] != 0)
            return Status::refused(path_, txt::reason_rotated,
                                   {show_number(gt[2]), show_number(gt[4])});
        if (!same_size(std::fabs(gt[1]), std::fabs(gt[5])))
            return Status::refused(path_, txt::reason_not_square,
                                   {show_number(std::fabs(gt[1])), show_number(std::fabs(gt[5]))});
        return Status::success();
    }

    // What the map is, for `map` and for the reader: sizes, pixel size, corner,
    // georeference, colours and the no-data value.
    void describe(const double (&gt)[6], bool has_gt, LoadedMap& map) {
        const int nb_col = GDALGetRasterXSize(ds_);
        const int nb_lig = GDALGetRasterYSize(ds_);
        has_nodata_ = 0;
        nodata_ = GDALGetRasterNoDataValue(band_, &has_nodata_);
        // GDAL before 3.7 marks signed bytes as bytes with a pixel type.
        const char* pixeltype = GDALGetMetadataItem(band_, "PIXELTYPE", "IMAGE_STRUCTURE");
        signed_byte_ = type_ == GDT_Byte && pixeltype && EQUAL(pixeltype, "SIGNEDBYTE");

        bound_block_cache(row_of_blocks(band_));
        map.nb_lig = nb_lig;
        map.nb_col = nb_col;
        map.dpix_size = has_gt ? std::fabs(gt[1]) : 0.0;
        if (has_nodata_) map.nodata = nodata_;
        map.georef.has_transform = has_gt;
        std::copy(gt, gt + 6, map.georef.transform);
        const char* wkt = GDALGetProjectionRef(ds_);
        map.georef.crs_wkt = wkt ? wkt : "";
        const char* aop = GDALGetMetadataItem(ds_, GDALMD_AREA_OR_POINT, nullptr);
        map.georef.area_or_point = aop ? aop : "";
        map.georef.colours.clear();
        if (GDALColorTableH ct = GDALGetRasterColorTable(band_)) {
            const int n = std::min(GDALGetColorEntryCount(ct), 256);
            for (int v = 0; v < n; ++v) {
                GDALColorEntry e{0, 0, 0, 0};
                GDALGetColorEntryAsRGB(ct, v, &e);
                map.georef.colours.push_back({e.c1, e.c2, e.c3, e.c4});
            }
        }
        gdal_impl::class_names(band_, map.georef.class_names);
        map.UTM_coord = has_gt;
        if (has_gt) {
            // The lower left corner, whichever way the rows and columns run.
            const double x1 = gt[0] + nb_col * gt[1];
            const double y1 = gt[3] + nb_lig * gt[5];
            map.X_min = std::min(gt[0], x1);
            map.Y_min = std::min(gt[3], y1);
        }
        info_.nb_lig = nb_lig;
        info_.nb_col = nb_col;
        info_.dpix_size = map.dpix_size;
        info_.UTM_coord = map.UTM_coord;
        info_.X_min = map.X_min;
        info_.Y_min = map.Y_min;
        info_.has_nodata = has_nodata_ != 0;
        info_.nodata = nodata_;
        info_.colours = map.georef.colours;
    }

  public:
    // The no-data code of a byte band becomes the program's own no-value mark.
    void no_data_to_255(unsigned char* row) const {
        if (!has_nodata_ || nodata_ < 0 || nodata_ > 254 || std::floor(nodata_) != nodata_) return;
        const auto nd = static_cast<unsigned char>(nodata_);
        for (int j = 0; j < info_.nb_col; ++j)
            if (row[j] == nd) row[j] = 255;
    }

    // Rows [y, y + n), one window of RasterIO at a time.
    Status read(int y, int n, unsigned char* const* rows) override {
        const int nb_col = info_.nb_col;
        auto fail = [&](Status s) {
            failure_ = std::move(s);
            return failure_;
        };
        auto read_failed = [&] {
            Status s = Status::refused(path_, txt::reason_cannot_open);
            s.detail = last_gdal_error();
            return fail(std::move(s));
        };
        // Reals: each row as floats, as they are.
        if (reals_) {
            for (int k = 0; k < n; ++k)
                if (GDALRasterIO(band_, GF_Read, 0, y + k, nb_col, 1, rows[k], nb_col, 1,
                                 GDT_Float32, 0, 0) != CE_None)
                    return read_failed();
            return {};
        }
        // Byte bands: whole windows of rows at once, so that GDAL decodes each block
        // once per window, whatever room its block cache has.
        if (type_ == GDT_Byte && !signed_byte_) {
            const std::size_t cols = static_cast<std::size_t>(nb_col);
            const int step = static_cast<int>(std::max<std::size_t>(1, (8u << 20) / cols));
            for (int k0 = 0; k0 < n; k0 += step) {
                const int m = std::min(step, n - k0);
                window_.resize(cols * static_cast<std::size_t>(m));
                if (GDALRasterIO(band_, GF_Read, 0, y + k0, nb_col, m, window_.data(), nb_col, m,
                                 GDT_Byte, 0, 0) != CE_None)
                    return read_failed();
                for (int k = 0; k < m; ++k)
                    std::copy(window_.begin() + static_cast<std::ptrdiff_t>(k * cols),
                              window_.begin() + static_cast<std::ptrdiff_t>((k + 1) * cols),
                              rows[k0 + k]);
            }
            for (int k = 0; k < n; ++k) no_data_to_255(rows[k]);
            return {};
        }
        for (int k = 0; k < n; ++k) {
            const int i = y + k;
            unsigned char* out = rows[k];
            // Any other integer type, read exactly as reals (every 32-bit value is exact;
            // 64-bit values beyond 2^53 are out of range anyway).
            row_.resize(static_cast<std::size_t>(nb_col));
            if (GDALRasterIO(band_, GF_Read, 0, i, nb_col, 1, row_.data(), nb_col, 1, GDT_Float64,
                             0, 0) != CE_None)
                return read_failed();
            for (int j = 0; j < nb_col; ++j) {
                double v = row_[static_cast<std::size_t>(j)];
                if (signed_byte_ && v > 127) v -= 256;
                if (has_nodata_ && v == nodata_) {
                    out[j] = 255;
                } else if (v >= 0 && v <= 254) {
                    out[j] = static_cast<unsigned char>(v);
                } else {
                    return fail(Status::refused(path_, txt::reason_bad_value,
                                                {show_number(v), static_cast<long long>(i) + 1,
                                                 static_cast<long long>(j) + 1}));
                }
            }
        }
        return {};
    }

  private:
    std::string path_;
    GDALDatasetH ds_ = nullptr;
    GDALRasterBandH band_ = nullptr;
    GDALDataType type_ = GDT_Byte;
    int has_nodata_ = 0;
    double nodata_ = 0;
    bool signed_byte_ = false;
    bool reals_ = false;  // rows of floats
    std::vector<double> row_;
    std::vector<unsigned char> window_;  // a window of byte rows as GDAL gives it
    Status failure_;
};

}  // namespace

namespace gdal_impl {

std::unique_ptr<GdalRowSource> gdal_row_source(const std::string& path, int band, LoadedMap& header,
                                               Status& st, bool reals) {
    auto src = std::make_unique<GdalRows>();
    st = src->open(path, band, header, reals);
    if (!st.ok()) return nullptr;
    return src;
}

}  // namespace gdal_impl

namespace {

class GeoTiffSink final : public engine::RowSink {
  public:
    ~GeoTiffSink() override {
        discard();
        CSLDestroy(cog_options_);
    }

    Status open(const std::string& path, const LoadedMap& map, ResultKind kind,
                const std::vector<std::pair<std::string, std::string>>& metadata,
                int tile_rows, const GeoTiffLayout& layout) {
        register_drivers();
        name_ = path;
        nb_col_ = map.nb_col;
        GDALDriverH drv = GDALGetDriverByName("GTiff");
        if (!drv) return not_written("GDAL has no GTiff driver");
        real_ = kind == ResultKind::Real;
        char** options = nullptr;
        if (Status st = creation_options(drv, tile_rows, layout, options); !st.ok()) return st;
        tmp_ = temporary_name(path);
        CPLErrorReset();
        pixel_bytes_ = real_ ? 4 : 1;
        ds_ = GDALCreate(drv, tmp_.c_str(), map.nb_col, map.nb_lig, 1,
                         real_ ? GDT_Float32 : GDT_Byte, options);
        CSLDestroy(options);
        if (!ds_) return not_written(last_gdal_error());

        bool ok = set_georeference(map, metadata);
        band_ = GDALGetRasterBand(ds_, 1);
        bound_block_cache(0);
        int tile_cols = 0;
        GDALGetBlockSize(band_, &tile_cols, &tile_rows_);
        tile_rows_ = std::clamp(tile_rows_, 1, std::max(map.nb_lig, 1));
        try {
            reserve_.assign(kCloseReserve, 1);
            pending_.resize(static_cast<std::size_t>(tile_rows_) *
                            static_cast<std::size_t>(nb_col_) * pixel_bytes_);
        } catch (const std::bad_alloc&) {
            return not_written("no memory for a row of tiles");
        }
        describe_band(kind, metadata, layout);
        if (real_) {
            ok = ok && GDALSetRasterNoDataValue(band_, -1) == CE_None;
        } else {
            ok = ok && GDALSetRasterNoDataValue(band_, 255) == CE_None;
            ok = ok && set_colours(map, kind, layout);
            // Class codes take the map's names of its classes (GeoTIFF keeps them in the
            // file's sidecar, which goes with the file at commit).
            if (kind == ResultKind::Dominant)
                ok = ok && set_class_names(band_, map.georef.class_names);
        }
        if (!ok) return not_written(last_gdal_error());
        return Status::success();
    }

  private:
    // The options of the file: ours, then the user's, which win, each checked by GDAL. A
    // Cloud Optimized GeoTIFF is made at commit by GDAL's COG driver from a plain tiled
    // GeoTIFF, with the user's options for that driver.
    Status creation_options(GDALDriverH drv, int tile_rows, const GeoTiffLayout& layout,
                            char**& options) {
        auto ours = [&](char** list, bool cog) {
            list = CSLSetNameValue(list, "COMPRESS", "DEFLATE");
            // Floats take a fifth less room when their bytes are compressed by significance.
            if (real_) list = CSLSetNameValue(list, "PREDICTOR", "3");
            list = CSLSetNameValue(list, "BIGTIFF", "IF_SAFER");
            if (!cog) list = CSLSetNameValue(list, "TILED", "YES");
            if (!cog && tile_rows > 0)
                list = CSLSetNameValue(list, "BLOCKYSIZE", std::to_string(tile_rows).c_str());
            // Class codes and counts are not averaged: each overview pixel takes the most
            // common value of the pixels it stands for.
            if (cog) list = CSLSetNameValue(list, "OVERVIEW_RESAMPLING", real_ ? "AVERAGE" : "MODE");
            // Tiles are compressed on every core, and written in order all the same.
            if (compression_threads_usable()) list = CSLSetNameValue(list, "NUM_THREADS", "ALL_CPUS");
            return list;
        };
        char** users = user_options(layout.creation_options);
        CPLErrorReset();
        if (layout.cog) {
            cog_ = GDALGetDriverByName("COG");
            if (!cog_) {
                CSLDestroy(users);
                return not_written("GDAL has no COG driver");
            }
            cog_options_ = CSLMerge(ours(nullptr, true), users);
            CSLDestroy(users);
            users = nullptr;
            if (!GDALValidateCreationOptions(cog_, cog_options_))
                return not_written(last_gdal_error());
        }
        options = ours(nullptr, false);
        if (users) {
            options = CSLMerge(options, users);
            CSLDestroy(users);
            if (!GDALValidateCreationOptions(drv, options)) {
                CSLDestroy(options);
                options = nullptr;
                return not_written(last_gdal_error());
            }
        }
        return Status::success();
    }

    // Where the map lies: its own transform and system, or the corner and pixel size an
    // ASCII grid (or the command line) gave; and the run's metadata.
    bool set_georeference(const LoadedMap& map,
                          const std::vector<std::pair<std::string, std::string>>& metadata) {
        bool ok = true;
        if (map.georef.has_transform) {
            double gt[6];
            std::copy(map.georef.transform, map.georef.transform + 6, gt);
            ok = ok && GDALSetGeoTransform(ds_, gt) == CE_None;
        } else if (map.dpix_size > 0) {
            // A map without a georeference of its own: its pixel size and the corner given
            // (0, 0 by default), and no coordinate system.
            double gt[6] = {map.X_min, map.dpix_size, 0, map.Y_min + map.nb_lig * map.dpix_size,
                            0,         -map.dpix_size};
            ok = ok && GDALSetGeoTransform(ds_, gt) == CE_None;
        }
        if (!map.georef.crs_wkt.empty())
            ok = ok && GDALSetProjection(ds_, map.georef.crs_wkt.c_str()) == CE_None;
        if (!map.georef.area_or_point.empty())
            GDALSetMetadataItem(ds_, GDALMD_AREA_OR_POINT, map.georef.area_or_point.c_str(),
                                nullptr);
        for (const auto& [key, value] : metadata)
            ok = ok && GDALSetMetadataItem(ds_, key.c_str(), value.c_str(), nullptr) == CE_None;
        return ok;
    }

    void describe_band(ResultKind kind,
                       const std::vector<std::pair<std::string, std::string>>& metadata,
                       const GeoTiffLayout& layout) {
        if (!layout.unit.empty()) GDALSetRasterUnitType(band_, layout.unit.c_str());
        if (!layout.description.empty()) {
            GDALSetDescription(band_, layout.description.c_str());
        } else if (kind == ResultKind::Diversity || kind == ResultKind::Homogeneity) {
            GDALSetDescription(band_, kind == ResultKind::Diversity
                                          ? "diversity (number of classes in the window)"
                                          : "homogeneity (percent of the window covered by its "
                                            "largest class)");
        } else {
            // The other metrics say what they hold in the run's metadata.
            for (const auto& [key, value] : metadata)
                if (key == "LANDMOSAIC_VALUE") GDALSetDescription(band_, value.c_str());
        }
    }

    // The run's table (as many entries as the values the band can hold), else the kind's
    // own; the no-value entry 255 transparent.
    bool set_colours(const LoadedMap& map, ResultKind kind, const GeoTiffLayout& layout) {
        GDALColorTableH ct = GDALCreateColorTable(GPI_RGB);
        const auto& own = map.georef.colours;
        for (std::size_t v = 0; v < layout.colours.size() && v < 255; ++v) {
            const auto& c = layout.colours[v];
            const GDALColorEntry e{c[0], c[1], c[2], c[3]};
            GDALSetColorEntry(ct, static_cast<int>(v), &e);
        }
        for (int v = 0; v < 255 && layout.colours.empty(); ++v) {
            GDALColorEntry e{};
            if (kind == ResultKind::Dominant && !own.empty())
                e = v < static_cast<int>(own.size())
                        ? GDALColorEntry{own[v][0], own[v][1], own[v][2], own[v][3]}
                        : GDALColorEntry{0, 0, 0, 255};
            else if (kind == ResultKind::Diversity || kind == ResultKind::Dominant)
                e = class_entry(v);
            else
                e = homogeneity_colour(v);
            GDALSetColorEntry(ct, v, &e);
        }
        const GDALColorEntry none{0, 0, 0, 0};
        GDALSetColorEntry(ct, 255, &none);
        const bool ok = GDALSetRasterColorTable(band_, ct) == CE_None;
        GDALDestroyColorTable(ct);
        return ok;
    }

  public:
    // The rows are gathered into whole rows of tiles before they go to GDAL. Written a
    // few rows at a time, a tile would wait in GDAL's block cache until it is whole, and
    // a tile pushed out of the cache before that is written half done, then read back and
    // written again at the end of the file (the file grows with every such tile). Whole
    // rows of tiles are written once each, in order, whatever the bands the rows come in.
    Status write(int y, int n, const unsigned char* const* rows) override {
        const std::size_t cols = static_cast<std::size_t>(nb_col_) * pixel_bytes_;
        for (int k = 0; k < n; ++k) {
            if (pending_rows_ > 0 && y + k != pending_y_ + pending_rows_) {
                // Rows out of order: what is gathered goes first.
                if (Status st = flush_pending(); !st.ok()) return st;
            }
            if (pending_rows_ == 0) pending_y_ = y + k;
            std::copy(rows[k], rows[k] + cols,
                      pending_.begin() + static_cast<std::ptrdiff_t>(pending_rows_ * cols));
            ++pending_rows_;
            if (pending_rows_ == tile_rows_ || (pending_y_ + pending_rows_) % tile_rows_ == 0)
                if (Status st = flush_pending(); !st.ok()) return st;
        }
        return {};
    }

    Status commit() override {
        if (!ds_) return not_written({});
        if (Status st = flush_pending(); !st.ok()) {
            discard();
            return st;
        }
        // Closing the file serialises its metadata in small allocations whose failure GDAL
        // cannot report: the rows gathered for it and the room kept for it are given back
        // first.
        std::vector<unsigned char>().swap(pending_);
        std::vector<unsigned char>().swap(reserve_);
        StderrCapture capture;
        GDALFlushCache(ds_);
        GDALClose(ds_);
        ds_ = nullptr;
        bool ok = !(CPLGetLastErrorType() == CE_Failure || CPLGetLastErrorType() == CE_Fatal);
        std::error_code ec;
        if (ok && cog_) ok = make_cog();
        const std::string raw = capture.finish();
        if (ok) {
            rename_with_sidecar(tmp_, name_, ec);
            if (!ec) {
                tmp_.clear();
                return {};
            }
        }
        const std::string why = ec ? ec.message() : with_raw_line(last_gdal_error(), raw);
        discard();
        return not_written(why);
    }

  private:
    // The plain GeoTIFF written so far becomes a Cloud Optimized one, under a temporary
    // name of its own that then takes the place of the first.
    bool make_cog() {
        GDALDatasetH plain = GDALOpenEx(tmp_.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr,
                                        nullptr, nullptr);
        if (!plain) return false;
        const std::string cog_tmp = temporary_name(name_);
        CPLErrorReset();
        GDALDatasetH made = GDALCreateCopy(cog_, cog_tmp.c_str(), plain, FALSE, cog_options_,
                                           nullptr, nullptr);
        GDALClose(plain);
        bool ok = made != nullptr;
        if (made) GDALClose(made);
        ok = ok && !(CPLGetLastErrorType() == CE_Failure || CPLGetLastErrorType() == CE_Fatal);
        std::error_code ec;
        if (ok) rename_with_sidecar(cog_tmp, tmp_, ec);
        if (!ok || ec) {
            const std::string why = ok ? ec.message() : last_gdal_error();
            remove_with_sidecar(cog_tmp);
            CPLError(CE_Failure, CPLE_AppDefined, "%s", why.c_str());
            return false;
        }
        return true;
    }

    Status not_written(std::string detail) const {
        Status s = Status::make(Status::Code::NotWritten, name_, txt::result_not_written, {name_});
        s.detail = std::move(detail);
        return s;
    }
    Status flush_pending() {
        if (pending_rows_ == 0) return {};
        const int n = pending_rows_;
        pending_rows_ = 0;
        if (GDALRasterIO(band_, GF_Write, 0, pending_y_, nb_col_, n, pending_.data(), nb_col_, n,
                         real_ ? GDT_Float32 : GDT_Byte, 0, 0) != CE_None) {
            broken_ = true;
            return not_written(last_gdal_error());
        }
        return {};
    }

    void discard() {
        // The file is closed before it is removed: the room kept for that goes first.
        std::vector<unsigned char>().swap(pending_);
        std::vector<unsigned char>().swap(reserve_);
        if (ds_ && broken_) {
            // A write failed (memory or disk ran out): the TIFF library may be left unable
            // to close the file (a compressor it could not set up is still called on to
            // finish), and closing would end the process. The dataset is let go without
            // closing, its file removed below, and GDAL told not to close it at exit.
            CPLSetConfigOption("GDAL_DESTROY", "NO");
            ds_ = nullptr;
        }
        // Otherwise its blocks are dropped, not written, to a file about to be removed.
        if (ds_) GDALDataset::FromHandle(ds_)->MarkSuppressOnClose();
        if (ds_) GDALClose(ds_);
        ds_ = nullptr;
        if (tmp_.empty()) return;
        remove_with_sidecar(tmp_);
        tmp_.clear();
    }

    GDALDatasetH ds_ = nullptr;
    GDALRasterBandH band_ = nullptr;
    GDALDriverH cog_ = nullptr;      // the COG driver, when the result is Cloud Optimized
    char** cog_options_ = nullptr;   // its creation options
    std::string tmp_;
    int nb_col_ = 0;
    int tile_rows_ = 1;               // the height of a tile
    bool real_ = false;               // Float32 pixels, handed over as rows of floats
    bool broken_ = false;             // a write failed: the dataset cannot be closed safely
    std::size_t pixel_bytes_ = 1;
    std::vector<unsigned char> pending_;  // rows gathered for the current row of tiles
    // Memory held from the start for the closing of the file (see commit()).
    static constexpr std::size_t kCloseReserve = 4u << 20;
    std::vector<unsigned char> reserve_;
    int pending_y_ = 0;               // the map row of the first of them
    int pending_rows_ = 0;
};

}  // namespace

namespace gdal_impl {

std::unique_ptr<engine::RowSink> geotiff_sink(
    const std::string& path, const LoadedMap& header, ResultKind kind,
    const std::vector<std::pair<std::string, std::string>>& metadata, int tile_rows,
    Status& st, const GeoTiffLayout& layout) {
    auto sink = std::make_unique<GeoTiffSink>();
    st = sink->open(path, header, kind, metadata, tile_rows, layout);
    if (!st.ok()) return nullptr;
    return sink;
}

}  // namespace gdal_impl

extern "C" __attribute__((visibility("default"))) const GdalModule* landmosaic_gdal_module() {
    static const GdalModule module{kGdalModuleVersion,
                                   gdal_module_sizes(),
                                   gdal_impl::gdal_version,
                                   gdal_impl::gdal_row_source,
                                   gdal_impl::geotiff_sink,
                                   gdal_impl::creation_options_problem};
    return &module;
}
