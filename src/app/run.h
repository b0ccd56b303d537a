// One whole run without a dialogue: the command line's request, the stages in the order
// the dialogue runs them, and what came of it. Never prints.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/metrics.h"
#include "analysis/results.h"
#include "core/answers.h"
#include "core/progress.h"
#include "core/status.h"
#include "engine/bands.h"
#include "engine/team.h"
#include "raster/map.h"
#include "results/quicklook.h"
#include "window/shapes.h"
#include "window/window.h"

struct RunRequest {
    std::string map;  // the map file; its extension chooses the reader
    WindowKind window = WindowKind::Square;
    int rank = -1;            // the rank R; below 0 when the surface chooses it
    double surface_km2 = -1;  // the surface the rank help turns into a rank
    std::string output_base;  // results base; empty: beside the map, <name>_<window><R>
    int res_form = kGeoTiff;  // result format: kRaster, kBitmap, kAscii or kGeoTiff
    int idiom = kEnglish;     // language of the report and messages
    bool mesh_lines = false;  // draw the cell mesh on the diversity image (mesh only)
    double pixel_size = 0;    // for maps that carry none; 0 when not given
    bool has_corner = false;  // lower left corner given for maps that carry none
    double x_min = 0;
    double y_min = 0;
    int band = 1;     // band of a multi-band map read through GDAL
    int threads = 0;  // 0: every core
    // Memory the run may take, in MB: the map is read and treated in bands of rows that
    // fit in it. 0: a quarter of the machine's memory.
    long long memory_mb = 0;
    int band_rows = 0;  // rows per band forced (tests and measures); 0: from memory
    // GeoTIFF results: creation options NAME=VALUE for GDAL's driver, and the Cloud
    // Optimized layout (GDAL's COG driver) instead of a plain tiled GeoTIFF.
    std::vector<std::string> creation_options;
    bool cog = false;
    bool band_given = false;  // --band given: a colour picture's band is read all the same
    // The metrics mapped, one result file each, by the names --metrics takes: diversity,
    // homogeneity, shannon, simpson, evenness, dominant, share:CODE.
    std::vector<std::string> metrics = metrics::default_names();
    // The valid-pixel rule: the percent (0 < PCT <= 100) of a window's surface that must
    // hold classified pixels for a pixel of a class to get values; 0: the rule of whole
    // windows inside the map.
    double min_valid = 0;
    // What the front end writes after the run: the quicklook pictures and page beside the
    // results, and files of its own (a JSON summary). No output may replace another or a
    // file of the map: they are all checked before anything is written.
    bool pictures = false;
    std::vector<std::string> also_writes;

    // A usage fault of the request itself (no map read yet): Usage with its detail.
    Status validate() const;
};

struct RunTimings {
    double load = 0, inventory = 0, treatment = 0, write = 0, total = 0;  // seconds
};

struct RunOutcome {
    int exit_status = 0;           // 0 went through, 1 failed, 2 usage
    std::vector<Status> failures;  // what went wrong, in order
    std::vector<Status> warnings;  // what was said along the way
    RunAnswers run;                // the choices, as the dialogue would hold them
    int nb_lig = 0, nb_col = 0;
    double dpix_size = 0;
    bool georeferenced = false;  // the map carried a coordinate system
    std::string crs_wkt;         // ...which it is, as WKT
    std::vector<std::string> class_names;  // the map's names of its classes, by code
    bool corner_known = false;   // the lower left corner of the map, when known
    double x_min = 0, y_min = 0;
    Inventory inv;
    std::int64_t histo_div[260] = {};
    int max_histo = 0;
    Window win;
    std::string report;  // files written in full
    std::string diversity;
    std::string homogeneity;
    // Every result image written in full, in the order of the metrics, with what its
    // pixels hold.
    struct File {
        metrics::Metric metric;
        std::string path;
        engine::PlaneStats stats;
        // Its quicklook, made as its rows were written (a run that asked for pictures,
        // on its leader); null otherwise.
        std::shared_ptr<const Quicklook> picture;
    };
    std::vector<File> files;
    // The windows (cells) evaluated, and those of them that hold unclassified pixels.
    metrics::ScanCounts windows;
    RunTimings timings;
    int bands = 0;      // bands of rows the map was treated in
    int band_rows = 0;  // rows per band
};

// The result format's name on the command line (raw, bmp, asc, tif).
const char* result_format_name(int res_form);

// The default results base: beside the map, <map name>_<window><R>.
std::string default_output_base(const std::string& map, WindowKind w, int rank);

// The rank the rank help advises for `surface_km2` on pixels of `dpix_size` metres (the
// pixel edge taken to the nearest metre, at least 1): the square's for the square window
// and the mesh, the circle's for the circle.
int advised_rank(WindowKind w, double dpix_size, double surface_km2);

// Told the map's lines and columns as soon as it is open, before any row is read.
using MapOpened = std::function<void(int nb_lig, int nb_col)>;

// Runs the request: loads the map, takes the inventory, fixes the window, writes the
// report and both images. `progress(row, rows)` follows the scan; `opened`, when given,
// is told the map's sizes first.
// When `progress` returns false the run stops: Cancelled, no result file written.
RunOutcome run_landmosaic(const RunRequest& req, const Progress& progress = {},
                          const MapOpened& opened = {});
// The same run shared among the processes of `team` (collective: every process calls it).
// The leader's outcome is the run's; the leader alone writes the report and calls
// `progress` and `opened`.
RunOutcome run_landmosaic(const RunRequest& req, const Progress& progress, engine::Team& team,
                          const MapOpened& opened = {});
