#include "results/quicklook.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

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

void MeshFinder::add_row(long long i, const unsigned char* row) {
    if (!possible()) return;
    const bool row_line = i % m_ == 0;
    for (int j = 0; j < nb_col_; ++j) {
        if (row[j] == 0) continue;
        if (row_line || j % m_ == 0) {
            line_value_ = true;
            return;
        }
        off_line_value_ = true;
    }
}

MeshLines MeshFinder::lines() const {
    MeshLines mesh;
    if (!possible() || !off_line_value_) return mesh;
    mesh.drawn = true;
    mesh.m = static_cast<int>(m_);
    return mesh;
}

QuicklookBuilder::QuicklookBuilder(Kind kind, int nb_lig, int nb_col, const MeshLines& mesh,
                                   int max_side)
    : kind_(kind), nb_lig_(std::max(0, nb_lig)), nb_col_(std::max(0, nb_col)), mesh_(mesh) {
    q_.histogram.assign(255, 0);
    q_.mesh_drawn = kind == Kind::Mode && mesh.drawn && mesh.m > 0;
    if (nb_lig_ == 0 || nb_col_ == 0) return;
    f_ = reduction_factor(nb_lig_, nb_col_, max_side);
    q_.factor = f_;
    q_.map_pixels = static_cast<long long>(nb_lig_) * nb_col_;
    W_ = reduced(nb_col_, f_);
    H_ = reduced(nb_lig_, f_);
    q_.image.width = W_;
    q_.image.height = H_;
    q_.image.index.assign(static_cast<std::size_t>(W_) * H_, kTransparent);
    if (kind_ == Kind::Real)
        real_mean_.assign(static_cast<std::size_t>(W_) * H_,
                          std::numeric_limits<float>::quiet_NaN());
}

long long QuicklookBuilder::held_bytes(Kind kind, int nb_lig, int nb_col, int max_side) {
    if (nb_lig <= 0 || nb_col <= 0) return 0;
    const int f = reduction_factor(nb_lig, nb_col, max_side);
    const long long W = reduced(nb_col, f), H = reduced(nb_lig, f);
    const long long block = kind == Kind::Mode ? 256 * 4 + 32 : 16;  // a block's counts or sums
    return W * H * (kind == Kind::Real ? 1 + 4 : 1) + 2 * W * block;
}

QuicklookBuilder::Pending& QuicklookBuilder::pending(int oi) {
    auto it = open_.find(oi);
    if (it != open_.end()) return it->second;
    Pending p;
    if (!spare_.empty()) {
        p = std::move(spare_.back());
        spare_.pop_back();
    } else if (kind_ == Kind::Mode) {
        p.count.assign(static_cast<std::size_t>(W_) * 256, 0);
        p.touched.resize(W_);
    } else {
        if (kind_ == Kind::Real)
            p.real_sum.assign(W_, 0);
        else
            p.sum.assign(W_, 0);
        p.n.assign(W_, 0);
    }
    return open_.emplace(oi, std::move(p)).first->second;
}

void QuicklookBuilder::add_row(int i, const unsigned char* row) {
    const int oi = i / f_;
    Pending& p = pending(oi);
    if (kind_ == Kind::Mode) {
        for (int j = 0; j < nb_col_; ++j) {
            if (q_.mesh_drawn && mesh_.on(i, j)) {
                ++mesh_pixels_;
                continue;
            }
            const unsigned char v = row[j];
            if (v == 255) {
                ++no_value_;
                continue;
            }
            const int oj = j / f_;
            if (p.count[static_cast<std::size_t>(oj) * 256 + v]++ == 0) p.touched[oj].push_back(v);
        }
    } else if (kind_ == Kind::Real) {
        add_real_row(p, row);
    } else {
        for (int j = 0; j < nb_col_; ++j) {
            const unsigned char v = row[j];
            if (v == 255) {
                ++no_value_;
                continue;
            }
            ++q_.histogram[v];
            p.sum[j / f_] += v;
            ++p.n[j / f_];
        }
    }
    const int rows_of_block = std::min(nb_lig_, (oi + 1) * f_) - oi * f_;
    if (++p.rows == rows_of_block) close(oi);
}

// A row of floats, -1 where there is no value; the least and largest are kept as they
// come, since the scale of the picture is known only at its end.
void QuicklookBuilder::add_real_row(Pending& p, const unsigned char* row) {
    for (int j = 0; j < nb_col_; ++j) {
        float v;
        std::memcpy(&v, row + static_cast<std::size_t>(j) * sizeof v, sizeof v);
        if (v == -1.0f) {
            ++no_value_;
            continue;
        }
        real_lo_ = real_any_ ? std::min<double>(real_lo_, v) : v;
        real_hi_ = real_any_ ? std::max<double>(real_hi_, v) : v;
        real_any_ = true;
        p.real_sum[j / f_] += v;
        ++p.n[j / f_];
    }
}

void QuicklookBuilder::add_rows(int y, int n, const unsigned char* const* rows) {
    if (W_ == 0) return;
    for (int k = 0; k < n; ++k)
        if (y + k >= 0 && y + k < nb_lig_) add_row(y + k, rows[k]);
}

void QuicklookBuilder::close(int oi) {
    auto it = open_.find(oi);
    if (it == open_.end()) return;
    Pending& p = it->second;
    std::uint8_t* out = &q_.image.index[static_cast<std::size_t>(oi) * W_];
    for (int oj = 0; oj < W_; ++oj) {
        if (kind_ == Kind::Mode) {
            // The most common value of the block; on a tie the smallest.
            int best = kTransparent;
            std::uint32_t best_n = 0;
            std::uint32_t* count = &p.count[static_cast<std::size_t>(oj) * 256];
            for (int v : p.touched[oj]) {
                q_.histogram[v] += count[v];
                if (count[v] > best_n || (count[v] == best_n && v < best)) {
                    best = v;
                    best_n = count[v];
                }
                count[v] = 0;
            }
            p.touched[oj].clear();
            out[oj] = static_cast<std::uint8_t>(best);
        } else if (kind_ == Kind::Real && p.n[oj] > 0) {
            real_mean_[static_cast<std::size_t>(oi) * W_ + oj] =
                static_cast<float>(p.real_sum[oj] / static_cast<double>(p.n[oj]));
            p.real_sum[oj] = 0;
            p.n[oj] = 0;
        } else if (p.n[oj] > 0) {
            // The mean of the block, rounded half up; values above 100 (never written
            // by a run) are shown as 100.
            const long long mean = (2 * p.sum[oj] + p.n[oj]) / (2 * p.n[oj]);
            out[oj] = static_cast<std::uint8_t>(std::min<long long>(mean, 254));
            p.sum[oj] = 0;
            p.n[oj] = 0;
        }
    }
    p.rows = 0;
    spare_.push_back(std::move(p));
    open_.erase(it);
}

Quicklook QuicklookBuilder::finish() {
    while (!open_.empty()) close(open_.begin()->first);
    spare_.clear();
    if (W_ == 0) return std::move(q_);
    if (kind_ == Kind::Mode)
        finish_mode();
    else if (kind_ == Kind::Real)
        finish_real();
    else
        finish_mean();
    return std::move(q_);
}

void QuicklookBuilder::finish_mode() {
    int max_value = 0;
    for (int v = 0; v < 255; ++v)
        if (q_.histogram[v] > 0) max_value = v;
    for (int v = 0; v < 255; ++v) q_.image.palette[v] = diversity_colour(v, max_value);
    q_.image.palette[kTransparent] = kNoValueColour;
    // The map's own colours are kept as they are, alike ones included.
    q_.own_colours = !colours_.empty();
    for (std::size_t v = 0; v < colours_.size() && v < 255; ++v) {
        const auto byte = [&](int k) { return static_cast<std::uint8_t>(std::clamp<short>(colours_[v][k], 0, 255)); };
        q_.image.palette[v] = {byte(0), byte(1), byte(2), byte(3)};
    }
    // Neighbouring values of a long ramp may round to one colour: every value present
    // keeps a colour of its own.
    for (int v = 0; v < 255; ++v) {
        if (q_.histogram[v] == 0 || (q_.own_colours && v < static_cast<int>(colours_.size())))
            continue;
        auto taken = [&] {
            for (int u = 0; u < v; ++u)
                if (q_.histogram[u] > 0 && q_.image.palette[u] == q_.image.palette[v]) return true;
            return false;
        };
        Rgba& c = q_.image.palette[v];
        for (int tries = 0; tries < 256 && taken(); ++tries)
            c.b = static_cast<std::uint8_t>((c.b + 1) & 255);
    }
    draw_mesh();
    for (int v = 0; v < 255; ++v)
        if (q_.histogram[v] > 0)
            q_.legend.push_back({LegendEntry::Kind::Value, v, v, q_.image.palette[v],
                                 q_.histogram[v], percent(q_.histogram[v], q_.map_pixels)});
    if (no_value_ > 0)
        q_.legend.push_back({LegendEntry::Kind::NoValue, 255, 255, kNoValueColour, no_value_,
                             percent(no_value_, q_.map_pixels)});
    if (q_.mesh_drawn)
        q_.legend.push_back({LegendEntry::Kind::Mesh, 0, 0, kMeshColour, mesh_pixels_,
                             percent(mesh_pixels_, q_.map_pixels)});
}

// Mesh lines take an index no value uses. At full size they are always shown (the values
// under them are lost); on a reduced picture only while they stay apart: at least three
// picture pixels between them and no more than kMaxMeshLines across, so that they do not
// hide the map. Hidden lines leave each block its most common value.
void QuicklookBuilder::draw_mesh() {
    constexpr long long kMaxMeshLines = 100;
    int mesh_index = -1;
    for (int v = 254; v >= 0 && mesh_index < 0; --v)
        if (q_.histogram[v] == 0) mesh_index = v;
    const bool apart = f_ == 1 || (mesh_.m >= 3LL * f_ &&
                                   std::max(nb_lig_, nb_col_) / mesh_.m <= kMaxMeshLines);
    if (!q_.mesh_drawn || mesh_index < 0 || !apart) return;
    q_.mesh_shown = true;
    q_.image.palette[mesh_index] = kMeshColour;
    const auto mark = static_cast<std::uint8_t>(mesh_index);
    for (long long c = 0; c < nb_col_; c += mesh_.m) {
        const long long oj = c / f_;
        for (int oi = 0; oi < H_; ++oi) q_.image.index[static_cast<std::size_t>(oi) * W_ + oj] = mark;
    }
    for (long long r = 0; r < nb_lig_; r += mesh_.m) {
        std::uint8_t* row = &q_.image.index[static_cast<std::size_t>(r / f_) * W_];
        std::fill(row, row + W_, mark);
    }
}

void QuicklookBuilder::finish_mean() {
    for (int v = 0; v < 255; ++v) q_.image.palette[v] = homogeneity_colour(std::min(v, 100));
    q_.image.palette[kTransparent] = kNoValueColour;
    constexpr int kBands[][2] = {{0, 19}, {20, 39}, {40, 59}, {60, 79}, {80, 100}};
    for (const auto& band : kBands) {
        long long n = 0;
        for (int v = band[0]; v <= band[1]; ++v) n += q_.histogram[v];
        if (band[1] == 100)
            for (int v = 101; v < 255; ++v) n += q_.histogram[v];
        q_.legend.push_back({LegendEntry::Kind::Range, band[0], band[1],
                             homogeneity_colour((band[0] + band[1]) / 2), n,
                             percent(n, q_.map_pixels)});
    }
    if (no_value_ > 0)
        q_.legend.push_back({LegendEntry::Kind::NoValue, 255, 255, kNoValueColour, no_value_,
                             percent(no_value_, q_.map_pixels)});
}

// Each block's mean on the scale 0..100 between the least and the largest value.
void QuicklookBuilder::finish_real() {
    for (int v = 0; v < 255; ++v) q_.image.palette[v] = homogeneity_colour(std::min(v, 100));
    q_.image.palette[kTransparent] = kNoValueColour;
    q_.lo = real_lo_;
    q_.hi = real_hi_;
    const double span = q_.hi > q_.lo ? q_.hi - q_.lo : 1;
    for (std::size_t k = 0; k < real_mean_.size(); ++k)
        if (!std::isnan(real_mean_[k]))
            q_.image.index[k] = static_cast<std::uint8_t>(
                std::clamp<long>(std::lround((real_mean_[k] - q_.lo) / span * 100), 0, 100));
    real_mean_.clear();
    real_mean_.shrink_to_fit();
}
