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

// The sums of one window's lanes 1.. of `sums`, from scratch.
template <class T>
void window_sums(const SquareStats<T>& s, std::int64_t& n, std::int64_t& sq, std::int64_t& fx) {
    n = sq = fx = 0;
    for (std::size_t k = 1; k < s.stride; ++k) {
        const std::int64_t c = s.sums[k];
        n += c;
        sq += c * c;
        fx += s.fx[s.sums[k]];
    }
}

// The values of window t from the sums.
template <class T>
void store_stats(const SquareStats<T>& s, std::size_t t, std::int64_t n, std::int64_t sq,
                 std::int64_t fx) {
    std::uint16_t div = 0;
    T top = 0;
    for (std::size_t k = 1; k < s.stride; ++k) {
        div = static_cast<std::uint16_t>(div + (s.sums[k] != 0));
        top = std::max(top, s.sums[k]);
    }
    s.div[t] = div;
    s.largest[t] = top;
    s.blank[t] = s.sums[0];
    if (s.sumsq) {
        s.n[t] = static_cast<std::uint32_t>(n);
        s.sumsq[t] = sq;
        s.sumfx[t] = fx;
    }
    if (s.first) {
        std::uint16_t lane = 0;
        for (std::size_t k = 1; k < s.stride && top != 0; ++k)
            if (s.sums[k] == top) {
                lane = static_cast<std::uint16_t>(k);
                break;
            }
        s.first[t] = lane;
    }
    for (std::size_t k = 0; k < s.shares; ++k) s.share[k][t] = s.sums[s.share_lane[k]];
}

// Window by window, each from the one before: only the lanes whose entering and leaving
// counts differ change the running sums.
template <class T>
void square_stats(const SquareStats<T>& s) {
    for (std::size_t k = 0; k < s.stride; ++k) s.sums[k] = 0;
    for (std::size_t x = 0; x < s.m; ++x)
        for (std::size_t k = 0; k < s.stride; ++k)
            s.sums[k] = static_cast<T>(s.sums[k] + s.counts[x * s.stride + k]);
    std::int64_t n, sq, fx;
    window_sums(s, n, sq, fx);
    for (std::size_t t = 0; t < s.centres; ++t) {
        store_stats(s, t, n, sq, fx);
        if (t + 1 == s.centres) break;
        const T* in = s.counts + (t + s.m) * s.stride;
        const T* out = s.counts + t * s.stride;
        s.sums[0] = static_cast<T>(s.sums[0] + in[0] - out[0]);
        for (std::size_t k = 1; k < s.stride; ++k) {
            if (in[k] == out[k]) continue;
            const T old = s.sums[k];
            const T now = static_cast<T>(old + in[k] - out[k]);
            s.sums[k] = now;
            n += static_cast<std::int64_t>(now) - old;
            sq += static_cast<std::int64_t>(now) * now - static_cast<std::int64_t>(old) * old;
            fx += s.fx[now] - s.fx[old];
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
    if (r.n[t] == 0.0) {
        if (r.shannon) r.shannon[t] = -1.0f;
        if (r.simpson) r.simpson[t] = -1.0f;
        if (r.evenness) r.evenness[t] = -1.0f;
        return;
    }
    const double n = r.n[t];
    double h = r.ln_n[t] - r.fx[t] / n;
    h = h > 0.0 ? h : 0.0;
    if (r.shannon) r.shannon[t] = static_cast<float>(h);
    if (r.simpson) r.simpson[t] = static_cast<float>(1.0 - r.sq[t] / (n * n));
    if (r.evenness) r.evenness[t] = r.ln_div[t] == 0.0 ? 0.0f : static_cast<float>(h / r.ln_div[t]);
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
