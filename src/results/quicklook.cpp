#include "results/quicklook.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

struct Rgb {
    std::uint8_t r, g, b;
};

// A perceptually uniform ramp from dark blue-violet through green to yellow, readable
// with the common forms of colour blindness, sampled at ten even steps.
constexpr Rgb kDiversityRamp[] = {{68, 1, 84},    {72, 40, 120},  {62, 74, 137},  {49, 104, 142},
                                  {38, 130, 142}, {31, 158, 137}, {53, 183, 121}, {109, 205, 89},
                                  {180, 222, 44}, {253, 231, 37}};
// A sequential ramp from pale yellow through green-blue to dark blue, nine even steps.
constexpr Rgb kHomogeneityRamp[] = {{255, 255, 217}, {237, 248, 177}, {199, 233, 180},
                                    {127, 205, 187}, {65, 182, 196},  {29, 145, 192},
                                    {34, 94, 168},   {37, 52, 148},   {8, 29, 88}};
// A window that holds no class at all.
constexpr Rgba kEmptyColour{224, 224, 224, 255};

template <std::size_t N>
Rgba sample(const Rgb (&ramp)[N], double t) {
    t = std::clamp(t, 0.0, 1.0) * (N - 1);
    const std::size_t k = std::min<std::size_t>(static_cast<std::size_t>(t), N - 2);
    const double f = t - static_cast<double>(k);
    auto mix = [f](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>(std::lround(a + (b - a) * f));
    };
    return {mix(ramp[k].r, ramp[k + 1].r), mix(ramp[k].g, ramp[k + 1].g),
            mix(ramp[k].b, ramp[k + 1].b), 255};
}

// Picture size for a map of nb_lig x nb_col reduced by `factor`.
int reduced(int side, int factor) {
    return static_cast<int>((static_cast<long long>(side) + factor - 1) / factor);
}

int reduction_factor(int nb_lig, int nb_col, int max_side) {
    const int longest = std::max(nb_lig, nb_col);
    if (max_side < 1) max_side = 1;
    return std::max(1, reduced(longest, max_side));
}

double percent(long long part, long long whole) {
    return whole > 0 ? static_cast<double>(part) / static_cast<double>(whole) * 100.0 : 0.0;
}

constexpr std::uint8_t kTransparent = 255;

}  // namespace

Rgba diversity_colour(int value, int max_value) {
    if (value <= 0) return kEmptyColour;
    if (max_value <= 1) return sample(kDiversityRamp, 0.0);
    return sample(kDiversityRamp, static_cast<double>(value - 1) / (max_value - 1));
}

Rgba homogeneity_colour(int percent_value) {
    return sample(kHomogeneityRamp, percent_value / 100.0);
}

MeshLines find_mesh_lines(ByteMatrix d, int nb_lig, int nb_col, int range_win) {
    MeshLines mesh;
    if (!d || nb_lig <= 0 || nb_col <= 0 || range_win < 0) return mesh;
    const long long m = 2LL * range_win + 1;
    bool off_line_nonzero = false;
    for (int i = 0; i < nb_lig; ++i) {
        const bool row_line = i % m == 0;
        for (int j = 0; j < nb_col; ++j) {
            const bool line = row_line || j % m == 0;
            if (line && d[i][j] != 0) return mesh;
            if (!line && d[i][j] != 0) off_line_nonzero = true;
        }
    }
    if (!off_line_nonzero) return mesh;
    mesh.drawn = true;
    mesh.m = static_cast<int>(m);
    return mesh;
}

Quicklook diversity_quicklook(ByteMatrix d, int nb_lig, int nb_col, const MeshLines& mesh,
                              int max_side) {
    Quicklook q;
    q.histogram.assign(255, 0);
    q.mesh_drawn = mesh.drawn && mesh.m > 0;
    if (!d || nb_lig <= 0 || nb_col <= 0) return q;
    const int f = reduction_factor(nb_lig, nb_col, max_side);
    q.factor = f;
    q.map_pixels = static_cast<long long>(nb_lig) * nb_col;
    const int W = reduced(nb_col, f), H = reduced(nb_lig, f);
    q.image.width = W;
    q.image.height = H;
    q.image.index.assign(static_cast<std::size_t>(W) * H, kTransparent);

    long long no_value = 0, mesh_pixels = 0;
    std::array<std::uint32_t, 256> count{};
    std::vector<int> touched;
    touched.reserve(256);
    for (int oi = 0; oi < H; ++oi) {
        const int i0 = oi * f, i1 = std::min(nb_lig, i0 + f);
        for (int oj = 0; oj < W; ++oj) {
            const int j0 = oj * f, j1 = std::min(nb_col, j0 + f);
            for (int i = i0; i < i1; ++i) {
                const unsigned char* row = d[i];
                for (int j = j0; j < j1; ++j) {
                    if (q.mesh_drawn && mesh.on(i, j)) {
                        ++mesh_pixels;
                        continue;
                    }
                    const unsigned char v = row[j];
                    if (v == 255) {
                        ++no_value;
                        continue;
                    }
                    if (count[v]++ == 0) touched.push_back(v);
                }
            }
            // The most common value of the block; on a tie the smallest.
            int best = kTransparent;
            std::uint32_t best_n = 0;
            for (int v : touched) {
                q.histogram[v] += count[v];
                if (count[v] > best_n || (count[v] == best_n && v < best)) {
                    best = v;
                    best_n = count[v];
                }
                count[v] = 0;
            }
            touched.clear();
            q.image.index[static_cast<std::size_t>(oi) * W + oj] = static_cast<std::uint8_t>(best);
        }
    }

    int max_value = 0;
    for (int v = 0; v < 255; ++v)
        if (q.histogram[v] > 0) max_value = v;
    for (int v = 0; v < 255; ++v) q.image.palette[v] = diversity_colour(v, max_value);
    q.image.palette[kTransparent] = kNoValueColour;
    // Neighbouring values of a long ramp may round to one colour: every value present
    // keeps a colour of its own.
    for (int v = 0; v < 255; ++v) {
        if (q.histogram[v] == 0) continue;
        auto taken = [&] {
            for (int u = 0; u < v; ++u)
                if (q.histogram[u] > 0 && q.image.palette[u] == q.image.palette[v]) return true;
            return false;
        };
        Rgba& c = q.image.palette[v];
        for (int tries = 0; tries < 256 && taken(); ++tries)
            c.b = static_cast<std::uint8_t>((c.b + 1) & 255);
    }

    // Mesh lines take an index no value uses. At full size they are always shown (the
    // values under them are lost); on a reduced picture only while they stay apart: at
    // least three picture pixels between them and no more than kMaxMeshLines across, so
    // that they do not hide the map. Hidden lines leave each block its most common value.
    constexpr long long kMaxMeshLines = 100;
    int mesh_index = -1;
    for (int v = 254; v >= 0 && mesh_index < 0; --v)
        if (q.histogram[v] == 0) mesh_index = v;
    const bool apart = f == 1 || (mesh.m >= 3LL * f &&
                                  std::max(nb_lig, nb_col) / mesh.m <= kMaxMeshLines);
    if (q.mesh_drawn && mesh_index >= 0 && apart) {
        q.mesh_shown = true;
        q.image.palette[mesh_index] = kMeshColour;
        const auto mark = static_cast<std::uint8_t>(mesh_index);
        for (long long c = 0; c < nb_col; c += mesh.m) {
            const long long oj = c / f;
            for (int oi = 0; oi < H; ++oi) q.image.index[static_cast<std::size_t>(oi) * W + oj] = mark;
        }
        for (long long r = 0; r < nb_lig; r += mesh.m) {
            std::uint8_t* row = &q.image.index[static_cast<std::size_t>(r / f) * W];
            std::fill(row, row + W, mark);
        }
    }

    for (int v = 0; v < 255; ++v)
        if (q.histogram[v] > 0)
            q.legend.push_back({LegendEntry::Kind::Value, v, v, q.image.palette[v], q.histogram[v],
                                percent(q.histogram[v], q.map_pixels)});
    if (no_value > 0)
        q.legend.push_back({LegendEntry::Kind::NoValue, 255, 255, kNoValueColour, no_value,
                            percent(no_value, q.map_pixels)});
    if (q.mesh_drawn)
        q.legend.push_back({LegendEntry::Kind::Mesh, 0, 0, kMeshColour, mesh_pixels,
                            percent(mesh_pixels, q.map_pixels)});
    return q;
}

Quicklook homogeneity_quicklook(ByteMatrix h, int nb_lig, int nb_col, int max_side) {
    Quicklook q;
    q.histogram.assign(255, 0);
    if (!h || nb_lig <= 0 || nb_col <= 0) return q;
    const int f = reduction_factor(nb_lig, nb_col, max_side);
    q.factor = f;
    q.map_pixels = static_cast<long long>(nb_lig) * nb_col;
    const int W = reduced(nb_col, f), H = reduced(nb_lig, f);
    q.image.width = W;
    q.image.height = H;
    q.image.index.assign(static_cast<std::size_t>(W) * H, kTransparent);

    long long no_value = 0;
    for (int oi = 0; oi < H; ++oi) {
        const int i0 = oi * f, i1 = std::min(nb_lig, i0 + f);
        for (int oj = 0; oj < W; ++oj) {
            const int j0 = oj * f, j1 = std::min(nb_col, j0 + f);
            long long sum = 0, n = 0;
            for (int i = i0; i < i1; ++i) {
                const unsigned char* row = h[i];
                for (int j = j0; j < j1; ++j) {
                    const unsigned char v = row[j];
                    if (v == 255) {
                        ++no_value;
                        continue;
                    }
                    ++q.histogram[v];
                    sum += v;
                    ++n;
                }
            }
            // The mean of the block, rounded half up; values above 100 (never written
            // by a run) are shown as 100.
            if (n > 0) {
                const long long mean = (2 * sum + n) / (2 * n);
                q.image.index[static_cast<std::size_t>(oi) * W + oj] =
                    static_cast<std::uint8_t>(std::min<long long>(mean, 254));
            }
        }
    }
    for (int v = 0; v < 255; ++v) q.image.palette[v] = homogeneity_colour(std::min(v, 100));
    q.image.palette[kTransparent] = kNoValueColour;

    constexpr int kBands[][2] = {{0, 19}, {20, 39}, {40, 59}, {60, 79}, {80, 100}};
    for (const auto& band : kBands) {
        long long n = 0;
        for (int v = band[0]; v <= band[1]; ++v) n += q.histogram[v];
        if (band[1] == 100)
            for (int v = 101; v < 255; ++v) n += q.histogram[v];
        q.legend.push_back({LegendEntry::Kind::Range, band[0], band[1],
                            homogeneity_colour((band[0] + band[1]) / 2), n,
                            percent(n, q.map_pixels)});
    }
    if (no_value > 0)
        q.legend.push_back({LegendEntry::Kind::NoValue, 255, 255, kNoValueColour, no_value,
                            percent(no_value, q.map_pixels)});
    return q;
}
