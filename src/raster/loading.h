// Map loading: reads a map in one of the program's own formats, without a word to the
// user. What goes wrong comes back as a Status for the front end to tell.
#pragma once

#include <functional>
#include <string>

#include "core/progress.h"
#include "core/status.h"
#include "raster/map.h"
#include "formats/raw.h"

struct LoadOptions {
    // A raw map whose header file is missing: the values the user gave for it. The
    // header is then written beside the map for later runs.
    const RawHeader* typed_header = nullptr;
    // Called before line i of an ASCII grid is read (i = 0 once the cells exist), with
    // the grid's lines; false cancels.
    Progress ascii_line;
    // A warning about a map that is still read (a header that could not be written).
    std::function<void(const Status&)> warn;
};

// Reads the map `base` + the extension of `format` (0 raw with its ".txt" header, 1
// bitmap, 2 ASCII grid) into `map`: tab_in, nb_lig, nb_col, the pixel size the files
// carry and, for an ASCII grid, the corner. `nom_lect` receives the name of the file
// read. A raw map without header comes back as NeedsHeader (file: the header's name)
// unless `opt.typed_header` is given. A bitmap carries no pixel size: the caller sets
// map.dpix_size.
Status load_map(const std::string& base, int format, LoadedMap& map, std::string& nom_lect,
                const LoadOptions& opt = {});
