// The dialogue's steps over the same row sources, band engine and format sinks as every
// other run: the map opened through the row reader of its format and its inventory taken
// as its rows stream by (no map is held whole), then the treatment, which reads the map
// again from its file a band at a time; the two result images are kept whole in memory,
// since the dialogue asks whether to draw the mesh only after the treatment, and each
// image is then written through the sink of its format.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "analysis/results.h"
#include "core/answers.h"
#include "core/progress.h"
#include "core/rows.h"
#include "core/status.h"
#include "formats/raw.h"
#include "raster/map.h"
#include "window/window.h"

struct LoadOptions {
    // A raw map whose header file is missing: the values the user gave for it. The
    // header is then written beside the map for later runs.
    const RawHeader* typed_header = nullptr;
    // Called before line i of a map read in one forward pass (an ASCII grid) is read,
    // with the map's lines; false cancels.
    Progress ascii_line;
    // A warning about a map that is still read (a header that could not be written, a
    // raw file longer than its header says, cells after the declared ones).
    std::function<void(const Status&)> warn;
};

// Opens the map `base` + the extension of `format` (a native format's number) through
// the row reader of its format: its sizes, the pixel size its files carry and, for an
// ASCII grid, its corner go to `map` (no pixels), the name of the file read to `nom_lect`,
// the reader to `src`. A raw map's pixel file must be there before its header is looked
// at; a raw map without header comes back as NeedsHeader (file: the header's name)
// unless `opt.typed_header` is given, and the header typed is then written. A map of more
// pixels than an int counts is refused. A bitmap carries no pixel size: the caller sets
// map.dpix_size.
Status open_held_map(const std::string& base, int format, LoadedMap& map, std::string& nom_lect,
                     std::unique_ptr<engine::RowSource>& src, const LoadOptions& opt = {});

// Pass 1 over the rows of `src` (the map `nom_lect` in `format`, opened by open_held_map):
// the inventory, band after band; then the warnings of a raw file longer than its header
// says or of cells after the declared ones, through `opt.warn`.
Status held_inventory(engine::RowSource& src, int format, const std::string& nom_lect,
                      Inventory& inv, const LoadOptions& opt = {});

// The treatment of run.treat_type, run.win_shape and run.range_win over the map file
// run.nom_lect (in run.format, of the sizes of `map`), band after
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
