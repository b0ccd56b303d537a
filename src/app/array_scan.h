// The run's steps on a map held in memory (the Python package's arrays): the inventory
// and the scan of the command line, read from a row source and written to row sinks
// that the caller provides, with no file and no report. Never prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/run.h"
#include "core/progress.h"
#include "core/rows.h"

struct ArrayScanRequest {
    WindowKind window = WindowKind::Square;
    int rank = -1;            // the rank R; below 0 when the surface chooses it
    double surface_km2 = -1;  // the surface the rank help turns into a rank
    double pixel_size = 0;    // pixel edge in metres; needed with surface_km2 only
    int threads = 0;          // 0: every core
    // Memory the bands of the scan may take, in MB (the map and results are the caller's
    // and not counted); 0: 64 MB. band_rows > 0 forces the rows per band.
    long long memory_mb = 0;
    int band_rows = 0;
    // The metrics, by the names --metrics takes, and the valid-pixel rule (0: whole
    // windows inside the map), as for the command line.
    std::vector<std::string> metrics = metrics::default_names();
    double min_valid = 0;

    // A fault of the request itself: Usage with its detail. `parsed` gets the metrics.
    Status validate(std::vector<metrics::Metric>* parsed = nullptr) const;
};

struct ArrayScanOutcome {
    Status failure;          // Usage, OutOfMemory or NotWritten; ok otherwise
    bool cancelled = false;  // the progress callback stopped the run
    int range_win = 0;       // the rank used
    Window win;
    Inventory inv;
    std::vector<metrics::Metric> metrics;  // the metrics, in the order of the sinks
    std::int64_t histo_div[260] = {};      // pixels per diversity value
    int max_histo = 0;
    bool ok() const { return failure.ok() && !cancelled; }
};

// The item inventory of the map of `src`.
ArrayScanOutcome array_inventory(engine::RowSource& src, const Progress& progress = {});

// The inventory, then the scan of the request over the map of `src`, the rows of each
// metric handed to its sink (one per metric, in the request's order; rows of floats for
// a real metric) and the sinks committed: byte for byte the rows the command line writes
// for the same map and options. `progress` follows both passes; when it returns false
// the work stops (`cancelled`) and the sinks are not committed.
ArrayScanOutcome scan_array(engine::RowSource& src, const ArrayScanRequest& req,
                            const std::vector<engine::RowSink*>& sinks,
                            const Progress& progress = {});
