#include "formats/ascii_grid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image_readers.h"
#include "image_writers.h"
#include "raster_fixtures.h"
#include "text/catalogue.h"

namespace {

const std::string kHeader23 =
    "ncols 3\nnrows 2\nxllcorner 500000\nyllcorner 4000000\ncellsize 25\n";

Status read_text(const rt::TempDir& dir, const std::string& text, AsciiGridRead& g) {
    rt::spit(dir / "t.asc", text);
    return read_ascii_grid(dir / "t.asc", g);
}

}  // namespace

TEST(AsciiGrid, WritesTheHeaderThenOneLineOfTabEndedCells) {
    rt::TempDir dir;
    ByteGrid g = rt::grid_of(2, 3, {1, 2, 3, 4, 5, 6});
    ASSERT_TRUE(write_ascii_grid(dir / "g", g.get(), 2, 3, 500000, 4000000, 25));
    EXPECT_EQ(rt::slurp(dir / "g.asc"),
              "ncols 3\nnrows 2\nxllcorner 500000.000000\nyllcorner 4000000.000000\n"
              "cellsize 25.000000\nnodata_value -9999.9999\n1\t2\t3\t4\t5\t6\t");

    AsciiGridRead r;
    ASSERT_TRUE(read_ascii_grid(dir / "g.asc", r).ok());
    EXPECT_EQ(r.nb_col, 3);
    EXPECT_EQ(r.nb_lig, 2);
    EXPECT_EQ(r.X_min, 500000);
    EXPECT_EQ(r.Y_min, 4000000);
    EXPECT_EQ(r.dpix_size, 25);
    EXPECT_TRUE(r.has_nodata);
    EXPECT_EQ(r.nodata, -9999.9999);
    EXPECT_TRUE(rt::same_grid(r.cells, g, 2, 3));

    EXPECT_FALSE(write_ascii_grid(dir / "none/g", g.get(), 2, 3, 0, 0, 25));
}

TEST(AsciiGrid, ReadsGridsAsGisToolsWriteThem) {
    rt::TempDir dir;
    AsciiGridRead g;
    // Padded upper-case keywords, cell-centre variants, one text line per image line, CRLF.
    ASSERT_TRUE(read_text(dir,
                          "NCOLS        3\r\nNROWS        2\r\nXLLCENTER    2512060.760304\r\n"
                          "YLLCENTER    1145607.5\r\nCELLSIZE     100.005\r\nNODATA_value 255\r\n"
                          " 1 2 3\r\n 255   5 6\r\n",
                          g)
                    .ok());
    EXPECT_EQ(g.X_min, 2512060.760304);
    EXPECT_EQ(g.Y_min, 1145607.5);
    EXPECT_EQ(g.dpix_size, 100.005);
    EXPECT_TRUE(rt::same_grid(g.cells, rt::grid_of(2, 3, {1, 2, 3, 255, 5, 6}), 2, 3));
    // Without the no-data line, the sixth token is the first cell.
    ASSERT_TRUE(read_text(dir, kHeader23 + "7 8 9 10 11 12", g).ok());
    EXPECT_FALSE(g.has_nodata);
    EXPECT_TRUE(rt::same_grid(g.cells, rt::grid_of(2, 3, {7, 8, 9, 10, 11, 12}), 2, 3));
}

TEST(AsciiGrid, CellsKeepTheirLowEightBitsAndNoDataBecomes255) {
    rt::TempDir dir;
    struct Case {
        const char* nodata;
        const char* cells;
        std::vector<int> want;
    };
    const Case cases[] = {
        {"-9999.9999", "256 257 -1 300 -9999 0", {0, 1, 255, 44, 241, 0}},
        {"-9999", "-9999 -9999.0 3.0 7. +5 1e2", {255, 255, 3, 7, 5, 100}},
        {"-9999.9999",
         "-9999.9999 12345678901234567890 -12345678901234567890 254 255 0",
         {255, 210, 46, 254, 255, 0}},
        {"-3.4028234663852886e+38", "-3.4028234663852886e+38 1 2 3 4 5", {255, 1, 2, 3, 4, 5}},
        // A no-data value that is no finite number reads as "%lf" reads it.
        {"nan", "1 2 3 4 5 255", {1, 2, 3, 4, 5, 255}},
        {"-inf", "-inf 2 -INF 4 5 6", {255, 2, 255, 4, 5, 6}},
    };
    for (const Case& c : cases) {
        AsciiGridRead g;
        ASSERT_TRUE(read_text(dir, kHeader23 + "NODATA_value " + c.nodata + "\n" + c.cells, g).ok())
            << c.cells;
        for (int k = 0; k < 6; ++k) EXPECT_EQ(g.cells[k / 3][k % 3], c.want[k]) << c.cells;
    }
}

TEST(AsciiGrid, DamagedGridsAreRefusedWithTheirReason) {
    rt::TempDir dir;
    const std::string nd = "nodata_value -9999\n";
    struct Case {
        std::string text;
        const Text* why;
        const char* bad_cell;
    };
    const Case cases[] = {
        {kHeader23 + nd + "1 2 3 4 5", &txt::reason_few_cells, ""},
        {"ncols 1000\nnrows 1000\nx 0\ny 0\nc 1\n" + nd + "1 2 3 4 5 6", &txt::reason_few_cells,
         ""},
        {kHeader23 + nd + "1 2 3.5 4 5 6", &txt::reason_not_integer, "3.5"},
        {kHeader23 + nd + "1 2 3 4 five 6", &txt::reason_not_integer, "five"},
        {kHeader23 + nd + "1 2 inf 4 5 6", &txt::reason_not_integer, "inf"},
        {kHeader23 + "NODATA_value nan\n1 nan 3 4 5 6", &txt::reason_not_integer, "nan"},
        {kHeader23 + nd + "1 2 0x10 4 5 6", &txt::reason_not_integer, "0x10"},
        {kHeader23 + nd + "1 2 0x1p4 4 5 6", &txt::reason_not_integer, "0x1p4"},
        {kHeader23 + "0x10 2 3 4 5 6 7", &txt::reason_not_integer, "0x10"},  // no no-data pair
        {kHeader23 + "nodata_value 0xFF\n1 2 3 4 5 6", &txt::reason_header_unreadable, ""},
        {"ncols 0x3\nnrows 2\nx 0\ny 0\nc 1\n1 2 3 4 5 6", &txt::reason_header_unreadable, ""},
        {"", &txt::reason_header_unreadable, ""},
        {"ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize", &txt::reason_header_unreadable,
         ""},
        {"ncols x\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3 4 5 6",
         &txt::reason_header_unreadable, ""},
        {"ncols 3\nnrows 2\nxllcorner 0\ncellsize 1\n1 2 3 4 5 6", &txt::reason_header_unreadable,
         ""},
        {"ncols 2.5\nnrows 2\nx 0\ny 0\nc 1\n1 2 3 4 5 6", &txt::reason_header_unreadable, ""},
        {"ncols 0\nnrows 2\nx 0\ny 0\nc 1\n1 2", &txt::reason_bad_sizes, ""},
        {"ncols 3\nnrows -2\nx 0\ny 0\nc 1\n1 2", &txt::reason_bad_sizes, ""},
        {"ncols 100000\nnrows 100000\nx 0\ny 0\nc 1\n1 2", &txt::reason_too_large, ""},
    };
    for (const Case& c : cases) {
        AsciiGridRead g;
        const Status st = read_text(dir, c.text, g);
        EXPECT_EQ(st.code, Status::Code::Refused) << c.text;
        EXPECT_EQ(st.file, dir / "t.asc") << c.text;
        EXPECT_EQ(rt::said(st), c.why) << c.text;
        const std::string bad = *c.bad_cell ? std::get<std::string>(st.args.at(0)) : "";
        EXPECT_EQ(bad, c.bad_cell) << c.text;
        EXPECT_FALSE(g.cells) << c.text;
    }
    AsciiGridRead g;
    EXPECT_EQ(read_ascii_grid(dir / "none.asc", g).code, Status::Code::Missing);
    // Cells after the declared ones are ignored, and said to be there.
    ASSERT_TRUE(read_text(dir, kHeader23 + nd + "1 2 3 4 5 6", g).ok());
    EXPECT_FALSE(g.extra_cells);
    ASSERT_TRUE(read_text(dir, kHeader23 + nd + "1 2 3 4 5 6 7", g).ok());
    EXPECT_TRUE(g.extra_cells);
    EXPECT_EQ(g.cells[1][2], 6);
}

TEST(AsciiGrid, LargeGridsReadAcrossBlocksLineByLine) {
    rt::TempDir dir;
    const int nb_lig = 700, nb_col = 900;  // some 2.5 MB of text
    ByteGrid g = rt::random_grid(nb_lig, nb_col, 77);
    ASSERT_TRUE(write_ascii_grid(dir / "big", g.get(), nb_lig, nb_col, 1, 2, 3));
    std::vector<int> lines;
    AsciiGridRead r;
    const Progress record = [&](int i, int rows) {
        lines.push_back(i);
        return rows == nb_lig;
    };
    ASSERT_TRUE(read_ascii_grid(dir / "big.asc", r, record).ok());
    EXPECT_TRUE(rt::same_grid(r.cells, g, nb_lig, nb_col));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(nb_lig));
    for (int i = 0; i < nb_lig; ++i) EXPECT_EQ(lines[i], i);

    // The same cells laid out one text line per image line, with wide padding.
    std::string text = "ncols 900\nnrows 700\nx 1\ny 2\nc 3\n";
    for (int i = 0; i < nb_lig; ++i) {
        for (int j = 0; j < nb_col; ++j) text += "    " + std::to_string(g[i][j]);
        text += "\r\n";
    }
    ASSERT_TRUE(read_text(dir, text, r).ok());
    EXPECT_TRUE(rt::same_grid(r.cells, g, nb_lig, nb_col));
}
