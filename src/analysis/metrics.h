// The landscape metrics of a window or cell, every one a function of its class counts.
//
// A window (or cell) holds c_k pixels of each class k (codes 0..254), n = sum c_k
// classified pixels, on a surface of S pixels. The table below lists every metric the
// program maps: its name, the type of its result band, its no-value mark and its
// function of the counts. The counts scan keeps the counts of each window as the window
// slides, with the sums the metrics need (n, the classes present, the largest count, an
// integer sum of c^2 and a fixed-point sum of c ln c) updated as each count changes, and
// writes one result plane per metric asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/results.h"
#include "core/progress.h"
#include "core/status.h"
#include "raster/map.h"
#include "window/window.h"

namespace metrics {

enum class Id { Diversity, Homogeneity, Shannon, Simpson, Evenness, Dominant, Share };
enum class Type { Byte, Real };

// The no-value mark of the real metrics.
inline constexpr float kRealNoValue = -1.0f;

// One row of the metric table.
struct Row {
    const char* name;    // as --metrics names it ("share" takes ":CODE")
    Id id;
    Type type;
    double no_value;     // 255 for bytes, -1 for reals
    const char* suffix;  // result file: BASE_<suffix>.EXT
    const char* about;   // what the value is, for file descriptions and summaries
};

// Every metric, in the order the help lists them.
const std::vector<Row>& table();
const Row& row(Id id);

// One metric asked for: a row of the table, and the class code of a share.
struct Metric {
    Id id = Id::Diversity;
    int code = -1;  // share:CODE
    const Row& info() const { return row(id); }
    Type type() const { return info().type; }
    std::string name() const;    // "shannon", "share:21"
    std::string suffix() const;  // "shannon", "share21", "homog"
    bool operator==(const Metric&) const = default;
};

// The metrics of a run that names none.
std::vector<std::string> default_names();

// Reads metric names ("diversity", "share:21", ...): a usage fault (naming the metric
// and listing the known ones, in the catalogue's words) for a name not known, a share
// whose code is not 0..254, or a metric named twice.
Status parse(const std::vector<std::string>& names, std::vector<Metric>& out);

// True when the metrics are the two a run maps by default, in that order.
bool is_default(const std::vector<Metric>& ms);

// True for a metric that the three native formats can hold (diversity, homogeneity).
bool native(const Metric& m);

// The valid-pixel rule: a pixel whose own value is a class gets values when at least
// `min_valid` percent of its window's full surface holds classified pixels (windows past
// the map's edge count the outside as not classified; the mesh evaluates the partial
// cells at the right and bottom edges too), the shares and the homogeneity taken over
// the classified pixels. 0: the rule of whole windows inside the map, over the surface.
struct Rule {
    double min_valid = 0;
    bool on() const { return min_valid > 0; }
};

// One result plane: rows of bytes or of floats (Type::Real), `rows[k]` the k-th line.
struct Plane {
    Type type = Type::Byte;
    std::vector<unsigned char*> rows;
};

// What a counts scan finds besides the planes: the evaluated windows (cells for the
// mesh) and those of them that hold unclassified pixels.
struct ScanCounts {
    std::int64_t windows = 0;
    std::int64_t with_unclassified = 0;
    bool cancelled = false;  // the progress asked to stop
    void add(const ScanCounts& o) {
        windows += o.windows;
        with_unclassified += o.with_unclassified;
    }
};

// The window of a scan: treat_type 0 the cell mesh, 1 a moving window; win_shape 0 the
// square, 1 the circle (its mask win.tab_rad); rw the rank.
struct Shape {
    int treat_type = 1;
    int win_shape = 0;
    int rw = 0;
};

// One run of pixels of a row of the window: row dy from the centre, columns l0..l1.
struct Run {
    int dy, l0, l1;
};

// The window's pixels as runs along its rows, top row first: the square's whole rows, the
// circle's runs of its mask; none for a circle whose mask does not match its rank.
std::vector<Run> window_runs(const Window& win, const Shape& shape);

// How counts_scan slides a moving window: `best`, on the vector kernels where the
// window allows; `pixels`, pixel by pixel along each centre row (the straightforward
// way, which the other must equal byte for byte).
enum class Method { best, pixels };

// Writes the metrics `ms` of every centre of rows [r0, r1) of `map` into `planes` (one per
// metric, rows of map.nb_col values, every pixel of those rows written: the no-value mark
// where none), under `rule`. The rows of `map` are all the map rows within the window's
// reach of rows [r0, r1): a row beyond them is beyond the map's edge. For the mesh, row 0
// of `map` is the top of a row of cells. `threads`: workers, 0 for one per hardware
// thread. Returns the windows evaluated with centres in [r0, r1) (the mesh: the cells
// whose top row is there). `progress` gets the rows done (rows of `map`), on this thread,
// in order; when it returns false the scan stops and says it was cancelled.
ScanCounts counts_scan(const LoadedMap& map, const Inventory& inv, const Window& win,
                       const Shape& shape, const Rule& rule, const std::vector<Metric>& ms,
                       int r0, int r1, std::vector<Plane>& planes, int threads = 0,
                       const Progress& progress = {}, Method method = Method::best);

// The same windows as the dialogue's rule evaluates (whole windows inside the map, whole
// cells), with centres in rows [r0, r1): how many there are and how many hold a pixel of
// no class (255). Cheap beside a scan: it looks only for 255. `threads` as the scans'.
ScanCounts unclassified_windows(const LoadedMap& map, const Window& win, const Shape& shape,
                                int r0, int r1, int threads = 0);

}  // namespace metrics
