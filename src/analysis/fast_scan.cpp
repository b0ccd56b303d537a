#include "analysis/fast_scan.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "analysis/fast_runs.h"
#include "analysis/kernels/kernels.h"
#include "analysis/share_bands.h"
#include "window/geometry.h"
#include "window/shapes.h"

namespace {

using scan_bands::share_bands;
using namespace fast_runs;

// The stored homogeneity of a largest count, computed with the same expression as the
// reference tally: division first, in double, then the integer part, then the byte
// stored. Counts up to the window's surface are looked up in a table made once.
class Homogeneity {
  public:
    Homogeneity(int surf_tot, long long largest) : surf_tot_(surf_tot) {
        const long long size = std::clamp(largest, 0LL, kTableMax) + 1;
        table_.resize(static_cast<std::size_t>(size));
        for (long long maxh = 0; maxh < size; ++maxh)
            table_[static_cast<std::size_t>(maxh)] = compute(static_cast<std::uint64_t>(maxh));
    }
    unsigned char operator()(std::uint64_t maxh) const {
        return maxh < table_.size() ? table_[static_cast<std::size_t>(maxh)] : compute(maxh);
    }

  private:
    static constexpr long long kTableMax = 1LL << 22;
    unsigned char compute(std::uint64_t maxh) const {
        if (surf_tot_ <= 0) return 0;
        const double homogen = static_cast<double>(static_cast<int>(maxh)) / surf_tot_ * 100;
        return static_cast<unsigned char>(trunc_int(homogen));
    }
    int surf_tot_;
    std::vector<unsigned char> table_;
};

int workers_for(int threads) {
    return threads > 0 ? threads : fast_scan_threads();
}


// ---------------------------------------------------------------------------------
// Writing the values.

using Histogram = std::array<std::int64_t, 256>;

// The grids and how they are written.
struct Target {
    ByteGrid& tab_div;
    ByteGrid& tab_homo;
    int nb_lig;
    int nb_col;
    bool fresh;
};

// With fresh grids: lines first .. last - 1 hold 255 in both grids.
void no_value_lines(const Target& g, int first, int last) {
    if (!g.fresh) return;
    for (int i = std::max(first, 0); i < std::min(last, g.nb_lig); ++i) {
        std::memset(g.tab_div[i], kNoValue, static_cast<std::size_t>(g.nb_col));
        std::memset(g.tab_homo[i], kNoValue, static_cast<std::size_t>(g.nb_col));
    }
}

// With fresh grids: the pixels of line i left of column `first` and from column `last`
// on hold 255 in both grids.
void no_value_sides(const Target& g, int i, int first, int last) {
    if (!g.fresh) return;
    for (unsigned char* row : {g.tab_div[i], g.tab_homo[i]}) {
        std::memset(row, kNoValue, static_cast<std::size_t>(first));
        std::memset(row + last, kNoValue, static_cast<std::size_t>(g.nb_col - last));
    }
}

// The values of the n windows centred on line i from column `first`: div[t] and the
// homogeneity of largest[t] for column first + t.
template <class L>
void put_values(const Target& g, const Homogeneity& homo, int i, int first, int n,
                const std::uint16_t* div, const L* largest, Histogram& histo) {
    unsigned char* drow = g.tab_div[i] + first;
    unsigned char* hrow = g.tab_homo[i] + first;
    if (g.fresh) {
        // Four partial counts, so that equal neighbours do not wait on one counter.
        std::uint32_t part[4][256] = {};
        for (int t = 0; t < n; ++t) {
            const auto d = static_cast<unsigned char>(div[t]);
            drow[t] = d;
            ++part[t & 3][d];
            hrow[t] = homo(largest[t]);
        }
        for (int v = 0; v < 256; ++v) histo[static_cast<std::size_t>(v)] += part[0][v] + part[1][v] + part[2][v] + part[3][v];
        return;
    }
    for (int t = 0; t < n; ++t) {
        if (drow[t] == kNoValue) drow[t] = static_cast<unsigned char>(div[t]);
        if (hrow[t] == kNoValue) hrow[t] = homo(largest[t]);
    }
}

// ---------------------------------------------------------------------------------
// The moving windows.

// A vertical run of the mask: in mask column c, the rows top to bottom.
struct ColumnRun {
    int c;
    int top;
    int bottom;
};

// Everything the workers of one moving-window scan share, read only.
struct WindowJob {
    WindowJob(const ByteGrid& in, const ItemTable& it, const ScanShape& sh, const Target& t,
              const Homogeneity& h)
        : tab_in(in), items(it), shape(sh), target(t), homo(h) {}
    const ByteGrid& tab_in;
    const ItemTable& items;
    const ScanShape& shape;
    Target target;
    const Homogeneity& homo;
    int rows = 0;  // centre rows, from line rw
    int cols = 0;  // centre columns, from column rw
    WindowMethod method = WindowMethod::runs;
    std::size_t lanes = 1;   // lanes of a vector: of counts (square) or of bytes (circle)
    std::size_t stride = 0;  // square: counts per column, a multiple of `lanes`
    bool wide = false;       // square: 32-bit counts
    int strip = 0;           // centre columns handled together
    std::vector<ColumnRun> column_runs;
    std::vector<unsigned char> codes;  // circle: the codes that are items
    std::vector<unsigned char> blank;  // circle: a line of no item, read above the band
    const UnclassifiedTally* tally = nullptr;  // windows holding pixels of no item counted
    // Centre rows [i, i + 1) counted in the tally.
    bool tallied(int i) const { return tally != nullptr && i >= tally->from && i < tally->to; }
};

// What one worker owns.
struct WindowWorker {
    Counts counts;
    std::vector<std::uint16_t> div;
    std::vector<std::uint32_t> largest;
    std::vector<std::uint16_t> largest16;
    std::vector<std::uint16_t> counts16, sums16;
    std::vector<std::uint32_t> counts32, sums32;
    std::vector<const unsigned char*> leave, enter, tail_leave, tail_enter;
    std::vector<unsigned char> tail_bytes;
    std::vector<std::uint32_t> totals;
    std::int64_t windows = 0, with_unclassified = 0;
    Histogram histo{};
};

// The n squares of a row added to the tally: those whose pixels of no item (lane 0 of
// their sums, in w.totals) are not 0 hold some.
void tally_squares(WindowWorker& w, int n) {
    std::int64_t with = 0;
    for (int t = 0; t < n; ++t) with += w.totals[static_cast<std::size_t>(t)] != 0;
    w.windows += n;
    w.with_unclassified += with;
}

// The n circles at lanes 0.. (item c at sums[c * stride + t]) added to the tally: those
// whose item counts do not cover the mask hold pixels of no item.
void tally_circles(const WindowJob& job, WindowWorker& w, std::size_t stride, int n) {
    kernels::ClassSums s;
    s.sums = w.sums16.data();
    s.stride = stride;
    s.classes = job.codes.size();
    s.count = static_cast<std::size_t>(n);
    s.largest = w.largest16.data();
    s.n = w.totals.data();
    kernels::class_sums(s);
    const auto pixels = static_cast<std::uint32_t>(job.shape.pixels);
    std::int64_t with = 0;
    for (int t = 0; t < n; ++t) with += w.totals[static_cast<std::size_t>(t)] < pixels;
    w.windows += n;
    w.with_unclassified += with;
}

// Centre rows first .. last - 1 (from line rw) by the runs of the mask rows.
template <class RowDone>
void runs_band(const WindowJob& job, int first, int last, WindowWorker& w, const RowDone& row_done) {
    const int rw = job.shape.rw;
    for (int r = first; r < last; ++r) {
        const int i = rw + r;
        window_row(job.tab_in, job.shape, job.items, i, job.cols, w.counts, w.div.data(),
                   w.largest.data());
        put_values(job.target, job.homo, i, rw, job.cols, w.div.data(), w.largest.data(), w.histo);
        no_value_sides(job.target, i, rw, rw + job.cols);
        row_done(r);
    }
}

// Centre rows first .. last - 1 of the square window by item counts per map column: the
// counts of a band of columns are made from the first window's rows, then slid down one
// line at a time (the line above leaves, the line below enters); each row of windows
// then takes the sums of its columns, slid right in vector lanes.
template <class T, class RowDone>
void square_band(const WindowJob& job, int first, int last, WindowWorker& w,
                 std::vector<T>& counts, std::vector<T>& sums, const RowDone& row_done) {
    const int rw = job.shape.rw;
    const int m = 2 * rw + 1;
    const std::size_t stride = job.stride;
    const unsigned char* item_of = job.items.item_of;
    const bool one_strip = job.strip >= job.cols;
    sums.assign(stride, 0);
    for (int s0 = 0; s0 < job.cols; s0 += job.strip) {
        const int n = std::min(job.strip, job.cols - s0);
        const int width = n + m - 1;  // map columns s0 .. s0 + width - 1
        counts.assign(static_cast<std::size_t>(width) * stride, 0);
        T* cnt = counts.data();
        const int i0 = rw + first;
        for (int k = i0 - rw; k <= i0 + rw; ++k) {
            const unsigned char* row = job.tab_in[k] + s0;
            for (int x = 0; x < width; ++x) ++cnt[static_cast<std::size_t>(x) * stride + item_of[row[x]]];
        }
        for (int i = i0; i < rw + last; ++i) {
            if (i > i0) {
                const unsigned char* out = job.tab_in[i - rw - 1] + s0;
                const unsigned char* in = job.tab_in[i + rw] + s0;
                for (int x = 0; x < width; ++x) {
                    T* col = cnt + static_cast<std::size_t>(x) * stride;
                    --col[item_of[out[x]]];
                    ++col[item_of[in[x]]];
                }
            }
            kernels::square_row(cnt, stride, static_cast<std::size_t>(n), static_cast<std::size_t>(m),
                                sums.data(), w.div.data(), w.largest.data(),
                                job.tallied(i) ? w.totals.data() : nullptr);
            if (job.tallied(i)) tally_squares(w, n);
            put_values(job.target, job.homo, i, rw + s0, n, w.div.data(), w.largest.data(), w.histo);
            if (s0 == 0) no_value_sides(job.target, i, rw, rw + job.cols);
            if (one_strip) row_done(i - rw);
        }
    }
    if (!one_strip)
        for (int r = first; r < last; ++r) row_done(r);
}

// The pixels that leave and enter the windows of the strip from column s0 as they step
// from the line i to line i + 1, through each vertical run of the mask; lines above
// `top_read` are read as lines of no item.
void point_runs(const WindowJob& job, WindowWorker& w, int i, int s0, int top_read) {
    const int rw = job.shape.rw;
    for (std::size_t r = 0; r < job.column_runs.size(); ++r) {
        const ColumnRun& cr = job.column_runs[r];
        const int out = i - rw + cr.top;
        const int in = i + 1 - rw + cr.bottom;
        const unsigned char* out_row = out >= top_read ? job.tab_in[out] : job.blank.data();
        const unsigned char* in_row = in >= top_read ? job.tab_in[in] : job.blank.data();
        w.leave[r] = out_row + s0 + cr.c;
        w.enter[r] = in_row + s0 + cr.c;
    }
}

// The step down of the last centres of the strip from column s0, fewer than a vector,
// from lane `main`: their bytes are copied so that no read passes the end of a line.
void step_tail(const WindowJob& job, WindowWorker& w, kernels::StepDown& step, int s0,
               std::size_t main, bool values) {
    const std::size_t lanes = job.lanes;
    for (std::size_t r = 0; r < job.column_runs.size(); ++r) {
        const ColumnRun& cr = job.column_runs[r];
        const std::size_t have =
            std::min(lanes, static_cast<std::size_t>(job.target.nb_col - (s0 + cr.c)) - main);
        unsigned char* lb = w.tail_bytes.data() + 2 * r * lanes;
        unsigned char* eb = lb + lanes;
        std::memcpy(lb, w.leave[r] + main, have);
        std::memcpy(eb, w.enter[r] + main, have);
        w.tail_leave[r] = lb;
        w.tail_enter[r] = eb;
    }
    step.leave = w.tail_leave.data();
    step.enter = w.tail_enter.data();
    step.sums = w.sums16.data() + main;
    step.lanes = lanes;
    step.div = values ? w.div.data() + main : nullptr;
    step.largest = values ? w.largest16.data() + main : nullptr;
    kernels::step_down(step);
}

// Centre rows first .. last - 1 of a window slid down: every step takes out the top
// pixel of each vertical run of the mask and puts in the pixel below its bottom, for all
// the centres of a band of columns at once, counted per item in vector lanes. The band
// starts from an empty window above its first row, where the lines above the band's first
// window are read as lines of no item.
template <class RowDone>
void step_band(const WindowJob& job, int first, int last, WindowWorker& w, const RowDone& row_done) {
    const int rw = job.shape.rw;
    const int m = 2 * rw + 1;
    const std::size_t lanes = job.lanes;
    const std::size_t runs = job.column_runs.size();
    const std::size_t classes = job.codes.size();
    const bool one_strip = job.strip >= job.cols;
    const int i0 = rw + first;
    const int top_read = i0 - rw;  // lines above are read as no item
    w.leave.resize(runs);
    w.enter.resize(runs);
    w.tail_leave.resize(runs);
    w.tail_enter.resize(runs);
    w.tail_bytes.assign(2 * runs * lanes, kNoValue);
    for (int s0 = 0; s0 < job.cols; s0 += job.strip) {
        const int n = std::min(job.strip, job.cols - s0);
        const std::size_t main = static_cast<std::size_t>(n) / lanes * lanes;
        const std::size_t tail = static_cast<std::size_t>(n) - main;
        const std::size_t stride = main + (tail != 0 ? lanes : 0);
        w.sums16.assign(classes * stride, 0);
        kernels::StepDown step;
        step.changes = runs;
        step.codes = job.codes.data();
        step.classes = classes;
        step.stride = stride;
        for (int i = i0 - m; i < rw + last - 1; ++i) {
            // From the window centred on line i to the one on line i + 1.
            point_runs(job, w, i, s0, top_read);
            const bool values = i + 1 >= i0;
            if (main != 0) {
                step.leave = w.leave.data();
                step.enter = w.enter.data();
                step.sums = w.sums16.data();
                step.lanes = main;
                step.div = values ? w.div.data() : nullptr;
                step.largest = values ? w.largest16.data() : nullptr;
                kernels::step_down(step);
            }
            if (tail != 0) step_tail(job, w, step, s0, main, values);
            if (!values) continue;
            if (job.tallied(i + 1)) tally_circles(job, w, stride, n);
            put_values(job.target, job.homo, i + 1, rw + s0, n, w.div.data(), w.largest16.data(),
                       w.histo);
            if (s0 == 0) no_value_sides(job.target, i + 1, rw, rw + job.cols);
            if (one_strip) row_done(i + 1 - rw);
        }
    }
    if (!one_strip)
        for (int r = first; r < last; ++r) row_done(r);
}

// The vertical runs of the mask cells that hold 1.
std::vector<ColumnRun> column_runs(const ByteGrid& tab_rad, int rw) {
    std::vector<ColumnRun> runs;
    const int m = 2 * rw + 1;
    for (int c = 0; c < m; ++c) {
        int r = 0;
        while (r < m) {
            if (tab_rad[r][c] != 1) {
                ++r;
                continue;
            }
            const int top = r;
            while (r < m && tab_rad[r][c] == 1) ++r;
            runs.push_back({c, top, r - 1});
        }
    }
    return runs;
}

// The method used for a window: where both can serve, the one expected faster from the
// vector work per pixel of one and the changes per pixel of the other.
WindowMethod choose_method(WindowMethod asked, bool circle, const ScanShape& shape,
                           const std::vector<ColumnRun>& vruns, int items, bool blank_is_item) {
    const bool steps_possible = !circle || (shape.pixels <= 65535 && !blank_is_item);
    if (asked == WindowMethod::runs || !steps_possible) return WindowMethod::runs;
    if (asked == WindowMethod::counts) return WindowMethod::counts;
    // Costs per pixel in rough instruction counts, measured on maps of patches: the
    // runs method's changes are scalar and branchy, a vector lane costs a fraction.
    const double runs_cost = 8.0 * static_cast<double>(shape.runs.size());
    if (!circle) {
        const double lanes = static_cast<double>(kernels::count_lanes(2));
        const double counts_cost = 20.0 + 8.0 * (items + 1) / lanes;
        return counts_cost <= runs_cost ? WindowMethod::counts : WindowMethod::runs;
    }
    // Wider vectors than 40 bytes gain less than their width here.
    const double lanes = std::min(static_cast<double>(kernels::byte_lanes()), 40.0);
    if (lanes < 16) return WindowMethod::runs;
    const double counts_cost = (4.0 * items * static_cast<double>(vruns.size()) + 10.0 * items) / lanes;
    return counts_cost <= runs_cost ? WindowMethod::counts : WindowMethod::runs;
}

// The centre columns a worker handles together (job.strip), and for the counts method
// the layout of its counts, bounded so that the counts of a worker stay within a few MiB.
void size_strips(WindowJob& job, const LoadedMap& map, bool circle, const ScanOptions& options) {
    const ItemTable& items = job.items;
    const int m = 2 * job.shape.rw + 1;
    const long long cols = job.cols;
    constexpr std::size_t kStripBytes = std::size_t{8} << 20;
    if (job.method == WindowMethod::counts && !circle) {
        job.wide = static_cast<long long>(m) * m > 65535;
        job.lanes = kernels::count_lanes(job.wide ? 4 : 2);
        job.stride = (static_cast<std::size_t>(items.num_item) + 1 + job.lanes - 1) / job.lanes * job.lanes;
        const std::size_t per_column = job.stride * (job.wide ? 4 : 2);
        const long long fit = static_cast<long long>(kStripBytes / per_column) - (m - 1);
        job.strip = static_cast<int>(std::min(cols, std::max({fit, 4LL * m, 1024LL})));
    } else if (job.method == WindowMethod::counts) {
        job.lanes = kernels::byte_lanes();
        for (int code = 0; code < 256; ++code)
            if (items.item_of[code] != 0) job.codes.push_back(static_cast<unsigned char>(code));
        job.blank.assign(static_cast<std::size_t>(map.nb_col) + job.lanes, kNoValue);
        const std::size_t per_column = std::max<std::size_t>(job.codes.size(), 1) * 2;
        const auto fit = static_cast<long long>(kStripBytes / per_column);
        job.strip = static_cast<int>(std::min(cols, std::max(fit, 1024LL)));
    } else {
        job.strip = job.cols;
    }
    if (options.strip > 0 && job.method == WindowMethod::counts)
        job.strip = std::min(options.strip, job.cols);
}

// The workers of a scan, each with room for the values of a strip of centres.
std::vector<WindowWorker> make_workers(const WindowJob& job, int workers) {
    std::vector<WindowWorker> ws(static_cast<std::size_t>(workers));
    const std::size_t values = static_cast<std::size_t>(std::min(job.strip, job.cols)) + job.lanes;
    const ScanShape& shape = job.shape;
    for (WindowWorker& w : ws) {
        w.div.assign(values, 0);
        w.largest.assign(values, 0);
        w.largest16.assign(values, 0);
        if (job.tally != nullptr) w.totals.assign(values, 0);
        if (job.method == WindowMethod::runs) {
            w.counts.cc.assign(static_cast<std::size_t>(shape.pixels) + 1, 0);
            w.counts.cc[0] = static_cast<std::uint16_t>(job.items.num_item);
            w.counts.leave.resize(shape.runs.size());
            w.counts.enter.resize(shape.runs.size());
            w.counts.breaks.resize(shape.runs.size() * kBlock);
        }
    }
    return ws;
}

// The method of a scan, its strips, and whether it counts the windows holding pixels of
// no item.
void plan_method(WindowJob& job, const LoadedMap& map, const Window& win, bool circle,
                 const ScanOptions& options) {
    const ScanShape& shape = job.shape;
    int items_counted = 0;
    for (int code = 0; code < 256; ++code)
        if (job.items.item_of[code] != 0) ++items_counted;
    if (circle) job.column_runs = column_runs(win.tab_rad, shape.rw);
    job.method = shape.pixels == 0
                     ? WindowMethod::runs
                     : choose_method(options.method, circle, shape, job.column_runs, items_counted,
                                     job.items.item_of[kNoValue] != 0);
    size_strips(job, map, circle, options);
    if (job.method == WindowMethod::counts && shape.pixels > 0) job.tally = options.tally;
}

// Centre rows first .. last - 1 of an empty mask: the reference evaluates every window
// to 0 and 0.
template <class RowDone>
void empty_band(const WindowJob& job, int first, int last, WindowWorker& w, const RowDone& row_done) {
    const int rw = job.shape.rw;
    std::fill(w.div.begin(), w.div.end(), 0);
    std::fill(w.largest.begin(), w.largest.end(), 0);
    for (int r = first; r < last; ++r) {
        put_values(job.target, job.homo, rw + r, rw, job.cols, w.div.data(), w.largest.data(), w.histo);
        no_value_sides(job.target, rw + r, rw, rw + job.cols);
        row_done(r);
    }
}

// The workers' histograms and tallies added to those the options ask for.
void add_counts(const WindowJob& job, const std::vector<WindowWorker>& ws, const ScanOptions& options) {
    if (options.histogram != nullptr && job.target.fresh)
        for (const WindowWorker& w : ws)
            for (int v = 0; v < 256; ++v) options.histogram[v] += w.histo[static_cast<std::size_t>(v)];
    if (job.tally == nullptr) return;
    options.tally->counted = true;
    for (const WindowWorker& w : ws) {
        options.tally->windows += w.windows;
        options.tally->with_unclassified += w.with_unclassified;
    }
}

// The moving window of `shape` over the whole map. `circle`: the shape comes from a mask.
void window_scan(const LoadedMap& map, const Inventory& inv, const Window& win,
                 const ScanShape& shape, bool circle, const Target& target,
                 const Progress& progress, const ScanOptions& options) {
    const int rw = shape.rw;
    const long long rows = static_cast<long long>(map.nb_lig) - 2LL * rw;
    const long long cols = static_cast<long long>(map.nb_col) - 2LL * rw;
    if (rows <= 0) {
        no_value_lines(target, 0, map.nb_lig);
        return;
    }
    const auto report = [&](int row) { return !progress || progress(rw + row, map.nb_lig); };
    if (cols <= 0) {
        // No whole window across the map: each centre row still reports.
        no_value_lines(target, 0, map.nb_lig);
        for (int t = 0; t < rows; ++t)
            if (!report(t)) break;
        return;
    }
    no_value_lines(target, 0, rw);
    no_value_lines(target, map.nb_lig - rw, map.nb_lig);

    const ItemTable items = item_table(inv);
    const Homogeneity homo(win.surf_tot, shape.pixels);
    WindowJob job(map.tab_in, items, shape, target, homo);
    job.rows = static_cast<int>(rows);
    job.cols = static_cast<int>(cols);
    const int m = 2 * rw + 1;
    plan_method(job, map, win, circle, options);

    const int workers = std::clamp(workers_for(options.threads), 1, job.rows);
    // Bands: a few per worker so that the workers end together, but tall enough that
    // starting a band (counting its first window) stays a small share of its work.
    int bands = job.method == WindowMethod::runs ? job.rows : 2 * workers;
    if (job.method != WindowMethod::runs)
        bands = std::clamp(job.rows / std::max(2 * m, 1), std::min(workers, job.rows), bands);
    const int band = (job.rows - 1) / std::max(bands, 1) + 1;

    std::vector<WindowWorker> ws = make_workers(job, workers);
    const auto work = [&](int first, int last, int worker, const auto& row_done) {
        WindowWorker& w = ws[static_cast<std::size_t>(worker)];
        if (shape.pixels == 0)
            empty_band(job, first, last, w, row_done);
        else if (job.method == WindowMethod::runs)
            runs_band(job, first, last, w, row_done);
        else if (circle)
            step_band(job, first, last, w, row_done);
        else if (job.wide)
            square_band(job, first, last, w, w.counts32, w.sums32, row_done);
        else
            square_band(job, first, last, w, w.counts16, w.sums16, row_done);
    };
    share_bands(job.rows, band, workers, work, report);
    add_counts(job, ws, options);
}

// ---------------------------------------------------------------------------------
// The cell mesh.

// One row of cells of edge m, with its top line at `top`: each cell counted from its
// pixels, its values written into all of them.
void cell_row(const ByteGrid& tab_in, const ItemTable& items, const Homogeneity& homo, int m,
              int top, int cells, const Target& g, Counts& c, Histogram& histo) {
    const unsigned char* item_of = items.item_of;
    std::int32_t* hist = c.hist.data();
    // The items present in the cell, so that only their counts are put back to 0.
    unsigned char present[256];
    const std::size_t edge = static_cast<std::size_t>(m);
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
        const unsigned char val3 = homo(static_cast<std::uint64_t>(maxh));
        if (g.fresh) {
            for (int k = top; k < top + m; ++k) {
                std::memset(g.tab_div[k] + left, div, edge);
                std::memset(g.tab_homo[k] + left, val3, edge);
            }
            histo[div] += static_cast<std::int64_t>(m) * m;
        } else {
            for (int k = top; k < top + m; ++k) {
                unsigned char* row = g.tab_div[k];
                for (int l = left; l < left + m; ++l)
                    if (row[l] == kNoValue) row[l] = div;
            }
            for (int k = top; k < top + m; ++k) {
                unsigned char* row = g.tab_homo[k];
                for (int l = left; l < left + m; ++l)
                    if (row[l] == kNoValue) row[l] = val3;
            }
        }
        for (int p = 0; p < toth; ++p) hist[present[p]] = 0;
    }
    for (int k = top; k < top + m; ++k) no_value_sides(g, k, 0, cells * m);
}

void cell_mesh(const LoadedMap& map, const Inventory& inv, const Window& win, const Target& target,
               const Progress& progress, const ScanOptions& options) {
    const int m = win.side;
    if (m <= 0) {
        no_value_lines(target, 0, map.nb_lig);
        return;
    }
    const int lig_segm = map.nb_lig / m;
    const int col_segm = map.nb_col / m;
    if (lig_segm <= 0 || col_segm <= 0) no_value_lines(target, 0, map.nb_lig);
    if (lig_segm <= 0) return;
    const auto report = [&](int task) { return !progress || progress(task * m, map.nb_lig); };
    if (col_segm <= 0) {
        for (int t = 0; t < lig_segm; ++t)
            if (!report(t)) break;
        return;
    }
    no_value_lines(target, lig_segm * m, map.nb_lig);

    const ItemTable items = item_table(inv);
    const Homogeneity homo(win.surf_tot, static_cast<long long>(m) * m);
    const int workers = std::clamp(workers_for(options.threads), 1, lig_segm);
    std::vector<Counts> counts(static_cast<std::size_t>(workers));
    std::vector<Histogram> histos(static_cast<std::size_t>(workers), Histogram{});
    const auto work = [&](int first, int last, int worker, const auto& row_done) {
        for (int task = first; task < last; ++task) {
            cell_row(map.tab_in, items, homo, m, task * m, col_segm, target,
                     counts[static_cast<std::size_t>(worker)], histos[static_cast<std::size_t>(worker)]);
            row_done(task);
        }
    };
    share_bands(lig_segm, 1, workers, work, report);
    if (options.histogram != nullptr && target.fresh)
        for (const Histogram& h : histos)
            for (int v = 0; v < 256; ++v) options.histogram[v] += h[static_cast<std::size_t>(v)];
}

Target target_of(const LoadedMap& map, ByteGrid& tab_div, ByteGrid& tab_homo, const ScanOptions& o) {
    return Target{tab_div, tab_homo, map.nb_lig, map.nb_col, o.fresh};
}

ScanOptions with_threads(int threads) {
    ScanOptions o;
    o.threads = threads;
    return o;
}

void square_window(const LoadedMap& map, const Inventory& inv, const Window& win, int rw,
                   ByteGrid& tab_div, ByteGrid& tab_homo, const Progress& progress,
                   const ScanOptions& options) {
    const Target target = target_of(map, tab_div, tab_homo, options);
    // A window taller or wider than the map evaluates nothing; its shape is not built.
    if (rw < 0 || 2LL * rw + 1 > map.nb_lig) {
        no_value_lines(target, 0, map.nb_lig);
        return;
    }
    const ScanShape shape = square_shape(rw);
    window_scan(map, inv, win, shape, false, target, progress, options);
}

void circle_window(const LoadedMap& map, const Inventory& inv, const Window& win, int rw,
                   ByteGrid& tab_div, ByteGrid& tab_homo, const Progress& progress,
                   const ScanOptions& options) {
    const Target target = target_of(map, tab_div, tab_homo, options);
    if (rw < 0 || !win.tab_rad || win.nb != 2LL * rw + 1 || 2LL * rw + 1 > map.nb_lig) {
        no_value_lines(target, 0, map.nb_lig);
        return;
    }
    const ScanShape shape = mask_shape(win.tab_rad, rw);
    window_scan(map, inv, win, shape, true, target, progress, options);
}

}  // namespace

int fast_scan_threads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(std::min(n, 256u));
}

void fast_scan(int treat_type, int win_shape, const LoadedMap& map, const Inventory& inv,
               const Window& win, int rw, ByteGrid& tab_div, ByteGrid& tab_homo,
               const Progress& progress, int threads) {
    fast_scan(treat_type, win_shape, map, inv, win, rw, tab_div, tab_homo, progress,
              with_threads(threads));
}

void fast_scan(int treat_type, int win_shape, const LoadedMap& map, const Inventory& inv,
               const Window& win, int rw, ByteGrid& tab_div, ByteGrid& tab_homo,
               const Progress& progress, const ScanOptions& options) {
    const WindowShape* shape = find_window_shape(treat_type, win_shape);
    if (shape == nullptr)
        return no_value_lines(target_of(map, tab_div, tab_homo, options), 0, map.nb_lig);
    switch (shape->kind) {
        case WindowKind::Mesh:
            return cell_mesh(map, inv, win, target_of(map, tab_div, tab_homo, options), progress,
                             options);
        case WindowKind::Square:
            return square_window(map, inv, win, rw, tab_div, tab_homo, progress, options);
        case WindowKind::Circle:
            return circle_window(map, inv, win, rw, tab_div, tab_homo, progress, options);
    }
}

