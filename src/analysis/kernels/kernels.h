// The vector kernels of the fast scans, chosen at run time for the processor.
//
// Built with Google Highway where it is available: every instruction set it knows for
// the processor family is compiled in and the best one the processor runs is used. A
// build without it (the Windows and fuzz builds) has one portable path of the same
// algorithms. Every path gives the same numbers.
//
// The environment variable LANDMOSAIC_SIMD (scalar, sse2, ssse3, sse4, avx2, avx3)
// restricts the choice to that instruction set when the processor has it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kernels {

// The instruction sets this build can use on this processor, best first, by name; the
// portable path only, "portable", in a build without Highway.
std::vector<std::string> available_targets();

// Uses only the named instruction set from now on (a name from available_targets()), or
// the best one again for an empty name. False, and nothing changed, for a name not
// available.
bool use_target(const std::string& name);

// The instruction set in use.
std::string current_target();

// Lanes of one vector of counts `bytes` wide (2 or 4) in the instruction set in use.
std::size_t count_lanes(std::size_t bytes);

// Lanes of one vector of bytes in the instruction set in use.
std::size_t byte_lanes();

// One row of square windows from column counts. `counts` holds `stride` counts per map
// column (a multiple of count_lanes(sizeof count), lane 0 ignored), for the columns of
// `centres` + m - 1 windows side by side, m columns wide. For window t (0-based):
// div[t] the number of lanes 1.. whose sum over the window's m columns is not 0, and
// largest[t] the largest of those sums; with `blank` given, blank[t] the sum of lane 0.
// `sums`: room for `stride` counts.
void square_row(const std::uint16_t* counts, std::size_t stride, std::size_t centres,
                std::size_t m, std::uint16_t* sums, std::uint16_t* div, std::uint32_t* largest,
                std::uint32_t* blank = nullptr);
void square_row(const std::uint32_t* counts, std::size_t stride, std::size_t centres,
                std::size_t m, std::uint32_t* sums, std::uint16_t* div, std::uint32_t* largest,
                std::uint32_t* blank = nullptr);

// One row of square windows with the sums the landscape metrics take, from column counts
// laid out lane by lane: lane k (0 the pixels of no class, 1.. the classes) counts
// counts[k * pitch + x] pixels in column x, for the columns of `centres` + m - 1 windows
// side by side, m columns wide. For window t (0-based): div[t] the number of lanes 1..
// whose sum over the window's m columns is not 0, largest[t] the largest of those sums,
// blank[t] the sum of lane 0 and n[t] the sum of lanes 1..; with `sumsq` given, sumsq[t]
// the sum of the squares of lanes 1.. and sumfx[t] the sum of fx[c] over their counts c
// (`fx` covers every count up to m * m); with `first` given, first[t] the first lane
// holding the largest count (0 when every lane is 0); and the count of lane share_lane[k]
// in share[k][t]. `pitch` must be at least centres + m + 2 * square_pad(), every output
// row must have room for centres + square_pad() values, and `prefix` for lanes * pitch
// counts (the kernel's own).
// The sums are exact integers, so they do not depend on the path taken.
template <class T>
struct SquareStats {
    const T* counts = nullptr;
    std::size_t pitch = 0;
    std::size_t lanes = 0;
    std::size_t centres = 0;
    std::size_t m = 0;
    T* prefix = nullptr;
    const std::int64_t* fx = nullptr;
    std::uint16_t* div = nullptr;
    std::uint32_t* largest = nullptr;
    std::uint32_t* blank = nullptr;
    std::uint32_t* n = nullptr;
    std::int64_t* sumsq = nullptr;
    std::int64_t* sumfx = nullptr;
    std::uint16_t* first = nullptr;
    const std::uint16_t* share_lane = nullptr;
    std::size_t shares = 0;
    std::uint32_t* const* share = nullptr;
};
void square_stats(const SquareStats<std::uint16_t>& s);
void square_stats(const SquareStats<std::uint32_t>& s);

// The columns and windows by which square_stats may read and write past those it is given.
constexpr std::size_t square_pad() {
    return 64;
}

// The sums the metrics take of `count` windows side by side from their counts per class:
// class c (from 0) counts sums[c * stride + t] pixels in the window at lane t, which
// holds largest[t] pixels of its largest class. For every window: n[t] the sum of its
// counts; with `sumsq` given, sumsq[t] the sum of their squares and sumfx[t] the sum of
// fx[c] over its counts c (`fx` covers every count); with `first` given, first[t] one
// more than the first class holding the largest count (0 for an empty window). The sums
// are exact integers: every path gives the same. Counts of a window sum to 65535 at most.
struct ClassSums {
    const std::uint16_t* sums = nullptr;
    std::size_t stride = 0;
    std::size_t classes = 0;
    std::size_t count = 0;
    const std::uint16_t* largest = nullptr;
    const std::int64_t* fx = nullptr;
    std::size_t fx_size = 0;  // entries of `fx`, when known
    std::uint32_t* n = nullptr;
    std::int64_t* sumsq = nullptr;
    std::int64_t* sumfx = nullptr;
    std::uint16_t* first = nullptr;
};
void class_sums(const ClassSums& s);

// out[t] = the integer part of part[t] / whole[t] * 100 in double, for part[t] <= whole[t]
// (0 where whole[t] is 0), t below `count`: the same bytes on every path.
void percent_row(const std::uint32_t* part, const std::uint32_t* whole, std::size_t count,
                 unsigned char* out);

// The real metrics of `count` windows, from their integer sums. For window t: valid[t]
// whether it gets values, n[t] its classified pixels, sumfx[t] its sum of c ln c in fixed
// point (times `scale` in double), sumsq[t] its sum of c^2, div[t] its number of classes;
// `ln` holds ln c for every count c a window can hold, `ln_div` ln d for d = 2..255 and
// 0 for 0 and 1. Where valid and n > 0, into each row given: Shannon's
// H = max(ln n - fx / n, 0), Simpson's 1 - sq / n^2 and the evenness H / ln_div (0 where
// ln_div is 0), as floats; -1 elsewhere. Every operation is one rounded IEEE operation
// (the integers converted to the nearest double), so every path gives the floats of the
// same expressions in scalar code.
struct RealRow {
    std::size_t count = 0;
    const unsigned char* valid = nullptr;
    const std::uint32_t* n = nullptr;
    const std::int64_t* sumfx = nullptr;
    const std::int64_t* sumsq = nullptr;
    const std::uint16_t* div = nullptr;
    const double* ln = nullptr;
    const double* ln_div = nullptr;
    double scale = 1;
    float* shannon = nullptr;
    float* simpson = nullptr;
    float* evenness = nullptr;
};
void real_row(const RealRow& r);

// One step down of a row of windows that count the pixels of `classes` codes. The window
// at lane t loses the pixels leave[r][t] and gains the pixels enter[r][t], for every r
// below `changes`. sums[c * stride + t] is the count of codes[c] in the window at lane t.
// `lanes` windows, a multiple of byte_lanes(), as is `stride`; every row pointer must be
// readable over `lanes` bytes. With `div` and `largest` given: for every window, the
// number of classes counted at least once and the largest count.
struct StepDown {
    const unsigned char* const* leave = nullptr;
    const unsigned char* const* enter = nullptr;
    std::size_t changes = 0;
    const unsigned char* codes = nullptr;
    std::size_t classes = 0;
    std::uint16_t* sums = nullptr;
    std::size_t stride = 0;
    std::size_t lanes = 0;
    std::uint16_t* div = nullptr;
    std::uint16_t* largest = nullptr;
};
void step_down(const StepDown& s);

}  // namespace kernels
