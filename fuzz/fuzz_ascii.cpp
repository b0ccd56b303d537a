// The ASCII grid reader on any file, and map loading of a grid.
//
// Checked: a grid that is read has positive sizes that an int can count, and written
// again it reads back as the same cells; map loading refuses (status 1) exactly the files
// the reader refuses and otherwise takes the reader's cells and corner.
#include <climits>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "image_writers.h"
#include "formats/ascii_grid.h"
#include "raster/map.h"
#include "core/answers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string base = scratch_dir() + "/map";
    write_file(base + ".asc", data, size);

    AsciiGrid g;
    int lines_seen = 0;
    const Status e = read_ascii_grid(base + ".asc", g, [&](int i, int rows) {
        check(i == lines_seen && i < rows);
        ++lines_seen;
        return true;
    });
    if (e.ok()) {
        check(g.nb_col > 0 && g.nb_lig > 0 && g.cells);
        check(static_cast<long long>(g.nb_col) * g.nb_lig <= INT_MAX);
        check(lines_seen == g.nb_lig);

        // Written again and read back: the same cells.
        const std::string again = scratch_dir() + "/again";
        check(write_ascii_grid(again, g.cells.get(), g.nb_lig, g.nb_col, g.X_min, g.Y_min,
                               g.dpix_size));
        AsciiGrid back;
        check(read_ascii_grid(again + ".asc", back).ok());
        check(back.nb_col == g.nb_col && back.nb_lig == g.nb_lig && back.has_nodata);
        for (int i = 0; i < g.nb_lig; ++i)
            for (int j = 0; j < g.nb_col; ++j) check(back.cells[i][j] == g.cells[i][j]);
    } else {
        check(!g.cells);
    }

    RunAnswers run;
    run.format = kAscii;
    run.nom_lect = base;
    LoadedMap map;
    Inventory inv;
    const int status = load_map(run, "", map, inv);
    check(status == (e.ok() ? 0 : 1));
    if (!e.ok()) return 0;
    check(map.nb_col == g.nb_col && map.nb_lig == g.nb_lig && map.UTM_coord);
    check(map.X_min == g.X_min && map.Y_min == g.Y_min && map.dpix_size == g.dpix_size);
    // The inventory taken as the rows streamed by counts the cells the whole reader read.
    long long counts[256] = {};
    for (int i = 0; i < g.nb_lig; ++i)
        for (int j = 0; j < g.nb_col; ++j) ++counts[g.cells[i][j]];
    for (int c = 0; c < 256; ++c) check(inv.hist_explor[c] == counts[c]);
    return 0;
}
