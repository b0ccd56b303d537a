// The kernels of kernels.h in plain C++, one window (or one class) at a time: the whole
// path of a build without Highway, and the path of Highway's one-lane target.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "analysis/kernels/kernels.h"

namespace kernels::portable {

template <class T>
void square_row(const T* counts, std::size_t stride, std::size_t centres, std::size_t m, T* sums,
                std::uint16_t* div, std::uint32_t* largest, std::uint32_t* blank) {
    for (std::size_t k = 0; k < stride; ++k) sums[k] = 0;
    for (std::size_t x = 0; x < m; ++x)
        for (std::size_t k = 0; k < stride; ++k) sums[k] = static_cast<T>(sums[k] + counts[x * stride + k]);
    for (std::size_t t = 0; t < centres; ++t) {
        std::uint16_t n = 0;
        T top = 0;
        for (std::size_t k = 1; k < stride; ++k) {
            n = static_cast<std::uint16_t>(n + (sums[k] != 0));
            top = std::max(top, sums[k]);
        }
        div[t] = n;
        largest[t] = top;
        if (blank) blank[t] = sums[0];
        if (t + 1 == centres) break;
        const T* in = counts + (t + m) * stride;
        const T* out = counts + t * stride;
        for (std::size_t k = 0; k < stride; ++k) sums[k] = static_cast<T>(sums[k] + in[k] - out[k]);
    }
}

// Window by window: the sums of every lane over the window (in `prefix`), slid right a
// column at a time, the values of a window taken over its lanes.
template <class T>
void square_stats(const SquareStats<T>& s) {
    T* sums = s.prefix;
    for (std::size_t k = 0; k < s.lanes; ++k) {
        T v = 0;
        for (std::size_t x = 0; x < s.m; ++x) v = static_cast<T>(v + s.counts[k * s.pitch + x]);
        sums[k] = v;
    }
    for (std::size_t t = 0; t < s.centres; ++t) {
        std::uint16_t div = 0, first = 0;
        T top = 0;
        std::int64_t n = 0, sq = 0, fx = 0;
        for (std::size_t k = 1; k < s.lanes; ++k) {
            const T c = sums[k];
            if (c == 0) continue;
            ++div;
            if (c > top) {
                top = c;
                first = static_cast<std::uint16_t>(k);
            }
            n += c;
            sq += static_cast<std::int64_t>(c) * c;
            fx += s.fx[c];
        }
        s.div[t] = div;
        s.largest[t] = top;
        s.blank[t] = sums[0];
        s.n[t] = static_cast<std::uint32_t>(n);
        if (s.sumsq) {
            s.sumsq[t] = sq;
            s.sumfx[t] = fx;
        }
        if (s.first) s.first[t] = first;
        for (std::size_t k = 0; k < s.shares; ++k) s.share[k][t] = sums[s.share_lane[k]];
        if (t + 1 == s.centres) break;
        for (std::size_t k = 0; k < s.lanes; ++k) {
            const T* c = s.counts + k * s.pitch + t;
            sums[k] = static_cast<T>(sums[k] + c[s.m] - c[0]);
        }
    }
}

// The sums of the windows at lanes t0 .. t1 - 1, as class_sums gives them.
inline void class_sums(const ClassSums& s, std::size_t t0, std::size_t t1) {
    for (std::size_t t = t0; t < t1; ++t) {
        std::uint32_t n = 0;
        std::int64_t sq = 0, fx = 0;
        std::uint16_t first = 0;
        for (std::size_t c = 0; c < s.classes; ++c) {
            const std::uint16_t k = s.sums[c * s.stride + t];
            n += k;
            if (s.sumsq) {
                sq += static_cast<std::int64_t>(k) * k;
                fx += s.fx[k];
            }
            if (first == 0 && k != 0 && k == s.largest[t]) first = static_cast<std::uint16_t>(c + 1);
        }
        s.n[t] = n;
        if (s.sumsq) {
            s.sumsq[t] = sq;
            s.sumfx[t] = fx;
        }
        if (s.first) s.first[t] = first;
    }
}

inline void percent_row(const std::uint32_t* part, const std::uint32_t* whole, std::size_t t0,
                        std::size_t count, unsigned char* out) {
    for (std::size_t t = t0; t < count; ++t)
        out[t] = whole[t] == 0 ? 0
                               : static_cast<unsigned char>(static_cast<int>(
                                     static_cast<double>(part[t]) / static_cast<double>(whole[t]) * 100));
}

// The real metrics of window t, as real_row gives them.
inline void real_window(const RealRow& r, std::size_t t) {
    const double n = r.valid[t] ? static_cast<double>(r.n[t]) : 0.0;
    if (n == 0.0) {
        if (r.shannon) r.shannon[t] = -1.0f;
        if (r.simpson) r.simpson[t] = -1.0f;
        if (r.evenness) r.evenness[t] = -1.0f;
        return;
    }
    const double fx = static_cast<double>(r.sumfx[t]) * r.scale;
    double h = r.ln[r.n[t]] - fx / n;
    h = h > 0.0 ? h : 0.0;
    if (r.shannon) r.shannon[t] = static_cast<float>(h);
    if (r.simpson) r.simpson[t] = static_cast<float>(1.0 - static_cast<double>(r.sumsq[t]) / (n * n));
    const double ln_div = r.ln_div[r.div[t]];
    if (r.evenness) r.evenness[t] = ln_div == 0.0 ? 0.0f : static_cast<float>(h / ln_div);
}

inline void real_row(const RealRow& r) {
    for (std::size_t t = 0; t < r.count; ++t) real_window(r, t);
}

inline void step_down(const StepDown& s) {
    for (std::size_t t = 0; t < s.lanes; ++t) {
        std::uint16_t n = 0;
        std::uint16_t top = 0;
        for (std::size_t c = 0; c < s.classes; ++c) {
            const unsigned char code = s.codes[c];
            std::uint16_t& sum = s.sums[c * s.stride + t];
            int change = 0;
            for (std::size_t r = 0; r < s.changes; ++r)
                change += (s.enter[r][t] == code) - (s.leave[r][t] == code);
            sum = static_cast<std::uint16_t>(sum + change);
            n = static_cast<std::uint16_t>(n + (sum != 0));
            top = std::max(top, sum);
        }
        if (s.div) {
            s.div[t] = n;
            s.largest[t] = top;
        }
    }
}

}  // namespace kernels::portable
