// Whole runs, from a map on disk to the result files: every input format, result
// format, treatment and language. Each written file is compared with what the test
// computes on its own from the map, the report byte for byte, and the console from the
// diversity histogram to the end.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
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

// One pass of the size loop: rank, treatment (0 cell mesh, 1 moving window) and,
// for a moving window, its shape (0 square, 1 circle); with a pixel edge above 0, the
// rank help is asked for with that edge and that surface.
struct Pass {
    int R;
    int treat;
    int shape;
    int help_edge = 0;
    double help_km2 = 0;
};

struct Scenario {
    const char* name;
    int idiom;
    int format;    // input: 0 raster, 1 bitmap, 2 ascii grid
    int res_form;  // results, same codes
    int L, C;
    std::uint32_t seed;
    int classes;
    double pix;                 // raster: whole metres; bitmap: typed; ascii grid: its cell size
    std::vector<Pass> passes;   // every pass but the last is rejected
    int mesh;                   // 0 draw the mesh, 1 do not
    bool no_value = true;       // some pixels of 255
    bool all_no_value = false;  // nothing but 255
};

void PrintTo(const Scenario& s, std::ostream* os) {
    *os << s.name;
}

const char* const kExt[3] = {".raw", ".bmp", ".asc"};
constexpr double kGridX = 500000, kGridY = 4000000;         // corner of an ascii-grid map
constexpr double kTypedX = 612345.5, kTypedY = 4412345.25;  // corner typed in the dialogue

// A scratch folder holding the map "land" in the input format of the scenario.
struct Workspace {
    fx::ScratchDir dir;
    fs::path folder;
    fx::ClassMap map;
    std::set<std::string> inputs;

    Workspace(const Scenario& s) : dir(s.name), folder(dir.root / "maps") {
        fs::create_directories(folder);
        map = fx::make_map(s.L, s.C, s.seed, s.classes, s.no_value);
        if (s.all_no_value) map.px.assign(map.px.size(), 255);
        switch (s.format) {
            case 0:
                fx::spit(folder / "land.txt", fx::raw_header(s.L, s.C, static_cast<int>(s.pix)));
                fx::spit(folder / "land.raw", fx::raw_pixels(map));
                inputs = {"land.raw", "land.txt"};
                break;
            case 1:
                fx::spit(folder / "land.bmp", fx::bmp_bytes(map));
                inputs = {"land.bmp"};
                break;
            default:
                fx::spit(folder / "land.asc", fx::asc_input_bytes(map, kGridX, kGridY, s.pix));
                inputs = {"land.asc"};
        }
    }
    std::string prefix() const { return dir.root.string() + "/"; }
    std::string result_base() const { return (folder / "res").string(); }
};

std::string answers_for(const Scenario& s, const Workspace& w) {
    std::ostringstream a;
    a << s.idiom << "\n2\n" << w.prefix() << "\nmaps\nland\n" << s.format << "\n";
    if (s.format == 1) a << s.pix << "\n";
    for (size_t k = 0; k < s.passes.size(); ++k) {
        const Pass& p = s.passes[k];
        if (p.help_edge > 0)
            a << "0\n" << p.help_edge << "\n" << p.help_km2 << "\n";
        else
            a << "1\n";
        a << p.R << "\n" << p.treat << "\n";
        if (p.treat == 1) a << p.shape << "\n";
        a << (k + 1 == s.passes.size() ? 0 : 1) << "\n";
    }
    a << "res\n" << s.res_form << "\n";
    if (s.res_form == 2 && s.format != 2) a << "612345.5\n4412345.25\n";  // kTypedX, kTypedY
    a << s.mesh << "\n";
    return a.str();
}

struct Outcome {
    int status;
    std::string console;
};

Outcome run_session(const std::string& answers) {
    std::istringstream in(answers);
    std::ostringstream out;
    Console con(in, out, false);
    const int status = opening(con);
    return {status, out.str()};
}

// What the window rows of the report show after the size loop of the scenario: the
// shape chosen last (kept through a cell-mesh pass), the sizes of the last pass, the
// pixel count of the last circle built, and the radius written last: by a circle
// (R + 0.5 pixels) or by the rank help (the radius in metres of the surface typed).
fx::WindowRows window_rows(const Scenario& s, double ps) {
    int shape = 0, circle_R = -1;
    double radius = 0;
    for (const Pass& p : s.passes) {
        if (p.help_edge > 0) radius = std::sqrt(p.help_km2 * 1e6 / 3.14159265358979323846);
        if (p.treat == 1) {
            shape = p.shape;
            if (p.shape == 1) {
                circle_R = p.R;
                radius = p.R + 0.5;
            }
        }
    }
    const Pass& last = s.passes.back();
    fx::WindowRows w = last.treat == 1 && last.shape == 1 ? fx::circle_rows(last.R, ps)
                                                          : fx::square_rows(last.R, ps);
    w.win_shape = shape;
    if (shape == 1 && circle_R >= 0) {
        w.radius = radius;
        w.num_pix_circ = fx::disc_pixels(circle_R);
    }
    return w;
}

// The bytes of one result image in the scenario's result format.
std::string image_bytes(const Scenario& s, const std::vector<unsigned char>& px, double dpix) {
    const fx::ClassMap m = fx::as_map(px, s.L, s.C);
    switch (s.res_form) {
        case 0:
            return fx::raw_pixels(m);
        case 1:
            return fx::bmp_bytes(m);
        default:
            return s.format == 2 ? fx::asc_bytes(m, kGridX, kGridY, dpix)
                                 : fx::asc_bytes(m, kTypedX, kTypedY, dpix);
    }
}

class WholeRun : public ::testing::TestWithParam<Scenario> {};

}  // namespace

TEST_P(WholeRun, FilesReportAndConsoleMatchAnIndependentComputation) {
    const Scenario& s = GetParam();
    Workspace w(s);
    const Outcome got = run_session(answers_for(s, w));
    ASSERT_EQ(got.status, 0) << got.console.substr(
        got.console.size() > 2000 ? got.console.size() - 2000 : 0);

    const Pass& last = s.passes.back();
    const fx::Treat t = last.treat == 0   ? fx::Treat::Cell
                        : last.shape == 0 ? fx::Treat::Square
                                          : fx::Treat::Circle;
    const fx::Expected e = fx::compute(w.map, t, last.R);
    const std::vector<unsigned char> divers =
        s.mesh == 0 ? fx::with_mesh(e.div, s.L, s.C, last.R) : e.div;
    const double dpix = s.pix;
    const std::string base = w.result_base();
    const std::string ext = kExt[s.res_form];

    // The folder holds the map, the report and the two images, nothing else.
    std::set<std::string> names = w.inputs;
    names.insert({"res_info.txt", "res_diversity" + ext, "res_homog" + ext});
    if (s.res_form == 0) names.insert({"res_diversity.txt", "res_homog.txt"});
    EXPECT_EQ(fx::list_folder(w.folder), names);

    EXPECT_EQ(fx::slurp(base + "_diversity" + ext), image_bytes(s, divers, dpix));
    EXPECT_EQ(fx::slurp(base + "_homog" + ext), image_bytes(s, e.homo, dpix));
    if (s.res_form == 0) {
        const std::string header = fx::raw_header(s.L, s.C, static_cast<int>(dpix));
        EXPECT_EQ(fx::slurp(base + "_diversity.txt"), header);
        EXPECT_EQ(fx::slurp(base + "_homog.txt"), header);
    }

    const std::string report =
        fx::report_body(s.idiom, (w.folder / "land").string() + kExt[s.format], s.L, s.C, dpix,
                        fx::inventory(w.map), window_rows(s, dpix)) +
        fx::fmt(fx::row(29, s.idiom), (base + "_diversity" + ext).c_str()) +
        fx::fmt(fx::row(30, s.idiom), (base + "_homog" + ext).c_str());
    EXPECT_EQ(fx::slurp(base + "_info.txt"), report);

    std::string tail = fx::histogram_text(e.div) +
                       fx::fmt(fx::kMeshQuestion[s.idiom], (base + "_diversity").c_str()) +
                       fx::kMeshChoices[s.idiom];
    if (s.mesh == 0) tail += fx::kMeshDrawing[s.idiom];
    if (s.res_form == 2) tail += "\n\n\n\n";
    tail += fx::kEndMessage[s.idiom];
    const size_t at = got.console.rfind("\n\n\tmax_histo = ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(got.console.substr(at), tail);
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, WholeRun,
    ::testing::Values(
        Scenario{"raster_square_en", 0, 0, 0, 17, 23, 1, 6, 30, {{2, 1, 0}}, 1},
        Scenario{"bitmap_circle_fr", 1, 1, 1, 19, 21, 2, 8, 12.5, {{3, 1, 1}}, 1},
        Scenario{"ascii_cells_mesh_es", 2, 2, 2, 16, 22, 3, 5, 25, {{2, 0, 0}}, 0},
        Scenario{"ascii_to_raster_cells_en", 0, 2, 0, 14, 13, 4, 4, 10, {{1, 0, 0}}, 1},
        Scenario{"raster_to_ascii_square_mesh_fr", 1, 0, 2, 13, 18, 5, 7, 20, {{1, 1, 0}}, 0},
        Scenario{"bitmap_to_raster_circle_mesh_es", 2, 1, 0, 15, 17, 6, 6, 7.75, {{2, 1, 1}}, 0},
        Scenario{"raster_to_bitmap_circle_en", 0, 0, 1, 21, 19, 7, 12, 5, {{4, 1, 1}}, 0},
        Scenario{"bitmap_to_ascii_cells_en", 0, 1, 2, 12, 15, 8, 3, 2.5, {{0, 0, 0}}, 1},
        Scenario{"ascii_to_bitmap_square_es", 2, 2, 1, 11, 14, 9, 9, 15, {{0, 1, 0}}, 1},
        // Sizes rejected once: the circle, then the cell mesh. The report keeps the
        // circle rows, with the circle's radius and pixels and the cell's surface.
        Scenario{"circle_then_cells_en", 0, 0, 0, 12, 16, 10, 5, 30, {{2, 1, 1}, {1, 0, 0}}, 1},
        // A square, then a circle: the circle is what runs and what the report shows.
        Scenario{"square_then_circle_fr", 1, 0, 1, 14, 14, 11, 6, 30, {{1, 1, 0}, {2, 1, 1}}, 1},
        // The circle, then the rank help and the cell mesh: the help leaves in the
        // radius that of a circle of 1 km2 in metres (564.19), which the circle rows show.
        Scenario{"circle_then_help_and_cells_es",
                 2,
                 0,
                 0,
                 12,
                 16,
                 14,
                 5,
                 30,
                 {{2, 1, 1}, {1, 0, 0, 30, 1.0}},
                 1},
        // The rank help in the pass that builds the circle: the circle's radius stands.
        Scenario{"help_and_circle_fr", 1, 0, 1, 13, 15, 15, 6, 25, {{2, 1, 1, 25, 0.5}}, 0},
        // A map smaller than the window: every pixel keeps 255, but for the mesh lines.
        Scenario{"window_larger_than_map_es", 2, 0, 0, 6, 9, 12, 4, 30, {{4, 1, 0}}, 0},
        // A map of 255 only: no item, diversity 0 and homogeneity 0 wherever evaluated.
        Scenario{"no_item_en", 0, 0, 0, 8, 10, 13, 4, 30, {{1, 1, 0}}, 1, true, true}),
    [](const ::testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

// ------------------------------------------------------------------ outputs that fail

namespace {

Scenario failing_scenario(int res_form, int idiom = 0) {
    return Scenario{"failing", idiom, 0, res_form, 10, 12, 21, 5, 30, {{1, 1, 0}}, 1};
}

std::string not_written(const std::string& name) {
    return "\n\tThe result file " + name + " could not be written \n";
}

}  // namespace

TEST(WholeRunFailure, ImageNameTakenByAFolderIsReportedAndLeftOut) {
    for (int form : {0, 1, 2}) {
        SCOPED_TRACE(form);
        const Scenario s = failing_scenario(form);
        Workspace w(s);
        const std::string ext = kExt[form];
        const std::string div_name = w.result_base() + "_diversity" + ext;
        fs::create_directory(div_name);
        const Outcome got = run_session(answers_for(s, w));
        EXPECT_EQ(got.status, 1);
        EXPECT_NE(got.console.find(not_written(div_name)), std::string::npos);
        // The run went on: the homogeneity image is written and named, the diversity
        // image is not named, and the end message still comes.
        const fx::Expected e = fx::compute(w.map, fx::Treat::Square, 1);
        EXPECT_EQ(fx::slurp(w.result_base() + "_homog" + ext), image_bytes(s, e.homo, 30));
        const std::string report = fx::slurp(w.result_base() + "_info.txt");
        EXPECT_EQ(report.find("_diversity"), std::string::npos);
        const std::string last =
            fx::fmt(fx::row(30, 0), (w.result_base() + "_homog" + ext).c_str());
        ASSERT_GE(report.size(), last.size());
        EXPECT_EQ(report.substr(report.size() - last.size()), last);
        EXPECT_EQ(got.console.substr(got.console.size() - std::string(fx::kEndMessage[0]).size()),
                  fx::kEndMessage[0]);
    }
}

TEST(WholeRunFailure, RasterHeaderNameTakenByAFolder) {
    const Scenario s = failing_scenario(0, 1);
    Workspace w(s);
    const std::string header = w.result_base() + "_homog.txt";
    fs::create_directory(header);
    const Outcome got = run_session(answers_for(s, w));
    EXPECT_EQ(got.status, 1);
    EXPECT_NE(got.console.find("\n\tLe fichier r\x82sultat " + header +
                               " n'a pas pu \x88tre \x82"
                               "crit \n"),
              std::string::npos);
    const std::string report = fx::slurp(w.result_base() + "_info.txt");
    EXPECT_NE(report.find("image de la diversite : " + w.result_base() + "_diversity.raw "),
              std::string::npos);
    EXPECT_EQ(report.find("_homog"), std::string::npos);
}

TEST(WholeRunFailure, ReportThatCannotBeCreatedStopsBeforeTheTreatment) {
    const Scenario s = failing_scenario(1, 2);
    Workspace w(s);
    const std::string report = w.result_base() + "_info.txt";
    fs::create_directory(report);
    const Outcome got = run_session(answers_for(s, w));
    EXPECT_EQ(got.status, 1);
    const std::string message = "\n\tNo se puede crear el archivo de informe " + report + " \n";
    ASSERT_GE(got.console.size(), message.size());
    EXPECT_EQ(got.console.substr(got.console.size() - message.size()), message);
    EXPECT_EQ(got.console.find("Tratamiento"), std::string::npos);
    std::set<std::string> names = w.inputs;
    names.insert("res_info.txt");  // the folder in the way
    EXPECT_EQ(fx::list_folder(w.folder), names);
}

TEST(WholeRunFailure, ResultFolderNotWritable) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    const Scenario s = failing_scenario(0);
    Workspace w(s);
    fs::permissions(w.folder, fs::perms::owner_read | fs::perms::owner_exec);
    const Outcome got = run_session(answers_for(s, w));
    fs::permissions(w.folder, fs::perms::owner_all);
    EXPECT_EQ(got.status, 1);
    const std::string message =
        "\n\tThe report file " + w.result_base() + "_info.txt cannot be created \n";
    EXPECT_EQ(got.console.substr(got.console.size() - message.size()), message);
    EXPECT_EQ(fx::list_folder(w.folder), w.inputs);
}

#ifdef __linux__
TEST(WholeRunFailure, OutputsOnAFullDisk) {
    // No file may grow past 1100 bytes: each 8-bit bitmap (1198 bytes) fails, the report
    // (about 1000 bytes) is written and names neither. No image is left, whole or cut.
    {
        const Scenario s = failing_scenario(1);
        Workspace w(s);
        const std::string div_name = w.result_base() + "_diversity.bmp";
        Outcome got{};
        {
            tf::FileSizeLimit full(1100);
            got = run_session(answers_for(s, w));
        }
        EXPECT_EQ(got.status, 1);
        EXPECT_NE(got.console.find(not_written(div_name)), std::string::npos);
        const std::string report = fx::slurp(w.result_base() + "_info.txt");
        EXPECT_NE(report.find("PROGRAM"), std::string::npos);
        EXPECT_EQ(report.find("_diversity"), std::string::npos);
        std::set<std::string> names = w.inputs;
        names.insert("res_info.txt");
        EXPECT_EQ(fx::list_folder(w.folder), names);
    }
    // The report cannot be written (raw images of 120 bytes can): the images are, and the
    // run fails; the earlier report stays as it was.
    {
        const Scenario s = failing_scenario(0);
        Workspace w(s);
        const std::string report = w.result_base() + "_info.txt";
        fx::spit(report, "the earlier report");
        Outcome got{};
        {
            tf::FileSizeLimit full(500);
            got = run_session(answers_for(s, w));
        }
        EXPECT_EQ(got.status, 1);
        EXPECT_NE(got.console.find(not_written(report)), std::string::npos);
        EXPECT_EQ(fx::slurp(report), "the earlier report");
        const fx::Expected e = fx::compute(w.map, fx::Treat::Square, 1);
        EXPECT_EQ(fx::slurp(w.result_base() + "_homog.raw"),
                  fx::raw_pixels(fx::as_map(e.homo, 10, 12)));
        EXPECT_EQ(fx::slurp(w.result_base() + "_diversity.raw"),
                  fx::raw_pixels(fx::as_map(e.div, 10, 12)));
    }
}
#endif

// ------------------------------------------------------------------ the program itself

namespace {

int run_program(const fs::path& answers, const fs::path& console) {
    const std::string cmd = std::string("\"") + LANDMOSAIC_EXE + "\" < \"" + answers.string() +
                            "\" > \"" + console.string() + "\" 2>&1";
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

}  // namespace

TEST(WholeRunProgram, ExitStatusAndFilesOfTheBuiltProgram) {
    const Scenario s = failing_scenario(0, 1);
    Workspace w(s);
    const fs::path answers = w.dir.root / "answers.txt";
    const fs::path console = w.dir.root / "console.txt";
    fx::spit(answers, answers_for(s, w));
    EXPECT_EQ(run_program(answers, console), 0);
    const fx::Expected e = fx::compute(w.map, fx::Treat::Square, 1);
    EXPECT_EQ(fx::slurp(w.result_base() + "_diversity.raw"),
              fx::raw_pixels(fx::as_map(e.div, 10, 12)));
    // The French end message, with the console's own encoding around it.
    EXPECT_NE(fx::slurp(console).find(fx::kEndMessage[1]), std::string::npos);

    // Answers that end before the dialogue is over: exit status 1, no result file.
    const std::string all = answers_for(s, w);
    fx::spit(answers, all.substr(0, all.find("res\n")));
    fs::remove(w.result_base() + "_info.txt");
    fs::remove(w.result_base() + "_diversity.raw");
    EXPECT_EQ(run_program(answers, console), 1);
    EXPECT_FALSE(fs::exists(w.result_base() + "_info.txt"));
    EXPECT_FALSE(fs::exists(w.result_base() + "_diversity.raw"));
}
