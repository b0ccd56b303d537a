#include "app/run.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <new>
#include <utility>

#include "analysis/mesh.h"
#include "analysis/treatment.h"
#include "formats/gdal_raster.h"
#include "raster/inventory.h"
#include "raster/loading.h"
#include "raster/nrutil.h"
#include "results/images.h"
#include "results/report.h"
#include "text/catalogue.h"
#include "window/geometry.h"

namespace fs = std::filesystem;

namespace {

Status usage(std::string detail) {
    Status s;
    s.code = Status::Code::Usage;
    s.detail = std::move(detail);
    return s;
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The reader of a map: the program's own for ".raw", ".bmp" and ".asc", GDAL for
// anything else. `base` is the name without the extension the native readers add.
int native_format(const std::string& path, std::string& base) {
    static const std::pair<const char*, int> kNative[] = {
        {".raw", kRaster}, {".bmp", kBitmap}, {".asc", kAscii}};
    for (const auto& [ext, form] : kNative) {
        const std::size_t n = std::char_traits<char>::length(ext);
        if (path.size() > n && path.compare(path.size() - n, n, ext) == 0) {
            base = path.substr(0, path.size() - n);
            return form;
        }
    }
    return -1;
}

// Loads the map of the request into `map` and names it in `run.nom_lect`.
Status load(const RunRequest& req, RunOutcome& out, LoadedMap& map) {
    RunAnswers& run = out.run;
    std::string base;
    const int form = native_format(req.map, base);
    if (form < 0) {
        run.format = -1;
        run.nom_lect = req.map;
        if (Status s = gdal_load_map(req.map, req.band, map); !s.ok()) return s;
        if (map.dpix_size <= 0) {
            if (req.pixel_size <= 0) return Status::refused(req.map, txt::reason_no_pixel_size);
            map.dpix_size = req.pixel_size;
        }
        return Status::success();
    }
    run.format = form;
    LoadOptions opt;
    opt.warn = [&](const Status& w) { out.warnings.push_back(w); };
    Status s = load_map(base, form, map, run.nom_lect, opt);
    if (s.code == Status::Code::NeedsHeader)
        return Status::refused(run.nom_lect, txt::reason_no_header, {s.file});
    if (!s.ok()) return s;
    if (form == kBitmap) {
        // A bitmap carries no pixel size.
        if (req.pixel_size <= 0) return Status::refused(run.nom_lect, txt::reason_no_pixel_size);
        map.dpix_size = req.pixel_size;
    }
    return Status::success();
}

// The run's parameters, kept in the GeoTIFF results.
std::vector<std::pair<std::string, std::string>> run_metadata(const RunOutcome& out,
                                                               const RunRequest& req,
                                                               ResultKind kind) {
    const Window& w = out.win;
    const bool circle = req.window == WindowKind::Circle;
    auto num = [](double v) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.6g", v);
        return std::string(buf);
    };
    return {
        {"LANDMOSAIC_MAP", out.run.nom_lect},
        {"LANDMOSAIC_VALUE", kind == ResultKind::Diversity
                                 ? "diversity: number of classes in the window"
                                 : "homogeneity: percent of the window covered by its largest class"},
        {"LANDMOSAIC_WINDOW", window_name(req.window)},
        {"LANDMOSAIC_RANK", std::to_string(out.run.range_win)},
        {"LANDMOSAIC_WINDOW_PIXELS", std::to_string(circle ? w.num_pix_circ : w.surf_tot)},
        {"LANDMOSAIC_WINDOW_HA", num(w.surf_win)},
        {"LANDMOSAIC_PIXEL_SIZE", num(out.dpix_size)},
        {"LANDMOSAIC_MESH_LINES", req.mesh_lines && kind == ResultKind::Diversity ? "yes" : "no"},
        {"LANDMOSAIC_NO_VALUE", "255"},
    };
}

}  // namespace

const char* window_name(WindowKind w) {
    switch (w) {
        case WindowKind::Circle:
            return "circle";
        case WindowKind::Mesh:
            return "mesh";
        default:
            return "square";
    }
}

std::string default_output_base(const std::string& map, WindowKind w, int rank) {
    const fs::path p(map);
    return (p.parent_path() / p.stem()).string() + "_" + window_name(w) + std::to_string(rank);
}

int advised_rank(WindowKind w, double dpix_size, double surface_km2) {
    Window help;
    const long long edge = std::llround(dpix_size);
    advise_ranks(help, edge < 1 ? 1 : edge > 2147483647LL ? 2147483647 : static_cast<int>(edge),
                 surface_km2);
    return w == WindowKind::Circle ? help.R_circle : help.R_square;
}

Status RunRequest::validate() const {
    if (map.empty()) return usage("a map is required");
    if (rank < 0 && surface_km2 < 0) return usage("--rank or --surface is required");
    if (rank > kMaxRank) return usage("--rank must be 0 to " + std::to_string(kMaxRank));
    if (mesh_lines && window != WindowKind::Mesh)
        return usage("--mesh-lines draws the cell mesh: it goes with --window mesh only");
    if (res_form == kGeoTiff && !gdal_available())
        return usage("this build has no GDAL: choose a result format with -f raw|bmp|asc");
    if (band < 1) return usage("--band must be 1 or more");
    return Status::success();
}

RunOutcome run_landmosaic(const RunRequest& req, const RowProgressFn& progress) {
    const auto t_start = std::chrono::steady_clock::now();
    RunOutcome out;
    RunAnswers& run = out.run;
    run.idiom = req.idiom;
    run.res_form = req.res_form;
    auto fail = [&](Status s) {
        out.exit_status = s.code == Status::Code::Usage ? 2 : 1;
        out.failures.push_back(std::move(s));
        out.timings.total = seconds_since(t_start);
        return std::move(out);
    };
    if (Status s = req.validate(); !s.ok()) return fail(std::move(s));

    try {
        // The map and its inventory.
        LoadedMap map;
        auto t = std::chrono::steady_clock::now();
        if (Status s = load(req, out, map); !s.ok()) return fail(std::move(s));
        out.nb_lig = map.nb_lig;
        out.nb_col = map.nb_col;
        out.dpix_size = map.dpix_size;
        out.georeferenced = !map.georef.crs_wkt.empty();
        out.timings.load = seconds_since(t);

        t = std::chrono::steady_clock::now();
        take_inventory(map, out.inv);
        out.inv.hist_item = IntVector(ivecteur(out.inv.num_item + 1));
        if (!out.inv.hist_item) throw std::bad_alloc();
        out.timings.inventory = seconds_since(t);

        // The window: the rank given, or the one the rank help advises.
        run.treat_type = req.window == WindowKind::Mesh ? 0 : 1;
        run.win_shape = req.window == WindowKind::Circle ? 1 : 0;
        run.range_win = req.rank >= 0 ? req.rank
                                      : advised_rank(req.window, map.dpix_size, req.surface_km2);
        if (run.range_win < 0 || run.range_win > kMaxRank)
            return fail(usage("the rank advised for that surface, " +
                              std::to_string(run.range_win) + ", is outside 0 to " +
                              std::to_string(kMaxRank)));
        if (Status s = window_sizes(out.win, run.treat_type, run.win_shape, run.range_win,
                                    map.dpix_size);
            !s.ok())
            return fail(std::move(s));

        // Where the results lie: the corner an ascii grid or a GeoTIFF needs.
        if (!map.UTM_coord && req.has_corner) {
            map.X_min = req.x_min;
            map.Y_min = req.y_min;
            map.UTM_coord = true;
        }
        if (run.res_form == kAscii && !map.UTM_coord)
            return fail(usage("ascii results from a map without coordinates need --x-min and "
                              "--y-min"));

        // The report file, created before the treatment as in the dialogue.
        run.nomim3 = req.output_base.empty()
                         ? default_output_base(req.map, req.window, run.range_win)
                         : req.output_base;
        run.nom_info = run.nomim3 + "_info.txt";
        Report rep;
        if (!rep.open(run.nom_info))
            return fail(Status::make(Status::Code::NotWritten, run.nom_info,
                                     txt::report_not_created, {run.nom_info}));

        // The treatment.
        t = std::chrono::steady_clock::now();
        Results res;
        const int rows = map.nb_lig;
        if (Status s = treat(run.treat_type, run.win_shape, run.range_win, map, out.inv, out.win,
                             res,
                             [&](int row) {
                                 if (progress) progress(row, rows);
                             },
                             req.threads);
            !s.ok())
            return fail(std::move(s));
        if (progress) progress(rows, rows);
        std::copy(std::begin(res.histo_div), std::end(res.histo_div), std::begin(out.histo_div));
        out.max_histo = res.max_histo;
        out.timings.treatment = seconds_since(t);

        // The report body, the mesh lines, the two images each with its report line.
        t = std::chrono::steady_clock::now();
        write_report_body(rep, run, map, out.inv, out.win);
        if (req.mesh_lines && res.tab_divers)
            draw_mesh(res.tab_divers.get(), map.nb_lig, map.nb_col, run.range_win);
        struct Image {
            ByteMatrix grid;
            std::string base;
            ResultKind kind;
            const txt::ReportLine& line;
            std::string& written;
        };
        Image images[2] = {
            {res.tab_divers.get(), diversity_base(run), ResultKind::Diversity,
             txt::report_diversity_image, out.diversity},
            {res.tab_homo.get(), homogeneity_base(run), ResultKind::Homogeneity,
             txt::report_homogeneity_image, out.homogeneity}};
        for (Image& im : images) {
            std::string nom, descr;
            Status s;
            if (run.res_form == kGeoTiff) {
                nom = im.base + image_extension(kGeoTiff);
                s = write_geotiff(nom, im.grid, map, im.kind, run_metadata(out, req, im.kind));
            } else {
                s = write_result_image(run.res_form, map, im.grid, im.base, nom, descr);
            }
            if (s.ok()) {
                rep.write(im.line.in(run.idiom), {nom});
                im.written = nom;
            } else {
                out.failures.push_back(std::move(s));
            }
        }
        if (rep.close()) {
            out.report = run.nom_info;
        } else {
            out.failures.push_back(Status::make(Status::Code::NotWritten, run.nom_info,
                                                txt::result_not_written, {run.nom_info}));
        }
        out.timings.write = seconds_since(t);
    } catch (const std::bad_alloc&) {
        return fail(Status::make(Status::Code::OutOfMemory, {}, txt::memory_exhausted));
    }
    out.exit_status = out.failures.empty() ? 0 : 1;
    out.timings.total = seconds_since(t_start);
    return out;
}
