// The two result images in each format, their lines in the report, and what happens
// when one of them cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "raster/nrutil.h"
#include "result_fixtures.h"
#include "results/images.h"

namespace {

namespace fs = std::filesystem;

ByteGrid grid_of(const std::vector<unsigned char>& px, int L, int C) {
    ByteGrid g(ucmatrice(C, L), L);
    for (int i = 0; i < L; ++i)
        for (int j = 0; j < C; ++j) g[i][j] = px[static_cast<size_t>(i) * C + j];
    return g;
}

class ResultImages : public ::testing::Test {
  protected:
    static constexpr int L = 7, C = 11;  // a width that needs bitmap padding
    fx::ScratchDir dir{"results"};
    fx::ClassMap div = fx::make_map(L, C, 3, 5);
    fx::ClassMap homo = fx::make_map(L, C, 4, 9);
    RunAnswers run;
    LoadedMap map;
    Results res;
    std::istringstream in;
    std::ostringstream out;
    Console con{in, out, false};

    void SetUp() override {
        run.nomim3 = (dir.root / "run1").string();
        map.nb_lig = L;
        map.nb_col = C;
        map.dpix_size = 12.9;
        map.X_min = 500000;
        map.Y_min = 4000000.25;
        res.tab_divers = grid_of(div.px, L, C);
        res.tab_homo = grid_of(homo.px, L, C);
    }

    std::string base(const char* which) const { return run.nomim3 + which; }

    // Writes the images with a report holding only their lines; returns that report.
    std::string write_all(bool expect_ok, ResultFiles& files) {
        const fs::path report = dir.root / "run1_info.txt";
        Report rep;
        EXPECT_TRUE(rep.open(report.string()));
        EXPECT_EQ(write_result_images(con, run, map, res, rep, files), expect_ok);
        EXPECT_TRUE(rep.close());
        return fx::read_file(report);
    }
};

}  // namespace

TEST_F(ResultImages, RasterWritesHeaderAndPixelsOfBothImages) {
    run.res_form = kRaster;
    ResultFiles files;
    const std::string report = write_all(true, files);
    EXPECT_EQ(fx::list_folder(dir.root),
              (std::set<std::string>{"run1_diversity.raw", "run1_diversity.txt", "run1_homog.raw",
                                     "run1_homog.txt", "run1_info.txt"}));
    // The header carries the pixel size truncated toward zero.
    EXPECT_EQ(fx::read_file(base("_diversity.txt")), "7\n11\n1\n0\n255\n12\n");
    EXPECT_EQ(fx::read_file(base("_homog.txt")), "7\n11\n1\n0\n255\n12\n");
    EXPECT_EQ(fx::read_file(base("_diversity.raw")), fx::raw_pixels(div));
    EXPECT_EQ(fx::read_file(base("_homog.raw")), fx::raw_pixels(homo));
    EXPECT_EQ(files.nom_diversidad, base("_diversity.raw"));
    EXPECT_EQ(files.descr_diversidad, base("_diversity.txt"));
    EXPECT_EQ(files.nom_homo, base("_homog.raw"));
    EXPECT_EQ(files.descr_homo, base("_homog.txt"));
    EXPECT_EQ(report, "\n\t\tdiversity image: " + base("_diversity.raw") +
                          " \n\t\thomogeneity image: " + base("_homog.raw") + " ");
    EXPECT_EQ(out.str(), "");  // nothing is said about raster images
}

TEST_F(ResultImages, BitmapIsAnEightBitGreyRamp) {
    run.res_form = kBitmap;
    run.idiom = kFrench;
    ResultFiles files;
    const std::string report = write_all(true, files);
    EXPECT_EQ(fx::list_folder(dir.root),
              (std::set<std::string>{"run1_diversity.bmp", "run1_homog.bmp", "run1_info.txt"}));
    EXPECT_EQ(fx::read_file(base("_diversity.bmp")), fx::bmp_bytes(div));
    EXPECT_EQ(fx::read_file(base("_homog.bmp")), fx::bmp_bytes(homo));
    EXPECT_EQ(report, "\n\t\timage de la diversite : " + base("_diversity.bmp") +
                          " \n\t\timage de l'homogeneite : " + base("_homog.bmp") + " ");
    EXPECT_EQ(out.str(), "");
}

TEST_F(ResultImages, AsciiGridCarriesTheCorner) {
    run.res_form = kAscii;
    run.idiom = kSpanish;
    ResultFiles files;
    const std::string report = write_all(true, files);
    EXPECT_EQ(fx::list_folder(dir.root),
              (std::set<std::string>{"run1_diversity.asc", "run1_homog.asc", "run1_info.txt"}));
    EXPECT_EQ(fx::read_file(base("_diversity.asc")), fx::asc_bytes(div, 500000, 4000000.25, 12.9));
    EXPECT_EQ(fx::read_file(base("_homog.asc")), fx::asc_bytes(homo, 500000, 4000000.25, 12.9));
    const std::string header =
        "ncols 11\nnrows 7\nxllcorner 500000.000000\nyllcorner 4000000.250000\n"
        "cellsize 12.900000\nnodata_value -9999.9999\n";
    EXPECT_EQ(fx::read_file(base("_homog.asc")).substr(0, header.size()), header);
    EXPECT_EQ(report, "\n\t\timagen de la diversidad: " + base("_diversity.asc") +
                          " \n\t\timagen de la homogeneidad: " + base("_homog.asc") + " ");
    // Two blank lines on the console before each grid.
    EXPECT_EQ(out.str(), "\n\n\n\n");
}

TEST_F(ResultImages, ImageThatCannotBeCreatedIsReportedAndLeftOutOfTheReport) {
    const char* messages[3] = {"\n\tThe result file %s could not be written \n",
                               "\n\tLe fichier r\x82sultat %s n'a pas pu \x88tre \x82"
                               "crit \n",
                               "\n\tNo se pudo escribir el archivo de resultado %s \n"};
    for (int form : {kRaster, kBitmap, kAscii}) {
        SCOPED_TRACE(form);
        for (const auto& e : fs::directory_iterator(dir.root)) fs::remove_all(e.path());
        out.str("");
        run.res_form = form;
        run.idiom = form;  // one language per format
        const std::string ext = image_extension(form);
        // A folder stands where the diversity image should go.
        fs::create_directory(base("_diversity") + ext);
        ResultFiles files;
        const std::string report = write_all(false, files);
        const std::string gap = form == kAscii ? "\n\n" : "";
        EXPECT_EQ(out.str(),
                  gap + fx::fmt(messages[form], (base("_diversity") + ext).c_str()) + gap);
        // The homogeneity image is still written, and it alone is named.
        EXPECT_TRUE(fs::is_regular_file(base("_homog") + ext));
        EXPECT_EQ(report, fx::fmt(fx::row(30, form), (base("_homog") + ext).c_str()));
    }
}

TEST_F(ResultImages, RasterHeaderThatCannotBeCreatedIsNamed) {
    run.res_form = kRaster;
    fs::create_directory(base("_homog.txt"));
    ResultFiles files;
    const std::string report = write_all(false, files);
    EXPECT_EQ(out.str(), "\n\tThe result file " + base("_homog.txt") + " could not be written \n");
    EXPECT_EQ(report, "\n\t\tdiversity image: " + base("_diversity.raw") + " ");
    EXPECT_EQ(fx::read_file(base("_diversity.raw")), fx::raw_pixels(div));
}

#ifdef __linux__
TEST_F(ResultImages, ImageThatCannotBeWrittenInFullIsAFailure) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    for (int form : {kRaster, kBitmap, kAscii}) {
        SCOPED_TRACE(form);
        for (const auto& e : fs::directory_iterator(dir.root)) fs::remove_all(e.path());
        out.str("");
        run.res_form = form;
        const std::string ext = image_extension(form);
        // Every write to this file fails for want of space.
        fs::create_symlink("/dev/full", base("_homog") + ext);
        ResultFiles files;
        const std::string report = write_all(false, files);
        EXPECT_NE(out.str().find("\n\tThe result file " + base("_homog") + ext +
                                 " could not be written \n"),
                  std::string::npos);
        EXPECT_EQ(report, "\n\t\tdiversity image: " + base("_diversity") + ext + " ");
    }
}
#endif
