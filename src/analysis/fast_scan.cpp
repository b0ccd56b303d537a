#include "analysis/fast_scan.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "window/geometry.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define LANDMOSAIC_SSE2 1
#endif

namespace {

// The item number of every code: the first k, from 1 upwards, whose code is that code,
// or 0 (no item). The codes of the item list are distinct, so this is the item the
// search of the reference tally finds.
struct ItemTable {
    unsigned char item_of[256] = {};
    int num_item = 0;
};

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

// The stored homogeneity for every largest count from 0 to `largest`, computed with the
// same expression as the reference tally: division first, in double, then the integer
// part, then the byte stored.
std::vector<unsigned char> homogeneity_table(int surf_tot, long long largest) {
    std::vector<unsigned char> homo(static_cast<std::size_t>(largest) + 1, 0);
    if (surf_tot <= 0) return homo;
    for (long long maxh = 0; maxh <= largest; ++maxh) {
        const double homogen = static_cast<double>(maxh) / surf_tot * 100;
        homo[static_cast<std::size_t>(maxh)] = static_cast<unsigned char>(trunc_int(homogen));
    }
    return homo;
}

// Runs work(task, worker) for tasks 0 .. count - 1 on `workers` threads, the calling
// thread being worker 0, and calls report(task) on the calling thread for every task,
// in the order of the tasks, as soon as it and all those before it are done. `work`
// must not throw; when `report` throws, the other workers stop taking tasks and the
// exception goes on once they have finished.
template <class Work, class Report>
void share_tasks(int count, int workers, const Work& work, const Report& report) {
    if (count <= 0) return;
    workers = std::clamp(workers, 1, count);
    // Value-initialised: every task starts not done.
    const std::unique_ptr<std::atomic<bool>[]> done(new std::atomic<bool>[count]());
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};

    auto take_tasks = [&](int worker, auto&& after_each) {
        while (!stop.load(std::memory_order_relaxed)) {
            const int task = next.fetch_add(1, std::memory_order_relaxed);
            if (task >= count) return;
            work(task, worker);
            done[task].store(true, std::memory_order_release);
            after_each();
        }
    };

    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<std::size_t>(workers - 1));
    for (int w = 1; w < workers; ++w) {
        try {
            helpers.emplace_back([&take_tasks, w] { take_tasks(w, [] {}); });
        } catch (const std::system_error&) {
            break;  // fewer threads than asked: the others share the rows
        }
    }

    int shown = 0;
    auto show_done = [&] {
        while (shown < count && done[shown].load(std::memory_order_acquire)) report(shown++);
    };
    try {
        take_tasks(0, show_done);
        for (std::thread& h : helpers) h.join();
        show_done();
    } catch (...) {
        stop.store(true);
        for (std::thread& h : helpers)
            if (h.joinable()) h.join();
        throw;
    }
}

int workers_for(int threads) {
    return threads > 0 ? threads : fast_scan_threads();
}

// The pixels of a moving window as runs: in mask row r, the columns a to b.
struct Run {
    int r;
    int a;
    int b;
};

struct WindowShape {
    int rw = 0;
    std::vector<Run> runs;
    long long pixels = 0;  // pixels per window
};

WindowShape square_shape(int rw) {
    WindowShape s;
    s.rw = rw;
    const int m = 2 * rw + 1;
    for (int r = 0; r < m; ++r) s.runs.push_back({r, 0, m - 1});
    s.pixels = static_cast<long long>(m) * m;
    return s;
}

// The runs of the mask cells that hold 1; any other value leaves the pixel out.
WindowShape mask_shape(const ByteGrid& tab_rad, int rw) {
    WindowShape s;
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

// Window positions handled together when looking for changes of codes between runs.
constexpr int kBlock = 64;

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

// The item counts of one worker. cc[n] is the number of items (1..num_item) counted n
// times, which lets the largest count step down when the item holding it loses a pixel
// and no other item has as many.
struct Counts {
    std::vector<std::int32_t> hist = std::vector<std::int32_t>(256, 0);
    std::vector<std::uint16_t> cc;
    std::vector<const unsigned char*> leave, enter;
    // For each position of a block, how many runs and which begin a new group of codes.
    int breaks_at[kBlock] = {};
    std::vector<std::uint32_t> breaks;
};

// Back to an empty window, for items 1..num_item.
void clear_counts(Counts& c, int num_item) {
    for (int k = 1; k <= num_item; ++k) {
        c.cc[static_cast<std::size_t>(c.hist[k])] = 0;
        c.hist[k] = 0;
    }
    c.cc[0] = static_cast<std::uint16_t>(num_item);
}

// The windows centred on row i, from column rw over `centres` columns: the first one
// counted from all its pixels, each next one from the previous by the pixels that leave
// and enter as the window moves one column right. Along a run of the mask only its first
// pixel leaves and only the pixel after its last enters. In a map of patches the pixels
// that leave (or enter) from neighbouring runs mostly hold the same code, so such pixels
// are counted together, as one change of several pixels.
void window_row(const ByteGrid& tab_in, const WindowShape& shape, const ItemTable& items,
                const unsigned char* homo, int i, int centres, ByteGrid& tab_div,
                ByteGrid& tab_homo, Counts& c) {
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

    unsigned char* div_row = tab_div[i];
    unsigned char* homo_row = tab_homo[i];
    auto store = [&](int j) {
        if (div_row[j] == kNoValue) div_row[j] = static_cast<unsigned char>(toth);
        if (homo_row[j] == kNoValue) homo_row[j] = homo[maxh];
    };
    store(rw);

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
            store(L + rw);
        }
    }
    clear_counts(c, items.num_item);
}

// The moving window of `shape` over the whole map.
void window_scan(const LoadedMap& map, const Inventory& inv, const Window& win,
                 const WindowShape& shape, ByteGrid& tab_div, ByteGrid& tab_homo,
                 const RowProgress& progress, int threads) {
    const int rw = shape.rw;
    const long long rows = static_cast<long long>(map.nb_lig) - 2LL * rw;
    if (rows <= 0) return;
    const long long cols = static_cast<long long>(map.nb_col) - 2LL * rw;
    const auto report = [&](int task) {
        if (progress) progress(rw + task);
    };
    if (cols <= 0 || shape.pixels == 0) {
        // No whole window across the map (or an empty mask, which the reference also
        // evaluates to diversity 0 and homogeneity 0): each centre row still reports.
        if (cols > 0) {
            for (int i = rw; i < rw + rows; ++i)
                for (int j = rw; j < rw + cols; ++j) {
                    if (tab_div[i][j] == kNoValue) tab_div[i][j] = 0;
                    if (tab_homo[i][j] == kNoValue) tab_homo[i][j] = 0;
                }
        }
        for (int t = 0; t < rows; ++t) report(t);
        return;
    }

    const ItemTable items = item_table(inv);
    const std::vector<unsigned char> homo = homogeneity_table(win.surf_tot, shape.pixels);
    const int workers = std::clamp(workers_for(threads), 1, static_cast<int>(rows));
    std::vector<Counts> counts(static_cast<std::size_t>(workers));
    for (Counts& c : counts) {
        c.cc.assign(static_cast<std::size_t>(shape.pixels) + 1, 0);
        c.cc[0] = static_cast<std::uint16_t>(items.num_item);
        c.leave.resize(shape.runs.size());
        c.enter.resize(shape.runs.size());
        c.breaks.resize(shape.runs.size() * kBlock);
    }
    const auto work = [&](int task, int worker) {
        window_row(map.tab_in, shape, items, homo.data(), rw + task, static_cast<int>(cols),
                   tab_div, tab_homo, counts[static_cast<std::size_t>(worker)]);
    };
    share_tasks(static_cast<int>(rows), workers, work, report);
}

// One row of cells of edge m, with its top row at `top`: each cell counted from its
// pixels, its values written into all of them.
void cell_row(const ByteGrid& tab_in, const ItemTable& items, const unsigned char* homo, int m,
              int top, int cells, ByteGrid& tab_div, ByteGrid& tab_homo, Counts& c) {
    const unsigned char* item_of = items.item_of;
    std::int32_t* hist = c.hist.data();
    // The items present in the cell, so that only their counts are put back to 0.
    unsigned char present[256];
    for (int s = 0; s < cells; ++s) {
        const int left = s * m;
        int toth = 0;
        int maxh = 0;
        for (int k = top; k < top + m; ++k) {
            const unsigned char* row = tab_in[k];
            for (int l = left; l < left + m; ++l) {
                const unsigned item = item_of[row[l]];
                if (item == 0) continue;
                const std::int32_t h = ++hist[item];
                if (h == 1) present[toth++] = static_cast<unsigned char>(item);
                if (h > maxh) maxh = h;
            }
        }
        const auto div = static_cast<unsigned char>(toth);
        const unsigned char val3 = homo[maxh];
        for (int k = top; k < top + m; ++k) {
            unsigned char* row = tab_div[k];
            for (int l = left; l < left + m; ++l)
                if (row[l] == kNoValue) row[l] = div;
        }
        for (int k = top; k < top + m; ++k) {
            unsigned char* row = tab_homo[k];
            for (int l = left; l < left + m; ++l)
                if (row[l] == kNoValue) row[l] = val3;
        }
        for (int p = 0; p < toth; ++p) hist[present[p]] = 0;
    }
}

}  // namespace

int fast_scan_threads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(std::min(n, 256u));
}

void fast_cell_mesh_scan(const LoadedMap& map, const Inventory& inv, const Window& win,
                         ByteGrid& tab_div, ByteGrid& tab_homo, const RowProgress& progress,
                         int threads) {
    const int m = win.side;
    if (m <= 0) return;
    const int lig_segm = map.nb_lig / m;
    const int col_segm = map.nb_col / m;
    if (lig_segm <= 0) return;
    const auto report = [&](int task) {
        if (progress) progress(task * m);
    };
    if (col_segm <= 0) {
        for (int t = 0; t < lig_segm; ++t) report(t);
        return;
    }

    const ItemTable items = item_table(inv);
    const std::vector<unsigned char> homo =
        homogeneity_table(win.surf_tot, static_cast<long long>(m) * m);
    const int workers = std::clamp(workers_for(threads), 1, lig_segm);
    std::vector<Counts> counts(static_cast<std::size_t>(workers));
    const auto work = [&](int task, int worker) {
        cell_row(map.tab_in, items, homo.data(), m, task * m, col_segm, tab_div, tab_homo,
                 counts[static_cast<std::size_t>(worker)]);
    };
    share_tasks(lig_segm, workers, work, report);
}

void fast_square_scan(const LoadedMap& map, const Inventory& inv, const Window& win, int rw,
                      ByteGrid& tab_div, ByteGrid& tab_homo, const RowProgress& progress,
                      int threads) {
    if (rw < 0) return;
    // A window taller or wider than the map evaluates nothing; its shape is not built.
    if (2LL * rw + 1 > map.nb_lig) return;
    const WindowShape shape = square_shape(rw);
    window_scan(map, inv, win, shape, tab_div, tab_homo, progress, threads);
}

void fast_circle_scan(const LoadedMap& map, const Inventory& inv, const Window& win, int rw,
                      ByteGrid& tab_div, ByteGrid& tab_homo, const RowProgress& progress,
                      int threads) {
    if (rw < 0 || !win.tab_rad || win.nb != 2LL * rw + 1) return;
    if (2LL * rw + 1 > map.nb_lig) return;
    const WindowShape shape = mask_shape(win.tab_rad, rw);
    window_scan(map, inv, win, shape, tab_div, tab_homo, progress, threads);
}

void fast_scan(int treat_type, int win_shape, const LoadedMap& map, const Inventory& inv,
               const Window& win, int rw, ByteGrid& tab_div, ByteGrid& tab_homo,
               const RowProgress& progress, int threads) {
    if (treat_type == 0) {
        fast_cell_mesh_scan(map, inv, win, tab_div, tab_homo, progress, threads);
    } else if (treat_type == 1 && win_shape == 0) {
        fast_square_scan(map, inv, win, rw, tab_div, tab_homo, progress, threads);
    } else if (win_shape == 1) {
        fast_circle_scan(map, inv, win, rw, tab_div, tab_homo, progress, threads);
    }
}
