#include "results/summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>

#include "formats/png.h"
#include "raster/ascii_grid.h"
#include "raster/image.h"
#include "raster/output_file.h"
#include "raster/raw_format.h"
#include "text/catalogue.h"

namespace {

// ------------------------------------------------------------------ texts of the page

struct Words {
    const char* lang;
    const char* title;
    const char* map;
    const char* map_file;
    const char* size;  // columns, lines
    const char* pixel_size;
    const char* surface;
    const char* crs;
    const char* crs_unknown;
    const char* corner;
    const char* treatment;
    const char* cell_mesh;
    const char* moving_window;
    const char* window;
    const char* cell;
    const char* square;
    const char* circle;
    const char* rank;
    const char* window_size;  // pixels, hectares
    const char* window_surface;
    const char* cell_surface;
    const char* diversity;
    const char* diversity_note;
    const char* homogeneity;
    const char* homogeneity_note;
    const char* colour;
    const char* value;
    const char* share_of_map;
    const char* no_value;
    const char* mesh_lines;
    const char* reduced_mode;  // factor, block edge twice
    const char* reduced_mean;
    const char* mesh_hidden;
    const char* inventory;
    const char* classes;  // count
    const char* code;
    const char* pixels;
    const char* share;
    const char* others;  // count, share
    const char* histogram;
    const char* histogram_x;
    const char* histogram_y;
    const char* histogram_mesh;
    const char* nothing_evaluated;
    const char* results;
    const char* made_by;
    const char* holes;       // percent
    const char* holes_hint;
};

constexpr Words kWords[3] = {
    {"en",
     "Diversity and homogeneity of the landscape",
     "Map",
     "Map file",
     "%s columns × %s lines",
     "Pixel size",
     "Surface",
     "Coordinate system",
     "not recorded",
     "Lower left corner",
     "Treatment",
     "cell mesh",
     "moving window",
     "Window",
     "square cell",
     "square",
     "circle",
     "Rank R",
     "%s pixels, %s ha",
     "Window surface",
     "Cell surface",
     "Diversity",
     "number of classes in the window (0: the window holds no class)",
     "Homogeneity",
     "share of the window covered by its largest class",
     "Colour",
     "Value",
     "Share of the map",
     "no value",
     "mesh lines",
     "Picture reduced 1:%d: each of its pixels shows the most common value of a block of %d × "
     "%d map pixels.",
     "Picture reduced 1:%d: each of its pixels shows the mean value of a block of %d × %d map "
     "pixels.",
     "The mesh lines are too close together to be shown at this scale.",
     "Inventory",
     "%s classes",
     "Class",
     "Pixels",
     "Share",
     "%s other classes: %s",
     "Diversity histogram",
     "number of classes in the window",
     "share of the pixels of diversity 1 or more",
     "mesh lines left out",
     "No window holds a class: nothing to chart.",
     "Results written",
     "Made by LANDMOSAIC",
     "Windows holding unclassified pixels",
     "%s of the windows count pixels of no class in their surface: both values are low "
     "there. --min-valid PCT values the pixels of a class over their classified pixels."},
    {"fr",
     "Diversité et homogénéité du paysage",
     "Carte",
     "Fichier de la carte",
     "%s colonnes × %s lignes",
     "Taille du pixel",
     "Surface",
     "Système de coordonnées",
     "non indiqué",
     "Coin inférieur gauche",
     "Traitement",
     "maillage cellulaire",
     "fenêtre mobile",
     "Fenêtre",
     "cellule carrée",
     "carrée",
     "cercle",
     "Rang R",
     "%s pixels, %s ha",
     "Surface de la fenêtre",
     "Surface de la cellule",
     "Diversité",
     "nombre de classes dans la fenêtre (0 : la fenêtre ne contient aucune classe)",
     "Homogénéité",
     "part de la fenêtre couverte par sa classe la plus étendue",
     "Couleur",
     "Valeur",
     "Part de la carte",
     "sans valeur",
     "lignes du maillage",
     "Image réduite au 1:%d : chacun de ses pixels montre la valeur la plus fréquente d'un bloc "
     "de %d × %d pixels de la carte.",
     "Image réduite au 1:%d : chacun de ses pixels montre la valeur moyenne d'un bloc de %d × "
     "%d pixels de la carte.",
     "Les lignes du maillage sont trop serrées pour être montrées à cette échelle.",
     "Inventaire",
     "%s classes",
     "Classe",
     "Pixels",
     "Part",
     "%s autres classes : %s",
     "Histogramme de la diversité",
     "nombre de classes dans la fenêtre",
     "part des pixels de diversité 1 ou plus",
     "lignes du maillage exclues",
     "Aucune fenêtre ne contient de classe : rien à représenter.",
     "Résultats écrits",
     "Réalisé avec LANDMOSAIC",
     "Fenêtres contenant des pixels non classés",
     "%s des fenêtres comptent des pixels sans classe dans leur surface : les deux valeurs y "
     "sont basses. --min-valid PCT évalue les pixels d'une classe sur leurs pixels classés."},
    {"es",
     "Diversidad y homogeneidad del paisaje",
     "Mapa",
     "Archivo del mapa",
     "%s columnas × %s líneas",
     "Tamaño del píxel",
     "Superficie",
     "Sistema de coordenadas",
     "no indicado",
     "Esquina inferior izquierda",
     "Tratamiento",
     "malla de celdas",
     "ventana móvil",
     "Ventana",
     "celda cuadrada",
     "cuadrada",
     "círculo",
     "Rango R",
     "%s píxeles, %s ha",
     "Superficie de la ventana",
     "Superficie de la celda",
     "Diversidad",
     "número de clases en la ventana (0: la ventana no contiene ninguna clase)",
     "Homogeneidad",
     "parte de la ventana cubierta por su clase más extensa",
     "Color",
     "Valor",
     "Parte del mapa",
     "sin valor",
     "líneas de la malla",
     "Imagen reducida 1:%d: cada uno de sus píxeles muestra el valor más frecuente de un bloque "
     "de %d × %d píxeles del mapa.",
     "Imagen reducida 1:%d: cada uno de sus píxeles muestra el valor medio de un bloque de %d × "
     "%d píxeles del mapa.",
     "Las líneas de la malla están demasiado juntas para mostrarse a esta escala.",
     "Inventario",
     "%s clases",
     "Clase",
     "Píxeles",
     "Parte",
     "%s clases más: %s",
     "Histograma de la diversidad",
     "número de clases en la ventana",
     "parte de los píxeles de diversidad 1 o más",
     "líneas de la malla excluidas",
     "Ninguna ventana contiene una clase: nada que representar.",
     "Resultados escritos",
     "Realizado con LANDMOSAIC",
     "Ventanas con píxeles no clasificados",
     "El %s de las ventanas cuenta píxeles sin clase en su superficie: ambos valores son "
     "bajos allí. --min-valid PCT evalúa los píxeles de una clase sobre sus píxeles "
     "clasificados."},
};

const Words& words(int idiom) {
    return kWords[idiom == 1 ? 1 : idiom == 2 ? 2 : 0];
}

// ------------------------------------------------------------------ text helpers

// `fmt` with each "%s" replaced by the next of `args` (already escaped) and each "%d" by
// the next of `ints`.
std::string fill(std::string_view fmt, std::initializer_list<std::string> args,
                 std::initializer_list<long long> ints = {}) {
    std::string s;
    auto a = args.begin();
    auto n = ints.begin();
    for (std::size_t k = 0; k < fmt.size(); ++k) {
        if (fmt[k] == '%' && k + 1 < fmt.size() && (fmt[k + 1] == 's' || fmt[k + 1] == 'd')) {
            if (fmt[k + 1] == 's' && a != args.end()) s += *a++;
            if (fmt[k + 1] == 'd' && n != ints.end()) s += std::to_string(*n++);
            ++k;
        } else {
            s += fmt[k];
        }
    }
    return s;
}

// Escapes a string for HTML text and attribute values. Bytes that do not form valid
// UTF-8 (a name in a legacy encoding) become U+FFFD, so that the page stays valid.
std::string esc(std::string_view in) {
    std::string s;
    s.reserve(in.size() + 8);
    for (std::size_t k = 0; k < in.size();) {
        const auto c = static_cast<unsigned char>(in[k]);
        if (c < 0x80) {
            switch (c) {
                case '&': s += "&amp;"; break;
                case '<': s += "&lt;"; break;
                case '>': s += "&gt;"; break;
                case '"': s += "&quot;"; break;
                case '\'': s += "&#39;"; break;
                default:
                    if (c < 0x20 && c != '\t' && c != '\n') s += "\xEF\xBF\xBD";
                    else s += static_cast<char>(c);
            }
            ++k;
            continue;
        }
        int len = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
        bool ok = len > 0 && k + len <= in.size();
        for (int t = 1; ok && t < len; ++t)
            ok = (static_cast<unsigned char>(in[k + t]) & 0xC0) == 0x80;
        if (ok && len == 3) {
            const auto c1 = static_cast<unsigned char>(in[k + 1]);
            ok = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);
        }
        if (ok && len == 4) {
            const auto c1 = static_cast<unsigned char>(in[k + 1]);
            ok = !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90);
        }
        if (ok) {
            s.append(in.substr(k, len));
            k += len;
        } else {
            s += "\xEF\xBF\xBD";
            ++k;
        }
    }
    return s;
}

// A whole number with groups of three digits, in the manner of the language.
std::string group(long long v, int idiom) {
    const std::string digits = std::to_string(v < 0 ? -v : v);
    const char* sep = idiom == 0 ? "," : "\xE2\x80\xAF";  // narrow no-break space
    std::string s = v < 0 ? "-" : "";
    for (std::size_t k = 0; k < digits.size(); ++k) {
        if (k > 0 && (digits.size() - k) % 3 == 0) s += sep;
        s += digits[k];
    }
    return s;
}

// A real number with `decimals` decimals, the decimal mark of the language.
std::string real(double v, int decimals, int idiom) {
    if (!std::isfinite(v)) return "–";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string s = buf;
    const auto dot = s.find('.');
    std::string whole = dot == std::string::npos ? s : s.substr(0, dot);
    std::string frac = dot == std::string::npos ? "" : s.substr(dot + 1);
    const bool neg = !whole.empty() && whole[0] == '-';
    if (neg) whole.erase(0, 1);
    std::string out = neg ? "-" : "";
    const long long w = whole.size() < 16 ? std::stoll(whole) : 0;
    out += whole.size() < 16 ? group(w, idiom) : whole;
    if (!frac.empty()) out += (idiom == 0 ? "." : ",") + frac;
    return out;
}

std::string pct(double v, int idiom) {
    return real(v, v > 0 && v < 0.1 ? 3 : 1, idiom) + " %";
}

std::string css_colour(const Rgba& c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
    return buf;
}

std::string base64(const std::string& bytes) {
    static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string s;
    s.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t k = 0;
    for (; k + 2 < bytes.size(); k += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[k]) << 16 |
                           static_cast<unsigned char>(bytes[k + 1]) << 8 |
                           static_cast<unsigned char>(bytes[k + 2]);
        s += abc[v >> 18];
        s += abc[(v >> 12) & 63];
        s += abc[(v >> 6) & 63];
        s += abc[v & 63];
    }
    if (k < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[k]) << 16;
        if (k + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[k + 1]) << 8;
        s += abc[v >> 18];
        s += abc[(v >> 12) & 63];
        s += k + 1 < bytes.size() ? abc[(v >> 6) & 63] : '=';
        s += '=';
    }
    return s;
}

std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    std::string s = buf;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

// ------------------------------------------------------------------ parts of the page

constexpr const char* kStyle = R"CSS(
:root{--ink:#1c2430;--muted:#5a6474;--line:#d9dee6;--card:#fff;--bg:#f3f5f8}
*{box-sizing:border-box}
html{-webkit-text-size-adjust:100%}
body{margin:0;background:var(--bg);color:var(--ink);font:15px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"Helvetica Neue",Arial,sans-serif}
main{max-width:1120px;margin:0 auto;padding:14px}
header{margin:4px 0 12px}
h1{font-size:1.45em;line-height:1.2;margin:0 0 2px;overflow-wrap:anywhere}
h2{font-size:1.05em;margin:0 0 8px}
.sub{color:var(--muted);margin:0}
.card{background:var(--card);border:1px solid var(--line);border-radius:8px;padding:12px 14px;margin:0 0 12px;min-width:0}
.facts{display:grid;grid-template-columns:repeat(auto-fit,minmax(150px,1fr));gap:2px 18px;margin:0}
.facts div{min-width:0}
.facts div.wide{grid-column:span 2}
.facts dt{color:var(--muted);font-size:.8em}
.facts dd{margin:0 0 6px;font-weight:600;overflow-wrap:anywhere}
.grid2{display:grid;grid-template-columns:repeat(auto-fit,minmax(300px,1fr));gap:12px}
.grid2>.card{margin:0}
.stack{display:grid;gap:12px;margin:0 0 12px}
figure{margin:0}
.pic{display:flex;justify-content:center;margin:0 0 8px}
img.map{display:block;width:min(100%,calc(62vh*var(--ar)));height:auto;border:1px solid var(--line);background-color:#fff;background-image:repeating-linear-gradient(45deg,#eceff3 0 3px,#fff 3px 7px);-webkit-print-color-adjust:exact;print-color-adjust:exact}
img.px{image-rendering:pixelated}
figcaption{font-size:.85em;color:var(--muted);margin:0 0 6px}
.legend{display:grid;grid-template-columns:repeat(auto-fill,minmax(128px,1fr));gap:2px 12px;font-size:.82em;margin:0;padding:0;list-style:none}
.legend li{display:flex;align-items:center;gap:6px;min-width:0}
.legend .v{font-weight:600;min-width:2.2em;line-height:1.15}
.legend .s{margin-left:auto;color:var(--muted);font-variant-numeric:tabular-nums;white-space:nowrap}
.legend-head{font-size:.75em;color:var(--muted);margin:4px 0 2px}
.sw{display:inline-block;width:14px;height:14px;border:1px solid #0003;border-radius:2px;flex:none;-webkit-print-color-adjust:exact;print-color-adjust:exact}
.sw.none{background-color:#fff;background-image:repeating-linear-gradient(45deg,#c9ced6 0 2px,#fff 2px 5px)}
.note{font-size:.78em;color:var(--muted);margin:6px 0 0}
.ramp{display:block;width:100%;max-width:380px;height:auto;margin:2px 0 4px}
table.inv{width:100%;border-collapse:collapse;font-size:.85em;font-variant-numeric:tabular-nums}
.inv th{text-align:left;color:var(--muted);font-weight:600;border-bottom:1px solid var(--line);padding:2px 6px}
.inv td{padding:1px 6px;border-bottom:1px solid #eef1f5}
.inv td.n{text-align:right;white-space:nowrap}
.inv td.bar{width:42%}
.inv .b{display:block;height:10px;background:#3a7ca5;border-radius:2px;min-width:1px;-webkit-print-color-adjust:exact;print-color-adjust:exact}
.inv tr.others{display:none}
svg.hist{display:block;width:100%;height:auto}
svg text{font-family:inherit}
ul.files{margin:0;padding-left:18px;font-size:.82em}
ul.files li{overflow-wrap:anywhere}
code{font-family:ui-monospace,SFMono-Regular,Menlo,Consolas,monospace;font-size:.95em}
footer{font-size:.75em;color:var(--muted);text-align:right}
@media (max-width:600px){main{padding:8px}.card{padding:10px}body{font-size:14px}.inv td.bar{width:30%}}
@page{size:A4;margin:9mm}
@media print{
body{background:#fff;font-size:8.5pt;line-height:1.3}
main{max-width:none;padding:0}
header{margin:0 0 2mm}
h1{font-size:14pt}
h2{font-size:9.5pt;margin:0 0 1.5mm}
.card{border:0;border-radius:0;padding:0;margin:0 0 2.5mm;break-inside:avoid}
.facts{grid-template-columns:repeat(4,1fr);gap:0 4mm}
.facts dd{margin:0 0 1mm}
.grid2{grid-template-columns:1fr 1fr;gap:5mm}
.stack{gap:2.5mm;margin:0 0 2.5mm}
img.map{width:min(100%,calc(78mm*var(--ar)))}
.legend{grid-template-columns:repeat(auto-fill,minmax(27mm,1fr));font-size:7pt}
.inv{font-size:7pt}
.inv td,.inv th{padding:0 4px}
.inv tr.minor{display:none}
.inv tr.others{display:table-row}
.inv .b{height:2.2mm}
ul.files{font-size:7pt}
footer{display:none}
}
)CSS";

// Rows of the inventory that a printed page shows before it sums up the rest.
constexpr int kPrintedClasses = 22;

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

std::string legend_list(const Quicklook& q, int idiom) {
    const Words& w = words(idiom);
    std::vector<const LegendEntry*> values;
    for (const LegendEntry& e : q.legend)
        if (e.kind == LegendEntry::Kind::Value && e.lo >= 1) values.push_back(&e);
    const bool strip = values.size() > kLegendValues;
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

std::string picture(const Quicklook& q, const std::string& png, const std::string& alt) {
    const double ar = q.image.height > 0 ? static_cast<double>(q.image.width) / q.image.height : 1;
    char style[64];
    std::snprintf(style, sizeof style, "--ar:%.4f", ar);
    // Small pictures are enlarged with sharp pixels; large ones are smoothed as they
    // shrink to the page.
    const char* cls = q.image.width < 700 && q.image.height < 700 ? "map px" : "map";
    return "<div class=\"pic\"><img class=\"" + std::string(cls) + "\" style=\"" + std::string(style) +
           "\" width=\"" + std::to_string(q.image.width) + "\" height=\"" +
           std::to_string(q.image.height) + "\" alt=\"" + alt +
           "\" src=\"data:image/png;base64," + base64(png) + "\"></div>";
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

std::string histogram_svg(const Quicklook& div, int idiom) {
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
         std::string(w.histogram_x) + "</text>";
    s += "<text x=\"" + num(X0 - 30) + "\" y=\"12\" font-size=\"12\" fill=\"#5a6474\">% · " +
         std::string(w.histogram_y) + "</text>";
    return s + "</svg>";
}

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

    std::string s = "<table class=\"inv\"><thead><tr><th>" + std::string(w.code) + "</th><th>" +
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
             std::to_string(it.code) + "</td><td class=\"n\">" + group(it.pixels, in.idiom) +
             "</td><td class=\"n\">" + pct(it.percent, in.idiom) +
             "</td><td class=\"bar\"><span class=\"b\" style=\"width:" + num(width) +
             "%\"></span></td></tr>";
    }
    if (minor > 0)
        s += "<tr class=\"others\"><td colspan=\"4\">" +
             fill(w.others, {std::to_string(minor), pct(minor_share, in.idiom)}) + "</td></tr>";
    return s + "</tbody></table>";
}

std::string fact(const char* term, const std::string& value, bool wide = false) {
    return std::string(wide ? "<div class=\"wide\">" : "<div>") + "<dt>" + term + "</dt><dd>" +
           value + "</dd></div>";
}

std::string reduction_note(const Quicklook& q, const char* fmt) {
    if (q.factor <= 1) return "";
    return "<p class=\"note\">" + fill(fmt, {}, {q.factor, q.factor, q.factor}) + "</p>";
}

// The last part of a path, for the heading.
std::string file_part(const std::string& path) {
    const auto at = path.find_last_of("/\\");
    return at == std::string::npos ? path : path.substr(at + 1);
}

// ------------------------------------------------------------------ report reading

// Matches `fmt` (a report line with %d, %s, %.Nlf) against `text` at `pos`; on success
// moves `pos` past it and appends the values to `caps`. A %s runs to the last place on
// its line where the rest of the format can follow.
bool match_line(std::string_view fmt, std::string_view text, std::size_t& pos,
                std::vector<std::string>& caps) {
    std::size_t p = pos;
    std::vector<std::string> got;
    for (std::size_t k = 0; k < fmt.size();) {
        if (fmt[k] != '%') {
            if (p >= text.size() || text[p] != fmt[k]) return false;
            ++p;
            ++k;
            continue;
        }
        std::size_t e = k + 1;
        while (e < fmt.size() && (fmt[e] == '.' || fmt[e] == 'l' || std::isdigit(
                                                                         static_cast<unsigned char>(fmt[e]))))
            ++e;
        if (e >= fmt.size()) return false;
        const char conv = fmt[e];
        k = e + 1;
        if (conv == 's') {
            const std::size_t next = fmt.find('%', k);
            const std::string_view lit = fmt.substr(k, next == std::string_view::npos ? next : next - k);
            std::size_t line_end = text.find('\n', p);
            if (line_end == std::string_view::npos) line_end = text.size();
            std::size_t end = std::string_view::npos;
            if (lit.empty()) {
                end = line_end;
            } else {
                for (std::size_t q = line_end + 1; q-- > p;)
                    if (text.substr(q, lit.size()) == lit) {
                        end = q;
                        break;
                    }
                // A name that holds a newline (a path may) runs on to the text after it.
                if (end == std::string_view::npos && line_end < text.size()) {
                    const std::size_t q = text.find(lit, line_end);
                    if (q != std::string_view::npos) end = q;
                }
            }
            if (end == std::string_view::npos || end < p) return false;
            got.emplace_back(text.substr(p, end - p));
            p = end;
            continue;
        }
        const std::size_t start = p;
        if (p < text.size() && text[p] == '-') ++p;
        const std::size_t digits = p;
        while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p]))) ++p;
        if (p == digits) return false;
        if (conv == 'f' && p < text.size() && text[p] == '.') {
            ++p;
            while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p]))) ++p;
        } else if (conv != 'd' && conv != 'f') {
            return false;
        }
        got.emplace_back(text.substr(start, p - start));
    }
    pos = p;
    caps.insert(caps.end(), got.begin(), got.end());
    return true;
}

long long to_ll(const std::string& s) {
    try {
        return std::stoll(s);
    } catch (...) {
        return 0;
    }
}

double to_d(const std::string& s) {
    try {
        return std::stod(s);
    } catch (...) {
        return 0;
    }
}

// ------------------------------------------------------------------ files

// Writes `bytes` to `path` whole or not at all.
bool write_file_whole(const std::string& path, const std::string& bytes) {
    OutputFile f;
    if (!f.open(path)) return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) {
        f.abandon();
        return false;
    }
    return f.commit();
}

// ------------------------------------------------------------------ result images

bool read_whole(const std::string& path, std::string& bytes) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return !f.bad();
}

bool is_file(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

std::string extension_of(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string e = path.substr(dot);
    for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

// Reads a result image in one of the native formats; `cell` receives the cell size of
// an ascii grid (0 otherwise).
bool read_result_image(const std::string& path, ByteGrid& grid, int& nb_lig, int& nb_col,
                       double& cell, std::string& crs, double* corner, const ResultImageReader& reader,
                       std::string& why) {
    cell = 0;
    const std::string ext = extension_of(path);
    if ((ext == ".tif" || ext == ".tiff") && reader) return reader(path, grid, nb_lig, nb_col, cell, crs, why);
    if (ext == ".raw") {
        const std::string base = path.substr(0, path.size() - 4);
        RawHeader h;
        if (read_raw_header(base + ".txt", h) != RawHeaderRead::Read || h.nb_lig <= 0 ||
            h.nb_col <= 0) {
            why = "the header " + base + ".txt cannot be read";
            return false;
        }
        std::error_code ec;
        const auto size = std::filesystem::file_size(path, ec);
        if (ec || size < static_cast<unsigned long long>(h.nb_lig) * h.nb_col) {
            why = path + " is shorter than its header says";
            return false;
        }
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) {
            why = path + " cannot be opened";
            return false;
        }
        ByteGrid g(ucmatrice(h.nb_col, h.nb_lig), h.nb_lig);
        bool read_error = false;
        const long long n = g ? read_raw_pixels(f, g.get(), h.nb_lig, h.nb_col, read_error) : 0;
        std::fclose(f);
        if (!g || read_error || n < static_cast<long long>(h.nb_lig) * h.nb_col) {
            why = path + " cannot be read";
            return false;
        }
        grid = std::move(g);
        nb_lig = h.nb_lig;
        nb_col = h.nb_col;
        return true;
    }
    if (ext == ".bmp") {
        int c = 0, l = 0, type = 0;
        Color32* palette = nullptr;
        BmpError err = BmpError::None;
        ByteMatrix m = ChargeBMP(path.c_str(), c, l, type, palette, &err);
        if (!m || type == 2) {
            if (m) frucmatrice(m, l);
            why = path + " is not an 8-bit bitmap that can be read";
            return false;
        }
        grid = ByteGrid(m, l);
        nb_lig = l;
        nb_col = c;
        return true;
    }
    if (ext == ".asc") {
        AsciiGrid g;
        if (read_ascii_grid(path, g) != GridError::None) {
            why = path + " is not an ascii grid that can be read";
            return false;
        }
        nb_lig = g.nb_lig;
        nb_col = g.nb_col;
        cell = g.dpix_size;
        corner[0] = g.X_min;
        corner[1] = g.Y_min;
        corner[2] = 1;
        grid = std::move(g.cells);
        return true;
    }
    why = path + ": only .raw, .bmp and .asc result images can be read back" +
          (ext == ".tif" || ext == ".tiff" ? " in a build without GDAL" : "");
    return false;
}

// The result image a report names, or the one beside BASE when the folder has moved.
std::string find_image(const std::string& named, const std::string& base, const char* suffix) {
    if (is_file(named)) return named;
    const std::string ext = extension_of(named);
    if (!ext.empty() && is_file(base + suffix + ext)) return base + suffix + ext;
    for (const char* e : {".raw", ".bmp", ".asc", ".tif"})
        if (is_file(base + suffix + e)) return base + suffix + e;
    return "";
}

}  // namespace

// ------------------------------------------------------------------ the page

std::string summary_html(const SummaryInput& in, const Quicklook& div, const Quicklook& homo,
                         const std::string& div_png, const std::string& homo_png) {
    const Words& w = words(in.idiom);
    const int idiom = in.idiom;
    const std::string name = esc(file_part(in.map_name));
    std::string s;
    s.reserve(div_png.size() * 4 / 3 + homo_png.size() * 4 / 3 + 32768);
    s += "<!DOCTYPE html>\n<html lang=\"" + std::string(w.lang) +
         "\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<title>" + name + " – LANDMOSAIC</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<main>\n";

    // Heading and the facts of the map and the window.
    const double km2 = in.dpix_size * in.dpix_size * static_cast<double>(in.nb_lig) *
                       static_cast<double>(in.nb_col) * 1e-6;
    s += "<header><h1>" + name + "</h1><p class=\"sub\">" + w.title + "</p></header>\n";
    s += "<section class=\"card\" id=\"facts\"><dl class=\"facts\">";
    s += fact(w.map_file, "<code>" + esc(in.map_name) + "</code>", true);
    s += fact(w.map, fill(w.size, {group(in.nb_col, idiom), group(in.nb_lig, idiom)}));
    s += fact(w.pixel_size, real(in.dpix_size, in.dpix_size == std::floor(in.dpix_size) ? 0 : 2,
                                 idiom) + " m");
    s += fact(w.surface, real(km2, km2 < 10 ? 3 : 1, idiom) + " km²");
    std::string crs = in.crs.empty() ? std::string(w.crs_unknown) : esc(in.crs);
    s += fact(w.crs, crs);
    if (in.corner_known)
        s += fact(w.corner, real(in.X_min, 1, idiom) + " ; " + real(in.Y_min, 1, idiom));
    const bool cell = in.treat_type == 0;
    if (in.treat_type >= 0)
        s += fact(w.treatment, cell ? w.cell_mesh : w.moving_window);
    s += fact(w.window, cell ? w.cell : in.win_shape == 1 ? w.circle : w.square);
    if (in.range_win >= 0) {
        const long long m = 2LL * in.range_win + 1;
        std::string r = std::to_string(in.range_win);
        if (in.win_shape == 1 && !cell)
            r += " (r = " + real(in.range_win + 0.5, 1, idiom) + " px)";
        else
            r += " (" + std::to_string(m) + " × " + std::to_string(m) + " px)";
        s += fact(w.rank, r);
    }
    s += fact(cell ? w.cell_surface : w.window_surface, fill(w.window_size, {group(in.window_pixels, idiom),
                                              real(in.window_ha, 3, idiom)}));
    s += "</dl></section>\n";

    // The two pictures.
    s += "<div class=\"grid2\" id=\"maps\">\n";
    s += "<section class=\"card\" id=\"diversity\"><h2>" + std::string(w.diversity) +
         "</h2><figure>" + picture(div, div_png, w.diversity) + "<figcaption>" +
         w.diversity_note + "</figcaption>" + legend_list(div, idiom);
    s += reduction_note(div, w.reduced_mode);
    if (div.mesh_drawn && !div.mesh_shown)
        s += "<p class=\"note\">" + std::string(w.mesh_hidden) + "</p>";
    s += "</figure></section>\n";
    s += "<section class=\"card\" id=\"homogeneity\"><h2>" + std::string(w.homogeneity) +
         "</h2><figure>" + picture(homo, homo_png, w.homogeneity) + "<figcaption>" +
         w.homogeneity_note + " (%)</figcaption>" + homogeneity_ramp() + legend_list(homo, idiom);
    s += reduction_note(homo, w.reduced_mean);
    s += "</figure></section>\n</div>\n";

    // The other metrics, a panel each.
    if (!in.panels.empty()) {
        s += "<div class=\"grid2\" id=\"metrics\">\n";
        int k = 0;
        for (const SummaryInput::Panel& p : in.panels) {
            const std::string title = esc(p.image.name);
            s += "<section class=\"card\" id=\"metric-" + esc(p.image.suffix) + "\"><h2>" + title +
                 "</h2><figure>" + picture(p.picture, p.png, title) + "<figcaption>" +
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
        s += "</div>\n";
    }
    if (in.unclassified_share >= 0) {
        s += "<section class=\"card\" id=\"unclassified\"><h2>" + std::string(w.holes) + " · " +
             pct(in.unclassified_share * 100, idiom) + "</h2>";
        if (in.unclassified_share > 0.05)
            s += "<p class=\"note\">" + fill(w.holes_hint, {pct(in.unclassified_share * 100, idiom)}) +
                 "</p>";
        s += "</section>\n";
    }

    // Inventory and histogram.
    s += "<div class=\"grid2 stack\">\n";
    s += "<section class=\"card\" id=\"inventory\"><h2>" + std::string(w.inventory) + " · " +
         fill(w.classes, {std::to_string(in.items.size())}) + "</h2>" + inventory_table(in) +
         "</section>\n";
    s += "<section class=\"card\" id=\"histogram\"><h2>" + std::string(w.histogram) + "</h2>" +
         histogram_svg(div, idiom);
    if (div.mesh_drawn) s += "<p class=\"note\">" + std::string(w.histogram_mesh) + "</p>";
    s += "</section>\n</div>\n";

    // Where everything went.
    s += "<section class=\"card\" id=\"files\"><h2>" + std::string(w.results) +
         "</h2><ul class=\"files\">";
    for (const std::string& f : in.outputs) s += "<li><code>" + esc(f) + "</code></li>";
    s += "</ul></section>\n";
    s += "<footer>" + std::string(w.made_by) + "</footer>\n</main>\n</body>\n</html>\n";
    return s;
}

bool write_quicklooks(const std::string& base, SummaryInput in, ByteMatrix tab_divers,
                      ByteMatrix tab_homo, const MeshLines& mesh,
                      std::vector<std::string>& failed, std::string& why) {
    const QuicklookNames names(base);
    failed.clear();
    why.clear();
    if (!png_available()) {
        why = "PNG pictures are not available in this build";
        failed = {names.diversity_png, names.homog_png, names.summary_html};
        return false;
    }
    const Quicklook div = diversity_quicklook(tab_divers, in.nb_lig, in.nb_col, mesh);
    const Quicklook homo = homogeneity_quicklook(tab_homo, in.nb_lig, in.nb_col);
    std::string div_png, homo_png;
    const bool div_ok = encode_png(div.image, div_png);
    const bool homo_ok = encode_png(homo.image, homo_png);
    std::vector<std::string> written;
    if (div_ok && write_file_whole(names.diversity_png, div_png))
        written.push_back(names.diversity_png);
    else
        failed.push_back(names.diversity_png);
    if (homo_ok && write_file_whole(names.homog_png, homo_png))
        written.push_back(names.homog_png);
    else
        failed.push_back(names.homog_png);
    written.push_back(names.summary_html);
    in.outputs.insert(in.outputs.end(), written.begin(), written.end());
    if (!div_ok || !homo_ok || !write_file_whole(names.summary_html,
                                                 summary_html(in, div, homo, div_png, homo_png)))
        failed.push_back(names.summary_html);
    return failed.empty();
}

bool parse_report(const std::string& text, ReportContents& out) {
    out = ReportContents{};
    std::size_t pos = 0;
    std::vector<std::string> c;
    int idiom = -1;
    for (int l = 0; l < 3 && idiom < 0; ++l) {
        std::size_t p = 0;
        if (match_line(txt::report_title.in(l), text, p, c)) {
            idiom = l;
            pos = p;
        }
    }
    if (idiom < 0) return false;
    out.idiom = idiom;
    auto line = [&](const txt::ReportLine& r) { return match_line(r.in(idiom), text, pos, c); };
    c.clear();
    if (!line(txt::report_image_heading) || !line(txt::report_image_name) ||
        !line(txt::report_features) || !line(txt::report_size) || !line(txt::report_pixel_size) ||
        !line(txt::report_surface) || !line(txt::report_item_count))
        return false;
    out.nom_lect = c[0];
    out.nb_lig = static_cast<int>(to_ll(c[1]));
    out.nb_col = static_cast<int>(to_ll(c[2]));
    out.pix_size = static_cast<int>(to_ll(c[3]));
    out.surface_km2 = to_d(c[4]);
    const long long items = to_ll(c[5]);
    if (items < 0 || items > 255) return false;
    for (long long k = 0; k < items; ++k) {
        c.clear();
        if (!line(txt::report_item)) return false;
        out.items.push_back({static_cast<int>(to_ll(c[1])), to_ll(c[2]), to_d(c[3])});
    }
    c.clear();
    if (!line(txt::report_window_heading)) return false;
    if (line(txt::report_square_form)) {
        c.clear();
        if (!line(txt::report_square_heading) || !line(txt::report_square_rank) ||
            !line(txt::report_square_size) || !line(txt::report_square_pixels) ||
            !line(txt::report_square_pixel_size) || !line(txt::report_square_surface))
            return false;
        out.win_shape = 0;
        const long long R = to_ll(c[0]);
        out.range_win = R >= 0 && R <= 1000000 ? static_cast<int>(R) : -1;
        out.side = static_cast<int>(to_ll(c[1]));
        out.window_pixels = to_ll(c[3]);
        out.window_ha = to_d(c[6]);
    } else if (line(txt::report_circle_form)) {
        c.clear();
        if (!line(txt::report_circle_heading) || !line(txt::report_circle_radius) ||
            !line(txt::report_circle_pixels) || !line(txt::report_circle_pixel_size) ||
            !line(txt::report_circle_surface))
            return false;
        out.win_shape = 1;
        out.radius = to_d(c[0]);
        const double r = out.radius - 0.5;
        out.range_win = r >= 0 && r == std::floor(r) && r <= 1e6 ? static_cast<int>(r) : -1;
        out.window_pixels = to_ll(c[1]);
        out.window_ha = to_d(c[4]);
    }
    for (const txt::ReportLine& r : txt::report_closing)
        if (!line(r)) return false;
    c.clear();
    if (line(txt::report_diversity_image)) out.diversity_image = c.back();
    c.clear();
    if (line(txt::report_homogeneity_image)) out.homog_image = c.back();
    return true;
}

std::string crs_name(const std::string& wkt) {
    // The first quoted string is the name of the outermost system; the last EPSG
    // identifier (WKT2 ID["EPSG",n], WKT1 AUTHORITY["EPSG","n"]) is the system's own.
    const auto q0 = wkt.find('"');
    if (q0 == std::string::npos) return wkt.size() <= 80 ? wkt : "";
    const auto q1 = wkt.find('"', q0 + 1);
    std::string name = wkt.substr(q0 + 1, q1 == std::string::npos ? std::string::npos : q1 - q0 - 1);
    std::string code;
    for (const char* key : {"ID[\"EPSG\",", "AUTHORITY[\"EPSG\",\""}) {
        const auto at = wkt.rfind(key);
        if (at == std::string::npos) continue;
        std::size_t p = at + std::strlen(key);
        while (p < wkt.size() && std::isdigit(static_cast<unsigned char>(wkt[p]))) code += wkt[p++];
        if (!code.empty()) break;
    }
    return code.empty() ? name : name + " (EPSG:" + code + ")";
}

int summary_from_results(const std::string& base_arg, std::string& out, std::string& err,
                         const SummaryOptions& options) {
    out.clear();
    err.clear();
    // The names written are told as the base was given; the page gives absolute names,
    // so that it says where the files are wherever it is opened.
    std::string given = base_arg;
    const std::string info_suffix = "_info.txt";
    if (given.size() > info_suffix.size() &&
        given.compare(given.size() - info_suffix.size(), info_suffix.size(), info_suffix) == 0)
        given.erase(given.size() - info_suffix.size());
    auto absolute = [](const std::string& name) {
        std::error_code ec;
        const std::string a = std::filesystem::absolute(name, ec).string();
        return ec ? name : a;
    };
    const std::string base = absolute(given);
    const std::string report_name = base + info_suffix;
    std::string text;
    if (!is_file(report_name) || !read_whole(report_name, text)) {
        err = "the report " + given + info_suffix + " cannot be read";
        return 1;
    }
    ReportContents rc;
    if (!parse_report(text, rc)) {
        err = report_name + " is not a report of a run";
        return 1;
    }
    const std::string div_name = find_image(rc.diversity_image, base, "_diversity");
    const std::string homo_name = find_image(rc.homog_image, base, "_homog");
    if (div_name.empty() || homo_name.empty()) {
        err = "the result image " + base + (div_name.empty() ? "_diversity" : "_homog") +
              " (.raw, .bmp or .asc) cannot be found";
        return 1;
    }
    ByteGrid div, homo;
    int dl = 0, dc = 0, hl = 0, hc = 0;
    double dcell = 0, hcell = 0;
    std::string dcrs, hcrs;
    double corner[3] = {0, 0, 0}, unused[3] = {0, 0, 0};  // x, y, known
    if (!read_result_image(div_name, div, dl, dc, dcell, dcrs, corner, options.reader, err) ||
        !read_result_image(homo_name, homo, hl, hc, hcell, hcrs, unused, options.reader, err))
        return 1;
    if (dl != rc.nb_lig || dc != rc.nb_col || hl != rc.nb_lig || hc != rc.nb_col) {
        err = "the result images are not of the size the report gives (" +
              std::to_string(rc.nb_col) + " x " + std::to_string(rc.nb_lig) + ")";
        return 1;
    }

    SummaryInput in;
    in.idiom = rc.idiom;
    in.map_name = rc.nom_lect;
    in.nb_lig = rc.nb_lig;
    in.nb_col = rc.nb_col;
    // The report keeps whole metres; an ascii grid keeps the size itself, and the
    // surface of the map tells a size that is not a whole number.
    in.dpix_size = rc.pix_size;
    if (dcell > 0) {
        in.dpix_size = dcell;
    } else if (rc.nb_lig > 0 && rc.nb_col > 0 && rc.surface_km2 > 0) {
        // The surface is shown to 0.001 km2: the sizes it allows, against the whole
        // metres the report shows (the size truncated).
        const double n = static_cast<double>(rc.nb_lig) * rc.nb_col;
        const double lo = std::sqrt(std::max(0.0, rc.surface_km2 - 0.0005) * 1e6 / n);
        const double hi = std::sqrt((rc.surface_km2 + 0.0005) * 1e6 / n);
        const double a = std::max(lo, static_cast<double>(rc.pix_size));
        const double b = std::min(hi, rc.pix_size + 1.0);
        if (!(rc.pix_size >= lo && rc.pix_size <= hi) && a < b) in.dpix_size = (a + b) / 2;
    }
    in.crs = crs_name(dcrs);
    in.corner_known = corner[2] != 0;
    in.X_min = corner[0];
    in.Y_min = corner[1];
    in.items = rc.items;
    in.win_shape = rc.win_shape;
    in.range_win = rc.range_win;
    in.window_pixels = rc.window_pixels;
    in.window_ha = rc.window_ha;
    // The homogeneity image tells the treatment: a moving window leaves its border band
    // of R lines without value, the cell mesh fills the first line.
    if (rc.range_win > 0) {
        bool first_line = false;
        for (int j = 0; j < rc.nb_col && !first_line; ++j) first_line = homo[0][j] != 255;
        in.treat_type = first_line ? 0 : 1;
    } else if (rc.win_shape == 1) {
        in.treat_type = 1;
    }
    if (options.treat_type >= 0) in.treat_type = options.treat_type;
    in.outputs = {absolute(div_name), absolute(homo_name), report_name};
    MeshLines mesh = find_mesh_lines(div.get(), dl, dc, std::max(0, rc.range_win));
    if (options.mesh_drawn >= 0) mesh = {options.mesh_drawn == 1, 2 * std::max(0, rc.range_win) + 1};

    in.unclassified_share = options.unclassified_share;
    // The other metrics: a picture each, beside the two.
    std::vector<std::string> extra_written;
    for (const MetricImage& m : options.metrics) {
        if (!png_available()) break;
        SummaryInput::Panel p;
        p.image = m;
        ByteGrid grid;
        int nl = 0, nc = 0;
        if (m.real) {
            std::vector<float> values;
            if (!options.real_reader || !options.real_reader(m.path, values, nl, nc, err))
                return 1;
            if (nl != rc.nb_lig || nc != rc.nb_col ||
                values.size() != static_cast<std::size_t>(nl) * nc) {
                err = m.path + " is not of the size the report gives";
                return 1;
            }
            // The values on a scale of 0 to 100 between the least and the largest.
            bool any = false;
            for (float v : values) {
                if (v == -1.0f) continue;
                p.lo = any ? std::min<double>(p.lo, v) : v;
                p.hi = any ? std::max<double>(p.hi, v) : v;
                any = true;
            }
            grid = ByteGrid(ucmatrice(nc, nl), nl);
            const double span = p.hi > p.lo ? p.hi - p.lo : 1;
            for (int i = 0; i < nl; ++i)
                for (int j = 0; j < nc; ++j) {
                    const float v = values[static_cast<std::size_t>(i) * nc + j];
                    grid[i][j] = v == -1.0f ? 255
                                            : static_cast<unsigned char>(
                                                  std::lround((v - p.lo) / span * 100));
                }
        } else {
            double cell = 0;
            std::string crs;
            double where[3] = {0, 0, 0};
            if (!read_result_image(m.path, grid, nl, nc, cell, crs, where, options.reader, err))
                return 1;
            if (nl != rc.nb_lig || nc != rc.nb_col) {
                err = m.path + " is not of the size the report gives";
                return 1;
            }
        }
        p.picture = m.categorical ? diversity_quicklook(grid.get(), nl, nc, MeshLines{})
                                  : homogeneity_quicklook(grid.get(), nl, nc);
        const std::string png_name = base + "_" + m.suffix + ".png";
        if (!encode_png(p.picture.image, p.png) || !write_file_whole(png_name, p.png)) {
            err = png_name + " could not be written";
            return 1;
        }
        in.outputs.push_back(absolute(m.path));
        in.outputs.push_back(png_name);
        extra_written.push_back(given + "_" + m.suffix + ".png");
        in.panels.push_back(std::move(p));
    }
    std::vector<std::string> failed;
    std::string why;
    const bool ok = write_quicklooks(base, in, div.get(), homo.get(), mesh, failed, why);
    for (const std::string& f : extra_written) out += f + "\n";
    const QuicklookNames names(base), told(given);
    const std::string made[3][2] = {{names.diversity_png, told.diversity_png},
                                    {names.homog_png, told.homog_png},
                                    {names.summary_html, told.summary_html}};
    for (const auto& f : made)
        if (std::find(failed.begin(), failed.end(), f[0]) == failed.end()) out += f[1] + "\n";
    if (!ok) {
        err = !why.empty() ? why : failed.front() + " could not be written";
        return 1;
    }
    return 0;
}
