// The report file: its body in the three languages compared byte for byte with the
// rows recomputed from the map and the window, and the handling of a report that
// cannot be created or written.
#include "results/report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "result_fixtures.h"

namespace {

namespace fs = std::filesystem;

struct ReportCase {
    RunAnswers run;
    LoadedMap map;
    Inventory inv;
    Window win;
};

// The 2 x 2 map with the codes 0, 3, 3, 255 stretched over 100 lines and 200 columns
// as far as the report is concerned: two items, 1 and 2 pixels.
ReportCase small_case(int idiom) {
    ReportCase c;
    c.run.idiom = idiom;
    c.run.nom_lect = "/data/maps/dem.raw";
    c.run.range_win = 1;
    c.run.treat_type = 1;
    c.run.win_shape = 0;
    c.map.nb_lig = 100;
    c.map.nb_col = 200;
    c.map.dpix_size = 30.0;
    c.inv.num_item = 2;
    c.inv.number_item[1] = 0;
    c.inv.number_item[2] = 3;
    c.inv.num_pixel_item[1] = 1;
    c.inv.num_pixel_item[2] = 2;
    c.inv.percent_item[1] = 1.0 / 3.0 * 100;
    c.inv.percent_item[2] = 2.0 / 3.0 * 100;
    c.win.side = 3;
    c.win.surf_tot = 9;
    c.win.ps = 30.0;
    c.win.ps2 = 900.0;
    c.win.surf_win = 9 * 900.0 * 0.0001;
    return c;
}

fx::Items small_items() {
    fx::Items it;
    it.code = {0, 3};
    it.pixels = {1, 2};
    it.total = 3;
    return it;
}

std::string body_of(const ReportCase& c, const fs::path& file) {
    Report rep;
    EXPECT_TRUE(rep.open(file.string()));
    write_report_body(rep, c.run, c.map, c.inv, c.win);
    EXPECT_TRUE(rep.close());
    return fx::slurp(file);
}

class ReportTest : public ::testing::Test {
  protected:
    fx::ScratchDir dir{"report"};
    fs::path file() const { return dir.root / "run_info.txt"; }
};

}  // namespace

TEST_F(ReportTest, SquareWindowBodyInEachLanguage) {
    for (int idiom = 0; idiom < 3; ++idiom) {
        SCOPED_TRACE(idiom);
        const ReportCase c = small_case(idiom);
        const std::string got = body_of(c, file());
        EXPECT_EQ(got, fx::report_body(idiom, "/data/maps/dem.raw", 100, 200, 30.0, small_items(),
                                       fx::square_rows(1, 30.0)));
        // The values the rows must show, read off the text itself.
        EXPECT_NE(got.find("= 100\t"), std::string::npos);
        EXPECT_NE(got.find(" = 30 "), std::string::npos);
        EXPECT_NE(got.find(" 18.000 km2 "), std::string::npos);
        EXPECT_NE(got.find(" 0 pixels 1 percent 33.33 "), std::string::npos);
        EXPECT_NE(got.find(" 3 pixels 2 percent 66.67 "), std::string::npos);
        EXPECT_NE(got.find("(1 x 2) + 1"), std::string::npos);
        EXPECT_NE(got.find(" = 3 x 3 "), std::string::npos);
        EXPECT_NE(got.find(" = 9 "), std::string::npos);
        EXPECT_NE(got.find("(30 x 30 met"), std::string::npos);
        EXPECT_NE(got.find(" 0.810 ha (0.008 km2) "), std::string::npos);
        // Two line feeds first; the body ends with the closing paragraph's line feed.
        EXPECT_EQ(got.substr(0, 4), "\n\n\t\t");
        EXPECT_EQ(got.substr(got.size() - 2), " \n");
        // Plain ASCII, but for the one 0xE9 byte of the French closing paragraph.
        int high = 0;
        for (unsigned char ch : got) high += ch > 127;
        EXPECT_EQ(high, idiom == 1 ? 1 : 0);
        if (idiom == 1) {
            EXPECT_NE(got.find("consid\xE9rant"), std::string::npos);
        }
    }
}

TEST_F(ReportTest, ShapeAloneChoosesTheWindowRows) {
    // The circle: rows 18 to 23, none of 11 to 17, whatever the treatment type.
    for (int treat : {1, 0}) {
        ReportCase c = small_case(0);
        c.run.treat_type = treat;
        c.run.win_shape = 1;
        c.run.range_win = 19;
        c.win.radius = 19.5;
        c.win.num_pix_circ = 1201;
        c.win.surf_win = 1201 * 900.0 * 0.0001;
        const std::string got = body_of(c, file());
        fx::WindowRows w;
        w.win_shape = 1;
        w.radius = 19.5;
        w.num_pix_circ = 1201;
        w.ps = 30.0;
        w.surf_win = c.win.surf_win;
        EXPECT_EQ(got, fx::report_body(0, "/data/maps/dem.raw", 100, 200, 30.0, small_items(), w));
        EXPECT_NE(got.find("= R + 0.5 = 19.50 "), std::string::npos);
        EXPECT_NE(got.find(" 108.090 ha (1.081 km2) "), std::string::npos);
        EXPECT_EQ(got.find("Chosen form: square"), std::string::npos);
        EXPECT_NE(got.find("\n\n\tMoving window characteristics: "), std::string::npos);
    }
    // The cell mesh after a dialogue that never chose the circle: the square rows.
    ReportCase c = small_case(2);
    c.run.treat_type = 0;
    const std::string got = body_of(c, file());
    EXPECT_NE(got.find("Forma elegida: cuadrado"), std::string::npos);
    EXPECT_EQ(got.find("circulo"), std::string::npos);
    EXPECT_NE(got.find("\n\n\tCaracteristicas de la ventana movil: "), std::string::npos);
}

TEST_F(ReportTest, PixelSizeTruncatedWhileTheSurfaceUsesItWhole) {
    ReportCase c = small_case(0);
    c.map.nb_lig = 40;
    c.map.nb_col = 40;
    c.map.dpix_size = 2.5;
    c.win.ps = 12.9;  // the window rows truncate their own pixel size too
    const std::string got = body_of(c, file());
    EXPECT_NE(got.find("\n\t\tPixel size = 2 "), std::string::npos);
    EXPECT_NE(got.find("\n\t\twhole surface 0.010 km2 "), std::string::npos);
    EXPECT_NE(got.find("(12 x 12 meters)"), std::string::npos);
}

TEST_F(ReportTest, LargeMapSurfaceDoesNotOverflow) {
    ReportCase c = small_case(0);
    c.map.nb_lig = 50000;
    c.map.nb_col = 60000;  // 3e9 pixels: more than a 32-bit count holds
    c.map.dpix_size = 1.0;
    const std::string got = body_of(c, file());
    EXPECT_NE(got.find("\n\t\tLines = 50000\tColumns = 60000 "), std::string::npos);
    EXPECT_NE(got.find("\n\t\twhole surface 3000.000 km2 "), std::string::npos);
}

TEST_F(ReportTest, MapWithoutItemsGoesStraightToTheWindow) {
    ReportCase c = small_case(1);
    c.inv = Inventory{};
    const std::string got = body_of(c, file());
    fx::Items none;
    EXPECT_EQ(got, fx::report_body(1, "/data/maps/dem.raw", 100, 200, 30.0, none,
                                   fx::square_rows(1, 30.0)));
    EXPECT_NE(got.find("\n\n\tNombre d'items = 0 \n\n\n\tCaracteristiques de la fenetre mobile : "),
              std::string::npos);
}

TEST_F(ReportTest, OpeningEmptiesAnEarlierReport) {
    fx::spit(file(), std::string(5000, 'x'));
    Report rep;
    ASSERT_TRUE(rep.open(file().string()));
    rep.write("\n\t\t%s ", {"abc"});
    rep.write("%d|%.2lf|%.3lf", {7, 2.0 / 3.0, 18.0});
    EXPECT_TRUE(rep.close());
    EXPECT_EQ(fx::slurp(file()), "\n\t\tabc 7|0.67|18.000");
    // Closing twice is harmless and keeps the verdict.
    EXPECT_TRUE(rep.close());
}

TEST_F(ReportTest, ReportThatCannotBeCreatedOrWrittenIsAFailure) {
    // A directory stands where the report should go.
    fs::create_directory(file());
    Report blocked;
    EXPECT_FALSE(blocked.open(file().string()));
    // Nothing is written through a stream that never opened, and that is a failure.
    blocked.write("\n\t\t%s ", {"abc"});
    EXPECT_FALSE(blocked.close());

#ifdef __linux__
    // A device is never written to.
    if (fs::exists("/dev/full")) {
        Report device;
        EXPECT_FALSE(device.open("/dev/full"));
    }
    // A full disk: the text only fails when it reaches the disk; the earlier report stays
    // as it was and no temporary file is left.
    fs::remove(file());
    fx::spit(file(), "the earlier report");
    {
        Report full;
        ASSERT_TRUE(full.open(file().string()));
        tf::FileSizeLimit limit(100);
        write_report_body(full, small_case(0).run, small_case(0).map, small_case(0).inv,
                          small_case(0).win);
        EXPECT_FALSE(full.close());
    }
    EXPECT_EQ(fx::slurp(file()), "the earlier report");
    EXPECT_EQ(std::distance(fs::directory_iterator(file().parent_path()), {}), 1);
#endif
}
