#include "results/report.h"

#include <cmath>
#include <string>

#include "text/catalogue.h"
#include "window/shapes.h"

bool Report::open(const std::string& nom_info) {
    file.abandon();
    failed = false;
    f3 = file.open(nom_info, /*text=*/true) ? file.get() : nullptr;
    return f3 != nullptr;
}

void Report::write(const char* fmt, std::initializer_list<Arg> args) {
    if (!f3) {
        failed = true;
        return;
    }
    const std::string line = format_text(fmt, {}, args, false);
    if (line.empty()) return;
    if (std::fwrite(line.data(), 1, line.size(), f3) != line.size() || std::ferror(f3))
        failed = true;
}

bool Report::close() {
    if (f3) {
        // A full disk often shows only when the buffer is flushed or the file closed.
        if (failed) {
            file.abandon();
        } else if (!file.commit()) {
            failed = true;
        }
        f3 = nullptr;
    }
    return !failed;
}

namespace {

// Truncation toward zero of a real number shown as a whole number; values beyond
// the range of a 64-bit integer (never met with a sane pixel size) are clamped.
long long trunc_ll(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 9.2e18) return 9200000000000000000LL;
    if (x <= -9.2e18) return -9200000000000000000LL;
    return static_cast<long long>(x);
}

}  // namespace

void write_report_body(Report& rep, const RunAnswers& run, const LoadedMap& map,
                       const Inventory& inv, const Window& win) {
    const int idiom = run.idiom;
    rep.write(txt::report_title.in(idiom));
    rep.write(txt::report_image_heading.in(idiom));
    rep.write(txt::report_image_name.in(idiom), {run.nom_lect});
    rep.write(txt::report_features.in(idiom));
    rep.write(txt::report_size.in(idiom), {map.nb_lig, map.nb_col});
    rep.write(txt::report_pixel_size.in(idiom), {trunc_ll(map.dpix_size)});
    // The surface of one pixel first, then the number of pixels, taken as a real so
    // that a large map cannot overflow the product of its two sides.
    const double surf = (map.dpix_size * map.dpix_size) *
                        (static_cast<double>(map.nb_lig) * static_cast<double>(map.nb_col));
    rep.write(txt::report_surface.in(idiom), {surf * 0.000001});

    rep.write(txt::report_item_count.in(idiom), {inv.num_item});
    for (int k = 1; k <= inv.num_item && k < 260; ++k)
        rep.write(txt::report_item.in(idiom),
                  {k, static_cast<int>(inv.number_item[k]), static_cast<long long>(inv.num_pixel_item[k]),
                   inv.percent_item[k]});

    rep.write(txt::report_window_heading.in(idiom));
    // The shape alone chooses the rows: after a cell-mesh dialogue the square rows
    // describe the cell, whose sizes live in the same fields.
    const long long ps = trunc_ll(win.ps);
    const WindowShape& shape = moving_window_shape(run.win_shape);
    rep.write(shape.report_form.in(idiom));
    if (!shape.mask) {
        rep.write(txt::report_square_heading.in(idiom));
        rep.write(txt::report_square_rank.in(idiom), {run.range_win});
        rep.write(txt::report_square_size.in(idiom), {win.side, win.side});
        rep.write(txt::report_square_pixels.in(idiom), {win.surf_tot});
        rep.write(txt::report_square_pixel_size.in(idiom), {ps, ps});
        rep.write(txt::report_square_surface.in(idiom), {win.surf_win, win.surf_win * 0.01});
    } else {
        rep.write(txt::report_circle_heading.in(idiom));
        rep.write(txt::report_circle_radius.in(idiom), {win.radius});
        rep.write(txt::report_circle_pixels.in(idiom), {win.num_pix_circ});
        rep.write(txt::report_circle_pixel_size.in(idiom), {ps, ps});
        rep.write(txt::report_circle_surface.in(idiom), {win.surf_win, win.surf_win * 0.01});
    }

    for (const txt::ReportLine& line : txt::report_closing) rep.write(line.in(idiom));
}
