// The one-page summary of a run: one self-contained HTML file (pictures embedded,
// inline style and drawings, no script, nothing fetched) in the run's language, with
// the map, the window, both quicklooks with their legends, the inventory, the
// diversity histogram and the list of files written. It prints on one A4 page and
// reads on a phone.
//
// It is made either right after a run, from what the run made (its inventory, window and
// the pictures made as its rows were written), or later from the files a run left: its
// report (BASE_info.txt) and its two result images, read a band of rows at a time.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/rows.h"
#include "raster/map.h"
#include "results/quicklook.h"
#include "core/answers.h"
#include "window/window.h"

struct SummaryItem {
    int code = 0;
    long long pixels = 0;
    double percent = 0;  // share of the pixels that hold a class
    std::string name;    // the class's name when the map carries one, empty otherwise
};

// What the page says about the run, beside the two pictures.
struct SummaryInput {
    int idiom = 0;
    std::string map_name;  // the map file as it was read
    int nb_lig = 0;
    int nb_col = 0;
    double dpix_size = 0;  // metres
    std::string crs;       // coordinate system, empty when not known
    bool corner_known = false;
    double X_min = 0, Y_min = 0;  // lower left corner
    std::vector<SummaryItem> items;
    int treat_type = -1;  // 0 cell mesh, 1 moving window, -1 not known
    int win_shape = 0;    // 0 square, 1 circle
    int range_win = 0;
    long long window_pixels = 0;
    double window_ha = 0;
    std::vector<std::string> outputs;  // files the run wrote, in order
    // The share of the evaluated windows that hold unclassified pixels (0..1), under the
    // rule of whole windows; below 0 when not known.
    double unclassified_share = -1;
    struct Panel;
    std::vector<Panel> panels;  // the other metrics, one panel each
};

// A result image beyond the diversity and the homogeneity, for a panel of its own.
struct MetricImage {
    std::string name;         // "shannon", "share:21"
    std::string suffix;       // of its file and picture: BASE_<suffix>.png
    std::string about;        // what its values are
    std::string path;         // the result file
    bool real = false;        // Float32 values, -1 no value
    bool categorical = false;  // class codes (the dominant class)
    const Quicklook* picture = nullptr;  // made by the run as its rows were written
};
namespace metrics {
struct Metric;
}
// The image of metric `m` in the file `path`, its picture not yet given.
MetricImage metric_image(const metrics::Metric& m, const std::string& path);

// A panel: the picture of a metric with its legend. A real metric's values are shown on
// a continuous ramp from `lo` to `hi`.
struct SummaryInput::Panel {
    MetricImage image;
    Quicklook picture;
    std::string png;
    double lo = 0, hi = 0;
};

// The page itself. `div_png` and `homo_png` are the bytes of the two pictures.
std::string summary_html(const SummaryInput& in, const Quicklook& div, const Quicklook& homo,
                         const std::string& div_png, const std::string& homo_png);

// The names of the three files made from the generic result name.
struct QuicklookNames {
    std::string diversity_png, homog_png, summary_html;
    explicit QuicklookNames(const std::string& base)
        : diversity_png(base + "_diversity.png"),
          homog_png(base + "_homog.png"),
          summary_html(base + "_summary.html") {}
};

// Writes BASE_diversity.png, BASE_homog.png (the pictures `div` and `homo`) and
// BASE_summary.html, each whole or not at all; their names are added to `in.outputs`.
// Returns false when one could not be written (all three are still tried); `failed`
// names them, `why` says when pictures are not available in this build.
bool write_summary(const std::string& base, SummaryInput in, const Quicklook& div,
                   const Quicklook& homo, std::vector<std::string>& failed, Status& why);

// The contents of a report file, read back.
struct ReportContents {
    int idiom = 0;
    std::string nom_lect;
    int nb_lig = 0, nb_col = 0;
    int pix_size = 0;          // whole metres, as the report shows it
    double surface_km2 = 0;    // the whole map
    std::vector<SummaryItem> items;
    int win_shape = 0;
    int range_win = -1;        // -1 when the report does not give it
    int side = 0;
    long long window_pixels = 0;
    double radius = 0;
    double window_ha = 0;
    std::string diversity_image;  // files named by the report, empty when not named
    std::string homog_image;
    std::vector<std::pair<std::string, std::string>> metric_images;  // metric, file
};

// Reads a report written by a run; false when it is not one.
bool parse_report(const std::string& text, ReportContents& out);
// Reads and understands the report file `report_name` (the report of the results
// `given`, as the base was given); false, with the fault in `err`, when it cannot.
bool read_report(const std::string& given, const std::string& report_name, ReportContents& rc,
                 Status& err);

// Opens a result image beyond the three native formats (a GeoTIFF, through GDAL) for
// reading rows, of floats with `reals`: gives its pixel size (0 when the file has none)
// and coordinate system (WKT, empty when the file has none); null, with the fault in
// `st`, when it cannot.
using ResultSourceOpener = std::function<std::unique_ptr<engine::RowSource>(
    const std::string& path, double& pixel_size, std::string& crs_wkt, Status& st, bool reals)>;

// What the caller knows beyond the files.
struct SummaryOptions {
    std::vector<MetricImage> metrics;  // the other metrics' images, a panel each
    double unclassified_share = -1;    // as SummaryInput has it
    ResultSourceOpener reader;  // for ".tif" results; none: native formats only
    int mesh_drawn = -1;       // 1 the mesh lines were drawn, 0 not; -1: found in the image
    int treat_type = -1;       // 0 cell mesh, 1 moving window; -1: found in the images
};

// The pictures and the page of a run whose results are named `given`_...: what the page
// says (`in`, with the result files in `in.outputs`), the two quicklooks, and a panel for
// each of `options.metrics` (its picture made by the run). Returns 0,
// or 1 with the fault in `err`; the names written, as `given` names them, on `out`.
int summary_of_run(const std::string& given, SummaryInput in, const Quicklook& div,
                   const Quicklook& homo, const SummaryOptions& options, std::string& out,
                   Status& err);

// `name` made absolute (as it is when that fails), as the page names files.
std::string absolute_path(const std::string& name);

// Rebuilds the pictures and the page from BASE_info.txt and the result images BASE_...
// left by a run. Returns 0, or 1 with the fault in `err` (what was missing or could not
// be read or written); `idiom` becomes the language of the report once it is read (0
// before). The names written are put on `out`, one a line.
int summary_from_results(const std::string& base, std::string& out, Status& err, int& idiom,
                         const SummaryOptions& options = {});

// A short name of a coordinate system given as WKT: its name, with its EPSG code when
// the WKT carries one ("CH1903+ / LV95 (EPSG:2056)"); empty for an empty WKT.
std::string crs_name(const std::string& wkt);
