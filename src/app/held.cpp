#include "app/held.h"

#include <algorithm>
#include <utility>

#include "app/run.h"
#include "engine/bands.h"
#include "engine/memory_rows.h"
#include "engine/rows.h"
#include "text/catalogue.h"

namespace {

// The memory the rows of the bands may take beside the map and the two result images:
// a small share of them, so that a map that fills the memory can still be treated.
constexpr long long kBandBudget = 64LL << 20;

engine::MapInfo info_of(const LoadedMap& map) {
    engine::MapInfo info;
    info.nb_lig = map.nb_lig;
    info.nb_col = map.nb_col;
    info.dpix_size = map.dpix_size;
    info.UTM_coord = map.UTM_coord;
    info.X_min = map.X_min;
    info.Y_min = map.Y_min;
    return info;
}

}  // namespace

Status treat_held_map(const RunAnswers& run, const LoadedMap& map, const Inventory& inv,
                      const Window& win, Results& res, const Progress& progress) {
    const engine::MapInfo info = info_of(map);
    // The two images, each one block of rows in order, written a band at a time.
    ByteGrid div(ucmatrice(map.nb_col, map.nb_lig), map.nb_lig);
    ByteGrid homo(ucmatrice(map.nb_col, map.nb_lig), map.nb_lig);
    if (!div || !homo)
        return Status::make(Status::Code::OutOfMemory, {}, txt::out_of_memory,
                            {map.nb_col, map.nb_lig});
    engine::MemorySink diversity(div[0], map.nb_lig, map.nb_col, map.nb_col);
    engine::MemorySink homogeneity(homo[0], map.nb_lig, map.nb_col, map.nb_col);
    engine::BandJob job;
    job.treat_type = run.treat_type;
    job.win_shape = run.win_shape;
    job.range_win = run.range_win;
    const engine::BandPlan plan = engine::plan_bands(map.nb_lig, map.nb_col, job, kBandBudget);
    engine::GridSource src(info, map.tab_in.get());
    engine::DiversityTotals totals;
    const engine::Status e = engine::treat_in_bands(src, inv, win, job, plan, diversity,
                                                    homogeneity, totals, progress);
    if (!e.ok()) return engine_status(e, run.format, info);
    res.rw = run.range_win;
    std::copy(std::begin(totals.histo_div), std::end(totals.histo_div), std::begin(res.histo_div));
    res.max_histo = totals.max_histo;
    res.tab_divers = std::move(div);
    res.tab_homo = std::move(homo);
    return Status::success();
}

Status write_held_image(const RunAnswers& run, const LoadedMap& map, ByteMatrix grid,
                        const std::string& base, std::string& written) {
    const engine::MapInfo info = info_of(map);
    engine::Status e;
    auto sink = engine::make_sink(run.res_form, base, info, e);
    if (sink) {
        e = sink->write(0, map.nb_lig, grid);
        if (e.ok()) e = sink->commit();
    }
    if (!e.ok()) return engine_status(e, run.format, info);
    written = sink->name();
    return Status::success();
}
