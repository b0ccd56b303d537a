#include "analysis/metrics.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>

#include "analysis/fast_scan.h"
#include "analysis/metrics_fast.h"
#include "analysis/row_sharing.h"
#include "text/catalogue.h"
#include "window/geometry.h"

namespace metrics {

namespace {

const std::vector<Row> kTable = {
    {"diversity", Id::Diversity, Type::Byte, 255, "diversity", "number of classes in the window"},
    {"homogeneity", Id::Homogeneity, Type::Byte, 255, "homog",
     "percent of the window covered by its largest class"},
    {"shannon", Id::Shannon, Type::Real, -1, "shannon",
     "Shannon's diversity: -sum p ln p of the class shares"},
    {"simpson", Id::Simpson, Type::Real, -1, "simpson",
     "Simpson's diversity: 1 - sum p^2 of the class shares"},
    {"evenness", Id::Evenness, Type::Real, -1, "evenness",
     "Shannon's evenness: Shannon's diversity / ln(number of classes)"},
    {"dominant", Id::Dominant, Type::Byte, 255, "dominant",
     "code of the class with the largest count (the lowest code on a tie)"},
    {"share", Id::Share, Type::Byte, 255, "share", "percent of the window covered by class "},
};

std::string known_list() {
    std::string s;
    for (const Row& r : kTable) {
        if (!s.empty()) s += ", ";
        s += r.name;
        if (r.id == Id::Share) s += ":CODE";
    }
    return s;
}

using values::enough;
using values::fixed_clnc;
using values::percent_of;

// The counts of one window, with the sums the metrics take, kept as pixels come and go.
class Counter {
  public:
    Counter(const Inventory& inv, int surface, bool sums) : sums_(sums) {
        std::fill(std::begin(slot_), std::end(slot_), -1);
        for (int k = 1; k <= inv.num_item; ++k) {
            const int code = inv.number_item[k];
            if (code >= 0 && code < 255) {
                slot_[code] = static_cast<int>(codes_.size());
                codes_.push_back(code);
            }
        }
        count_.assign(codes_.size(), 0);
        bits_ = values::fixed_bits(surface);
        if (sums_) {
            const int n = std::min(surface, 1 << 20) + 1;
            step_.resize(static_cast<std::size_t>(n));
            std::int64_t before = 0;
            for (int c = 1; c < n; ++c) {
                const std::int64_t now = fixed_clnc(c, bits_);
                step_[c] = now - before;
                before = now;
            }
        }
    }

    void clear() {
        std::fill(count_.begin(), count_.end(), 0);
        n = div = maxc = nmax = 0;
        sumsq = sumfx = 0;
    }

    void add(unsigned char v) {
        const int s = slot_[v];
        if (s < 0) return;
        const std::int32_t c = ++count_[s];
        ++n;
        if (c == 1) ++div;
        if (sums_) {
            sumsq += 2LL * c - 1;
            sumfx += step(c);
        }
        if (c > maxc) {
            maxc = c;
            nmax = 1;
        } else if (c == maxc) {
            ++nmax;
        }
    }

    void remove(unsigned char v) {
        const int s = slot_[v];
        if (s < 0) return;
        const std::int32_t c = count_[s]--;
        --n;
        if (c == 1) --div;
        if (sums_) {
            sumsq -= 2LL * c - 1;
            sumfx -= step(c);
        }
        if (c == maxc && --nmax == 0) rescan_max();
    }

    // The lowest code among the classes of the largest count.
    int dominant() const {
        for (std::size_t s = 0; s < count_.size(); ++s)
            if (count_[s] == maxc) return codes_[s];
        return 255;
    }
    std::int32_t count_of(int code) const {
        const int s = code >= 0 && code < 256 ? slot_[code] : -1;
        return s < 0 ? 0 : count_[s];
    }
    // Shannon's H = ln n - (sum c ln c) / n.
    double shannon() const {
        return std::log(static_cast<double>(n)) -
               std::ldexp(static_cast<double>(sumfx), -bits_) / n;
    }

    std::int64_t n = 0;
    int div = 0;
    std::int32_t maxc = 0;
    int nmax = 0;
    std::int64_t sumsq = 0;
    std::int64_t sumfx = 0;

  private:
    std::int64_t step(std::int32_t c) const {
        if (static_cast<std::size_t>(c) < step_.size()) return step_[c];
        return fixed_clnc(c, bits_) - fixed_clnc(c - 1, bits_);
    }
    void rescan_max() {
        maxc = 0;
        nmax = 0;
        for (std::int32_t c : count_) {
            if (c > maxc) {
                maxc = c;
                nmax = 1;
            } else if (c == maxc && c > 0) {
                ++nmax;
            }
        }
    }

    bool sums_;
    int slot_[256];
    std::vector<int> codes_;
    std::vector<std::int32_t> count_;
    std::vector<std::int64_t> step_;
    int bits_ = 32;
};

// Writes the values of one window into the planes at (row k of the planes, column j);
// `valid` false: the no-value mark.
class Writer {
  public:
    Writer(const std::vector<Metric>& ms, std::vector<Plane>& planes, const Rule& rule, int surface)
        : ms_(ms), planes_(planes), rule_(rule), surface_(surface) {}

    void put(const Counter& c, bool valid, int k, int j) const {
        for (std::size_t p = 0; p < ms_.size(); ++p) {
            const Metric& m = ms_[p];
            if (m.type() == Type::Real) {
                float* row = reinterpret_cast<float*>(planes_[p].rows[k]);
                row[j] = valid && c.n > 0 ? real(m.id, c) : kRealNoValue;
            } else {
                planes_[p].rows[k][j] = valid ? byte(m, c) : kNoValue;
            }
        }
    }

  private:
    float real(Id id, const Counter& c) const {
        switch (id) {
            case Id::Shannon:
                return static_cast<float>(std::max(0.0, c.shannon()));
            case Id::Simpson: {
                const double n = static_cast<double>(c.n);
                return static_cast<float>(1.0 - static_cast<double>(c.sumsq) / (n * n));
            }
            default:  // evenness
                if (c.div <= 1) return 0.0f;
                return static_cast<float>(std::max(0.0, c.shannon()) /
                                          std::log(static_cast<double>(c.div)));
        }
    }
    unsigned char byte(const Metric& m, const Counter& c) const {
        const std::int64_t whole = rule_.on() ? c.n : surface_;
        switch (m.id) {
            case Id::Diversity:
                return static_cast<unsigned char>(c.div);
            case Id::Homogeneity:
                return percent_of(c.maxc, whole);
            case Id::Dominant:
                return c.n > 0 ? static_cast<unsigned char>(c.dominant()) : kNoValue;
            default:  // share
                return percent_of(c.count_of(m.code), whole);
        }
    }

    const std::vector<Metric>& ms_;
    std::vector<Plane>& planes_;
    const Rule& rule_;
    int surface_;
};

bool wants_sums(const std::vector<Metric>& ms) {
    for (const Metric& m : ms)
        if (m.type() == Type::Real) return true;
    return false;
}

void fill_planes(std::vector<Plane>& planes, int rows, int cols) {
    for (Plane& p : planes)
        for (int k = 0; k < rows; ++k) {
            if (p.type == Type::Real) {
                float* row = reinterpret_cast<float*>(p.rows[k]);
                std::fill(row, row + cols, kRealNoValue);
            } else {
                std::memset(p.rows[k], kNoValue, static_cast<std::size_t>(cols));
            }
        }
}

// The moving window along centre rows [a, b).
ScanCounts window_rows(const LoadedMap& map, const Inventory& inv, const Window& win,
                       const std::vector<Run>& runs, int R, const Rule& rule,
                       const std::vector<Metric>& ms, int r0, int a, int b,
                       std::vector<Plane>& planes) {
    ScanCounts found;
    const int cols = map.nb_col;
    Counter c(inv, win.surf_tot, wants_sums(ms));
    const Writer out(ms, planes, rule, win.surf_tot);
    std::vector<const unsigned char*> line(runs.size());
    for (int i = a; i < b; ++i) {
        int j0 = 0, j1 = cols - 1;
        if (!rule.on()) {
            if (i - R < 0 || i + R >= map.nb_lig || runs.empty()) continue;
            j0 = R;
            j1 = cols - 1 - R;
        }
        if (j0 > j1) continue;
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const int y = i + runs[r].dy;
            line[r] = y >= 0 && y < map.nb_lig ? map.tab_in[y] : nullptr;
        }
        const unsigned char* own = map.tab_in[i];
        c.clear();
        for (std::size_t r = 0; r < runs.size(); ++r) {
            if (!line[r]) continue;
            const int x0 = std::max(0, j0 + runs[r].l0), x1 = std::min(cols - 1, j0 + runs[r].l1);
            for (int x = x0; x <= x1; ++x) c.add(line[r][x]);
        }
        for (int j = j0;; ++j) {
            if (!rule.on()) {
                ++found.windows;
                if (c.n < win.surf_tot) ++found.with_unclassified;
                out.put(c, true, i - r0, j);
            } else if (own[j] != kNoValue) {
                const bool valid = enough(rule, c.n, win.surf_tot);
                if (valid) {
                    ++found.windows;
                    if (c.n < win.surf_tot) ++found.with_unclassified;
                }
                out.put(c, valid, i - r0, j);
            }
            if (j == j1) break;
            // One column to the right: the first pixel of every run leaves, the one past
            // its end comes in.
            // Where both are of the same class (most often, in patches) nothing changes.
            for (std::size_t r = 0; r < runs.size(); ++r) {
                const unsigned char* row = line[r];
                if (!row) continue;
                const int out_x = j + runs[r].l0, in_x = j + 1 + runs[r].l1;
                const bool out_in = out_x >= 0 && out_x < cols, in_in = in_x >= 0 && in_x < cols;
                if (out_in && in_in && row[out_x] == row[in_x]) continue;
                if (out_in) c.remove(row[out_x]);
                if (in_in) c.add(row[in_x]);
            }
        }
    }
    return found;
}

// The cells of the mesh whose top rows are in [a, b) (multiples of m).
ScanCounts mesh_rows(const LoadedMap& map, const Inventory& inv, const Window& win,
                     const Rule& rule, const std::vector<Metric>& ms, int r0, int r1, int a, int b,
                     std::vector<Plane>& planes) {
    ScanCounts found;
    const int m = win.side;
    Counter c(inv, win.surf_tot, wants_sums(ms));
    const Writer out(ms, planes, rule, win.surf_tot);
    for (int ci = a; ci < b; ci += m) {
        const int ce = std::min(map.nb_lig, ci + m);
        if (!rule.on() && ce - ci < m) continue;
        for (int cj = 0; cj < map.nb_col; cj += m) {
            const int je = std::min(map.nb_col, cj + m);
            if (!rule.on() && je - cj < m) continue;
            c.clear();
            for (int y = ci; y < ce; ++y)
                for (int x = cj; x < je; ++x) c.add(map.tab_in[y][x]);
            const bool valid = !rule.on() || enough(rule, c.n, win.surf_tot);
            if (valid) {
                ++found.windows;
                if (c.n < win.surf_tot) ++found.with_unclassified;
            }
            for (int y = std::max(ci, r0); y < std::min(ce, r1); ++y)
                for (int x = cj; x < je; ++x)
                    if (!rule.on() || map.tab_in[y][x] != kNoValue) out.put(c, valid, y - r0, x);
        }
    }
    return found;
}

}  // namespace

std::vector<Run> window_runs(const Window& win, const Shape& shape) {
    std::vector<Run> runs;
    const int R = shape.rw;
    if (shape.win_shape == 0) {
        for (int dy = -R; dy <= R; ++dy) runs.push_back({dy, -R, R});
        return runs;
    }
    if (!win.tab_rad || win.nb != 2 * R + 1) return runs;
    for (int k = 0; k < win.nb; ++k) {
        const unsigned char* m = win.tab_rad[k];
        for (int l = 0; l < win.nb;) {
            if (m[l] != 1) {
                ++l;
                continue;
            }
            int e = l;
            while (e + 1 < win.nb && m[e + 1] == 1) ++e;
            runs.push_back({k - R, l - R, e - R});
            l = e + 1;
        }
    }
    return runs;
}

const std::vector<Row>& table() { return kTable; }

const Row& row(Id id) {
    for (const Row& r : kTable)
        if (r.id == id) return r;
    return kTable.front();
}

std::string Metric::name() const {
    return id == Id::Share ? "share:" + std::to_string(code) : info().name;
}

std::string Metric::suffix() const {
    return id == Id::Share ? "share" + std::to_string(code) : info().suffix;
}

std::vector<std::string> default_names() { return {"diversity", "homogeneity"}; }

Status parse(const std::vector<std::string>& names, std::vector<Metric>& out) {
    out.clear();
    for (const std::string& name : names) {
        Metric m;
        bool known = false;
        const std::size_t colon = name.find(':');
        const std::string head = name.substr(0, colon);
        for (const Row& r : kTable) {
            if (head != r.name) continue;
            if ((r.id == Id::Share) != (colon != std::string::npos)) break;
            m.id = r.id;
            known = true;
        }
        if (known && m.id == Id::Share) {
            const std::string code = name.substr(colon + 1);
            const bool digits = !code.empty() && code.size() <= 3 &&
                                code.find_first_not_of("0123456789") == std::string::npos;
            m.code = digits ? std::stoi(code) : -1;
            if (m.code < 0 || m.code > 254) return Status::usage(txt::metric_share_code, {name});
        }
        if (!known) return Status::usage(txt::metric_unknown, {name, known_list()});
        if (std::find(out.begin(), out.end(), m) != out.end())
            return Status::usage(txt::metric_twice, {name});
        out.push_back(m);
    }
    if (out.empty()) return Status::usage(txt::metric_none, {known_list()});
    return Status::success();
}

bool is_default(const std::vector<Metric>& ms) {
    return ms.size() == 2 && ms[0].id == Id::Diversity && ms[1].id == Id::Homogeneity;
}

bool native(const Metric& m) { return m.id == Id::Diversity || m.id == Id::Homogeneity; }

ScanCounts counts_scan(const LoadedMap& map, const Inventory& inv, const Window& win,
                       const Shape& shape, const Rule& rule, const std::vector<Metric>& ms,
                       int r0, int r1, std::vector<Plane>& planes, int threads,
                       const Progress& progress, Method method) {
    ScanCounts total;
    if (r1 <= r0) return total;
    if (method == Method::best && fast::takes(win, shape)) {
        const long long work = static_cast<long long>(map.nb_col) * (r1 - r0) * (2LL * shape.rw + 1);
        return fast::window_scan(map, inv, win, shape, rule, ms, r0, r1, planes,
                                 workers_for(threads, work), progress);
    }
    fill_planes(planes, r1 - r0, map.nb_col);
    const std::vector<Run> runs = shape.treat_type == 0 ? std::vector<Run>{} : window_runs(win, shape);
    const long long per_row =
        static_cast<long long>(map.nb_col) * std::max<long long>(1, static_cast<long long>(runs.size()));
    const int workers = workers_for(threads, per_row * (r1 - r0));
    // Rows (rows of cells for the mesh) in chunks, shared among the workers, so that the
    // progress comes row by row on this thread between chunks.
    const int step = shape.treat_type == 0 ? std::max(win.side, 1) : 1;
    const int chunk = std::max(1, static_cast<int>(std::min<long long>(
                                      1LL << 20, std::max<long long>(workers * 4LL, (4LL << 20) / per_row))));
    std::mutex lock;
    const int first = shape.treat_type == 0 ? (r0 + step - 1) / step : r0;
    const int last = shape.treat_type == 0 ? (r1 + step - 1) / step : r1;
    for (int c0 = first; c0 < last; c0 += chunk) {
        const int c1 = std::min(last, c0 + chunk);
        share_rows(c0, c1, workers, [&](int a, int b) {
            const ScanCounts got =
                shape.treat_type == 0
                    ? mesh_rows(map, inv, win, rule, ms, r0, r1, a * step, std::min(b * step, r1),
                                planes)
                    : window_rows(map, inv, win, runs, shape.rw, rule, ms, r0, a, b, planes);
            std::lock_guard<std::mutex> hold(lock);
            total.add(got);
        });
        if (!progress) continue;
        const int y_end = std::min(r1, c1 * step);
        for (int y = c0 * step; y < y_end; ++y)
            if (!progress(y, map.nb_lig)) {
                total.cancelled = true;
                return total;
            }
    }
    return total;
}

}  // namespace metrics
