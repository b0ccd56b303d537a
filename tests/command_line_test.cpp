// The command line: usage errors end with status 2 and a clear message; a batch run
// writes the same files, byte for byte, as the dialogue with the same choices; maps and
// results through GDAL keep the map's coordinate system, transform and no-data value.
#include "cli/command_line.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/array_scan.h"
#include "app/run.h"
#include "dialogue/console.h"
#include "dialogue/opening.h"
#include "engine/memory_rows.h"
#include "formats/gdal_raster.h"
#include "formats/png.h"
#include "image_readers.h"
#include "window/geometry.h"
#include "result_fixtures.h"
#include "results/quicklook.h"

namespace {

namespace fs = std::filesystem;

struct CliResult {
    int status;
    std::string out, err;
};

CliResult cli(std::vector<std::string> args) {
    args.insert(args.begin(), "landmosaic");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int status =
        run_command_line(static_cast<int>(argv.size()), argv.data(), out, err, false);
    return {status, out.str(), err.str()};
}

int shell(const std::string& cmd) {
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    const char* says;  // a piece of the message
};

void PrintTo(const UsageCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandLineUsage : public ::testing::TestWithParam<UsageCase> {};

}  // namespace

TEST_P(CommandLineUsage, EndsWithStatusTwoAndSaysWhy) {
    const UsageCase& c = GetParam();
    const CliResult r = cli(c.args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.find("not in range"), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLineUsage,
    ::testing::Values(
        UsageCase{"no_window", {"-r", "2", "m.raw"}, "--window"},
        UsageCase{"bad_window", {"-w", "hexagon", "-r", "2", "m.raw"}, "hexagon"},
        UsageCase{"no_rank", {"-w", "square", "m.raw"}, "--rank or --surface"},
        UsageCase{"rank_and_surface",
                  {"-w", "square", "-r", "2", "--surface", "1", "m.raw"},
                  "exclude each other"},
        UsageCase{"negative_rank", {"-w", "square", "-r", "-1", "m.raw"}, "--rank"},
        UsageCase{"rank_too_large", {"-w", "square", "-r", "23170", "m.raw"}, "23169"},
        UsageCase{"rank_not_a_number", {"-w", "square", "-r", "two", "m.raw"}, "two"},
        UsageCase{"negative_surface", {"-w", "circle", "--surface", "-1", "m.raw"}, "--surface"},
        UsageCase{"bad_format", {"-w", "mesh", "-r", "1", "-f", "png", "m.raw"}, "png"},
        UsageCase{"bad_language", {"-w", "mesh", "-r", "1", "--lang", "de", "m.raw"}, "de"},
        UsageCase{"mesh_lines_on_window",
                  {"-w", "circle", "-r", "1", "--mesh-lines", "m.raw"},
                  "--window mesh"},
        UsageCase{"x_without_y", {"-w", "mesh", "-r", "1", "--x-min", "5", "m.raw"}, "--y-min"},
        UsageCase{"zero_pixel_size",
                  {"-w", "mesh", "-r", "1", "--pixel-size", "0", "m.bmp"},
                  "--pixel-size"},
        UsageCase{"band_zero", {"-w", "mesh", "-r", "1", "--band", "0", "m.tif"}, "--band"},
        UsageCase{"no_map", {"-w", "mesh", "-r", "1"}, "MAP"},
        UsageCase{"two_maps", {"-w", "mesh", "-r", "1", "a.raw", "b.raw"}, "b.raw"},
        UsageCase{"unknown_option", {"-w", "mesh", "-r", "1", "--colour", "m.raw"}, "--colour"},
        // Each option says what was given and what it takes.
        UsageCase{"threads_zero",
                  {"-w", "mesh", "-r", "1", "--threads", "0", "m.raw"},
                  "--threads '0' is not allowed: it takes a whole number, 1 or more"},
        UsageCase{"memory_not_a_number",
                  {"-w", "mesh", "-r", "1", "--memory", "abc", "m.raw"},
                  "--memory 'abc' is not allowed: it takes a whole number from 1 to"},
        UsageCase{"rank_not_whole",
                  {"-w", "mesh", "-r", "3.5", "m.raw"},
                  "--rank '3.5' is not allowed: it takes a whole number from 0 to 23169"},
        UsageCase{"png_format",
                  {"-w", "mesh", "-r", "1", "-f", "png", "m.raw"},
                  "one of tif, cog, raw, bmp, asc (PNG pictures come with --quicklook)"},
        UsageCase{"pixel_size_nan",
                  {"-w", "mesh", "-r", "1", "--pixel-size", "nan", "m.bmp"},
                  "--pixel-size 'nan' is not allowed: it takes a number above 0, up to 10000000"},
        UsageCase{"pixel_size_huge",
                  {"-w", "mesh", "-r", "1", "--pixel-size", "1e300", "m.bmp"},
                  "1e300"},
        UsageCase{"x_min_nan",
                  {"-w", "mesh", "-r", "1", "--x-min", "nan", "--y-min", "0", "m.bmp"},
                  "--x-min 'nan'"},
        UsageCase{"y_min_infinite",
                  {"-w", "mesh", "-r", "1", "--x-min", "0", "--y-min", "-inf", "m.bmp"},
                  "--y-min '-inf'"},
        UsageCase{"surface_nan", {"-w", "mesh", "--surface", "nan", "m.bmp"}, "--surface 'nan'"},
        UsageCase{"surface_hexadecimal", {"-w", "mesh", "--surface", "0x10", "m.bmp"}, "0x10"},
        UsageCase{"creation_option_without_value",
                  {"-w", "mesh", "-r", "1", "--co", "COMPRESS", "m.tif"},
                  "--co 'COMPRESS' is not allowed: it takes NAME=VALUE"},
        UsageCase{"creation_option_for_raw",
                  {"-w", "mesh", "-r", "1", "-f", "raw", "--co", "COMPRESS=LZW", "m.tif"},
                  "--co needs -f tif|cog"},
        UsageCase{"in_french",
                  {"--lang", "fr", "-w", "mesh", "-r", "1", "--band", "x", "m.tif"},
                  "--band 'x' n'est pas accept\xC3\xA9 : l'option prend un nombre entier de 1 "
                  "\xC3\xA0 65535\nLancer avec --help"},
        UsageCase{"unknown_metric",
                  {"-w", "mesh", "-r", "1", "--metrics", "diversity,richness", "m.raw"},
                  "'richness'; the metrics are diversity, homogeneity, shannon, simpson, "
                  "evenness, dominant, share:CODE"},
        UsageCase{"share_of_no_class",
                  {"-w", "mesh", "-r", "1", "--metrics", "share:255", "m.raw"},
                  "share:255"},
        UsageCase{
            "real_metric_in_a_native_format",
            {"-w", "square", "-r", "1", "-f", "asc", "--metrics", "homogeneity,shannon", "m.raw"},
            "shannon needs GeoTIFF results (-f tif): the asc format"},
        UsageCase{
            "quicklook_without_homogeneity",
            {"-w", "square", "-r", "1", "--quicklook", "--metrics", "diversity,shannon", "m.tif"},
            "--quicklook needs diversity and homogeneity"},
        UsageCase{"quicklook_in_spanish",
                  {"--lang", "es", "-w", "square", "-r", "1", "--quicklook", "--metrics",
                   "diversity", "m.tif"},
                  "--quicklook necesita diversity y homogeneity entre las --metrics\n"
                  "Ejecutar con --help"},
        // What the parser of the options cannot read, and the metrics' reasons, are in the
        // run's language too.
        UsageCase{"unexpected_in_french",
                  {"--lang", "fr", "-w", "mesh", "-r", "1", "--colour", "m.raw"},
                  "L'argument suivant n'\xC3\xA9tait pas attendu : --colour\nLancer avec"},
        UsageCase{"two_maps_in_spanish",
                  {"--lang", "es", "-w", "mesh", "-r", "1", "a.raw", "b.raw"},
                  "El siguiente argumento no se esperaba: b.raw\nEjecutar con"},
        UsageCase{"value_missing_in_french",
                  {"--lang", "fr", "-w", "mesh", "-r"},
                  ": --rank demande une valeur\nLancer avec"},
        UsageCase{"flag_value_in_spanish",
                  {"--lang", "es", "-w", "mesh", "-r", "1", "--quiet=abc", "m.raw"},
                  ": --quiet no lleva valor (abc dado)\nEjecutar con"},
        UsageCase{"unknown_metric_in_french",
                  {"--lang", "fr", "-w", "mesh", "-r", "1", "--metrics", "richness", "m.raw"},
                  "m\xC3\xA9trique inconnue 'richness' ; les m\xC3\xA9triques sont diversity, "},
        UsageCase{"share_code_in_spanish",
                  {"--lang", "es", "-w", "mesh", "-r", "1", "--metrics", "share:300", "m.raw"},
                  "m\xC3\xA9trica desconocida 'share:300': una proporci\xC3\xB3n lleva un "
                  "c\xC3\xB3"
                  "digo de clase de 0 a 254 (share:CODE)"},
        UsageCase{
            "metric_twice_in_french",
            {"--lang", "fr", "-w", "mesh", "-r", "1", "--metrics", "dominant,dominant", "m.raw"},
            "la m\xC3\xA9trique 'dominant' est nomm\xC3\xA9"
            "e deux fois"},
        UsageCase{"min_valid_zero",
                  {"-w", "square", "-r", "1", "--min-valid", "0", "m.raw"},
                  "--min-valid"},
        UsageCase{"min_valid_above_100",
                  {"-w", "square", "-r", "1", "--min-valid", "100.5", "m.raw"},
                  "--min-valid"}),
    [](const ::testing::TestParamInfo<UsageCase>& i) { return std::string(i.param.name); });

TEST(CommandLine, HelpIsGroupedShortAndListsWhatTheReadmeLists) {
    const CliResult help = cli({"--help"});
    ASSERT_EQ(help.status, 0);
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);) EXPECT_LT(line.size(), 100u) << line;
    for (const char* piece : {"\nMap:\n", "\nWindow:\n", "\nResults:\n", "\nRun:\n",
                              "\nExamples:\n", "summary BASE"})
        EXPECT_NE(help.out.find(piece), std::string::npos) << piece;
    for (const char* notation : {"TEXT", "INT", ":{"})
        EXPECT_EQ(help.out.find(notation), std::string::npos) << notation;

    // Every long option of the help is in the README's synopsis, and the other way round.
    auto options_in = [](const std::string& text) {
        std::set<std::string> found;
        for (std::size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at + 2)) {
            std::size_t end = at + 2;
            while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '-'))
                ++end;
            if (end > at + 2) found.insert(text.substr(at, end - at));
        }
        return found;
    };
    const std::string readme = fx::slurp(std::string(LANDMOSAIC_SOURCE_DIR) + "/README.md");
    const std::size_t from = readme.find("```\nlandmosaic [options] MAP");
    ASSERT_NE(from, std::string::npos);
    const std::string synopsis = readme.substr(from, readme.find("```", from + 3) - from);
    const std::string listed = help.out.substr(0, help.out.find("\nExamples:"));
    EXPECT_EQ(options_in(synopsis), options_in(listed));
}

TEST(CommandLine, MapNamesOutputFoldersAndWarnings) {
    fx::ScratchDir dir("cli_names");
    const std::string bytes = fx::asc_input_bytes(fx::make_map(6, 7, 3, 3), 0, 0, 10);
    fx::spit(dir.root / "m.asc", bytes);
    const std::string stem = (dir.root / "m").string();

    // A missing map is named, and the map it may have meant is suggested; a folder is said
    // to be one.
    CliResult r = cli({"-w", "square", "-r", "1", "-f", "raw", stem});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "landmosaic: cannot open map '" + stem + "': no such file (there is " + stem +
                         ".asc)\n");
    r = cli({"-w", "square", "-r", "1", "-f", "raw", dir.root.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "landmosaic: cannot open map '" + dir.root.string() + "': it is a folder\n");

    // An extension in capitals is the same format; the results go into a folder -o names,
    // under the default name, whether or not it ends with a separator.
    fx::spit(dir.root / "UP.ASC", bytes);
    fs::create_directory(dir.root / "runs");
    for (const std::string& o : {(dir.root / "runs").string(), (dir.root / "runs").string() + "/"}) {
        r = cli({"-q", "-w", "square", "-r", "1", "-f", "raw", "-o", o, (dir.root / "UP.ASC").string()});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, (dir.root / "runs" / "UP_square1_info.txt").string() + "\n" +
                             (dir.root / "runs" / "UP_square1_diversity.raw").string() + "\n" +
                             (dir.root / "runs" / "UP_square1_homog.raw").string() + "\n");
    }
    // A folder that is not there is said to be missing.
    r = cli({"-w", "square", "-r", "1", "-f", "raw", "-o", (dir.root / "none/").string(),
             dir.root / "m.asc"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "landmosaic: the output folder " + (dir.root / "none/").string() +
                         " does not exist\n");
    r = cli({"-w", "square", "-r", "1", "-f", "raw", "-o", (dir.root / "none" / "x").string(),
             dir.root / "m.asc"});
    EXPECT_EQ(r.err, "landmosaic: the output folder " + (dir.root / "none").string() +
                         " does not exist\n");

    // A window larger than the map, more threads than cores, options the map overrides:
    // warned, and the run goes through.
    r = cli({"-q", "-w", "circle", "-r", "3", "-f", "raw", "--threads", "100000", "--pixel-size",
             "5", "-o", (dir.root / "big").string(), dir.root / "m.asc"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("landmosaic: --pixel-size is ignored: the map " +
                         (dir.root / "m.asc").string() + " carries its own georeference\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("landmosaic: the window (7 x 7 pixels) is larger than the map (6 lines, 7 "
                         "columns): every result pixel is no value; rank 2 or less fits\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("--threads 100000: this machine has "), std::string::npos) << r.err;
    EXPECT_EQ(fx::slurp(dir.root / "big_diversity.raw"), std::string(42, '\xFF'));
    // The warnings are in the JSON summary too; a failed run records the rank as given.
    r = cli({"-q", "-w", "circle", "-r", "3", "-f", "raw", "--json", (dir.root / "w.json").string(),
             "-o", (dir.root / "big").string(), dir.root / "m.asc"});
    EXPECT_NE(fx::slurp(dir.root / "w.json").find("\"warnings\": [\n    \"the window (7 x 7 pixels)"),
              std::string::npos)
        << fx::slurp(dir.root / "w.json");
    r = cli({"-q", "-w", "circle", "-r", "3", "-f", "raw", "--json", (dir.root / "f.json").string(),
             (dir.root / "absent.asc").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(fx::slurp(dir.root / "f.json").find("\"rank\": 3,"), std::string::npos)
        << fx::slurp(dir.root / "f.json");
}

// What the run itself says on standard error follows --lang: the progress bar (its first
// line the map's size, said before any row is read) and the usage faults found only once
// the map is open.
TEST(CommandLine, ProgressBarAndTheRunsUsageFaultsSpeakTheRunsLanguage) {
    fx::ScratchDir dir("cli_words");
    const fx::ClassMap m = fx::make_map(6, 7, 5, 3);
    fx::spit(dir.root / "m.raw", fx::raw_pixels(m));
    fx::spit(dir.root / "m.txt", fx::raw_header(6, 7, 10));
    const std::string map = (dir.root / "m.raw").string();
    struct Words {
        const char* lang;
        const char* size_line;
        const char* corner;  // ascii results of a map without coordinates
        const char* hint;
    };
    const Words words[] = {
        {"en", "map of 6 lines x 7 columns: 42 pixels\n",
         "ascii results from a map without coordinates need --x-min and --y-min",
         "Run with --help for more information."},
        {"fr", "carte de 6 lignes x 7 colonnes : 42 pixels\n",
         "les r\xC3\xA9sultats ascii d'une carte sans coordonn\xC3\xA9"
         "es demandent --x-min et --y-min",
         "Lancer avec --help pour en savoir plus."},
        {"es", "mapa de 6 l\xC3\xADneas x 7 columnas: 42 p\xC3\xADxeles\n",
         "los resultados ascii de un mapa sin coordenadas necesitan --x-min y --y-min",
         "Ejecutar con --help para m\xC3\xA1s informaci\xC3\xB3n."},
    };
    const std::string full_bar = "\r[" + std::string(40, '#') + "] 100%" + std::string(24, ' ') + "\n";
    for (const Words& w : words) {
        SCOPED_TRACE(w.lang);
        std::vector<std::string> args = {"landmosaic", "--lang", w.lang, "-w", "square", "-r",
                                         "1", "-f", "raw", "-o", (dir.root / "r").string(), map};
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        std::ostringstream out, err;
        // A terminal: the bar is drawn, its first line before it, its last line full.
        EXPECT_EQ(run_command_line(static_cast<int>(argv.size()), argv.data(), out, err, true), 0)
            << err.str();
        const std::string e = err.str();
        EXPECT_TRUE(e.starts_with(std::string(w.size_line) + "\r[")) << e;
        EXPECT_TRUE(e.ends_with(full_bar)) << e;
        EXPECT_EQ(fx::slurp(dir.root / "r_diversity.raw").size(), 42u);
        // Quiet: no bar and no size line.
        const CliResult quiet = cli({"-q", "--lang", w.lang, "-w", "square", "-r", "1", "-f",
                                     "raw", "-o", (dir.root / "q").string(), map});
        EXPECT_EQ(quiet.status, 0);
        EXPECT_EQ(quiet.err, "");
        // A usage fault found once the map is open: status 2, the run's language, the hint.
        const CliResult r = cli({"--lang", w.lang, "-w", "square", "-r", "1", "-f", "asc", "-o",
                                 (dir.root / "a").string(), map});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, std::string("landmosaic: ") + w.corner + "\n" + w.hint + "\n");
        EXPECT_FALSE(fs::exists(dir.root / "a_info.txt"));
    }
}

TEST(CommandLine, HelpVersionAndRunFailuresHaveTheirOwnStatus) {
    // Help and version on standard output, status 0, also from the program itself.
    EXPECT_EQ(shell(std::string(LANDMOSAIC_EXE) + " --help >/dev/null 2>&1"), 0);
    EXPECT_EQ(shell(std::string(LANDMOSAIC_EXE) + " -w square >/dev/null 2>&1"), 2);
    const CliResult help = cli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--surface"), std::string::npos);
    EXPECT_NE(help.out.find(gdal_available() ? "through GDAL" : "only the native formats"),
              std::string::npos);
    EXPECT_EQ(cli({"--version"}).status, 0);

    // A map that is not there is a failed run (1), named in the chosen language.
    fx::ScratchDir dir("cli_missing");
    const std::string map = (dir.root / "none.asc").string();
    const CliResult r = cli({"-w", "square", "-r", "1", "-f", "raw", "--lang", "fr", map});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("impossible d'ouvrir la carte '" + map + "' : ce fichier n'existe pas"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(fx::list_folder(dir.root).empty());

    // A result that would replace the map is refused before anything is written.
    const std::string bytes = fx::asc_input_bytes(fx::make_map(6, 7, 3, 3), 0, 0, 10);
    fx::spit(dir.root / "r_homog.asc", bytes);
    const CliResult clash = cli({"-w", "square", "-r", "1", "-f", "asc", "-o",
                                 (dir.root / "r").string(), (dir.root / "r_homog.asc").string()});
    EXPECT_EQ(clash.status, 2);
    EXPECT_NE(clash.err.find("would replace the map"), std::string::npos) << clash.err;
    EXPECT_EQ(fx::slurp(dir.root / "r_homog.asc"), bytes);
    EXPECT_EQ(fx::list_folder(dir.root), std::set<std::string>{"r_homog.asc"});
}

// ------------------------------------------------------------------ batch = dialogue

namespace {

struct SameRun {
    const char* name;
    int format;    // input: 0 raw, 1 bitmap, 2 ascii grid
    int res_form;  // results: 0 raw, 1 bitmap, 2 ascii grid
    WindowKind window;
    int R;  // the rank; with help_km2 > 0, the rank the rank help advises
    int idiom;
    bool mesh_lines = false;
    double help_km2 = 0;
};

void PrintTo(const SameRun& s, std::ostream* os) {
    *os << s.name;
}

constexpr int kPix = 30;
const char* const kExt[3] = {".raw", ".bmp", ".asc"};

class BatchEqualsDialogue : public ::testing::TestWithParam<SameRun> {};

}  // namespace

TEST_P(BatchEqualsDialogue, SameFilesByteForByte) {
    const SameRun& s = GetParam();
    fx::ScratchDir dir(std::string("cli_same_") + s.name);
    const fs::path folder = dir.root / "maps";
    fs::create_directories(folder);
    const fx::ClassMap map = fx::make_map(23, 31, 4242 + s.format, 7);
    switch (s.format) {
        case 0:
            fx::spit(folder / "land.txt", fx::raw_header(23, 31, kPix));
            fx::spit(folder / "land.raw", fx::raw_pixels(map));
            break;
        case 1:
            fx::spit(folder / "land.bmp", fx::bmp_bytes(map));
            break;
        default:
            fx::spit(folder / "land.asc", fx::asc_input_bytes(map, 500000, 4000000, kPix));
    }

    // The dialogue, its results moved aside.
    const int treat = s.window == WindowKind::Mesh ? 0 : 1;
    std::ostringstream a;
    a << s.idiom << "\n2\n" << dir.root.string() << "/\nmaps\nland\n" << s.format << "\n";
    if (s.format == 1) a << kPix << "\n";
    if (s.help_km2 > 0)
        a << "0\n" << kPix << "\n" << s.help_km2 << "\n";
    else
        a << "1\n";
    a << s.R << "\n" << treat << "\n";
    if (treat == 1) a << (s.window == WindowKind::Circle ? 1 : 0) << "\n";
    a << "0\nres\n" << s.res_form << "\n";
    if (s.res_form == 2 && s.format != 2) a << "612345.5\n4412345.25\n";
    a << (s.mesh_lines ? 0 : 1) << "\n";
    std::istringstream in(a.str());
    std::ostringstream console;
    Console con(in, console, false);
    ASSERT_EQ(opening(con), 0) << console.str();
    const fs::path aside = dir.root / "dialogue";
    fs::create_directories(aside);
    std::set<std::string> results;
    for (const std::string& name : fx::list_folder(folder)) {
        if (name.rfind("res", 0) != 0) continue;
        results.insert(name);
        fs::rename(folder / name, aside / name);
    }
    ASSERT_EQ(results.size(), s.res_form == 0 ? 5u : 3u);

    // The same run from the command line's request.
    RunRequest req;
    req.map = (folder / "land").string() + kExt[s.format];
    req.window = s.window;
    if (s.help_km2 > 0)
        req.surface_km2 = s.help_km2;
    else
        req.rank = s.R;
    req.output_base = (folder / "res").string();
    req.res_form = s.res_form;
    req.idiom = s.idiom;
    req.mesh_lines = s.mesh_lines;
    if (s.format == 1) req.pixel_size = kPix;
    if (s.res_form == 2 && s.format != 2) {
        req.has_corner = true;
        req.x_min = 612345.5;
        req.y_min = 4412345.25;
    }
    const RunOutcome out = run_landmosaic(req);
    ASSERT_EQ(out.exit_status, 0);
    EXPECT_EQ(out.run.range_win, s.R);
    for (const std::string& name : results)
        EXPECT_EQ(fx::slurp(folder / name), fx::slurp(aside / name)) << name;
    std::set<std::string> expected = results;
    expected.insert({"land" + std::string(kExt[s.format])});
    if (s.format == 0) expected.insert("land.txt");
    EXPECT_EQ(fx::list_folder(folder), expected);

    // The same run cancelled by its progress: no file written or left behind, the
    // results of the run before intact.
    int calls = 0;
    const RunOutcome cancelled = run_landmosaic(req, [&](int, int) { return ++calls < 2; });
    EXPECT_EQ(cancelled.exit_status, 1);
    ASSERT_FALSE(cancelled.failures.empty());
    EXPECT_EQ(cancelled.failures.back().code, Status::Code::Cancelled);
    EXPECT_EQ(fx::list_folder(folder), expected);
    for (const std::string& name : results)
        EXPECT_EQ(fx::slurp(folder / name), fx::slurp(aside / name)) << name;
}

INSTANTIATE_TEST_SUITE_P(
    NativeFormats, BatchEqualsDialogue,
    ::testing::Values(
        SameRun{"raw_square_to_bmp", 0, 1, WindowKind::Square, 2, 0},
        SameRun{"raw_circle_to_asc_fr", 0, 2, WindowKind::Circle, 3, 1},
        SameRun{"raw_mesh_to_raw_es", 0, 0, WindowKind::Mesh, 1, 2, true},
        SameRun{"bmp_circle_to_raw", 1, 0, WindowKind::Circle, 2, 0},
        SameRun{"bmp_mesh_to_asc", 1, 2, WindowKind::Mesh, 2, 1},
        SameRun{"asc_square_to_asc", 2, 2, WindowKind::Square, 1, 2},
        SameRun{"asc_mesh_to_bmp", 2, 1, WindowKind::Mesh, 3, 0, true},
        // 30 m pixels and 0.05 km2: the rank help advises 3 for a square, 4 for a circle.
        SameRun{"surface_square", 0, 0, WindowKind::Square, 3, 0, false, 0.05},
        SameRun{"surface_circle", 2, 1, WindowKind::Circle, 4, 1, false, 0.05}),
    [](const ::testing::TestParamInfo<SameRun>& i) { return std::string(i.param.name); });

// ------------------------------------------------------------------ GDAL round trip

namespace {

bool have_gdal_tools() {
    return shell(
               "command -v gdal_translate >/dev/null 2>&1 && "
               "command -v gdalinfo >/dev/null 2>&1") == 0;
}

std::string info(const fs::path& p) {
    const fs::path out = p.string() + ".info";
    EXPECT_EQ(shell("gdalinfo \"" + p.string() + "\" > \"" + out.string() + "\" 2>/dev/null"), 0);
    return fx::slurp(out);
}

// The pixels of a GDAL raster as raw bytes (band 1, top line first).
std::string pixels(const fs::path& p) {
    const fs::path out = p.string() + ".bin";
    EXPECT_EQ(shell("gdal_translate -q -of ENVI \"" + p.string() + "\" \"" + out.string() +
                    "\" >/dev/null 2>&1"),
              0);
    return fx::slurp(out);
}

// An ASCII grid of `m` made into another type of raster by GDAL.
void translate(const fs::path& asc, const fs::path& to, const std::string& options) {
    ASSERT_EQ(shell("gdal_translate -q " + options + " \"" + asc.string() + "\" \"" + to.string() +
                    "\" >/dev/null 2>&1"),
              0);
}

}  // namespace

TEST(GdalRoundTrip, GeoTiffInGeoTiffOutKeepsWhereTheMapLies) {
    if (!gdal_available()) GTEST_SKIP() << "built without GDAL";
    if (!have_gdal_tools()) GTEST_SKIP() << "GDAL command-line tools not installed";
    fx::ScratchDir dir("cli_gdal");
    const fs::path d = dir.root;
    fx::ClassMap map = fx::make_map(37, 29, 99, 9);
    // A no-data value of 7 in the GeoTIFF: those pixels are no value (255) for the run.
    fx::ClassMap native = map;
    for (unsigned char& c : native.px)
        if (c == 7) c = 255;
    fx::spit(d / "land.asc", fx::asc_input_bytes(map, 2500000, 1100000, 25));
    fx::spit(d / "native.asc", fx::asc_input_bytes(native, 2500000, 1100000, 25));
    translate(d / "land.asc", d / "land.tif",
              "-ot Byte -a_srs EPSG:2056 -a_nodata 7 -co TILED=YES -co COMPRESS=DEFLATE "
              "-co BIGTIFF=YES");

    const CliResult r = cli(
        {"-w", "circle", "-r", "2", "-q", "-o", (d / "geo").string(), (d / "land.tif").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const RunOutcome ref = [&] {
        RunRequest req;
        req.map = (d / "native.asc").string();
        req.window = WindowKind::Circle;
        req.rank = 2;
        req.res_form = kRaster;
        req.output_base = (d / "ref").string();
        return run_landmosaic(req);
    }();
    ASSERT_EQ(ref.exit_status, 0);

    const std::string map_info = info(d / "land.tif");
    auto line_of = [](const std::string& text, const std::string& start) {
        const auto at = text.find(start);
        return at == std::string::npos ? std::string("(none)")
                                       : text.substr(at, text.find('\n', at) - at);
    };
    for (const char* kind : {"diversity", "homog"}) {
        SCOPED_TRACE(kind);
        const fs::path tif = d / (std::string("geo_") + kind + ".tif");
        const std::string got = info(tif);
        EXPECT_NE(got.find("ID[\"EPSG\",2056]"), std::string::npos) << got;
        EXPECT_EQ(line_of(got, "Origin = "), line_of(map_info, "Origin = "));
        EXPECT_EQ(line_of(got, "Pixel Size = "), line_of(map_info, "Pixel Size = "));
        EXPECT_NE(got.find("NoData Value=255"), std::string::npos);
        EXPECT_NE(got.find("COMPRESSION=DEFLATE"), std::string::npos);
        EXPECT_NE(got.find("Color Table"), std::string::npos);
        EXPECT_NE(got.find("LANDMOSAIC_RANK=2"), std::string::npos);
        EXPECT_EQ(pixels(tif), fx::slurp(d / (std::string("ref_") + kind + ".raw")));
    }
    // The report is that of the native run but for the names of the files.
    EXPECT_EQ(
        tf::replace_all(fx::slurp(d / "geo_info.txt"), "geo_", "ref_"),
        tf::replace_all(tf::replace_all(fx::slurp(d / "ref_info.txt"), "native.asc", "land.tif"),
                        ".raw", ".tif"));

    // Integer bands of other types: accepted when every value is a class code or the
    // no-data value; refused, naming the value and where it is, otherwise.
    translate(d / "land.asc", d / "land16.tif", "-ot UInt16 -a_nodata 255");
    for (const char* name : {"land16.tif", "land.asc"})
        EXPECT_EQ(cli({"-w", "circle", "-r", "2", "-f", "raw", "-o",
                       (d / (std::string(name) + "_r")).string(), (d / name).string()})
                      .status,
                  0);
    EXPECT_EQ(fx::slurp(d / "land16.tif_r_homog.raw"), fx::slurp(d / "land.asc_r_homog.raw"));
    EXPECT_EQ(fx::slurp(d / "land16.tif_r_diversity.raw"),
              fx::slurp(d / "land.asc_r_diversity.raw"));
    // Line 6, column 4 holds 300.
    const std::string asc = fx::asc_input_bytes(map, 0, 0, 25);
    {
        std::istringstream rows(asc);
        std::string out, line;
        for (int k = 0; std::getline(rows, line); ++k) {
            if (k == 6 + 5) {
                std::istringstream cells(line);
                std::string cell, rebuilt;
                for (int j = 0; cells >> cell; ++j) {
                    if (j) rebuilt += ' ';
                    rebuilt += j == 3 ? std::string("300") : cell;
                }
                line = rebuilt;
            }
            out += line + "\n";
        }
        fx::spit(d / "bad.asc", out);
    }
    translate(d / "bad.asc", d / "bad.tif", "-ot UInt16 -a_nodata 255");
    const CliResult refused = cli({"-w", "square", "-r", "1", (d / "bad.tif").string()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find((d / "bad.tif").string()), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("value 300 at line 6, column 4"), std::string::npos) << refused.err;
    translate(d / "land.asc", d / "real.tif", "-ot Float32");
    const CliResult real = cli({"-w", "square", "-r", "1", (d / "real.tif").string()});
    EXPECT_EQ(real.status, 1);
    EXPECT_NE(real.err.find("real numbers"), std::string::npos) << real.err;
    EXPECT_FALSE(fs::exists(d / "bad_square1_info.txt"));
    EXPECT_FALSE(fs::exists(d / "real_square1_info.txt"));
}

// GDAL is loaded by the runs that need it and by no other: a dialogue or a native-format
// run must not carry its libraries (tens of megabytes before any map is read).
// What a GIS meets: colour pictures refused unless a band is named; colour tables with the
// ramps of the pictures, one entry per value a band can hold; units; creation options
// checked by GDAL; Cloud Optimized results with overviews and the same pixels; a raw map's
// results placed by its pixel size alone.
TEST(GdalRoundTrip, ColoursOptionsAndLayoutsFollowTheGisConventions) {
    if (!gdal_available()) GTEST_SKIP() << "built without GDAL";
    if (!have_gdal_tools()) GTEST_SKIP() << "GDAL command-line tools not installed";
    fx::ScratchDir dir("cli_gis");
    const fs::path d = dir.root;
    const fx::ClassMap map = fx::make_map(200, 180, 5, 4);
    fx::spit(d / "land.asc", fx::asc_input_bytes(map, 2500000, 1100000, 25));
    translate(d / "land.asc", d / "land.tif", "-ot Byte -a_srs EPSG:2056");
    translate(d / "land.tif", d / "rgb.tif", "-b 1 -b 1 -b 1 -colorinterp red,green,blue");

    // A colour picture is refused, naming its bands; --band reads one all the same.
    CliResult r = cli({"-q", "-w", "square", "-r", "1", "-o", (d / "c").string(), d / "rgb.tif"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("its bands are red, green, blue: a colour picture, not a classified map"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(!fs::exists(d / "c_info.txt"));
    r = cli({"-q", "-w", "square", "-r", "1", "--band", "2", "-o", (d / "c").string(),
             d / "rgb.tif"});
    EXPECT_EQ(r.status, 0) << r.err;

    r = cli({"-q", "-w", "square", "-r", "1", "-o", (d / "t").string(), d / "land.tif"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto entry = [](int v, Rgba c) {
        char line[64];
        std::snprintf(line, sizeof line, "  %3d: %d,%d,%d,255\n", v, c.r, c.g, c.b);
        return std::string(line);
    };
    // The number of classes, as the report gives it.
    const std::string report = fx::slurp(d / "t_info.txt");
    const std::size_t items = report.find("Number of items = ");
    ASSERT_NE(items, std::string::npos) << report;
    const int classes = std::atoi(report.c_str() + items + 18);
    ASSERT_GT(classes, 2);
    const std::string div = info(d / "t_diversity.tif");
    EXPECT_NE(div.find("Unit Type: classes"), std::string::npos) << div;
    std::string want;
    for (int v = 0; v <= classes; ++v) want += entry(v, diversity_colour(v, classes));
    EXPECT_NE(div.find(want), std::string::npos) << div;
    // Past the number of classes, the entries GeoTIFF always holds are left unset.
    EXPECT_NE(div.find(entry(classes + 1, Rgba{0, 0, 0, 255})), std::string::npos) << div;
    const std::string homog = info(d / "t_homog.tif");
    EXPECT_NE(homog.find("Unit Type: %"), std::string::npos) << homog;
    want.clear();
    for (int v = 0; v <= 100; ++v) want += entry(v, homogeneity_colour(v));
    EXPECT_NE(homog.find(want), std::string::npos) << homog;
    EXPECT_NE(homog.find(entry(101, Rgba{0, 0, 0, 255})), std::string::npos) << homog;

    // Creation options go to GDAL, whose driver checks them before anything is written: a
    // bad name or value (for the COG driver with -f cog) is a usage error in GDAL's words.
    r = cli({"-q", "-w", "square", "-r", "1", "--co", "COMPRESS=LZW", "-o", (d / "lzw").string(),
             d / "land.tif"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(info(d / "lzw_homog.tif").find("COMPRESSION=LZW"), std::string::npos);
    const struct {
        std::vector<std::string> args;
        const char* said;
    } refused[] = {
        {{"--co", "COMPRESS=LZW", "--co", "NOPE=1"},
         "landmosaic: --co 'NOPE=1' is refused by GDAL: driver GTiff does not support creation "
         "option NOPE\n"},
        {{"--co", "COMPRESS=FOO"},
         "landmosaic: --co 'COMPRESS=FOO' is refused by GDAL: 'FOO' is an unexpected value for "
         "COMPRESS creation option of type string-select.\n"},
        {{"-f", "cog", "--co", "TILED=YES"},
         "landmosaic: --co 'TILED=YES' is refused by GDAL: driver COG does not support creation "
         "option TILED\n"},
        // Refused by the file rather than by name: known before the scan, not after it.
        {{"--co", "PREDICTOR=3"},
         "landmosaic: --co 'PREDICTOR=3' is refused by GDAL: PREDICTOR=3 is only supported with "
         "Float32 or Float64.\n"},
        {{"-f", "cog", "--co", "PREDICTOR=3"},
         "landmosaic: --co 'PREDICTOR=3' is refused by GDAL: PREDICTOR=3 is only supported with "
         "Float32 or Float64.\n"},
    };
    for (const auto& c : refused) {
        std::vector<std::string> args = {"-q", "-w", "square", "-r", "1", "-o", (d / "nope").string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back((d / "land.tif").string());
        r = cli(args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), c.said);
        EXPECT_FALSE(fs::exists(d / "nope_diversity.tif"));
        EXPECT_FALSE(fs::exists(d / "nope_info.txt"));
    }
    // The same option for floats alone is taken, and stored.
    r = cli({"-q", "-w", "square", "-r", "1", "--metrics", "shannon", "--co", "PREDICTOR=3", "-o",
             (d / "float").string(), d / "land.tif"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(info(d / "float_shannon.tif").find("PREDICTOR=3"), std::string::npos);

    // Cloud Optimized: COG layout, overviews, the same pixels and colours.
    r = cli({"-q", "-w", "square", "-r", "1", "-f", "cog", "--co", "BLOCKSIZE=128", "-o",
             (d / "cog").string(), d / "land.tif"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string cog = info(d / "cog_diversity.tif");
    EXPECT_NE(cog.find("LAYOUT=COG"), std::string::npos) << cog;
    EXPECT_NE(cog.find("Overviews: "), std::string::npos) << cog;
    EXPECT_NE(cog.find(entry(classes, diversity_colour(classes, classes))), std::string::npos)
        << cog;
    EXPECT_EQ(pixels(d / "cog_diversity.tif"), pixels(d / "t_diversity.tif"));
    EXPECT_EQ(pixels(d / "cog_homog.tif"), pixels(d / "t_homog.tif"));
    EXPECT_TRUE(fx::list_folder(d).count("cog_info.txt"));

    // A raw map's GeoTIFF: placed by its pixel size from (0, 0), without a coordinate system;
    // options for maps without a georeference are warned as ignored on a map that has one.
    fx::spit(d / "plain.txt", fx::raw_header(200, 180, 10));
    fx::spit(d / "plain.raw", fx::raw_pixels(map));
    r = cli({"-q", "-w", "square", "-r", "1", "-o", (d / "p").string(), d / "plain.raw"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string plain = info(d / "p_diversity.tif");
    EXPECT_NE(plain.find("Origin = (0.000000000000000,2000.000000000000000)"), std::string::npos)
        << plain;
    EXPECT_NE(plain.find("Pixel Size = (10.000000000000000,-10.000000000000000)"),
              std::string::npos)
        << plain;
    EXPECT_EQ(plain.find("PROJCRS"), std::string::npos) << plain;
    r = cli({"-q", "-w", "square", "-r", "1", "--x-min", "5", "--y-min", "6", "-o",
             (d / "g").string(), d / "land.tif"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("--x-min/--y-min is ignored: the map "), std::string::npos) << r.err;
}

// The dominant class of a map that names its classes: its GeoTIFF, plain or Cloud
// Optimized, carries the map's colours and names (GeoTIFF keeps the names in the file's
// sidecar, which comes into place with the file); a result without names does not keep
// the sidecar of an earlier file of its name; a result that cannot be written leaves
// neither its temporary file nor its sidecar.
TEST(GdalRoundTrip, DominantClassesKeepTheMapsColoursAndNames) {
    if (!gdal_available()) GTEST_SKIP() << "built without GDAL";
    if (!have_gdal_tools()) GTEST_SKIP() << "GDAL command-line tools not installed";
    fx::ScratchDir dir("cli_names");
    const fs::path d = dir.root;
    const fx::ClassMap map = fx::make_map(60, 50, 5, 4);
    fx::spit(d / "land.asc", fx::asc_input_bytes(map, 2500000, 1100000, 25));
    translate(d / "land.asc", d / "land.tif", "-ot Byte -a_srs EPSG:2056");
    std::string colours, names;
    for (int v = 0; v < 255; ++v)
        colours += "<Entry c1=\"" + std::to_string(10 * v % 256) + "\" c2=\"" +
                   std::to_string((20 + v) % 256) + "\" c3=\"200\" c4=\"255\"/>";
    for (int v = 0; v < 5; ++v) {
        names += "<Category>" + (v == 2 ? std::string("Wet &amp; dry") : "class " + std::to_string(v)) +
                 "</Category>";
    }
    fx::spit(d / "named.vrt",
             "<VRTDataset rasterXSize=\"60\" rasterYSize=\"50\"><GeoTransform>2500000, 25, 0, "
             "1101250, 0, -25</GeoTransform><VRTRasterBand dataType=\"Byte\" "
             "band=\"1\"><ColorInterp>Palette</ColorInterp><ColorTable>" + colours +
             "</ColorTable><CategoryNames>" + names + "</CategoryNames><SimpleSource>"
             "<SourceFilename relativeToVRT=\"1\">land.tif</SourceFilename><SourceBand>1"
             "</SourceBand></SimpleSource></VRTRasterBand></VRTDataset>\n");
    auto no_temporaries = [&] {
        for (const auto& e : fs::directory_iterator(d))
            EXPECT_FALSE(e.path().filename().string().starts_with(".landmosaic-")) << e.path();
    };
    for (const char* format : {"tif", "cog"}) {
        SCOPED_TRACE(format);
        const std::string base = std::string("d") + format;
        const fs::path tif = d / (base + "_dominant.tif");
        CliResult r = cli({"-q", "-w", "square", "-r", "1", "--metrics",
                           "diversity,homogeneity,dominant", "--quicklook", "-f", format, "-o",
                           (d / base).string(), (d / "named.vrt").string()});
        ASSERT_EQ(r.status, 0) << r.err;
        // Its picture shows each class in the map's colour, as the GeoTIFF does.
        if (png_available()) {
            int w = 0, h = 0;
            std::vector<std::uint8_t> rgba;
            ASSERT_TRUE(decode_png_rgba(fx::slurp(d / (base + "_dominant.png")), w, h, rgba));
            const std::string codes = pixels(tif);
            ASSERT_EQ(static_cast<std::size_t>(w) * h, codes.size());
            for (std::size_t p = 0; p < codes.size(); ++p) {
                const int v = static_cast<unsigned char>(codes[p]);
                const int want[4] = {v == 255 ? 0 : 10 * v % 256, v == 255 ? 0 : (20 + v) % 256,
                                     v == 255 ? 0 : 200, v == 255 ? 0 : 255};
                for (int k = 0; k < 4; ++k) ASSERT_EQ(rgba[4 * p + k], want[k]) << p << " " << v;
            }
        }
        const std::string shown = info(tif);
        EXPECT_NE(shown.find("Categories:\n      0: class 0\n      1: class 1\n      2: Wet & dry\n"
                             "      3: class 3\n      4: class 4\n"),
                  std::string::npos)
            << shown;
        EXPECT_NE(shown.find("    3: 30,23,200,255\n"), std::string::npos) << shown;
        EXPECT_TRUE(fs::exists(tif.string() + ".aux.xml"));
        if (std::string(format) == "cog") {
            EXPECT_NE(shown.find("LAYOUT=COG"), std::string::npos);
        }
        no_temporaries();
        // The same name from a map without names: no sidecar of the earlier file is left.
        r = cli({"-q", "-w", "square", "-r", "1", "--metrics", "dominant", "-f", format, "-o",
                 (d / base).string(), (d / "land.tif").string()});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(info(tif).find("Categories:"), std::string::npos);
        EXPECT_FALSE(fs::exists(tif.string() + ".aux.xml"));
    }
    // A result whose name is taken by a folder is not written, and leaves nothing behind.
    fs::create_directory(d / "x_dominant.tif");
    const CliResult r = cli({"-q", "-w", "square", "-r", "1", "--metrics", "dominant", "-f", "tif",
                             "-o", (d / "x").string(), (d / "named.vrt").string()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(fs::is_directory(d / "x_dominant.tif"));
    EXPECT_FALSE(fs::exists(d / "x_dominant.tif.aux.xml"));
    no_temporaries();
}

TEST(GdalRoundTrip, OnlyTheRunsThatNeedGdalLoadIt) {
#ifdef LANDMOSAIC_HAVE_GDAL
    EXPECT_TRUE(gdal_available()) << "a build with GDAL whose GDAL module does not load";
#endif
    if (!gdal_available()) GTEST_SKIP() << "built without GDAL";
    fx::ScratchDir dir("cli_gdal_load");
    const fs::path d = dir.root;
    fx::ClassMap map = fx::make_map(12, 9, 5, 4);
    fx::spit(d / "m.asc", fx::asc_input_bytes(map, 0, 0, 25));
    // The dynamic loader's record of every object the program maps, dlopen included.
    auto loads_gdal = [&](const std::string& name, const std::string& args,
                          const std::string& input) {
        const fs::path log = d / name;
        const int rc = shell("cd \"" + d.string() + "\" && " + input + " LD_DEBUG=files LD_DEBUG_OUTPUT=\"" +
                             log.string() + "\" " + std::string(LANDMOSAIC_EXE) + " " + args +
                             " >/dev/null 2>&1");
        EXPECT_NE(rc, -1);
        std::string all;
        for (const auto& e : fs::directory_iterator(d))
            if (e.path().filename().string().starts_with(name)) all += fx::slurp(e.path());
        EXPECT_NE(all.find("libc.so"), std::string::npos) << name << ": no loader record";
        return all.find("libgdal") != std::string::npos;
    };
    EXPECT_FALSE(loads_gdal("dialogue", "", "printf '0\\n' |"));
    EXPECT_FALSE(loads_gdal("native", "-w square -r 1 -f raw -q m.asc", ""));
    EXPECT_TRUE(loads_gdal("geotiff", "-w square -r 1 -q -o geo m.asc", ""));
}

// ------------------------------------------------------------------ JSON summary

namespace {

// Every file of a folder with its bytes.
std::map<std::string, std::string> folder_bytes(const fs::path& dir) {
    std::map<std::string, std::string> m;
    for (const auto& e : fs::directory_iterator(dir))
        m[e.path().filename().string()] = fx::slurp(e.path());
    return m;
}

}  // namespace

// No output of a run may be written over a file of the map, whatever GDAL spelling names
// the map (a driver prefix, a /vsi path, a VRT over the file), nor over another output of
// the same run (the JSON summary, the pictures): a usage error before anything is written.
TEST(CommandLine, OutputsNeverReplaceTheMapOrEachOther) {
    fx::ScratchDir dir("cli_clash");
    const fs::path d = dir.root;
    const fx::ClassMap map = fx::make_map(13, 17, 5, 4);
    fx::spit(d / "m.asc", fx::asc_input_bytes(map, 1000, 2000, 30));
    ASSERT_EQ(cli({"-w", "square", "-r", "1", "-f", "raw", "-q", "-o", (d / "m").string(),
                   (d / "m.asc").string()})
                  .status,
              0);
    fs::rename(d / "m_diversity.raw", d / "m.raw");
    fs::rename(d / "m_diversity.txt", d / "m.txt");
    for (const char* f : {"m_homog.raw", "m_homog.txt", "m_info.txt"}) fs::remove(d / f);
    auto p = [&](const std::string& name) { return (d / name).string(); };
    std::vector<std::vector<std::string>> cases = {
        {"-f", "raw", "--json", p("m.raw"), p("m.raw")},
        {"-f", "raw", "--json", p("m.txt"), p("m.raw")},
        {"-f", "raw", "--json", p("./m.raw"), p("m.raw")},
        {"-f", "raw", "-o", p("r"), "--json", p("r_homog.raw"), p("m.raw")},
        {"-f", "asc", "-o", p("r"), "--json", p("sub/../r_info.txt"), p("m.asc")},
        {"-f", "bmp", "-o", p("r"), "--quicklook", "--json", p("r_summary.html"), p("m.asc")},
    };
    const bool gdal = gdal_available() && have_gdal_tools();
    if (gdal) {
        translate(d / "m.asc", d / "s_diversity.tif", "-ot Byte");
        fs::copy_file(d / "s_diversity.tif", d / "u_homog.tif");
        fs::copy_file(d / "s_diversity.tif", d / "q_diversity.png");
        translate(d / "s_diversity.tif", d / "v.vrt", "-of VRT");
        const std::string size = std::to_string(fs::file_size(d / "u_homog.tif"));
        cases.push_back({"-o", p("s"), "GTIFF_DIR:1:" + p("s_diversity.tif")});
        cases.push_back({"-o", p("u"), "/vsisubfile/0_" + size + "," + p("u_homog.tif")});
        cases.push_back({"-o", p("s"), p("v.vrt")});
        cases.push_back({"-f", "raw", "-o", p("q"), "--quicklook", p("q_diversity.png")});
    }
    const auto before = folder_bytes(d);
    for (std::vector<std::string> args : cases) {
        args.insert(args.begin(), {"-w", "square", "-r", "1", "-q"});
        std::string shown;
        for (const std::string& a : args) shown += a + " ";
        SCOPED_TRACE(shown);
        const CliResult r = cli(args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find("would replace the "), std::string::npos) << r.err;
        EXPECT_EQ(folder_bytes(d), before);
    }
    if (!gdal) GTEST_SKIP() << "the GDAL spellings need GDAL and its command-line tools";
}

// What the command line says of the maps GDAL names in its own ways: a map whose name
// starts with '-' goes after "--" (and the usage error says so); a /vsi path that cannot
// be read gets GDAL's reason, not "No File"; a container of subdatasets lists them, and
// one of them, given as the map, names its results after the file; a folder whose name
// holds a newline does not break the pictures.
TEST(CommandLine, MapsInGdalSpellingsAndOddNames) {
    fx::ScratchDir dir("cli_spellings");
    const fs::path d = dir.root;
    const fx::ClassMap map = fx::make_map(13, 17, 5, 4);
    fx::spit(d / "m.asc", fx::asc_input_bytes(map, 1000, 2000, 30));
    const std::string exe = std::string("cd '") + d.string() + "' && '" + LANDMOSAIC_EXE +
                            "' -q -w square -r 1 -f raw ";
    const std::string err = " 2> '" + (d / "err.txt").string() + "' > /dev/null";
    auto said = [&] { return fx::slurp(d / "err.txt"); };
    // A folder with a newline in its name, and the pictures of the run.
    const fs::path odd = d / "two\nlines";
    fs::create_directories(odd);
    fs::copy_file(d / "m.asc", odd / "m.asc");
    const CliResult r = cli({"-w", "square", "-r", "1", "-f", "raw", "-q", "--quicklook",
                             (odd / "m.asc").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(odd / "m_square1_summary.html")) << r.err;
    if (!gdal_available() || !have_gdal_tools())
        GTEST_SKIP() << "the rest needs GDAL and its command-line tools";
    translate(d / "m.asc", d / "-dash.tif", "-ot Byte");
    EXPECT_EQ(shell(exe + "-dash.tif" + err), 2);
    EXPECT_NE(said().find("put -- before a map whose name starts with '-'"), std::string::npos)
        << said();
    EXPECT_EQ(shell(exe + "--lang fr -dash.tif" + err), 2);
    EXPECT_NE(said().find("-dash.tif se lit comme une option : mettre -- avant une carte dont le "
                          "nom commence par '-'"),
              std::string::npos)
        << said();
    EXPECT_EQ(shell(exe + "-- -dash.tif" + err), 0) << said();
    EXPECT_TRUE(fs::exists(d / "-dash_square1_info.txt"));
    EXPECT_EQ(shell(exe + "/vsizip/none.zip/m.tif" + err), 1);
    EXPECT_NE(said().find("/vsizip/none.zip/m.tif refused: GDAL cannot read it: "),
              std::string::npos)
        << said();
    // A GeoPackage of two rasters.
    translate(d / "m.asc", d / "g.gpkg", "-ot Byte -of GPKG -co RASTER_TABLE=first");
    translate(d / "m.asc", d / "g.gpkg", "-ot Byte -of GPKG -co RASTER_TABLE=second -co APPEND_SUBDATASET=YES");
    EXPECT_EQ(shell(exe + "g.gpkg" + err), 1);
    EXPECT_NE(said().find("g.gpkg refused: it holds subdatasets, not a band of its own: give one "
                          "of them as the map (GPKG:g.gpkg:first, GPKG:g.gpkg:second)"),
              std::string::npos)
        << said();
    EXPECT_EQ(shell(exe + "GPKG:g.gpkg:second" + err), 0) << said();
    EXPECT_TRUE(fs::exists(d / "g_square1_diversity.raw"));
    // A damaged HDF5 file: what the HDF5 library prints on its own does not reach the
    // standard error raw; its first useful line follows GDAL's reason.
    std::string h5 = "\x89HDF\r\n\x1a\n";
    for (int k = 0; k < 600; ++k) h5 += static_cast<char>(k * 37 % 251);
    fx::spit(d / "broken.h5", h5);
    EXPECT_EQ(shell(exe + "broken.h5" + err), 1);
    EXPECT_EQ(said().find("HDF5-DIAG"), std::string::npos) << said();
    EXPECT_NE(said().find("broken.h5 refused: GDAL cannot read it: "), std::string::npos) << said();
    if (shell("gdalinfo --formats 2>/dev/null | grep -q HDF5") == 0)
        EXPECT_NE(said().find("(HDF5: unable to open file)"), std::string::npos) << said();
    else
        std::cout << "[ SKIPPED  ] GDAL has no HDF5 driver: its diagnostics are not checked\n";
}

#if __has_include(<nlohmann/json.hpp>)
#include <nlohmann/json.hpp>

// The summary says what the result files and the map say: the inventory counted from the
// map, the histogram counted from the diversity image, the paths that were written; and
// a failed run still leaves its summary, with its status and failure.
TEST(JsonSummary, AgreesWithTheMapAndTheResultFiles) {
    fx::ScratchDir dir("cli_json");
    const fs::path d = dir.root;
    const fx::ClassMap map = fx::make_map(23, 31, 7, 6);
    fx::spit(d / "m.asc", fx::asc_input_bytes(map, 1000, 2000, 30));
    const CliResult r = cli({"-w", "circle", "-r", "2", "-f", "raw", "-q", "--json",
                             (d / "s.json").string(), "-o", (d / "c").string(),
                             (d / "m.asc").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = fx::slurp(d / "s.json");
    if (text.empty()) GTEST_SKIP() << "built without JSON summaries";
    const nlohmann::json j = nlohmann::json::parse(text);
    EXPECT_EQ(j["map_size"]["lines"], 23);
    EXPECT_EQ(j["map_size"]["columns"], 31);
    EXPECT_EQ(j["pixel_size"], 30.0);
    EXPECT_EQ(j["parameters"]["window"], "circle");
    EXPECT_EQ(j["exit_status"], 0);

    const fx::Items items = fx::inventory(map);
    ASSERT_EQ(j["inventory"]["classes"].size(), items.code.size());
    EXPECT_EQ(j["inventory"]["pixels_with_class"], items.total);
    for (std::size_t k = 0; k < items.code.size(); ++k) {
        EXPECT_EQ(j["inventory"]["classes"][k]["code"], items.code[k]);
        EXPECT_EQ(j["inventory"]["classes"][k]["pixels"], items.pixels[k]);
    }

    ASSERT_EQ(j["outputs"]["diversity"], (d / "c_diversity.raw").string());
    EXPECT_EQ(j["outputs"]["report"], (d / "c_info.txt").string());
    const std::string div = fx::slurp(d / "c_diversity.raw");
    ASSERT_EQ(div.size(), 23u * 31u);
    std::map<int, long> counted;
    for (unsigned char v : div)
        if (v != 255) ++counted[v];
    std::map<int, long> summed;
    for (const auto& e : j["diversity_histogram"])
        if (e["pixels"].get<long>() > 0) summed[e["diversity"].get<int>()] = e["pixels"].get<long>();
    EXPECT_EQ(summed, counted);
    // Every file with its metric and what its pixels hold; the windows holding pixels of
    // no class, counted apart.
    ASSERT_EQ(j["files"].size(), 2u);
    EXPECT_EQ(j["files"][0]["metric"], "diversity");
    EXPECT_EQ(j["files"][1]["path"], (d / "c_homog.raw").string());
    EXPECT_EQ(j["files"][1]["no_data"], 255);
    std::map<int, long> listed;
    for (const auto& e : j["files"][0]["histogram"]) listed[e["value"].get<int>()] = e["pixels"];
    EXPECT_EQ(listed, counted);
    EXPECT_EQ(j["files"][0]["no_value_pixels"].get<long>() + 0, 23 * 31 - [&] {
        long n = 0;
        for (auto& [v, c] : counted) n += c;
        return n;
    }());
    Window circle;
    ASSERT_TRUE(circle_sizes(circle, 2, 30.0));
    long windows = 0, holed = 0;
    for (int i = 2; i + 2 < 23; ++i)
        for (int jj = 2; jj + 2 < 31; ++jj) {
            ++windows;
            bool hole = false;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    if (circle.tab_rad[dy + 2][dx + 2] == 1 && map.at(i + dy, jj + dx) == 255)
                        hole = true;
            holed += hole;
        }
    EXPECT_EQ(j["windows"]["evaluated"], windows);
    EXPECT_EQ(j["windows"]["with_unclassified"], holed);
    // The mesh counts its whole cells, and its warning speaks of cells, in the run's language.
    const CliResult mesh = cli({"-w", "mesh", "-r", "1", "-f", "raw", "-q", "--lang", "fr", "--json",
                                (d / "m.json").string(), "-o", (d / "m").string(),
                                (d / "m.asc").string()});
    ASSERT_EQ(mesh.status, 0) << mesh.err;
    const nlohmann::json mj = nlohmann::json::parse(fx::slurp(d / "m.json"));
    long cells = 0, holed_cells = 0;
    for (int i = 0; i + 3 <= 23; i += 3)
        for (int jj = 0; jj + 3 <= 31; jj += 3) {
            ++cells;
            bool hole = false;
            for (int dy = 0; dy < 3; ++dy)
                for (int dx = 0; dx < 3; ++dx) hole = hole || map.at(i + dy, jj + dx) == 255;
            holed_cells += hole;
        }
    EXPECT_EQ(mj["windows"]["evaluated"], cells);
    EXPECT_EQ(mj["windows"]["with_unclassified"], holed_cells);
    ASSERT_GT(holed_cells * 20, cells);  // more than 5 %: the run warns
    EXPECT_NE(mesh.err.find("des cellules contiennent des pixels non class\u00e9s (255)"),
              std::string::npos)
        << mesh.err;

    const CliResult failed = cli({"-w", "square", "-r", "1", "-f", "raw", "-q", "--json",
                                  (d / "f.json").string(), (d / "none.asc").string()});
    EXPECT_EQ(failed.status, 1);
    const nlohmann::json f = nlohmann::json::parse(fx::slurp(d / "f.json"));
    EXPECT_EQ(f["exit_status"], 1);
    EXPECT_EQ(f["failures"].size(), 1u);
    EXPECT_TRUE(f["outputs"]["diversity"].is_null());
}
#endif

// A map held in memory (the Python package's arrays) gives the command line's files,
// whatever the bands it is treated in, rows read in place with any stride; the scan
// stopped by its progress hands nothing out as whole.
TEST(ArrayScan, EqualsTheCommandLineFilesInAnyBands) {
    fx::ScratchDir dir("array_scan");
    const fs::path d = dir.root;
    const fx::ClassMap map = fx::make_map(29, 23, 11, 7);
    fx::spit(d / "m.asc", fx::asc_input_bytes(map, 1000, 2000, 30));
    // The map inside a wider buffer: rows 40 bytes apart.
    const int stride = 40;
    std::vector<unsigned char> held(static_cast<std::size_t>(map.nb_lig) * stride, 77);
    for (int i = 0; i < map.nb_lig; ++i)
        std::copy_n(&map.px[static_cast<std::size_t>(i) * map.nb_col], map.nb_col,
                    &held[static_cast<std::size_t>(i) * stride]);
    const std::pair<const char*, WindowKind> windows[] = {
        {"square", WindowKind::Square}, {"circle", WindowKind::Circle}, {"mesh", WindowKind::Mesh}};
    for (const auto& [name, kind] : windows) {
        const std::string base = (d / name).string();
        const CliResult r = cli({"-w", name, "-r", "2", "-f", "raw", "-q", "-o", base,
                                 (d / "m.asc").string()});
        ASSERT_EQ(r.status, 0) << r.err;
        for (const int rows : {0, 1, 2, 5, 7}) {
            SCOPED_TRACE(std::string(name) + " rows per band " + std::to_string(rows));
            ArrayScanRequest req;
            req.window = kind;
            req.rank = 2;
            req.band_rows = rows;
            std::string div(map.px.size(), '\0'), homo(map.px.size(), '\0');
            engine::MemorySource src(held.data(), map.nb_lig, map.nb_col, stride);
            engine::MemorySink div_sink(reinterpret_cast<unsigned char*>(div.data()), map.nb_lig,
                                        map.nb_col, map.nb_col);
            engine::MemorySink homo_sink(reinterpret_cast<unsigned char*>(homo.data()),
                                         map.nb_lig, map.nb_col, map.nb_col);
            const ArrayScanOutcome out = scan_array(src, req, {&div_sink, &homo_sink});
            ASSERT_TRUE(out.ok());
            EXPECT_EQ(div, fx::slurp(base + "_diversity.raw"));
            EXPECT_EQ(homo, fx::slurp(base + "_homog.raw"));
        }
    }
    ArrayScanRequest req;
    req.rank = 1;
    std::vector<unsigned char> div(map.px.size()), homo(map.px.size());
    engine::MemorySource src(map.px.data(), map.nb_lig, map.nb_col, map.nb_col);
    engine::MemorySink div_sink(div.data(), map.nb_lig, map.nb_col, map.nb_col);
    engine::MemorySink homo_sink(homo.data(), map.nb_lig, map.nb_col, map.nb_col);
    int calls = 0;
    const ArrayScanOutcome stopped =
        scan_array(src, req, {&div_sink, &homo_sink}, [&](int, int) { return ++calls < 5; });
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_EQ(calls, 5);
    EXPECT_FALSE(div_sink.commit().ok());
}

// Stages never talk: the console and the front ends stay above them, and each outside
// library stays in its own unit.
TEST(Layout, IncludesPointDown) {
    const fs::path src = fs::path(LANDMOSAIC_SOURCE_DIR) / "src";
    for (const auto& e : fs::recursive_directory_iterator(src)) {
        if (!e.is_regular_file()) continue;
        const std::string rel = fs::relative(e.path(), src).generic_string();
        const std::string text = fx::slurp(e.path());
        const bool front_end = rel.starts_with("dialogue/") || rel.starts_with("cli/") ||
                               rel == "main.cpp" || rel == "engine/mpi/main.cpp";
        if (!front_end) {
            EXPECT_EQ(text.find("#include \"dialogue/"), std::string::npos) << rel;
            EXPECT_EQ(text.find("#include \"cli/"), std::string::npos) << rel;
        }
        // GDAL's headers belong to the GDAL module's own units.
        const bool gdal_module = rel == "formats/gdal_raster.cpp" || rel == "formats/gdal_paths.cpp" ||
                                 rel == "formats/gdal_colours.cpp" || rel == "formats/gdal_messages.cpp" ||
                                 rel == "formats/gdal_options.cpp" ||
                                 rel == "formats/gdal_internal.h";
        if (!gdal_module) {
            EXPECT_EQ(text.find("#include <gdal"), std::string::npos) << rel;
            EXPECT_EQ(text.find("#include <cpl_"), std::string::npos) << rel;
        }
        if (rel != "engine/mpi/mpi_bands.cpp") {
            EXPECT_EQ(text.find("#include <mpi.h>"), std::string::npos) << rel;
        }
        if (!rel.starts_with("cli/")) {
            EXPECT_EQ(text.find("#include <CLI/"), std::string::npos) << rel;
            EXPECT_EQ(text.find("#include <nlohmann/"), std::string::npos) << rel;
        }
    }
}
