// The machine-readable summary of a batch run (nlohmann-json; only this unit uses it).
#pragma once

#include <string>

#include "app/run.h"

// The summary of `out` as JSON text: parameters, map size and pixel size, inventory,
// diversity histogram, output paths, timings, exit status and failures.
std::string json_summary(const RunRequest& req, const RunOutcome& out);
