// The kernels with Google Highway: compiled once per instruction set, the one used
// chosen when first called.
#include <algorithm>
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

// The sums of every lane over the window are slid right one column at a time: the
// column that enters is added, the one that leaves taken away. The diversity is the count
// of lanes not 0, the largest count a vector maximum folded once per window.
template <class T>
HWY_INLINE void SquareRowT(const T* counts, std::size_t stride, std::size_t centres,
                           std::size_t m, T* sums, std::uint16_t* div, std::uint32_t* largest) {
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
        largest[t] = static_cast<std::uint32_t>(hn::GetLane(hn::MaxOfLanes(d, top)));
    }
}

void SquareRow16(const std::uint16_t* counts, std::size_t stride, std::size_t centres,
                 std::size_t m, std::uint16_t* sums, std::uint16_t* div, std::uint32_t* largest) {
    SquareRowT(counts, stride, centres, m, sums, div, largest);
}
void SquareRow32(const std::uint32_t* counts, std::size_t stride, std::size_t centres,
                 std::size_t m, std::uint32_t* sums, std::uint16_t* div, std::uint32_t* largest) {
    SquareRowT(counts, stride, centres, m, sums, div, largest);
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
            for (int b = 0; b < B; ++b)
                acc[b] = hn::Add(hn::Sub(acc[b], hn::VecFromMask(d8, hn::Eq(in, code[b]))),
                                 hn::VecFromMask(d8, hn::Eq(out, code[b])));
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

void StepDownV(const StepDown& s) {
    const hn::ScalableTag<std::uint8_t> d8;
    const hn::ScalableTag<std::uint16_t> du16;
    const std::size_t N8 = hn::Lanes(d8);
    const std::size_t N16 = hn::Lanes(du16);
    for (std::size_t t = 0; t < s.lanes; t += N8) {
        auto div_lo = hn::Zero(du16), div_hi = hn::Zero(du16);
        auto top_lo = hn::Zero(du16), top_hi = hn::Zero(du16);
        std::size_t c0 = 0;
        while (c0 < s.classes) {
            const std::size_t left = s.classes - c0;
            switch (std::min<std::size_t>(left, 8)) {
                case 8: StepClasses<8>(s, c0, t, div_lo, div_hi, top_lo, top_hi); c0 += 8; break;
                case 7: StepClasses<7>(s, c0, t, div_lo, div_hi, top_lo, top_hi); c0 += 7; break;
                case 6: StepClasses<6>(s, c0, t, div_lo, div_hi, top_lo, top_hi); c0 += 6; break;
                case 5: StepClasses<5>(s, c0, t, div_lo, div_hi, top_lo, top_hi); c0 += 5; break;
                case 4: StepClasses<4>(s, c0, t, div_lo, div_hi, top_lo, top_hi); c0 += 4; break;
                case 3: StepClasses<3>(s, c0, t, div_lo, div_hi, top_lo, top_hi); c0 += 3; break;
                case 2: StepClasses<2>(s, c0, t, div_lo, div_hi, top_lo, top_hi); c0 += 2; break;
                default: StepClasses<1>(s, c0, t, div_lo, div_hi, top_lo, top_hi); c0 += 1; break;
            }
        }
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

HWY_EXPORT(CountLanes16);
HWY_EXPORT(CountLanes32);
HWY_EXPORT(ByteLanes);
HWY_EXPORT(SquareRow16);
HWY_EXPORT(SquareRow32);
HWY_EXPORT(StepDownV);

namespace {

struct NamedTarget {
    const char* name;
    std::int64_t target;
};

// The names users give, for the instruction sets of this family.
constexpr NamedTarget kNames[] = {
#if HWY_ARCH_X86
    {"avx3", HWY_AVX3}, {"avx2", HWY_AVX2}, {"sse4", HWY_SSE4}, {"ssse3", HWY_SSSE3},
#endif
    {"sse2", HWY_EMU128}, {"scalar", HWY_SCALAR},
};

std::string name_of(std::int64_t target) {
    for (const NamedTarget& n : kNames)
        if (n.target == target) return n.name;
    return hwy::TargetName(target);
}

// What the processor runs, among what was compiled, before any choice was forced.
std::int64_t processor_targets() {
    static const std::int64_t all = hwy::SupportedTargets() & HWY_TARGETS;
    return all;
}

// The choice of LANDMOSAIC_SIMD, made once before the first kernel runs.
void apply_environment() {
    static std::once_flag once;
    std::call_once(once, [] {
        processor_targets();
        if (const char* name = std::getenv("LANDMOSAIC_SIMD"); name != nullptr && *name != '\0')
            use_target(name);
    });
}

}  // namespace

std::vector<std::string> available_targets() {
    std::vector<std::string> names;
    for (std::int64_t t = processor_targets(); t != 0; t &= t - 1) names.push_back(name_of(t & -t));
    return names;
}

bool use_target(const std::string& name) {
    processor_targets();
    if (name.empty()) {
        hwy::SetSupportedTargetsForTest(0);
        return true;
    }
    for (std::int64_t t = processor_targets(); t != 0; t &= t - 1) {
        const std::int64_t one = t & -t;
        if (name_of(one) == name) {
            hwy::SetSupportedTargetsForTest(one);
            return true;
        }
    }
    return false;
}

std::string current_target() {
    apply_environment();
    const std::int64_t t = hwy::SupportedTargets() & HWY_TARGETS;
    return t == 0 ? std::string("none") : name_of(t & -t);
}

std::size_t count_lanes(std::size_t bytes) {
    apply_environment();
    return bytes == 4 ? HWY_DYNAMIC_DISPATCH(CountLanes32)() : HWY_DYNAMIC_DISPATCH(CountLanes16)();
}

std::size_t byte_lanes() {
    apply_environment();
    return HWY_DYNAMIC_DISPATCH(ByteLanes)();
}

void square_row(const std::uint16_t* counts, std::size_t stride, std::size_t centres,
                std::size_t m, std::uint16_t* sums, std::uint16_t* div, std::uint32_t* largest) {
    apply_environment();
    HWY_DYNAMIC_DISPATCH(SquareRow16)(counts, stride, centres, m, sums, div, largest);
}

void square_row(const std::uint32_t* counts, std::size_t stride, std::size_t centres,
                std::size_t m, std::uint32_t* sums, std::uint16_t* div, std::uint32_t* largest) {
    apply_environment();
    HWY_DYNAMIC_DISPATCH(SquareRow32)(counts, stride, centres, m, sums, div, largest);
}

void step_down(const StepDown& s) {
    apply_environment();
    HWY_DYNAMIC_DISPATCH(StepDownV)(s);
}

}  // namespace kernels
#endif  // HWY_ONCE
