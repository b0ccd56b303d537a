#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>

#include "app/run.h"
#include "cli/interruption.h"
#include "cli/progress_bar.h"
#include "cli/summary_command.h"
#include "formats/gdal_raster.h"
#include "raster/output_file.h"
#include "results/summary.h"
#include "text/status_text.h"

#ifdef LANDMOSAIC_HAVE_JSON
#include "cli/json_summary.h"
#endif

namespace {

constexpr const char* kVersion = "landmosaic 1.1";

#ifdef _WIN32
constexpr bool kUtf8 = false;  // the console shows code page 850
#else
constexpr bool kUtf8 = true;
#endif

std::string formats_note() {
    if (gdal_available())
        return "Maps: .raw (with its .txt header), .bmp and .asc are read by the program itself; "
               "any other raster (GeoTIFF, BigTIFF, ...) through GDAL " +
               gdal_version() +
               ". Results: GeoTIFF by default (georeferenced, coloured), or raw, bmp, asc.";
    return "This build has no GDAL: only the native formats are available. Maps: .raw (with its "
           ".txt header), .bmp and .asc; results in raw, bmp or asc (choose one with -f).";
}

// The choices of `--window`, in the order of the shape table.
std::vector<std::string> shape_names() {
    std::vector<std::string> names;
    for (const WindowShape& s : kWindowShapes) names.emplace_back(s.name);
    return names;
}

int usage_error(std::ostream& err, const std::string& program, const std::string& message) {
    err << program << ": " << message << "\nRun with --help for more information.\n";
    return 2;
}

#ifdef LANDMOSAIC_HAVE_JSON
// The JSON summary, appearing whole or not at all, like every result.
bool write_text_file(const std::string& path, const std::string& text) {
    OutputFile f;
    if (!f.open(path)) return false;
    if (std::fwrite(text.data(), 1, text.size(), f.get()) != text.size()) return false;
    return f.commit();
}
#endif

}  // namespace

int parse_command_line(int argc, const char* const* argv, CommandLine& cl, std::ostream& out,
                       std::ostream& err) {
    RunRequest& req = cl.req;
    std::string window;
    std::string format;
    std::string lang = "en";
    std::string& json_path = cl.json_path;
    bool& quiet = cl.quiet;
    bool& quicklook = cl.quicklook;
    const std::string& program = cl.program;

    CLI::App app{
        std::string("LANDMOSAIC: the diversity (number of classes) and homogeneity (share of "
                    "the largest class) of a classified map, in a moving window or a cell "
                    "mesh.") +
            (cl.has_dialogue ? "\nWithout arguments the program runs its dialogue." : ""),
        program};
    // Asked only when the help is shown: asking loads GDAL.
    app.footer(std::function<std::string()>(formats_note));
    app.add_option("-w,--window", window, "square or circle moving window, or cell mesh")
        ->required()
        ->check(CLI::IsMember(shape_names()));
    auto* rank = app.add_option("-r,--rank", req.rank, "the rank R: window edge 2R+1, radius R+0.5")
                     ->check(CLI::Range(0, kMaxRank));
    auto* surface = app.add_option("--surface", req.surface_km2,
                                   "KM2: the rank the rank help advises for that surface")
                        ->check(CLI::NonNegativeNumber);
    rank->excludes(surface);
    app.add_option("-o,--output", req.output_base,
                   "BASE: results BASE_diversity.EXT, BASE_homog.EXT, BASE_info.txt "
                   "(default: beside the map, <map name>_<window><R>)");
    app.add_option("-f,--format", format, "result format: tif (default), raw, bmp or asc")
        ->check(CLI::IsMember({"tif", "raw", "bmp", "asc"}));
    app.add_option("--lang", lang, "language of the report and messages: en, fr or es")
        ->check(CLI::IsMember({"en", "fr", "es"}));
    app.add_flag("--mesh-lines", req.mesh_lines, "draw the cell mesh on the diversity image");
    app.add_option("--pixel-size", req.pixel_size, "M: pixel edge for maps that carry none")
        ->check(CLI::PositiveNumber);
    auto* x_min =
        app.add_option("--x-min", req.x_min, "X: lower left corner, for maps without one");
    auto* y_min =
        app.add_option("--y-min", req.y_min, "Y: lower left corner, for maps without one");
    x_min->needs(y_min);
    y_min->needs(x_min);
    app.add_option("--band", req.band, "N: band of a multi-band map (default 1)")
        ->check(CLI::PositiveNumber);
    app.add_option("--threads", req.threads, "N: threads of the scan (default: all cores)")
        ->check(CLI::PositiveNumber);
    app.add_option("--memory", req.memory_mb,
                   "MB: memory the run may take; larger maps are read and treated in bands of "
                   "rows (default: a quarter of the machine's memory)")
        ->check(CLI::PositiveNumber);
    // Rows per band forced, for tests and measures.
    app.add_option("--band-rows", req.band_rows)->check(CLI::PositiveNumber)->group("");
    app.add_option("--metrics", req.metrics,
                   "LIST: the metrics mapped, comma-separated: diversity, homogeneity, shannon, "
                   "simpson, evenness, dominant, share:CODE (default diversity,homogeneity; "
                   "others need -f tif)")
        ->delimiter(',');
    auto* min_valid = app.add_option(
        "--min-valid", req.min_valid,
        "PCT: a pixel of a class gets values when at least PCT % of its window's surface "
        "holds classified pixels (windows past the map's edge and cells at its edges too); "
        "shares of the classified pixels");
    app.add_flag("-q,--quiet", quiet, "no progress bar");
    app.add_option("--json", json_path, "FILE: machine-readable summary of the run");
    app.add_flag("--quicklook", quicklook,
                 "also write BASE_diversity.png, BASE_homog.png (coloured pictures) and "
                 "BASE_summary.html (a one-page summary)");
    app.set_version_flag("--version", std::function<std::string()>([] {
                             return std::string(kVersion) + (gdal_available()
                                                                 ? " (GDAL " + gdal_version() + ")"
                                                                 : " (without GDAL)");
                         }));
    app.add_option("MAP", req.map, "the classified map")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::CallForAllHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << "\n";
        return 0;
    } catch (const CLI::ParseError& e) {
        // A map whose name starts with '-' reads as an option: it goes after "--".
        std::string hint;
        for (int k = 1; k < argc && hint.empty(); ++k) {
            const std::string a = argv[k];
            std::error_code ec;
            if (a == "--") break;
            if (a.size() > 1 && a[0] == '-' && std::filesystem::is_regular_file(a, ec))
                hint = "\n" + a + " reads as an option: put -- before a map whose name starts "
                       "with '-' (" + program + " [options] -- " + a + ")";
        }
        return usage_error(err, program, e.what() + hint);
    }

    // A GDAL module named and unusable stops the run: another one would run in its place.
    if (const std::string why = gdal_module_problem(); !why.empty())
        return usage_error(err, program, why);
    req.window = window_shape_named(window)->kind;
    if (format.empty()) {
        if (!gdal_available())
            return usage_error(err, program,
                               "this build has no GDAL, so no GeoTIFF results: choose a "
                               "format with -f raw|bmp|asc");
        format = "tif";
    }
    req.res_form = format == "raw"   ? kRaster
                   : format == "bmp" ? kBitmap
                   : format == "asc" ? kAscii
                                     : kGeoTiff;
    req.idiom = lang == "fr" ? kFrench : lang == "es" ? kSpanish : kEnglish;
    req.has_corner = x_min->count() > 0;
    if (min_valid->count() > 0 && !(req.min_valid > 0 && req.min_valid <= 100))
        return usage_error(err, program, "--min-valid must be a percent above 0, at most 100");
    req.pictures = quicklook;
    // The page is built around the diversity and homogeneity pictures.
    if (quicklook) {
        const auto named = [&](const char* m) {
            return std::find(req.metrics.begin(), req.metrics.end(), m) != req.metrics.end();
        };
        if (!named("diversity") || !named("homogeneity"))
            return usage_error(err, program,
                               "--quicklook needs diversity and homogeneity among the --metrics");
    }
    if (!json_path.empty()) req.also_writes.push_back(json_path);
#ifndef LANDMOSAIC_HAVE_JSON
    if (!json_path.empty())
        return usage_error(err, program, "this build cannot write --json summaries");
#endif
    if (Status s = req.validate(); !s.ok()) return usage_error(err, program, s.detail);
    return -1;
}

int finish_command_line(const CommandLine& cl, const RunOutcome& outcome, std::ostream& out,
                        std::ostream& err) {
    const RunRequest& req = cl.req;
    const std::string& program = cl.program;
    for (const Status& w : outcome.warnings)
        err << program << ": " << status_line(w, req.idiom, kUtf8) << "\n";
    if (outcome.exit_status == 2) {
        const Status& s = outcome.failures.front();
        return usage_error(err, program, s.message ? status_line(s, req.idiom, kUtf8) : s.detail);
    }
    for (const Status& f : outcome.failures)
        err << program << ": " << status_line(f, req.idiom, kUtf8) << "\n";
    if (!outcome.report.empty()) out << outcome.report << "\n";
    for (const RunOutcome::File& f : outcome.files) out << f.path << "\n";

    int status = outcome.exit_status;
    const std::string info = "_info.txt";
    if (cl.quicklook && !outcome.report.empty() && !outcome.diversity.empty() &&
        !outcome.homogeneity.empty() && outcome.report.size() > info.size()) {
        SummaryOptions pictures;
        pictures.mesh_drawn = req.mesh_lines ? 1 : 0;
        pictures.treat_type = window_shape(req.window).treat_type;
        // The other metrics, a picture and a panel each.
        for (const RunOutcome::File& f : outcome.files) {
            if (metrics::native(f.metric)) continue;
            std::string about = f.metric.info().about;
            if (f.metric.id == metrics::Id::Share) about += std::to_string(f.metric.code);
            pictures.metrics.push_back({f.metric.name(), f.metric.suffix(), about, f.path,
                                        f.metric.type() == metrics::Type::Real,
                                        f.metric.id == metrics::Id::Dominant});
        }
        if (req.min_valid <= 0 && outcome.windows.windows > 0)
            pictures.unclassified_share = static_cast<double>(outcome.windows.with_unclassified) /
                                          static_cast<double>(outcome.windows.windows);
        const std::string base = outcome.report.substr(0, outcome.report.size() - info.size());
        if (make_summary(base, pictures, out, err) != 0) status = 1;
    }
#ifdef LANDMOSAIC_HAVE_JSON
    if (!cl.json_path.empty() && !write_text_file(cl.json_path, json_summary(req, outcome))) {
        err << program << ": " << cl.json_path << ": the summary could not be written\n";
        status = 1;
    }
#endif
    return status;
}

int finish_interrupted(const CommandLine& cl, const RunOutcome& outcome, int sig,
                       std::ostream& err) {
    for (const Status& f : outcome.failures)
        err << cl.program << ": " << status_line(f, cl.req.idiom, kUtf8) << "\n";
    return interruption::exit_status(sig);
}

int run_command_line(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                     bool terminal, int (*interrupted)()) {
    CommandLine cl;
    if (const int status = parse_command_line(argc, argv, cl, out, err); status >= 0) return status;
    ProgressBar bar(terminal && !cl.quiet);
    const RunOutcome outcome = run_landmosaic(cl.req, [&](int row, int rows) {
        bar.update(row, rows);
        return !interrupted || interrupted() == 0;
    });
    bar.finish();
    // Stopped by a signal: what the run said, and no summary or pictures after it.
    if (const int sig = interrupted ? interrupted() : 0; sig != 0)
        return finish_interrupted(cl, outcome, sig, err);
    return finish_command_line(cl, outcome, out, err);
}

int command_line_main(int argc, char** argv) {
    interruption::catch_signals();
    return run_command_line(argc, argv, std::cout, std::cerr, ProgressBar::stderr_is_terminal(),
                            interruption::caught);
}
