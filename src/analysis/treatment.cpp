#include "analysis/treatment.h"

#include <cstdint>
#include <utility>

#include "analysis/fast_scan.h"
#include "analysis/scans.h"
#include "text/catalogue.h"

namespace {

// A grid of the map's size; the scan writes every one of its pixels.
Status zeroed_grid(ByteGrid& g, int nb_lig, int nb_col) {
    g = ByteGrid(ucmatrice(nb_col, nb_lig), nb_lig);
    if (!g)
        return Status::make(Status::Code::OutOfMemory, {}, txt::out_of_memory, {nb_col, nb_lig});
    return Status::success();
}

}  // namespace

Status treat(int treat_type, int win_shape, int range_win, const LoadedMap& map,
             const Inventory& inv, const Window& win, Results& res, const Progress& progress,
             int threads) {
    const int nb_lig = map.nb_lig;
    const int nb_col = map.nb_col;

    // Fresh grids: the scan writes every pixel, 255 where no window reaches, and counts
    // the diversity values as it writes them.
    if (Status s = zeroed_grid(res.tab_div, nb_lig, nb_col); !s.ok()) return s;
    if (Status s = zeroed_grid(res.tab_homo, nb_lig, nb_col); !s.ok()) return s;
    res.rw = range_win;
    std::int64_t counts[256] = {};
    ScanOptions options;
    options.threads = threads;
    options.fresh = true;
    options.histogram = counts;

    bool cancelled = false;
    fast_scan(
        treat_type, win_shape, map, inv, win, res.rw, res.tab_div, res.tab_homo,
        [&](int row, int rows) {
            if (!progress || progress(row, rows)) return true;
            cancelled = true;
            return false;
        },
        options);
    if (cancelled) return Status::cancelled();

    histogram_from_counts(counts, res);
    // The diversity image holds the values of tab_div, 255 where none: the grid itself.
    res.tab_divers = std::move(res.tab_div);
    return Status::success();
}
