// The table of window shapes: the cell mesh, the square and the circular moving window.
// Every front end and stage that depends on the shape looks its row up here: the
// dialogue by its menu answers (treat_type, win_shape), the command line by `--window`,
// the band engine for its halo, the geometry for the sizes, the scans, the report and
// the summary page for their words. A new shape is one new row (and its scan).
#pragma once

#include <string_view>

#include "core/status.h"
#include "window/window.h"

struct Text;  // a message of the catalogue
namespace txt {
struct ReportLine;
}

// The window as the command line names it.
enum class WindowKind { Square, Circle, Mesh };

struct WindowShape {
    WindowKind kind;
    const char* name;  // `--window`, default result names, metadata
    // The dialogue's answers that choose it: the treatment menu (0 cell mesh, 1 moving
    // window) and, for a moving window, the shape menu (0 square, 1 circle).
    int treat_type;
    int win_shape;
    // A moving window reads R rows of halo above and below each band; the mesh reads
    // bands of whole rows of cells and no halo.
    bool moving;
    // The window's pixels are those of the circular mask (win.tab_rad), its surface
    // num_pix_circ and its advised rank R_circle; otherwise a square of 2R + 1.
    bool mask;
    // Fills the sizes of `win` for rank R and pixels of `dpix_size` metres; false when
    // the mask cannot be allocated.
    bool (*sizes)(Window& win, int range_win, double dpix_size);
    // The dialogue's heading and surface line of the sizes.
    const Text& size_heading;
    const Text& size_surface;
    // The report's rows: its "Chosen form" line names the square for the cell mesh too,
    // whose sizes are those of a square.
    const txt::ReportLine& report_form;
    // Its name on the summary page (the mesh's: its square cell).
    const Text& page_name;
};

// The rows, in the order of `--window`'s choices.
extern const WindowShape kWindowShapes[3];

const WindowShape& window_shape(WindowKind kind);
// The shape the dialogue's answers choose: the cell mesh for treat_type 0 whatever
// win_shape holds, else the moving window of win_shape (the square for any value but 1).
const WindowShape& window_shape(int treat_type, int win_shape);
// The same, strictly: null when the answers name no shape (treat_type other than 0 and
// 1, or a moving window whose win_shape is neither 0 nor 1).
const WindowShape* find_window_shape(int treat_type, int win_shape);
// The moving window of the shape menu's answer alone (what the report describes).
const WindowShape& moving_window_shape(int win_shape);
// The shape named `name` on the command line; null for no shape.
const WindowShape* window_shape_named(std::string_view name);
