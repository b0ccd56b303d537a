// The steps of a run whose map is held whole in memory (the dialogue's), over the same
// band engine and format sinks as every other run: the treatment keeps its two result
// images in memory, since the dialogue asks whether to draw the mesh only after it, and
// each image is then written through the sink of its format.
#pragma once

#include <string>

#include "analysis/results.h"
#include "core/answers.h"
#include "core/progress.h"
#include "core/status.h"
#include "raster/map.h"
#include "window/window.h"

// The treatment of run.treat_type, run.win_shape and run.range_win over `map`, band after
// band: the diversity image in res.tab_divers, the homogeneity in res.tab_homo, the
// histogram in res.histo_div and res.max_histo. `progress` gets the rows the scans report,
// in order; false cancels (Cancelled). OutOfMemory, naming the grid's size, when a result
// grid cannot be allocated.
Status treat_held_map(const RunAnswers& run, const LoadedMap& map, const Inventory& inv,
                      const Window& win, Results& res, const Progress& progress = {});

// Writes `grid` (the map's size) as the result image `base` in run.res_form, sized and
// placed as `map`; `written` names the file the report names (the ".raw" file for raw).
// NotWritten, naming the file, when it cannot be written in full.
Status write_held_image(const RunAnswers& run, const LoadedMap& map, ByteMatrix grid,
                        const std::string& base, std::string& written);
