#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <climits>
#include <cmath>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>

#include "app/run.h"
#include "cli/interruption.h"
#include "cli/progress_bar.h"
#include "cli/summary_command.h"
#include "formats/format.h"
#include "formats/gdal_raster.h"
#include "raster/output_file.h"
#include "results/summary.h"
#include "text/catalogue.h"
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

// What the build reads and writes, for the end of the help (lines under 100 characters).
std::string formats_note() {
    if (gdal_available())
        return "Maps: .raw (with its .txt header), .bmp and .asc are read by the program itself;\n"
               "any other raster (GeoTIFF, BigTIFF, ...) through GDAL " +
               gdal_version() +
               ".\nResults: GeoTIFF by default (georeferenced, coloured), COG, or raw, bmp, asc.\n";
    return "This build has no GDAL: only the native formats are available.\n"
           "Maps: .raw (with its .txt header), .bmp and .asc; results in raw, bmp or asc\n"
           "(choose one with -f).\n";
}

// The choices of `--window`, in the order of the shape table.
std::vector<std::string> shape_names() {
    std::vector<std::string> names;
    for (const WindowShape& s : kWindowShapes) names.emplace_back(s.name);
    return names;
}

// A message of the catalogue in the run's language, for standard error.
std::string say(const Text& t, int idiom, std::initializer_list<Arg> args) {
    const Msg& m = t.in(idiom);
    return format_text(m.text, std::string_view(m.acc.data(), m.acc.size()), args, kUtf8);
}

int usage_error(std::ostream& err, const std::string& program, const std::string& message,
                int idiom) {
    err << program << ": " << message << "\n" << say(txt::usage_hint, idiom, {}) << "\n";
    return 2;
}

// The help: options grouped by what they are about, lines under 100 characters.
std::string help_text(const CommandLine& cl) {
    const std::string& p = cl.program;
    std::string h = "Usage: " + p + " [options] MAP\n";
    if (cl.has_dialogue)
        h += "       " + p + " summary BASE\n       " + p + "                (no arguments: the dialogue)\n";
    h += "\n"
         "The diversity (number of classes) and homogeneity (share of the largest class) of a\n"
         "classified map, in a moving window or a cell mesh.\n"
         "\n"
         "Map:\n"
         "  MAP                    the classified map: one band of class codes 0 to 254\n"
         "      --band N           band of a multi-band map (default 1)\n"
         "      --pixel-size M     pixel edge in metres, for maps that carry none (bitmap)\n"
         "      --x-min X          lower left corner, for maps that carry none (with --y-min)\n"
         "      --y-min Y          lower left corner, for maps that carry none (with --x-min)\n"
         "\n"
         "Window:\n"
         "  -w, --window SHAPE     square or circle moving window, or cell mesh (required)\n"
         "  -r, --rank R           the rank, 0 to 23169: window edge 2R+1, radius R+0.5\n"
         "      --surface KM2      the rank the rank help advises for that surface\n"
         "      --mesh-lines       draw the cell mesh on the diversity image (mesh only)\n"
         "      --min-valid PCT    a pixel of a class gets values when at least PCT % of its\n"
         "                         window holds classified pixels (default: whole windows)\n"
         "\n"
         "Results:\n"
         "  -o, --output BASE      BASE_diversity.EXT, BASE_homog.EXT and BASE_info.txt; an\n"
         "                         existing folder (or one ending with /) gets\n"
         "                         FOLDER/<map name>_<window><R>_* (default: beside the map)\n"
         "  -f, --format FORMAT    tif (default), cog (Cloud Optimized GeoTIFF), raw, bmp or asc\n"
         "      --metrics LIST     the metrics mapped, comma-separated: diversity, homogeneity,\n"
         "                         shannon, simpson, evenness, dominant, share:CODE (default\n"
         "                         diversity,homogeneity; the others need -f tif or cog)\n"
         "      --co NAME=VALUE    GeoTIFF creation option, repeatable (COMPRESS=ZSTD, ...)\n"
         "      --quicklook        also BASE_diversity.png, BASE_homog.png, BASE_summary.html\n"
         "      --json FILE        machine-readable summary of the run\n"
         "      --lang LANG        language of the report and messages: en, fr or es\n"
         "\n"
         "Run:\n"
         "      --threads N        threads of the scan (default: every core)\n"
         "      --memory MB        memory the run may take; larger maps are treated in bands\n"
         "                         of rows (default: a quarter of the machine's memory)\n"
         "  -q, --quiet            no progress bar\n"
         "  -h, --help             this help\n"
         "      --version          the version\n";
    if (cl.has_dialogue)
        h += "\n"
             "Commands:\n"
             "  summary BASE           the pictures and summary page of an earlier run\n";
    h += "\n"
         "Examples:\n"
         "  " + p + " -w circle --surface 1 --quicklook clc06.tif\n"
         "  " + p + " -w mesh -r 5 -f asc --x-min 500000 --y-min 100000 -o runs/ map.bmp\n"
         "\n";
    h += formats_note();
    return h;
}

// The language asked for, looked for before the options are read, so that a message
// about any of them is in that language.
int idiom_of(int argc, const char* const* argv) {
    int idiom = kEnglish;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        std::string v;
        if (a == "--lang" && i + 1 < argc)
            v = argv[i + 1];
        else if (a.rfind("--lang=", 0) == 0)
            v = a.substr(7);
        else
            continue;
        if (v == "fr") idiom = kFrench;
        if (v == "es") idiom = kSpanish;
        if (v == "en") idiom = kEnglish;
    }
    return idiom;
}

// What the parser of the options could not read, in the run's language. The parser says
// it in English only; its few messages about this program's options (every value is
// taken as text) are read back for what they name.
std::string parse_error_text(const CLI::ParseError& e, int idiom) {
    const std::string what = e.what();
    const auto after = [&](const std::string& prefix, std::string& rest) {
        if (what.rfind(prefix, 0) != 0) return false;
        rest = what.substr(prefix.size());
        return true;
    };
    std::string rest;
    if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
        if (after("The following argument was not expected: ", rest))
            return say(txt::usage_unexpected, idiom, {rest});
        if (after("The following arguments were not expected: ", rest))
            return say(txt::usage_unexpected_many, idiom, {rest});
    }
    // "--rank: 1 required TEXT missing": an option given last, without its value.
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
        const std::size_t colon = what.find(": ");
        if (colon != std::string::npos && what.size() > 8 &&
            what.compare(what.size() - 8, 8, " missing") == 0)
            return say(txt::usage_value_missing, idiom, {what.substr(0, colon)});
    }
    // "Could not convert: --quiet = abc": a value given to a flag.
    if (dynamic_cast<const CLI::ConversionError*>(&e) && after("Could not convert: ", rest)) {
        const std::size_t eq = rest.find(" = ");
        if (eq != std::string::npos)
            return say(txt::usage_flag_value, idiom, {rest.substr(0, eq), rest.substr(eq + 3)});
    }
    return what;
}

// A whole number written in decimal digits, with an optional sign.
bool read_whole(const std::string& s, long long& v) {
    std::size_t i = !s.empty() && (s[0] == '+' || s[0] == '-') ? 1 : 0;
    if (i == s.size()) return false;
    for (std::size_t k = i; k < s.size(); ++k)
        if (s[k] < '0' || s[k] > '9') return false;
    errno = 0;
    v = std::strtoll(s.c_str(), nullptr, 10);
    return errno != ERANGE;
}

// A finite decimal number (no hexadecimal, no inf or nan).
bool read_real(const std::string& s, double& v) {
    if (s.empty() || s.find_first_of("xXnNiI") != std::string::npos) return false;
    char* end = nullptr;
    errno = 0;
    v = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() && errno != ERANGE && std::isfinite(v);
}

std::string show(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
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

namespace option_limits {
// Past these values the results cannot be written faithfully: the raw header keeps the
// pixel edge as a whole number, the ASCII grid prints the corner with six decimals.
constexpr double kMaxPixelSize = 1e7;
constexpr double kMaxCoordinate = 1e10;
constexpr double kMaxSurfaceKm2 = 510e6;  // the Earth's
constexpr long long kMaxMemoryMb = 1LL << 30;
constexpr long long kMaxBand = 65535;
}  // namespace option_limits

namespace {

// Every value is taken as text and checked afterwards, each option by its own rule, so
// that a message says what was given and what is allowed, in the run's language.
struct Given {
    std::string window, rank, surface, format, lang, pixel_size, x_min, y_min, band,
        threads, memory, band_rows, min_valid;
    std::vector<std::string> maps;
    CLI::Option *window_opt = nullptr, *rank_opt = nullptr, *surface_opt = nullptr,
                *pixel_size_opt = nullptr, *x_min_opt = nullptr, *y_min_opt = nullptr,
                *min_valid_opt = nullptr;  // whether each was given
};

// Every option of the command line, each value taken as text so that it is checked by
// its own rule afterwards.
void declare_options(CLI::App& app, Given& g, CommandLine& cl, bool& help, bool& version) {
    app.set_help_flag();
    app.add_flag("-h,--help", help);
    app.allow_extras(false);
    g.window_opt = app.add_option("-w,--window", g.window);
    g.rank_opt = app.add_option("-r,--rank", g.rank);
    g.surface_opt = app.add_option("--surface", g.surface);
    app.add_option("-o,--output", cl.req.output_base);
    app.add_option("-f,--format", g.format);
    app.add_option("--co", cl.req.creation_options)->allow_extra_args(false);
    app.add_option("--lang", g.lang);
    app.add_flag("--mesh-lines", cl.req.mesh_lines);
    g.pixel_size_opt = app.add_option("--pixel-size", g.pixel_size);
    g.x_min_opt = app.add_option("--x-min", g.x_min);
    g.y_min_opt = app.add_option("--y-min", g.y_min);
    app.add_option("--band", g.band);
    app.add_option("--threads", g.threads);
    app.add_option("--memory", g.memory);
    app.add_option("--band-rows", g.band_rows);  // rows per band forced, for tests and measures
    app.add_option("--metrics", cl.req.metrics)->delimiter(',')->allow_extra_args(false);
    g.min_valid_opt = app.add_option("--min-valid", g.min_valid);
    app.add_flag("-q,--quiet", cl.quiet);
    app.add_option("--json", cl.json_path);
    app.add_flag("--quicklook", cl.quicklook);
    app.add_flag("--version", version);
    app.add_option("MAP", g.maps);
}

// The checks of the options' values, each failure said in the run's language.
struct OptionCheck {
    std::ostream& err;
    const std::string& program;
    int idiom;

    int bad(const char* option, const std::string& given, const std::string& allowed) const {
        return usage_error(err, program, say(txt::option_value, idiom, {option, given, allowed}),
                           idiom);
    }
    template <typename T>
    bool whole(const char* option, const std::string& text, long long lo, long long hi,
               T& value) const {
        long long v = 0;
        if (read_whole(text, v) && v >= lo && v <= hi) {
            value = static_cast<T>(v);
            return true;
        }
        bad(option, text,
            hi >= INT_MAX ? say(txt::allowed_whole_min, idiom, {lo})
                            : say(txt::allowed_whole_range, idiom, {lo, hi}));
        return false;
    }
    bool real(const char* option, const std::string& text, double lo, double hi, bool above,
              double& value) const {
        double v = 0;
        if (read_real(text, v) && (above ? v > lo : v >= lo) && v <= hi) {
            value = v;
            return true;
        }
        bad(option, text,
            above ? say(txt::allowed_number_above, idiom, {show(lo), show(hi)})
                  : say(txt::allowed_number_range, idiom, {show(lo), show(hi)}));
        return false;
    }
    int choice(const char* option, const std::string& text,
               const std::vector<std::string>& allowed, const std::string& hint = {}) const {
        for (std::size_t k = 0; k < allowed.size(); ++k)
            if (text == allowed[k]) return static_cast<int>(k);
        std::string list;
        for (const std::string& a : allowed) list += (list.empty() ? "" : ", ") + a;
        std::string message = say(txt::option_value, idiom,
                                  {option, text, say(txt::allowed_choice, idiom, {list})});
        if (!hint.empty()) message += " (" + hint + ")";
        usage_error(err, program, message, idiom);
        return -1;
    }
    int required(const char* what) const {
        return usage_error(err, program, say(txt::option_required, idiom, {what}), idiom);
    }
};

// The result format and GDAL's creation options: -1 when they are right, otherwise the
// usage error's status.
int check_results(const Given& g, CommandLine& cl, const OptionCheck& c, std::ostream& err,
                  int idiom) {
    RunRequest& req = cl.req;
    const std::string& program = cl.program;
    if (!g.format.empty()) {
        if (c.choice("--format", g.format, formats::result_format_names(),
                     g.format == formats::png_format().name ? say(txt::png_hint, idiom, {}) : "") < 0)
            return 2;
        const formats::Format& f = *formats::format_named(g.format);
        req.res_form = f.code;
        req.cog = f.cloud_optimised;
    } else if (!gdal_available()) {
        return usage_error(err, program, say(txt::usage_no_gdal_default, idiom, {}), idiom);
    } else {
        req.res_form = formats::geotiff_format().code;
    }
    for (const std::string& co : req.creation_options)
        if (co.find('=') == std::string::npos || co.front() == '=')
            return c.bad("--co", co, say(txt::allowed_creation_option, idiom, {}));
    if (!req.creation_options.empty() && formats::format_of(req.res_form).native())
        return usage_error(err, program,
                           say(txt::option_needs, idiom, {"--co", "-f tif|cog"}), idiom);
    // GDAL's driver checks the options now, before anything is written, for the kinds of
    // band the metrics give (unknown metrics are refused later).
    std::vector<metrics::Metric> ms;
    bool bytes = true, reals = false;
    if (metrics::parse(req.metrics, ms).ok()) {
        const auto real = [](const metrics::Metric& m) { return m.type() == metrics::Type::Real; };
        bytes = !std::all_of(ms.begin(), ms.end(), real);
        reals = std::any_of(ms.begin(), ms.end(), real);
    }
    if (const std::string why =
            gdal_creation_options_problem(req.creation_options, req.cog, bytes, reals);
        !why.empty()) {
        const std::size_t nl = why.find('\n');
        return usage_error(err, program,
                           say(txt::creation_option_refused, idiom,
                               {why.substr(0, nl), nl == std::string::npos ? "" : why.substr(nl + 1)}),
                           idiom);
    }
    return -1;
}

// The map, the pictures and the JSON summary, then the request as a whole: -1 when they
// are right, otherwise the usage error's status.
int check_map_and_outputs(const Given& g, CommandLine& cl, const OptionCheck& c, std::ostream& err,
                          int idiom) {
    RunRequest& req = cl.req;
    const std::string& program = cl.program;
    if (g.maps.empty()) return c.required("MAP");
    if (g.maps.size() > 1)
        return usage_error(err, program, say(txt::usage_unexpected, idiom, {g.maps[1]}), idiom);
    req.map = g.maps.front();
    req.pictures = cl.quicklook;
    // The page is built around the diversity and homogeneity pictures.
    if (cl.quicklook) {
        const auto named = [&](const char* m) {
            return std::find(req.metrics.begin(), req.metrics.end(), m) != req.metrics.end();
        };
        if (!named("diversity") || !named("homogeneity"))
            return usage_error(err, program, say(txt::usage_quicklook_metrics, idiom, {}), idiom);
    }
    if (!cl.json_path.empty()) req.also_writes.push_back(cl.json_path);
#ifndef LANDMOSAIC_HAVE_JSON
    if (!cl.json_path.empty())
        return usage_error(err, program, say(txt::usage_no_json, idiom, {}), idiom);
#endif
    if (Status s = req.validate(); !s.ok())
        return usage_error(err, program, s.message ? status_line(s, idiom, kUtf8) : s.detail,
                           idiom);
    return -1;
}

// The values given, checked and put into the run's request: -1 when they are all
// right, otherwise the usage error's status.
int check_values(const Given& g, CommandLine& cl, std::ostream& err, int idiom) {
    using namespace option_limits;
    RunRequest& req = cl.req;
    const std::string& program = cl.program;
    const OptionCheck c{err, program, idiom};
    // A GDAL module named and unusable stops the run: another one would run in its place.
    if (const std::string why = gdal_module_problem(); !why.empty())
        return usage_error(err, program, why, idiom);
    if (g.window_opt->count() == 0) return c.required("--window");
    if (c.choice("--window", g.window, shape_names()) < 0) return 2;
    req.window = window_shape_named(g.window)->kind;
    if (g.rank_opt->count() > 0 && g.surface_opt->count() > 0)
        return usage_error(err, program,
                           say(txt::option_excludes, idiom, {"--rank", "--surface"}), idiom);
    if (g.rank_opt->count() == 0 && g.surface_opt->count() == 0)
        return usage_error(err, program, say(txt::option_required, idiom, {"--rank or --surface"}),
                           idiom);
    if (g.rank_opt->count() > 0 && !c.whole("--rank", g.rank, 0, kMaxRank, req.rank)) return 2;
    if (g.surface_opt->count() > 0 &&
        !c.real("--surface", g.surface, 0, kMaxSurfaceKm2, false, req.surface_km2))
        return 2;
    if (const int status = check_results(g, cl, c, err, idiom); status >= 0) return status;
    if (!g.lang.empty() && c.choice("--lang", g.lang, {"en", "fr", "es"}) < 0) return 2;
    if (g.pixel_size_opt->count() > 0 &&
        !c.real("--pixel-size", g.pixel_size, 0, kMaxPixelSize, true, req.pixel_size))
        return 2;
    if (g.x_min_opt->count() != g.y_min_opt->count())
        return usage_error(err, program,
                           say(txt::option_needs, idiom,
                               {g.x_min_opt->count() ? "--x-min" : "--y-min",
                                g.x_min_opt->count() ? "--y-min" : "--x-min"}),
                           idiom);
    if (g.x_min_opt->count() > 0 &&
        (!c.real("--x-min", g.x_min, -kMaxCoordinate, kMaxCoordinate, false, req.x_min) ||
         !c.real("--y-min", g.y_min, -kMaxCoordinate, kMaxCoordinate, false, req.y_min)))
        return 2;
    req.has_corner = g.x_min_opt->count() > 0;
    if (!g.band.empty() && !c.whole("--band", g.band, 1, kMaxBand, req.band)) return 2;
    req.band_given = !g.band.empty();
    if (!g.threads.empty() && !c.whole("--threads", g.threads, 1, INT_MAX, req.threads)) return 2;
    if (!g.memory.empty() && !c.whole("--memory", g.memory, 1, kMaxMemoryMb, req.memory_mb))
        return 2;
    if (!g.band_rows.empty() && !c.whole("--band-rows", g.band_rows, 1, INT_MAX, req.band_rows))
        return 2;
    if (g.min_valid_opt->count() > 0 &&
        !c.real("--min-valid", g.min_valid, 0, 100, true, req.min_valid))
        return 2;
    return check_map_and_outputs(g, cl, c, err, idiom);
}

}  // namespace

int parse_command_line(int argc, const char* const* argv, CommandLine& cl, std::ostream& out,
                       std::ostream& err) {
    const std::string& program = cl.program;
    const int idiom = idiom_of(argc, argv);
    cl.req.idiom = idiom;
    Given g;
    CLI::App app{"", program};
    bool help = false, version = false;
    declare_options(app, g, cl, help, version);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // A map whose name starts with '-' reads as an option: it goes after "--".
        std::string hint;
        for (int k = 1; k < argc && hint.empty(); ++k) {
            const std::string a = argv[k];
            std::error_code ec;
            if (a == "--") break;
            if (a.size() > 1 && a[0] == '-' && std::filesystem::is_regular_file(a, ec))
                hint = "\n" + say(txt::usage_dash_map, idiom, {a, program, a});
        }
        return usage_error(err, program, parse_error_text(e, idiom) + hint, idiom);
    }
    if (help) {
        out << help_text(cl);
        return 0;
    }
    if (version) {
        out << kVersion
            << (gdal_available() ? " (GDAL " + gdal_version() + ")" : std::string(" (without GDAL)"))
            << "\n";
        return 0;
    }
    return check_values(g, cl, err, idiom);
}

int finish_command_line(const CommandLine& cl, const RunOutcome& outcome, std::ostream& out,
                        std::ostream& err) {
    const RunRequest& req = cl.req;
    const std::string& program = cl.program;
    for (const Status& w : outcome.warnings)
        err << program << ": " << status_line(w, req.idiom, kUtf8) << "\n";
    if (outcome.exit_status == 2) {
        const Status& s = outcome.failures.front();
        return usage_error(err, program, s.message ? status_line(s, req.idiom, kUtf8) : s.detail,
                           req.idiom);
    }
    for (const Status& f : outcome.failures)
        err << program << ": " << status_line(f, req.idiom, kUtf8) << "\n";
    if (!outcome.report.empty()) out << outcome.report << "\n";
    for (const RunOutcome::File& f : outcome.files) out << f.path << "\n";

    int status = outcome.exit_status;
    const std::string info = "_info.txt";
    std::vector<std::string> written;  // the pictures and the page
    if (cl.quicklook && !outcome.report.empty() && !outcome.diversity.empty() &&
        !outcome.homogeneity.empty() && outcome.report.size() > info.size()) {
        SummaryOptions pictures;
        pictures.mesh_drawn = req.mesh_lines ? 1 : 0;
        pictures.treat_type = window_shape(req.window).treat_type;
        // The other metrics, a picture and a panel each.
        for (const RunOutcome::File& f : outcome.files) {
            if (!metrics::native(f.metric)) pictures.metrics.push_back(metric_image(f.metric, f.path));
        }
        if (req.min_valid <= 0 && outcome.windows.windows > 0)
            pictures.unclassified_share = static_cast<double>(outcome.windows.with_unclassified) /
                                          static_cast<double>(outcome.windows.windows);
        std::stringstream names;
        // From what the run made: its inventory, window and the pictures made on the way.
        if (summary_of_outcome(outcome, pictures, names, err) != 0) status = 1;
        out << names.str();
        for (std::string line; std::getline(names, line);)
            if (!line.empty()) written.push_back(line);
    }
#ifdef LANDMOSAIC_HAVE_JSON
    if (!cl.json_path.empty() && !write_text_file(cl.json_path, json_summary(req, outcome, written))) {
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
    ProgressBar bar(terminal && !cl.quiet, cl.req.idiom, kUtf8, err);
    const RunOutcome outcome = run_landmosaic(
        cl.req,
        [&](int row, int rows) {
            bar.update(row, rows);
            return !interrupted || interrupted() == 0;
        },
        [&](int nb_lig, int nb_col) { bar.map_size(nb_lig, nb_col); });
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
