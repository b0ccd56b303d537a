#include "window/geometry.h"

#include <climits>
#include <cmath>

#include "raster/nrutil.h"
#include "text/catalogue.h"
#include "window/shapes.h"

int trunc_int(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return INT_MAX;
    if (x <= -2147483648.0) return INT_MIN;
    return static_cast<int>(x);
}

void advise_ranks(Window& win, int pixel_edge, double surface_km2) {
    win.side = pixel_edge;
    win.surf_window = surface_km2;
    // The surface in m2, and the radius in metres of a circle of that surface.
    win.S = win.surf_window * 1000000;
    win.radius = std::sqrt(win.S * 0.3183098861837907);
    win.rad_pix = win.radius / win.side;
    win.R_circle = trunc_int(win.rad_pix + 0.5);
    // The edge in pixels of a square of that surface. The pixel surface is a whole
    // number of m2, taken in 64 bits so that a large edge does not wrap around.
    const long long pixel_m2 = static_cast<long long>(win.side) * win.side;
    win.val_prov = std::sqrt(win.S / static_cast<double>(pixel_m2));
    win.val_prov = (win.val_prov - 1) * 0.5;
    win.R_square = trunc_int(win.val_prov + 0.5);
}

void square_sizes(Window& win, int range_win, double dpix_size) {
    win.ps = dpix_size;
    win.ps2 = win.ps * win.ps;
    win.side = (range_win * 2) + 1;
    win.surf_tot = win.side * win.side;
    win.surf_win = win.surf_tot * win.ps2;
    win.surf_window = win.surf_tot;
    win.surf_win = win.surf_win * 0.0001;
}

bool circle_sizes(Window& win, int range_win, double dpix_size) {
    win.ps = dpix_size;
    win.ps2 = win.ps * win.ps;
    win.radius = range_win + 0.5;
    if (!circle(win)) return false;
    win.surf_tot = win.num_pix_circ;
    win.surf_win = win.surf_tot * win.ps2;
    win.surf_window = win.surf_tot;
    win.surf_win = win.surf_win * 0.0001;
    return true;
}

Status window_sizes(Window& win, int treat_type, int win_shape, int range_win, double dpix_size) {
    if (!window_shape(treat_type, win_shape).sizes(win, range_win, dpix_size))
        return Status::make(Status::Code::OutOfMemory, {}, txt::out_of_memory, {win.nb, win.nb});
    return Status::success();
}

bool circle(Window& win) {
    const double pi = std::atan(1.0) * 4;
    const double deg_to_rad = pi * (1.0 / 180.0);
    const double radius = win.radius;

    // Release the previous mask before making the new one.
    win.tab_rad.reset();
    win.num_pix_circ = 0;
    win.nb = trunc_int(radius * 2);
    const int nb = win.nb;
    win.tab_rad = ByteGrid(ucmatrice(nb, nb), nb);
    if (!win.tab_rad) return false;
    ByteMatrix mask = win.tab_rad.get();

    // Concentric rings one pixel apart, from the rim inwards, each drawn point by
    // point every quarter of a degree. With radius = R + 0.5 every point falls inside
    // the mask; the bounds test only guards other radii.
    const int rings = trunc_int(radius + 1);
    double d = radius;
    for (int ring = 0; ring < rings; ++ring) {
        double a = 0;
        for (int step = 0; step < 1440; ++step) {
            const double ar = a * deg_to_rad;
            const int i = trunc_int(trunc_int(std::sin(ar) * d) + radius);
            const int j = trunc_int(trunc_int(std::cos(ar) * d) + radius);
            if (i >= 0 && i < nb && j >= 0 && j < nb) mask[i][j] = 1;
            a += 0.25;
        }
        d -= 1;
    }

    long long count = 0;
    for (int i = 0; i < nb; ++i)
        for (int j = 0; j < nb; ++j) count += mask[i][j];
    win.num_pix_circ = static_cast<int>(count);
    return true;
}
