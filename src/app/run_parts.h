// The parts of one batch run (app/run.cpp's sequence of steps), shared by the units that
// build it: the map opened (map_open.cpp), the outputs named and checked (outputs.cpp),
// the sinks of the result images (result_sinks.cpp), the steps over one `RunState`
// (run_steps.cpp). Not for the front ends: they call run_landmosaic.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/run.h"
#include "formats/format.h"
#include "formats/gdal_raster.h"
#include "formats/raw.h"
#include "results/picture_sink.h"
#include "results/report.h"

namespace run_parts {

inline double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// --- The map (map_open.cpp) ---

// The format of a map whose reader is the program's own (its extension in the format
// table, in any case), null for a map GDAL reads. `base` is the name without its extension.
const formats::Format* native_format(const std::string& path, std::string& base);

// The map named on the command line is there and is a file: otherwise say so, and when
// the name lacks the extension of a map that is there, name that map.
Status check_map_name(const std::string& map);

// The sizes, pixel size and corner of a map read by rows.
void header_from(const engine::MapInfo& info, LoadedMap& map);

// A raw map's header values: its value range and pixel size into `map`, its sizes and
// pixel size into what its reader is told the map declares.
void take_raw_header(const RawHeader& h, LoadedMap& map, engine::MapInfo& declared);

// Opens the map of the request for reading by rows: its sizes, pixel size and corner go to
// `map` (no pixels), its name to `out.run.nom_lect`.
Status open_map(const RunRequest& req, RunOutcome& out, LoadedMap& map,
                std::unique_ptr<engine::RowSource>& src, GdalRowSource*& gdal);

// --- The outputs (outputs.cpp) ---

// The folder an output goes to, as the messages name it.
std::string folder_of_output(const std::string& path);

// The results base of the request: beside the map by default; in the folder -o names
// when it is one (or ends with a separator), under the default name; otherwise -o as
// given. A folder that is not there is said to be missing.
Status output_base(const RunRequest& req, const std::string& map, int rank, std::string& base);

// An output that would replace a file of the map (any of `inputs`, whatever the
// spelling), or another output of the same run: Usage, naming both.
Status outputs_clash(const RunRequest& req, const RunAnswers& run,
                     const std::vector<std::string>& inputs);

// --- The result images' sinks (result_sinks.cpp) ---

// A sink that takes the rows of an image that could not be created and fails its commit.
std::unique_ptr<engine::RowSink> no_sink();

// `inner` wrapped so that its first failure is kept for its commit, the run going on.
std::unique_ptr<engine::RowSink> keeping_failure(std::unique_ptr<engine::RowSink> inner);

// The run's parameters, kept in the GeoTIFF results.
std::vector<std::pair<std::string, std::string>> run_metadata(const RunOutcome& out,
                                                              const RunRequest& req,
                                                              const metrics::Metric& metric);

// The GeoTIFF kind of a metric's image: its data type, colours and no-value mark.
ResultKind result_kind(const metrics::Metric& m);

// How a metric's GeoTIFF band is laid out.
GeoTiffLayout geotiff_layout(const RunRequest& req, const metrics::Metric& m,
                             const Inventory& inv);

// --- The steps (run_steps.cpp) ---

// One run as it goes through its steps: the request, what the steps have found and made,
// and the outcome they fill.
struct RunState {
    RunState(const RunRequest& r, const Progress& p, engine::Team& t)
        : req(r), progress(p), team(t), lead(t.leads()) {
        out.run.idiom = req.idiom;
        out.run.res_form = req.res_form;
    }
    const RunRequest& req;
    const Progress& progress;
    engine::Team& team;
    const bool lead;
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    RunOutcome out;
    std::vector<metrics::Metric> metrics;
    // The map, read by rows: its sizes and corner (no pixels), its source.
    LoadedMap map;
    std::unique_ptr<engine::RowSource> src;
    GdalRowSource* gdal = nullptr;
    engine::MapInfo source_info;
    long long budget = 0;       // what the run may take, bytes
    long long held = 0;         // what GDAL holds besides the bands
    long long band_budget = 0;  // what is left for the bands
    int tile_rows = 0;          // of GeoTIFF results
    // The outputs: the report, then one image per metric.
    Report rep;
    struct Image {
        metrics::Metric metric;
        std::string base;
        std::unique_ptr<engine::RowSink> sink;
        Status failure;
        PictureSink* picture = nullptr;  // the quicklook made on the way, when asked
    };
    std::vector<Image> images;
    engine::MapInfo info;  // the results' sizes and place
    engine::BandJob job;
    engine::BandPlan plan;
    engine::DiversityTotals totals;

    RunAnswers& run() { return out.run; }
    engine::BandPlan plan_for(const engine::BandJob& j) const {
        return req.band_rows > 0 ? engine::plan_bands_of(map.nb_lig, j, req.band_rows)
                                 : engine::plan_bands(map.nb_lig, map.nb_col, j, band_budget);
    }
    // The progress, shown by the leader alone. Every process asks it, so that each stops
    // at once when it is told to (mpirun signals every rank, then kills them a second
    // later); a stop on any process stops them all.
    bool report_progress(int row, int rows) const {
        return !progress || progress(row, rows);
    }
    // The outcome: `failure` (when any) last among the failures.
    RunOutcome finish(Status failure) {
        if (!failure.ok()) {
            out.exit_status = failure.code == Status::Code::Usage ? 2 : 1;
            out.failures.push_back(std::move(failure));
        } else {
            out.exit_status = out.failures.empty() ? 0 : 1;
        }
        out.timings.total = seconds_since(start);
        return std::move(out);
    }
};
// Each step of a run, in their order; the first that fails ends the run.
Status open_step(RunState& r);
Status inventory_step(RunState& r);
Status window_step(RunState& r);
Status report_step(RunState& r);
void sinks_step(RunState& r);
Status treat_step(RunState& r);
void commit_step(RunState& r);

}  // namespace run_parts
