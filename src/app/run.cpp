#include "app/run.h"

#include <cmath>
#include <new>
#include <utility>

#include "app/run_parts.h"
#include "formats/format.h"
#include "text/catalogue.h"
#include "window/geometry.h"

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
    if (map.empty()) return Status::usage(txt::usage_map_required);
    if (rank < 0 && surface_km2 < 0) return Status::usage(txt::usage_rank_or_surface);
    if (rank > kMaxRank) return Status::usage(txt::usage_rank_range, {kMaxRank});
    if (mesh_lines && window_shape(window).moving) return Status::usage(txt::usage_mesh_lines);
    const bool through_gdal = !formats::format_of(res_form).native();
    if (through_gdal && !gdal_available()) return Status::usage(txt::usage_no_gdal);
    if (band < 1) return Status::usage(txt::usage_band);
    std::vector<metrics::Metric> ms;
    std::string why;
    if (!metrics::parse(metrics, ms, why)) return Status::usage(why);
    for (const metrics::Metric& m : ms)
        if (!metrics::native(m) && !through_gdal)
            return Status::usage(txt::usage_metric_format,
                                 {m.name(), std::string(result_format_name(res_form))});
    if (!(min_valid >= 0 && min_valid <= 100)) return Status::usage(txt::usage_min_valid);
    return Status::success();
}

RunOutcome run_landmosaic(const RunRequest& req, const Progress& progress,
                          const MapOpened& opened) {
    engine::Team alone;
    return run_landmosaic(req, progress, alone, opened);
}

RunOutcome run_landmosaic(const RunRequest& req, const Progress& progress, engine::Team& team,
                          const MapOpened& opened) {
    run_parts::RunState r(req, progress, team);
    Status s = req.validate();
    if (s.ok()) s = run_parts::check_map_name(req.map);
    if (!s.ok()) return r.finish(std::move(s));
    std::string why;
    metrics::parse(req.metrics, r.metrics, why);
    try {
        s = run_parts::open_step(r);
        if (s.ok() && opened && r.lead) opened(r.map.nb_lig, r.map.nb_col);
        if (s.ok()) s = run_parts::inventory_step(r);
        if (s.ok()) s = run_parts::window_step(r);
        if (s.ok()) s = run_parts::report_step(r);
        if (s.ok()) run_parts::sinks_step(r);
        if (s.ok()) s = run_parts::treat_step(r);
        if (s.ok()) run_parts::commit_step(r);
    } catch (const std::bad_alloc&) {
        // A process that cannot go on would leave the others waiting for it.
        if (team.size() > 1) team.abort_all();
        s = Status::make(Status::Code::OutOfMemory, {}, txt::memory_exhausted);
    }
    return r.finish(std::move(s));
}
