// Small maps for the treatment tests: a map from a list of codes with its item
// inventory, random maps, and direct counts of the windows and cells written apart
// from the program's scans.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/results.h"
#include "raster/map.h"
#include "raster/nrutil.h"
#include "dialogue/console.h"
#include "window/geometry.h"
#include "window/window.h"

// The treatment types and window shapes as the dialogue numbers them.
constexpr int kMesh = 0, kWindow = 1;
constexpr int kSquare = 0, kCircle = 1;

// The window of rank R for that treatment and shape, with 30 m pixels.
inline Window window_for(int treat_type, int win_shape, int R) {
    Window win;
    if (treat_type == kWindow && win_shape == kCircle)
        EXPECT_TRUE(circle_sizes(win, R, 30.0));
    else
        square_sizes(win, R, 30.0);
    return win;
}

struct TestMap {
    LoadedMap map;
    Inventory inv;
};

// A map of nb_lig lines and nb_col columns from its codes, line by line, with the
// inventory the run would take: the codes below 255 present, in ascending order.
inline TestMap make_map(int nb_lig, int nb_col, const std::vector<int>& codes) {
    TestMap t;
    t.map.nb_lig = nb_lig;
    t.map.nb_col = nb_col;
    t.map.dpix_size = 30.0;
    t.map.tab_in = ByteGrid(ucmatrice(nb_col, nb_lig), nb_lig);
    bool present[256] = {};
    for (int i = 0; i < nb_lig; ++i) {
        for (int j = 0; j < nb_col; ++j) {
            const int c = codes[static_cast<std::size_t>(i * nb_col + j)];
            t.map.tab_in[i][j] = static_cast<unsigned char>(c);
            present[c] = true;
        }
    }
    for (int c = 0; c < 255; ++c)
        if (present[c]) t.inv.number_item[++t.inv.num_item] = c;
    t.inv.hist_item = IntVector(ivecteur(t.inv.num_item + 1));
    return t;
}

// A map of `nb_lig` x `nb_col` codes drawn from `palette` random codes (code 255
// among them when `with_255`).
inline TestMap random_map(std::mt19937& rng, int nb_lig, int nb_col, int palette, bool with_255) {
    std::vector<int> codes_used;
    std::uniform_int_distribution<int> any_code(0, 254);
    while (static_cast<int>(codes_used.size()) < palette) codes_used.push_back(any_code(rng));
    if (with_255) codes_used.push_back(255);
    std::uniform_int_distribution<std::size_t> pick(0, codes_used.size() - 1);
    std::vector<int> codes(static_cast<std::size_t>(nb_lig * nb_col));
    for (int& c : codes) c = codes_used[pick(rng)];
    return make_map(nb_lig, nb_col, codes);
}

// A result grid of the map's size, 255 everywhere.
inline ByteGrid no_value_grid(const LoadedMap& map) {
    ByteGrid g(ucmatrice(map.nb_col, map.nb_lig), map.nb_lig);
    for (int i = 0; i < map.nb_lig; ++i)
        for (int j = 0; j < map.nb_col; ++j) g[i][j] = kNoValue;
    return g;
}

// Two result matrices as flat arrays, line by line.
struct Expected {
    std::vector<int> div;
    std::vector<int> homo;
};

// Diversity and homogeneity of a set of codes on a surface, counted with a map.
inline void direct_tally(const std::vector<int>& codes, int surface, int& div, int& homo) {
    std::map<int, int> count;
    for (int c : codes)
        if (c != 255) ++count[c];
    int largest = 0;
    for (const auto& [code, n] : count)
        if (n > largest) largest = n;
    div = static_cast<int>(count.size());
    homo = 100 * largest / surface;
}

// Moving window of rank R whose pixels are the offsets (p, q), |p|, |q| <= R, for which
// `inside(p, q)` holds; evaluated where the whole box lies inside the map.
template <class Inside>
Expected direct_window(const LoadedMap& map, int R, Inside inside) {
    Expected e;
    const std::size_t n = static_cast<std::size_t>(map.nb_lig * map.nb_col);
    e.div.assign(n, 255);
    e.homo.assign(n, 255);
    int surface = 0;
    for (int p = -R; p <= R; ++p)
        for (int q = -R; q <= R; ++q) surface += inside(p, q) ? 1 : 0;
    for (int i = R; i + R < map.nb_lig; ++i) {
        for (int j = R; j + R < map.nb_col; ++j) {
            std::vector<int> codes;
            for (int p = -R; p <= R; ++p)
                for (int q = -R; q <= R; ++q)
                    if (inside(p, q)) codes.push_back(map.tab_in[i + p][j + q]);
            int div = 0, homo = 0;
            direct_tally(codes, surface, div, homo);
            const std::size_t at = static_cast<std::size_t>(i * map.nb_col + j);
            e.div[at] = div > 254 ? 255 : div;
            e.homo[at] = homo;
        }
    }
    return e;
}

// Cell mesh of edge m: each pixel of a whole cell gets the values of its cell.
inline Expected direct_mesh(const LoadedMap& map, int m) {
    Expected e;
    const std::size_t n = static_cast<std::size_t>(map.nb_lig * map.nb_col);
    e.div.assign(n, 255);
    e.homo.assign(n, 255);
    for (int i = 0; i < map.nb_lig; ++i) {
        for (int j = 0; j < map.nb_col; ++j) {
            const int top = i / m * m, left = j / m * m;
            if (top + m > map.nb_lig || left + m > map.nb_col) continue;
            std::vector<int> codes;
            for (int k = top; k < top + m; ++k)
                for (int l = left; l < left + m; ++l) codes.push_back(map.tab_in[k][l]);
            int div = 0, homo = 0;
            direct_tally(codes, m * m, div, homo);
            const std::size_t at = static_cast<std::size_t>(i * map.nb_col + j);
            e.div[at] = div > 254 ? 255 : div;
            e.homo[at] = homo;
        }
    }
    return e;
}

// A result grid as a flat array, line by line.
inline std::vector<int> flat(const ByteGrid& g, int nb_lig, int nb_col) {
    std::vector<int> v;
    for (int i = 0; i < nb_lig; ++i)
        for (int j = 0; j < nb_col; ++j) v.push_back(g[i][j]);
    return v;
}

// A console over string streams, showing the code page 850 bytes as they are.
struct StringConsole {
    std::istringstream in;
    std::ostringstream out;
    Console con;
    explicit StringConsole(const std::string& answers = "") : in(answers), con(in, out, false) {}
    std::string output() const { return out.str(); }
};

// The histogram of the diversity values below 255 of tab_div, counted pixel by pixel:
// histo_div and max_histo, the oracle of the histograms the scans count as they go.
inline void diversity_histogram(const ByteGrid& tab_div, int nb_lig, int nb_col, Results& res) {
    res.max_histo = 0;
    for (std::int64_t& h : res.histo_div) h = 0;
    for (int i = 0; i < nb_lig; ++i)
        for (int j = 0; j < nb_col; ++j) {
            const int val = tab_div[i][j];
            if (val < kNoValue) {
                if (val > res.max_histo) res.max_histo = val;
                ++res.histo_div[val];
            }
        }
}
