// Quicklooks and the summary page, checked against what the run wrote: a dialogue run
// leaves its result files, `summary` reads them back, and the pictures it makes are
// decoded and compared pixel by pixel with the diversity and homogeneity the test
// computes on its own; the page is parsed for its parts; a real browser renders it
// and prints it on one A4 page.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "formats/png.h"
#include "image_readers.h"
#include "result_fixtures.h"
#include "results/quicklook.h"
#include "formats/gdal_raster.h"
#include "results/summary.h"
#include "text/status_text.h"
#include "dialogue/console.h"
#include "dialogue/opening.h"

namespace {

namespace fs = std::filesystem;

struct Case {
    const char* name;
    int idiom;
    int treat;     // 0 cell mesh, 1 moving window
    int shape;     // 0 square, 1 circle
    int R;
    int res_form;  // 0 raster, 1 bitmap, 2 ascii grid
    int mesh;      // 0 draw the mesh, 1 do not
    const char* folder;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

const char* const kExt[3] = {".raw", ".bmp", ".asc"};

// A dialogue run on a 23 x 31 raw map in `folder`, leaving its results "res".
struct Session {
    fx::ScratchDir dir;
    fs::path folder;
    fx::ClassMap map;
    fx::Expected expected;
    std::string base;
    int status = -1;

    explicit Session(const Case& c) : dir(std::string("ql_") + c.name), folder(dir.root / c.folder) {
        fs::create_directories(folder);
        map = fx::make_map(23, 31, 7, 6);
        fx::spit(folder / "land.txt", fx::raw_header(23, 31, 25));
        fx::spit(folder / "land.raw", fx::raw_pixels(map));
        std::ostringstream a;
        a << c.idiom << "\n2\n" << dir.root.string() << "/\n" << c.folder << "\nland\n0\n1\n"
          << c.R << "\n" << c.treat << "\n";
        if (c.treat == 1) a << c.shape << "\n";
        a << "0\nres\n" << c.res_form << "\n";
        if (c.res_form == 2) a << "1000\n2000\n";
        a << c.mesh << "\n";
        std::istringstream in(a.str());
        std::ostringstream out;
        Console con(in, out, false);
        status = opening(con);
        const fx::Treat t = c.treat == 0 ? fx::Treat::Cell
                            : c.shape == 0 ? fx::Treat::Square
                                           : fx::Treat::Circle;
        expected = fx::compute(map, t, c.R);
        base = (folder / "res").string();
    }
};

struct Decoded {
    int w = 0, h = 0;
    std::vector<std::uint8_t> rgba;
    Rgba at(int i, int j) const {
        const std::size_t k = (static_cast<std::size_t>(i) * w + j) * 4;
        return {rgba[k], rgba[k + 1], rgba[k + 2], rgba[k + 3]};
    }
};

Decoded decode(const std::string& bytes) {
    Decoded d;
    EXPECT_TRUE(decode_png_rgba(bytes, d.w, d.h, d.rgba));
    return d;
}

double luminance(const Rgba& c) {
    return 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b;
}

std::string colour_key(const Rgba& c) {
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

// Every element opened is closed, in order; void elements and "/>" stand alone.
bool well_formed(const std::string& html, std::string& why) {
    static const std::set<std::string> kVoid = {"meta", "img", "br", "hr", "link", "input"};
    std::vector<std::string> open;
    for (std::size_t p = html.find('<'); p != std::string::npos; p = html.find('<', p + 1)) {
        if (html.compare(p, 9, "<!DOCTYPE") == 0) continue;
        const std::size_t end = html.find('>', p);
        if (end == std::string::npos) return why = "unclosed tag", false;
        std::string tag = html.substr(p + 1, end - p - 1);
        if (tag.empty()) return why = "empty tag", false;
        const bool closing = tag[0] == '/';
        const bool self = tag.back() == '/';
        std::string name = tag.substr(closing ? 1 : 0);
        name = name.substr(0, name.find_first_of(" \t\n/"));
        if (closing) {
            if (open.empty() || open.back() != name)
                return why = "</" + name + "> closes <" + (open.empty() ? "" : open.back()) + ">",
                       false;
            open.pop_back();
        } else if (!self && !kVoid.count(name)) {
            open.push_back(name);
            if (name == "style") p = html.find("</style>", p) - 1;
        }
    }
    if (!open.empty()) return why = "<" + open.back() + "> never closed", false;
    return true;
}

std::string base64_decode(const std::string& s) {
    std::string out;
    int val = 0, bits = -8;
    for (char ch : s) {
        const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const char* at = std::strchr(abc, ch);
        if (ch == '=' || !at || !ch) break;
        val = (val << 6) + static_cast<int>(at - abc);
        bits += 6;
        if (bits >= 0) {
            out += static_cast<char>((val >> bits) & 0xFF);
            bits -= 8;
        }
    }
    return out;
}

class SummaryRun : public ::testing::TestWithParam<Case> {};

// The value of attribute `attr` (written ` name="`) in each tag that starts with `start`,
// in order; tags without it are passed over.
std::vector<std::string> tag_values(const std::string& html, const std::string& start,
                                    const std::string& attr) {
    std::vector<std::string> out;
    for (std::size_t at = html.find(start); at != std::string::npos;
         at = html.find(start, at + 1)) {
        const std::size_t end = html.find('>', at);
        const std::size_t a = html.find(attr, at);
        if (a == std::string::npos || a > end) continue;
        const std::size_t v = a + attr.size();
        out.push_back(html.substr(v, html.find('"', v) - v));
    }
    return out;
}

// How many PDF objects are of type /Page (not /Pages).
int pdf_pages(const std::string& pdf) {
    int pages = 0;
    for (std::size_t at = pdf.find("/Type"); at != std::string::npos;
         at = pdf.find("/Type", at + 1)) {
        std::size_t p = at + 5;
        while (p < pdf.size() && std::isspace(static_cast<unsigned char>(pdf[p]))) ++p;
        if (pdf.compare(p, 5, "/Page") == 0 && p + 5 < pdf.size() && pdf[p + 5] != 's') ++pages;
    }
    return pages;
}

}  // namespace

TEST_P(SummaryRun, PicturesAndPageAgreeWithTheResultFiles) {
    const Case& c = GetParam();
    if (!png_available()) GTEST_SKIP() << "built without PNG pictures";
    Session s(c);
    ASSERT_EQ(s.status, 0);
    std::string out;
    Status err;
    int idiom = 0;
    ASSERT_EQ(summary_from_results(s.base, out, err, idiom), 0) << status_line(err, idiom, true);
    EXPECT_EQ(out, s.base + "_diversity.png\n" + s.base + "_homog.png\n" + s.base +
                       "_summary.html\n");

    const int L = s.map.nb_lig, C = s.map.nb_col, m = 2 * c.R + 1;
    const std::vector<unsigned char> divers =
        c.mesh == 0 ? fx::with_mesh(s.expected.div, L, C, c.R) : s.expected.div;
    auto on_mesh = [&](int i, int j) { return c.mesh == 0 && (i % m == 0 || j % m == 0); };

    // Diversity: one colour per value, the same wherever the value is, ordered by
    // lightness from 1 up; no value transparent; mesh lines in their own colour.
    const std::string div_png = fx::slurp(s.base + "_diversity.png");
    const Decoded dp = decode(div_png);
    ASSERT_EQ(dp.w, C);
    ASSERT_EQ(dp.h, L);
    std::map<int, Rgba> colour_of;
    std::map<std::string, int> value_of;
    long long histo[256] = {};
    for (int i = 0; i < L; ++i)
        for (int j = 0; j < C; ++j) {
            const Rgba got = dp.at(i, j);
            const int v = divers[static_cast<std::size_t>(i) * C + j];
            if (on_mesh(i, j)) {
                ASSERT_EQ(got, kMeshColour) << i << "," << j;
                continue;
            }
            if (v == 255) {
                ASSERT_EQ(got.a, 0) << i << "," << j;
                continue;
            }
            ++histo[v];
            ASSERT_EQ(got.a, 255);
            ASSERT_FALSE(got == kMeshColour);
            auto [it, fresh] = colour_of.emplace(v, got);
            ASSERT_EQ(it->second, got) << "value " << v << " in two colours";
            auto [jt, fresh2] = value_of.emplace(colour_key(got), v);
            ASSERT_EQ(jt->second, v) << "one colour for two values";
        }
    ASSERT_GE(colour_of.size(), 3u);
    for (auto it = colour_of.begin(); std::next(it) != colour_of.end(); ++it)
        if (it->first >= 1) {
            EXPECT_LT(luminance(it->second), luminance(std::next(it)->second));
        }

    // Homogeneity: darker as it rises, no value transparent, no mesh.
    const Decoded hp = decode(fx::slurp(s.base + "_homog.png"));
    ASSERT_EQ(hp.w, C);
    ASSERT_EQ(hp.h, L);
    std::map<int, double> light;
    for (int i = 0; i < L; ++i)
        for (int j = 0; j < C; ++j) {
            const int v = s.expected.homo[static_cast<std::size_t>(i) * C + j];
            const Rgba got = hp.at(i, j);
            if (v == 255) {
                ASSERT_EQ(got.a, 0);
                continue;
            }
            ASSERT_EQ(got.a, 255);
            light[v] = luminance(got);
        }
    for (auto it = light.begin(); std::next(it) != light.end(); ++it)
        EXPECT_GT(it->second, std::next(it)->second) << it->first;

    // The page: well formed, in the run's language, both pictures as written, one row
    // per class, one bar per diversity value 1..max in proportion to its count, and the
    // folder's name escaped.
    const std::string html = fx::slurp(s.base + "_summary.html");
    std::string why;
    EXPECT_TRUE(well_formed(html, why)) << why;
    const char* lang[3] = {"en", "fr", "es"};
    EXPECT_NE(html.find(std::string("<html lang=\"") + lang[c.idiom] + "\""), std::string::npos);
    // Its words in the run's language, their letters in UTF-8.
    const char* title[3] = {"Diversity and homogeneity of the landscape",
                            "Diversit\xC3\xA9 et homog\xC3\xA9n\xC3\xA9it\xC3\xA9 du paysage",
                            "Diversidad y homogeneidad del paisaje"};
    const char* sizes[3] = {" columns \xC3\x97 ", " colonnes \xC3\x97 ", " l\xC3\xADneas"};
    EXPECT_NE(html.find(title[c.idiom]), std::string::npos);
    EXPECT_NE(html.find(sizes[c.idiom]), std::string::npos);
    EXPECT_NE(html.find(" km\xC2\xB2"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("http"), std::string::npos);
    std::vector<std::string> images;
    for (const std::string& src : tag_values(html, "<img", " src=\""))
        if (src.starts_with("data:image/png;base64,"))
            images.push_back(base64_decode(src.substr(22)));
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0], div_png);
    EXPECT_EQ(images[1], fx::slurp(s.base + "_homog.png"));

    const fx::Items items = fx::inventory(s.map);
    std::vector<int> codes;
    for (std::size_t at = html.find("<tr class=\"item"); at != std::string::npos;
         at = html.find("<tr class=\"item", at + 1)) {
        const std::size_t td = html.find("\"><td>", at + 15);
        ASSERT_NE(td, std::string::npos);
        codes.push_back(std::stoi(html.substr(td + 6)));
    }
    EXPECT_EQ(codes, items.code);

    std::map<int, double> bar;
    const std::vector<std::string> bar_values = tag_values(html, "<rect class=\"bar\"", " data-value=\"");
    const std::vector<std::string> bar_heights = tag_values(html, "<rect class=\"bar\"", " height=\"");
    ASSERT_EQ(bar_values.size(), bar_heights.size());
    for (std::size_t k = 0; k < bar_values.size(); ++k)
        bar[std::stoi(bar_values[k])] = std::stod(bar_heights[k]);
    int max_value = 0;
    for (int v = 1; v < 255; ++v)
        if (histo[v] > 0) max_value = v;
    ASSERT_EQ(static_cast<int>(bar.size()), max_value);
    const int tallest = static_cast<int>(
        std::max_element(histo + 1, histo + max_value + 1) - histo);
    for (int v = 1; v <= max_value; ++v)
        EXPECT_NEAR(bar[v] / bar[tallest], static_cast<double>(histo[v]) / histo[tallest], 0.01)
            << v;

    const std::string folder = c.folder;
    if (folder.find('<') != std::string::npos) {
        EXPECT_EQ(html.find(folder), std::string::npos);
        EXPECT_NE(html.find("/m&lt;&amp;&gt;&quot;x/res_info.txt"), std::string::npos);
    } else {
        EXPECT_NE(html.find(s.base + "_info.txt"), std::string::npos);
    }
    EXPECT_NE(html.find(std::string("res_diversity") + kExt[c.res_form]), std::string::npos);

    // Each share of the inventory is the class's pixels over the classified pixels, to
    // three significant figures (at most three decimals), in the language's decimal mark.
    long long classified = 0;
    for (long long n : items.pixels) classified += n;
    std::size_t k = 0;
    for (std::size_t at = html.find("<tr class=\"item"); at != std::string::npos;
         at = html.find("<tr class=\"item", at + 1), ++k) {
        const std::size_t td = html.find("<td class=\"n\">", html.find("<td class=\"n\">", at) + 1);
        std::string text = html.substr(td + 14, html.find(" %", td) - td - 14);
        std::replace(text.begin(), text.end(), ',', '.');
        const double exact = 100.0 * items.pixels[k] / classified;
        const std::size_t dot = text.find('.');
        const int decimals = dot == std::string::npos ? 0 : static_cast<int>(text.size() - dot - 1);
        EXPECT_NEAR(std::stod(text), exact, 0.5 * std::pow(10.0, -decimals) + 1e-12) << text;
        std::string digits;
        for (char ch : text)
            if (std::isdigit(static_cast<unsigned char>(ch)) && !(digits.empty() && ch == '0'))
                digits += ch;
        EXPECT_TRUE(digits.size() <= 3 || decimals == 0) << text;
        EXPECT_TRUE(decimals == 3 || digits.size() == 3) << text;
    }
    ASSERT_EQ(k, items.code.size());

    // The surface: the classified part, then the whole map (25 m pixels).
    auto km2 = [&](long long pixels) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.3f", pixels * 625e-6);
        std::string t = buf;
        if (c.idiom != 0) std::replace(t.begin(), t.end(), '.', ',');
        return t + " km²";
    };
    const std::size_t surface = html.find(km2(classified));
    ASSERT_NE(surface, std::string::npos) << km2(classified);
    EXPECT_GT(html.find(km2(static_cast<long long>(L) * C), surface), surface);

    // The mesh is told in cells, a moving window in windows.
    const char* window_word[3] = {"in the window", "dans la fenêtre", "en la ventana"};
    const char* cell_word[3] = {"in the cell", "dans la cellule", "en la celda"};
    EXPECT_EQ(html.find(c.treat == 0 ? window_word[c.idiom] : cell_word[c.idiom]), std::string::npos);
    EXPECT_NE(html.find(c.treat == 0 ? cell_word[c.idiom] : window_word[c.idiom]), std::string::npos);

    // A scale bar under each map, at the picture's scale: its length in picture pixels
    // times the pixel size is the length it names.
    const std::vector<std::string> bars = tag_values(html, "<svg class=\"scale\"", " viewBox=\"");
    ASSERT_EQ(bars.size(), 2u);
    for (std::size_t at = html.find("<svg class=\"scale\""); at != std::string::npos;
         at = html.find("<svg class=\"scale\"", at + 1)) {
        const std::size_t d = html.find(" d=\"M", at);
        double x0 = 0, y0 = 0, y1 = 0, x1 = 0;
        ASSERT_EQ(std::sscanf(html.c_str() + d + 4, "M%lf %lfV%lfH%lf", &x0, &y0, &y1, &x1), 4);
        const std::size_t t = html.find("<text", d);
        const std::string label = html.substr(html.find('>', t) + 1,
                                              html.find("</text>", t) - html.find('>', t) - 1);
        const double metres = std::stod(label) * (label.ends_with(" km") ? 1000 : 1);
        EXPECT_NEAR((x1 - x0) * 25, metres, 0.02) << label;
        EXPECT_LE(metres, C * 25 / 4.0);
        EXPECT_GT(metres, C * 25 / 40.0);
    }
}

// Class names that a map carries go to the inventory, escaped; a map without names
// keeps the table of codes.
TEST(SummaryPage, NamesTheClassesWhereTheMapNamesThem) {
    SummaryInput in;
    in.nb_lig = 4;
    in.nb_col = 6;
    in.dpix_size = 10;
    in.items = {{11, 20, 83.3, "Urban <dense>"}, {12, 4, 16.7, ""}};
    Quicklook q;
    q.histogram.assign(255, 0);
    const std::string named = summary_html(in, q, q, "", "");
    EXPECT_NE(named.find("<th>Name</th>"), std::string::npos);
    EXPECT_NE(named.find("<td>11</td><td>Urban &lt;dense&gt;</td>"), std::string::npos);
    EXPECT_NE(named.find("<td>12</td><td></td>"), std::string::npos);
    in.items[0].name.clear();
    const std::string plain = summary_html(in, q, q, "", "");
    EXPECT_EQ(plain.find("<th>Name</th>"), std::string::npos);
    EXPECT_NE(plain.find("<td>11</td><td class=\"n\">20</td>"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, SummaryRun,
    ::testing::Values(Case{"circle_mesh_bitmap", 0, 1, 1, 1, 1, 0, "maps"},
                      Case{"cell_raw_spanish", 2, 0, 0, 1, 0, 1, "m<&>\"x"},
                      Case{"square_ascii_french_mesh", 1, 1, 0, 2, 2, 0, "cartes"}),
    [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

namespace {

// The pictures of whole images, given all their rows at once.
Quicklook diversity_quicklook(ByteMatrix d, int nb_lig, int nb_col, const MeshLines& mesh,
                              int max_side = kQuicklookMaxSide) {
    QuicklookBuilder b(QuicklookBuilder::Kind::Mode, nb_lig, nb_col, mesh, max_side);
    b.add_rows(0, nb_lig, d);
    return b.finish();
}

Quicklook homogeneity_quicklook(ByteMatrix h, int nb_lig, int nb_col,
                                int max_side = kQuicklookMaxSide) {
    QuicklookBuilder b(QuicklookBuilder::Kind::Mean, nb_lig, nb_col, MeshLines{}, max_side);
    b.add_rows(0, nb_lig, h);
    return b.finish();
}

}  // namespace

// A map longer than the picture may be: each picture pixel holds the most common
// diversity of its block (the smallest on a tie) and the mean homogeneity rounded
// half up, no-value pixels left out; a block of no value stays transparent. The legend
// counts the whole map.
TEST(QuicklookReduction, BlocksTakeTheirMostCommonValueAndTheirMean) {
    const int L = 7, C = 4099, f = 3;  // 4099 columns: reduced 1:3 to 1367
    ByteGrid div(ucmatrice(C, L), L), homo(ucmatrice(C, L), L);
    std::uint32_t r = 99;
    for (int i = 0; i < L; ++i)
        for (int j = 0; j < C; ++j) {
            r = r * 1664525u + 1013904223u;
            div[i][j] = static_cast<unsigned char>((r >> 10) % 4);
            homo[i][j] = static_cast<unsigned char>((r >> 16) % 101);
            if ((r >> 24) % 5 == 0 || j / f == 100) {  // block column 100: no value at all
                div[i][j] = 255;
                homo[i][j] = 255;
            }
        }
    const Quicklook qh = homogeneity_quicklook(homo.get(), L, C, 2048);
    ASSERT_EQ(qh.factor, f);
    ASSERT_EQ(qh.image.width, 1367);
    ASSERT_EQ(qh.image.height, 3);
    // Then with mesh lines every 41 pixels drawn (0) on the diversity: they are left
    // out of the blocks and drawn on the picture rows and columns that hold them.
    for (const int m : {0, 41}) {
        SCOPED_TRACE(m);
        const MeshLines mesh{m > 0, m};
        for (int i = 0; i < L; ++i)
            for (int j = 0; j < C; ++j)
                if (mesh.on(i, j)) div[i][j] = 0;
        const Quicklook qd = diversity_quicklook(div.get(), L, C, mesh);
        ASSERT_EQ(qd.factor, f);
        ASSERT_EQ(qd.image.width, 1367);
        ASSERT_EQ(qd.image.height, 3);
        EXPECT_EQ(qd.mesh_shown, m > 0);
        std::set<int> line_rows, line_cols;
        for (int k = 0; m > 0 && k * m < L; ++k) line_rows.insert(k * m / f);
        for (int k = 0; m > 0 && k * m < C; ++k) line_cols.insert(k * m / f);
        long long counts[256] = {};
        for (int oi = 0; oi < 3; ++oi)
            for (int oj = 0; oj < 1367; ++oj) {
                int n[256] = {};
                long long sum = 0, k = 0;
                for (int i = oi * f; i < std::min(L, oi * f + f); ++i)
                    for (int j = oj * f; j < std::min(C, oj * f + f); ++j) {
                        if (homo[i][j] != 255) sum += homo[i][j], ++k;
                        if (mesh.on(i, j)) continue;
                        ++counts[div[i][j]];
                        if (div[i][j] != 255) ++n[div[i][j]];
                    }
                int mode = 255;
                for (int v = 254; v >= 0; --v)
                    if (n[v] > 0 && (mode == 255 || n[v] >= n[mode])) mode = v;
                const std::size_t at = static_cast<std::size_t>(oi) * 1367 + oj;
                if (line_rows.count(oi) || line_cols.count(oj)) {
                    ASSERT_EQ(qd.image.palette[qd.image.index[at]], kMeshColour) << oi << "," << oj;
                } else {
                    ASSERT_EQ(qd.image.index[at], mode) << oi << "," << oj;
                }
                const int mean =
                    k == 0 ? 255 : static_cast<int>(std::floor(double(sum) / k + 0.5));
                ASSERT_EQ(qh.image.index[at], mean) << oi << "," << oj;
            }
        EXPECT_EQ(qh.image.palette[255].a, 0);
        for (const LegendEntry& e : qd.legend) {
            if (e.kind == LegendEntry::Kind::Value) {
                EXPECT_EQ(e.pixels, counts[e.lo]) << e.lo;
            }
        }
        double total = 0;
        for (const LegendEntry& e : qd.legend) total += e.share;
        EXPECT_NEAR(total, 100.0, 1e-9);

        // Built from bands of rows as a run writes them, in any order and cutting blocks
        // anywhere, the pictures and legends are those of the whole image.
        for (const std::vector<std::pair<int, int>>& bands :
             {std::vector<std::pair<int, int>>{{0, 2}, {2, 3}, {5, 2}},
              std::vector<std::pair<int, int>>{{4, 3}, {0, 1}, {1, 3}},
              std::vector<std::pair<int, int>>{{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}}}) {
            QuicklookBuilder bd(QuicklookBuilder::Kind::Mode, L, C, mesh);
            QuicklookBuilder bh(QuicklookBuilder::Kind::Mean, L, C);
            for (const auto& [y, n] : bands) {
                bd.add_rows(y, n, div.get() + y);
                bh.add_rows(y, n, homo.get() + y);
            }
            const Quicklook sd = bd.finish(), sh = bh.finish();
            EXPECT_EQ(sd.image.index, qd.image.index);
            EXPECT_EQ(sh.image.index, qh.image.index);
            for (int v = 0; v < 256; ++v) {
                EXPECT_EQ(sd.image.palette[v], qd.image.palette[v]);
                EXPECT_EQ(sh.image.palette[v], qh.image.palette[v]);
            }
            EXPECT_EQ(sd.histogram, qd.histogram);
            EXPECT_EQ(sh.histogram, qh.histogram);
            ASSERT_EQ(sd.legend.size(), qd.legend.size());
            for (std::size_t k = 0; k < sd.legend.size(); ++k)
                EXPECT_EQ(sd.legend[k].pixels, qd.legend[k].pixels);
        }
    }
}

// A real metric's picture made from its rows of floats as they come, in any order of
// bands: the least and largest values span 0..100; at full size each pixel is its value
// put on that scale and rounded, as a picture made from the whole image; reduced, each
// block is its mean put on the scale, within one step of the mean of the pixels put on
// it one by one. No value (-1) is transparent, a block of no value too.
TEST(QuicklookReduction, RealPicturesScaleTheirValuesBetweenTheLeastAndTheLargest) {
    for (const int max_side : {2048, 700}) {
        SCOPED_TRACE(max_side);
        const int L = 9, C = 1401;
        std::vector<float> v(static_cast<std::size_t>(L) * C);
        std::uint32_t r = 7;
        for (std::size_t k = 0; k < v.size(); ++k) {
            r = r * 1664525u + 1013904223u;
            v[k] = (r >> 24) % 6 == 0 || k % C / 3 == 200 ? -1.0f
                                                          : 0.25f + static_cast<float>(r >> 8) * 1e-7f;
        }
        double lo = 1e30, hi = -1e30;
        for (float x : v)
            if (x != -1.0f) lo = std::min<double>(lo, x), hi = std::max<double>(hi, x);
        // The straightforward way: the whole image put on the scale, then reduced.
        ByteGrid scaled(ucmatrice(C, L), L);
        for (int i = 0; i < L; ++i)
            for (int j = 0; j < C; ++j) {
                const float x = v[static_cast<std::size_t>(i) * C + j];
                scaled[i][j] = x == -1.0f ? 255
                                          : static_cast<unsigned char>(
                                                std::lround((x - lo) / (hi - lo) * 100));
            }
        const Quicklook whole = homogeneity_quicklook(scaled.get(), L, C, max_side);
        QuicklookBuilder b(QuicklookBuilder::Kind::Real, L, C, {}, max_side);
        std::vector<const unsigned char*> rows;
        for (int i = 0; i < L; ++i)
            rows.push_back(reinterpret_cast<const unsigned char*>(&v[static_cast<std::size_t>(i) * C]));
        for (const auto& [y, n] : {std::pair{5, 4}, std::pair{0, 2}, std::pair{2, 3}})
            b.add_rows(y, n, rows.data() + y);
        const Quicklook q = b.finish();
        EXPECT_EQ(q.lo, lo);
        EXPECT_EQ(q.hi, hi);
        ASSERT_EQ(q.factor, whole.factor);
        ASSERT_EQ(q.image.index.size(), whole.image.index.size());
        for (int k = 0; k < 256; ++k) EXPECT_EQ(q.image.palette[k], whole.image.palette[k]);
        if (q.factor == 1) {
            EXPECT_EQ(q.image.index, whole.image.index);
            continue;
        }
        EXPECT_EQ(q.factor, 3);
        for (std::size_t k = 0; k < q.image.index.size(); ++k) {
            ASSERT_EQ(q.image.index[k] == 255, whole.image.index[k] == 255) << k;
            ASSERT_LE(std::abs(q.image.index[k] - whole.image.index[k]), 1) << k;
        }
    }
}

namespace {

int shell(const std::string& cmd) {
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

std::string chromium_command(const fs::path& profile) {
    return "chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
           "--disable-background-networking --disable-component-update --disable-sync "
           "--user-data-dir=\"" +
           profile.string() + "\" ";
}

}  // namespace

// What keeps `landmosaic summary` from making the page is said in the report's language
// (English until the report is read), naming the file; a result image that cannot be read
// gets its reader's own words.
TEST(SummaryCommand, FailuresAreSaidInTheReportsLanguage) {
    const Case c{"fails", 1, 1, 0, 1, 0, 1, "maps"};
    Session s(c);
    ASSERT_EQ(s.status, 0);
    std::string out;
    Status err;
    int idiom = -1;
    EXPECT_EQ(summary_from_results(s.base + "_none", out, err, idiom), 1);
    EXPECT_EQ(idiom, 0);
    EXPECT_EQ(status_line(err, idiom, true), "the report " + s.base + "_none_info.txt cannot be read");
    fx::spit(s.base + "_none_info.txt", "not a report\n");
    EXPECT_EQ(summary_from_results(s.base + "_none", out, err, idiom), 1);
    EXPECT_EQ(status_line(err, idiom, true), s.base + "_none_info.txt is not the report of a run");

    const std::string homo = fx::slurp(s.base + "_homog.raw");
    fs::remove(s.base + "_homog.raw");
    EXPECT_EQ(summary_from_results(s.base, out, err, idiom), 1);
    EXPECT_EQ(idiom, 1);
    EXPECT_EQ(status_line(err, idiom, true),
              "l'image r\u00e9sultat " + s.base + "_homog (.raw, .bmp, .asc ou .tif) est introuvable");
    // Cut short: the raw reader's refusal, in French.
    fx::spit(s.base + "_homog.raw", homo.substr(0, homo.size() / 2));
    EXPECT_EQ(summary_from_results(s.base, out, err, idiom), 1);
    EXPECT_EQ(err.code, Status::Code::Refused);
    EXPECT_EQ(status_line(err, idiom, true).rfind("Fichier " + s.base + "_homog.raw", 0), 0u)
        << status_line(err, idiom, true);
    EXPECT_FALSE(fs::exists(s.base + "_summary.html"));
}

// The page in a real browser: the screenshot shows both maps (their colours are on
// it) and the chart, and printing gives one A4 page.
TEST(SummaryInBrowser, ShowsTheMapsAndPrintsOnOnePage) {
    if (!png_available()) GTEST_SKIP() << "built without PNG pictures";
    if (shell("command -v chromium >/dev/null 2>&1") != 0) GTEST_SKIP() << "no chromium";
    if (tf::kSanitized) GTEST_SKIP() << "the browser's part is checked in the normal tree";
    const Case c{"browser", 1, 1, 1, 2, 1, 0, "maps"};
    Session s(c);
    ASSERT_EQ(s.status, 0);
    std::string out;
    Status err;
    int idiom = 0;
    ASSERT_EQ(summary_from_results(s.base, out, err, idiom), 0) << status_line(err, idiom, true);
    const std::string page = "file://" + s.base + "_summary.html";
    const fs::path shot = s.dir.root / "shot.png", pdf = s.dir.root / "page.pdf";
    ASSERT_EQ(shell("timeout 120 " + chromium_command(s.dir.root / "profile1") +
                    "--window-size=1100,1400 --screenshot=\"" + shot.string() + "\" \"" + page +
                    "\" >/dev/null 2>&1"),
              0);
    ASSERT_EQ(shell("timeout 120 " + chromium_command(s.dir.root / "profile2") +
                    "--no-pdf-header-footer --print-to-pdf=\"" + pdf.string() + "\" \"" + page +
                    "\" >/dev/null 2>&1"),
              0);

    const Decoded d = decode(fx::slurp(shot));
    ASSERT_GT(d.w, 0);
    std::map<std::string, long long> seen;
    for (int i = 0; i < d.h; ++i)
        for (int j = 0; j < d.w; ++j) ++seen[colour_key(d.at(i, j))];
    EXPECT_GT(seen.size(), 50u) << "a blank page";
    // The mesh lines, the diversity colours and the darkest homogeneity are on screen.
    const Decoded dp = decode(fx::slurp(s.base + "_diversity.png"));
    std::set<std::string> map_colours;
    for (int i = 0; i < dp.h; ++i)
        for (int j = 0; j < dp.w; ++j)
            if (dp.at(i, j).a == 255) map_colours.insert(colour_key(dp.at(i, j)));
    int on_screen = 0;
    for (const std::string& k : map_colours) on_screen += seen.count(k) > 0;
    EXPECT_EQ(on_screen, static_cast<int>(map_colours.size()));
    EXPECT_GT(seen[colour_key(kMeshColour)], 100);

    const std::string pdf_bytes = fx::slurp(pdf);
    EXPECT_EQ(pdf_pages(pdf_bytes), 1);
    // A4: 595 x 842 points, as the browser rounds it (594.96 x 841.92).
    const std::size_t box = pdf_bytes.find("/MediaBox [0 0 594.9");
    ASSERT_NE(box, std::string::npos) << "not A4";
    std::size_t p = box + 20;
    while (p < pdf_bytes.size() && std::isdigit(static_cast<unsigned char>(pdf_bytes[p]))) ++p;
    EXPECT_EQ(pdf_bytes.compare(p, 6, " 841.9"), 0) << "not A4";
}

// The program itself: `landmosaic summary BASE` writes the three files and names them;
// a base without a report, or no base, fails with a line saying why.
TEST(SummaryCommand, WritesTheFilesOrSaysWhatIsMissing) {
    if (!png_available()) GTEST_SKIP() << "built without PNG pictures";
    Session s(Case{"command", 0, 1, 0, 1, 0, 1, "maps"});
    ASSERT_EQ(s.status, 0);
    const fs::path out = s.dir.root / "out.txt", err = s.dir.root / "err.txt";
    auto run = [&](const std::string& args) {
        return shell(std::string(LANDMOSAIC_EXE) + " summary " + args + " >\"" + out.string() +
                     "\" 2>\"" + err.string() + "\"");
    };
    ASSERT_EQ(run("\"" + s.base + "\""), 0) << fx::slurp(err);
    EXPECT_EQ(fx::slurp(out), s.base + "_diversity.png\n" + s.base + "_homog.png\n" + s.base +
                                  "_summary.html\n");
    EXPECT_EQ(run("\"" + s.base + "_info.txt\""), 0) << "the report's own name is taken too";
    EXPECT_EQ(run("\"" + s.base + "x\""), 1);
    EXPECT_NE(fx::slurp(err).find("landmosaic summary: the report " + s.base + "x_info.txt"),
              std::string::npos);
    fs::remove(s.base + "_homog.raw");
    EXPECT_EQ(run("\"" + s.base + "\""), 1);
    EXPECT_NE(fx::slurp(err).find("_homog"), std::string::npos);
    EXPECT_EQ(run(""), 2);
}

// `--quicklook` on the command line makes the same pictures and page as `summary` made
// afterwards from the files of the same run, but for the share of windows holding
// unclassified pixels, which only the run knows.
TEST(SummaryCommand, QuicklookOfACommandLineRunEqualsTheSummaryOfItsFiles) {
    if (!png_available()) GTEST_SKIP() << "built without PNG pictures";
    Session s(Case{"cli", 0, 1, 1, 2, 0, 1, "maps"});
    const std::string base = (s.folder / "cli").string();
    const fs::path log = s.dir.root / "log.txt";
    const fs::path json = s.dir.root / "run.json";
    ASSERT_EQ(shell(std::string(LANDMOSAIC_EXE) + " -w circle -r 2 -f raw -q --quicklook -o \"" +
                    base + "\" --json \"" + json.string() + "\" \"" +
                    (s.folder / "land.raw").string() + "\" >\"" + log.string() + "\" 2>&1"),
              0)
        << fx::slurp(log);
    // The JSON summary lists the pictures and the page among the outputs (in builds
    // that write it).
    if (const std::string j = fx::slurp(json); !j.empty()) {
        EXPECT_NE(j.find("\"summary_html\": \"" + base + "_summary.html\""), std::string::npos) << j;
        EXPECT_NE(j.find("\"path\": \"" + base + "_diversity.png\""), std::string::npos) << j;
        EXPECT_NE(j.find("\"path\": \"" + base + "_homog.png\""), std::string::npos) << j;
    }
    const std::string div = fx::slurp(base + "_diversity.png"),
                      homo = fx::slurp(base + "_homog.png");
    std::string page = fx::slurp(base + "_summary.html");
    const std::size_t at = page.find("<section class=\"card\" id=\"unclassified\">");
    ASSERT_NE(at, std::string::npos);
    page.erase(at, page.find("</section>\n", at) + 11 - at);
    ASSERT_FALSE(div.empty());
    ASSERT_NE(page.find("<html lang=\"en\""), std::string::npos);
    std::string out;
    Status err;
    int idiom = 0;
    ASSERT_EQ(summary_from_results(base, out, err, idiom), 0) << status_line(err, idiom, true);
    EXPECT_EQ(fx::slurp(base + "_diversity.png"), div);
    EXPECT_EQ(fx::slurp(base + "_homog.png"), homo);
    EXPECT_EQ(fx::slurp(base + "_summary.html"), page);

    // Every other metric gets its picture and its panel, a real one its ramp.
    if (!gdal_available()) return;
    ASSERT_EQ(shell(std::string(LANDMOSAIC_EXE) + " -w circle -r 2 -q --quicklook --pixel-size 25 " +
                    "--x-min 0 --y-min 0 --metrics diversity,homogeneity,shannon,dominant,share:4 -o \"" +
                    base + "m\" \"" + (s.folder / "land.raw").string() + "\" >\"" + log.string() +
                    "\" 2>&1"),
              0)
        << fx::slurp(log);
    const std::string metrics_page = fx::slurp(base + "m_summary.html");
    for (const char* m : {"shannon", "dominant", "share4"}) {
        EXPECT_FALSE(fx::slurp(base + "m_" + m + ".png").empty()) << m;
        EXPECT_NE(metrics_page.find(std::string("id=\"metric-") + m + "\""), std::string::npos) << m;
    }
    EXPECT_NE(metrics_page.find("id=\"mramp0\""), std::string::npos);
    // `summary` reads GeoTIFF results through GDAL's row reader, the real metrics' as
    // floats: the same pictures, and the same page but for what only the run knows.
    std::map<std::string, std::string> made;
    for (const char* m : {"diversity", "homog", "shannon", "dominant", "share4"}) {
        made[m] = fx::slurp(base + "m_" + m + ".png");
        fs::remove(base + "m_" + m + ".png");
    }
    ASSERT_EQ(shell(std::string(LANDMOSAIC_EXE) + " summary \"" + base + "m\" >\"" + log.string() +
                    "\" 2>&1"),
              0)
        << fx::slurp(log);
    for (const auto& [m, png] : made) EXPECT_EQ(fx::slurp(base + "m_" + m + ".png"), png) << m;
    std::string run_page = metrics_page;
    const std::size_t cut = run_page.find("<section class=\"card\" id=\"unclassified\">");
    ASSERT_NE(cut, std::string::npos);
    run_page.erase(cut, run_page.find("</section>\n", cut) + 11 - cut);
    EXPECT_EQ(fx::slurp(base + "m_summary.html"), run_page);

    // A map that names its classes (GDAL category names, here in the map's sidecar): the
    // names go to the page's inventory, escaped, by code.
    const fs::path asc = s.folder / "named.asc", tif = s.folder / "named.tif";
    fx::spit(asc, fx::asc_input_bytes(s.map, 0, 0, 25));
    ASSERT_EQ(shell("gdal_translate -q -a_nodata 255 \"" + asc.string() + "\" \"" + tif.string() + "\""), 0);
    std::string cats;
    for (int v = 0; v < 256; ++v)
        cats += "<Category>" + (v == 3 ? std::string("Wet &amp; dry") : "class " + std::to_string(v)) +
                "</Category>";
    fx::spit(tif.string() + ".aux.xml", "<PAMDataset><PAMRasterBand band=\"1\"><CategoryNames>" +
                                            cats + "</CategoryNames></PAMRasterBand></PAMDataset>");
    ASSERT_EQ(shell(std::string(LANDMOSAIC_EXE) + " -w square -r 1 -q --quicklook -o \"" + base +
                    "n\" \"" + tif.string() + "\" >\"" + log.string() + "\" 2>&1"),
              0)
        << fx::slurp(log);
    const std::string named = fx::slurp(base + "n_summary.html");
    for (int code : fx::inventory(s.map).code)
        EXPECT_NE(named.find("<td>" + std::to_string(code) + "</td><td>" +
                             (code == 3 ? std::string("Wet &amp; dry")
                                        : "class " + std::to_string(code)) + "</td>"),
                  std::string::npos)
            << code;
}
