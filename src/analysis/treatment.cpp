#include "analysis/treatment.h"

#include "analysis/fast_scan.h"
#include "analysis/scans.h"
#include "run/catalogue.h"
#include "run/failures.h"

void diversity_histogram(const ByteGrid& tab_div, int nb_lig, int nb_col, Results& res) {
    res.max_histo = 0;
    for (std::int64_t& h : res.histo_div) h = 0;
    for (int i = 0; i < nb_lig; ++i) {
        for (int j = 0; j < nb_col; ++j) {
            const int val = tab_div[i][j];
            if (val < kNoValue) {
                if (val > res.max_histo) res.max_histo = val;
                ++res.histo_div[val];
            }
        }
    }
}

void treatment(Console& con, const RunAnswers& run, const LoadedMap& map, Inventory& inv,
               const Window& win, Results& res) {
    const int idiom = run.idiom;
    const int nb_lig = map.nb_lig;
    const int nb_col = map.nb_col;
    con.say(idiom, txt::treatment_heading);

    res.tab_div = alloc_grid(con, idiom, nb_col, nb_lig);
    res.tab_homo = alloc_grid(con, idiom, nb_col, nb_lig);
    fill_grid(res.tab_div, nb_lig, nb_col, kNoValue);
    fill_grid(res.tab_homo, nb_lig, nb_col, kNoValue);
    res.rw = run.range_win;

    fast_scan(run.treat_type, run.win_shape, map, inv, win, res.rw, res.tab_div, res.tab_homo,
              [&](int row) { con.say(idiom, txt::treatment_progress, {row}); });

    // The histogram goes to the console only.
    diversity_histogram(res.tab_div, nb_lig, nb_col, res);
    con.print(txt::max_histo_line, {res.max_histo});
    for (int v = 1; v <= res.max_histo; ++v) con.print(txt::histo_div_line, {v, res.histo_div[v]});

    // The diversity image: the values of tab_div, which is of no further use.
    res.tab_divers = alloc_grid(con, idiom, nb_col, nb_lig);
    fill_grid(res.tab_divers, nb_lig, nb_col, kNoValue);
    for (int i = 0; i < nb_lig; ++i) {
        for (int j = 0; j < nb_col; ++j) {
            const unsigned char val = res.tab_div[i][j];
            if (val < kNoValue) res.tab_divers[i][j] = val;
        }
    }
    res.tab_div.reset();
}
