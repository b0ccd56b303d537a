#include "window/shapes.h"

#include "text/catalogue.h"
#include "window/geometry.h"

namespace {

bool square_shape_sizes(Window& win, int range_win, double dpix_size) {
    // A mask left by an earlier pass of the size loop is of no further use.
    win.tab_rad.reset();
    square_sizes(win, range_win, dpix_size);
    return true;
}

}  // namespace

const WindowShape kWindowShapes[3] = {
    {WindowKind::Square, "square", 1, 0, true, false, square_shape_sizes, txt::square_heading,
     txt::square_surface, txt::report_square_form, txt::page::square},
    {WindowKind::Circle, "circle", 1, 1, true, true, circle_sizes, txt::circle_heading,
     txt::circle_surface, txt::report_circle_form, txt::page::circle},
    {WindowKind::Mesh, "mesh", 0, 0, false, false, square_shape_sizes, txt::cell_heading,
     txt::cell_surface, txt::report_square_form, txt::page::cell},
};

const WindowShape& window_shape(WindowKind kind) {
    for (const WindowShape& s : kWindowShapes)
        if (s.kind == kind) return s;
    return kWindowShapes[0];
}

const WindowShape& window_shape(int treat_type, int win_shape) {
    return treat_type == 0 ? window_shape(WindowKind::Mesh) : moving_window_shape(win_shape);
}

const WindowShape* find_window_shape(int treat_type, int win_shape) {
    if (treat_type == 0) return &window_shape(WindowKind::Mesh);
    if (treat_type != 1 || (win_shape != 0 && win_shape != 1)) return nullptr;
    return &moving_window_shape(win_shape);
}

const WindowShape& moving_window_shape(int win_shape) {
    return window_shape(win_shape == 1 ? WindowKind::Circle : WindowKind::Square);
}

const WindowShape* window_shape_named(std::string_view name) {
    for (const WindowShape& s : kWindowShapes)
        if (name == s.name) return &s;
    return nullptr;
}
