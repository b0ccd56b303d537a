#include "formats/bitmap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "image_readers.h"
#include "image_writers.h"
#include "raster_fixtures.h"
#include "text/catalogue.h"
#include "text/status_text.h"

namespace {

std::string le(unsigned v, int bytes) {
    std::string s;
    for (int k = 0; k < bytes; ++k) s += static_cast<char>((v >> (8 * k)) & 0xFF);
    return s;
}

// Reads a bitmap through the program's row reader; the grid is empty on failure.
BitmapRead load(const std::string& name) { return read_bitmap(name); }

void patch(std::string& s, int off, unsigned v, int bytes) {
    s.replace(off, bytes, le(v, bytes));
}

}  // namespace

TEST(Bitmap, ThreeByTwoGreyImageHasTheSpecifiedBytes) {
    rt::TempDir dir;
    const std::string name = dir / "g.bmp";
    ByteGrid g = rt::grid_of(2, 3, {1, 2, 3, 4, 5, 6});
    ASSERT_EQ(SauveBMP(name.c_str(), g.get(), 3, 2, 0, nullptr), 0);

    std::string want = "BM" + le(1086, 4) + le(0, 4) + le(1078, 4) + le(40, 4) + le(3, 4) +
                       le(2, 4) + le(1, 2) + le(8, 2) + le(0, 4) + le(8, 4) + le(10000, 4) +
                       le(10000, 4) + le(0, 4) + le(0, 4);
    for (int i = 0; i < 256; ++i) want += std::string(3, static_cast<char>(i)) + '\0';
    want += std::string("\x04\x05\x06\x00\x01\x02\x03\x00", 8);  // bottom line first
    EXPECT_EQ(rt::slurp(name), want);

    // A width that is a multiple of 4 leaves no padding.
    ByteGrid w = rt::random_grid(3, 8, 1);
    ASSERT_EQ(SauveBMP(name.c_str(), w.get(), 8, 3, 0, nullptr), 0);
    EXPECT_EQ(rt::slurp(name).size(), 1078u + 24u);
}

TEST(Bitmap, RoundTripsInEveryForm) {
    rt::TempDir dir;
    const std::string name = dir / "r.bmp";
    for (int nb_col : {1, 2, 3, 4, 5, 7, 13}) {
        for (int nb_lig : {1, 2, 9}) {
            ByteGrid g = rt::random_grid(nb_lig, nb_col, nb_col * 31 + nb_lig);
            ASSERT_EQ(SauveBMP(name.c_str(), g.get(), nb_col, nb_lig, 0, nullptr), 0);
            BitmapRead r = load(name);
            ASSERT_TRUE(r.m) << nb_col << "x" << nb_lig;
            EXPECT_EQ(r.nb_col, nb_col);
            EXPECT_EQ(r.nb_lig, nb_lig);
            EXPECT_TRUE(rt::same_grid(r.m, g, nb_lig, nb_col));

            // 24 bits: lines of blue, green, red; grey pixels read as their grey, a
            // coloured one refused.
            ByteGrid bgr(ucmatrice(3 * nb_col, nb_lig), nb_lig);
            for (int i = 0; i < nb_lig; ++i)
                for (int j = 0; j < 3 * nb_col; ++j) bgr[i][j] = g[i][j / 3];
            ASSERT_EQ(SauveBMP(name.c_str(), bgr.get(), nb_col, nb_lig, 2, nullptr), 0);
            BitmapRead c = load(name);
            ASSERT_TRUE(c.m);
            EXPECT_TRUE(rt::same_grid(c.m, g, nb_lig, nb_col));
            bgr[nb_lig - 1][3 * nb_col - 1] ^= 1;
            ASSERT_EQ(SauveBMP(name.c_str(), bgr.get(), nb_col, nb_lig, 2, nullptr), 0);
            c = load(name);
            EXPECT_FALSE(c.m);
            EXPECT_EQ(rt::said(c.why), &txt::reason_colour);
        }
    }

    // An 8-bit bitmap with a palette of colours: its pixels are read as the indices they are.
    std::vector<Color32> pal(256);
    for (int i = 0; i < 256; ++i) pal[i] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
    pal[200] = {10, 20, 30, 0};
    ByteGrid g = rt::random_grid(4, 5, 3);
    ASSERT_EQ(SauveBMP(name.c_str(), g.get(), 5, 4, 1, pal.data()), 0);
    BitmapRead back = load(name);
    ASSERT_TRUE(back.m);
    EXPECT_TRUE(rt::same_grid(back.m, g, 4, 5));
    // The row reader hands it on as the map's colour table (red, green, blue, opaque);
    // a grey ramp is no table.
    Status st;
    auto coloured = formats::open_bitmap_source(name, st);
    ASSERT_TRUE(coloured) << status_text(st, 0, true);
    ASSERT_EQ(coloured->info().colours.size(), 256u);
    EXPECT_EQ(coloured->info().colours[200], (std::array<short, 4>{30, 20, 10, 255}));
    EXPECT_EQ(coloured->info().colours[7], (std::array<short, 4>{7, 7, 7, 255}));
    ASSERT_EQ(SauveBMP(name.c_str(), g.get(), 5, 4, 0, nullptr), 0);
    auto grey = formats::open_bitmap_source(name, st);
    ASSERT_TRUE(grey);
    EXPECT_TRUE(grey->info().colours.empty());
}

TEST(Bitmap, SizesReadInFullAndTopDownRowsInTheirOrder) {
    rt::TempDir dir;
    const std::string name = dir / "t.bmp";
    // Past the 16-bit limit in each direction.
    for (auto [nb_col, nb_lig] : {std::pair{70001, 1}, std::pair{1, 40000}}) {
        ByteGrid g = rt::random_grid(nb_lig, nb_col, 5);
        ASSERT_EQ(SauveBMP(name.c_str(), g.get(), nb_col, nb_lig, 0, nullptr), 0);
        BitmapRead r = load(name);
        ASSERT_TRUE(r.m);
        EXPECT_EQ(r.nb_col, nb_col);
        EXPECT_EQ(r.nb_lig, nb_lig);
        EXPECT_TRUE(rt::same_grid(r.m, g, nb_lig, nb_col));
    }
    // The same image stored top line first with a negative height.
    ByteGrid g = rt::random_grid(5, 6, 9);
    ASSERT_EQ(SauveBMP(name.c_str(), g.get(), 6, 5, 0, nullptr), 0);
    std::string s = rt::slurp(name);
    std::string top_down = s.substr(0, 1078);
    patch(top_down, 22, static_cast<unsigned>(-5), 4);
    for (int r = 4; r >= 0; --r) top_down += s.substr(1078 + 8 * r, 8);
    rt::spit(name, top_down);
    BitmapRead r = load(name);
    ASSERT_TRUE(r.m);
    EXPECT_EQ(r.nb_lig, 5);
    EXPECT_TRUE(rt::same_grid(r.m, g, 5, 6));
}

TEST(Bitmap, DamagedFilesAreRefusedWithTheirReason) {
    rt::TempDir dir;
    const std::string name = dir / "d.bmp";
    ByteGrid g = rt::random_grid(2, 3, 4);
    ASSERT_EQ(SauveBMP(name.c_str(), g.get(), 3, 2, 0, nullptr), 0);
    const std::string good = rt::slurp(name);
    struct Case {
        const char* what;
        std::string bytes;
        const Text* why;
    };
    auto with = [&](int off, unsigned v, int n) {
        std::string s = good;
        patch(s, off, v, n);
        return s;
    };
    const Case cases[] = {
        {"empty", "", &txt::reason_too_short},
        {"half header", good.substr(0, 30), &txt::reason_too_short},
        {"no palette end", good.substr(0, 1000), &txt::reason_too_short},
        {"one row", good.substr(0, 1082), &txt::reason_too_short},
        {"last byte", good.substr(0, 1085), &txt::reason_too_short},
        {"signature", with(0, 0x4D43, 2), &txt::reason_not_bitmap},
        {"4 bits", with(28, 4, 2), &txt::reason_bitmap_form},
        {"16 colours", with(10, 54 + 64, 4), &txt::reason_bitmap_form},
        {"compression 1", with(30, 1, 4), &txt::reason_compressed},
        {"compression 2", with(30, 2, 4), &txt::reason_compressed},
        {"bit fields", with(30, 3, 4), &txt::reason_compressed},
        {"embedded PNG", with(30, 5, 4), &txt::reason_compressed},
        {"two planes", with(26, 2, 2), &txt::reason_bitmap_form},
        {"core header", with(14, 12, 4), &txt::reason_bitmap_form},
        {"width 0", with(18, 0, 4), &txt::reason_bad_sizes},
        {"negative width", with(18, static_cast<unsigned>(-3), 4), &txt::reason_bad_sizes},
        {"height 0", with(22, 0, 4), &txt::reason_bad_sizes},
        {"absurd sizes", with(18, 60000, 4).replace(22, 4, le(60000, 4)), &txt::reason_too_large},
        {"sizes beyond the file", with(18, 40000, 4).replace(22, 4, le(40000, 4)),
         &txt::reason_too_short},
    };
    for (const Case& c : cases) {
        rt::spit(name, c.bytes);
        BitmapRead r = load(name);
        EXPECT_FALSE(r.m) << c.what;
        EXPECT_EQ(rt::said(r.why), c.why) << c.what;
        EXPECT_EQ(r.why.file, name) << c.what;
    }
    EXPECT_EQ(rt::said(load(dir / "none.bmp").why), &txt::reason_cannot_open);
    // A longer information header is accepted.
    rt::spit(name, with(14, 108, 4));
    EXPECT_TRUE(load(name).m);
}

TEST(Bitmap, FilesThatCannotBeWrittenReturnMinusOne) {
    rt::TempDir dir;
    ByteGrid g = rt::random_grid(2, 3, 4);
    EXPECT_EQ(SauveBMP((dir / "no/such/folder.bmp").c_str(), g.get(), 3, 2, 0, nullptr), -1);
    EXPECT_EQ(SauveBMP((dir / "x.bmp").c_str(), g.get(), 3, 2, 5, nullptr), -1);
#ifndef _WIN32
    // A device is never written to. A full disk is caught on the rows of a large image and
    // on the close of a small one (1086 bytes); neither leaves a file behind.
    EXPECT_EQ(SauveBMP("/dev/full", g.get(), 3, 2, 0, nullptr), -1);
    ByteGrid big = rt::random_grid(100, 4000, 4);
    {
        tf::FileSizeLimit full(1080);
        EXPECT_EQ(SauveBMP((dir / "big.bmp").c_str(), big.get(), 4000, 100, 0, nullptr), -1);
        EXPECT_EQ(SauveBMP((dir / "small.bmp").c_str(), g.get(), 3, 2, 0, nullptr), -1);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir / ""));
#endif
}
