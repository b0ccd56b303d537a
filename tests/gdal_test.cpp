// The bitmap and ASCII-grid results opened by GDAL's command-line tools: another
// reader of both formats must see the same pixels, the grey palette and, for the grid,
// the corner and cell size. Skipped when the tools are not installed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "result_fixtures.h"
#include "dialogue/console.h"
#include "dialogue/opening.h"

namespace {

namespace fs = std::filesystem;

bool have_gdal() {
    return std::system(
               "command -v gdal_translate >/dev/null 2>&1 && "
               "command -v gdalinfo >/dev/null 2>&1") == 0;
}

int shell(const std::string& cmd) {
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

struct XyzPoint {
    double x, y, z;
};

// The pixels of `image` as GDAL reads them: one point per pixel, top line first.
std::vector<XyzPoint> gdal_pixels(const fs::path& image, const fs::path& scratch) {
    const fs::path xyz = scratch / (image.filename().string() + ".xyz");
    EXPECT_EQ(shell("gdal_translate -q -of XYZ \"" + image.string() + "\" \"" + xyz.string() +
                    "\" >/dev/null 2>&1"),
              0);
    std::vector<XyzPoint> pts;
    std::istringstream in(fx::slurp(xyz));
    XyzPoint p{};
    while (in >> p.x >> p.y >> p.z) pts.push_back(p);
    return pts;
}

std::string gdal_info(const fs::path& image, const fs::path& scratch) {
    const fs::path out = scratch / (image.filename().string() + ".info");
    EXPECT_EQ(shell("gdalinfo \"" + image.string() + "\" > \"" + out.string() + "\" 2>/dev/null"),
              0);
    return fx::slurp(out);
}

// A run on a raw map of 13 lines and 18 columns (30 m pixels), circular window of
// rank 2, results in `res_form`, with the mesh drawn.
struct GdalRun {
    fx::ScratchDir dir;
    fs::path folder;
    fx::ClassMap map = fx::make_map(13, 18, 77, 6);
    fx::Expected e;
    std::vector<unsigned char> divers;

    explicit GdalRun(int res_form)
        : dir("gdal" + std::to_string(res_form)), folder(dir.root / "m") {
        fs::create_directories(folder);
        fx::spit(folder / "land.txt", fx::raw_header(13, 18, 30));
        fx::spit(folder / "land.raw", fx::raw_pixels(map));
        std::ostringstream a;
        a << "0\n2\n" << dir.root.string() << "/\nm\nland\n0\n1\n2\n1\n1\n0\nres\n" << res_form;
        if (res_form == 2) a << "\n612000.5\n4401000.25";
        a << "\n0\n";
        std::istringstream in(a.str());
        std::ostringstream out;
        Console con(in, out, false);
        EXPECT_EQ(opening(con), 0);
        e = fx::compute(map, fx::Treat::Circle, 2);
        divers = fx::with_mesh(e.div, 13, 18, 2);
    }
};

void expect_same_pixels(const std::vector<XyzPoint>& pts, const std::vector<unsigned char>& px) {
    ASSERT_EQ(pts.size(), px.size());
    for (size_t k = 0; k < px.size(); ++k) {
        EXPECT_EQ(pts[k].z, static_cast<double>(px[k])) << "pixel " << k;
        if (pts[k].z != static_cast<double>(px[k])) return;
    }
}

}  // namespace

TEST(Gdal, ReadsTheBitmapResultsAsGreyRamps) {
    if (!have_gdal()) GTEST_SKIP() << "GDAL command-line tools not installed";
    GdalRun run(1);
    const fs::path div = run.folder / "res_diversity.bmp";
    const fs::path homo = run.folder / "res_homog.bmp";
    expect_same_pixels(gdal_pixels(div, run.dir.root), run.divers);
    expect_same_pixels(gdal_pixels(homo, run.dir.root), run.e.homo);

    const std::string info = gdal_info(homo, run.dir.root);
    EXPECT_NE(info.find("Size is 18, 13"), std::string::npos) << info;
    EXPECT_NE(info.find("Type=Byte"), std::string::npos) << info;
    // The palette: entry i is grey i.
    for (int i : {0, 1, 100, 254, 255})
        EXPECT_NE(info.find(fx::fmt("%d: %d,%d,%d,", i, i, i, i)), std::string::npos) << i;
}

TEST(Gdal, ReadsTheAsciiGridResultsWithTheirCorner) {
    if (!have_gdal()) GTEST_SKIP() << "GDAL command-line tools not installed";
    GdalRun run(2);
    for (const char* name : {"res_diversity.asc", "res_homog.asc"}) {
        SCOPED_TRACE(name);
        const auto pts = gdal_pixels(run.folder / name, run.dir.root);
        expect_same_pixels(pts, std::string(name) == "res_homog.asc" ? run.e.homo : run.divers);
        ASSERT_EQ(pts.size(), 13u * 18u);
        // Pixel centres: the top left one half a cell inside the upper left corner,
        // the bottom right one half a cell inside the lower right corner.
        EXPECT_DOUBLE_EQ(pts.front().x, 612000.5 + 15);
        EXPECT_DOUBLE_EQ(pts.front().y, 4401000.25 + 13 * 30 - 15);
        EXPECT_DOUBLE_EQ(pts.back().x, 612000.5 + 18 * 30 - 15);
        EXPECT_DOUBLE_EQ(pts.back().y, 4401000.25 + 15);
    }
}
