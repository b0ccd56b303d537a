// The two result images in each format, their lines in the report, and what happens
// when one of them cannot be written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "formats/format.h"
#include "dialogue/stages.h"
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
        return fx::slurp(report);
    }
};

}  // namespace

TEST_F(ResultImages, NamesOfTheFilesWrittenInEachFormat) {
    const char* listed[3][5] = {{"run1_diversity.raw", "run1_diversity.txt", "run1_homog.raw",
                                 "run1_homog.txt", "run1_info.txt"},
                                {"run1_diversity.bmp", "run1_homog.bmp", "run1_info.txt", "", ""},
                                {"run1_diversity.asc", "run1_homog.asc", "run1_info.txt", "", ""}};
    for (int form : {kRaster, kBitmap, kAscii}) {
        SCOPED_TRACE(form);
        for (const auto& e : fs::directory_iterator(dir.root)) fs::remove_all(e.path());
        out.str("");
        run.res_form = form;
        run.idiom = form;  // one language per format
        const std::string ext = formats::format_of(form).extension();
        ResultFiles files;
        const std::string report = write_all(true, files);
        std::set<std::string> names;
        for (const char* n : listed[form])
            if (*n) names.insert(n);
        EXPECT_EQ(fx::list_folder(dir.root), names);
        EXPECT_EQ(files.nom_diversidad, base("_diversity") + ext);
        EXPECT_EQ(files.nom_homo, base("_homog") + ext);
        EXPECT_EQ(files.descr_diversidad, form == kRaster ? base("_diversity.txt") : "");
        EXPECT_EQ(files.descr_homo, form == kRaster ? base("_homog.txt") : "");
        EXPECT_EQ(report, fx::fmt(fx::row(29, form), files.nom_diversidad.c_str()) +
                              fx::fmt(fx::row(30, form), files.nom_homo.c_str()));
        // Only the ASCII grids say anything on the console: two blank lines each.
        EXPECT_EQ(out.str(), form == kAscii ? "\n\n\n\n" : "");
        // The bytes of both images; the raster header carries the pixel size truncated.
        const std::string want[3][2] = {{fx::raw_pixels(div), fx::raw_pixels(homo)},
                                        {fx::bmp_bytes(div), fx::bmp_bytes(homo)},
                                        {fx::asc_bytes(div, 500000, 4000000.25, 12.9),
                                         fx::asc_bytes(homo, 500000, 4000000.25, 12.9)}};
        EXPECT_EQ(fx::slurp(files.nom_diversidad), want[form][0]);
        EXPECT_EQ(fx::slurp(files.nom_homo), want[form][1]);
        if (form == kRaster) {
            EXPECT_EQ(fx::slurp(files.descr_diversidad), "7\n11\n1\n0\n255\n12\n");
            EXPECT_EQ(fx::slurp(files.descr_homo), "7\n11\n1\n0\n255\n12\n");
        }
    }
}

#ifdef __linux__
TEST_F(ResultImages, ImageThatCannotBeWrittenInFullIsAFailure) {
    for (int form : {kRaster, kBitmap, kAscii}) {
        SCOPED_TRACE(form);
        for (const auto& e : fs::directory_iterator(dir.root)) fs::remove_all(e.path());
        out.str("");
        run.res_form = form;
        const std::string ext = formats::format_of(form).extension();
        // A FIFO where the homogeneity image should go is not written to, and stays. A link
        // where the diversity image goes is replaced by the image; its target stays.
        ASSERT_EQ(mkfifo((base("_homog") + ext).c_str(), 0600), 0);
        fx::spit(dir.root / "target", "not to be overwritten");
        fs::create_symlink(dir.root / "target", base("_diversity") + ext);
        ResultFiles files;
        std::string report = write_all(false, files);
        EXPECT_EQ(fx::slurp(dir.root / "target"), "not to be overwritten");
        EXPECT_FALSE(fs::is_symlink(base("_diversity") + ext));
        EXPECT_GT(fs::file_size(base("_diversity") + ext), 0u);
        EXPECT_NE(out.str().find("\n\tThe result file " + base("_homog") + ext +
                                 " could not be written \n"),
                  std::string::npos);
        EXPECT_EQ(report, "\n\t\tdiversity image: " + base("_diversity") + ext + " ");
        EXPECT_TRUE(fs::is_fifo(base("_homog") + ext));

        // A full disk: no image is left under its name, whole or cut, nor any temporary file.
        for (const auto& e : fs::directory_iterator(dir.root)) fs::remove_all(e.path());
        fx::spit(base("_homog") + ext, "an earlier image");
        {
            Report rep;
            ASSERT_TRUE(rep.open((dir.root / "run1_info.txt").string()));
            tf::FileSizeLimit full(10);
            EXPECT_FALSE(write_result_images(con, run, map, res, rep, files));
        }
        EXPECT_EQ(fx::list_folder(dir.root), std::set<std::string>{"run1_homog" + ext});
        EXPECT_EQ(fx::slurp(base("_homog") + ext), "an earlier image");
    }
}
#endif
