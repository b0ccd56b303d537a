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
#include "analysis/mesh.h"
#include "analysis/scans.h"
#include "app/run.h"
#include "core/answers.h"
#include "engine/bands.h"
#include "formats/ascii_grid.h"
#include "formats/bitmap.h"
#include "formats/gdal_raster.h"
#include "formats/raw.h"
#include "image_writers.h"
#include "raster/inventory.h"
#include "app/held.h"
#include "raster_fixtures.h"
#include "scan_fixture.h"
#include "text/catalogue.h"
#include "text/status_text.h"
#include "window/geometry.h"

#if defined(__unix__)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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
        const Progress record = [&](int row, int rows) {
            EXPECT_EQ(rows, t.map.nb_lig);
            r.rows.push_back(row);
            return true;
        };
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
            for (int R = 0; R <= 10; ++R)
                if (tf::swept(R + n)) expect_same_all(t, R);
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
    fast_scan(kWindow, kSquare, t.map, t.inv, win, 8, div, homo, {}, 2);
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
    const Progress stop_at_ten = [&](int row, int) {
        if (rows.size() == 10) throw std::runtime_error("stop");
        rows.push_back(row);
        return true;
    };
    EXPECT_THROW(fast_scan(kWindow, kCircle, t.map, t.inv, win, 3, div, homo, stop_at_ten, 4),
                 std::runtime_error);
    std::vector<int> first(10);
    std::iota(first.begin(), first.end(), 3);
    EXPECT_EQ(rows, first);

    // A progress that answers false is the last one called, on every scan.
    for (const int treat_type : {kMesh, kWindow})
        for (const int threads : {1, 4}) {
            rows.clear();
            const Progress cancel_at_five = [&](int row, int) {
                rows.push_back(row);
                return rows.size() < 5;
            };
            const Window square = window_for(treat_type, kSquare, 3);
            fast_scan(treat_type, kSquare, t.map, t.inv, square, 3, div, homo, cancel_at_five,
                      threads);
            EXPECT_EQ(rows.size(), 5u);
        }
}

// The band engine against the whole-map path: the map written in one format, read back
// a band at a time, treated and streamed to result files of each format, must give the
// files the whole-map writers give, byte for byte, with the same histogram, inventory and
// rows reported, whatever the height of the bands.

const char* const kExt[] = {".raw", ".bmp", ".asc"};

// Writes a grid under `base` with the whole-image writer of format `form`.
bool write_image(int form, const std::string& base, ByteMatrix m, int nb_lig, int nb_col) {
    std::string failed;
    switch (form) {
        case kRaster:
            return write_raw(base, m, nb_lig, nb_col, 30.0, failed);
        case kBitmap:
            return SauveBMP((base + ".bmp").c_str(), m, nb_col, nb_lig, 0, nullptr) == 0;
        default:
            return write_ascii_grid(base, m, nb_lig, nb_col, 5e5, 4e6, 30.0);
    }
}

// Writes the map under `base` in format `form` and gives the name of its pixel file.
std::string write_map(const LoadedMap& map, int form, const std::string& base) {
    EXPECT_TRUE(write_image(form, base, map.tab_in.get(), map.nb_lig, map.nb_col));
    return base + kExt[form];
}

std::unique_ptr<engine::RowSource> open_map(int form, const std::string& name, int nb_lig,
                                            int nb_col) {
    Status st;
    std::unique_ptr<engine::RowSource> src;
    if (form == kRaster) src = formats::open_raw_source(name, nb_lig, nb_col, 30.0, st);
    if (form == kBitmap) src = formats::open_bitmap_source(name, st);
    if (form == kAscii) src = formats::open_ascii_source(name, st);
    EXPECT_TRUE(st.ok()) << name;
    return src;
}

// The whole-map path: scan, histogram, diversity image (with the mesh lines when asked),
// both images written under `base`.
struct WholeRun {
    Results res;
    std::vector<int> rows;
};
WholeRun whole_map_run(TestMap& t, const Window& win, const engine::BandJob& job, int form,
                       const std::string& base) {
    WholeRun w;
    const LoadedMap& map = t.map;
    ByteGrid div = no_value_grid(map), homo = no_value_grid(map);
    fast_scan(job.treat_type, job.win_shape, map, t.inv, win, job.range_win, div, homo,
              [&](int row, int) {
                  w.rows.push_back(row);
                  return true;
              },
              2);
    diversity_histogram(div, map.nb_lig, map.nb_col, w.res);
    if (job.draw_mesh) draw_mesh(div.get(), map.nb_lig, map.nb_col, job.range_win);
    for (ByteGrid* g : {&div, &homo}) {
        const std::string b = base + (g == &div ? "_diversity" : "_homog");
        EXPECT_TRUE(write_image(form, b, g->get(), map.nb_lig, map.nb_col));
    }
    return w;
}

// The names of a result image's files in a format.
std::vector<std::string> result_files(const std::string& base, int form) {
    if (form == kRaster) return {base + ".txt", base + ".raw"};
    return {base + kExt[form]};
}

// Runs the band engine on the map file `name` (format `in`) with bands of h rows, writing
// under `base` in format `out`, and checks every file, the histogram and the rows against
// the whole-map run written under `whole`.
void expect_banded_same(const std::string& name, int in, TestMap& t, const Window& win,
                        const engine::BandJob& job, int h, int out, const std::string& base,
                        const std::string& whole, const WholeRun& ref) {
    SCOPED_TRACE("in " + std::to_string(in) + " out " + std::to_string(out) + " h " +
                 std::to_string(h));
    auto src = open_map(in, name, t.map.nb_lig, t.map.nb_col);
    ASSERT_TRUE(src);
    const engine::BandPlan plan = engine::plan_bands_of(t.map.nb_lig, job, h);
    Inventory inv;
    ASSERT_TRUE(engine::take_inventory(*src, plan, inv).ok());
    EXPECT_EQ(inv.num_item, t.inv.num_item);
    for (int k = 1; k <= inv.num_item; ++k) EXPECT_EQ(inv.number_item[k], t.inv.number_item[k]);
    ASSERT_TRUE(src->restart().ok());

    engine::MapInfo info = src->info();
    info.dpix_size = 30.0;
    info.X_min = 5e5;
    info.Y_min = 4e6;
    Status st;
    auto div = formats::format_of(out).make_sink(base + "_diversity", info, st);
    ASSERT_TRUE(st.ok());
    auto homo = formats::format_of(out).make_sink(base + "_homog", info, st);
    ASSERT_TRUE(st.ok());
    engine::DiversityTotals totals;
    std::vector<int> rows;
    ASSERT_TRUE(engine::treat_in_bands(*src, inv, win, job, plan, *div, *homo, totals,
                                       [&](int row, int) {
                                           rows.push_back(row);
                                           return true;
                                       })
                    .ok());
    ASSERT_TRUE(div->commit().ok());
    ASSERT_TRUE(homo->commit().ok());
    EXPECT_EQ(div->name(), base + "_diversity" + kExt[out]);

    EXPECT_EQ(rows, ref.rows);
    EXPECT_EQ(totals.max_histo, ref.res.max_histo);
    for (int v = 0; v < 260; ++v) EXPECT_EQ(totals.histo_div[v], ref.res.histo_div[v]) << v;
    for (const char* which : {"_diversity", "_homog"}) {
        const auto got = result_files(base + which, out);
        const auto want = result_files(whole + which, out);
        for (std::size_t k = 0; k < got.size(); ++k) {
            EXPECT_EQ(rt::slurp(got[k]), rt::slurp(want[k])) << got[k];
            std::filesystem::remove(got[k]);
        }
    }
}

TEST(BandEngine, ResultFilesEqualTheWholeMapPathForEveryBandHeight) {
    rt::TempDir dir;
    std::mt19937 rng(12);
    // 37 rows (prime, so no band height but 1 and 37 divides it), 29 columns (bitmap rows
    // padded), patches with no-class holes.
    TestMap t = clustered_map(rng, 37, 29, 9, 14, 0.05, 0.05);
    int in = 0;
    for (int R : {0, 1, 3}) {
        for (int treat : {kMesh, kWindow}) {
            for (int shape : {kSquare, kCircle}) {
                if (treat == kMesh && shape == kCircle) continue;
                for (bool mesh_lines : {false, true}) {
                    engine::BandJob job;
                    job.treat_type = treat;
                    job.win_shape = shape;
                    job.range_win = R;
                    job.draw_mesh = mesh_lines;
                    job.threads = 2;
                    const Window win = window_for(treat, shape, R);
                    SCOPED_TRACE("R " + std::to_string(R) + " treat " + std::to_string(treat) +
                                 " shape " + std::to_string(shape) + " lines " +
                                 std::to_string(mesh_lines));
                    for (int out : {kRaster, kBitmap, kAscii}) {
                        const WholeRun ref = whole_map_run(t, win, job, out, dir / "whole");
                        // The input format turns with each case.
                        in = (in + 1) % 3;
                        const std::string name = write_map(t.map, in, dir / "map");
                        int sweep = in;
                        for (int h : {1, std::max(R, 1), 2 * R + 1, 7, 10, 37, 1000})
                            if (tf::swept(sweep++))
                                expect_banded_same(name, in, t, win, job, h, out, dir / "band",
                                                   dir / "whole", ref);
                    }
                }
            }
        }
    }
}

TEST(BandEngine, SourcesReadEveryBitmapFormAndRefuseWhatTheLoaderRefuses) {
    rt::TempDir dir;
    std::mt19937 rng(13);
    TestMap t = clustered_map(rng, 11, 6, 5, 6, 0.1, 0.1);
    const ByteGrid& g = t.map.tab_in;
    auto rows_of = [&](engine::RowSource& src, int y, int n) {
        std::vector<std::vector<unsigned char>> buf(n, std::vector<unsigned char>(6));
        std::vector<unsigned char*> ptr;
        for (auto& r : buf) ptr.push_back(r.data());
        EXPECT_TRUE(src.read(y, n, ptr.data()).ok());
        std::vector<int> v;
        for (auto& r : buf) v.insert(v.end(), r.begin(), r.end());
        return v;
    };
    std::vector<int> want;
    for (int i = 3; i < 8; ++i) want.insert(want.end(), g[i], g[i] + 6);

    // 24-bit grey, bottom-up and top-down (negative height).
    ByteGrid grey(ucmatrice(18, 11), 11);
    for (int i = 0; i < 11; ++i)
        for (int j = 0; j < 18; ++j) grey[i][j] = g[i][j / 3];
    ASSERT_EQ(SauveBMP((dir / "grey.bmp").c_str(), grey.get(), 6, 11, 2, nullptr), 0);
    Status st;
    auto src = formats::open_bitmap_source(dir / "grey.bmp", st);
    ASSERT_TRUE(src);
    EXPECT_EQ(rows_of(*src, 3, 5), want);
    std::string bytes = rt::slurp(dir / "grey.bmp");
    std::string top_down = bytes.substr(0, 54);
    const std::uint32_t neg = static_cast<std::uint32_t>(-11);
    for (int k = 0; k < 4; ++k) top_down[22 + k] = static_cast<char>((neg >> (8 * k)) & 0xFF);
    for (int i = 10; i >= 0; --i) top_down += bytes.substr(54 + static_cast<std::size_t>(i) * 20, 20);
    rt::spit(dir / "top.bmp", top_down);
    src = formats::open_bitmap_source(dir / "top.bmp", st);
    ASSERT_TRUE(src);
    EXPECT_EQ(rows_of(*src, 3, 5), want);

    // A coloured pixel is found when its row is read.
    bytes[54 + 20 * 2 + 4] ^= 1;  // row 8 from the top, column 1, green
    rt::spit(dir / "colour.bmp", bytes);
    src = formats::open_bitmap_source(dir / "colour.bmp", st);
    ASSERT_TRUE(src);
    Inventory inv;
    EXPECT_EQ(rt::said(engine::take_inventory(*src, engine::plan_bands_of(11, {}, 4), inv)),
              &txt::reason_colour);

    // Headers the row reader refuses as the whole reader does: a compression code other
    // than 0 (bit fields, run lengths), planes other than 1, an information header under
    // 40 bytes.
    struct Bad {
        int at;
        std::uint32_t value;
        const Text* why;
    };
    for (const Bad& b :
         {Bad{30, 3, &txt::reason_compressed}, Bad{30, 2, &txt::reason_compressed},
          Bad{26, 2, &txt::reason_bitmap_form}, Bad{14, 12, &txt::reason_bitmap_form}}) {
        std::string odd = rt::slurp(dir / "grey.bmp");
        for (int k = 0; k < (b.at == 26 ? 2 : 4); ++k)
            odd[static_cast<std::size_t>(b.at + k)] = static_cast<char>((b.value >> (8 * k)) & 0xFF);
        rt::spit(dir / "odd.bmp", odd);
        EXPECT_FALSE(formats::open_bitmap_source(dir / "odd.bmp", st)) << b.at << " " << b.value;
        EXPECT_EQ(rt::said(st), b.why) << b.at << " " << b.value;
    }

    // A raw file shorter than its header says; an ASCII grid with a cell that is no integer.
    rt::spit(dir / "short.raw", std::string(65, '\1'));
    EXPECT_FALSE(formats::open_raw_source(dir / "short.raw", 11, 6, 30, st));
    EXPECT_EQ(rt::said(st), &txt::reason_raw_short);
    EXPECT_EQ(st.args, (std::vector<StatusValue>{65LL, 66LL}));
    rt::spit(dir / "bad.asc", "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3.5 4\n");
    src = formats::open_ascii_source(dir / "bad.asc", st);
    ASSERT_TRUE(src);
    const Status bad = engine::take_inventory(*src, engine::plan_bands_of(2, {}, 1), inv);
    EXPECT_EQ(rt::said(bad), &txt::reason_not_integer);
    EXPECT_EQ(bad.args, (std::vector<StatusValue>{std::string("3.5")}));
    EXPECT_FALSE(formats::open_ascii_source(dir / "none.asc", st));
    EXPECT_EQ(st.code, Status::Code::Missing);
}

TEST(BandEngine, PlansFitTheBudgetAndAFailedRunLeavesNoResult) {
    engine::BandJob job;
    job.range_win = 5;
    job.threads = 1;
    // A budget that holds every row runs as one band; a small one gives bands whose ring
    // and result rows fit in what is left after the fixed part.
    EXPECT_EQ(engine::plan_bands(1000, 2000, job, 1LL << 34).bands, 1);
    const long long budget = 16LL << 20;
    const engine::BandPlan p = engine::plan_bands(100000, 2000, job, budget);
    EXPECT_GT(p.bands, 1);
    EXPECT_LE(engine::fixed_bytes(2000) + (p.h + 2LL * p.halo) * 2000 * 3, budget);
    job.treat_type = kMesh;
    EXPECT_EQ(engine::plan_bands(100000, 2000, job, budget).h % 11, 0);
    EXPECT_EQ(engine::plan_bands(100000, 2000, job, 1).h, 11);

    // A sink that is never committed leaves nothing, and an earlier file stays as it was.
    rt::TempDir dir;
    rt::spit(dir / "old_diversity.bmp", "earlier");
    engine::MapInfo info;
    info.nb_lig = 3;
    info.nb_col = 3;
    {
        Status st;
        auto sink = formats::format_of(kBitmap).make_sink(dir / "old_diversity", info, st);
        ASSERT_TRUE(st.ok());
        unsigned char row[3] = {1, 2, 3};
        unsigned char* rows[1] = {row};
        ASSERT_TRUE(sink->write(0, 1, rows).ok());
    }
    EXPECT_EQ(rt::slurp(dir / "old_diversity.bmp"), "earlier");
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(dir / "")))
        entries += e.is_regular_file();
    EXPECT_EQ(entries, 1);
}

#if defined(__unix__) && !defined(LANDMOSAIC_SANITIZED)
// A map far larger than the memory the process may take runs through: the address space
// of a child is limited to what it already uses plus a few megabytes, and the map is ten
// times that.
TEST(BandEngine, AMapTenTimesLargerThanTheMemoryLimitRuns) {
    rt::TempDir dir;
    const int nb_lig = 6000, nb_col = 10000;  // 60 MB
    {
        std::ofstream f(dir / "big.raw", std::ios::binary);
        std::vector<char> row(nb_col);
        for (int i = 0; i < nb_lig; ++i) {
            for (int j = 0; j < nb_col; ++j) row[j] = static_cast<char>((i / 40 + j / 50) % 7);
            f.write(row.data(), nb_col);
        }
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        long pages = 0, unused = 0;
        if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%ld %ld", &pages, &unused) != 2) pages = 0;
            std::fclose(f);
        }
        const rlim_t limit = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (12 << 20);
        const rlimit rl{limit, limit};
        if (pages == 0 || setrlimit(RLIMIT_AS, &rl) != 0) _exit(3);
        engine::BandJob job;
        job.range_win = 3;
        job.threads = 1;
        Status st;
        auto src = formats::open_raw_source(dir / "big.raw", nb_lig, nb_col, 10, st);
        if (!src) _exit(4);
        const engine::BandPlan plan = engine::plan_bands(nb_lig, nb_col, job, 6 << 20);
        Inventory inv;
        if (!engine::take_inventory(*src, plan, inv).ok() || inv.num_item != 7) _exit(5);
        const Window win = window_for(kWindow, kSquare, 3);
        auto div = formats::format_of(kRaster).make_sink(dir / "big_diversity", src->info(), st);
        auto homo = formats::format_of(kRaster).make_sink(dir / "big_homog", src->info(), st);
        engine::DiversityTotals totals;
        if (!div || !homo ||
            !engine::treat_in_bands(*src, inv, win, job, plan, *div, *homo, totals).ok() ||
            !div->commit().ok() || !homo->commit().ok())
            _exit(6);
        // Windows of 7 x 7 over stripes 40 and 50 pixels wide hold 1 to 4 codes.
        _exit(totals.max_histo >= 2 && totals.max_histo <= 4 ? 0 : 7);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(std::filesystem::file_size(dir / "big_homog.raw"),
              static_cast<std::uintmax_t>(nb_lig) * nb_col);
}
#endif

// Batch runs: a run in bands of a few rows writes the report and images a run in one band
// writes, byte for byte, for every map format and result format (GeoTIFF included).
TEST(BandEngine, BatchRunsInBandsWriteWhatARunInOneBandWrites) {
    rt::TempDir dir;
    std::mt19937 rng(15);
    TestMap t = clustered_map(rng, 29, 31, 7, 10, 0.05, 0.05);
    const WindowKind windows[] = {WindowKind::Circle, WindowKind::Mesh, WindowKind::Square};
    int n = 0;
    for (int in : {kRaster, kBitmap, kAscii}) {
        const std::string name = write_map(t.map, in, dir / "map");
        for (int out : {kRaster, kBitmap, kAscii, kGeoTiff}) {
            if (out == kGeoTiff && !gdal_available()) continue;
            RunRequest req;
            req.map = name;
            req.window = windows[n++ % 3];
            req.rank = 2;
            req.mesh_lines = req.window == WindowKind::Mesh;
            req.res_form = out;
            req.pixel_size = 30;
            req.has_corner = true;
            req.x_min = 5e5;
            req.y_min = 4e6;
            req.threads = 2;
            req.output_base = dir / "res";
            // GeoTIFF results also with every metric, under the valid-pixel rule or not.
            if (out == kGeoTiff) {
                req.metrics = {"shannon", "diversity", "simpson", "evenness", "dominant",
                               "share:" + std::to_string(t.inv.number_item[1]), "homogeneity"};
                req.min_valid = in == kBitmap ? 0 : 40;
            }
            SCOPED_TRACE("map " + name + ", results " + std::to_string(out));
            std::vector<std::string> files[2];
            RunOutcome outcome[2];
            for (int k = 0; k < 2; ++k) {
                req.band_rows = k == 0 ? 0 : 3;
                outcome[k] = run_landmosaic(req);
                ASSERT_EQ(outcome[k].exit_status, 0);
                files[k].push_back(rt::slurp(outcome[k].report));
                for (const RunOutcome::File& f : outcome[k].files) files[k].push_back(rt::slurp(f.path));
                ASSERT_EQ(files[k].size(), req.metrics.size() + 1);
            }
            EXPECT_EQ(outcome[0].bands, 1);
            EXPECT_EQ(outcome[1].bands, req.window == WindowKind::Mesh ? 6 : 10);
            EXPECT_EQ(files[0], files[1]);
            EXPECT_EQ(std::vector<std::int64_t>(outcome[0].histo_div, outcome[0].histo_div + 260),
                      std::vector<std::int64_t>(outcome[1].histo_div, outcome[1].histo_div + 260));
        }
    }
}

// A raw file longer than its header says and an ASCII grid with cells beyond those it
// declares: a batch run says what the dialogue's reading says, in the same words.
TEST(BandEngine, BatchRunsWarnAsTheDialogueDoes) {
    rt::TempDir dir;
    std::mt19937 rng(16);
    TestMap t = clustered_map(rng, 11, 9, 4, 5);
    for (int form : {kRaster, kAscii}) {
        const std::string name = write_map(t.map, form, dir / "map");
        {
            std::FILE* f = std::fopen(name.c_str(), "ab");
            ASSERT_NE(f, nullptr);
            std::fputs(form == kRaster ? "xyz" : "\n7 7 7\n", f);
            std::fclose(f);
        }
        std::vector<std::string> whole;
        LoadOptions opt;
        opt.warn = [&](const Status& w) { whole.push_back(status_line(w, kFrench, true)); };
        LoadedMap loaded;
        std::string nom_lect;
        std::unique_ptr<engine::RowSource> src;
        Inventory inv;
        ASSERT_TRUE(open_held_map((dir / "map"), form, loaded, nom_lect, src, opt).ok());
        ASSERT_TRUE(held_inventory(*src, form, nom_lect, inv, opt).ok());
        ASSERT_EQ(whole.size(), 1u);
        RunRequest req;
        req.map = name;
        req.rank = 1;
        req.res_form = kRaster;
        req.idiom = kFrench;
        req.band_rows = 2;
        req.output_base = dir / "res";
        const RunOutcome out = run_landmosaic(req);
        ASSERT_EQ(out.exit_status, 0);
        ASSERT_GT(out.bands, 1);
        std::vector<std::string> banded;
        for (const Status& w : out.warnings) banded.push_back(status_line(w, kFrench, true));
        EXPECT_EQ(banded, whole);
    }
}

#ifdef LANDMOSAIC_MPI_EXE
// The MPI program on 1 to 4 ranks writes the files of the single-process run, report
// included, for every map format (an ASCII grid is read by rank 0 and sent out; a
// GeoTIFF map is read by every rank through GDAL) and result format (GeoTIFF results
// written by rank 0). Rank 0 alone speaks: a warning or a usage error is said once. A
// map that cannot be read fails the job with status 1 and leaves no result.
TEST(BandEngine, MpiRanksWriteTheFilesOfTheSingleProcessRun) {
    if (std::system("command -v mpirun > /dev/null 2>&1") != 0) GTEST_SKIP() << "no mpirun";
    rt::TempDir dir;
    std::mt19937 rng(14);
    TestMap t = clustered_map(rng, 41, 23, 8, 12, 0.05, 0.05);
    struct Case {
        int form;  // of the map; -1 a GeoTIFF
        WindowKind window;
        int R, band_rows;
        std::vector<int> ranks;
        std::vector<std::string> metrics = metrics::default_names();
        double min_valid = 0;
    };
    const std::vector<std::string> every = {"diversity", "homogeneity", "shannon", "simpson",
                                            "evenness",  "dominant",    "share:" +
                                            std::to_string(t.inv.number_item[2])};
    const Case cases[] = {{kRaster, WindowKind::Circle, 2, 1, {4}},
                          {kBitmap, WindowKind::Mesh, 1, 4, {2}},
                          {kAscii, WindowKind::Square, 3, 5, {3}},
                          {-1, WindowKind::Circle, 2, 3, {1, 2, 3, 4}},
                          {kRaster, WindowKind::Square, 2, 4, {3}, {"homogeneity"}, 50},
                          {-1, WindowKind::Square, 3, 4, {3}, every, 30},
                          {-1, WindowKind::Mesh, 2, 5, {2}, every}};
    const std::string launcher = std::string("ASAN_OPTIONS=detect_leaks=0 mpirun --oversubscribe") +
                                 (geteuid() == 0 ? " --allow-run-as-root" : "");
    auto mpi_run = [&](int np, const std::string& args) {
        const std::string cmd = launcher + " -np " + std::to_string(np) + " " + LANDMOSAIC_MPI_EXE +
                                " " + args + " > " + (dir / "out.txt") + " 2> " +
                                (dir / "err.txt");
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    for (const Case& c : cases) {
        if (c.form < 0 && !gdal_available()) continue;
        RunRequest req;
        if (c.form < 0) {
            // The map as a GeoTIFF, through the program's own writer.
            LoadedMap header;
            header.nb_lig = t.map.nb_lig;
            header.nb_col = t.map.nb_col;
            header.dpix_size = 30;
            header.UTM_coord = true;
            header.X_min = 5e5;
            header.Y_min = 4e6;
            req.map = dir / "map.tif";
            Status st;
            auto sink = geotiff_sink(req.map, header, ResultKind::Diversity, {}, 0, st);
            ASSERT_TRUE(sink && st.ok());
            ASSERT_TRUE(sink->write(0, header.nb_lig, t.map.tab_in.get()).ok());
            ASSERT_TRUE(sink->commit().ok());
        } else {
            req.map = write_map(t.map, c.form, dir / "map");
        }
        if (c.form == kAscii) rt::spit(req.map, rt::slurp(req.map) + "\n1 2\n");
        req.window = c.window;
        req.rank = c.R;
        req.res_form = c.form < 0 ? kGeoTiff : c.form;
        req.mesh_lines = c.window == WindowKind::Mesh;
        req.pixel_size = 30;
        req.has_corner = true;
        req.x_min = 5e5;
        req.y_min = 4e6;
        req.output_base = dir / "res";
        req.metrics = c.metrics;
        req.min_valid = c.min_valid;
        const RunOutcome single = run_landmosaic(req);
        ASSERT_EQ(single.exit_status, 0);
        std::vector<std::string> outputs = {single.report}, want;
        std::string listed = single.report + "\n", metric_args;
        for (const RunOutcome::File& f : single.files) {
            outputs.push_back(f.path);
            listed += f.path + "\n";
            metric_args += (metric_args.empty() ? " --metrics " : ",") + f.metric.name();
        }
        if (c.min_valid > 0) metric_args += " --min-valid " + std::to_string(c.min_valid);
        for (const std::string& f : outputs) want.push_back(rt::slurp(f));
        for (const std::string& f : outputs) std::filesystem::remove(f);
        for (int np : c.ranks) {
            // Each start of mpirun takes seconds under the sanitizers: the most ranks only.
            if (tf::kSanitized && np != c.ranks.back()) continue;
            SCOPED_TRACE(req.map + " on " + std::to_string(np) + " ranks");
            const std::string args = req.map + " -w " + window_shape(c.window).name + " -r " +
                                     std::to_string(c.R) + " -f " +
                                     (c.form < 0 ? "tif" : kExt[c.form] + 1) +
                                     " --pixel-size 30 --x-min 5e5 --y-min 4e6 --threads 1 -q" +
                                     " --band-rows " + std::to_string(c.band_rows) +
                                     (req.mesh_lines ? " --mesh-lines" : "") + " -o " +
                                     (dir / "res") + metric_args;
            ASSERT_EQ(mpi_run(np, args), 0) << args;
            std::vector<std::string> got;
            for (const std::string& f : outputs) got.push_back(rt::slurp(f));
            EXPECT_EQ(got, want);
            EXPECT_EQ(rt::slurp(dir / "out.txt"), listed);
            std::string said;
            for (const Status& w : single.warnings)
                said += "landmosaic-mpi: " + status_line(w, kEnglish, true) + "\n";
            EXPECT_EQ(rt::slurp(dir / "err.txt"), said);
        }
    }
    // Pictures and page: the same as the single process makes, from the rows of every
    // rank, whether the ranks write the images (raw) or rank 0 does (GeoTIFF, a real
    // metric's rows of floats too).
    for (const char* form : {"raw", "tif"}) {
        SCOPED_TRACE(form);
        if (std::string(form) == "tif" && !gdal_available()) continue;
        const bool tif = std::string(form) == "tif";
        const std::string args = (dir / "map.raw") + " -w circle -r 2 --band-rows 3 -q -f " + form +
                                 " --quicklook --metrics diversity,homogeneity" +
                                 (tif ? ",dominant,shannon" : "") + " -o ";
        const int single = std::system((std::string(LANDMOSAIC_EXE) + " " + args + (dir / "one") +
                                        " > /dev/null 2>&1")
                                           .c_str());
        ASSERT_EQ(WIFEXITED(single) ? WEXITSTATUS(single) : -1, 0);
        ASSERT_EQ(mpi_run(3, args + (dir / "many")), 0) << rt::slurp(dir / "err.txt");
        const std::string page = rt::slurp(dir / "one_summary.html");
        ASSERT_EQ(page.find("one_dominant.png") != std::string::npos, tif);
        for (const char* f : {"_diversity.png", "_homog.png", tif ? "_dominant.png" : "_homog.png",
                              tif ? "_shannon.png" : "_homog.png"}) {
            const std::string one = rt::slurp(dir / ("one" + std::string(f)));
            EXPECT_FALSE(one.empty()) << f;
            EXPECT_EQ(rt::slurp(dir / ("many" + std::string(f))), one) << f;
        }
        std::string many = rt::slurp(dir / "many_summary.html");
        for (std::size_t at; (at = many.find("many_")) != std::string::npos;) many.replace(at, 5, "one_");
        EXPECT_EQ(many, page);
    }
    EXPECT_EQ(mpi_run(3, (dir / "map.raw") + " -w triangle -r 1"), 2);
    // The message, once, before what mpirun adds.
    const std::string usage =
        "landmosaic-mpi: --window 'triangle' is not allowed: it takes one of square, circle, "
        "mesh\n"
        "Run with --help for more information.\n";
    const std::string err = rt::slurp(dir / "err.txt");
    EXPECT_EQ(err.substr(0, usage.size()), usage);
    EXPECT_EQ(err.find("triangle", usage.size()), std::string::npos) << err;
    rt::spit(dir / "bad.asc", "ncols 3\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3 4 x 6 7 8 9\n");
    EXPECT_EQ(mpi_run(3, (dir / "bad.asc") + " -w square -r 0 -f raw -o " + (dir / "bad")), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "bad_diversity.raw"));
    EXPECT_FALSE(std::filesystem::exists(dir / "bad_info.txt"));
}
#endif

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
        if (!tf::swept(R / 2)) continue;
        expect_same(wide, kWindow, kSquare, R, window_for(kWindow, kSquare, R), false, true);
        expect_same(wide, kWindow, kCircle, R, window_for(kWindow, kCircle, R));
    }
    TestMap huge = clustered_map(rng, 403, 405, 254, 300, 0.5, 0.01);
    if (!tf::kSanitized)
        expect_same(huge, kWindow, kSquare, 200, window_for(kWindow, kSquare, 200), false, true);
    expect_same(huge, kWindow, kCircle, 200, window_for(kWindow, kCircle, 200));
}

}  // namespace

// ---------------------------------------------------------------- landscape metrics

namespace {

using metrics::Id;
using metrics::Metric;

// The metrics of the window of every pixel straight from its pixels, computed in double
// as a user would: the pixels of the window, their counts per code, then each formula.
struct Reference {
    bool valued = false;
    std::int64_t n = 0, surface = 0;
    std::map<int, std::int64_t> counts;
};

Reference reference_window(const TestMap& t, const Window& win, int treat, int shape, int R,
                           double min_valid, int i, int j) {
    Reference r;
    const LoadedMap& map = t.map;
    const bool rule = min_valid > 0;
    r.surface = win.surf_tot;
    std::vector<std::pair<int, int>> pixels;
    if (treat == kMesh) {
        const int m = 2 * R + 1, ci = i / m * m, cj = j / m * m;
        if (!rule && (ci + m > map.nb_lig || cj + m > map.nb_col)) return r;
        for (int y = ci; y < ci + m; ++y)
            for (int x = cj; x < cj + m; ++x) pixels.push_back({y, x});
    } else {
        if (!rule && (i < R || j < R || i + R >= map.nb_lig || j + R >= map.nb_col)) return r;
        for (int dy = -R; dy <= R; ++dy)
            for (int dx = -R; dx <= R; ++dx)
                if (shape == kSquare || win.tab_rad[dy + R][dx + R] == 1)
                    pixels.push_back({i + dy, j + dx});
    }
    for (auto [y, x] : pixels) {
        if (y < 0 || x < 0 || y >= map.nb_lig || x >= map.nb_col) continue;
        const int v = map.tab_in[y][x];
        if (v == 255) continue;
        ++r.counts[v];
        ++r.n;
    }
    if (rule && (map.tab_in[i][j] == 255 || r.n * 100.0 < min_valid * r.surface)) return r;
    r.valued = true;
    return r;
}

// Checks every pixel of the planes of `ms` against the reference windows.
void expect_reference_metrics(const TestMap& t, const Window& win, int treat, int shape, int R,
                              double min_valid, const std::vector<Metric>& ms,
                              const std::vector<metrics::Plane>& planes) {
    const bool rule = min_valid > 0;
    int errors = 0;
    for (int i = 0; i < t.map.nb_lig && errors < 5; ++i) {
        for (int j = 0; j < t.map.nb_col && errors < 5; ++j) {
            const Reference r = reference_window(t, win, treat, shape, R, min_valid, i, j);
            const double n = static_cast<double>(r.n);
            const double whole = rule ? n : static_cast<double>(r.surface);
            double h = 0, sq = 0;
            int largest = 0, dominant = 255;
            for (auto [code, c] : r.counts) {
                const double p = c / n;
                h -= p * std::log(p);
                sq += p * p;
                if (c > largest) largest = static_cast<int>(c), dominant = code;
            }
            const int div = static_cast<int>(r.counts.size());
            for (std::size_t p = 0; p < ms.size(); ++p) {
                const Metric& m = ms[p];
                const std::string where = m.name() + " at (" + std::to_string(i) + ", " +
                                          std::to_string(j) + ")";
                if (m.type() == metrics::Type::Real) {
                    const float got = reinterpret_cast<const float*>(planes[p].rows[i])[j];
                    double want = -1;
                    if (r.valued && r.n > 0)
                        want = m.id == Id::Shannon   ? h
                               : m.id == Id::Simpson ? 1 - sq
                               : div <= 1            ? 0
                                                     : h / std::log(static_cast<double>(div));
                    if (std::fabs(got - want) > 1e-5) ++errors;
                    EXPECT_NEAR(got, want, 1e-5) << where;
                    continue;
                }
                int want = 255;
                if (r.valued) {
                    auto pct = [&](std::int64_t c) {
                        return whole > 0 ? static_cast<int>(c / whole * 100) : 0;
                    };
                    want = m.id == Id::Diversity     ? div
                           : m.id == Id::Homogeneity ? pct(largest)
                           : m.id == Id::Dominant    ? (r.n > 0 ? dominant : 255)
                           : r.counts.count(m.code)  ? pct(r.counts.at(m.code))
                                                     : 0;
                }
                if (planes[p].rows[i][j] != want) ++errors;
                EXPECT_EQ(planes[p].rows[i][j], want) << where;
            }
        }
    }
}

struct Planes {
    std::vector<std::vector<unsigned char>> store;
    std::vector<metrics::Plane> planes;
    Planes(const std::vector<Metric>& ms, int rows, int cols) {
        for (const Metric& m : ms) {
            const std::size_t bytes = static_cast<std::size_t>(cols) *
                                      (m.type() == metrics::Type::Real ? 4 : 1);
            store.emplace_back(bytes * rows, 0x5a);
            metrics::Plane p;
            p.type = m.type();
            for (int k = 0; k < rows; ++k) p.rows.push_back(store.back().data() + bytes * k);
            planes.push_back(p);
        }
    }
};

std::vector<Metric> every_metric(const Inventory& inv) {
    std::vector<Metric> ms;
    std::vector<std::string> names = {"diversity", "homogeneity", "shannon", "simpson",
                                      "evenness",  "dominant"};
    // A share of a class of the map and one of a class it lacks.
    names.push_back("share:" + std::to_string(inv.number_item[1]));
    for (int c = 0; c < 255; ++c) {
        bool present = false;
        for (int k = 1; k <= inv.num_item; ++k) present = present || inv.number_item[k] == c;
        if (!present) {
            names.push_back("share:" + std::to_string(c));
            break;
        }
    }
    EXPECT_TRUE(metrics::parse(names, ms).ok());
    return ms;
}

// Every metric of the counts scan against the windows counted pixel by pixel: every
// shape and rank, windows larger than the map, no-data inside, with and without the
// valid-pixel rule; without it, its diversity and homogeneity are the dialogue's scans',
// and the windows holding unclassified pixels are those the quick count finds.
TEST(Metrics, EveryMetricEqualsTheWindowCountedPixelByPixel) {
    std::mt19937 rng(20);
    struct Case {
        int treat, shape, R, lines, cols;
        double holes;
    };
    const Case cases[] = {{kWindow, kSquare, 0, 7, 9, 0.1},  {kWindow, kSquare, 2, 17, 13, 0.15},
                          {kWindow, kCircle, 1, 12, 15, 0.1}, {kWindow, kCircle, 3, 21, 19, 0.2},
                          {kWindow, kCircle, 4, 5, 6, 0.1},   {kWindow, kSquare, 5, 4, 12, 0.0},
                          {kMesh, kSquare, 0, 6, 5, 0.3},     {kMesh, kSquare, 1, 14, 11, 0.15},
                          {kMesh, kSquare, 3, 5, 4, 0.1}};
    for (const Case& c : cases) {
        TestMap t = clustered_map(rng, c.lines, c.cols, 5, 6, 0.2, c.holes);
        const Window win = window_for(c.treat, c.shape, c.R);
        const std::vector<Metric> ms = every_metric(t.inv);
        const metrics::Shape shape{c.treat, c.shape, c.R};
        for (double min_valid : {0.0, 0.5, 50.0, 100.0}) {
            SCOPED_TRACE("treat " + std::to_string(c.treat) + " shape " +
                         std::to_string(c.shape) + " R " + std::to_string(c.R) + " min-valid " +
                         std::to_string(min_valid));
            Planes out(ms, t.map.nb_lig, t.map.nb_col);
            const metrics::ScanCounts found =
                metrics::counts_scan(t.map, t.inv, win, shape, {min_valid}, ms, 0, t.map.nb_lig,
                                     out.planes, 2);
            expect_reference_metrics(t, win, c.treat, c.shape, c.R, min_valid, ms, out.planes);
            if (min_valid > 0) continue;
            ByteGrid div = no_value_grid(t.map), homo = no_value_grid(t.map);
            reference_scan(c.treat, c.shape, t.map, t.inv, win, c.R, div, homo);
            for (int i = 0; i < t.map.nb_lig; ++i)
                for (int j = 0; j < t.map.nb_col; ++j) {
                    ASSERT_EQ(out.planes[0].rows[i][j], div[i][j]) << i << ", " << j;
                    ASSERT_EQ(out.planes[1].rows[i][j], homo[i][j]) << i << ", " << j;
                }
            const metrics::ScanCounts quick =
                metrics::unclassified_windows(t.map, win, shape, 0, t.map.nb_lig);
            EXPECT_EQ(quick.windows, found.windows);
            EXPECT_EQ(quick.with_unclassified, found.with_unclassified);
            // The fast scans count them on their way where their method allows.
            for (WindowMethod method : {WindowMethod::best, WindowMethod::counts}) {
                UnclassifiedTally tally;
                tally.to = t.map.nb_lig;
                ScanOptions o;
                o.method = method;
                o.tally = &tally;
                fast_scan(c.treat, c.shape, t.map, t.inv, win, c.R, div, homo, {}, o);
                if (!tally.counted) continue;
                EXPECT_EQ(tally.windows, found.windows);
                EXPECT_EQ(tally.with_unclassified, found.with_unclassified);
            }
        }
    }
}

// A map large enough to be shared among workers: any number of workers, and rows taken
// a part at a time, give the same planes.
TEST(Metrics, WorkersAndRowRangesChangeNoValue) {
    std::mt19937 rng(21);
    TestMap t = clustered_map(rng, 300, 260, 9, 40, 0.1, 0.05);
    for (int shape : {kSquare, kCircle}) {
        const Window win = window_for(kWindow, shape, 6);
        const std::vector<Metric> ms = every_metric(t.inv);
        for (double min_valid : {0.0, 60.0}) {
            Planes one(ms, t.map.nb_lig, t.map.nb_col), three(ms, t.map.nb_lig, t.map.nb_col);
            const metrics::Shape s{kWindow, shape, 6};
            metrics::counts_scan(t.map, t.inv, win, s, {min_valid}, ms, 0, t.map.nb_lig,
                                 one.planes, 1);
            // Rows 0..99 then 100..299, on three workers.
            Planes top(ms, 100, t.map.nb_col), rest(ms, 200, t.map.nb_col);
            metrics::counts_scan(t.map, t.inv, win, s, {min_valid}, ms, 0, 100, top.planes, 3);
            metrics::counts_scan(t.map, t.inv, win, s, {min_valid}, ms, 100, 300, rest.planes, 3);
            for (std::size_t p = 0; p < ms.size(); ++p) {
                const std::size_t row_bytes = one.store[p].size() / t.map.nb_lig;
                std::vector<unsigned char> joined = top.store[p];
                joined.insert(joined.end(), rest.store[p].begin(), rest.store[p].end());
                EXPECT_EQ(joined, one.store[p]) << ms[p].name() << " " << row_bytes;
            }
        }
    }
}

// The moving windows' vector scan against the window slid pixel by pixel, byte for byte
// in every plane and in the windows counted: every instruction set, square and circle,
// with and without the valid-pixel rule, up to 254 classes, 32-bit counts (squares of
// more than 65535 pixels), windows wider than the map, rows taken a part at a time, rows
// cut in strips.
TEST(Metrics, VectorScanEqualsThePixelByPixelSlide) {
    std::mt19937 rng(22);
    struct Case {
        int lines, cols, classes, seeds;
        double holes;
        std::vector<int> ranks;
    };
    const Case cases[] = {{70, 101, 20, 25, 0.02, {1, 4, 16}},
                          {50, 64, 254, 300, 0.01, {3, 9}},
                          {40, 30, 6, 8, 0.3, {20}},
                          {270, 275, 12, 40, 0.01, {130}},
                          // Small patches of many classes (counts of a few pixels), and rows
                          // wider than a strip of the square's counts.
                          {30, 180, 60, 900, 0.05, {2, 6}},
                          {9, 1100, 254, 500, 0.02, {2}}};
    const std::vector<std::string> targets = kernels::available_targets();
    for (const Case& c : cases) {
        TestMap t = clustered_map(rng, c.lines, c.cols, c.classes, c.seeds, 0.05, c.holes);
        const std::vector<Metric> ms = every_metric(t.inv);
        int sweep = 0;
        for (int shape : {kSquare, kCircle})
            for (int R : c.ranks)
                for (double min_valid : {0.0, 40.0}) {
                    if (!tf::swept(sweep++ + shape)) continue;
                    SCOPED_TRACE("shape " + std::to_string(shape) + " R " + std::to_string(R) +
                                 " min-valid " + std::to_string(min_valid));
                    const Window win = window_for(kWindow, shape, R);
                    const metrics::Shape s{kWindow, shape, R};
                    const int rows = t.map.nb_lig, half = rows / 3;
                    Planes want(ms, rows, t.map.nb_col);
                    const metrics::ScanCounts slid =
                        metrics::counts_scan(t.map, t.inv, win, s, {min_valid}, ms, 0, rows,
                                             want.planes, 1, {}, metrics::Method::pixels);
                    for (const std::string& target : targets) {
                        ASSERT_TRUE(kernels::use_target(target));
                        Planes top(ms, half, t.map.nb_col), rest(ms, rows - half, t.map.nb_col);
                        metrics::ScanCounts got = metrics::counts_scan(
                            t.map, t.inv, win, s, {min_valid}, ms, 0, half, top.planes, 2);
                        got.add(metrics::counts_scan(t.map, t.inv, win, s, {min_valid}, ms, half,
                                                     rows, rest.planes, 3));
                        EXPECT_EQ(got.windows, slid.windows) << target;
                        EXPECT_EQ(got.with_unclassified, slid.with_unclassified) << target;
                        for (std::size_t p = 0; p < ms.size(); ++p) {
                            std::vector<unsigned char> joined = top.store[p];
                            joined.insert(joined.end(), rest.store[p].begin(), rest.store[p].end());
                            EXPECT_TRUE(joined == want.store[p]) << ms[p].name() << " " << target;
                        }
                    }
                    kernels::use_target("");
                }
    }
}

// The quick count of the windows holding pixels of no class, on a map large enough to be
// shared among threads, equals the count the counts scan makes of the same windows.
TEST(Metrics, QuickCountOfUnclassifiedWindowsOnSharedRows) {
    std::mt19937 rng(23);
    TestMap t = clustered_map(rng, 1040, 1030, 8, 20, 0.02, 0.0004);
    for (int shape : {kSquare, kCircle}) {
        const Window win = window_for(kWindow, shape, 7);
        const metrics::Shape s{kWindow, shape, 7};
        std::vector<Metric> ms;
        ASSERT_TRUE(metrics::parse({"diversity"}, ms).ok());
        Planes out(ms, t.map.nb_lig, t.map.nb_col);
        const metrics::ScanCounts scan =
            metrics::counts_scan(t.map, t.inv, win, s, {}, ms, 0, t.map.nb_lig, out.planes, 2);
        const metrics::ScanCounts quick = metrics::unclassified_windows(t.map, win, s, 0, t.map.nb_lig);
        EXPECT_EQ(quick.windows, scan.windows) << shape;
        EXPECT_EQ(quick.with_unclassified, scan.with_unclassified) << shape;
        EXPECT_GT(quick.with_unclassified, 0) << shape;
        EXPECT_LT(quick.with_unclassified, quick.windows) << shape;
        // The count the fast scan makes on its way, of the centre rows of a band, on
        // narrow strips of centres and on every instruction set.
        const metrics::ScanCounts part = metrics::unclassified_windows(t.map, win, s, 300, 650);
        for (const std::string& target : kernels::available_targets()) {
            ASSERT_TRUE(kernels::use_target(target));
            UnclassifiedTally tally;
            tally.from = 300;
            tally.to = 650;
            ScanOptions o;
            o.threads = 3;
            o.method = WindowMethod::counts;
            o.strip = 200;
            o.tally = &tally;
            ByteGrid div = no_value_grid(t.map), homo = no_value_grid(t.map);
            fast_scan(kWindow, shape, t.map, t.inv, win, 7, div, homo, {}, o);
            ASSERT_TRUE(tally.counted) << target;
            EXPECT_EQ(tally.windows, part.windows) << shape << " " << target;
            EXPECT_EQ(tally.with_unclassified, part.with_unclassified) << shape << " " << target;
        }
        kernels::use_target("");
    }
}

}  // namespace
