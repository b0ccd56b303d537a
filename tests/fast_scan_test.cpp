// The fast scans against the reference scans: on every map and window below, both
// must leave the same two result matrices, byte for byte, and report the same rows in
// the same order, whatever the number of worker threads.
#include "analysis/fast_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/kernels/kernels.h"
#include "analysis/scans.h"
#include "scan_fixture.h"
#include "window/geometry.h"

namespace {

// Worker counts tried on every case: one thread, as many as rows allow, and odd counts
// that leave the rows unevenly shared.
const int kThreadCounts[] = {1, 2, 3, 8};

// A map of patches: each pixel takes the code of the nearest of `seeds` random points
// (city-block distance), the codes drawn among `classes` codes; then a share `noise` of
// the pixels gets any code of the palette and a share `holes` gets code 255.
TestMap clustered_map(std::mt19937& rng, int nb_lig, int nb_col, int classes, int seeds,
                      double noise = 0.0, double holes = 0.0) {
    std::vector<int> palette(255);
    std::iota(palette.begin(), palette.end(), 0);
    std::shuffle(palette.begin(), palette.end(), rng);
    palette.resize(static_cast<std::size_t>(classes));
    std::uniform_int_distribution<int> row(0, nb_lig - 1), col(0, nb_col - 1);
    std::uniform_int_distribution<std::size_t> pick(0, palette.size() - 1);
    struct Seed {
        int i, j, code;
    };
    std::vector<Seed> s;
    for (int n = 0; n < seeds; ++n) s.push_back({row(rng), col(rng), palette[pick(rng)]});
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<int> codes(static_cast<std::size_t>(nb_lig) * nb_col);
    for (int i = 0; i < nb_lig; ++i) {
        for (int j = 0; j < nb_col; ++j) {
            int best = 0, best_d = 1 << 30;
            for (int n = 0; n < seeds; ++n) {
                const int d = std::abs(s[n].i - i) + std::abs(s[n].j - j);
                if (d < best_d) best_d = d, best = n;
            }
            int c = s[best].code;
            if (u(rng) < noise) c = palette[pick(rng)];
            if (u(rng) < holes) c = 255;
            codes[static_cast<std::size_t>(i) * nb_col + j] = c;
        }
    }
    return make_map(nb_lig, nb_col, codes);
}

// A result grid of the map's size holding `value` everywhere but a few cells that
// already hold values, which no scan may overwrite.
ByteGrid pre_filled_grid(const LoadedMap& map, std::mt19937& rng) {
    ByteGrid g = no_value_grid(map);
    std::uniform_int_distribution<int> row(0, map.nb_lig - 1), col(0, map.nb_col - 1);
    for (int n = 0; n < (map.nb_lig * map.nb_col) / 10; ++n)
        g[row(rng)][col(rng)] = static_cast<unsigned char>(n % 200);
    return g;
}

struct ScanResult {
    std::vector<int> div, homo, rows;
};

// The ways of running a fast scan that every case goes through.
struct FastRun {
    int threads;
    WindowMethod method;
    std::string target;  // instruction set, "" for the best
    bool fresh;          // grids of garbage, every pixel written, histogram counted
    int strip;           // centre columns per band of columns, 0 for automatic
};

std::string describe(const FastRun& f) {
    const char* method = f.method == WindowMethod::runs ? "runs" : f.method == WindowMethod::counts ? "counts" : "best";
    return std::to_string(f.threads) + " threads, " + method + ", target " +
           (f.target.empty() ? kernels::current_target() : f.target) + (f.fresh ? ", fresh" : "") +
           (f.strip ? ", strip " + std::to_string(f.strip) : "");
}

// Sliding by runs on one and several threads; item counts on every thread count, in
// bands of columns, and on every instruction set the processor runs when `targets`; and
// fresh grids, whose histogram must count the diversity values of the reference.
std::vector<FastRun> fast_runs(bool targets, bool pre_fill) {
    std::vector<FastRun> runs;
    for (int threads : {1, 3}) runs.push_back({threads, WindowMethod::runs, "", false, 0});
    for (int threads : kThreadCounts) runs.push_back({threads, WindowMethod::counts, "", false, 0});
    runs.push_back({2, WindowMethod::counts, "", false, 7});
    if (!pre_fill) runs.push_back({2, WindowMethod::best, "", true, 0});
    if (targets) {
        const std::vector<std::string> all = kernels::available_targets();
        for (std::size_t k = 1; k < all.size(); ++k) {
            runs.push_back({3, WindowMethod::counts, all[k], false, 0});
            runs.push_back({1, WindowMethod::counts, all[k], false, 5});
        }
    }
    return runs;
}

// Runs the reference scan, then the fast scan in every way above, and requires the same
// matrices and the same rows reported. With `pre_fill`, the grids start with some cells
// already holding a value (the same cells for every run).
void expect_same(TestMap& t, int treat_type, int win_shape, int R, const Window& win,
                 bool pre_fill = false, bool targets = false) {
    const auto run = [&](const FastRun* f) {
        std::mt19937 fill_rng(99);
        ByteGrid div = pre_fill ? pre_filled_grid(t.map, fill_rng) : no_value_grid(t.map);
        ByteGrid homo = pre_fill ? pre_filled_grid(t.map, fill_rng) : no_value_grid(t.map);
        ScanResult r;
        const RowProgress record = [&](int row) { r.rows.push_back(row); };
        std::int64_t histo[256] = {};
        if (f == nullptr) {
            reference_scan(treat_type, win_shape, t.map, t.inv, win, R, div, homo, record);
        } else {
            EXPECT_TRUE(kernels::use_target(f->target));
            if (f->fresh) {
                fill_grid(div, t.map.nb_lig, t.map.nb_col, 0x5A);
                fill_grid(homo, t.map.nb_lig, t.map.nb_col, 0xA5);
            }
            ScanOptions o;
            o.threads = f->threads;
            o.method = f->method;
            o.fresh = f->fresh;
            o.histogram = f->fresh ? histo : nullptr;
            o.strip = f->strip;
            fast_scan(treat_type, win_shape, t.map, t.inv, win, R, div, homo, record, o);
            kernels::use_target("");
        }
        r.div = flat(div, t.map.nb_lig, t.map.nb_col);
        r.homo = flat(homo, t.map.nb_lig, t.map.nb_col);
        if (f != nullptr && f->fresh) {
            std::int64_t expected[256] = {};
            for (int v : r.div) ++expected[v];
            // Below 255: the pixels of no value are not counted.
            EXPECT_TRUE(std::equal(histo, histo + 255, expected)) << "histogram";
        }
        return r;
    };
    const ScanResult ref = run(nullptr);
    for (const FastRun& f : fast_runs(targets, pre_fill)) {
        SCOPED_TRACE("map " + std::to_string(t.map.nb_lig) + " x " + std::to_string(t.map.nb_col) +
                     ", treatment " + std::to_string(treat_type) + ", shape " +
                     std::to_string(win_shape) + ", R " + std::to_string(R) + ", " + describe(f));
        const ScanResult fast = run(&f);
        EXPECT_EQ(fast.div, ref.div);
        EXPECT_EQ(fast.homo, ref.homo);
        EXPECT_EQ(fast.rows, ref.rows);
    }
}

// The three scans of rank R.
void expect_same_all(TestMap& t, int R, bool targets = false) {
    expect_same(t, kMesh, kSquare, R, window_for(kMesh, kSquare, R), false, targets);
    expect_same(t, kWindow, kSquare, R, window_for(kWindow, kSquare, R), false, targets);
    expect_same(t, kWindow, kCircle, R, window_for(kWindow, kCircle, R), false, targets);
}

TEST(FastScan, RandomMapsAllRanksUpToTen) {
    std::mt19937 rng(1);
    const int sizes[][2] = {{23, 31}, {30, 17}, {26, 26}};
    const int palettes[] = {1, 3, 12, 40};
    int n = 0;
    for (const auto& sz : sizes) {
        for (int palette : palettes) {
            TestMap t = random_map(rng, sz[0], sz[1], palette, (n++ % 2) == 0);
            for (int R = 0; R <= 10; ++R) expect_same_all(t, R);
        }
    }
}

TEST(FastScan, ClusteredMapsRanksUpToForty) {
    std::mt19937 rng(2);
    {
        TestMap t = clustered_map(rng, 64, 71, 20, 25, 0.02, 0.01);
        for (int R : {0, 1, 2, 3, 5, 8, 11, 15, 16, 17, 20, 25}) expect_same_all(t, R);
    }
    {
        // Large ranks, whose circles lack rim pixels.
        TestMap t = clustered_map(rng, 92, 97, 12, 18, 0.01, 0.02);
        for (int R : {30, 36, 40, 44}) expect_same_all(t, R);
    }
}

TEST(FastScan, MapsSmallerOrNarrowerThanTheWindow) {
    std::mt19937 rng(3);
    // Smaller than the window both ways: nothing evaluated, nothing reported.
    TestMap small = clustered_map(rng, 10, 12, 5, 4);
    for (int R : {5, 6, 9, 40}) expect_same_all(small, R);
    // Narrower than the window but tall enough: every centre row is still reported.
    TestMap narrow = clustered_map(rng, 45, 6, 5, 4);
    for (int R : {3, 4, 10, 22}) expect_same_all(narrow, R);
    // Wider than tall.
    TestMap wide = clustered_map(rng, 6, 45, 5, 4);
    for (int R : {2, 3, 4}) expect_same_all(wide, R);
}

TEST(FastScan, OneRowAndOneColumnMaps) {
    std::mt19937 rng(4);
    TestMap row = random_map(rng, 1, 50, 4, true);
    TestMap col = random_map(rng, 50, 1, 4, true);
    TestMap pixel = random_map(rng, 1, 1, 1, false);
    for (int R : {0, 1, 2, 7}) {
        expect_same_all(row, R);
        expect_same_all(col, R);
        expect_same_all(pixel, R);
    }
}

TEST(FastScan, MostlyNoClassAndOnlyNoClass) {
    std::mt19937 rng(5);
    TestMap mostly = clustered_map(rng, 40, 44, 6, 10, 0.05, 0.9);
    for (int R : {0, 1, 3, 6, 12}) expect_same_all(mostly, R);
    TestMap only = make_map(20, 21, std::vector<int>(20 * 21, 255));
    for (int R : {0, 2, 5}) expect_same_all(only, R);
    // One single item among no-class pixels.
    std::vector<int> codes(25 * 25, 255);
    codes[12 * 25 + 12] = 200;
    TestMap single = make_map(25, 25, codes);
    for (int R : {0, 1, 4, 9}) expect_same_all(single, R);
}

TEST(FastScan, AllTwoHundredFiftyFiveItems) {
    // Codes 0 to 254 fill a 16 x 16 block (with one pixel of no class) in the middle of
    // a random map: the windows that cover the block hold every item and store 255.
    std::mt19937 rng(6);
    std::vector<int> block(256);
    std::iota(block.begin(), block.end(), 0);
    std::shuffle(block.begin(), block.end(), rng);
    std::uniform_int_distribution<int> any(0, 254);
    std::vector<int> codes(34 * 36);
    for (int& c : codes) c = any(rng);
    for (int i = 0; i < 16; ++i)
        for (int j = 0; j < 16; ++j)
            codes[static_cast<std::size_t>(i + 9) * 36 + j + 10] = block[i * 16 + j];
    TestMap t = make_map(34, 36, codes);
    ASSERT_EQ(t.inv.num_item, 255);
    for (int R : {7, 8, 9, 12, 16}) expect_same_all(t, R);

    // The square of rank 8 centred on the block does reach 255 items.
    Window win = window_for(kWindow, kSquare, 8);
    ByteGrid div = no_value_grid(t.map), homo = no_value_grid(t.map);
    fast_square_scan(t.map, t.inv, win, 8, div, homo, {}, 2);
    EXPECT_EQ(div[17][18], 255);
}

TEST(FastScan, MasksWithSeveralRunsPerRow) {
    // Masks that are no disc: a ring, a checkerboard, a mask with cells that hold 2 (which
    // count for nothing) and an empty mask. The surface is the count of cells holding 1.
    std::mt19937 rng(7);
    TestMap t = clustered_map(rng, 40, 47, 9, 14, 0.1, 0.05);
    for (int R : {1, 2, 4, 7}) {
        const int nb = 2 * R + 1;
        for (int kind = 0; kind < 4; ++kind) {
            Window win;
            win.nb = nb;
            win.tab_rad = ByteGrid(ucmatrice(nb, nb), nb);
            int count = 0;
            for (int i = 0; i < nb; ++i) {
                for (int j = 0; j < nb; ++j) {
                    const int p = i - R, q = j - R, d2 = p * p + q * q;
                    unsigned char v = 0;
                    if (kind == 0) v = d2 <= R * R && d2 >= (R / 2) * (R / 2) ? 1 : 0;
                    if (kind == 1) v = (i + j) % 2 == 0 ? 1 : 0;
                    if (kind == 2) v = static_cast<unsigned char>((i * 7 + j * 3) % 3);
                    win.tab_rad[i][j] = v;
                    count += v == 1;
                }
            }
            win.surf_tot = count;
            win.num_pix_circ = count;
            SCOPED_TRACE("mask kind " + std::to_string(kind));
            expect_same(t, kWindow, kCircle, R, win);
        }
    }
}

TEST(FastScan, GridsThatAlreadyHoldValuesAndOddWindows) {
    std::mt19937 rng(8);
    TestMap t = clustered_map(rng, 33, 38, 7, 9, 0.05, 0.05);
    for (int R : {0, 1, 3, 5}) {
        expect_same(t, kMesh, kSquare, R, window_for(kMesh, kSquare, R), true);
        expect_same(t, kWindow, kSquare, R, window_for(kWindow, kSquare, R), true);
        expect_same(t, kWindow, kCircle, R, window_for(kWindow, kCircle, R), true);
    }
    // A surface that is not the window's pixel count is still the denominator, and a
    // mask that does not fit the rank evaluates nothing.
    Window odd = window_for(kWindow, kSquare, 3);
    odd.surf_tot = 23;
    expect_same(t, kWindow, kSquare, 3, odd);
    odd.surf_tot = 0;
    expect_same(t, kWindow, kSquare, 3, odd);
    Window circ = window_for(kWindow, kCircle, 3);
    expect_same(t, kWindow, kCircle, 4, circ);
    Window none;
    expect_same(t, kWindow, kCircle, 2, none);
    expect_same(t, kMesh, kSquare, 2, none);
}

TEST(FastScan, AProgressThatThrowsStopsTheScanCleanly) {
    std::mt19937 rng(9);
    TestMap t = clustered_map(rng, 80, 60, 8, 12);
    Window win = window_for(kWindow, kCircle, 3);
    ByteGrid div = no_value_grid(t.map), homo = no_value_grid(t.map);
    std::vector<int> rows;
    const RowProgress stop_at_ten = [&](int row) {
        if (rows.size() == 10) throw std::runtime_error("stop");
        rows.push_back(row);
    };
    EXPECT_THROW(fast_scan(kWindow, kCircle, t.map, t.inv, win, 3, div, homo, stop_at_ten, 4),
                 std::runtime_error);
    std::vector<int> first(10);
    std::iota(first.begin(), first.end(), 3);
    EXPECT_EQ(rows, first);
}

}  // namespace

namespace {

TEST(FastScan, EveryInstructionSetGivesTheSameBytes) {
    std::mt19937 rng(10);
    ASSERT_FALSE(kernels::available_targets().empty());
    for (int palette : {2, 19, 70}) {
        TestMap t = random_map(rng, 37, 83, palette, palette == 19);
        for (int R : {0, 1, 4, 9}) expect_same_all(t, R, true);
    }
    TestMap c = clustered_map(rng, 70, 101, 20, 25, 0.02, 0.01);
    for (int R : {2, 7, 16, 30}) expect_same_all(c, R, true);
}

TEST(FastScan, TwoHundredFiftyFourClassesAndRanksUpToTwoHundred) {
    // Wide counts (windows of more than 65535 pixels) and the circles that exceed what the
    // vertical slide counts, on maps a few windows wide: the reference tallies each window
    // of up to 160801 pixels afresh.
    std::mt19937 rng(11);
    TestMap many = clustered_map(rng, 60, 75, 254, 400, 0.3, 0.01);
    ASSERT_GE(many.inv.num_item, 250);
    for (int R : {3, 20}) expect_same_all(many, R, true);
    TestMap wide = clustered_map(rng, 263, 300, 30, 60, 0.05, 0.01);
    for (int R : {128, 130}) {
        expect_same(wide, kWindow, kSquare, R, window_for(kWindow, kSquare, R), false, true);
        expect_same(wide, kWindow, kCircle, R, window_for(kWindow, kCircle, R));
    }
    TestMap huge = clustered_map(rng, 403, 405, 254, 300, 0.5, 0.01);
    expect_same(huge, kWindow, kSquare, 200, window_for(kWindow, kSquare, 200), false, true);
    expect_same(huge, kWindow, kCircle, 200, window_for(kWindow, kCircle, 200));
}

}  // namespace
