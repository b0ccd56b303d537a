// The window geometry: the circular mask, the rank help and the size displays.
#include "dialogue/stages.h"
#include "window/geometry.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "scan_fixture.h"

namespace {

// The mask of rank R, built as the sizes of a circular window build it.
Window circular(int R) {
    Window win;
    EXPECT_TRUE(circle_sizes(win, R, 30.0));
    return win;
}

bool in_disc(int R, int p, int q) {
    const double rc = R + 0.5;
    return p * p + q * q <= rc * rc;
}

}  // namespace

TEST(Circle, PixelCountByRank) {
    const std::vector<std::pair<int, int>> table = {
        {0, 1},    {1, 9},    {2, 21},    {3, 37},    {4, 69},    {5, 97},    {6, 137},  {7, 177},
        {8, 225},  {9, 293},  {10, 349},  {11, 421},  {12, 489},  {13, 577},  {14, 665}, {15, 749},
        {16, 853}, {17, 973}, {19, 1201}, {20, 1313}, {25, 2029}, {30, 2933}, {50, 8005}};
    for (const auto& [R, pixels] : table) {
        Window win = circular(R);
        EXPECT_EQ(win.nb, 2 * R + 1) << "R = " << R;
        EXPECT_EQ(win.num_pix_circ, pixels) << "R = " << R;
        EXPECT_EQ(win.surf_tot, pixels) << "R = " << R;
        EXPECT_DOUBLE_EQ(win.radius, R + 0.5);
    }
}

TEST(Circle, ShapeAgainstTheDisc) {
    // Up to R = 15, and for R = 17 to 24, 26 and 28 to 33, the whole disc of radius
    // R + 0.5; for every rank, never a pixel outside it.
    for (int R = 0; R <= 60; ++R) {
        Window win = circular(R);
        const bool whole = R <= 15 || (R >= 17 && R <= 24) || R == 26 || (R >= 28 && R <= 33);
        int disc = 0;
        for (int p = -R; p <= R; ++p) {
            for (int q = -R; q <= R; ++q) {
                const int cell = win.tab_rad[R + p][R + q];
                const bool inside = in_disc(R, p, q);
                disc += inside ? 1 : 0;
                // Inside the disc: 1 where the rings cover the whole disc; outside: 0.
                const int lowest = whole && inside ? 1 : 0;
                const int highest = inside ? 1 : 0;
                ASSERT_TRUE(cell >= lowest && cell <= highest)
                    << "R " << R << " p " << p << " q " << q << " cell " << cell;
            }
        }
        if (R == 16) {
            EXPECT_EQ(disc, 861);
        }
        if (R == 25) {
            EXPECT_EQ(disc, 2053);
        }
    }
}

TEST(Circle, SmallRanks) {
    Window one = circular(1);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(one.tab_rad[i][j], 1);
    Window two = circular(2);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j) {
            const bool corner = (i == 0 || i == 4) && (j == 0 || j == 4);
            EXPECT_EQ(two.tab_rad[i][j], corner ? 0 : 1);
        }
    // A new mask replaces the previous one.
    Window win = circular(5);
    ASSERT_TRUE(circle_sizes(win, 1, 30.0));
    EXPECT_EQ(win.nb, 3);
    EXPECT_EQ(win.num_pix_circ, 9);
}

TEST(RankHelp, AdvisedRanks) {
    Window win;
    advise_ranks(win, 30, 1.0);
    EXPECT_EQ(win.R_square, 16);
    EXPECT_EQ(win.R_circle, 19);
    EXPECT_NEAR(win.rad_pix, 18.806, 0.0005);
    EXPECT_DOUBLE_EQ(win.S, 1000000.0);
    EXPECT_EQ(win.side, 30);
    EXPECT_DOUBLE_EQ(win.surf_window, 1.0);
    advise_ranks(win, 10, 0.5);
    EXPECT_EQ(win.R_square, 35);
    EXPECT_EQ(win.R_circle, 40);
    // A surface of 0 advises 0 for both.
    advise_ranks(win, 10, 0.0);
    EXPECT_EQ(win.R_square, 0);
    EXPECT_EQ(win.R_circle, 0);
    // A pixel edge whose surface in m2 exceeds 32 bits is still squared exactly:
    // 50000 m and 1000000 km2 give a square of 20 pixels and a radius of 11.28.
    advise_ranks(win, 50000, 1000000.0);
    EXPECT_EQ(win.R_square, 10);
    EXPECT_EQ(win.R_circle, 11);
    // Ranks beyond an int are held at its largest value.
    advise_ranks(win, 1, 1e300);
    EXPECT_EQ(win.R_square, INT_MAX);
    EXPECT_EQ(win.R_circle, INT_MAX);
}

TEST(RankHelp, DialogueInThreeLanguages) {
    {
        StringConsole c("30 1\n");
        Window win;
        rank_help(c.con, 0, win);
        EXPECT_EQ(c.output(),
                  "\n\tThe rank estimate depends on the size m of the edge of the pixel "
                  "\n\tand the surface S of the cuadratic cell or mobile window. "
                  "\n\n\t\tPixel edge (en meters) ? ? "
                  "\t\tsurface of the cell or moving window (in km2) ? "
                  "\n\t\tR for a cell or a cuadratic moving window : 16 "
                  "\n\t\tR for a circular moving window            : 19 ");
    }
    {
        // A pixel edge of 0, a negative one or a word is asked again; so is a negative
        // surface or a word.
        StringConsole c("0 -3 abc 30 -1 x 1");
        Window win;
        rank_help(c.con, 1, win);
        const std::string edge = "\n\n\t\tbord de pixel (en m\x8Atres) ? ? ";
        const std::string surface = "\t\tsurface de la cellule ou de la fen\x88tre (en km2) ? ";
        EXPECT_EQ(c.output(),
                  "\n\tL'estimation du rang d\x82pend de la taille m du bord du pixel "
                  "\n\tet de la surface S de la cellule ou de la fen\x88tre mobile. " +
                      edge + edge + edge + edge + surface + surface + surface +
                      "\n\t\tR pour une cellule ou une fen\x88tre carr\x82"
                      "e : 16 "
                      "\n\t\tR pour un fen\x88tre mobile circulaire       : 19 ");
    }
    {
        StringConsole c("10 0.5");
        Window win;
        rank_help(c.con, 2, win);
        EXPECT_EQ(c.output(),
                  "\n\tLa estimaci\xA2n del rango depende del tama\xA4o m del borde del p\xA1xel"
                  "\n\ty de la superficie S de la ventana m\xA2vil "
                  "\n\n\t\tborde del p\xA1xel (en metros) ? "
                  "\t\tsuperficie de la ventana (en km2) ? "
                  "\n\t\tR para una ventana cuadrada : 35 "
                  "\n\t\tR para una ventana circular : 40 ");
    }
    {
        StringConsole c("30");
        Window win;
        EXPECT_THROW(rank_help(c.con, 0, win), InputEnded);
    }
}

namespace {

std::string sizes(int idiom, int treat_type, int win_shape, int R, double pixel) {
    StringConsole c;
    RunAnswers run;
    run.idiom = idiom;
    run.treat_type = treat_type;
    run.win_shape = win_shape;
    run.range_win = R;
    LoadedMap map;
    map.dpix_size = pixel;
    Window win;
    show_sizes(c.con, run, map, win);
    return c.output();
}

}  // namespace

TEST(Sizes, CellMesh) {
    EXPECT_EQ(sizes(0, 0, 0, 16, 30.0),
              "\n\tCell mesh characteristics: "
              "\n\t\tm (in pixels) = (R x 2) + 1 = (16 x 2) + 1"
              "\n\t\twindow size in pixels (m x m) = 33 x 33 "
              "\n\t\tsurface in pixels = 1089 "
              "\n\t\taccording to the pixel size (30 x 30 meters)"
              "\n\t\tthe surface of a cell is 98.010 ha (0.980 km2) ");
    EXPECT_EQ(sizes(1, 0, 1, 16, 30.0),
              "\n\tParam\x8Atres de la cellule quadratique : "
              "\n\t\tm (en pixels) = (R x 2) + 1 = (16 x 2) + 1"
              "\n\t\ttaille de la fen\x88tre en pixels = 33 x 33 "
              "\n\t\tsurface en pixels = 1089 "
              "\n\t\ten accord avec la taille du pixel (30 x 30 m\x8Atres)"
              "\n\t\tla surface de la cellule est de 98.010 ha (0.980 km2) ");
    // The pixel size is shown truncated; the surfaces use it in full.
    EXPECT_EQ(sizes(2, 0, 0, 1, 12.5),
              "\n\tPar\xA0metros de la celda cuadr\xA0tica: "
              "\n\t\tm = (R x 2) + 1 = (1 x 2) + 1"
              "\n\t\ttama\xA4o de la ventana = 3 x 3 "
              "\n\t\tsuperficie (en p\xA1xeles) = 9 "
              "\n\t\tde acuerdo con el tama\xA4o del p\xA1xel (12 x 12 metros)"
              "\n\t\tla superficie de la celda es de 0.141 ha (0.001 km2) ");
}

TEST(Sizes, SquareWindow) {
    EXPECT_EQ(sizes(0, 1, 0, 0, 12.5),
              "\n\tQuadratic moving window characteristics: "
              "\n\t\tm (in pixels) = (R x 2) + 1 = (0 x 2) + 1"
              "\n\t\twindow size in pixels (m x m) = 1 x 1 "
              "\n\t\tsurface in pixels = 1 "
              "\n\t\taccording to the pixel size (12 x 12 meters)"
              "\n\t\tthe surface of the moving window is 0.016 ha (0.000 km2) ");
    EXPECT_EQ(sizes(1, 1, 0, 16, 30.0),
              "\n\tParam\x8Atres de la fen\x88tre mobile quadratique : "
              "\n\t\tm (en pixels) = (R x 2) + 1 = (16 x 2) + 1"
              "\n\t\ttaille de la fen\x88tre en pixels = 33 x 33 "
              "\n\t\tsurface en pixels = 1089 "
              "\n\t\ten accord avec la taille du pixel (30 x 30 m\x8Atres)"
              "\n\t\tla surface de la fen\x88tre mobile est de 98.010 ha (0.980 km2) ");
    EXPECT_EQ(sizes(2, 1, 0, 16, 30.0),
              "\n\tPar\xA0metros de la ventana m\xA2vil cuadr\xA0tica: "
              "\n\t\tm = (R x 2) + 1 = (16 x 2) + 1"
              "\n\t\ttama\xA4o de la ventana = 33 x 33 "
              "\n\t\tsuperficie (en p\xA1xeles) = 1089 "
              "\n\t\tde acuerdo con el tama\xA4o del p\xA1xel (30 x 30 metros)"
              "\n\t\tla superficie de la ventana m\xA2vil es de 98.010 ha (0.980 km2) ");
}

TEST(Sizes, CircularWindow) {
    EXPECT_EQ(sizes(0, 1, 1, 19, 30.0),
              "\n\tCircular moving window characteristics: "
              "\n\t\tRadius rc (in pixels) = R + 0.5 = 19.50 "
              "\n\t\tcircular surface (in pixels) = 1201 "
              "\n\t\taccording to the pixel size (30 x 30 meters)"
              "\n\t\tthe surface of the circular moving window is 108.090 ha (1.081 km2) ");
    EXPECT_EQ(sizes(1, 1, 1, 0, 12.5),
              "\n\tParam\x8Atres de la fen\x88tre mobile circulaire : "
              "\n\t\tRayon rc (en pixels) = R + 0.5 = 0.50 "
              "\n\t\tSurface circulaire (en pixels) = 1 "
              "\n\t\tEn relation avec la taille du pixel (12 x 12 m\x8Atres)"
              "\n\t\tla surface de la fen\x88tre mobile circulaire est de 0.016 ha (0.000 km2) ");
    EXPECT_EQ(sizes(2, 1, 1, 19, 30.0),
              "\n\tPar\xA0metros de la ventana m\xA2vil circular: "
              "\n\t\tRadio rc (en p\xA1xeles) = R + 0.5 = 19.50 "
              "\n\t\tSuperficie circular (en p\xA1xeles) = 1201 "
              "\n\t\tEn relaci\xA2n con el tama\xA4o del p\xA1xel (30 x 30 metros)"
              "\n\t\tla superficie de la ventana m\xA2vil circular es de 108.090 ha (1.081 km2) ");
}

TEST(Sizes, ValuesKeptForTheRun) {
    StringConsole c;
    RunAnswers run;
    run.treat_type = 1;
    run.win_shape = 1;
    run.range_win = 2;
    LoadedMap map;
    map.dpix_size = 10.0;
    Window win;
    show_sizes(c.con, run, map, win);
    EXPECT_EQ(win.surf_tot, 21);
    EXPECT_DOUBLE_EQ(win.surf_window, 21.0);
    EXPECT_DOUBLE_EQ(win.ps2, 100.0);
    EXPECT_TRUE(win.tab_rad);
    // A later pass of the size loop that chooses the cell mesh keeps the mesh sizes.
    run.treat_type = 0;
    show_sizes(c.con, run, map, win);
    EXPECT_EQ(win.side, 5);
    EXPECT_EQ(win.surf_tot, 25);
    EXPECT_DOUBLE_EQ(win.surf_win, 0.25);
}
