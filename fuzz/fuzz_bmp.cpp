// The bitmap row reader the program runs, open_bitmap_source, on any file, and map
// loading of a bitmap.
//
// Checked: a bitmap that opens has positive sizes that an int can count; its rows read one
// at a time and all in one band are the same, or fail for the same reason; written again
// with SauveBMP (8 bits, grey ramp) it reads back as the same rows; map loading takes
// exactly the bitmaps whose every row reads, counting the same pixels, and refuses
// (status 1) the others.
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/answers.h"
#include "formats/bitmap.h"
#include "fuzz_support.h"
#include "image_writers.h"
#include "raster/grid.h"
#include "raster/map.h"

namespace {

struct Rows {
    ByteGrid m;  // every row, when all could be read
    int nb_col = 0, nb_lig = 0;
    bool opened = false;
    Status st;
};

Rows read_all(const std::string& name, bool one_by_one) {
    Rows r;
    const auto src = formats::open_bitmap_source(name, r.st, INT_MAX);
    if (!src) return r;
    r.opened = true;
    r.nb_col = src->info().nb_col;
    r.nb_lig = src->info().nb_lig;
    check(r.nb_col > 0 && r.nb_lig > 0);
    check(static_cast<long long>(r.nb_col) * r.nb_lig <= INT_MAX);
    ByteGrid m(ucmatrice(r.nb_col, r.nb_lig), r.nb_lig);
    check(static_cast<bool>(m));
    if (one_by_one) {
        for (int i = 0; i < r.nb_lig && r.st.ok(); ++i) r.st = src->read(i, 1, m.get() + i);
    } else {
        r.st = src->read(0, r.nb_lig, m.get());
    }
    if (r.st.ok()) r.m = std::move(m);
    return r;
}

bool same_rows(const Rows& a, const Rows& b) {
    if (a.nb_col != b.nb_col || a.nb_lig != b.nb_lig || !a.m || !b.m) return false;
    for (int i = 0; i < a.nb_lig; ++i)
        if (std::memcmp(a.m[i], b.m[i], static_cast<std::size_t>(a.nb_col)) != 0) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name = scratch_dir() + "/map.bmp";
    write_file(name, data, size);

    const Rows rows = read_all(name, true);
    const Rows band = read_all(name, false);
    check(rows.opened == band.opened);
    check(rows.st.ok() == band.st.ok() && rows.st.reason == band.st.reason);
    if (rows.m) {
        check(same_rows(rows, band));
        // Written again and read back: the same rows.
        const std::string again = scratch_dir() + "/again.bmp";
        check(SauveBMP(again.c_str(), rows.m.get(), rows.nb_col, rows.nb_lig, 0, nullptr) == 0);
        check(same_rows(rows, read_all(again, false)));
    } else {
        check(!rows.st.ok());
    }

    // Map loading; the pixel size is the only question.
    RunAnswers run;
    run.format = kBitmap;
    run.nom_lect = scratch_dir() + "/map";
    LoadedMap map;
    Inventory inv;
    const int status = load_map(run, "10\n", map, inv);
    check(status == (rows.m ? 0 : 1));
    if (!rows.m) return 0;
    check(map.nb_col == rows.nb_col && map.nb_lig == rows.nb_lig && map.dpix_size == 10.0);
    // The inventory taken as the rows streamed by counts the pixels read here.
    long long counts[256] = {};
    for (int i = 0; i < rows.nb_lig; ++i)
        for (int j = 0; j < rows.nb_col; ++j) ++counts[rows.m[i][j]];
    for (int c = 0; c < 256; ++c) check(inv.hist_explor[c] == counts[c]);
    return 0;
}
