// The kernels with Google Highway: compiled once per instruction set by Highway's
// foreach_target, the one used chosen when first called.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <cstdlib>
#include <mutex>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "analysis/kernels/kernels_hwy.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "analysis/kernels/kernels.h"
#include "analysis/kernels/portable.h"

HWY_BEFORE_NAMESPACE();
namespace kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

std::size_t CountLanes16() {
    return hn::Lanes(hn::ScalableTag<std::uint16_t>());
}
std::size_t CountLanes32() {
    return hn::Lanes(hn::ScalableTag<std::uint32_t>());
}
std::size_t ByteLanes() {
#if HWY_TARGET == HWY_SCALAR
    return 1;
#else
    return hn::Lanes(hn::ScalableTag<std::uint8_t>());
#endif
}

// The largest lane: halves folded together down to 128 bits, where the processor has a
// single instruction for the minimum of 16-bit lanes.
template <class D, class V>
HWY_INLINE hn::TFromD<D> LargestLane(D d, V v) {
#if HWY_TARGET != HWY_SCALAR
    if constexpr (hn::MaxLanes(d) * sizeof(hn::TFromD<D>) > 16) {
        const hn::Half<D> dh;
        return LargestLane(dh, hn::Max(hn::LowerHalf(dh, v), hn::UpperHalf(dh, v)));
    }
#endif
    return hn::GetLane(hn::MaxOfLanes(d, v));
}

// The sums of every lane over the window are slid right one column at a time: the
// column that enters is added, the one that leaves taken away. The diversity is the count
// of lanes not 0, the largest count a vector maximum folded once per window.
template <class T>
HWY_INLINE void SquareRowT(const T* counts, std::size_t stride, std::size_t centres,
                           std::size_t m, T* sums, std::uint16_t* div, std::uint32_t* largest,
                           std::uint32_t* blank) {
    const hn::ScalableTag<T> d;
    const std::size_t N = hn::Lanes(d);
    const auto zero = hn::Zero(d);
    // Lane 0 counts the pixels of no class.
    const auto classes_only = hn::Ne(hn::Iota(d, 0), zero);
    for (std::size_t v = 0; v < stride; v += N) {
        auto acc = zero;
        for (std::size_t x = 0; x < m; ++x) acc = hn::Add(acc, hn::LoadU(d, counts + x * stride + v));
        hn::StoreU(acc, d, sums + v);
    }
    for (std::size_t t = 0; t < centres; ++t) {
        const bool slide = t + 1 < centres;
        const T* in = counts + (t + m) * stride;
        const T* out = counts + t * stride;
        auto s = hn::LoadU(d, sums);
        if (blank) blank[t] = static_cast<std::uint32_t>(hn::GetLane(s));
        auto top = hn::IfThenElseZero(classes_only, s);
        std::size_t n = hn::CountTrue(d, hn::Ne(top, zero));
        if (slide) hn::StoreU(hn::Sub(hn::Add(s, hn::LoadU(d, in)), hn::LoadU(d, out)), d, sums);
        for (std::size_t v = N; v < stride; v += N) {
            s = hn::LoadU(d, sums + v);
            n += hn::CountTrue(d, hn::Ne(s, zero));
            top = hn::Max(top, s);
            if (slide)
                hn::StoreU(hn::Sub(hn::Add(s, hn::LoadU(d, in + v)), hn::LoadU(d, out + v)), d,
                           sums + v);
        }
        div[t] = static_cast<std::uint16_t>(n);
        largest[t] = static_cast<std::uint32_t>(LargestLane(d, top));
    }
}

void SquareRow16(const std::uint16_t* counts, std::size_t stride, std::size_t centres,
                 std::size_t m, std::uint16_t* sums, std::uint16_t* div, std::uint32_t* largest,
                 std::uint32_t* blank) {
    SquareRowT(counts, stride, centres, m, sums, div, largest, blank);
}
void SquareRow32(const std::uint32_t* counts, std::size_t stride, std::size_t centres,
                 std::size_t m, std::uint32_t* sums, std::uint16_t* div, std::uint32_t* largest,
                 std::uint32_t* blank) {
    SquareRowT(counts, stride, centres, m, sums, div, largest, blank);
}


#if HWY_TARGET == HWY_SCALAR || HWY_TARGET == HWY_EMU128
void ClassSumsV(const ClassSums& s) {
    portable::class_sums(s, 0, s.count);
}
void SquareStats16(const SquareStats<std::uint16_t>& s) {
    portable::square_stats(s);
}
#else
// c ln c of the 16-bit counts `c` added to the four sums `fx` (a quarter of the lanes of
// `c` each), gathered from the table.
template <class D16>
HWY_INLINE void GatherFx(D16 d16, hn::Vec<D16> c, const std::int64_t* table,
                         hn::Vec<hn::Repartition<std::int64_t, D16>>* fx) {
    const hn::Repartition<std::int64_t, D16> d64;
    const hn::Repartition<std::uint32_t, D16> d32;
    const std::size_t N64 = hn::Lanes(d64);
    alignas(64) std::uint16_t lanes[hn::MaxLanes(d16)];
    hn::Store(c, d16, lanes);
    for (std::size_t q = 0; q < 4; ++q) {
        const auto k32 = hn::PromoteTo(hn::Rebind<std::uint32_t, decltype(d64)>(),
                                       hn::LoadU(hn::Rebind<std::uint16_t, decltype(d64)>(), lanes + q * N64));
        const auto k = hn::BitCast(d64, hn::PromoteTo(hn::Rebind<std::uint64_t, decltype(d64)>(), k32));
        fx[q] = hn::Add(fx[q], hn::GatherIndex(d64, table, k));
    }
    (void)d32;
}

// c ln c of the 16-bit counts `c` added to the four sums `fx`, as GatherFx. With AVX-512
// and a table of 16 entries or more: the counts below 16 from the table's first entries
// held in two registers, the others gathered alone, a quarter of the vector gathering
// only when it holds one. No branch depends on the counts otherwise: the windows' counts
// change too irregularly for the processor to guess such branches, which then cost more
// than the work they would save.
template <class D16>
HWY_INLINE void SumFx(D16 d16, hn::Vec<D16> c, const std::int64_t* table, bool small,
                      hn::Vec<hn::Repartition<std::int64_t, D16>>* fx) {
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
    if (small) {
        const hn::Repartition<std::int64_t, D16> d64;
        const __m512i low = _mm512_loadu_si512(table), high = _mm512_loadu_si512(table + 8);
        const __m512i fifteen = _mm512_set1_epi64(15);
        const __m512i k[4] = {_mm512_cvtepu16_epi64(_mm512_extracti32x4_epi32(c.raw, 0)),
                              _mm512_cvtepu16_epi64(_mm512_extracti32x4_epi32(c.raw, 1)),
                              _mm512_cvtepu16_epi64(_mm512_extracti32x4_epi32(c.raw, 2)),
                              _mm512_cvtepu16_epi64(_mm512_extracti32x4_epi32(c.raw, 3))};
        const bool any = _mm512_cmpgt_epu16_mask(c.raw, _mm512_set1_epi16(15)) != 0;
        for (std::size_t q = 0; q < 4; ++q) {
            __m512i v = _mm512_permutex2var_epi64(low, k[q], high);
            if (any) v = _mm512_mask_i64gather_epi64(v, _mm512_cmpgt_epu64_mask(k[q], fifteen), k[q], table, 8);
            fx[q] = hn::Add(fx[q], hn::Vec<decltype(d64)>{v});
        }
        return;
    }
#else
    (void)small;
#endif
    // Nothing where every count is 0 or 1: c ln c is 0 there.
    if (hn::AllFalse(d16, hn::Gt(c, hn::Set(d16, 1)))) return;
    GatherFx(d16, c, table, fx);
}

// The sums of a vector of windows: their squares, summed in 32-bit lanes (the low and
// high halves of the vector), and their c ln c in four vectors of 64-bit lanes, into
// sumsq[0 ..] and sumfx[0 ..].
template <class D16, class V32, class V64>
HWY_INLINE void StoreSums(D16 d16, V32 sq_lo, V32 sq_hi, const V64* fx, std::int64_t* sumsq,
                          std::int64_t* sumfx) {
    const hn::Repartition<std::uint32_t, D16> d32;
    const hn::Repartition<std::int64_t, D16> d64;
    const hn::Rebind<std::uint32_t, decltype(d64)> dq;
    const std::size_t N32 = hn::Lanes(d32), N64 = hn::Lanes(d64);
    alignas(64) std::uint32_t sq[hn::MaxLanes(d16)];
    hn::Store(sq_lo, d32, sq);
    hn::Store(sq_hi, d32, sq + N32);
    for (std::size_t q = 0; q < 4; ++q) {
        hn::StoreU(fx[q], d64, sumfx + q * N64);
        hn::StoreU(hn::BitCast(d64, hn::PromoteTo(hn::Rebind<std::uint64_t, decltype(d64)>(),
                                                  hn::Load(dq, sq + q * N64))),
                   d64, sumsq + q * N64);
    }
}

// The 16-bit counts `v` widened into 32-bit lanes at out[0 .. N).
template <class D16>
HWY_INLINE void StoreWide(D16 d16, hn::Vec<D16> v, std::uint32_t* out) {
    const hn::Repartition<std::uint32_t, D16> d32;
    const hn::Half<D16> dh;
    hn::StoreU(hn::PromoteTo(d32, hn::LowerHalf(dh, v)), d32, out);
    hn::StoreU(hn::PromoteTo(d32, hn::UpperHalf(dh, v)), d32, out + hn::Lanes(d32));
}

// The running sums of every lane along the row, in 16-bit wrapping arithmetic (the
// difference of two of them is a window's sum, below 65536): lane k's sum over columns
// 0 .. x - 1 at prefix[k * pitch + x], x up to `width`. Each 128-bit block is summed in
// three shifted additions and carries its last sum to the next; a vector of columns where
// the lane counts nothing repeats the sum before it.
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
// Here a vector of 32 lanes is summed whole: five additions of itself moved up 1, 2, 4,
// 8 and 16 lanes (zeros coming in), then the sum before it, its last lane broadcast.
HWY_INLINE void LanePrefix(const SquareStats<std::uint16_t>& s, std::size_t width) {
    alignas(64) static constexpr std::uint16_t kUp[5][32] = {
        {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30},
        {0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29},
        {0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27},
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23},
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}};
    static_assert(HWY_MAX_BYTES == 64);
    __m512i up[5];
    for (int h = 0; h < 5; ++h) up[h] = _mm512_load_si512(kUp[h]);
    const __m512i last = _mm512_set1_epi16(31);
    for (std::size_t k = 0; k < s.lanes; ++k) {
        const std::uint16_t* c = s.counts + k * s.pitch;
        std::uint16_t* p = s.prefix + k * s.pitch;
        p[0] = 0;
        // The sum before the vector in every lane: one addition from one vector to the
        // next, the vector's own sums made beside it.
        __m512i carry = _mm512_setzero_si512();
        for (std::size_t x = 0; x < width; x += 32) {
            __m512i v = _mm512_loadu_si512(c + x);
            if (_mm512_test_epi16_mask(v, v) == 0) {
                _mm512_storeu_si512(p + 1 + x, carry);
                continue;
            }
            for (int h = 0; h < 5; ++h)
                v = _mm512_add_epi16(v, _mm512_maskz_permutexvar_epi16(~((1u << (1 << h)) - 1u), up[h], v));
            _mm512_storeu_si512(p + 1 + x, _mm512_add_epi16(v, carry));
            carry = _mm512_add_epi16(carry, _mm512_permutexvar_epi16(last, v));
        }
    }
}
#else
HWY_INLINE void LanePrefix(const SquareStats<std::uint16_t>& s, std::size_t width) {
    const hn::ScalableTag<std::uint16_t> d;
    const hn::Full128<std::uint16_t> b;
    const std::size_t N = hn::Lanes(d), B = hn::Lanes(b);
    for (std::size_t k = 0; k < s.lanes; ++k) {
        const std::uint16_t* c = s.counts + k * s.pitch;
        std::uint16_t* p = s.prefix + k * s.pitch;
        p[0] = 0;
        auto carry = hn::Zero(b);
        for (std::size_t x = 0; x < width; x += N) {
            if (hn::AllTrue(d, hn::Eq(hn::LoadU(d, c + x), hn::Zero(d)))) {
                for (std::size_t q = 0; q < N; q += B) hn::StoreU(carry, b, p + 1 + x + q);
                continue;
            }
            for (std::size_t q = 0; q < N; q += B) {
                auto v = hn::LoadU(b, c + x + q);
                v = hn::Add(v, hn::ShiftLeftLanes<1>(b, v));
                v = hn::Add(v, hn::ShiftLeftLanes<2>(b, v));
                v = hn::Add(v, hn::ShiftLeftLanes<4>(b, v));
                hn::StoreU(hn::Add(v, carry), b, p + 1 + x + q);
                carry = hn::Add(carry, hn::Broadcast<7>(v));
            }
        }
    }
}
#endif

// The windows a vector of them at a time, lane after lane: each lane's window sums are
// differences of its running sums. The counts and their squares are summed in 16 and
// 32-bit lanes (a window holds 65535 pixels at most), c ln c taken from the table.
void SquareStats16(const SquareStats<std::uint16_t>& s) {
    const hn::ScalableTag<std::uint16_t> d16;
    const hn::Repartition<std::uint32_t, decltype(d16)> d32;
    const hn::Repartition<std::int64_t, decltype(d16)> d64;
    const hn::Half<decltype(d16)> dh;
    const std::size_t N = hn::Lanes(d16), N32 = hn::Lanes(d32), N64 = hn::Lanes(d64);
    const auto zero = hn::Zero(d16);
    const std::size_t m = s.m;
    const bool small = m * m + 1 >= 16;
    LanePrefix(s, (s.centres + N - 1) / N * N + m - 1);
    auto window = [&](std::size_t k, std::size_t t) {
        const std::uint16_t* p = s.prefix + k * s.pitch + t;
        return hn::Sub(hn::LoadU(d16, p + m), hn::LoadU(d16, p));
    };
    for (std::size_t t = 0; t < s.centres; t += N) {
        auto div = zero, top = zero, first = zero, n = zero;
        auto sq_lo = hn::Zero(d32), sq_hi = sq_lo;
        hn::Vec<decltype(d64)> fx[4] = {hn::Zero(d64), hn::Zero(d64), hn::Zero(d64), hn::Zero(d64)};
        for (std::size_t k = 1; k < s.lanes; ++k) {
            const auto c = window(k, t);
            // Every lane is taken, held by a window or not: see SumFx.
            const auto held = hn::Ne(c, zero);
            div = hn::Sub(div, hn::VecFromMask(d16, held));
            first = hn::IfThenElse(hn::Gt(c, top), hn::Set(d16, static_cast<std::uint16_t>(k)), first);
            top = hn::Max(top, c);
            n = hn::Add(n, c);
            if (!s.sumsq) continue;
            const auto lo = hn::PromoteTo(d32, hn::LowerHalf(dh, c));
            const auto hi = hn::PromoteTo(d32, hn::UpperHalf(dh, c));
            sq_lo = hn::Add(sq_lo, hn::Mul(lo, lo));
            sq_hi = hn::Add(sq_hi, hn::Mul(hi, hi));
            SumFx(d16, c, s.fx, small, fx);
        }
        hn::StoreU(div, d16, s.div + t);
        StoreWide(d16, top, s.largest + t);
        StoreWide(d16, window(0, t), s.blank + t);
        StoreWide(d16, n, s.n + t);
        if (s.first) hn::StoreU(first, d16, s.first + t);
        for (std::size_t k = 0; k < s.shares; ++k) StoreWide(d16, window(s.share_lane[k], t), s.share[k] + t);
        if (!s.sumsq) continue;
        StoreSums(d16, sq_lo, sq_hi, fx, s.sumsq + t, s.sumfx + t);
    }
}

// The windows a vector of 16-bit lanes at a time, class after class: the counts summed
// in 16-bit lanes and their squares in 32-bit lanes (a window's counts sum to 65535 at
// most), c ln c taken from the table.
void ClassSumsV(const ClassSums& s) {
    const hn::ScalableTag<std::uint16_t> d16;
    const hn::Repartition<std::uint32_t, decltype(d16)> d32;
    const hn::Repartition<std::int64_t, decltype(d16)> d64;
    const hn::Half<decltype(d16)> dh;
    const std::size_t N = hn::Lanes(d16), N32 = hn::Lanes(d32), N64 = hn::Lanes(d64);
    const auto zero = hn::Zero(d16);
    std::size_t t = 0;
    if (!s.sumsq && !s.first) {
        // The counts alone, summed in 16-bit lanes.
        for (; t + N <= s.count; t += N) {
            auto n = zero;
            for (std::size_t c = 0; c < s.classes; ++c) n = hn::Add(n, hn::LoadU(d16, s.sums + c * s.stride + t));
            hn::StoreU(hn::PromoteTo(d32, hn::LowerHalf(dh, n)), d32, s.n + t);
            hn::StoreU(hn::PromoteTo(d32, hn::UpperHalf(dh, n)), d32, s.n + t + N32);
        }
    }
    for (; t + N <= s.count; t += N) {
        auto n = zero;
        auto sq_lo = hn::Zero(d32), sq_hi = sq_lo;
        hn::Vec<decltype(d64)> fx[4] = {hn::Zero(d64), hn::Zero(d64), hn::Zero(d64), hn::Zero(d64)};
        auto first = zero;
        const auto largest = hn::LoadU(d16, s.largest + t);
        for (std::size_t c = 0; c < s.classes; ++c) {
            const auto k = hn::LoadU(d16, s.sums + c * s.stride + t);
            // Every class is taken, held by a window or not: see SumFx.
            const auto held = hn::Ne(k, zero);
            const auto lo = hn::PromoteTo(d32, hn::LowerHalf(dh, k));
            const auto hi = hn::PromoteTo(d32, hn::UpperHalf(dh, k));
            n = hn::Add(n, k);
            if (s.first) {
                const auto hit = hn::And(hn::And(held, hn::Eq(k, largest)), hn::Eq(first, zero));
                first = hn::IfThenElse(hit, hn::Set(d16, static_cast<std::uint16_t>(c + 1)), first);
            }
            if (!s.sumsq) continue;
            sq_lo = hn::Add(sq_lo, hn::Mul(lo, lo));
            sq_hi = hn::Add(sq_hi, hn::Mul(hi, hi));
            SumFx(d16, k, s.fx, s.fx_size >= 16, fx);
        }
        StoreWide(d16, n, s.n + t);
        if (s.first) hn::StoreU(first, d16, s.first + t);
        if (!s.sumsq) continue;
        StoreSums(d16, sq_lo, sq_hi, fx, s.sumsq + t, s.sumfx + t);
    }
    portable::class_sums(s, t, s.count);
}
#endif

// Windows of more than 65535 pixels, one at a time.
void SquareStats32(const SquareStats<std::uint32_t>& s) {
    portable::square_stats(s);
}

// The percents a vector of windows at a time, the last ones one at a time: the quotient
// and product in double, its integer part taken by a truncating conversion.
void PercentRowV(const std::uint32_t* part, const std::uint32_t* whole, std::size_t count,
                 unsigned char* out) {
    const hn::ScalableTag<double> d;
    const hn::Rebind<std::int32_t, decltype(d)> di;
    const hn::Rebind<std::uint8_t, decltype(d)> d8;
    const std::size_t N = hn::Lanes(d);
    const auto hundred = hn::Set(d, 100.0);
    std::size_t t = 0;
    for (; t + N <= count; t += N) {
        // Counts below 2^31: as signed, exact in double.
        const auto p = hn::PromoteTo(d, hn::BitCast(di, hn::LoadU(hn::Rebind<std::uint32_t, decltype(d)>(), part + t)));
        const auto w = hn::PromoteTo(d, hn::BitCast(di, hn::LoadU(hn::Rebind<std::uint32_t, decltype(d)>(), whole + t)));
        const auto empty = hn::Eq(w, hn::Zero(d));
        const auto v = hn::IfThenZeroElse(empty, hn::Mul(hn::Div(p, hn::IfThenElse(empty, hundred, w)), hundred));
        hn::StoreU(hn::DemoteTo(d8, hn::DemoteTo(di, v)), d8, out + t);
    }
    portable::percent_row(part, whole, t, count, out);
}

// The real metrics a vector of windows at a time, the last windows one at a time: the
// integer sums converted, ln n and ln d gathered from their tables. Lanes without values
// divide by 1 and are then replaced by -1.
void RealRowV(const RealRow& r) {
    const hn::ScalableTag<double> d;
    const hn::Rebind<float, decltype(d)> df;
    const hn::Rebind<std::int64_t, decltype(d)> di;
    const hn::Rebind<std::int32_t, decltype(d)> d32;
    const hn::Rebind<std::uint8_t, decltype(d)> d8;
    const hn::Rebind<std::uint16_t, decltype(d)> d16;
    const std::size_t N = hn::Lanes(d);
    const auto zero = hn::Zero(d);
    const auto one = hn::Set(d, 1.0);
    const auto none = hn::Set(d, -1.0);
    const auto scale = hn::Set(d, r.scale);
    std::size_t t = 0;
    for (; t + N <= r.count; t += N) {
        // Counts below 2^31: as signed, exact in double.
        const auto count = hn::PromoteTo(di, hn::BitCast(d32, hn::LoadU(hn::Rebind<std::uint32_t, decltype(d)>(), r.n + t)));
        const auto valid = hn::RebindMask(d, hn::Ne(hn::PromoteTo(di, hn::PromoteTo(d32, hn::LoadU(d8, r.valid + t))), hn::Zero(di)));
        const auto n = hn::IfThenElseZero(valid, hn::ConvertTo(d, count));
        const auto empty = hn::Eq(n, zero);
        const auto safe = hn::IfThenElse(empty, one, n);
        const auto fx = hn::Mul(hn::ConvertTo(d, hn::LoadU(di, r.sumfx + t)), scale);
        const auto h = hn::Max(hn::Sub(hn::GatherIndex(d, r.ln, count), hn::Div(fx, safe)), zero);
        if (r.shannon) hn::StoreU(hn::DemoteTo(df, hn::IfThenElse(empty, none, h)), df, r.shannon + t);
        if (r.simpson) {
            const auto sq = hn::ConvertTo(d, hn::LoadU(di, r.sumsq + t));
            const auto v = hn::Sub(one, hn::Div(sq, hn::Mul(safe, safe)));
            hn::StoreU(hn::DemoteTo(df, hn::IfThenElse(empty, none, v)), df, r.simpson + t);
        }
        if (r.evenness) {
            const auto classes = hn::PromoteTo(di, hn::PromoteTo(d32, hn::LoadU(d16, r.div + t)));
            const auto ln_div = hn::GatherIndex(d, r.ln_div, classes);
            const auto one_class = hn::Eq(ln_div, zero);
            const auto v = hn::IfThenZeroElse(one_class, hn::Div(h, hn::IfThenElse(one_class, one, ln_div)));
            hn::StoreU(hn::DemoteTo(df, hn::IfThenElse(empty, none, v)), df, r.evenness + t);
        }
    }
    for (; t < r.count; ++t) portable::real_window(r, t);
}

#if HWY_TARGET == HWY_SCALAR
void StepDownV(const StepDown& s) {
    portable::step_down(s);
}
#else
// Classes c0 .. c0 + B - 1 for the windows at lanes t ..: the changes of each class are
// gathered in byte lanes (+1 a pixel entering, -1 a pixel leaving) over at most 127
// changes, then widened and added to the 16-bit sums.
template <int B>
HWY_INLINE void StepClasses(const StepDown& s, std::size_t c0, std::size_t t,
                            hn::Vec<hn::ScalableTag<std::uint16_t>>& div_lo,
                            hn::Vec<hn::ScalableTag<std::uint16_t>>& div_hi,
                            hn::Vec<hn::ScalableTag<std::uint16_t>>& top_lo,
                            hn::Vec<hn::ScalableTag<std::uint16_t>>& top_hi) {
    const hn::ScalableTag<std::uint8_t> d8;
    const hn::ScalableTag<std::int8_t> di8;
    const hn::Half<decltype(di8)> dh8;
    const hn::ScalableTag<std::int16_t> d16;
    const hn::ScalableTag<std::uint16_t> du16;
    const std::size_t N16 = hn::Lanes(d16);
    using V8 = hn::Vec<decltype(d8)>;
    V8 code[B];
    for (int b = 0; b < B; ++b) code[b] = hn::Set(d8, s.codes[c0 + static_cast<std::size_t>(b)]);
    std::size_t r = 0;
    while (r < s.changes) {
        const std::size_t end = std::min(s.changes, r + 127);
        V8 acc[B];
        for (int b = 0; b < B; ++b) acc[b] = hn::Zero(d8);
        for (; r < end; ++r) {
            const V8 out = hn::LoadU(d8, s.leave[r] + t);
            const V8 in = hn::LoadU(d8, s.enter[r] + t);
            for (int b = 0; b < B; ++b) {
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
                // Comparisons give bit masks here: the counts change under the mask.
                const __m512i one = _mm512_set1_epi8(1);
                __m512i a = _mm512_mask_add_epi8(acc[b].raw, _mm512_cmpeq_epi8_mask(in.raw, code[b].raw),
                                                 acc[b].raw, one);
                a = _mm512_mask_sub_epi8(a, _mm512_cmpeq_epi8_mask(out.raw, code[b].raw), a, one);
                acc[b] = V8{a};
#else
                acc[b] = hn::Add(hn::Sub(acc[b], hn::VecFromMask(d8, hn::Eq(in, code[b]))),
                                 hn::VecFromMask(d8, hn::Eq(out, code[b])));
#endif
            }
        }
        for (int b = 0; b < B; ++b) {
            auto* p = reinterpret_cast<std::int16_t*>(
                s.sums + (c0 + static_cast<std::size_t>(b)) * s.stride + t);
            const auto a = hn::BitCast(di8, acc[b]);
            hn::StoreU(hn::Add(hn::LoadU(d16, p), hn::PromoteTo(d16, hn::LowerHalf(dh8, a))), d16, p);
            hn::StoreU(hn::Add(hn::LoadU(d16, p + N16), hn::PromoteTo(d16, hn::UpperHalf(dh8, a))),
                       d16, p + N16);
        }
    }
    if (s.div == nullptr) return;
    for (int b = 0; b < B; ++b) {
        const std::uint16_t* p = s.sums + (c0 + static_cast<std::size_t>(b)) * s.stride + t;
        const auto lo = hn::LoadU(du16, p);
        const auto hi = hn::LoadU(du16, p + N16);
        div_lo = hn::Sub(div_lo, hn::VecFromMask(du16, hn::Ne(lo, hn::Zero(du16))));
        div_hi = hn::Sub(div_hi, hn::VecFromMask(du16, hn::Ne(hi, hn::Zero(du16))));
        top_lo = hn::Max(top_lo, lo);
        top_hi = hn::Max(top_hi, hi);
    }
}

// Classes counted together: as many as the vector registers hold with the two lines of
// codes and their comparisons.
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
constexpr int kMaxBatch = 12;
#else
constexpr int kMaxBatch = 6;
#endif

// The next batch of classes from c0, B at most; how many.
template <int B>
HWY_INLINE std::size_t StepSome(const StepDown& s, std::size_t c0, std::size_t t,
                                hn::Vec<hn::ScalableTag<std::uint16_t>>& div_lo,
                                hn::Vec<hn::ScalableTag<std::uint16_t>>& div_hi,
                                hn::Vec<hn::ScalableTag<std::uint16_t>>& top_lo,
                                hn::Vec<hn::ScalableTag<std::uint16_t>>& top_hi) {
    if constexpr (B > 1) {
        if (s.classes - c0 < static_cast<std::size_t>(B))
            return StepSome<B - 1>(s, c0, t, div_lo, div_hi, top_lo, top_hi);
    }
    StepClasses<B>(s, c0, t, div_lo, div_hi, top_lo, top_hi);
    return static_cast<std::size_t>(B);
}

void StepDownV(const StepDown& s) {
    const hn::ScalableTag<std::uint8_t> d8;
    const hn::ScalableTag<std::uint16_t> du16;
    const std::size_t N8 = hn::Lanes(d8);
    const std::size_t N16 = hn::Lanes(du16);
    for (std::size_t t = 0; t < s.lanes; t += N8) {
        auto div_lo = hn::Zero(du16), div_hi = hn::Zero(du16);
        auto top_lo = hn::Zero(du16), top_hi = hn::Zero(du16);
        for (std::size_t c0 = 0; c0 < s.classes;)
            c0 += StepSome<kMaxBatch>(s, c0, t, div_lo, div_hi, top_lo, top_hi);
        if (s.div != nullptr) {
            hn::StoreU(div_lo, du16, s.div + t);
            hn::StoreU(div_hi, du16, s.div + t + N16);
            hn::StoreU(top_lo, du16, s.largest + t);
            hn::StoreU(top_hi, du16, s.largest + t + N16);
        }
    }
}
#endif

}  // namespace HWY_NAMESPACE
}  // namespace kernels
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace kernels {
namespace {

// One compiled instruction set: its name, whether this processor runs it, its kernels.
// The choice is made here rather than by Highway's run-time library, so the program
// needs only Highway's headers (and runs under tools that cannot run that library).
struct Path {
    const char* name;
    bool (*runs)();
    decltype(&HWY_STATIC_DISPATCH(CountLanes16)) count_lanes16;
    decltype(&HWY_STATIC_DISPATCH(CountLanes32)) count_lanes32;
    decltype(&HWY_STATIC_DISPATCH(ByteLanes)) byte_lanes;
    decltype(&HWY_STATIC_DISPATCH(SquareRow16)) square_row16;
    decltype(&HWY_STATIC_DISPATCH(SquareRow32)) square_row32;
    decltype(&HWY_STATIC_DISPATCH(StepDownV)) step_down;
    decltype(&HWY_STATIC_DISPATCH(SquareStats16)) square_stats16;
    decltype(&HWY_STATIC_DISPATCH(SquareStats32)) square_stats32;
    decltype(&HWY_STATIC_DISPATCH(RealRowV)) real_row;
    decltype(&HWY_STATIC_DISPATCH(ClassSumsV)) class_sums;
    decltype(&HWY_STATIC_DISPATCH(PercentRowV)) percent_row;
};

#define LANDMOSAIC_PATH(NS, NAME, RUNS)                                                       \
    Path {                                                                                     \
        NAME, RUNS, &NS::CountLanes16, &NS::CountLanes32, &NS::ByteLanes, &NS::SquareRow16, \
            &NS::SquareRow32, &NS::StepDownV, &NS::SquareStats16, &NS::SquareStats32,         \
            &NS::RealRowV, &NS::ClassSumsV, &NS::PercentRowV                                   \
    }

#if HWY_ARCH_X86 && (defined(__GNUC__) || defined(__clang__))
#define LANDMOSAIC_CPU(x) (__builtin_cpu_supports(x) != 0)
#endif

// Best first; the last one runs everywhere.
const std::vector<Path>& paths() {
    static const std::vector<Path> all = [] {
        std::vector<Path> p;
#ifdef LANDMOSAIC_CPU
#if HWY_TARGETS & HWY_AVX3
        p.push_back(LANDMOSAIC_PATH(N_AVX3, "avx3", [] {
            return LANDMOSAIC_CPU("avx512f") && LANDMOSAIC_CPU("avx512vl") && LANDMOSAIC_CPU("avx512dq") &&
                   LANDMOSAIC_CPU("avx512bw") && LANDMOSAIC_CPU("avx2") && LANDMOSAIC_CPU("bmi2") &&
                   LANDMOSAIC_CPU("fma") && LANDMOSAIC_CPU("f16c");
        }));
#endif
#if HWY_TARGETS & HWY_AVX2
        p.push_back(LANDMOSAIC_PATH(N_AVX2, "avx2", [] {
            return LANDMOSAIC_CPU("avx2") && LANDMOSAIC_CPU("bmi") && LANDMOSAIC_CPU("bmi2") &&
                   LANDMOSAIC_CPU("fma") && LANDMOSAIC_CPU("f16c") && LANDMOSAIC_CPU("sse4.2") &&
                   LANDMOSAIC_CPU("pclmul") && LANDMOSAIC_CPU("aes");
        }));
#endif
#if HWY_TARGETS & HWY_SSE4
        p.push_back(LANDMOSAIC_PATH(N_SSE4, "sse4", [] {
            return LANDMOSAIC_CPU("sse4.2") && LANDMOSAIC_CPU("pclmul") && LANDMOSAIC_CPU("aes");
        }));
#endif
#if HWY_TARGETS & HWY_SSSE3
        p.push_back(LANDMOSAIC_PATH(N_SSSE3, "ssse3", [] { return LANDMOSAIC_CPU("ssse3"); }));
#endif
#else
        // Elsewhere: what the compiler was told the processor has.
        p.push_back(LANDMOSAIC_PATH(HWY_NAMESPACE, "baseline", [] { return true; }));
#endif
#if HWY_TARGETS & HWY_EMU128
        p.push_back(LANDMOSAIC_PATH(N_EMU128, "scalar", [] { return true; }));
#elif HWY_TARGETS & HWY_SCALAR
        p.push_back(LANDMOSAIC_PATH(N_SCALAR, "scalar", [] { return true; }));
#endif
#ifdef LANDMOSAIC_CPU
        __builtin_cpu_init();
#endif
        std::vector<Path> running;
        for (const Path& one : p)
            if (one.runs()) running.push_back(one);
        return running;
    }();
    return all;
}

std::atomic<const Path*>& chosen_path() {
    static std::atomic<const Path*> chosen{nullptr};
    return chosen;
}

// The path in use: the best, or the one LANDMOSAIC_SIMD names, chosen at the first call.
const Path& path() {
    const Path* p = chosen_path().load(std::memory_order_acquire);
    if (p != nullptr) return *p;
    static std::once_flag once;
    std::call_once(once, [] {
        const char* name = std::getenv("LANDMOSAIC_SIMD");
        if (name == nullptr || !use_target(name)) use_target("");
    });
    return *chosen_path().load(std::memory_order_acquire);
}

}  // namespace

std::vector<std::string> available_targets() {
    std::vector<std::string> names;
    for (const Path& p : paths()) names.push_back(p.name);
    return names;
}

bool use_target(const std::string& name) {
    const std::vector<Path>& all = paths();
    if (all.empty()) return false;
    if (name.empty()) {
        chosen_path().store(&all.front(), std::memory_order_release);
        return true;
    }
    // On these processors the fallback path is built for the baseline, SSE2.
    const std::string wanted = name == "sse2" ? "scalar" : name;
    for (const Path& p : all) {
        if (wanted == p.name) {
            chosen_path().store(&p, std::memory_order_release);
            return true;
        }
    }
    return false;
}

std::string current_target() {
    return path().name;
}

std::size_t count_lanes(std::size_t bytes) {
    return bytes == 4 ? path().count_lanes32() : path().count_lanes16();
}

std::size_t byte_lanes() {
    return path().byte_lanes();
}

void square_row(const std::uint16_t* counts, std::size_t stride, std::size_t centres,
                std::size_t m, std::uint16_t* sums, std::uint16_t* div, std::uint32_t* largest,
                std::uint32_t* blank) {
    path().square_row16(counts, stride, centres, m, sums, div, largest, blank);
}

void square_row(const std::uint32_t* counts, std::size_t stride, std::size_t centres,
                std::size_t m, std::uint32_t* sums, std::uint16_t* div, std::uint32_t* largest,
                std::uint32_t* blank) {
    path().square_row32(counts, stride, centres, m, sums, div, largest, blank);
}

void step_down(const StepDown& s) {
    path().step_down(s);
}

void square_stats(const SquareStats<std::uint16_t>& s) {
    path().square_stats16(s);
}

void square_stats(const SquareStats<std::uint32_t>& s) {
    path().square_stats32(s);
}

void real_row(const RealRow& r) {
    path().real_row(r);
}

void class_sums(const ClassSums& s) {
    path().class_sums(s);
}

void percent_row(const std::uint32_t* part, const std::uint32_t* whole, std::size_t count,
                 unsigned char* out) {
    path().percent_row(part, whole, count, out);
}

}  // namespace kernels
#endif  // HWY_ONCE
