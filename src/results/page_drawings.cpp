#include "results/page_drawings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "results/page_text.h"
#include "results/page_words.h"

namespace page {

namespace {

// A legend with more values than this shows them on a strip and sums them in ranges.
constexpr std::size_t kLegendValues = 16;

std::string legend_row(const std::string& swatch, const std::string& label, double share,
                       int idiom) {
    return "<li>" + swatch + "</span><span class=\"v\">" + label + "</span><span class=\"s\">" +
           pct(share, idiom) + "</span></li>";
}

std::string swatch_of(const Rgba& c) {
    return "<span class=\"sw\" style=\"background:" + css_colour(c) + "\">";
}

// Many diversity values: every colour on one strip, its values below, then one row per
// range of values with the colour of its middle.
std::string value_strip(const std::vector<const LegendEntry*>& values, int idiom,
                        std::string& rows) {
    const double x0 = 8, x1 = 372, cell = (x1 - x0) / static_cast<double>(values.size());
    std::string s = "<svg class=\"ramp\" viewBox=\"0 0 380 30\" role=\"img\">";
    for (std::size_t k = 0; k < values.size(); ++k)
        s += "<rect x=\"" + num(x0 + cell * k) + "\" y=\"2\" width=\"" + num(cell + 0.3) +
             "\" height=\"12\" fill=\"" + css_colour(values[k]->colour) + "\"/>";
    const std::size_t step = (values.size() + 5) / 6;
    for (std::size_t k = 0; k < values.size(); k += step) {
        const double x = x0 + cell * (k + 0.5);
        s += "<text x=\"" + num(x) + "\" y=\"27\" font-size=\"10\" text-anchor=\"middle\" " +
             "fill=\"#5a6474\">" + std::to_string(values[k]->lo) + "</text>";
    }
    s += "<text x=\"" + num(x1) + "\" y=\"27\" font-size=\"10\" text-anchor=\"end\" " +
         "fill=\"#5a6474\">" + std::to_string(values.back()->lo) + "</text></svg>";

    const int first = values.front()->lo, last = values.back()->lo;
    const int width = (last - first + 8) / 8;
    for (int a = first; a <= last; a += width) {
        const int b = std::min(last, a + width - 1);
        double share = 0;
        const LegendEntry* middle = nullptr;
        for (const LegendEntry* e : values) {
            if (e->lo < a || e->lo > b) continue;
            share += e->share;
            if (!middle || std::abs(2 * e->lo - (a + b)) < std::abs(2 * middle->lo - (a + b)))
                middle = e;
        }
        if (!middle) continue;
        rows += legend_row(swatch_of(middle->colour),
                           a == b ? std::to_string(a) : std::to_string(a) + "–" + std::to_string(b),
                           share, idiom);
    }
    return s;
}

}  // namespace

std::string legend_list(const Quicklook& q, int idiom) {
    const Words& w = words(idiom);
    std::vector<const LegendEntry*> values;
    for (const LegendEntry& e : q.legend)
        if (e.kind == LegendEntry::Kind::Value && e.lo >= 1) values.push_back(&e);
    // A ramp's many values go on a strip; the map's own colours are listed code by code.
    const bool strip = !q.own_colours && values.size() > kLegendValues;
    std::string rows, drawing;
    for (const LegendEntry& e : q.legend) {
        switch (e.kind) {
            case LegendEntry::Kind::Value:
                if (strip && e.lo >= 1) {
                    if (&e == values.front()) drawing = value_strip(values, idiom, rows);
                } else {
                    rows += legend_row(swatch_of(e.colour), std::to_string(e.lo), e.share, idiom);
                }
                break;
            case LegendEntry::Kind::Range:
                rows += legend_row(swatch_of(e.colour),
                                   std::to_string(e.lo) + "–" + std::to_string(e.hi) + " %",
                                   e.share, idiom);
                break;
            case LegendEntry::Kind::NoValue:
                rows += legend_row("<span class=\"sw none\">", w.no_value, e.share, idiom);
                break;
            case LegendEntry::Kind::Mesh:
                rows += legend_row(swatch_of(e.colour), w.mesh_lines, e.share, idiom);
                break;
        }
    }
    return drawing + "<div class=\"legend-head\">" + std::string(w.colour) + " · " + w.value +
           " · " + w.share_of_map + "</div><ul class=\"legend\">" + rows + "</ul>";
}

// The colour ramp of the homogeneity, 0 to 100 %, as a small drawing.
std::string homogeneity_ramp() {
    std::string s =
        "<svg class=\"ramp\" viewBox=\"0 0 380 30\" role=\"img\" aria-label=\"0-100 %\">"
        "<defs><linearGradient id=\"hramp\" x1=\"0\" x2=\"1\" y1=\"0\" y2=\"0\">";
    for (int p = 0; p <= 100; p += 10)
        s += "<stop offset=\"" + num(p / 100.0) + "\" stop-color=\"" +
             css_colour(homogeneity_colour(p)) + "\"/>";
    s += "</linearGradient></defs><rect x=\"20\" y=\"2\" width=\"340\" height=\"12\" "
         "fill=\"url(#hramp)\" stroke=\"#0003\"/>";
    for (int p = 0; p <= 100; p += 25) {
        const double x = 20 + 3.4 * p;
        s += "<line x1=\"" + num(x) + "\" x2=\"" + num(x) +
             "\" y1=\"14\" y2=\"18\" stroke=\"#5a6474\"/><text x=\"" + num(x) +
             "\" y=\"28\" font-size=\"10\" text-anchor=\"middle\" fill=\"#5a6474\">" +
             std::to_string(p) + " %</text>";
    }
    return s + "</svg>";
}

// The ramp of a real metric, from lo to hi, as a small drawing.
std::string real_ramp(double lo, double hi, int idiom, const std::string& id) {
    std::string s = "<svg class=\"ramp\" viewBox=\"0 0 380 30\" role=\"img\">"
                    "<defs><linearGradient id=\"" + id + "\" x1=\"0\" x2=\"1\" y1=\"0\" y2=\"0\">";
    for (int p = 0; p <= 100; p += 10)
        s += "<stop offset=\"" + num(p / 100.0) + "\" stop-color=\"" +
             css_colour(homogeneity_colour(p)) + "\"/>";
    s += "</linearGradient></defs><rect x=\"20\" y=\"2\" width=\"340\" height=\"12\" "
         "fill=\"url(#" + id + ")\" stroke=\"#0003\"/>";
    for (int p = 0; p <= 100; p += 25) {
        const double x = 20 + 3.4 * p;
        s += "<line x1=\"" + num(x) + "\" x2=\"" + num(x) +
             "\" y1=\"14\" y2=\"18\" stroke=\"#5a6474\"/><text x=\"" + num(x) +
             "\" y=\"28\" font-size=\"10\" text-anchor=\"middle\" fill=\"#5a6474\">" +
             real(lo + (hi - lo) * p / 100.0, 3, idiom) + "</text>";
    }
    return s + "</svg>";
}

// A length of 1, 2 or 5 times a power of ten metres, at most `most`.
double round_length(double most) {
    if (!(most > 0)) return 0;
    const double p = std::pow(10.0, std::floor(std::log10(most)));
    for (double m : {5.0, 2.0, 1.0})
        if (m * p <= most) return m * p;
    return p;
}

std::string scale_bar(const Quicklook& q, double metres_per_pixel, int idiom) {
    const double width_m = metres_per_pixel * q.image.width;
    const double length = round_length(width_m / 4);
    if (!(length > 0) || q.image.width <= 0) return "";
    // Drawn in the picture's own pixels, so that the bar keeps the picture's scale at any
    // width it is shown.
    const double W = q.image.width, bar = length / metres_per_pixel, h = W / 380 * 22;
    const double x0 = W / 380 * 4, y = h * 0.35, tick = h * 0.25, fs = h * 0.42;
    const std::string label = length >= 1000 ? real(length / 1000, 0, idiom) + " km"
                                             : real(length, length < 1 ? 1 : 0, idiom) + " m";
    const Words& w = words(idiom);
    return "<svg class=\"scale\" viewBox=\"0 0 " + num(W) + " " + num(h) +
           "\" role=\"img\" aria-label=\"" + std::string(w.scale) + " " + label + "\">" +
           "<path d=\"M" + num(x0) + " " + num(y - tick) + "V" + num(y) + "H" + num(x0 + bar) +
           "V" + num(y - tick) + "\" fill=\"none\" stroke=\"#1c2430\" stroke-width=\"" +
           num(std::max(1.0, h * 0.07)) + "\"/><text x=\"" + num(x0 + bar + h * 0.25) +
           "\" y=\"" + num(y + fs * 0.1) + "\" font-size=\"" + num(fs) +
           "\" fill=\"#1c2430\">" + label + "</text></svg>";
}

std::string picture(const Quicklook& q, const std::string& png, const std::string& alt,
                    const std::string& below) {
    const double ar = q.image.height > 0 ? static_cast<double>(q.image.width) / q.image.height : 1;
    char style[64];
    std::snprintf(style, sizeof style, "--ar:%.4f", ar);
    // Small pictures are enlarged with sharp pixels; large ones are smoothed as they
    // shrink to the page.
    const char* cls = q.image.width < 700 && q.image.height < 700 ? "map px" : "map";
    return "<div class=\"pic\"><div class=\"frame\" style=\"" + std::string(style) +
           "\"><img class=\"" + std::string(cls) + "\" width=\"" + std::to_string(q.image.width) +
           "\" height=\"" + std::to_string(q.image.height) + "\" alt=\"" + alt +
           "\" src=\"data:image/png;base64," + base64(png) + "\">" + below + "</div></div>";
}

// A step between grid lines of a chart whose highest bar is `top`: 1, 2 or 5 times a
// power of ten, about four lines.
double nice_step(double top) {
    if (top <= 0) return 1;
    const double raw = top / 4;
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= raw) return m * p;
    return 10 * p;
}

std::string histogram_svg(const Quicklook& div, int idiom, bool cell) {
    const Words& w = words(idiom);
    long long total = 0;
    int lo = -1, hi = -1;
    // Diversity 0 (a window without any class, outside the mapped region) is left out,
    // as in the histogram the treatment prints.
    for (int v = 1; v < 255; ++v) {
        if (div.histogram[v] == 0) continue;
        total += div.histogram[v];
        hi = v;
    }
    if (total == 0) return "<p class=\"note\">" + std::string(w.nothing_evaluated) + "</p>";
    lo = 1;
    double top = 0;
    for (int v = lo; v <= hi; ++v)
        top = std::max(top, static_cast<double>(div.histogram[v]) / total * 100);
    const double step = nice_step(top);
    const double ymax = std::ceil(top / step) * step;

    const double X0 = 36, X1 = 414, Y0 = 26, Y1 = 196;  // plot area
    const int bars = hi - lo + 1;
    const double slot = (X1 - X0) / bars;
    const double bw = std::max(1.0, slot * 0.78);
    const int label_every = bars <= 20 ? 1 : bars <= 50 ? 5 : 10;
    std::string s =
        "<svg class=\"hist\" viewBox=\"0 0 420 236\" role=\"img\" aria-label=\"" +
        std::string(w.histogram) + "\"><g font-size=\"12\" fill=\"#5a6474\">";
    for (double y = 0; y <= ymax + step / 2; y += step) {
        const double py = Y1 - (Y1 - Y0) * y / ymax;
        s += "<line x1=\"" + num(X0) + "\" x2=\"" + num(X1) + "\" y1=\"" + num(py) + "\" y2=\"" +
             num(py) + "\" stroke=\"" + (y == 0 ? "#8a93a3" : "#e3e7ee") + "\"/>";
        s += "<text x=\"" + num(X0 - 5) + "\" y=\"" + num(py + 4) + "\" text-anchor=\"end\">" +
             real(y, step < 1 ? 1 : 0, idiom) + "</text>";
    }
    s += "</g>";
    for (int v = lo; v <= hi; ++v) {
        const double share = static_cast<double>(div.histogram[v]) / total * 100;
        const double h = (Y1 - Y0) * share / ymax;
        const double x = X0 + slot * (v - lo) + (slot - bw) / 2;
        s += "<rect class=\"bar\" data-value=\"" + std::to_string(v) + "\" x=\"" + num(x) +
             "\" y=\"" + num(Y1 - h) + "\" width=\"" + num(bw) + "\" height=\"" + num(h) +
             "\" fill=\"" + css_colour(div.image.palette[v]) +
             "\" stroke=\"#0002\"><title>" + std::to_string(v) + ": " + pct(share, idiom) + " (" +
             group(div.histogram[v], idiom) + " px)</title></rect>";
        if (bars <= 12 && share > 0)
            s += "<text x=\"" + num(x + bw / 2) + "\" y=\"" + num(Y1 - h - 3) +
                 "\" font-size=\"11\" text-anchor=\"middle\" fill=\"#1c2430\">" +
                 real(share, share < 0.1 ? 3 : share < 10 ? 1 : 0, idiom) + "</text>";
        if ((v - lo) % label_every == 0 || (v == hi && (v - lo) % label_every > label_every / 2))
            s += "<text x=\"" + num(x + bw / 2) + "\" y=\"" + num(Y1 + 14) +
                 "\" font-size=\"12\" text-anchor=\"middle\" fill=\"#5a6474\">" +
                 std::to_string(v) + "</text>";
    }
    s += "<text x=\"" + num((X0 + X1) / 2) +
         "\" y=\"230\" font-size=\"12\" text-anchor=\"middle\" fill=\"#5a6474\">" +
         std::string(cell ? w.histogram_x_cell : w.histogram_x) + "</text>";
    s += "<text x=\"" + num(X0 - 30) + "\" y=\"12\" font-size=\"12\" fill=\"#5a6474\">% · " +
         std::string(w.histogram_y) + "</text>";
    return s + "</svg>";
}

}  // namespace page
