#include "app/run.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <new>
#include <utility>

#include "analysis/fast_scan.h"
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "engine/bands.h"
#include "formats/ascii_grid.h"
#include "formats/bitmap.h"
#include "formats/format.h"
#include "formats/gdal_raster.h"
#include "formats/raw.h"
#include "results/images.h"
#include "results/picture_sink.h"
#include "results/quicklook.h"
#include "results/report.h"
#include "results/result_names.h"
#include "results/summary.h"
#include "raster/output_file.h"
#include "text/catalogue.h"
#include "window/geometry.h"

namespace fs = std::filesystem;

namespace {

Status usage(std::string detail) { return Status::usage(std::move(detail)); }

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The reader of a map: the program's own for ".raw", ".bmp" and ".asc" (in any case),
// GDAL for anything else. `base` is the name without its extension.
int native_format(const std::string& path, std::string& base) {
    static const std::pair<const char*, int> kNative[] = {
        {".raw", kRaster}, {".bmp", kBitmap}, {".asc", kAscii}};
    for (const auto& [ext, form] : kNative) {
        const std::size_t n = std::char_traits<char>::length(ext);
        if (path.size() <= n) continue;
        bool same = true;
        for (std::size_t k = 0; k < n; ++k)
            same = same && std::tolower(static_cast<unsigned char>(path[path.size() - n + k])) ==
                               ext[k];
        if (same) {
            base = path.substr(0, path.size() - n);
            return form;
        }
    }
    return -1;
}

// A name GDAL reads without a file of that name: a virtual file system (/vsizip/...) or
// a driver's prefix (NETCDF:"file":var).
bool gdal_special_name(const std::string& path) {
    if (path.rfind("/vsi", 0) == 0) return true;
    const std::size_t colon = path.find(':');
#ifdef _WIN32
    return colon != std::string::npos && colon != 1;
#else
    return colon != std::string::npos;
#endif
}

// The map named on the command line is there and is a file: otherwise say so, and when
// the name lacks the extension of a map that is there, name that map.
Status check_map_name(const std::string& map) {
    std::error_code ec;
    const fs::file_status st = fs::status(map, ec);
    if (fs::is_directory(st)) return Status::make(Status::Code::Refused, map, txt::map_is_folder, {map});
    if (fs::exists(st) || gdal_special_name(map)) return Status::success();
    for (const char* ext : {".raw", ".bmp", ".asc", ".tif", ".RAW", ".BMP", ".ASC", ".TIF"}) {
        const std::string other = map + ext;
        if (fs::is_regular_file(other, ec))
            return Status::make(Status::Code::Missing, map, txt::map_missing_suggest, {map, other});
    }
    return Status::make(Status::Code::Missing, map, txt::map_missing, {map});
}

// A fault of the band engine in the words of the whole-map loaders and writers.
Status from_engine(const engine::Status& e, int format, const engine::MapInfo& info,
                   const GdalRowSource* gdal) {
    using engine::Fault;
    if (gdal && !gdal->failure().ok() &&
        (e.fault == Fault::ReadFailed || e.fault == Fault::NotInteger))
        return gdal->failure();
    const std::string& f = e.file;
    switch (e.fault) {
        case Fault::None:
            return Status::success();
        case Fault::CannotOpen:
            if (format == kRaster)
                return Status::make(Status::Code::Missing, f, txt::raw_pixels_missing, {f});
            if (format == kAscii)
                return Status::make(Status::Code::Missing, f, txt::ascii_missing, {f});
            return Status::refused(f, txt::reason_cannot_open);
        case Fault::NotRegular:
            return Status::refused(f, txt::reason_not_regular);
        case Fault::ReadFailed:
            return Status::refused(f, txt::reason_cannot_open);
        case Fault::HeaderUnreadable:
            return Status::refused(f, txt::reason_header_unreadable);
        case Fault::BadSizes:
            return Status::refused(f, txt::reason_bad_sizes, {info.nb_lig, info.nb_col});
        case Fault::TooShort: {
            // A raw file says how many bytes it holds and how many its header declares.
            long long size = 0, expected = 0;
            if (format == kRaster &&
                std::sscanf(e.detail.c_str(), "%lld %lld", &size, &expected) == 2)
                return Status::refused(f, txt::reason_raw_short, {size, expected});
            return Status::refused(f, txt::reason_too_short);
        }
        case Fault::NotBitmap:
            return Status::refused(f, txt::reason_not_bitmap);
        case Fault::BitmapForm:
            return Status::refused(f, txt::reason_bitmap_form);
        case Fault::Compressed:
            return Status::refused(f, txt::reason_compressed);
        case Fault::Colour:
            return Status::refused(f, txt::reason_colour);
        case Fault::FewCells:
            return Status::refused(f, txt::reason_few_cells);
        case Fault::NotInteger:
            return Status::refused(f, txt::reason_not_integer, {e.detail});
        case Fault::Cancelled:
            return Status::cancelled();
        case Fault::TooLarge:
        case Fault::CannotWrite: {
            Status s = Status::make(Status::Code::NotWritten, f, txt::result_not_written, {f});
            s.detail = e.detail;
            return s;
        }
        case Fault::OutOfMemory:
            return Status::make(Status::Code::OutOfMemory, {}, txt::memory_exhausted);
    }
    return Status::refused(f, txt::reason_cannot_open);
}

// The sizes, pixel size and corner of a map read by rows.
void header_from(const engine::MapInfo& info, LoadedMap& map) {
    map.nb_lig = info.nb_lig;
    map.nb_col = info.nb_col;
    map.dpix_size = info.dpix_size;
    map.UTM_coord = info.UTM_coord;
    map.X_min = info.X_min;
    map.Y_min = info.Y_min;
    if (info.has_nodata) map.nodata = info.nodata;
}

// Opens the map of the request for reading by rows: its sizes, pixel size and corner go to
// `map` (no pixels), its name to `run.nom_lect`.
Status open_map(const RunRequest& req, RunOutcome& out, LoadedMap& map,
                std::unique_ptr<engine::RowSource>& src, GdalRowSource*& gdal) {
    RunAnswers& run = out.run;
    std::string base;
    const int form = native_format(req.map, base);
    run.format = form;
    gdal = nullptr;
    engine::Status e;
    if (form < 0) {
        run.nom_lect = req.map;
        Status s;
        auto g = gdal_row_source(req.map, req.band_given || req.band != 1 ? req.band : 0, map, s);
        if (!g) return s;
        gdal = g.get();
        src = std::move(g);
        if (map.dpix_size <= 0) {
            if (req.pixel_size <= 0) return Status::refused(req.map, txt::reason_no_pixel_size);
            map.dpix_size = req.pixel_size;
        }
        return Status::success();
    }
    if (form == kRaster) {
        // The header beside the pixels, in the same case as their extension when only
        // that one is there.
        map.nomdescr1 = base + ".txt";
        std::error_code ec;
        if (!fs::exists(map.nomdescr1, ec) && fs::exists(base + ".TXT", ec))
            map.nomdescr1 = base + ".TXT";
        run.nom_lect = req.map;
        RawHeader h;
        switch (read_raw_header(map.nomdescr1, h)) {
            case RawHeaderRead::Missing:
                return Status::refused(run.nom_lect, txt::reason_no_header, {map.nomdescr1});
            case RawHeaderRead::Unreadable:
                return Status::refused(map.nomdescr1, txt::reason_header_unreadable);
            case RawHeaderRead::NotRegular:
                return Status::refused(map.nomdescr1, txt::reason_not_regular);
            case RawHeaderRead::Read:
                break;
        }
        if (h.nb_lig <= 0 || h.nb_col <= 0)
            return Status::refused(map.nomdescr1, txt::reason_bad_sizes, {h.nb_lig, h.nb_col});
        map.min_al = h.min_al;
        map.max_al = h.max_al;
        map.pix_size = h.pix_size;
        src = formats::open_raw_source(run.nom_lect, h.nb_lig, h.nb_col, h.pix_size, e);
    } else if (form == kBitmap) {
        run.nom_lect = req.map;
        src = formats::open_bitmap_source(run.nom_lect, e);
    } else {
        run.nom_lect = req.map;
        src = formats::open_ascii_source(run.nom_lect, e);
    }
    if (!src) return from_engine(e, form, {}, nullptr);
    header_from(src->info(), map);
    if (form == kBitmap) {
        // A bitmap carries no pixel size.
        if (req.pixel_size <= 0) return Status::refused(run.nom_lect, txt::reason_no_pixel_size);
        map.dpix_size = req.pixel_size;
    }
    return Status::success();
}

// A quarter of the machine's memory, the budget of a run that is given none.
// and never more than half the address space the process may take.
long long default_memory_bytes() {
    const long long total = engine::physical_memory();
    long long budget = total > 0 ? total / 4 : (1LL << 30);
#ifndef _WIN32
    struct rlimit as;
    if (::getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY)
        budget = std::min(budget, static_cast<long long>(as.rlim_cur / 2));
#endif
    return budget;
}

// The bytes a result image in a native format takes at least: raw and bitmap files have
// their size; an ASCII grid takes two bytes a cell at least ("0\t").
long long least_image_bytes(int res_form, int nb_lig, int nb_col) {
    const long long pixels = static_cast<long long>(nb_lig) * nb_col;
    if (res_form == kBitmap) return 1078 + ((static_cast<long long>(nb_col) + 3) / 4 * 4) * nb_lig;
    if (res_form == kAscii) return 2 * pixels;
    return pixels;
}

// The folder an output goes to, as the messages name it.
std::string folder_of_output(const std::string& path) {
    const std::string folder = fs::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// GDAL's block cache besides a row of the map's blocks (counted with the map): a few MB
// of its own and one for each raster open.
constexpr long long kGdalCacheBytes = 8LL << 20;

// The height of the tiles of GeoTIFF results whose rows take `row_bytes` together (every
// image of the run, a map row each): 256 rows, or fewer (down to 16) when the rows of
// tiles the images gather would take more than a quarter of the budget.
int geotiff_tile_rows(long long budget, long long row_bytes) {
    int t = 256;
    while (t > 16 && t * row_bytes > budget / 4) t /= 2;
    return t;
}

// A map one band of which (the rows a window needs at least, with what the formats hold
// besides) does not fit in the budget: refused, naming the row's size and the budget.
Status row_over_budget(const std::string& map, int nb_col, long long need, long long budget) {
    auto mb = [](long long bytes) { return (bytes + (1LL << 20) - 1) >> 20; };
    return Status::refused(map, txt::reason_row_over_budget,
                           {static_cast<long long>(nb_col), mb(need), mb(budget)});
}

// Takes the rows of an image that could not be created, so that the other one is still
// written.
class NoSink final : public engine::RowSink {
  public:
    engine::Status write(int, int, const unsigned char* const*) override { return {}; }
    engine::Status commit() override { return {engine::Fault::CannotWrite, {}, {}}; }
};

// One image of a run whose writing failed stops neither the treatment nor the other
// image: its first failure is kept and given back by commit(), which then writes
// nothing, so that the outputs that can be written whole still are, and the report and
// the summary still hold the whole map's figures.
class KeptFailureSink final : public engine::RowSink {
  public:
    explicit KeptFailureSink(std::unique_ptr<engine::RowSink> inner) : inner_(std::move(inner)) {
        name_ = inner_->name();
    }
    engine::Status write(int y, int n, const unsigned char* const* rows) override {
        if (failed_.ok()) {
            failed_ = inner_->write(y, n, rows);
            // The temporary file goes at once: the room it takes may be what the other
            // image needs.
            if (!failed_.ok()) inner_.reset();
        }
        return {};
    }
    engine::Status commit() override { return failed_.ok() ? inner_->commit() : failed_; }

  private:
    std::unique_ptr<engine::RowSink> inner_;
    engine::Status failed_;
};

// The run's parameters, kept in the GeoTIFF results.
std::vector<std::pair<std::string, std::string>> run_metadata(const RunOutcome& out,
                                                              const RunRequest& req,
                                                              const metrics::Metric& metric) {
    const ResultKind kind =
        metric.id == metrics::Id::Diversity ? ResultKind::Diversity : ResultKind::Homogeneity;
    const Window& w = out.win;
    const WindowShape& shape = window_shape(req.window);
    auto num = [](double v) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.6g", v);
        return std::string(buf);
    };
    std::string value = metric.name() + ": " + metric.info().about;
    if (metric.id == metrics::Id::Share) value += std::to_string(metric.code);
    std::vector<std::pair<std::string, std::string>> md = {
        {"LANDMOSAIC_MAP", out.run.nom_lect},
        {"LANDMOSAIC_VALUE", value},
        {"LANDMOSAIC_WINDOW", shape.name},
        {"LANDMOSAIC_RANK", std::to_string(out.run.range_win)},
        {"LANDMOSAIC_WINDOW_PIXELS", std::to_string(shape.mask ? w.num_pix_circ : w.surf_tot)},
        {"LANDMOSAIC_WINDOW_HA", num(w.surf_win)},
        {"LANDMOSAIC_PIXEL_SIZE", num(out.dpix_size)},
        {"LANDMOSAIC_MESH_LINES", req.mesh_lines && kind == ResultKind::Diversity ? "yes" : "no"},
        {"LANDMOSAIC_NO_VALUE", metric.type() == metrics::Type::Real ? "-1" : "255"},
    };
    if (req.min_valid > 0) md.push_back({"LANDMOSAIC_MIN_VALID", num(req.min_valid)});
    return md;
}

// The GeoTIFF kind of a metric's image: its data type, colours and no-value mark.
ResultKind result_kind(const metrics::Metric& m) {
    switch (m.id) {
        case metrics::Id::Diversity:
            return ResultKind::Diversity;
        case metrics::Id::Homogeneity:
            return ResultKind::Homogeneity;
        case metrics::Id::Dominant:
            return ResultKind::Dominant;
        case metrics::Id::Share:
            return ResultKind::Share;
        default:
            return ResultKind::Real;
    }
}

// How a metric's GeoTIFF band is laid out: the request's creation options and layout, and
// the colours of the quicklooks, one entry per value the band can hold (the diversity up
// to the number of classes, percents up to 100), with a description and a unit.
GeoTiffLayout geotiff_layout(const RunRequest& req, const metrics::Metric& m,
                             const Inventory& inv) {
    GeoTiffLayout layout;
    layout.creation_options = req.creation_options;
    layout.cog = req.cog;
    auto entry = [](Rgba c) { return std::array<short, 4>{c.r, c.g, c.b, c.a}; };
    switch (m.id) {
        case metrics::Id::Diversity: {
            const int classes = std::clamp(inv.num_item, 0, 254);
            for (int v = 0; v <= classes; ++v)
                layout.colours.push_back(entry(diversity_colour(v, classes)));
            layout.unit = "classes";
            break;
        }
        case metrics::Id::Homogeneity:
        case metrics::Id::Share:
            for (int v = 0; v <= 100; ++v) layout.colours.push_back(entry(homogeneity_colour(v)));
            layout.unit = "%";
            break;
        default:
            break;
    }
    return layout;
}

// The same path for the check of the outputs: absolute, with the links of the part of it
// that exists followed and the rest normalised, so that two spellings of a file that does
// not exist yet compare equal.
std::string comparable(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
    return ec ? fs::absolute(path).lexically_normal().string() : p.string();
}

// Every file the run and its front end will write, the report first.
std::vector<std::string> run_outputs(const RunRequest& req, const RunAnswers& run) {
    std::vector<std::string> out = {run.nom_info};
    // One image per metric asked for.
    std::vector<metrics::Metric> ms;
    std::string why;
    if (!metrics::parse(req.metrics, ms, why)) ms.clear();
    for (const metrics::Metric& m : ms) {
        const std::string image = run.nomim3 + "_" + m.suffix();
        out.push_back(image + image_extension(run.res_form));
        if (run.res_form == kRaster) out.push_back(image + ".txt");
    }
    if (req.pictures) {
        const QuicklookNames pictures(run.nomim3);
        out.insert(out.end(), {pictures.diversity_png, pictures.homog_png, pictures.summary_html});
    }
    out.insert(out.end(), req.also_writes.begin(), req.also_writes.end());
    return out;
}

// An output that would replace a file of the map (its pixels, its header, any file a GDAL
// dataset is made of, whatever the spelling), or another output of the same run: Usage,
// naming both. Checked before anything is written.
Status outputs_clash(const RunRequest& req, const RunAnswers& run,
                     const std::vector<std::string>& inputs) {
    // Every name a result could take in any format, and the files of the front end.
    std::vector<std::string> against_map = result_outputs(run.nomim3);
    const std::vector<std::string> mine = run_outputs(req, run);
    against_map.insert(against_map.end(), mine.begin(), mine.end());
    for (const std::string& out : against_map) {
        const std::string o = comparable(out);
        for (const std::string& in : inputs) {
            if (in.empty()) continue;
            if (out == in || o == comparable(in) || same_file(out, in))
                return Status::make(Status::Code::Usage, out, txt::output_is_map, {out, in});
        }
    }
    for (std::size_t a = 0; a < mine.size(); ++a)
        for (std::size_t b = a + 1; b < mine.size(); ++b)
            if (comparable(mine[a]) == comparable(mine[b]) || same_file(mine[a], mine[b]))
                return Status::make(Status::Code::Usage, mine[b], txt::outputs_clash,
                                    {mine[b], mine[a]});
    return Status::success();
}

// The results base of the request: beside the map by default; in the folder -o names
// when it is one (or ends with a separator), under the default name; otherwise -o as
// given. A folder that is not there is said to be missing.
Status output_base(const RunRequest& req, const std::string& map, int rank, std::string& base) {
    const std::string& o = req.output_base;
    if (o.empty()) {
        base = default_output_base(map, req.window, rank);
        return Status::success();
    }
    std::error_code ec;
    const char last = o.back();
#ifdef _WIN32
    const bool ends_with_separator = last == '/' || last == '\\';
#else
    const bool ends_with_separator = last == '/';
#endif
    if (ends_with_separator || fs::is_directory(o, ec)) {
        if (!fs::is_directory(o, ec))
            return Status::make(Status::Code::NotWritten, o, txt::output_folder_missing, {o});
        const fs::path named = fs::path(default_output_base(map, req.window, rank)).filename();
        base = (fs::path(o) / named).string();
        return Status::success();
    }
    const fs::path folder = fs::path(o).parent_path();
    if (!folder.empty() && !fs::is_directory(folder, ec))
        return Status::make(Status::Code::NotWritten, folder.string(), txt::output_folder_missing,
                            {folder.string()});
    base = o;
    return Status::success();
}

}  // namespace

Status engine_status(const engine::Status& e, int format, const engine::MapInfo& info) {
    return from_engine(e, format, info, nullptr);
}

const char* result_format_name(int res_form) {
    switch (res_form) {
        case kRaster:
            return "raw";
        case kBitmap:
            return "bmp";
        case kAscii:
            return "asc";
        default:
            return "tif";
    }
}

std::string default_output_base(const std::string& map, WindowKind w, int rank) {
    const fs::path p(map);
    return (p.parent_path() / p.stem()).string() + "_" + window_shape(w).name +
           std::to_string(rank);
}

int advised_rank(WindowKind w, double dpix_size, double surface_km2) {
    Window help;
    const long long edge = std::llround(dpix_size);
    advise_ranks(help,
                 edge < 1              ? 1
                 : edge > 2147483647LL ? 2147483647
                                       : static_cast<int>(edge),
                 surface_km2);
    return window_shape(w).mask ? help.R_circle : help.R_square;
}

Status RunRequest::validate() const {
    if (map.empty()) return usage("a map is required");
    if (rank < 0 && surface_km2 < 0) return usage("--rank or --surface is required");
    if (rank > kMaxRank) return usage("--rank must be 0 to " + std::to_string(kMaxRank));
    if (mesh_lines && window_shape(window).moving)
        return usage("--mesh-lines draws the cell mesh: it goes with --window mesh only");
    if (res_form == kGeoTiff && !gdal_available())
        return usage("this build has no GDAL: choose a result format with -f raw|bmp|asc");
    if (band < 1) return usage("--band must be 1 or more");
    std::vector<metrics::Metric> ms;
    std::string why;
    if (!metrics::parse(metrics, ms, why)) return usage(why);
    for (const metrics::Metric& m : ms)
        if (!metrics::native(m) && res_form != kGeoTiff)
            return usage("the metric " + m.name() + " needs GeoTIFF results (-f tif): the " +
                         result_format_name(res_form) + " format holds only diversity and homogeneity");
    if (!(min_valid >= 0 && min_valid <= 100))
        return usage("--min-valid must be a percent above 0, at most 100");
    return Status::success();
}

RunOutcome run_landmosaic(const RunRequest& req, const Progress& progress) {
    engine::Team alone;
    return run_landmosaic(req, progress, alone);
}

namespace {

// One run as it goes through its steps: the request, what the steps have found and made,
// and the outcome they fill.
struct RunState {
    RunState(const RunRequest& r, const Progress& p, engine::Team& t)
        : req(r), progress(p), team(t), lead(t.leads()) {
        out.run.idiom = req.idiom;
        out.run.res_form = req.res_form;
    }
    const RunRequest& req;
    const Progress& progress;
    engine::Team& team;
    const bool lead;
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    RunOutcome out;
    std::vector<metrics::Metric> metrics;
    // The map, read by rows: its sizes and corner (no pixels), its source.
    LoadedMap map;
    std::unique_ptr<engine::RowSource> src;
    GdalRowSource* gdal = nullptr;
    engine::MapInfo source_info;
    long long budget = 0;       // what the run may take, bytes
    long long held = 0;         // what GDAL holds besides the bands
    long long band_budget = 0;  // what is left for the bands
    int tile_rows = 0;          // of GeoTIFF results
    // The outputs: the report, then one image per metric.
    Report rep;
    struct Image {
        metrics::Metric metric;
        std::string base;
        std::unique_ptr<engine::RowSink> sink;
        Status failure;
        PictureSink* picture = nullptr;  // the quicklook made on the way, when asked
    };
    std::vector<Image> images;
    engine::MapInfo info;  // the results' sizes and place
    engine::BandJob job;
    engine::BandPlan plan;
    engine::DiversityTotals totals;

    RunAnswers& run() { return out.run; }
    engine::BandPlan plan_for(const engine::BandJob& j) const {
        return req.band_rows > 0 ? engine::plan_bands_of(map.nb_lig, j, req.band_rows)
                                 : engine::plan_bands(map.nb_lig, map.nb_col, j, band_budget);
    }
    Status engine_failure(const engine::Status& e) const {
        engine::MapInfo sizes;
        sizes.nb_lig = map.nb_lig;
        sizes.nb_col = map.nb_col;
        return from_engine(e, out.run.format, src ? src->info() : sizes, gdal);
    }
    // The progress, shown by the leader alone. Every process asks it, so that each stops
    // at once when it is told to (mpirun signals every rank, then kills them a second
    // later); a stop on any process stops them all.
    bool report_progress(int row, int rows) const {
        return !progress || progress(row, rows);
    }
    // The outcome: `failure` (when any) last among the failures.
    RunOutcome finish(Status failure) {
        if (!failure.ok()) {
            out.exit_status = failure.code == Status::Code::Usage ? 2 : 1;
            out.failures.push_back(std::move(failure));
        } else {
            out.exit_status = out.failures.empty() ? 0 : 1;
        }
        out.timings.total = seconds_since(start);
        return std::move(out);
    }
};

// Opens the map for reading by rows. A map read forward only (an ASCII grid) is read by
// the leader alone, which hands its sizes and corner to the others.
Status open_step(RunState& r) {
    const auto t = std::chrono::steady_clock::now();
    RunAnswers& run = r.run();
    std::string base;
    const bool forward_only = native_format(r.req.map, base) == kAscii;
    Status opened = r.lead || !forward_only ? open_map(r.req, r.out, r.map, r.src, r.gdal)
                                            : Status::success();
    if (!r.team.all_ok(opened.ok()))
        return opened.ok() ? Status::refused(r.req.map, txt::reason_cannot_open)
                           : std::move(opened);
    r.source_info = r.src ? r.src->info() : engine::MapInfo{};
    if (forward_only && r.team.size() > 1) {
        r.team.share(r.source_info);
        if (!r.src) {
            run.format = kAscii;
            run.nom_lect = r.req.map;
            header_from(r.source_info, r.map);
        }
    }
    if (r.lead && r.src && r.src->info().extra_bytes > 0)
        r.out.warnings.push_back(
            Status::make(Status::Code::Ok, run.nom_lect, txt::raw_long_warning,
                         {run.nom_lect, r.src->info().pixels() + r.src->info().extra_bytes,
                          r.src->info().pixels()}));
    // What the map carries of its own wins over the options given for maps without it.
    if (r.lead && r.src) {
        const bool own_pixel_size = run.format == kRaster || run.format == kAscii ||
                                    (run.format < 0 && r.map.georef.has_transform);
        if (own_pixel_size && r.req.pixel_size > 0)
            r.out.warnings.push_back(Status::make(Status::Code::Ok, run.nom_lect,
                                                  txt::georef_ignored,
                                                  {"--pixel-size", run.nom_lect}));
        if (r.map.UTM_coord && r.req.has_corner)
            r.out.warnings.push_back(Status::make(Status::Code::Ok, run.nom_lect,
                                                  txt::georef_ignored,
                                                  {"--x-min/--y-min", run.nom_lect}));
    }
    r.out.nb_lig = r.map.nb_lig;
    r.out.nb_col = r.map.nb_col;
    r.out.dpix_size = r.map.dpix_size;
    r.out.georeferenced = !r.map.georef.crs_wkt.empty();
    r.out.crs_wkt = r.map.georef.crs_wkt;
    r.out.class_names = r.map.georef.class_names;
    r.budget = r.req.memory_mb > 0 ? r.req.memory_mb * (1LL << 20) : default_memory_bytes();
    r.out.timings.load = seconds_since(t);
    // A row of every result image, as the GeoTIFF results gather them.
    long long result_row_bytes = 0;
    for (const metrics::Metric& m : r.metrics)
        result_row_bytes += (m.type() == metrics::Type::Real ? 4LL : 1LL) * r.map.nb_col;
    // What GDAL holds besides the bands: the map's row of blocks and its window of rows,
    // the row of tiles each GeoTIFF result gathers, its block cache. The bands get the rest.
    const bool geotiff = run.res_form == kGeoTiff;
    r.tile_rows = geotiff ? geotiff_tile_rows(r.budget, result_row_bytes) : 0;
    r.held = (r.gdal ? r.gdal->held_bytes() : 0) + (geotiff ? r.tile_rows * result_row_bytes : 0) +
             (r.gdal || geotiff ? kGdalCacheBytes : 0);
    r.band_budget = r.budget - r.held;
    // One row must fit before any is read (the inventory reads a row at least).
    if (const long long one_row = engine::kBytesPerBandCell * r.map.nb_col;
        one_row > r.band_budget)
        return row_over_budget(run.nom_lect, r.map.nb_col, one_row + r.held, r.budget);
    return Status::success();
}

// Pass 1: the inventory. The progress of the scan stays at its start meanwhile; the
// callback may still cancel.
Status inventory_step(RunState& r) {
    const auto t = std::chrono::steady_clock::now();
    const int rows = r.map.nb_lig;
    const Progress cancel_only = [&](int, int) { return r.report_progress(0, rows); };
    if (engine::Status e = r.team.take_inventory(r.src.get(), r.plan_for({}), r.out.inv, cancel_only);
        !e.ok())
        return r.engine_failure(e);
    if (r.lead && r.src && r.src->info().extra_cells)
        r.out.warnings.push_back(Status::make(Status::Code::Ok, r.run().nom_lect,
                                              txt::ascii_extra_warning, {r.run().nom_lect}));
    r.out.timings.inventory = seconds_since(t);
    return Status::success();
}

// The window: its shape, the rank given or the one the rank help advises, its sizes.
Status window_step(RunState& r) {
    RunAnswers& run = r.run();
    const WindowShape& shape = window_shape(r.req.window);
    run.treat_type = shape.treat_type;
    run.win_shape = shape.win_shape;
    run.range_win = r.req.rank >= 0 ? r.req.rank
                                    : advised_rank(r.req.window, r.map.dpix_size, r.req.surface_km2);
    if (run.range_win < 0 || run.range_win > kMaxRank)
        return usage("the rank advised for that surface, " + std::to_string(run.range_win) +
                     ", is outside 0 to " + std::to_string(kMaxRank));
    if (Status s =
            window_sizes(r.out.win, run.treat_type, run.win_shape, run.range_win, r.map.dpix_size);
        !s.ok())
        return s;
    // A window that fits nowhere in the map leaves every result pixel without a value.
    const long long edge = 2LL * run.range_win + 1;
    const long long side = std::min(r.map.nb_lig, r.map.nb_col);
    if (r.lead && edge > side)
        r.out.warnings.push_back(Status::make(Status::Code::Ok, run.nom_lect, txt::window_too_large,
                                              {edge, edge, static_cast<long long>(r.map.nb_lig),
                                               static_cast<long long>(r.map.nb_col),
                                               (side - 1) / 2}));
    // The least band of the window: 2R + 1 rows (a row of cells, or a row with its halo
    // above and below).
    const long long band =
        (2LL * run.range_win + 1) * engine::kBytesPerBandCell * r.map.nb_col;
    if (band > r.band_budget)
        return row_over_budget(run.nom_lect, r.map.nb_col, band + r.held, r.budget);
    return Status::success();
}

// Where the results lie (the corner an ascii grid or a GeoTIFF needs), their names, and
// the report file, created before the treatment as in the dialogue.
Status report_step(RunState& r) {
    RunAnswers& run = r.run();
    LoadedMap& map = r.map;
    if (!map.UTM_coord && r.req.has_corner) {
        map.X_min = r.req.x_min;
        map.Y_min = r.req.y_min;
        map.UTM_coord = true;
    }
    // An ASCII grid runs north-up, west to east: a map whose rows or columns run the
    // other way would come out mirrored.
    if (run.res_form == kAscii && map.georef.has_transform &&
        (map.georef.transform[1] < 0 || map.georef.transform[5] > 0))
        return usage(
            "ascii results need a map whose rows run north to south and "
            "columns west to east: choose -f tif");
    if (run.res_form == kAscii && !map.UTM_coord)
        return usage(
            "ascii results from a map without coordinates need --x-min and "
            "--y-min");
    // A map named in GDAL's spelling (a driver's prefix, a /vsi path, a subdataset) gives
    // its results the name and folder of the file that holds it.
    std::string named = r.req.map;
    std::error_code ec;
    if (r.gdal && !fs::exists(named, ec))
        if (const std::vector<std::string> files = r.gdal->files(); !files.empty())
            named = files.front();
    r.out.corner_known = map.UTM_coord;
    r.out.x_min = map.X_min;
    r.out.y_min = map.Y_min;
    if (Status s = output_base(r.req, named, run.range_win, run.nomim3); !s.ok()) return s;
    run.nom_info = run.nomim3 + "_info.txt";
    std::vector<std::string> inputs = {run.nom_lect, map.nomdescr1};
    if (r.gdal)
        for (std::string& f : r.gdal->files()) inputs.push_back(std::move(f));
    if (Status s = outputs_clash(r.req, run, inputs); !s.ok()) return s;
    // Room for the native results: what they take at least, against what the folder has
    // (a map of a few bytes may declare terabytes of results).
    if (run.res_form != kGeoTiff) {
        const long long need = static_cast<long long>(r.metrics.size()) *
                               least_image_bytes(run.res_form, map.nb_lig, map.nb_col);
        const long long room = r.team.from_leader_ll(r.lead ? free_bytes(run.nom_info) : -1);
        if (room >= 0 && need > room)
            return Status::make(Status::Code::NotWritten, run.nom_info, txt::no_room,
                                {folder_of_output(run.nom_info), need, room});
    }
    if (!r.team.all_ok(!r.lead || r.rep.open(run.nom_info)))
        return Status::make(Status::Code::NotWritten, run.nom_info, txt::report_not_created,
                            {run.nom_info});
    return Status::success();
}

// A run that asks for pictures, in one process, makes the quicklook of each byte image
// as its rows are written (the leader of a team sees only its own bands).
void with_picture(RunState& r, RunState::Image& im) {
    if (!r.req.pictures || r.team.size() != 1 || !im.failure.ok() ||
        im.metric.type() == metrics::Type::Real)
        return;
    const bool mode = im.metric.id == metrics::Id::Diversity || im.metric.id == metrics::Id::Dominant;
    const MeshLines mesh{im.metric.id == metrics::Id::Diversity && r.req.mesh_lines,
                         2 * r.run().range_win + 1};
    QuicklookBuilder builder(mode ? QuicklookBuilder::Kind::Mode : QuicklookBuilder::Kind::Mean,
                             r.map.nb_lig, r.map.nb_col, mesh);
    auto sink = std::make_unique<PictureSink>(std::move(im.sink), std::move(builder));
    im.picture = sink.get();
    im.sink = std::move(sink);
}

// The band plan for every metric asked for, and one sink per metric. An image whose sink
// cannot be made keeps its failure; the others are still written.
void sinks_step(RunState& r) {
    RunAnswers& run = r.run();
    engine::BandJob& job = r.job;
    job.treat_type = run.treat_type;
    job.win_shape = run.win_shape;
    job.range_win = run.range_win;
    job.draw_mesh = r.req.mesh_lines;
    // More threads than cores only share the cores and take more memory.
    job.threads = r.req.threads;
    if (const int cores = fast_scan_threads(); job.threads > cores) {
        if (r.lead)
            r.out.warnings.push_back(Status::make(Status::Code::Ok, {}, txt::threads_lowered,
                                                  {static_cast<long long>(job.threads),
                                                   static_cast<long long>(cores),
                                                   static_cast<long long>(cores)}));
        job.threads = cores;
    }
    job.metrics = r.metrics;
    job.rule.min_valid = r.req.min_valid;
    r.plan = r.plan_for(job);
    r.out.bands = r.plan.bands;
    r.out.band_rows = r.plan.h;
    r.info = r.source_info;
    r.info.dpix_size = r.map.dpix_size;
    r.info.X_min = r.map.X_min;
    r.info.Y_min = r.map.Y_min;
    for (const metrics::Metric& m : r.metrics) {
        RunState::Image im{m, run.nomim3 + "_" + m.suffix(), nullptr, {}};
        if (run.res_form == kGeoTiff) {
            // Written by the leader alone, with the rows of every process.
            if (r.lead)
                im.sink = geotiff_sink(im.base + image_extension(kGeoTiff), r.map, result_kind(m),
                                       run_metadata(r.out, r.req, m), r.tile_rows, im.failure,
                                       geotiff_layout(r.req, m, r.out.inv));
        } else {
            engine::Status e;
            im.sink = r.team.make_sink(formats::format_of(run.res_form), im.base, r.info, e);
            if (!im.sink) im.failure = from_engine(e, run.format, r.info, nullptr);
        }
        if (!im.sink) im.sink = std::make_unique<NoSink>();
        // A sink the leader writes alone keeps its failure to itself (a team's sinks agree
        // on theirs among the processes, image by image).
        if (im.failure.ok() && !im.sink->collective())
            im.sink = std::make_unique<KeptFailureSink>(std::move(im.sink));
        with_picture(r, im);
        r.images.push_back(std::move(im));
    }
}

// Pass 2: the treatment, band after band, each band's result rows written as soon as
// they are done.
Status treat_step(RunState& r) {
    const auto t = std::chrono::steady_clock::now();
    std::vector<engine::RowSink*> sinks;
    for (RunState::Image& im : r.images) sinks.push_back(im.sink.get());
    const Progress leader_progress = [&](int row, int n) { return r.report_progress(row, n); };
    if (engine::Status e = r.team.treat(r.src.get(), r.out.inv, r.out.win, r.job, r.plan, sinks,
                                        r.totals, leader_progress);
        !e.ok())
        return r.engine_failure(e);
    if (!r.report_progress(r.map.nb_lig, r.map.nb_lig))
        return r.engine_failure({engine::Fault::Cancelled, {}, {}});
    RunOutcome& out = r.out;
    std::copy(std::begin(r.totals.histo_div), std::end(r.totals.histo_div),
              std::begin(out.histo_div));
    out.max_histo = r.totals.max_histo;
    out.windows = r.totals.windows;
    // Windows that count unclassified pixels in their surface bias both values low.
    if (r.lead && r.req.min_valid <= 0 && out.windows.windows > 0 &&
        out.windows.with_unclassified * 20 > out.windows.windows) {
        char pct[32];
        std::snprintf(pct, sizeof pct, "%.1f",
                      100.0 * static_cast<double>(out.windows.with_unclassified) /
                          static_cast<double>(out.windows.windows));
        out.warnings.push_back(Status::make(Status::Code::Ok, {}, txt::unclassified_windows_warning,
                                            {std::string(pct)}));
    }
    out.timings.treatment = seconds_since(t);
    return Status::success();
}

// The image's line in the report.
void report_image(RunState& r, const metrics::Metric& metric, const std::string& name) {
    const int idiom = r.run().idiom;
    if (metric.id == metrics::Id::Diversity)
        r.rep.write(txt::report_diversity_image.in(idiom), {name});
    else if (metric.id == metrics::Id::Homogeneity)
        r.rep.write(txt::report_homogeneity_image.in(idiom), {name});
    else
        r.rep.write(txt::report_metric_image.in(idiom), {metric.name(), name});
}

// The report body, each image completed and named in the report once written in full,
// then the report itself. What could not be written joins the failures.
void commit_step(RunState& r) {
    const auto t = std::chrono::steady_clock::now();
    RunAnswers& run = r.run();
    RunOutcome& out = r.out;
    if (r.lead) write_report_body(r.rep, run, r.map, out.inv, out.win);
    if (r.lead && r.req.min_valid > 0) {
        char pct[32];
        std::snprintf(pct, sizeof pct, "%g", r.req.min_valid);
        r.rep.write(txt::report_min_valid.in(run.idiom), {std::string(pct)});
    }
    for (std::size_t i = 0; i < r.images.size(); ++i) {
        RunState::Image& im = r.images[i];
        // The leader commits the sinks it wrote alone; those of the team are committed
        // by every process.
        if (!r.lead && !im.sink->collective()) continue;
        if (im.failure.ok()) {
            const engine::Status e = im.sink->commit();
            if (!e.ok()) im.failure = from_engine(e, run.format, r.info, nullptr);
        }
        if (!im.failure.ok()) {
            out.failures.push_back(std::move(im.failure));
            continue;
        }
        const std::string& name = im.sink->name();
        if (r.lead) report_image(r, im.metric, name);
        if (im.metric.id == metrics::Id::Diversity) out.diversity = name;
        if (im.metric.id == metrics::Id::Homogeneity) out.homogeneity = name;
        out.files.push_back({im.metric, name,
                             i < r.totals.planes.size() ? r.totals.planes[i] : engine::PlaneStats{},
                             im.picture ? std::make_shared<const Quicklook>(im.picture->picture())
                                        : nullptr});
    }
    // The report is the leader's alone.
    if (r.lead && r.rep.close()) {
        out.report = run.nom_info;
    } else if (r.lead) {
        out.failures.push_back(Status::make(Status::Code::NotWritten, run.nom_info,
                                            txt::result_not_written, {run.nom_info}));
    }
    out.timings.write = seconds_since(t);
}

}  // namespace

RunOutcome run_landmosaic(const RunRequest& req, const Progress& progress,
                          engine::Team& team) {
    RunState r(req, progress, team);
    Status s = req.validate();
    if (s.ok()) s = check_map_name(req.map);
    if (!s.ok()) return r.finish(std::move(s));
    std::string why;
    metrics::parse(req.metrics, r.metrics, why);
    try {
        s = open_step(r);
        if (s.ok()) s = inventory_step(r);
        if (s.ok()) s = window_step(r);
        if (s.ok()) s = report_step(r);
        if (s.ok()) sinks_step(r);
        if (s.ok()) s = treat_step(r);
        if (s.ok()) commit_step(r);
    } catch (const std::bad_alloc&) {
        // A process that cannot go on would leave the others waiting for it.
        if (team.size() > 1) team.abort_all();
        s = Status::make(Status::Code::OutOfMemory, {}, txt::memory_exhausted);
    }
    return r.finish(std::move(s));
}
