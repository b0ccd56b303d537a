#include "analysis/fast_runs.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define LANDMOSAIC_SSE2 1
#endif

namespace fast_runs {

ItemTable item_table(const Inventory& inv) {
    ItemTable t;
    t.num_item = std::clamp(inv.num_item, 0, 255);
    for (int code = 0; code < 256; ++code) {
        for (int k = 1; k <= t.num_item; ++k) {
            if (inv.number_item[k] == code) {
                t.item_of[code] = static_cast<unsigned char>(k);
                break;
            }
        }
    }
    return t;
}



ScanShape square_shape(int rw) {
    ScanShape s;
    s.rw = rw;
    const int m = 2 * rw + 1;
    for (int r = 0; r < m; ++r) s.runs.push_back({r, 0, m - 1});
    s.pixels = static_cast<long long>(m) * m;
    return s;
}

ScanShape mask_shape(const ByteGrid& tab_rad, int rw) {
    ScanShape s;
    s.rw = rw;
    const int m = 2 * rw + 1;
    for (int r = 0; r < m; ++r) {
        const unsigned char* row = tab_rad[r];
        int c = 0;
        while (c < m) {
            if (row[c] != 1) {
                ++c;
                continue;
            }
            const int a = c;
            while (c < m && row[c] == 1) ++c;
            s.runs.push_back({r, a, c - 1});
            s.pixels += c - a;
        }
    }
    return s;
}

namespace {

// Bit t is set when, at position t of a block, the code leaving through one run (`lp`)
// differs from the code leaving through the run before (`lq`), or the code entering
// (`ep`) from the one entering through the run before (`eq`). `count`: positions in the
// block, 64 at most; no byte beyond them is read.
std::uint64_t code_changes(const unsigned char* lp, const unsigned char* lq,
                           const unsigned char* ep, const unsigned char* eq, int count) {
    std::uint64_t bits = 0;
    int t = 0;
#ifdef LANDMOSAIC_SSE2
    for (; t + 16 <= count; t += 16) {
        const auto load = [t](const unsigned char* q) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + t));
        };
        const __m128i same =
            _mm_and_si128(_mm_cmpeq_epi8(load(lp), load(lq)), _mm_cmpeq_epi8(load(ep), load(eq)));
        const unsigned differ = ~static_cast<unsigned>(_mm_movemask_epi8(same)) & 0xFFFFu;
        bits |= static_cast<std::uint64_t>(differ) << t;
    }
#endif
    for (; t < count; ++t)
        bits |= static_cast<std::uint64_t>((lp[t] != lq[t]) | (ep[t] != eq[t])) << t;
    return bits;
}


// Back to an empty window, for items 1..num_item.
void clear_counts(Counts& c, int num_item) {
    for (int k = 1; k <= num_item; ++k) {
        c.cc[static_cast<std::size_t>(c.hist[k])] = 0;
        c.hist[k] = 0;
    }
    c.cc[0] = static_cast<std::uint16_t>(num_item);
}

// For the block of `count` window positions from L0: for each position t, in
// breaks[t * n_runs ..] the runs (from 1) whose codes leaving or entering differ from
// those of the run before, breaks_at[t] of them.
void find_breaks(const unsigned char* const* leave, const unsigned char* const* enter, int n_runs,
                 int L0, int count, int* breaks_at, std::uint32_t* breaks) {
    std::fill(breaks_at, breaks_at + count, 0);
    for (int p = 1; p < n_runs; ++p) {
        std::uint64_t bits = code_changes(leave[p] + L0 - 1, leave[p - 1] + L0 - 1,
                                          enter[p] + L0, enter[p - 1] + L0, count);
        while (bits != 0) {
            const int t = std::countr_zero(bits);
            breaks[static_cast<std::size_t>(t) * static_cast<std::size_t>(n_runs) +
                   static_cast<std::size_t>(breaks_at[t]++)] = static_cast<std::uint32_t>(p);
            bits &= bits - 1;
        }
    }
}

}  // namespace

// The windows centred on row i, from column rw over `centres` columns, into div[t] and
// largest[t] for the centre in column rw + t: the first one
// counted from all its pixels, each next one from the previous by the pixels that leave
// and enter as the window moves one column right. Along a run of the mask only its first
// pixel leaves and only the pixel after its last enters. In a map of patches the pixels
// that leave (or enter) from neighbouring runs mostly hold the same code, so such pixels
// are counted together, as one change of several pixels.
void window_row(const ByteGrid& tab_in, const ScanShape& shape, const ItemTable& items, int i,
                int centres, Counts& c, std::uint16_t* div, std::uint32_t* largest) {
    const int rw = shape.rw;
    const int top = i - rw;
    const unsigned char* item_of = items.item_of;
    std::int32_t* hist = c.hist.data();
    std::uint16_t* cc = c.cc.data();
    int toth = 0;
    int maxh = 0;

    // n pixels of item k (not 0) enter or leave the window.
    auto add = [&](unsigned k, std::int32_t n) {
        const std::int32_t h = hist[k];
        const std::int32_t g = h + n;
        hist[k] = g;
        --cc[h];
        ++cc[g];
        if (g > maxh) maxh = g;
        if (h == 0) ++toth;
    };
    auto remove = [&](unsigned k, std::int32_t n) {
        const std::int32_t h = hist[k];
        const std::int32_t g = h - n;
        hist[k] = g;
        --cc[h];
        ++cc[g];
        if (g == 0) --toth;
        // When that item held the largest count, the largest is now at most h and at
        // least g, which the item itself still holds.
        if (h == maxh)
            while (cc[maxh] == 0) --maxh;
    };
    // n pixels of code `out` leave and n of code `in` enter. Pixels of no item (item 0)
    // count in the surface only.
    auto move = [&](unsigned out, unsigned in, std::int32_t n) {
        if (out == in) return;
        const unsigned k_in = item_of[in];
        const unsigned k_out = item_of[out];
        if (k_in != 0) add(k_in, n);
        if (k_out != 0) remove(k_out, n);
    };

    // The first window, a run of equal codes at a time.
    for (const Run& run : shape.runs) {
        const unsigned char* row = tab_in[top + run.r];
        unsigned code = row[run.a];
        std::int32_t n = 1;
        for (int x = run.a + 1; x <= run.b; ++x) {
            if (row[x] == code) {
                ++n;
                continue;
            }
            if (item_of[code] != 0) add(item_of[code], n);
            code = row[x];
            n = 1;
        }
        if (item_of[code] != 0) add(item_of[code], n);
    }

    auto store = [&](int t) {
        div[t] = static_cast<std::uint16_t>(toth);
        largest[t] = static_cast<std::uint32_t>(maxh);
    };
    store(0);

    // At window position L (its left column), the pixel of the run's first column at
    // position L - 1 leaves and the pixel after its last, column L + b, enters. Runs whose
    // codes leaving and entering are those of the run before are counted with it: the
    // positions where a run's codes differ from the run before are found a block of
    // positions at a time, and each position goes through its changes only.
    const int n_runs = static_cast<int>(shape.runs.size());
    const unsigned char** leave = c.leave.data();
    const unsigned char** enter = c.enter.data();
    for (int p = 0; p < n_runs; ++p) {
        const Run& run = shape.runs[static_cast<std::size_t>(p)];
        const unsigned char* row = tab_in[top + run.r];
        leave[p] = row + run.a;
        enter[p] = row + run.b;
    }
    int* breaks_at = c.breaks_at;
    std::uint32_t* breaks = c.breaks.data();
    for (int L0 = 1; L0 < centres; L0 += kBlock) {
        const int count = std::min(kBlock, centres - L0);
        find_breaks(leave, enter, n_runs, L0, count, breaks_at, breaks);
        for (int t = 0; t < count; ++t) {
            const int L = L0 + t;
            const std::uint32_t* at = breaks + static_cast<std::size_t>(t) * n_runs;
            int first = 0;
            for (int k = 0; k < breaks_at[t]; ++k) {
                const int next = static_cast<int>(at[k]);
                move(leave[first][L - 1], enter[first][L], next - first);
                first = next;
            }
            move(leave[first][L - 1], enter[first][L], n_runs - first);
            store(L);
        }
    }
    clear_counts(c, items.num_item);
}

}  // namespace fast_runs
