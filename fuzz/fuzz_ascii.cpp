// The ASCII grid row reader the program runs, open_ascii_source (AsciiGridReader), on any
// file, and map loading of a grid.
//
// Checked: a grid that opens has positive sizes that an int can count; its rows read one
// at a time, then again after restart() all in one band, are the same, or fail for the
// same reason; written again it reads back as the same cells; map loading refuses
// (status 1) exactly the files whose rows cannot all be read and otherwise takes the
// reader's sizes, corner and cells.
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/answers.h"
#include "formats/ascii_grid.h"
#include "fuzz_support.h"
#include "image_writers.h"
#include "raster/grid.h"
#include "raster/map.h"

namespace {

struct Rows {
    ByteGrid m;  // every row, when all could be read
    engine::MapInfo info;
    bool opened = false;
    Status st;
};

// Every row of `name`, one at a time, then (when `twice`) again in one band after a
// restart, which must read the same.
Rows read_all(const std::string& name, bool twice) {
    Rows r;
    const auto src = formats::open_ascii_source(name, r.st, INT_MAX);
    if (!src) return r;
    r.opened = true;
    r.info = src->info();
    const int nb_col = r.info.nb_col, nb_lig = r.info.nb_lig;
    check(nb_col > 0 && nb_lig > 0);
    check(static_cast<long long>(nb_col) * nb_lig <= INT_MAX);
    check(!src->random_access());
    ByteGrid m(ucmatrice(nb_col, nb_lig), nb_lig);
    check(static_cast<bool>(m));
    for (int i = 0; i < nb_lig && r.st.ok(); ++i) r.st = src->read(i, 1, m.get() + i);
    if (twice) {
        check(src->restart().ok());
        ByteGrid again(ucmatrice(nb_col, nb_lig), nb_lig);
        check(static_cast<bool>(again));
        const Status st = src->read(0, nb_lig, again.get());
        check(st.ok() == r.st.ok() && st.reason == r.st.reason);
        for (int i = 0; st.ok() && i < nb_lig; ++i)
            check(std::memcmp(m[i], again[i], static_cast<std::size_t>(nb_col)) == 0);
    }
    if (r.st.ok()) r.m = std::move(m);
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string base = scratch_dir() + "/map";
    write_file(base + ".asc", data, size);

    const Rows g = read_all(base + ".asc", true);
    const int nb_col = g.info.nb_col, nb_lig = g.info.nb_lig;
    if (g.m) {
        // Written again and read back: the same cells.
        const std::string again = scratch_dir() + "/again";
        check(write_ascii_grid(again, g.m.get(), nb_lig, nb_col, g.info.X_min, g.info.Y_min,
                               g.info.dpix_size));
        const Rows back = read_all(again + ".asc", false);
        check(back.m && back.info.nb_col == nb_col && back.info.nb_lig == nb_lig &&
              back.info.has_nodata);
        for (int i = 0; i < nb_lig; ++i)
            check(std::memcmp(back.m[i], g.m[i], static_cast<std::size_t>(nb_col)) == 0);
    } else {
        check(!g.st.ok());
    }

    RunAnswers run;
    run.format = kAscii;
    run.nom_lect = base;
    LoadedMap map;
    Inventory inv;
    const int status = load_map(run, "", map, inv);
    check(status == (g.m ? 0 : 1));
    if (!g.m) return 0;
    check(map.nb_col == nb_col && map.nb_lig == nb_lig && map.UTM_coord);
    check(map.X_min == g.info.X_min && map.Y_min == g.info.Y_min &&
          map.dpix_size == g.info.dpix_size);
    // The inventory taken as the rows streamed by counts the cells read here.
    long long counts[256] = {};
    for (int i = 0; i < nb_lig; ++i)
        for (int j = 0; j < nb_col; ++j) ++counts[g.m[i][j]];
    for (int c = 0; c < 256; ++c) check(inv.hist_explor[c] == counts[c]);
    return 0;
}
