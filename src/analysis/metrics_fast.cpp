#include "analysis/metrics_fast.h"

#include <algorithm>
#include <cstring>

#include "analysis/kernels/kernels.h"
#include "analysis/share_bands.h"

namespace metrics::fast {

namespace {

// Pixels per window up to which the tables of counts (17 bytes per count) are made; the
// vector scans take the squares within it.
constexpr long long kMaxPixels = 1LL << 20;

// A vertical run of the mask: in mask column c, the rows top to bottom.
struct ColumnRun {
    int c, top, bottom;
};

// Everything the workers share, read only. Centres are the columns j0 .. j0 + count - 1
// of the rows whose window is evaluated; the window of centre j covers the columns
// j - R .. j + R, those outside the map holding no class.
struct Job {
    const LoadedMap& map;
    const Window& win;
    const Rule& rule;
    const std::vector<Metric>& ms;
    std::vector<Plane>& planes;
    int R = 0, m = 0, r0 = 0;
    bool circle = false;
    long long pixels = 0;
    int j0 = 0, count = 0;
    // Lane 0: every code that is not a class; lanes 1..: the classes by increasing code.
    unsigned char lane_of[256] = {};
    std::vector<unsigned char> code_of;
    std::vector<std::uint16_t> share_lane;
    bool want_first = false, want_sums = false;
    // The square: counts per class, `pitch` columns each, 32-bit beyond 65535 pixels.
    std::size_t pitch = 0;
    bool wide = false;
    // The circle: its vertical runs and the byte lanes of a vector.
    std::vector<ColumnRun> runs;
    std::size_t lanes = 1;
    int strip = 0;  // centres handled together
    // Per count: c ln c in fixed point, ln c, and the percent of the surface.
    std::vector<std::int64_t> fx;
    std::vector<double> ln;
    std::vector<unsigned char> pct_surface;
    // The fewest classified pixels by which a window passes the valid-pixel rule.
    std::uint32_t need = 0;
    double ln_div[256] = {};
    double scale = 1;  // 2^-bits
    Job(const LoadedMap& mp, const Window& w, const Rule& r, const std::vector<Metric>& v,
        std::vector<Plane>& p)
        : map(mp), win(w), rule(r), ms(v), planes(p) {}
};

// The values of one row of windows, and what a worker keeps between rows.
struct Worker {
    std::vector<std::uint16_t> div, first, largest16;
    std::vector<std::uint32_t> largest, n, lane0;
    std::vector<std::int64_t> sumsq, sumfx;
    std::vector<std::vector<std::uint32_t>> share;
    std::vector<std::uint32_t*> share_rows;
    std::vector<unsigned char> valid, pct;
    std::vector<std::uint16_t> counts16, sums16;
    std::vector<std::uint32_t> counts32, sums32;
    std::vector<const unsigned char*> leave, enter;
    std::vector<std::vector<unsigned char>> ring;
    std::vector<unsigned char> blank;
    ScanCounts found;
};

void size_worker(const Job& job, Worker& w) {
    const std::size_t values = static_cast<std::size_t>(job.strip) + std::max(job.lanes, kernels::square_pad()) + 1;
    for (auto* v : {&w.div, &w.first, &w.largest16}) v->assign(values, 0);
    for (auto* v : {&w.largest, &w.n, &w.lane0}) v->assign(values, 0);
    w.sumsq.assign(values, 0);
    w.sumfx.assign(values, 0);
    w.valid.assign(values, 0);
    w.pct.assign(values, 0);
    w.share.assign(job.share_lane.size(), std::vector<std::uint32_t>(values, 0));
    w.share_rows.clear();
    for (auto& s : w.share) w.share_rows.push_back(s.data());
}

unsigned char percent(const Job& job, std::int64_t part, std::int64_t n) {
    if (job.rule.on()) return values::percent_of(part, n);
    return static_cast<std::size_t>(part) < job.pct_surface.size()
               ? job.pct_surface[static_cast<std::size_t>(part)]
               : values::percent_of(part, job.win.surf_tot);
}

// Writes `value(t)` into row[t] for the `n` windows where valid[t], `none` elsewhere;
// every window has a value without `valid`.
template <class V, class F>
void put(V* row, const unsigned char* valid, int n, V none, const F& value) {
    if (!valid) {
        for (int t = 0; t < n; ++t) row[t] = value(t);
        return;
    }
    for (int t = 0; t < n; ++t) row[t] = valid[t] ? value(t) : none;
}

// The real metrics of the `n` windows at lanes 0.. into row k of their planes from column
// j, a vector of windows at a time.
void real_values(const Job& job, Worker& w, int k, int j, int n) {
    kernels::RealRow r;
    r.count = static_cast<std::size_t>(n);
    r.valid = w.valid.data();
    r.n = w.n.data();
    r.sumfx = w.sumfx.data();
    r.sumsq = w.sumsq.data();
    r.div = w.div.data();
    r.ln = job.ln.data();
    r.ln_div = job.ln_div;
    r.scale = job.scale;
    for (std::size_t p = 0; p < job.ms.size(); ++p) {
        float* row = reinterpret_cast<float*>(job.planes[p].rows[k]) + j;
        if (job.ms[p].id == Id::Shannon) r.shannon = row;
        if (job.ms[p].id == Id::Simpson) r.simpson = row;
        if (job.ms[p].id == Id::Evenness) r.evenness = row;
    }
    kernels::real_row(r);
}

// The percent of the classified pixels (under the valid-pixel rule) or of the surface
// that the counts `part` of the `n` windows are, where valid.
void put_percent(const Job& job, Worker& w, unsigned char* row, const unsigned char* valid, int n,
                 const std::uint32_t* part) {
    if (!job.rule.on()) {
        // A window's count is at most its pixels, which the table covers.
        const unsigned char* pct = job.pct_surface.data();
        const std::uint32_t last = static_cast<std::uint32_t>(job.pct_surface.size() - 1);
        put(row, valid, n, kNoValue, [&](int t) { return pct[std::min(part[t], last)]; });
        return;
    }
    unsigned char* pct = w.pct.data();
    kernels::percent_row(part, w.n.data(), static_cast<std::size_t>(n), pct);
    put(row, valid, n, kNoValue, [&](int t) { return pct[t]; });
}

// Writes the values of the `n` windows centred on map row i from column j into row k of
// the planes (the no-value mark where a window gets none), and counts them.
void write_row(const Job& job, Worker& w, int i, int j, int n) {
    const int k = i - job.r0;
    const unsigned char* own = job.map.tab_in[i] + j;
    const int surface = job.win.surf_tot;
    const std::uint32_t full = static_cast<std::uint32_t>(std::max(surface, 0));
    unsigned char* valid = w.valid.data();
    const std::uint32_t* cn = w.n.data();
    long long windows = n, with_unclassified = 0;
    if (job.rule.on()) {
        const std::uint32_t need = job.need;
        windows = 0;
        for (int t = 0; t < n; ++t) {
            valid[t] = (own[t] != kNoValue) & (cn[t] >= need);
            windows += valid[t];
        }
        for (int t = 0; t < n; ++t) with_unclassified += valid[t] & (cn[t] < full);
    } else {
        // Every window has values: no mark to test.
        std::memset(valid, 1, static_cast<std::size_t>(n));
        for (int t = 0; t < n; ++t) with_unclassified += cn[t] < full;
        valid = nullptr;
    }
    w.found.windows += windows;
    w.found.with_unclassified += with_unclassified;
    if (job.want_sums) real_values(job, w, k, j, n);
    for (std::size_t p = 0; p < job.ms.size(); ++p) {
        const Metric& m = job.ms[p];
        if (m.type() == Type::Real) continue;
        unsigned char* row = job.planes[p].rows[k] + j;
        switch (m.id) {
            case Id::Diversity: {
                const std::uint16_t* div = w.div.data();
                put(row, valid, n, kNoValue, [&](int t) { return static_cast<unsigned char>(div[t]); });
                break;
            }
            case Id::Homogeneity:
                put_percent(job, w, row, valid, n, w.largest.data());
                break;
            case Id::Dominant:
                // The first lane is 0, of code kNoValue, in a window without classes.
                put(row, valid, n, kNoValue, [&](int t) { return job.code_of[w.first[t]]; });
                break;
            default: {  // share; a class the map lacks covers nothing
                const auto at = std::find(job.share_lane.begin(), job.share_lane.end(),
                                          job.lane_of[m.code]);
                if (job.lane_of[m.code] == 0 || at == job.share_lane.end()) {
                    put(row, valid, n, kNoValue, [&](int t) { return percent(job, 0, cn[t]); });
                    break;
                }
                put_percent(job, w, row, valid, n, w.share[static_cast<std::size_t>(at - job.share_lane.begin())].data());
                break;
            }
        }
    }
}

// The no-value mark in row k of every plane, columns [x0, x1).
void no_value(const Job& job, int k, int x0, int x1) {
    if (x1 <= x0) return;
    for (std::size_t p = 0; p < job.ms.size(); ++p) {
        if (job.ms[p].type() == Type::Real) {
            float* row = reinterpret_cast<float*>(job.planes[p].rows[k]);
            std::fill(row + x0, row + x1, kRealNoValue);
        } else {
            std::memset(job.planes[p].rows[k] + x0, kNoValue, static_cast<std::size_t>(x1 - x0));
        }
    }
}

// Centre rows [a, b) of the square window, strip by strip: the class counts of every
// column over the window's rows, slid down a row at a time, then summed along the row by
// the kernel. Counts are laid out class by class (`pitch` columns each).
template <class T, class RowDone>
void square_band(const Job& job, Worker& w, std::vector<T>& counts, std::vector<T>& prefix,
                 int a, int b, const RowDone& row_done) {
    const int R = job.R, m = job.m, cols = job.map.nb_col;
    const std::size_t pitch = job.pitch, lanes = job.code_of.size();
    prefix.assign(lanes * pitch, 0);
    for (int u0 = 0; u0 < job.count; u0 += job.strip) {
        const int n = std::min(job.strip, job.count - u0);
        const int width = n + m - 1;
        const int left = job.j0 + u0 - R;  // map column of counts column 0
        const int xa = std::max(0, -left), xb = std::min(width, cols - left);
        counts.assign(lanes * pitch, 0);
        T* cnt = counts.data();
        auto take = [&](int y, int sign) {
            if (y < 0 || y >= job.map.nb_lig) return;
            const unsigned char* row = job.map.tab_in[y] + left;
            for (int x = xa; x < xb; ++x) cnt[job.lane_of[row[x]] * pitch + static_cast<std::size_t>(x)] += static_cast<T>(sign);
        };
        for (int y = a - R; y <= a + R; ++y) take(y, 1);
        kernels::SquareStats<T> s;
        s.counts = cnt;
        s.pitch = pitch;
        s.lanes = lanes;
        s.centres = static_cast<std::size_t>(n);
        s.m = static_cast<std::size_t>(m);
        s.prefix = prefix.data();
        s.fx = job.fx.data();
        s.div = w.div.data();
        s.largest = w.largest.data();
        s.blank = w.lane0.data();
        s.n = w.n.data();
        s.sumsq = job.want_sums ? w.sumsq.data() : nullptr;
        s.sumfx = w.sumfx.data();
        s.first = job.want_first ? w.first.data() : nullptr;
        s.share_lane = job.share_lane.data();
        s.shares = job.share_lane.size();
        s.share = w.share_rows.data();
        for (int i = a; i < b; ++i) {
            if (i > a) {
                take(i - R - 1, -1);
                take(i + R, 1);
            }
            kernels::square_stats(s);
            write_row(job, w, i, job.j0 + u0, n);
            if (u0 + n >= job.count) row_done(i);
        }
    }
}

// The sums the metrics take of the windows at lanes 0 .. n - 1 from the counts per class
// (class c at sums[c * stride + t]) and the largest counts.
void circle_sums(const Job& job, Worker& w, const std::uint16_t* sums, std::size_t stride, int n) {
    const std::size_t cnt = static_cast<std::size_t>(n);
    for (std::size_t t = 0; t < cnt; ++t) w.largest[t] = w.largest16[t];
    kernels::ClassSums s;
    s.sums = sums;
    s.stride = stride;
    s.classes = job.code_of.size() - 1;
    s.count = cnt;
    s.largest = w.largest16.data();
    s.fx = job.fx.data();
    s.fx_size = job.fx.size();
    s.n = w.n.data();
    s.sumsq = job.want_sums ? w.sumsq.data() : nullptr;
    s.sumfx = w.sumfx.data();
    s.first = job.want_first ? w.first.data() : nullptr;
    kernels::class_sums(s);
    for (std::size_t k = 0; k < job.share_lane.size(); ++k) {
        const std::uint16_t* c = sums + (job.share_lane[k] - 1u) * stride;
        for (std::size_t t = 0; t < cnt; ++t) w.share[k][t] = c[t];
    }
}

// Centre rows [a, b) of the circle, strip by strip: from an empty window above the band
// (the rows above read as holding no class), each step down takes out the top pixel of
// every vertical run of the mask and puts in the pixel below its bottom, for every
// centre of the strip at once. Rows are kept widened by R columns of no class on each
// side in a ring, so that windows past the map's edge read no class there.
template <class RowDone>
void circle_band(const Job& job, Worker& w, int a, int b, const RowDone& row_done) {
    const int R = job.R, m = job.m, cols = job.map.nb_col;
    const std::size_t runs = job.runs.size();
    const std::size_t classes = job.code_of.size() - 1;
    const std::size_t width = static_cast<std::size_t>(cols) + 2 * R + job.lanes + 1;
    const int slots = m + 2;
    w.ring.assign(static_cast<std::size_t>(slots), std::vector<unsigned char>(width, kNoValue));
    w.blank.assign(width, kNoValue);
    std::vector<int> held(static_cast<std::size_t>(slots), -1);
    w.leave.resize(runs);
    w.enter.resize(runs);
    const int top_read = a - R;
    auto line = [&](int y) -> const unsigned char* {
        if (y < top_read || y < 0 || y >= job.map.nb_lig) return w.blank.data();
        const std::size_t slot = static_cast<std::size_t>(y % slots);
        if (held[slot] != y) {
            std::memcpy(w.ring[slot].data() + R, job.map.tab_in[y], static_cast<std::size_t>(cols));
            held[slot] = y;
        }
        return w.ring[slot].data();
    };
    for (int u0 = 0; u0 < job.count; u0 += job.strip) {
        const int n = std::min(job.strip, job.count - u0);
        const std::size_t lanes = (static_cast<std::size_t>(n) + job.lanes - 1) / job.lanes * job.lanes;
        w.sums16.assign(classes * lanes, 0);
        kernels::StepDown step;
        step.changes = runs;
        step.codes = job.code_of.data() + 1;
        step.classes = classes;
        step.stride = lanes;
        step.lanes = lanes;
        step.sums = w.sums16.data();
        step.leave = w.leave.data();
        step.enter = w.enter.data();
        // Padded column of the window of centre j0 + u0 (mask column 0).
        const int base = job.j0 + u0;
        for (int i = a - m; i < b - 1; ++i) {
            for (std::size_t r = 0; r < runs; ++r) {
                const ColumnRun& cr = job.runs[r];
                w.leave[r] = line(i - R + cr.top) + base + cr.c;
                w.enter[r] = line(i + 1 - R + cr.bottom) + base + cr.c;
            }
            const bool values = i + 1 >= a;
            step.div = values ? w.div.data() : nullptr;
            step.largest = values ? w.largest16.data() : nullptr;
            kernels::step_down(step);
            if (!values) continue;
            circle_sums(job, w, w.sums16.data(), lanes, n);
            write_row(job, w, i + 1, base, n);
            if (u0 + n >= job.count) row_done(i + 1);
        }
    }
}

std::vector<ColumnRun> column_runs(const Window& win, int R) {
    std::vector<ColumnRun> runs;
    const int m = 2 * R + 1;
    for (int c = 0; c < m; ++c)
        for (int r = 0; r < m;) {
            if (win.tab_rad[r][c] != 1) {
                ++r;
                continue;
            }
            const int top = r;
            while (r < m && win.tab_rad[r][c] == 1) ++r;
            runs.push_back({c, top, r - 1});
        }
    return runs;
}

// The lanes, the tables and the strips of a scan.
void plan(Job& job, const Inventory& inv, const Shape& shape) {
    job.R = shape.rw;
    job.m = 2 * job.R + 1;
    job.circle = shape.win_shape != 0;
    job.code_of.assign(1, kNoValue);
    for (int code = 0; code < 255; ++code)
        for (int k = 1; k <= inv.num_item; ++k)
            if (inv.number_item[k] == code) {
                job.lane_of[code] = static_cast<unsigned char>(job.code_of.size());
                job.code_of.push_back(static_cast<unsigned char>(code));
                break;
            }
    for (const Metric& m : job.ms) {
        if (m.id == Id::Dominant) job.want_first = true;
        if (m.type() == Type::Real) job.want_sums = true;
        if (m.id == Id::Share && job.lane_of[m.code] != 0) job.share_lane.push_back(job.lane_of[m.code]);
    }
    if (job.circle) {
        job.runs = column_runs(job.win, job.R);
        for (const ColumnRun& r : job.runs) job.pixels += r.bottom - r.top + 1;
    } else {
        job.pixels = static_cast<long long>(job.m) * job.m;
    }
    const int bits = values::fixed_bits(job.win.surf_tot);
    job.scale = std::ldexp(1.0, -bits);
    const std::size_t size = static_cast<std::size_t>(job.pixels) + 1;
    job.fx.resize(size);
    job.ln.resize(size);
    job.pct_surface.resize(size);
    for (std::size_t c = 0; c < size; ++c) {
        const auto cc = static_cast<std::int64_t>(c);
        job.fx[c] = values::fixed_clnc(cc, bits);
        job.ln[c] = std::log(static_cast<double>(c));
        job.pct_surface[c] = values::percent_of(cc, job.win.surf_tot);
    }
    // The evenness of a window of one class (or none) is 0: ln d taken as 0 there.
    for (int d = 2; d < 256; ++d) job.ln_div[d] = std::log(static_cast<double>(d));
    // The rule's test grows with n: its first passing count, past every window when none.
    job.need = static_cast<std::uint32_t>(size);
    for (std::size_t c = 0; c < size; ++c)
        if (values::enough(job.rule, static_cast<std::int64_t>(c), job.win.surf_tot)) {
            job.need = static_cast<std::uint32_t>(c);
            break;
        }
    const int cols = job.map.nb_col;
    job.j0 = job.rule.on() ? 0 : job.R;
    job.count = job.rule.on() ? cols : std::max(0, cols - 2 * job.R);
    // Strips bounded so that the counts of a worker stay within a few MiB.
    constexpr std::size_t kStripBytes = std::size_t{8} << 20;
    if (job.circle) {
        job.lanes = kernels::byte_lanes();
        const std::size_t per_column = std::max<std::size_t>(job.code_of.size(), 2) * 2;
        job.strip = static_cast<int>(std::min<long long>(
            job.count, std::max<long long>(static_cast<long long>(kStripBytes / per_column), 1024)));
    } else {
        // The counts and their running sums of a strip within the processor's second-level
        // cache.
        constexpr std::size_t kSquareBytes = std::size_t{512} << 10;
        job.wide = job.pixels > 65535;
        const std::size_t per_column = job.code_of.size() * (job.wide ? 4 : 2) * 2;
        const long long fit = static_cast<long long>(kSquareBytes / per_column) - (job.m - 1);
        job.strip = static_cast<int>(std::min<long long>(job.count, std::max({fit, 4LL * job.m, 1024LL})));
        const std::size_t pad = kernels::square_pad();
        job.pitch = (static_cast<std::size_t>(job.strip + job.m) + 2 * pad + pad - 1) / pad * pad;
    }
}

}  // namespace

bool takes(const Window& win, const Shape& shape) {
    if (shape.treat_type == 0 || shape.rw < 0) return false;
    const long long m = 2LL * shape.rw + 1;
    if (shape.win_shape == 0) return m * m <= kMaxPixels;
    if (!win.tab_rad || win.nb != m) return false;
    long long pixels = 0;
    for (int r = 0; r < m; ++r)
        for (int c = 0; c < m; ++c) pixels += win.tab_rad[r][c] == 1;
    // The circle's counts are 16-bit.
    return pixels > 0 && pixels <= 65535;
}

ScanCounts window_scan(const LoadedMap& map, const Inventory& inv, const Window& win,
                       const Shape& shape, const Rule& rule, const std::vector<Metric>& ms,
                       int r0, int r1, std::vector<Plane>& planes, int workers,
                       const Progress& progress) {
    ScanCounts total;
    Job job(map, win, rule, ms, planes);
    job.r0 = r0;
    plan(job, inv, shape);
    // The rows whose windows are evaluated: all, or those whose window fits the map.
    const int a = rule.on() ? r0 : std::max(r0, job.R);
    const int b = rule.on() ? r1 : std::min(r1, map.nb_lig - job.R);
    const int rows = r1 - r0;
    const bool any = job.count > 0 && a < b;
    workers = std::clamp(workers, 1, std::max(rows, 1));
    // Bands tall enough that starting one (counting its first window) stays a small share
    // of its work, and a few per worker so that the workers end together.
    const int bands = std::clamp(rows / std::max(2 * job.m, 1), std::min(workers, rows), 2 * workers);
    const int band = (rows - 1) / std::max(bands, 1) + 1;
    std::vector<Worker> ws(static_cast<std::size_t>(workers));
    for (Worker& w : ws) size_worker(job, w);
    const auto work = [&](int first, int last, int worker, const auto& row_done) {
        Worker& w = ws[static_cast<std::size_t>(worker)];
        const int lo = r0 + first, hi = r0 + last;
        const int fa = std::max(lo, a), fb = std::min(hi, b);
        const auto blank = [&](int i) {
            no_value(job, i - r0, 0, map.nb_col);
            row_done(i - r0);
        };
        // Rows of the band without windows are done at once.
        if (!any || fa >= fb) {
            for (int i = lo; i < hi; ++i) blank(i);
            return;
        }
        for (int i = lo; i < fa; ++i) blank(i);
        const auto done = [&](int i) {
            no_value(job, i - r0, 0, job.j0);
            no_value(job, i - r0, job.j0 + job.count, map.nb_col);
            row_done(i - r0);
        };
        if (job.circle)
            circle_band(job, w, fa, fb, done);
        else if (job.wide)
            square_band(job, w, w.counts32, w.sums32, fa, fb, done);
        else
            square_band(job, w, w.counts16, w.sums16, fa, fb, done);
        for (int i = fb; i < hi; ++i) blank(i);
    };
    const auto report = [&](int row) {
        if (!progress || progress(r0 + row, map.nb_lig)) return true;
        total.cancelled = true;
        return false;
    };
    scan_bands::share_bands(rows, band, workers, work, report);
    for (const Worker& w : ws) total.add(w.found);
    return total;
}

}  // namespace metrics::fast
