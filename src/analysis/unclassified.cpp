// The count of the windows that hold pixels of no class (255), beside a default scan.
//
// For every map column, the 255s among the window's rows are counted as the window slides
// down; a window's box holds one when a column of it does, found for all the centres of a
// row at once by OR-ing the columns' flags over spans that double. For the circle, the
// boxes that hold one are then looked at run by run of the mask, by the distance to the
// next 255 along each row. Centre rows are shared among the run's workers.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "analysis/metrics.h"
#include "analysis/row_sharing.h"

namespace metrics {

namespace {

ScanCounts mesh_cells(const LoadedMap& map, const Window& win, int r0, int r1) {
    ScanCounts found;
    const int m = win.side, cols = map.nb_col;
    if (m <= 0) return found;
    for (int ci = (r0 + m - 1) / m * m; ci < r1 && ci + m <= map.nb_lig; ci += m)
        for (int cj = 0; cj + m <= cols; cj += m) {
            ++found.windows;
            bool hit = false;
            for (int y = ci; y < ci + m && !hit; ++y)
                hit = std::memchr(map.tab_in[y] + cj, kNoValue, static_cast<std::size_t>(m));
            if (hit) ++found.with_unclassified;
        }
    return found;
}

// The moving window's centre rows [a, b), all of whose windows lie inside the map.
class Rows {
  public:
    Rows(const LoadedMap& map, const std::vector<Run>& runs, int R, bool circle)
        : map_(map), runs_(runs), R_(R), w_(2 * R + 1), cols_(map.nb_col),
          centres_(map.nb_col - 2 * R), circle_(circle) {
        count_.assign(static_cast<std::size_t>(cols_), 0);
        flag_.assign(static_cast<std::size_t>(cols_), 0);
        spread_.assign(static_cast<std::size_t>(cols_), 0);
        if (circle_) {
            right_.assign(static_cast<std::size_t>(w_) * cols_, 0);
            hit_.assign(static_cast<std::size_t>(centres_), 0);
        }
    }

    ScanCounts scan(int a, int b) {
        ScanCounts found;
        for (int y = a - R_; y < a + R_; ++y) take(y, 1);
        bool ring_ready = false;
        for (int i = a; i < b; ++i) {
            if (i > a) take(i - R_ - 1, -1);
            take(i + R_, 1);
            found.windows += centres_;
            const unsigned char* box = boxes();
            if (!circle_) {
                std::int64_t n = 0;
                for (int x = 0; x < centres_; ++x) n += box[x];
                found.with_unclassified += n;
                continue;
            }
            int first = 0, end = centres_;
            while (first < end && !box[first]) ++first;
            while (end > first && !box[end - 1]) --end;
            if (first == end) {
                ring_ready = false;
                continue;
            }
            // Some boxes hold a 255: the circle's runs, over the span of those centres.
            if (!ring_ready)
                for (int y = i - R_; y < i + R_; ++y) distances(y);
            distances(i + R_);
            ring_ready = true;
            found.with_unclassified += circle_hits(i, first, end);
        }
        return found;
    }

  private:
    // Row y enters (sign 1) or leaves (-1) the column counts of 255s.
    void take(int y, int sign) {
        const unsigned char* row = map_.tab_in[y];
        std::uint16_t* c = count_.data();
        const auto d = static_cast<std::uint16_t>(sign);
        for (int x = 0; x < cols_; ++x) c[x] = static_cast<std::uint16_t>(c[x] + (row[x] == kNoValue ? d : 0));
    }

    // For every centre, 1 when its box (2R + 1 columns from it) holds a 255: the columns'
    // flags OR-ed over spans of 1, 2, 4, ... columns, then two spans cover the box.
    const unsigned char* boxes() {
        unsigned char* f = flag_.data();
        unsigned char* g = spread_.data();
        const std::uint16_t* c = count_.data();
        for (int x = 0; x < cols_; ++x) f[x] = c[x] != 0;
        int span = 1;
        while (2 * span <= w_) {
            const int n = cols_ - 2 * span + 1;
            for (int x = 0; x < n; ++x) g[x] = f[x] | f[x + span];
            std::swap(f, g);
            span *= 2;
        }
        const int shift = w_ - span;
        for (int x = 0; x < centres_; ++x) g[x] = f[x] | f[x + shift];
        return g;
    }

    unsigned char* right_row(int y) { return right_.data() + static_cast<std::size_t>(y % w_) * cols_; }

    // Distances to the next 255 along row y (255: none within 254).
    void distances(int y) {
        unsigned char* d = right_row(y);
        const unsigned char* row = map_.tab_in[y];
        int dist = 255;
        for (int x = cols_ - 1; x >= 0; --x) {
            dist = row[x] == kNoValue ? 0 : std::min(255, dist + 1);
            d[x] = static_cast<unsigned char>(dist);
        }
    }

    // The circles centred on row i, columns first .. end - 1 (from R), that hold a 255: a
    // run of pixels holds one when the distance at its first pixel is within its length.
    std::int64_t circle_hits(int i, int first, int end) {
        unsigned char* __restrict h = hit_.data();
        std::fill(h + first, h + end, 0);
        for (const Run& run : runs_) {
            const unsigned char* d = right_row(i + run.dy);
            // Runs longer than the distances reach are looked at in pieces.
            for (int l = run.l0; l <= run.l1; l += 255) {
                const auto reach = static_cast<unsigned char>(std::min(run.l1 - l, 254));
                const unsigned char* __restrict p = d + R_ + l;
                for (int x = first; x < end; ++x) h[x] |= p[x] <= reach;
            }
        }
        std::int64_t n = 0;
        for (int x = first; x < end; ++x) n += h[x];
        return n;
    }

    const LoadedMap& map_;
    const std::vector<Run>& runs_;
    int R_, w_, cols_, centres_;
    bool circle_;
    std::vector<std::uint16_t> count_;
    std::vector<unsigned char> flag_, spread_, right_, hit_;
};

}  // namespace

ScanCounts unclassified_windows(const LoadedMap& map, const Window& win, const Shape& shape,
                                int r0, int r1, int threads) {
    if (shape.treat_type == 0) return mesh_cells(map, win, r0, r1);
    ScanCounts found;
    const std::vector<Run> runs = window_runs(win, shape);
    const int R = shape.rw;
    const int a = std::max(r0, R), b = std::min(r1, map.nb_lig - R);
    if (runs.empty() || a >= b || map.nb_col < 2 * R + 1) return found;
    // Centre rows shared among the run's workers; the counts add up whatever the cut.
    const long long work = static_cast<long long>(b - a) * map.nb_col;
    std::mutex lock;
    share_rows(a, b, workers_for(threads, work), [&](int wa, int wb) {
        const ScanCounts got = Rows(map, runs, R, shape.win_shape != 0).scan(wa, wb);
        const std::lock_guard<std::mutex> hold(lock);
        found.add(got);
    });
    return found;
}

}  // namespace metrics
