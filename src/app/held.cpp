#include "app/held.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "app/run.h"
#include "engine/bands.h"
#include "engine/memory_rows.h"
#include "formats/format.h"
#include "text/catalogue.h"

namespace {

// Rows per band beside the map and the two result images held whole: a thirty-second of
// the map, so that the band's rings add little to them, yet several times the window's
// height, so that each band's scan does not spend its time on its halo.
int band_rows(int nb_lig, int range_win) {
    const long long window = 2LL * std::max(range_win, 0) + 1;
    const long long h = std::max({static_cast<long long>(nb_lig) / 32, 4 * window, 64LL});
    return static_cast<int>(std::min<long long>(h, std::max(nb_lig, 1)));
}

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

// The map file read before, opened again for reading by rows. A file whose sizes are no
// longer those read before has changed under the run: it is refused.
std::unique_ptr<engine::RowSource> open_map_file(const RunAnswers& run, const LoadedMap& map,
                                                 Status& e) {
    std::unique_ptr<engine::RowSource> src;
    src = formats::format_of(run.format).open_source(run.nom_lect, info_of(map), e);
    if (src && (src->info().nb_lig != map.nb_lig || src->info().nb_col != map.nb_col)) {
        e = Status::refused(run.nom_lect, txt::reason_cannot_open);
        return nullptr;
    }
    return src;
}

}  // namespace

Status treat_into_memory(const RunAnswers& run, const LoadedMap& map, const Inventory& inv,
                         const Window& win, Results& res, const Progress& progress) {
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
    const engine::BandPlan plan =
        engine::plan_bands_of(map.nb_lig, job, band_rows(map.nb_lig, run.range_win));
    // The map is read again from its file, a band at a time: it is not held beside the
    // two result images.
    Status e;
    const std::unique_ptr<engine::RowSource> src = open_map_file(run, map, e);
    if (!src) return e;
    engine::DiversityTotals totals;
    e = engine::treat_in_bands(*src, inv, win, job, plan, diversity, homogeneity, totals,
                               progress);
    if (!e.ok()) return e;
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
    Status e;
    auto sink = formats::format_of(run.res_form).make_sink(base, info, e);
    if (sink) {
        e = sink->write(0, map.nb_lig, grid);
        if (e.ok()) e = sink->commit();
    }
    if (!e.ok()) return e;
    written = sink->name();
    return Status::success();
}
