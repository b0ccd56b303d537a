// The treatment stage: the window tally, the three scans checked against direct
// counts, the diversity histogram and the console output of the stage.
#include "dialogue/stages.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "analysis/scans.h"
#include "analysis/tally.h"
#include "raster_fixtures.h"
#include "scan_fixture.h"
#include "window/geometry.h"

namespace {

// One scan on fresh result grids.
struct Scan {
    ByteGrid div, homo;
    std::vector<int> progress;
};

Scan scan(TestMap& t, int treat_type, int win_shape, int R) {
    Window win = window_for(treat_type, win_shape, R);
    Scan s{no_value_grid(t.map), no_value_grid(t.map), {}};
    reference_scan(treat_type, win_shape, t.map, t.inv, win, R, s.div, s.homo,
                   [&](int row, int) {
                       s.progress.push_back(row);
                       return true;
                   });
    return s;
}

struct StageRun {
    std::string out;
    Results res;
};

StageRun stage(TestMap& t, int idiom, int treat_type, int win_shape, int R) {
    // The stage reads the map from its file, as the dialogue leaves it: a raw pixel file.
    rt::TempDir dir;
    std::string pixels;
    for (int i = 0; i < t.map.nb_lig; ++i)
        pixels.append(reinterpret_cast<const char*>(t.map.tab_in[i]),
                      static_cast<std::size_t>(t.map.nb_col));
    rt::spit(dir / "map.raw", pixels);
    RunAnswers run;
    run.format = kRaster;
    run.nom_lect = dir / "map.raw";
    run.idiom = idiom;
    run.treat_type = treat_type;
    run.win_shape = win_shape;
    run.range_win = R;
    Window win = window_for(treat_type, win_shape, R);
    StringConsole c;
    StageRun r;
    treatment(c.con, run, t.map, t.inv, win, r.res);
    r.out = c.output();
    return r;
}

// The values at the centre (1, 1) of a 3 x 3 map scanned with the square window of rank 1.
std::pair<int, int> centre_3x3(const std::vector<int>& codes) {
    TestMap t = make_map(3, 3, codes);
    Scan s = scan(t, kWindow, kSquare, 1);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (i != 1 || j != 1) {
                EXPECT_EQ(s.div[i][j], 255);
                EXPECT_EQ(s.homo[i][j], 255);
            }
    return {s.div[1][1], s.homo[1][1]};
}

}  // namespace

TEST(WindowTally, DiversityAndHomogeneity) {
    using P = std::pair<int, int>;
    // 5 pixels of one item, 3 of another, 1 of code 255: 500 / 9 = 55.6.
    EXPECT_EQ(centre_3x3({3, 3, 3, 3, 3, 7, 7, 7, 255}), P(2, 55));
    // No item at all.
    EXPECT_EQ(centre_3x3({255, 255, 255, 255, 255, 255, 255, 255, 255}), P(0, 0));
    // One item over the whole window, then with one pixel of code 255.
    EXPECT_EQ(centre_3x3({4, 4, 4, 4, 4, 4, 4, 4, 4}), P(1, 100));
    EXPECT_EQ(centre_3x3({4, 4, 4, 4, 255, 4, 4, 4, 4}), P(1, 88));
    // Code 0 is an item like any other.
    EXPECT_EQ(centre_3x3({0, 0, 0, 1, 1, 1, 2, 2, 255}), P(3, 33));

    // 7 pixels of 25 give 28: on a 5 x 5 map with R = 2 only the centre is evaluated.
    TestMap t =
        make_map(5, 5, {1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4});
    Scan s = scan(t, kWindow, kSquare, 2);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j) {
            const bool centre = i == 2 && j == 2;
            EXPECT_EQ(s.div[i][j], centre ? 4 : 255);
            EXPECT_EQ(s.homo[i][j], centre ? 28 : 255);
        }
    EXPECT_EQ(s.progress, std::vector<int>({2}));

    // The tally on its own: pixels in, diversity and homogeneity out, counters reset.
    WindowTally tally(t.inv, 9);
    tally.start();
    for (int c : {1, 1, 1, 1, 2, 2, 2, 2, 255}) tally.add(c);
    TallyResult r = tally.finish();
    EXPECT_EQ(r.toth, 2);
    EXPECT_EQ(r.val3, 44);
    tally.start();
    tally.add(3);
    r = tally.finish();
    EXPECT_EQ(r.toth, 1);
    EXPECT_EQ(r.val3, 11);
}

TEST(Scans, RankZeroEveryPixelIsItsOwnWindow) {
    std::mt19937 rng(7);
    TestMap t = random_map(rng, 6, 9, 4, true);
    for (int treat_type : {kMesh, kWindow})
        for (int win_shape : {kSquare, kCircle}) {
            Scan s = scan(t, treat_type, win_shape, 0);
            for (int i = 0; i < 6; ++i)
                for (int j = 0; j < 9; ++j) {
                    const bool item = t.map.tab_in[i][j] != 255;
                    EXPECT_EQ(s.div[i][j], item ? 1 : 0);
                    EXPECT_EQ(s.homo[i][j], item ? 100 : 0);
                }
            EXPECT_EQ(s.progress, std::vector<int>({0, 1, 2, 3, 4, 5}));
        }
}

TEST(Scans, MapsSmallerThanTheWindow) {
    std::mt19937 rng(11);
    // Fewer lines than the window: nothing evaluated, no progress.
    TestMap low = random_map(rng, 4, 12, 3, false);
    for (int win_shape : {kSquare, kCircle}) {
        Scan s = scan(low, kWindow, win_shape, 2);
        EXPECT_EQ(flat(s.div, 4, 12), std::vector<int>(48, 255));
        EXPECT_EQ(flat(s.homo, 4, 12), std::vector<int>(48, 255));
        EXPECT_TRUE(s.progress.empty());
    }
    // Enough lines but too few columns: nothing evaluated, yet one progress per centre row.
    TestMap narrow = random_map(rng, 8, 4, 3, false);
    for (int win_shape : {kSquare, kCircle}) {
        Scan s = scan(narrow, kWindow, win_shape, 2);
        EXPECT_EQ(flat(s.div, 8, 4), std::vector<int>(32, 255));
        EXPECT_EQ(flat(s.homo, 8, 4), std::vector<int>(32, 255));
        EXPECT_EQ(s.progress, std::vector<int>({2, 3, 4, 5}));
    }
    // The cell mesh: fewer lines than a cell, no progress; fewer columns, one per row of cells.
    EXPECT_TRUE(scan(low, kMesh, 0, 2).progress.empty());
    Scan cells = scan(narrow, kMesh, 0, 2);
    EXPECT_EQ(flat(cells.div, 8, 4), std::vector<int>(32, 255));
    EXPECT_EQ(cells.progress, std::vector<int>({0}));
    TestMap tall = random_map(rng, 11, 2, 3, false);
    EXPECT_EQ(scan(tall, kMesh, 0, 1).progress, std::vector<int>({0, 3, 6}));
}

TEST(Scans, CellMeshRemainderAndWholeCover) {
    // 7 x 10 with m = 3: six cells; line 6 and column 9 keep 255.
    std::mt19937 rng(3);
    TestMap t = random_map(rng, 7, 10, 3, true);
    Scan s = scan(t, kMesh, 0, 1);
    EXPECT_EQ(s.progress, std::vector<int>({0, 3}));
    for (int i = 0; i < 7; ++i)
        for (int j = 0; j < 10; ++j) {
            const bool outside = i == 6 || j == 9;
            if (outside) {
                EXPECT_EQ(s.div[i][j], 255);
                EXPECT_EQ(s.homo[i][j], 255);
            } else {
                EXPECT_NE(s.homo[i][j], 255);
                // Every pixel of a cell holds the cell's values.
                EXPECT_EQ(s.div[i][j], s.div[i / 3 * 3][j / 3 * 3]);
                EXPECT_EQ(s.homo[i][j], s.homo[i / 3 * 3][j / 3 * 3]);
            }
        }
    // Sides that are multiples of m are covered entirely.
    TestMap whole = random_map(rng, 10, 15, 4, false);
    Scan w = scan(whole, kMesh, 0, 2);
    for (int v : flat(w.homo, 10, 15)) EXPECT_NE(v, 255);
    // 4 pixels of one item, 4 of another and one of code 255: 2 and 44 in all nine.
    TestMap cell = make_map(3, 3, {1, 2, 1, 2, 255, 2, 1, 2, 1});
    Scan c = scan(cell, kMesh, 0, 1);
    EXPECT_EQ(flat(c.div, 3, 3), std::vector<int>(9, 2));
    EXPECT_EQ(flat(c.homo, 3, 3), std::vector<int>(9, 44));
}

TEST(Scans, TwoHundredFiftyFiveItemsReadAsNoValue) {
    // 255 different items in a window of 289 pixels (R = 8).
    std::vector<int> codes;
    for (int c = 0; c < 255; ++c) codes.push_back(c);
    while (codes.size() < 289) codes.push_back(255);
    TestMap t = make_map(17, 17, codes);
    ASSERT_EQ(t.inv.num_item, 255);
    Scan s = scan(t, kWindow, kSquare, 8);
    EXPECT_EQ(s.div[8][8], 255);
    EXPECT_EQ(s.homo[8][8], 0);
    Scan cells = scan(t, kMesh, 0, 8);
    EXPECT_EQ(flat(cells.div, 17, 17), std::vector<int>(289, 255));
    EXPECT_EQ(flat(cells.homo, 17, 17), std::vector<int>(289, 0));
    // The histogram then sees no value at all.
    StageRun r = stage(t, 0, kWindow, kSquare, 8);
    EXPECT_EQ(r.out, "\n\n\tTreatment\n\n\t\tline 8              \r\n\n\tmax_histo = 0 \n");
    EXPECT_EQ(flat(r.res.tab_divers, 17, 17), std::vector<int>(289, 255));
}

TEST(Scans, CircleIgnoresPixelsOutsideTheMask) {
    // The four corners of the 5 x 5 box hold an item found nowhere else.
    TestMap t =
        make_map(5, 5, {9, 1, 1, 1, 9, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 9, 1, 1, 1, 9});
    Scan circ = scan(t, kWindow, kCircle, 2);
    EXPECT_EQ(circ.div[2][2], 1);
    EXPECT_EQ(circ.homo[2][2], 100);  // 21 pixels of 21
    Scan square = scan(t, kWindow, kSquare, 2);
    EXPECT_EQ(square.div[2][2], 2);
    EXPECT_EQ(square.homo[2][2], 84);  // 21 pixels of 25
}

TEST(Scans, CrossCheckedWithDirectCounts) {
    std::mt19937 rng(20240601);
    for (int round = 0; round < 40; ++round) {
        std::uniform_int_distribution<int> side(1, 24);
        const int nb_lig = side(rng), nb_col = side(rng);
        const int palette = std::uniform_int_distribution<int>(1, 7)(rng);
        TestMap t = random_map(rng, nb_lig, nb_col, palette, round % 3 != 0);
        for (int R = 0; R <= 4; ++R) {
            Scan sq = scan(t, kWindow, kSquare, R);
            Expected esq = direct_window(t.map, R, [](int, int) { return true; });
            EXPECT_EQ(flat(sq.div, nb_lig, nb_col), esq.div) << "square R " << R;
            EXPECT_EQ(flat(sq.homo, nb_lig, nb_col), esq.homo) << "square R " << R;

            Scan ci = scan(t, kWindow, kCircle, R);
            const double rc2 = (R + 0.5) * (R + 0.5);
            Expected eci =
                direct_window(t.map, R, [&](int p, int q) { return p * p + q * q <= rc2; });
            EXPECT_EQ(flat(ci.div, nb_lig, nb_col), eci.div) << "circle R " << R;
            EXPECT_EQ(flat(ci.homo, nb_lig, nb_col), eci.homo) << "circle R " << R;

            Scan me = scan(t, kMesh, 0, R);
            Expected eme = direct_mesh(t.map, 2 * R + 1);
            EXPECT_EQ(flat(me.div, nb_lig, nb_col), eme.div) << "mesh R " << R;
            EXPECT_EQ(flat(me.homo, nb_lig, nb_col), eme.homo) << "mesh R " << R;
        }
    }
    // A rank where the ring drawing leaves out rim pixels of the disc: the window is the mask.
    TestMap big = random_map(rng, 38, 41, 40, true);
    Window win = window_for(kWindow, kCircle, 16);
    Scan ci = scan(big, kWindow, kCircle, 16);
    Expected e =
        direct_window(big.map, 16, [&](int p, int q) { return win.tab_rad[16 + p][16 + q] == 1; });
    EXPECT_EQ(flat(ci.div, 38, 41), e.div);
    EXPECT_EQ(flat(ci.homo, 38, 41), e.homo);
}

TEST(Treatment, CellMeshConsoleAndResults) {
    // 7 x 10, m = 3: cells (0, 0) and (3, 6) hold three items, the others one; the
    // codes of line 6 and column 9 lie outside every cell.
    std::vector<int> codes(70, 1);
    codes[0 * 10 + 1] = 2;
    codes[2 * 10 + 2] = 3;
    codes[3 * 10 + 6] = 2;
    codes[5 * 10 + 8] = 255;
    codes[4 * 10 + 7] = 3;
    codes[6 * 10 + 0] = 5;
    codes[1 * 10 + 9] = 6;
    TestMap t = make_map(7, 10, codes);
    StageRun r = stage(t, 0, kMesh, 0, 1);
    EXPECT_EQ(r.out,
              "\n\n\tTreatment\n\n"
              "\t\tline 0              \r"
              "\t\tline 3              \r"
              "\n\n\tmax_histo = 3 \n"
              "\n\thisto_div[1] = 36 "
              "\n\thisto_div[2] = 0 "
              "\n\thisto_div[3] = 18 ");
    EXPECT_EQ(r.res.max_histo, 3);
    EXPECT_EQ(r.res.histo_div[0], 0);
    EXPECT_EQ(r.res.rw, 1);
    EXPECT_FALSE(r.res.tab_div);  // released once the diversity image is built
    EXPECT_EQ(r.res.tab_divers[0][0], 3);
    EXPECT_EQ(r.res.tab_divers[5][8], 3);
    EXPECT_EQ(r.res.tab_divers[4][4], 1);
    EXPECT_EQ(r.res.tab_homo[0][0], 77);  // 7 of 9
    EXPECT_EQ(r.res.tab_homo[3][6], 66);  // 6 of 9, one pixel of code 255
    EXPECT_EQ(r.res.tab_homo[4][4], 100);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(r.res.tab_divers[i][9], 255);
        EXPECT_EQ(r.res.tab_homo[i][9], 255);
    }
    for (int j = 0; j < 10; ++j) {
        EXPECT_EQ(r.res.tab_divers[6][j], 255);
        EXPECT_EQ(r.res.tab_homo[6][j], 255);
    }
}

TEST(Treatment, MovingWindowConsoleInThreeLanguages) {
    std::mt19937 rng(5);
    TestMap t = random_map(rng, 9, 8, 3, true);
    // French, square window R = 2: centre lines 2 to 6.
    StageRun fr = stage(t, 1, kWindow, kSquare, 2);
    std::string expected = "\n\n\tTraitement\n\n";
    for (int i = 2; i <= 6; ++i) expected += "\t\tligne " + std::to_string(i) + "             \r";
    Scan s = scan(t, kWindow, kSquare, 2);
    Results direct;
    diversity_histogram(s.div, 9, 8, direct);
    expected += "\n\n\tmax_histo = " + std::to_string(direct.max_histo) + " \n";
    for (int v = 1; v <= direct.max_histo; ++v)
        expected += "\n\thisto_div[" + std::to_string(v) +
                    "] = " + std::to_string(direct.histo_div[v]) + " ";
    EXPECT_EQ(fr.out, expected);
    // The diversity image is what the scan stored; the homogeneity is the scan's own.
    EXPECT_EQ(flat(fr.res.tab_divers, 9, 8), flat(s.div, 9, 8));
    EXPECT_EQ(flat(fr.res.tab_homo, 9, 8), flat(s.homo, 9, 8));

    // Spanish, circle R = 1 on a map made of one item: every centre 1 and 100.
    TestMap one = make_map(4, 3, std::vector<int>(12, 8));
    StageRun es = stage(one, 2, kWindow, kCircle, 1);
    EXPECT_EQ(es.out,
              "\n\n\tTratamiento\n\n"
              "\t\tlinea 1             \r"
              "\t\tlinea 2             \r"
              "\n\n\tmax_histo = 1 \n"
              "\n\thisto_div[1] = 2 ");
    EXPECT_EQ(flat(es.res.tab_divers, 4, 3),
              std::vector<int>({255, 255, 255, 255, 1, 255, 255, 1, 255, 255, 255, 255}));

    // English, a map smaller than the window: only the heading and max_histo 0.
    StageRun en = stage(one, 0, kWindow, kSquare, 2);
    EXPECT_EQ(en.out, "\n\n\tTreatment\n\n\n\n\tmax_histo = 0 \n");
    EXPECT_EQ(flat(en.res.tab_divers, 4, 3), std::vector<int>(12, 255));
    EXPECT_EQ(flat(en.res.tab_homo, 4, 3), std::vector<int>(12, 255));
}

TEST(DiversityHistogram, CountsAndGaps) {
    // 10 pixels of diversity 1, 4 of diversity 3, every other 255.
    TestMap t = make_map(4, 5, std::vector<int>(20, 1));
    ByteGrid div = no_value_grid(t.map);
    for (int k = 0; k < 10; ++k) div[k / 5][k % 5] = 1;
    for (int k = 10; k < 14; ++k) div[k / 5][k % 5] = 3;
    Results res;
    res.histo_div[7] = 99;  // left from nothing: the histogram starts from zero
    diversity_histogram(div, 4, 5, res);
    EXPECT_EQ(res.max_histo, 3);
    EXPECT_EQ(res.histo_div[1], 10);
    EXPECT_EQ(res.histo_div[2], 0);
    EXPECT_EQ(res.histo_div[3], 4);
    EXPECT_EQ(res.histo_div[7], 0);
    EXPECT_EQ(res.histo_div[255], 0);

    // A map of code 255 only: diversity 0 everywhere evaluated, counted but not printed.
    TestMap blank = make_map(3, 4, std::vector<int>(12, 255));
    StageRun r = stage(blank, 0, kWindow, kSquare, 1);
    EXPECT_EQ(r.out, "\n\n\tTreatment\n\n\t\tline 1              \r\n\n\tmax_histo = 0 \n");
    EXPECT_EQ(r.res.histo_div[0], 2);
    EXPECT_EQ(r.res.tab_divers[1][1], 0);
    EXPECT_EQ(r.res.tab_homo[1][2], 0);
}
