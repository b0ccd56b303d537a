// The machine-readable summary of a batch run (nlohmann-json; only this unit uses it).
#pragma once

#include <string>
#include <vector>

#include "app/run.h"

// The summary of `out` as JSON text: parameters, map size and pixel size, inventory,
// diversity histogram, output paths, every result file with its metric, type, no-value
// mark and histogram (byte metrics) or least, mean and largest (real metrics), the
// windows evaluated and those holding unclassified pixels, timings, exit status and
// failures.
// `pictures`: the quicklooks and the summary page the front end wrote after the run.
std::string json_summary(const RunRequest& req, const RunOutcome& out,
                         const std::vector<std::string>& pictures = {});
