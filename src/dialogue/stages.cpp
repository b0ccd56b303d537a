#include "dialogue/stages.h"

#include <memory>
#include <vector>

#include "analysis/mesh.h"
#include "app/held.h"
#include "dialogue/failures.h"
#include "formats/format.h"
#include "text/catalogue.h"
#include "window/geometry.h"
#include "window/shapes.h"

void lecture(Console& con, RunAnswers& run, LoadedMap& map, Inventory& inv) {
    const int idiom = run.idiom;
    const std::string base = run.nom_lect;
    const formats::Format& format = formats::format_of(run.format);
    // Warnings are shown once the stage is back: after the line break that ends the
    // progress of an ASCII grid, before any refusal.
    std::vector<Status> warnings;
    LoadOptions opt;
    opt.ascii_line = [&](int i, int) {
        if (i == 0) con.print("\n");
        if (i > 0 && i % 100 == 0) con.say(idiom, txt::ascii_progress, {i});
        return true;
    };
    opt.warn = [&](const Status& w) { warnings.push_back(w); };
    auto show_warnings = [&] {
        for (const Status& w : warnings) con.show(w, idiom);
        warnings.clear();
    };
    // The map is opened through the row reader of its format and its inventory taken as
    // its rows stream by: it is never held whole.
    std::unique_ptr<engine::RowSource> src;
    Status s = open_held_map(base, run.format, map, run.nom_lect, src, opt);
    RawHeader typed;
    if (s.code == Status::Code::NeedsHeader) {
        // The user supplies what the header would hold; it is written for later runs.
        con.show(s, idiom);
        typed.nb_lig = con.ask_int([&] { con.say(idiom, txt::ask_lines); }, 1);
        typed.nb_col = con.ask_int([&] { con.say(idiom, txt::ask_columns); }, 1);
        typed.pix_size = con.ask_int([&] { con.say(idiom, txt::ask_pixel_size); }, 1);
        opt.typed_header = &typed;
        s = open_held_map(base, run.format, map, run.nom_lect, src, opt);
    }
    if (s.ok()) s = held_inventory(*src, run.format, run.nom_lect, inv, opt);
    src.reset();
    // The line break that ends the line progress.
    if (s.ok() && format.forward_only) con.print("\n");
    show_warnings();
    if (!s.ok()) stop_on(con, idiom, s);
    if (!format.carries_pixel_size)
        map.dpix_size = con.ask_double([&] { con.say(idiom, txt::bmp_pixel_size); }, 0.0,
                                       /*lowest_excluded=*/true);
    con.say(idiom, txt::size_first);
    con.say(idiom, txt::size_lines, {map.nb_lig});
    con.say(idiom, txt::size_columns, {map.nb_col});
    explor(con, idiom, inv);
}

void explor(Console& con, int idiom, const Inventory& inv) {
    con.say(idiom, txt::highest_code, {inv.max_hist_explor});
    for (int c = 0; c <= inv.max_hist_explor; ++c)
        con.print(txt::hist_explor_line, {c, inv.hist_explor[c]});
    con.say(idiom, txt::item_count, {inv.num_item});
    for (int k = 1; k <= inv.num_item; ++k)
        con.print(txt::item_line,
                  {k, inv.number_item[k], inv.num_pixel_item[k], inv.percent_item[k]});
}

void rank_help(Console& con, int idiom, Window& win) {
    for (const Text& line : txt::help_explanation) con.say(idiom, line);
    const int edge = con.ask_int([&] { con.say(idiom, txt::help_pixel_edge); }, 1);
    const double surface = con.ask_double([&] { con.say(idiom, txt::help_surface); }, 0.0);
    advise_ranks(win, edge, surface);
    con.say(idiom, txt::help_r_square, {win.R_square});
    con.say(idiom, txt::help_r_circle, {win.R_circle});
}

void show_sizes(Console& con, const RunAnswers& run, const LoadedMap& map, Window& win) {
    const int idiom = run.idiom;
    const Status s = window_sizes(win, run.treat_type, run.win_shape, run.range_win, map.dpix_size);
    if (!s.ok()) stop_on(con, idiom, s);
    const WindowShape& shape = window_shape(run.treat_type, run.win_shape);
    con.say(idiom, shape.size_heading);
    if (shape.mask) {
        con.say(idiom, txt::radius_line, {win.radius});
        con.say(idiom, txt::circle_pixels, {win.num_pix_circ});
        con.say(idiom, txt::circle_pixel_size, {trunc_int(win.ps), trunc_int(win.ps)});
    } else {
        con.say(idiom, txt::m_line, {run.range_win});
        con.say(idiom, txt::size_line, {win.side, win.side});
        con.say(idiom, txt::pixels_line, {win.surf_tot});
        con.say(idiom, txt::pixel_size_line, {trunc_int(win.ps), trunc_int(win.ps)});
    }
    con.say(idiom, shape.size_surface, {win.surf_win, win.surf_win * 0.01});
}

void treatment(Console& con, const RunAnswers& run, const LoadedMap& map, Inventory& inv,
               const Window& win, Results& res) {
    const int idiom = run.idiom;
    con.say(idiom, txt::treatment_heading);
    const Status s = treat_into_memory(run, map, inv, win, res, [&](int row, int) {
        con.say(idiom, txt::treatment_progress, {row});
        return true;
    });
    if (!s.ok()) stop_on(con, idiom, s);
    // The histogram goes to the console only.
    con.print(txt::max_histo_line, {res.max_histo});
    for (int v = 1; v <= res.max_histo; ++v) con.print(txt::histo_div_line, {v, res.histo_div[v]});
}

void mesh_question(Console& con, int idiom, int range_win, const std::string& diversity_base,
                   const LoadedMap& map, Results& res) {
    con.say(idiom, txt::mesh_question, {diversity_base});
    // Only the choices are shown again; a negative answer means no drawing.
    const int cmd = con.menu([&] { con.say(idiom, txt::yes_no_menu); }, 1, /*negative_ok=*/true);
    if (cmd != 0) return;
    con.say(idiom, txt::mesh_drawing);
    if (res.tab_divers) draw_mesh(res.tab_divers.get(), map.nb_lig, map.nb_col, range_win);
}

bool write_result_images(Console& con, const RunAnswers& run, const LoadedMap& map, Results& res,
                         Report& rep, ResultFiles& files) {
    const int idiom = run.idiom;
    struct Image {
        ByteMatrix grid;
        std::string base;
        std::string& nom;
        std::string& descr;
        const txt::ReportLine& line;
    };
    // Diversity image first, with the mesh lines if they were drawn; then the
    // homogeneity image, as the scan left it.
    Image images[2] = {{res.tab_divers.get(), diversity_base(run), files.nom_diversidad,
                        files.descr_diversidad, txt::report_diversity_image},
                       {res.tab_homo.get(), homogeneity_base(run), files.nom_homo, files.descr_homo,
                        txt::report_homogeneity_image}};
    bool all_written = true;
    const formats::Format& format = formats::format_of(run.res_form);
    for (Image& im : images) {
        // Rows of text are preceded by two blank lines.
        if (format.layout && format.forward_only) con.print(txt::ascii_grid_gap);
        im.descr = format.side_extension ? im.base + format.side_extension : std::string();
        const Status s = write_held_image(run, map, im.grid, im.base, im.nom);
        if (s.ok()) {
            rep.write(im.line.in(idiom), {im.nom});
        } else {
            // The report names only files that exist in full.
            con.show(s, idiom);
            all_written = false;
        }
    }
    return all_written;
}
