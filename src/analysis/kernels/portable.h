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
                std::uint16_t* div, std::uint32_t* largest) {
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
        if (t + 1 == centres) break;
        const T* in = counts + (t + m) * stride;
        const T* out = counts + t * stride;
        for (std::size_t k = 0; k < stride; ++k) sums[k] = static_cast<T>(sums[k] + in[k] - out[k]);
    }
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
