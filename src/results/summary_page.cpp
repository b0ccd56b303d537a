#include <algorithm>
#include <cmath>

#include "results/page_drawings.h"
#include "results/page_style.h"
#include "results/page_text.h"
#include "results/page_words.h"
#include "results/summary.h"
#include "window/shapes.h"

using namespace page;

namespace {

// Rows of the inventory that a printed page shows before it sums up the rest.
constexpr int kPrintedClasses = 22;

std::string inventory_table(const SummaryInput& in) {
    const Words& w = words(in.idiom);
    double top = 0;
    for (const SummaryItem& it : in.items) top = std::max(top, it.percent);
    // The largest classes stay on the printed page; the rest is summed up in one row.
    std::vector<std::size_t> order(in.items.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return in.items[a].pixels > in.items[b].pixels;
    });
    std::vector<bool> printed(in.items.size(), false);
    for (std::size_t k = 0; k < order.size() && k < static_cast<std::size_t>(kPrintedClasses); ++k)
        printed[order[k]] = true;

    // A column of names when the map names its classes.
    const bool named = std::any_of(in.items.begin(), in.items.end(),
                                   [](const SummaryItem& it) { return !it.name.empty(); });
    std::string s = "<table class=\"inv\"><thead><tr><th>" + std::string(w.code) + "</th>" +
                    (named ? "<th>" + std::string(w.class_name) + "</th>" : "") + "<th>" +
                    w.pixels + "</th><th>" + w.share + "</th><th></th></tr></thead><tbody>";
    int minor = 0;
    double minor_share = 0;
    for (std::size_t k = 0; k < in.items.size(); ++k) {
        const SummaryItem& it = in.items[k];
        if (!printed[k]) {
            ++minor;
            minor_share += it.percent;
        }
        const double width = top > 0 ? it.percent / top * 100 : 0;
        s += std::string("<tr class=\"item") + (printed[k] ? "" : " minor") + "\"><td>" +
             std::to_string(it.code) + "</td>" + (named ? "<td>" + esc(it.name) + "</td>" : "") +
             "<td class=\"n\">" + group(it.pixels, in.idiom) +
             "</td><td class=\"n\">" + pct(it.percent, in.idiom) +
             "</td><td class=\"bar\"><span class=\"b\" style=\"width:" + num(width) +
             "%\"></span></td></tr>";
    }
    if (minor > 0)
        s += "<tr class=\"others\"><td colspan=\"" + std::string(named ? "5" : "4") + "\">" +
             fill(w.others, {std::to_string(minor), pct(minor_share, in.idiom)}) + "</td></tr>";
    return s + "</tbody></table>";
}

// A surface in km2: whole above 100, three decimals below 10.
std::string area(double km2, int idiom) {
    return real(km2, km2 >= 100 ? 0 : km2 >= 10 ? 1 : 3, idiom);
}

std::string fact(const std::string& term, const std::string& value, bool wide = false) {
    return std::string(wide ? "<div class=\"wide\">" : "<div>") + "<dt>" + term + "</dt><dd>" +
           value + "</dd></div>";
}

// The scale bar under a picture of the map.
std::string scale_of(const SummaryInput& in, const Quicklook& q) {
    return scale_bar(q, in.dpix_size * q.factor, in.idiom);
}

std::string reduction_note(const Quicklook& q, const std::string& fmt) {
    if (q.factor <= 1) return "";
    return "<p class=\"note\">" + fill(fmt, {}, {q.factor, q.factor, q.factor}) + "</p>";
}

// The page's head, with its style, and the heading.
std::string head(const Words& w, const std::string& name) {
    return "<!DOCTYPE html>\n<html lang=\"" + std::string(w.lang) +
           "\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>" + name + " – LANDMOSAIC</title>\n<style>" + style() +
           "</style>\n</head>\n<body>\n<main>\n" + "<header><h1>" + name + "</h1><p class=\"sub\">" +
           w.title + "</p></header>\n";
}

// The facts of the window: treatment, shape, rank and surface.
std::string window_facts(const SummaryInput& in, const Words& w) {
    const int idiom = in.idiom;
    std::string s;
    const bool cell = in.treat_type == 0;
    if (in.treat_type >= 0)
        s += fact(w.treatment, cell ? w.cell_mesh : w.moving_window);
    // A run whose treatment is not known is taken for a moving window of its shape.
    const WindowShape& shape = window_shape(cell ? 0 : 1, in.win_shape);
    s += fact(cell ? w.cell_heading : w.window, page_text(shape.page_name, idiom));
    if (in.range_win >= 0) {
        const long long m = 2LL * in.range_win + 1;
        std::string r = std::to_string(in.range_win);
        if (in.win_shape == 1 && !cell)
            r += " (r = " + real(in.range_win + 0.5, 1, idiom) + " px)";
        else
            r += " (" + std::to_string(m) + " × " + std::to_string(m) + " px)";
        s += fact(w.rank, r);
    }
    s += fact(cell ? w.cell_surface : w.window_surface,
              fill(w.window_size, {group(in.window_pixels, idiom), real(in.window_ha, 3, idiom)}));
    return s;
}

// The facts of the map and the window.
std::string facts_section(const SummaryInput& in, const Words& w) {
    const int idiom = in.idiom;
    const double km2 = in.dpix_size * in.dpix_size * static_cast<double>(in.nb_lig) *
                       static_cast<double>(in.nb_col) * 1e-6;
    std::string s = "<section class=\"card\" id=\"facts\"><dl class=\"facts\">";
    s += fact(w.map_file, "<code>" + esc(in.map_name) + "</code>", true);
    s += fact(w.map, fill(w.size, {group(in.nb_col, idiom), group(in.nb_lig, idiom)}));
    s += fact(w.pixel_size, real(in.dpix_size, in.dpix_size == std::floor(in.dpix_size) ? 0 : 2,
                                 idiom) + " m");
    long long classified = 0;
    for (const SummaryItem& it : in.items) classified += it.pixels;
    const double classified_km2 =
        in.dpix_size * in.dpix_size * static_cast<double>(classified) * 1e-6;
    s += fact(w.surface, fill(w.classified_of, {area(classified_km2, idiom), area(km2, idiom)}));
    s += fact(w.crs, in.crs.empty() ? std::string(w.crs_unknown) : esc(in.crs));
    if (in.corner_known)
        s += fact(w.corner, real(in.X_min, 1, idiom) + " ; " + real(in.Y_min, 1, idiom));
    return s + window_facts(in, w) + "</dl></section>\n";
}

// The two pictures, diversity and homogeneity, with their legends.
std::string maps_section(const SummaryInput& in, const Words& w, const Quicklook& div,
                         const Quicklook& homo, const std::string& div_png,
                         const std::string& homo_png) {
    const int idiom = in.idiom;
    const bool cell = in.treat_type == 0;
    std::string s = "<div class=\"grid2\" id=\"maps\">\n";
    s += "<section class=\"card\" id=\"diversity\"><h2>" + std::string(w.diversity) +
         "</h2><figure>" + picture(div, div_png, w.diversity, scale_of(in, div)) +
         "<figcaption>" + (cell ? w.diversity_note_cell : w.diversity_note) + "</figcaption>" +
         legend_list(div, idiom);
    s += reduction_note(div, w.reduced_mode);
    if (div.mesh_drawn && !div.mesh_shown)
        s += "<p class=\"note\">" + std::string(w.mesh_hidden) + "</p>";
    s += "</figure></section>\n";
    s += "<section class=\"card\" id=\"homogeneity\"><h2>" + std::string(w.homogeneity) +
         "</h2><figure>" + picture(homo, homo_png, w.homogeneity, scale_of(in, homo)) +
         "<figcaption>" + (cell ? w.homogeneity_note_cell : w.homogeneity_note) +
         " (%)</figcaption>" + homogeneity_ramp() + legend_list(homo, idiom);
    s += reduction_note(homo, w.reduced_mean);
    return s + "</figure></section>\n</div>\n";
}

// The other metrics, a panel each.
std::string panels_section(const SummaryInput& in, const Words& w) {
    if (in.panels.empty()) return "";
    const int idiom = in.idiom;
    std::string s = "<div class=\"grid2\" id=\"metrics\">\n";
    int k = 0;
    for (const SummaryInput::Panel& p : in.panels) {
        const std::string title = esc(p.image.name);
        s += "<section class=\"card\" id=\"metric-" + esc(p.image.suffix) + "\"><h2>" + title +
             "</h2><figure>" + picture(p.picture, p.png, title, scale_of(in, p.picture)) +
             "<figcaption>" +
             esc(p.image.about) + "</figcaption>";
        if (p.image.real) {
            s += real_ramp(p.lo, p.hi, idiom, "mramp" + std::to_string(k++));
            s += reduction_note(p.picture, w.reduced_mean);
        } else if (p.image.categorical) {
            s += legend_list(p.picture, idiom) + reduction_note(p.picture, w.reduced_mode);
        } else {
            s += homogeneity_ramp() + legend_list(p.picture, idiom) +
                 reduction_note(p.picture, w.reduced_mean);
        }
        s += "</figure></section>\n";
    }
    return s + "</div>\n";
}

// The share of the windows that count unclassified pixels, when known.
std::string unclassified_section(const SummaryInput& in, const Words& w) {
    if (in.unclassified_share < 0) return "";
    const std::string share = pct(in.unclassified_share * 100, in.idiom);
    const bool cell = in.treat_type == 0;
    std::string s = "<section class=\"card\" id=\"unclassified\"><h2>" +
                    (cell ? w.holes_cell : w.holes) + " · " + share + "</h2>";
    if (in.unclassified_share > 0.05)
        s += "<p class=\"note\">" + fill(cell ? w.holes_hint_cell : w.holes_hint, {share}) + "</p>";
    return s + "</section>\n";
}

// The inventory and the histogram, side by side.
std::string inventory_section(const SummaryInput& in, const Words& w, const Quicklook& div) {
    std::string s = "<div class=\"grid2 stack\">\n";
    s += "<section class=\"card\" id=\"inventory\"><h2>" + std::string(w.inventory) + " · " +
         fill(w.classes, {std::to_string(in.items.size())}) + "</h2>" + inventory_table(in) +
         "</section>\n";
    s += "<section class=\"card\" id=\"histogram\"><h2>" + std::string(w.histogram) + "</h2>" +
         histogram_svg(div, in.idiom, in.treat_type == 0);
    if (div.mesh_drawn) s += "<p class=\"note\">" + std::string(w.histogram_mesh) + "</p>";
    return s + "</section>\n</div>\n";
}

// Where everything went, and the end of the page.
std::string files_section(const SummaryInput& in, const Words& w) {
    std::string s = "<section class=\"card\" id=\"files\"><h2>" + std::string(w.results) +
                    "</h2><ul class=\"files\">";
    for (const std::string& f : in.outputs) s += "<li><code>" + esc(f) + "</code></li>";
    s += "</ul></section>\n";
    return s + "<footer>" + std::string(w.made_by) + "</footer>\n</main>\n</body>\n</html>\n";
}

}  // namespace

std::string summary_html(const SummaryInput& in, const Quicklook& div, const Quicklook& homo,
                         const std::string& div_png, const std::string& homo_png) {
    const Words& w = words(in.idiom);
    const std::string name = esc(file_part(in.map_name));
    std::string s;
    s.reserve(div_png.size() * 4 / 3 + homo_png.size() * 4 / 3 + 32768);
    s += head(w, name);
    s += facts_section(in, w);
    s += maps_section(in, w, div, homo, div_png, homo_png);
    s += panels_section(in, w);
    s += unclassified_section(in, w);
    s += inventory_section(in, w, div);
    s += files_section(in, w);
    return s;
}
