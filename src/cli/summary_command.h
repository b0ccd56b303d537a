// The pictures and the one-page summary of a run: from what the run made (`--quicklook`,
// on one process or on the ranks of an MPI job), or later from its files (`landmosaic
// summary BASE`).
#pragma once

#include <ostream>
#include <string>

struct SummaryOptions;
struct RunOutcome;

// Makes BASE_diversity.png, BASE_homog.png and BASE_summary.html from BASE_info.txt and
// the result images (GeoTIFF results read through GDAL when it is built in). Prints the
// names written on `out`, one a line, and the reason of a failure on `err`; returns 0,
// or 1 when something could not be made.
int make_summary(const std::string& base, SummaryOptions options, std::ostream& out,
                 std::ostream& err);

// The same after a run, from what the run made (its inventory, window and the quicklooks
// made as its rows were written, the real metrics' included) rather than from its files.
// Returns 0, or 1 with a line on `err` (the run made no pictures of its diversity and
// homogeneity).
int summary_of_outcome(const RunOutcome& outcome, SummaryOptions options,
                       std::ostream& out, std::ostream& err);

// `landmosaic summary BASE`: argv[0] is "summary", argv[1] the generic result name with
// its folder (or the report file itself).
int summary_main(int argc, char** argv);
