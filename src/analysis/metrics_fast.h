// The counts scan of the moving windows on vector kernels: the square window by class
// counts per map column, the circle slid down by the vertical runs of its mask, with the
// sums the metrics take kept exactly in integers. Its planes are byte for byte those of
// the window slid pixel by pixel (metrics.cpp), whatever the workers and the rows asked.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "analysis/metrics.h"
#include "window/geometry.h"

namespace metrics::values {

// c ln c in fixed point with `bits` fractional bits, so that sums of it are exact and the
// same whatever the order the counts changed in.
inline std::int64_t fixed_clnc(std::int64_t c, int bits) {
    if (c <= 1) return 0;
    const double v = static_cast<double>(c) * std::log(static_cast<double>(c));
    return std::llround(std::ldexp(v, bits));
}

// The fractional bits of the sums of c ln c of windows of `surface` pixels: the sum is at
// most S ln S, and as many bits as keep it within 62 bits.
inline int fixed_bits(int surface) {
    const double top = std::max(2.0, surface * std::log(std::max(surface, 2)));
    const int bits = 61 - static_cast<int>(std::ceil(std::log2(top)));
    return bits < 8 ? 8 : bits > 48 ? 48 : bits;
}

// Shannon's H = ln n - (sum c ln c) / n, never below 0, from ln n and the fixed-point sum
// scaled back (a multiplication by a power of two, exact).
inline double shannon(double ln_n, std::int64_t n, std::int64_t sumfx, double scale) {
    const double h = ln_n - static_cast<double>(sumfx) * scale / static_cast<double>(n);
    return h > 0.0 ? h : 0.0;
}

inline float simpson(std::int64_t n, std::int64_t sumsq) {
    const double d = static_cast<double>(n);
    return static_cast<float>(1.0 - static_cast<double>(sumsq) / (d * d));
}

// The share of `whole` that `part` is, in percent, truncated; 0 for an empty whole.
inline unsigned char percent_of(std::int64_t part, std::int64_t whole) {
    if (whole <= 0) return 0;
    const double v = static_cast<double>(part) / whole * 100;
    // A part within its whole gives 0..100, whose integer part a conversion takes as is.
    if (part >= 0 && part <= whole) return static_cast<unsigned char>(static_cast<int>(v));
    return static_cast<unsigned char>(trunc_int(v));
}

// True when a window of n classified pixels on a surface of S passes the rule.
inline bool enough(const Rule& rule, std::int64_t n, int surface) {
    return static_cast<double>(n) * 100.0 >= rule.min_valid * surface;
}

}  // namespace metrics::values

namespace metrics::fast {

// True when the vector scan takes this moving window (the others go pixel by pixel).
bool takes(const Window& win, const Shape& shape);

// As counts_scan, for a moving window that takes() accepts; `workers` threads.
ScanCounts window_scan(const LoadedMap& map, const Inventory& inv, const Window& win,
                       const Shape& shape, const Rule& rule, const std::vector<Metric>& ms,
                       int r0, int r1, std::vector<Plane>& planes, int workers,
                       const Progress& progress);

}  // namespace metrics::fast
