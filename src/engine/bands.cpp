#include "engine/bands.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <cstring>
#include <vector>

#include "analysis/fast_scan.h"
#include "analysis/scans.h"
#include "raster/inventory.h"
#include "window/shapes.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max, not the macros
#endif
#include <windows.h>
#elif defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace engine {

namespace {

int workers(const BandJob& job) {
    return job.threads > 0 ? job.threads : fast_scan_threads();
}

// What the scan's workers keep: per worker the item counts of a window of m x m pixels
// and the runs of its rows.
long long scan_bytes(const BandJob& job) {
    const long long m = 2LL * std::max(job.range_win, 0) + 1;
    return static_cast<long long>(workers(job)) * ((m * m + 1) * 3 + m * 300 + 4096);
}

}  // namespace

long long physical_memory() {
#if defined(_WIN32)
    MEMORYSTATUSEX m;
    m.dwLength = sizeof m;
    return GlobalMemoryStatusEx(&m) ? static_cast<long long>(m.ullTotalPhys) : 0;
#elif defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
    const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
    return pages > 0 && size > 0 ? static_cast<long long>(pages) * size : 0;
#else
    return 0;
#endif
}

long long fixed_bytes(int nb_col) {
    // File buffers and the ASCII grid reader's block, a row of text or of bitmap padding.
    return (4LL << 20) + 8LL * nb_col;
}

BandPlan plan_bands_of(int nb_lig, const BandJob& job, int h) {
    BandPlan p;
    p.nb_lig = std::max(nb_lig, 0);
    const bool moving = window_shape(job.treat_type, job.win_shape).moving;
    p.halo = moving ? std::max(job.range_win, 0) : 0;
    h = std::max(h, 1);
    // A band that holds the whole map is the whole map, whatever the mesh.
    if (!moving && h < p.nb_lig) {
        const long long m = 2LL * std::max(job.range_win, 0) + 1;
        const long long cells = std::max<long long>(h / m, 1);
        h = static_cast<int>(std::min<long long>(cells * m, std::max(p.nb_lig, 1)));
    }
    p.h = std::min(h, std::max(p.nb_lig, 1));
    p.bands = static_cast<int>((static_cast<long long>(p.nb_lig) + p.h - 1) / p.h);
    return p;
}

int BandJob::result_bytes() const {
    if (!counts()) return 2;
    int bytes = 0;
    for (const metrics::Metric& m : metrics) bytes += m.type() == metrics::Type::Real ? 4 : 1;
    return bytes;
}

BandPlan plan_bands(int nb_lig, int nb_col, const BandJob& job, long long budget_bytes) {
    // The ring's byte and the result bytes of every pixel of a row.
    const long long per_row = (1LL + job.result_bytes()) * std::max(nb_col, 1);
    const long long room = budget_bytes - fixed_bytes(nb_col) - scan_bytes(job);
    const int halo =
        window_shape(job.treat_type, job.win_shape).moving ? std::max(job.range_win, 0) : 0;
    const long long rows = room / per_row - 2LL * halo;
    const long long h = std::clamp<long long>(rows, 1, std::max(nb_lig, 1));
    return plan_bands_of(nb_lig, job, static_cast<int>(h));
}

Status take_inventory(RowSource& src, const BandPlan& plan, Inventory& inv,
                      const Progress& progress) {
    const MapInfo& info = src.info();
    inv = Inventory{};
    const int chunk = std::max(1, std::min({plan.h, info.nb_lig, rows_per_read(info.nb_col)}));
    ByteGrid rows(ucmatrice(info.nb_col, chunk), chunk);
    if (!rows) return Status::out_of_memory();
    std::int64_t counts[256] = {};
    for (int y = 0; y < info.nb_lig; y += chunk) {
        const int n = std::min(chunk, info.nb_lig - y);
        Status st = src.read(y, n, rows.get());
        if (!st.ok()) return st;
        for (int k = 0; k < n; ++k) {
            const unsigned char* row = rows[k];
            for (int j = 0; j < info.nb_col; ++j) ++counts[row[j]];
        }
        if (progress && !progress(y + n - 1, info.nb_lig)) return Status::cancelled();
    }
    std::copy(std::begin(counts), std::end(counts), inv.hist_explor);
    number_items(inv);
    return {};
}

void PlaneStats::add(const PlaneStats& o) {
    for (int v = 0; v < 256; ++v) histogram[v] += o.histogram[v];
    if (o.values > 0) {
        min = values > 0 ? std::min(min, o.min) : o.min;
        max = values > 0 ? std::max(max, o.max) : o.max;
    }
    values += o.values;
    sum_fixed += o.sum_fixed;
}

double PlaneStats::mean() const {
    return values > 0 ? std::ldexp(static_cast<double>(sum_fixed), -24) / values : 0.0;
}

PlaneStats plane_stats(metrics::Type type, const unsigned char* const* rows, int n, int nb_col) {
    PlaneStats s;
    for (int k = 0; k < n; ++k) {
        if (type == metrics::Type::Byte) {
            for (int j = 0; j < nb_col; ++j) ++s.histogram[rows[k][j]];
            continue;
        }
        const float* row = reinterpret_cast<const float*>(rows[k]);
        for (int j = 0; j < nb_col; ++j) {
            const float v = row[j];
            if (v == metrics::kRealNoValue) continue;
            s.min = s.values > 0 ? std::min<double>(s.min, v) : v;
            s.max = s.values > 0 ? std::max<double>(s.max, v) : v;
            ++s.values;
            s.sum_fixed += std::llround(std::ldexp(static_cast<double>(v), 24));
        }
    }
    return s;
}

void DiversityTotals::add(const DiversityTotals& o) {
    for (int v = 0; v < 260; ++v) histo_div[v] += o.histo_div[v];
    max_histo = std::max(max_histo, o.max_histo);
    if (planes.size() < o.planes.size()) planes.resize(o.planes.size());
    for (std::size_t p = 0; p < o.planes.size(); ++p) planes[p].add(o.planes[p]);
    windows.add(o.windows);
}

BandTreatment::BandTreatment(const MapInfo& info, const Inventory& inv, const Window& win,
                             const BandJob& job, const BandPlan& plan)
    : info_(info), inv_(inv), win_(win), job_(job), plan_(plan) {
    totals_.planes.resize(job_.metrics.size());
}

const unsigned char* const* BandTreatment::rows(std::size_t p) const {
    if (!job_.counts()) return p == 0 ? div_rows_ : homo_rows_;
    return planes_[p].rows.data();
}

Status BandTreatment::allocate() {
    const long long cap =
        std::min<long long>(static_cast<long long>(plan_.h) + 2LL * plan_.halo, info_.nb_lig);
    const int lines = static_cast<int>(std::max<long long>(cap, 1));
    view_ = LoadedMap{};
    view_.nb_col = info_.nb_col;
    view_.dpix_size = info_.dpix_size;
    view_.tab_in = ByteGrid(ucmatrice(info_.nb_col, lines), lines);
    if (!view_.tab_in) return Status::out_of_memory();
    if (job_.counts()) {
        // One plane of result rows per metric, for the rows of a band only.
        const std::size_t cols = static_cast<std::size_t>(std::max(info_.nb_col, 1));
        const int h = std::max(plan_.h, 1);
        planes_.assign(job_.metrics.size(), {});
        plane_store_.assign(job_.metrics.size(), {});
        try {
            for (std::size_t p = 0; p < planes_.size(); ++p) {
                const metrics::Type type = job_.metrics[p].type();
                const std::size_t row_bytes = cols * (type == metrics::Type::Real ? 4 : 1);
                plane_store_[p].resize(row_bytes * static_cast<std::size_t>(h));
                planes_[p].type = type;
                for (int k = 0; k < h; ++k)
                    planes_[p].rows.push_back(plane_store_[p].data() + row_bytes * k);
            }
        } catch (const std::bad_alloc&) {
            return Status::out_of_memory();
        }
        held_first_ = held_end_ = 0;
        return {};
    }
    div_ = ByteGrid(ucmatrice(info_.nb_col, lines), lines);
    homo_ = ByteGrid(ucmatrice(info_.nb_col, lines), lines);
    if (!div_ || !homo_) return Status::out_of_memory();
    held_first_ = held_end_ = 0;
    return {};
}

int rows_per_read(int nb_col) {
    constexpr long long kReadBytes = 4LL << 20;
    return static_cast<int>(std::clamp<long long>(kReadBytes / std::max(nb_col, 1), 1, 1 << 20));
}

Status BandTreatment::treat(int b, RowSource& src, const Progress& progress) {
    Status st = load(b, src, progress);
    if (st.ok()) st = scan(progress);
    return st;
}

Status BandTreatment::load(int b, RowSource& src, const Progress& progress) {
    y0_ = plan_.first_row(b);
    n_ = plan_.rows(b);
    const int a = std::max(0, y0_ - plan_.halo);
    const int e = static_cast<int>(
        std::min<long long>(static_cast<long long>(y0_) + n_ + plan_.halo, info_.nb_lig));
    const int lines = view_.tab_in.lines();
    unsigned char** ring = view_.tab_in.get();

    // Rows already held from the band before stay in the ring: its pointers are turned so
    // that row a comes first, and only the rows after them are read.
    int kept = 0;
    if (held_first_ <= a && a <= held_end_ && held_end_ > held_first_) {
        std::rotate(ring, ring + (a - held_first_), ring + lines);
        kept = held_end_ - a;
    }
    const int step = rows_per_read(info_.nb_col);
    for (int y = a + kept; y < e; y += step) {
        const int n = std::min(step, e - y);
        Status st = src.read(y, n, ring + (y - a));
        if (st.ok() && progress && y + n < e && !progress(y0_, info_.nb_lig))
            st = Status::cancelled();
        if (!st.ok()) {
            held_first_ = held_end_ = 0;
            return st;
        }
    }
    held_first_ = a;
    held_end_ = e;
    return {};
}

Status BandTreatment::scan(const Progress& progress) {
    const int a = held_first_;
    view_.nb_lig = held_end_ - a;
    const int o = y0_ - a;
    const metrics::Shape shape{job_.treat_type, job_.win_shape, job_.range_win};
    if (job_.counts()) {
        DiversityTotals band;
        band.planes.resize(planes_.size());
        band.windows = metrics::counts_scan(
            view_, inv_, win_, shape, job_.rule, job_.metrics, o, o + n_, planes_, job_.threads,
            [&](int row, int) { return !progress || progress(a + row, info_.nb_lig); });
        if (band.windows.cancelled) return Status::cancelled();
        for (std::size_t p = 0; p < planes_.size(); ++p) {
            band.planes[p] = plane_stats(planes_[p].type, planes_[p].rows.data(), n_, info_.nb_col);
            if (job_.metrics[p].id != metrics::Id::Diversity) continue;
            for (int v = 0; v < 255; ++v) {
                band.histo_div[v] += band.planes[p].histogram[v];
                if (band.planes[p].histogram[v] > 0) band.max_histo = v;
            }
            if (job_.draw_mesh)
                draw_mesh_rows(planes_[p].rows.data(), y0_, n_, info_.nb_col, job_.range_win);
        }
        totals_.add(band);
        return {};
    }
    fill_grid(div_, view_.nb_lig, info_.nb_col, kNoValue);
    fill_grid(homo_, view_.nb_lig, info_.nb_col, kNoValue);
    bool cancelled = false;
    // The windows holding pixels of no class are counted by the scan where it can.
    UnclassifiedTally tally;
    tally.from = o;
    tally.to = o + n_;
    ScanOptions options;
    options.threads = job_.threads;
    options.tally = &tally;
    fast_scan(
        job_.treat_type, job_.win_shape, view_, inv_, win_, job_.range_win, div_, homo_,
        [&](int row, int) {
            if (!progress || progress(a + row, info_.nb_lig)) return true;
            cancelled = true;
            return false;
        },
        options);
    if (cancelled) return Status::cancelled();

    div_rows_ = div_.get() + o;
    homo_rows_ = homo_.get() + o;
    DiversityTotals band;
    for (int k = 0; k < n_; ++k) {
        const unsigned char* row = div_rows_[k];
        for (int j = 0; j < info_.nb_col; ++j) {
            const int val = row[j];
            if (val < kNoValue) {
                if (val > band.max_histo) band.max_histo = val;
                ++band.histo_div[val];
            }
        }
    }
    if (tally.counted) {
        band.windows.windows = tally.windows;
        band.windows.with_unclassified = tally.with_unclassified;
    } else {
        band.windows = metrics::unclassified_windows(view_, win_, shape, o, o + n_, job_.threads);
    }
    band.planes = {plane_stats(metrics::Type::Byte, div_rows_, n_, info_.nb_col),
                   plane_stats(metrics::Type::Byte, homo_rows_, n_, info_.nb_col)};
    totals_.add(band);
    if (job_.draw_mesh) draw_mesh_rows(div_.get() + o, y0_, n_, info_.nb_col, job_.range_win);
    return {};
}

Status treat_in_bands(RowSource& src, const Inventory& inv, const Window& win, const BandJob& job,
                      const BandPlan& plan, const std::vector<RowSink*>& sinks,
                      DiversityTotals& totals, const Progress& progress) {
    BandTreatment t(src.info(), inv, win, job, plan);
    Status st = t.allocate();
    if (!st.ok()) return st;
    for (int b = 0; b < plan.bands; ++b) {
        st = t.treat(b, src, progress);
        if (!st.ok()) return st;
        for (std::size_t p = 0; p < sinks.size() && p < t.outputs(); ++p) {
            st = sinks[p]->write(t.y0(), t.n(), t.rows(p));
            if (!st.ok()) return st;
        }
    }
    totals = t.totals();
    return {};
}

Status treat_in_bands(RowSource& src, const Inventory& inv, const Window& win, const BandJob& job,
                      const BandPlan& plan, RowSink& diversity, RowSink& homogeneity,
                      DiversityTotals& totals, const Progress& progress) {
    return treat_in_bands(src, inv, win, job, plan, {&diversity, &homogeneity}, totals, progress);
}

void draw_mesh_rows(unsigned char* const* rows, int y0, int n, int nb_col, int range_win) {
    const long long m = 2LL * range_win + 1;
    if (m <= 0) return;
    for (int k = 0; k < n; ++k) {
        unsigned char* row = rows[k];
        if ((static_cast<long long>(y0) + k) % m == 0) {
            std::memset(row, 0, static_cast<std::size_t>(nb_col));
            continue;
        }
        for (long long col = 0; col < nb_col; col += m) row[col] = 0;
    }
}

}  // namespace engine
