// The dialogue's treatment and result images, over the same band engine and format sinks
// as every other run: the map is read again from its file a band at a time (the dialogue
// has read it whole once, for its inventory, and let it go), the two result images are
// kept whole in memory, since the dialogue asks whether to draw the mesh only after the
// treatment, and each image is then written through the sink of its format.
#pragma once

#include <string>

#include "analysis/results.h"
#include "core/answers.h"
#include "core/progress.h"
#include "core/status.h"
#include "raster/map.h"
#include "window/window.h"

// The treatment of run.treat_type, run.win_shape and run.range_win over the map file
// run.nom_lect (in run.format, of the sizes of `map`; map.tab_in is not used), band after
// band: the diversity image in res.tab_divers, the homogeneity in res.tab_homo, the
// histogram in res.histo_div and res.max_histo. `progress` gets the rows the scans report,
// in order; false cancels (Cancelled). OutOfMemory, naming the grid's size, when a result
// grid cannot be allocated.
Status treat_into_memory(const RunAnswers& run, const LoadedMap& map, const Inventory& inv,
                      const Window& win, Results& res, const Progress& progress = {});

// Writes `grid` (the map's size) as the result image `base` in run.res_form, sized and
// placed as `map`; `written` names the file the report names (the ".raw" file for raw).
// NotWritten, naming the file, when it cannot be written in full.
Status write_held_image(const RunAnswers& run, const LoadedMap& map, ByteMatrix grid,
                        const std::string& base, std::string& written);
