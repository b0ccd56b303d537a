#include "app/array_scan.h"

#include <algorithm>
#include <new>
#include <string>

#include "engine/bands.h"
#include "text/status_text.h"
#include "window/geometry.h"
#include "window/shapes.h"

namespace {

Status usage(std::string detail) { return Status::usage(std::move(detail)); }

constexpr long long kDefaultBandMemoryMb = 64;

}  // namespace

Status ArrayScanRequest::validate(std::vector<metrics::Metric>* parsed) const {
    std::vector<metrics::Metric> ms;
    // The Python package raises the English words.
    if (Status s = metrics::parse(metrics, ms); !s.ok()) return usage(status_line(s, 0, true));
    if (parsed) *parsed = ms;
    if (!(min_valid >= 0 && min_valid <= 100))
        return usage("min_valid must be a percent above 0 and at most 100, or 0 for whole "
                     "windows inside the map");
    if (rank > kMaxRank)
        return usage("rank must be 0 to " + std::to_string(kMaxRank) + ", not " +
                     std::to_string(rank));
    if (rank < 0 && surface_km2 < 0)
        return usage("a rank (0 to " + std::to_string(kMaxRank) + ") or a surface is required");
    if (rank < 0 && pixel_size <= 0)
        return usage("a surface gives a rank only with the pixel size (metres, above 0)");
    if (threads < 0) return usage("threads must be 0 (every core) or more");
    return Status::success();
}

ArrayScanOutcome array_inventory(engine::RowSource& src, const Progress& progress) {
    ArrayScanOutcome out;
    const engine::BandPlan plan = engine::plan_bands_of(src.info().nb_lig, {}, 1024);
    const Status e = engine::take_inventory(src, plan, out.inv, progress);
    if (e.code == Status::Code::Cancelled)
        out.cancelled = true;
    else if (e.code == Status::Code::OutOfMemory)
        out.failure.code = Status::Code::OutOfMemory;
    else if (!e.ok()) out.failure = usage(e.detail);
    return out;
}

ArrayScanOutcome scan_array(engine::RowSource& src, const ArrayScanRequest& req,
                            const std::vector<engine::RowSink*>& sinks,
                            const Progress& progress) {
    ArrayScanOutcome out;
    if (Status s = req.validate(&out.metrics); !s.ok()) {
        out.failure = std::move(s);
        return out;
    }
    try {
        const engine::MapInfo& info = src.info();
        out.range_win = req.rank >= 0 ? req.rank
                                      : advised_rank(req.window, req.pixel_size, req.surface_km2);
        if (out.range_win < 0 || out.range_win > kMaxRank) {
            out.failure = usage("the rank advised for that surface, " +
                                std::to_string(out.range_win) + ", is outside 0 to " +
                                std::to_string(kMaxRank));
            return out;
        }
        ArrayScanOutcome counted = array_inventory(src, progress);
        if (!counted.ok()) return counted;
        out.inv = std::move(counted.inv);

        engine::BandJob job;
        const WindowShape& shape = window_shape(req.window);
        job.treat_type = shape.treat_type;
        job.win_shape = shape.win_shape;
        job.range_win = out.range_win;
        job.threads = req.threads;
        job.metrics = out.metrics;
        job.rule.min_valid = req.min_valid;
        const double edge = req.pixel_size > 0 ? req.pixel_size : 1.0;
        if (Status s = window_sizes(out.win, job.treat_type, job.win_shape, job.range_win, edge);
            !s.ok()) {
            out.failure = std::move(s);
            return out;
        }
        const long long mb = req.memory_mb > 0 ? req.memory_mb : kDefaultBandMemoryMb;
        const engine::BandPlan plan =
            req.band_rows > 0
                ? engine::plan_bands_of(info.nb_lig, job, req.band_rows)
                : engine::plan_bands(info.nb_lig, info.nb_col, job, mb * (1LL << 20));
        engine::DiversityTotals totals;
        Status e =
            engine::treat_in_bands(src, out.inv, out.win, job, plan, sinks, totals, progress);
        if (e.code == Status::Code::Cancelled) {
            out.cancelled = true;
            return out;
        }
        for (engine::RowSink* sink : sinks)
            if (e.ok()) e = sink->commit();
        if (e.code == Status::Code::OutOfMemory) {
            out.failure.code = Status::Code::OutOfMemory;
            return out;
        }
        if (!e.ok()) {
            out.failure.code = Status::Code::NotWritten;
            out.failure.detail = e.detail;
            return out;
        }
        std::copy(std::begin(totals.histo_div), std::end(totals.histo_div),
                  std::begin(out.histo_div));
        out.max_histo = totals.max_histo;
    } catch (const std::bad_alloc&) {
        out.failure = Status{};
        out.failure.code = Status::Code::OutOfMemory;
    }
    return out;
}
