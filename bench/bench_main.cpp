// Benchmark of the treatment stage and of whole sessions.
//
//   landmosaic_bench [--size N] [--no-instructions] [--metrics-only]
//                    [--profile default|all|valid|holes SHAPE R] [path/to/landmosaic]
//
// On a map of N x N pixels (default 8000) of 20 classes in patches, for the square and
// circular windows of ranks 4, 16 and 64:
// 1. Scan times on all hardware threads: the window slid right by the runs of its rows
//    (the method of earlier versions, kept for comparison), the method the program
//    chooses, and the reference tally (every window afresh) timed on a band of centre
//    rows and scaled to the map; the ratio of the reference to the chosen method.
// 1b. The landscape metrics (square and circle, R = 16): the default run against all
//    the metrics, against the valid-pixel rule and against the default scan counting
//    the windows with pixels of no class (--metrics-only: this table alone;
//    --profile WHAT SHAPE R: one of them three times, for a profiler).
// 2. Instructions per pixel of both methods, counted by callgrind on one thread on a
//    1000 x 1000 map of the same kind (when valgrind is installed).
// 3. Whole sessions: the program run with its answers on standard input, raw map and raw
//    results; best wall time of two and the peak memory in bytes per map pixel.
//
// Timings are wall-clock times on a machine that others may be using: the load average
// is shown at the start and at the end.
#include <fcntl.h>
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#endif
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/fast_scan.h"
#include "analysis/metrics.h"
#include "analysis/kernels/kernels.h"
#include "analysis/scans.h"
#include "engine/bands.h"
#include "engine/memory_rows.h"
#include "raster/inventory.h"
#include "raster/map.h"
#include "raster/nrutil.h"
#include "dialogue/console.h"
#include "dialogue/stages.h"
#include "window/geometry.h"
#include "window/window.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kMesh = 0, kWindow = 1;
constexpr int kSquare = 0, kCircle = 1;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string load_average() {
    std::ifstream f("/proc/loadavg");
    std::string a, b, c;
    if (!(f >> a >> b >> c)) return "unknown";
    return a + " " + b + " " + c;
}

// The codes of a map of patches: the Voronoi cells of seeds laid on a jittered grid of
// `spacing` pixels, each cell one of `classes` codes; then a share `noise` of the pixels
// takes any of the codes and a share `holes` takes code 255 (no class). With `noise` =
// 1 every pixel is drawn at random.
std::vector<unsigned char> patch_codes(int nb_lig, int nb_col, int classes, int spacing,
                                       double noise, double holes, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> code(0, classes - 1);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const int gy = nb_lig / spacing + 2, gx = nb_col / spacing + 2;
    struct Seed {
        double i, j;
        unsigned char code;
    };
    // Codes spread over 0..254 so that the item numbers are not the codes themselves.
    std::vector<Seed> seeds(static_cast<std::size_t>(gy) * gx);
    for (int y = 0; y < gy; ++y)
        for (int x = 0; x < gx; ++x)
            seeds[static_cast<std::size_t>(y) * gx + x] = {
                (y + u(rng)) * spacing, (x + u(rng)) * spacing,
                static_cast<unsigned char>(code(rng) * 12 + 3)};
    std::vector<unsigned char> codes(static_cast<std::size_t>(nb_lig) * nb_col);
    for (int i = 0; i < nb_lig; ++i) {
        const int cy = i / spacing;
        for (int j = 0; j < nb_col; ++j) {
            const int cx = j / spacing;
            double best = 1e300;
            unsigned char c = 0;
            for (int y = std::max(cy - 1, 0); y <= std::min(cy + 1, gy - 1); ++y) {
                for (int x = std::max(cx - 1, 0); x <= std::min(cx + 1, gx - 1); ++x) {
                    const Seed& s = seeds[static_cast<std::size_t>(y) * gx + x];
                    const double d = (s.i - i) * (s.i - i) + (s.j - j) * (s.j - j);
                    if (d < best) best = d, c = s.code;
                }
            }
            if (noise > 0 && u(rng) < noise) c = static_cast<unsigned char>(code(rng) * 12 + 3);
            if (holes > 0 && u(rng) < holes) c = 255;
            codes[static_cast<std::size_t>(i) * nb_col + j] = c;
        }
    }
    return codes;
}

struct BenchMap {
    LoadedMap map;
    Inventory inv;
};

// The map of those codes with the inventory a run takes, by the run's own inventory
// (its console output discarded).
void make_map(BenchMap& b, int nb_lig, int nb_col, const std::vector<unsigned char>& codes) {
    b.map.nb_lig = nb_lig;
    b.map.nb_col = nb_col;
    b.map.dpix_size = 30.0;
    b.map.tab_in = ByteGrid(ucmatrice(nb_col, nb_lig), nb_lig);
    for (int i = 0; i < nb_lig; ++i)
        std::copy_n(codes.data() + static_cast<std::size_t>(i) * nb_col, nb_col, b.map.tab_in[i]);
    engine::MemorySource src(b.map.tab_in[0], nb_lig, nb_col, nb_col);
    if (!engine::take_inventory(src, engine::plan_bands_of(nb_lig, {}, 256), b.inv).ok())
        std::abort();
    b.inv.hist_item = IntVector(ivecteur(b.inv.num_item + 1));
}

ByteGrid no_value_grid(const LoadedMap& map) {
    ByteGrid g(ucmatrice(map.nb_col, map.nb_lig), map.nb_lig);
    fill_grid(g, map.nb_lig, map.nb_col, 255);
    return g;
}

// Runs `f` in a child process. `f` fills a list of numbers, which comes back through a
// pipe, with the child's peak resident memory in kilobytes.
struct ChildResult {
    bool ok = false;
    std::vector<double> values;
    long max_rss_kb = 0;
};

ChildResult in_child(const std::function<void(std::vector<double>&)>& f) {
    ChildResult r;
    int fd[2];
    if (pipe(fd) != 0) return r;
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid < 0) {
        close(fd[0]);
        close(fd[1]);
        return r;
    }
    if (pid == 0) {
        close(fd[0]);
        std::vector<double> v;
        f(v);
        const char* p = reinterpret_cast<const char*>(v.data());
        std::size_t left = v.size() * sizeof(double);
        while (left > 0) {
            const ssize_t n = write(fd[1], p, left);
            if (n <= 0) _exit(1);
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        close(fd[1]);
        _exit(0);
    }
    close(fd[1]);
    std::vector<char> bytes;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd[0], buf, sizeof buf)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    close(fd[0]);
    int status = 0;
    struct rusage ru {};
    if (wait4(pid, &status, 0, &ru) != pid) return r;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    r.max_rss_kb = ru.ru_maxrss;
    r.values.resize(bytes.size() / sizeof(double));
    std::copy(bytes.begin(), bytes.begin() + static_cast<long>(r.values.size() * sizeof(double)),
              reinterpret_cast<char*>(r.values.data()));
    return r;
}

Window window_for(int treat_type, int win_shape, int R) {
    Window win;
    if (treat_type == kWindow && win_shape == kCircle)
        circle_sizes(win, R, 30.0);
    else
        square_sizes(win, R, 30.0);
    return win;
}

struct Config {
    const char* name;
    int win_shape;
    int R;
};

const Config kConfigs[] = {
    {"square R=4", kSquare, 4},  {"square R=16", kSquare, 16}, {"square R=64", kSquare, 64},
    {"circle R=4", kCircle, 4},  {"circle R=16", kCircle, 16}, {"circle R=64", kCircle, 64},
};

// Processor seconds of this process so far, all threads.
double cpu_seconds() {
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// One scan into fresh grids as a run makes them; seconds, and the processor seconds in
// `cpu`.
double time_scan(const BenchMap& b, const Config& c, WindowMethod method, int threads,
                 double* cpu = nullptr, bool tally = false) {
    const Window win = window_for(kWindow, c.win_shape, c.R);
    // Grids touched beforehand, as the metrics' planes are and as a band engine's rings
    // are after their first band: no page is first met inside the timing.
    ByteGrid div = no_value_grid(b.map), homo = no_value_grid(b.map);
    std::int64_t histo[256] = {};
    ScanOptions o;
    o.threads = threads;
    o.fresh = true;
    o.histogram = histo;
    o.method = method;
    // The count of windows holding pixels of no class that a run's scan makes.
    UnclassifiedTally counted;
    counted.to = b.map.nb_lig;
    if (tally) o.tally = &counted;
    const double cpu_start = cpu_seconds();
    const auto start = Clock::now();
    fast_scan(kWindow, c.win_shape, b.map, b.inv, win, c.R, div, homo, {}, o);
    if (cpu != nullptr) *cpu = cpu_seconds() - cpu_start;
    return seconds_since(start);
}

// The reference tally on the first centre rows, scaled to the whole map.
double time_reference(const BenchMap& b, const Config& c) {
    const int size = b.map.nb_col;
    const Window win = window_for(kWindow, c.win_shape, c.R);
    const double per_row = static_cast<double>(size - 2 * c.R) * (2 * c.R + 1) * (2 * c.R + 1);
    const int band = std::clamp(static_cast<int>(1.5e8 / per_row), 1, size - 2 * c.R);
    const int lines = band + 2 * c.R;
    LoadedMap cut;
    cut.nb_lig = lines;
    cut.nb_col = size;
    cut.tab_in = ByteGrid(ucmatrice(size, lines), lines);
    for (int i = 0; i < lines; ++i) std::copy(b.map.tab_in[i], b.map.tab_in[i] + size, cut.tab_in[i]);
    ByteGrid div = no_value_grid(cut), homo = no_value_grid(cut);
    Inventory inv;
    inv.num_item = b.inv.num_item;
    std::copy(std::begin(b.inv.number_item), std::end(b.inv.number_item), inv.number_item);
    inv.hist_item = IntVector(ivecteur(inv.num_item + 1));
    const auto start = Clock::now();
    reference_scan(kWindow, c.win_shape, cut, inv, win, c.R, div, homo);
    return seconds_since(start) * static_cast<double>(size - 2 * c.R) / band;
}

void scan_table(const BenchMap& b) {
    const int size = b.map.nb_col;
    std::printf(
        "Scans on a %d x %d map, 20 classes in patches of about 40 pixels (1%% of pixels of\n"
        "another class, 0.2%% without class), all hardware threads, fresh grids as a run\n"
        "makes them; best of 2. runs: the window slid right by the runs of its rows (earlier\n"
        "versions); chosen: what the program uses, with its processor time (all threads);\n"
        "reference: every window tallied afresh, timed on a band of centre rows and scaled\n"
        "to the map.\n\n",
        size, size);
    std::printf("%-12s %9s %9s %9s %9s %13s %14s\n", "window", "runs s", "chosen s", "cpu s",
                "speed-up", "reference s", "ref / chosen");
    double chosen_at[2][3] = {};
    for (const Config& c : kConfigs) {
        const ChildResult r = in_child([&](std::vector<double>& out) {
            double runs = 1e300, chosen = 1e300, chosen_cpu = 0;
            for (int rep = 0; rep < 2; ++rep) {
                runs = std::min(runs, time_scan(b, c, WindowMethod::runs, 0));
                double cpu = 0;
                const double wall = time_scan(b, c, WindowMethod::best, 0, &cpu);
                if (wall < chosen) chosen = wall, chosen_cpu = cpu;
            }
            out = {runs, chosen, time_reference(b, c), chosen_cpu};
        });
        if (!r.ok || r.values.size() != 4) {
            std::printf("%-12s failed\n", c.name);
            continue;
        }
        const double runs = r.values[0], chosen = r.values[1], ref = r.values[2];
        std::printf("%-12s %9.3f %9.3f %9.3f %9.2f %13.1f %14.0f\n", c.name, runs, chosen,
                    r.values[3], runs / chosen, ref, ref / chosen);
        chosen_at[c.win_shape][c.R == 4 ? 0 : c.R == 16 ? 1 : 2] = chosen;
    }
    if (chosen_at[kSquare][0] > 0)
        std::printf("\nChosen square scan, time(R=64) / time(R=4): %.2f\n",
                    chosen_at[kSquare][2] / chosen_at[kSquare][0]);
}

// Seconds of the counts scan of the metrics `names` on the whole map, all hardware
// threads, under the valid-pixel rule `min_valid` (0: off).
double time_metrics(const BenchMap& b, const Config& c, const std::vector<std::string>& names,
                    double min_valid, double* cpu = nullptr) {
    const Window win = window_for(kWindow, c.win_shape, c.R);
    std::vector<metrics::Metric> ms;
    if (!metrics::parse(names, ms).ok()) return -1;
    std::vector<std::vector<unsigned char>> store;
    std::vector<metrics::Plane> planes;
    const std::size_t cols = static_cast<std::size_t>(b.map.nb_col);
    for (const metrics::Metric& m : ms) {
        const std::size_t bytes = cols * (m.type() == metrics::Type::Real ? 4 : 1);
        store.emplace_back(bytes * static_cast<std::size_t>(b.map.nb_lig));
        metrics::Plane p;
        p.type = m.type();
        for (int k = 0; k < b.map.nb_lig; ++k) p.rows.push_back(store.back().data() + bytes * k);
        planes.push_back(std::move(p));
    }
    const double cpu_start = cpu_seconds();
    const auto start = Clock::now();
    metrics::counts_scan(b.map, b.inv, win, {kWindow, c.win_shape, c.R}, {min_valid}, ms, 0,
                         b.map.nb_lig, planes, 0);
    if (cpu != nullptr) *cpu = cpu_seconds() - cpu_start;
    return seconds_since(start);
}

// The landscape metrics beside the default run: the diversity and homogeneity of the
// fast scans, then all the metrics, then the two under the valid-pixel rule, through the
// counts scan; and the default scan counting the windows that hold unclassified pixels,
// as a run's scan does. Best of 3, each configuration in a child process.
void metrics_table(const BenchMap& b) {
    const int size = b.map.nb_col;
    std::printf(
        "\nLandscape metrics on the %d x %d map, all hardware threads, best of 3. default:\n"
        "diversity and homogeneity by the fast scans; all: those two and shannon, simpson,\n"
        "evenness, dominant and one share by the counts scan; min-valid: diversity and\n"
        "homogeneity with --min-valid 50; holes: the default scan counting the windows that\n"
        "hold pixels of no class, as a default run does.\n\n",
        size, size);
    std::printf("%-12s %9s %9s %11s %9s %11s %13s %11s\n", "window", "default s", "all s",
                "min-valid s", "holes s", "all/default", "min-valid/def", "holes/def");
    const std::string share = "share:" + std::to_string(b.inv.number_item[1]);
    for (const Config& c : kConfigs) {
        if (c.R != 16) continue;
        const ChildResult r = in_child([&](std::vector<double>& out) {
            double def = 1e300, all = 1e300, valid = 1e300, holes = 1e300;
            for (int rep = 0; rep < 3; ++rep) {
                def = std::min(def, time_scan(b, c, WindowMethod::best, 0));
                all = std::min(all, time_metrics(b, c,
                                                 {"diversity", "homogeneity", "shannon", "simpson",
                                                  "evenness", "dominant", share},
                                                 0));
                valid = std::min(valid, time_metrics(b, c, {"diversity", "homogeneity"}, 50));
                holes = std::min(holes, time_scan(b, c, WindowMethod::best, 0, nullptr, true));
            }
            out = {def, all, valid, holes};
        });
        if (!r.ok || r.values.size() != 4) {
            std::printf("%-12s failed\n", c.name);
            continue;
        }
        const double def = r.values[0];
        std::printf("%-12s %9.3f %9.3f %11.3f %9.3f %11.2f %13.2f %11.2f\n", c.name, def,
                    r.values[1], r.values[2], r.values[3], r.values[1] / def, r.values[2] / def,
                    r.values[3] / def);
    }
}

// Instructions per map pixel of one scan on one thread, counted by callgrind in a child
// run of this program (--count-instructions), or a negative number.
double instructions_per_pixel(const std::string& self, const Config& c, WindowMethod method) {
    const std::string out = "/tmp/landmosaic_bench_callgrind.txt";
    const std::string cmd = "valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file=/dev/null " +
                            self + " --count-instructions " + std::to_string(c.win_shape) + " " +
                            std::to_string(c.R) + " " + std::to_string(static_cast<int>(method)) +
                            " > /dev/null 2> " + out;
    if (std::system(cmd.c_str()) != 0) return -1;
    std::ifstream f(out);
    std::string line;
    double collected = -1;
    while (std::getline(f, line)) {
        const auto at = line.find("Collected : ");
        if (at != std::string::npos) collected = std::atof(line.c_str() + at + 12);
    }
    std::remove(out.c_str());
    return collected < 0 ? -1 : collected / 1e6;
}

void instruction_table(const std::string& self) {
    if (std::system("valgrind --version > /dev/null 2>&1") != 0) {
        std::printf("\nInstructions per pixel: valgrind is not installed, not counted.\n");
        return;
    }
    std::printf(
        "\nInstructions per map pixel, one thread, 1000 x 1000 map of the same kind, counted\n"
        "by callgrind (which runs the AVX2 path at most).\n\n");
    std::printf("%-12s %12s %12s\n", "window", "runs", "chosen");
    for (const Config& c : kConfigs) {
        const double runs = instructions_per_pixel(self, c, WindowMethod::runs);
        const double chosen = instructions_per_pixel(self, c, WindowMethod::best);
        std::printf("%-12s %12.0f %12.0f\n", c.name, runs, chosen);
    }
}

bool write_file(const fs::path& p, const void* data, std::size_t n) {
    std::FILE* f = std::fopen(p.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data, 1, n, f) == n;
    return std::fclose(f) == 0 && ok;
}

// One whole session, the answers typed from a file; wall time and the child's peak
// memory. False when the program could not be run or did not end with status 0.
bool run_session(const std::string& exe, const fs::path& answers, const fs::path& console,
                 double& seconds, long& max_rss_kb, double& cpu_seconds) {
    std::fflush(stdout);
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        const int in = open(answers.c_str(), O_RDONLY);
        const int out = open(console.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0) _exit(127);
        execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage ru {};
    if (wait4(pid, &status, 0, &ru) != pid) return false;
    seconds = seconds_since(start);
    max_rss_kb = ru.ru_maxrss;
    cpu_seconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                  static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void session_table(const std::string& exe, const BenchMap& b) {
    const int n = b.map.nb_col;
    char tmpl[] = "/tmp/landmosaic_bench_XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::printf("session: no temporary folder\n");
        return;
    }
    const fs::path root = tmpl;
    const fs::path folder = root / "maps";
    fs::create_directory(folder);
    {
        std::vector<unsigned char> codes(static_cast<std::size_t>(n) * n);
        for (int i = 0; i < n; ++i)
            std::copy_n(b.map.tab_in[i], n, codes.data() + static_cast<std::size_t>(i) * n);
        const std::string header = std::to_string(n) + "\n" + std::to_string(n) + "\n1\n0\n255\n30\n";
        if (!write_file(folder / "big.raw", codes.data(), codes.size()) ||
            !write_file(folder / "big.txt", header.data(), header.size())) {
            std::printf("session: cannot write the map in %s\n", root.c_str());
            fs::remove_all(root);
            return;
        }
    }
    const double mpx = static_cast<double>(n) * n / 1e6;
    std::printf(
        "\nWhole sessions on the %d x %d map, raw map and raw results, the program run with\n"
        "its answers on standard input; best wall time of 2, the processor time (user and\n"
        "system, all threads) of that run, peak memory of the process.\n\n",
        n, n);
    std::printf("%-12s %9s %9s %9s %13s\n", "window", "wall s", "cpu s", "Mpx/s", "bytes/pixel");
    for (const Config& c : kConfigs) {
        // English; a typed prefix; folder and name; raw map; no rank help; the rank;
        // moving window; the shape; sizes accepted; result name; raw results; no mesh; key.
        const std::string answers = "0\n2\n" + root.string() + "/\nmaps\nbig\n0\n1\n" +
                                    std::to_string(c.R) + "\n1\n" + std::to_string(c.win_shape) +
                                    "\n0\nres\n0\n1\n\n";
        write_file(root / "answers.txt", answers.data(), answers.size());
        double best = 1e300, best_cpu = 0;
        long worst_rss = 0;
        bool failed = false;
        for (int run = 0; run < 2 && !failed; ++run) {
            double seconds = 0, cpu = 0;
            long rss = 0;
            const bool ok =
                run_session(exe, root / "answers.txt", root / "console.txt", seconds, rss, cpu);
            const auto div = folder / "res_diversity.raw", homo = folder / "res_homog.raw";
            std::error_code e1, e2;
            const bool files = fs::file_size(div, e1) == static_cast<std::uintmax_t>(n) * n &&
                               fs::file_size(homo, e2) == static_cast<std::uintmax_t>(n) * n;
            failed = !ok || !files;
            if (seconds < best) best = seconds, best_cpu = cpu;
            worst_rss = std::max(worst_rss, rss);
            fs::remove(div);
            fs::remove(homo);
        }
        if (failed) {
            std::printf("%-12s failed; console in %s\n", c.name, (root / "console.txt").c_str());
            return;
        }
        std::printf("%-12s %9.3f %9.3f %9.1f %13.2f\n", c.name, best, best_cpu, mpx / best,
                    worst_rss * 1024.0 / (mpx * 1e6));
    }
    fs::remove_all(root);
}

}  // namespace

int main(int argc, char** argv) {
    std::string exe = LANDMOSAIC_EXE;
    int size = 8000;
    bool instructions = true;
    bool metrics_only = false;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--count-instructions" && a + 3 < argc) {
            // A child under callgrind: one scan on one thread, counted alone.
            const Config c{"", std::atoi(argv[a + 1]), std::atoi(argv[a + 2])};
            const auto method = static_cast<WindowMethod>(std::atoi(argv[a + 3]));
            BenchMap b;
            make_map(b, 1000, 1000, patch_codes(1000, 1000, 20, 40, 0.01, 0.002, 7));
            const Window win = window_for(kWindow, c.win_shape, c.R);
            ByteGrid div(ucmatrice(1000, 1000), 1000), homo(ucmatrice(1000, 1000), 1000);
            ScanOptions o;
            o.threads = 1;
            o.fresh = true;
            o.method = method;
            CALLGRIND_START_INSTRUMENTATION;
            fast_scan(kWindow, c.win_shape, b.map, b.inv, win, c.R, div, homo, {}, o);
            CALLGRIND_STOP_INSTRUMENTATION;
            return 0;
        }
        if (arg == "--profile" && a + 3 < argc) {
            // One configuration alone, three times, for a profiler: default, all, valid or
            // holes; the shape (0 square, 1 circle); the rank.
            const std::string what = argv[a + 1];
            const Config c{"", std::atoi(argv[a + 2]), std::atoi(argv[a + 3])};
            BenchMap b;
            make_map(b, size, size, patch_codes(size, size, 20, 40, 0.01, 0.002, 7));
            const std::string share = "share:" + std::to_string(b.inv.number_item[1]);
            double best = 1e300, best_cpu = 1e300;
            for (int rep = 0; rep < 3; ++rep) {
                double cpu = 0, wall = 0;
                if (what == "default") {
                    wall = time_scan(b, c, WindowMethod::best, 0, &cpu);
                } else if (what == "all") {
                    wall = time_metrics(b, c, {"diversity", "homogeneity", "shannon", "simpson",
                                               "evenness", "dominant", share}, 0, &cpu);
                } else if (what == "valid") {
                    wall = time_metrics(b, c, {"diversity", "homogeneity"}, 50, &cpu);
                } else {
                    wall = time_scan(b, c, WindowMethod::best, 0, &cpu, true);
                }
                best = std::min(best, wall);
                best_cpu = std::min(best_cpu, cpu);
            }
            std::printf("%s: best of 3 %.3f s, processor %.3f s\n", what.c_str(), best, best_cpu);
            return 0;
        }
        if (arg == "--size" && a + 1 < argc)
            size = std::max(std::atoi(argv[++a]), 200);
        else if (arg == "--no-instructions")
            instructions = false;
        else if (arg == "--metrics-only")
            metrics_only = true;
        else
            exe = arg;
    }
    std::printf("landmosaic benchmark: %d hardware threads, vector kernels %s, load average %s\n\n",
                fast_scan_threads(), kernels::current_target().c_str(), load_average().c_str());
    BenchMap b;
    make_map(b, size, size, patch_codes(size, size, 20, 40, 0.01, 0.002, 7));
    if (metrics_only) {
        metrics_table(b);
        return 0;
    }
    scan_table(b);
    metrics_table(b);
    if (instructions) instruction_table(fs::canonical("/proc/self/exe").string());
    session_table(exe, b);
    std::printf("\nload average at the end: %s\n", load_average().c_str());
    return 0;
}
