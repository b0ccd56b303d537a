// The steps of a batch run over one RunState: the map opened, its inventory, the
// window, the report and the names of the results, the sinks, the treatment band after
// band, and the commit of every file.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <utility>

#include "analysis/fast_scan.h"
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "formats/format.h"
#include "text/catalogue.h"
#include "window/geometry.h"

#include "app/run_parts.h"
#include "results/class_colours.h"

namespace fs = std::filesystem;

namespace run_parts {

namespace {

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

}  // namespace

// Opens the map for reading by rows. A map read forward only (an ASCII grid) is read by
// the leader alone, which hands its sizes and corner to the others.
Status open_step(RunState& r) {
    const auto t = std::chrono::steady_clock::now();
    RunAnswers& run = r.run();
    std::string base;
    const formats::Format* native = native_format(r.req.map, base);
    const bool forward_only = native && native->forward_only;
    Status opened = r.lead || !forward_only ? open_map(r.req, r.out, r.map, r.src, r.gdal)
                                            : Status::success();
    if (!r.team.all_ok(opened.ok()))
        return opened.ok() ? Status::refused(r.req.map, txt::reason_cannot_open)
                           : std::move(opened);
    r.source_info = r.src ? r.src->info() : engine::MapInfo{};
    if (forward_only && r.team.size() > 1) {
        r.team.share(r.source_info);
        if (!r.src) {
            run.format = native->code;
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
        const bool own_pixel_size = run.format >= 0
                                        ? formats::format_of(run.format).carries_pixel_size
                                        : r.map.georef.has_transform;
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
    const bool geotiff = !formats::format_of(run.res_form).native();
    r.tile_rows = geotiff ? geotiff_tile_rows(r.budget, result_row_bytes) : 0;
    r.held = (r.gdal ? r.gdal->held_bytes() : 0) + (geotiff ? r.tile_rows * result_row_bytes : 0) +
             (r.gdal || geotiff ? kGdalCacheBytes : 0);
    // The pictures made on the way, counted on every process so that all plan the same
    // bands (the leader alone makes them).
    for (const metrics::Metric& m : r.metrics)
        if (r.req.pictures)
            r.held += QuicklookBuilder::held_bytes(picture_kind(m), r.map.nb_lig, r.map.nb_col);
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
    if (Status e = r.team.take_inventory(r.src.get(), r.plan_for({}), r.out.inv, cancel_only);
        !e.ok())
        return e;
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
        return Status::usage(txt::usage_advised_rank,
                             {static_cast<long long>(run.range_win), static_cast<long long>(kMaxRank)});
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
    const formats::Format& results = formats::format_of(run.res_form);
    if (results.needs_corner && map.georef.has_transform &&
        (map.georef.transform[1] < 0 || map.georef.transform[5] > 0))
        return Status::usage(txt::usage_ascii_orientation);
    if (results.needs_corner && !map.UTM_coord)
        return Status::usage(txt::usage_ascii_corner);
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
    if (results.native()) {
        const long long need = static_cast<long long>(r.metrics.size()) *
                               formats::least_file_bytes(results, map.nb_lig, map.nb_col);
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

namespace {

// A run that asks for pictures makes the quicklook of each image as its rows are
// written, on the leader (a team shows it the rows of the other processes' bands); a
// real metric's picture takes its rows of floats.
void with_picture(RunState& r, RunState::Image& im) {
    if (!r.req.pictures || !r.lead || !im.failure.ok()) return;
    const MeshLines mesh{im.metric.id == metrics::Id::Diversity && r.req.mesh_lines,
                         2 * r.run().range_win + 1};
    QuicklookBuilder builder(picture_kind(im.metric), r.map.nb_lig, r.map.nb_col, mesh);
    // The dominant class in the colours of its GeoTIFF, as a GIS shows it: the map's own,
    // or distinct colours for a map without them.
    if (im.metric.id == metrics::Id::Dominant)
        builder.use_colours(r.map.georef.colours.empty() ? class_colours() : r.map.georef.colours);
    auto sink = std::make_unique<PictureSink>(std::move(im.sink), std::move(builder));
    im.picture = sink.get();
    im.sink = std::move(sink);
}

}  // namespace

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
        const formats::Format& format = formats::format_of(run.res_form);
        if (!format.native()) {
            // Written by the leader alone, with the rows of every process.
            if (r.lead)
                im.sink = geotiff_sink(im.base + format.extension(), r.map, result_kind(m),
                                       run_metadata(r.out, r.req, m), r.tile_rows, im.failure,
                                       geotiff_layout(r.req, m, r.out.inv));
        } else {
            im.sink = r.team.make_sink(format, im.base, r.info, im.failure);
        }
        if (!im.sink) im.sink = no_sink();
        // A sink the leader writes alone keeps its failure to itself (a team's sinks agree
        // on theirs among the processes, image by image).
        if (im.failure.ok() && !im.sink->collective())
            im.sink = keeping_failure(std::move(im.sink));
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
    if (Status e = r.team.treat(r.src.get(), r.out.inv, r.out.win, r.job, r.plan, sinks, r.totals,
                                leader_progress);
        !e.ok())
        return e;
    if (!r.report_progress(r.map.nb_lig, r.map.nb_lig)) return Status::cancelled();
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
        const bool cells = r.run().treat_type == 0;
        out.warnings.push_back(Status::make(
            Status::Code::Ok, {},
            cells ? txt::unclassified_cells_warning : txt::unclassified_windows_warning,
            {std::string(pct)}));
    }
    out.timings.treatment = seconds_since(t);
    return Status::success();
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
        if (im.failure.ok()) im.failure = im.sink->commit();
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

}  // namespace run_parts
