// Benchmark of the treatment stage and of a whole session.
//
//   landmosaic_bench [--full] [path/to/landmosaic]
//
// 1. Scans on a 1000 x 1000 map of about 20 classes in patches: for each window, the
//    time of the reference scan (every window tallied afresh) and of the fast scan (on
//    all hardware threads, and on one), their ratio, the megapixels per second of the
//    fast scan and the peak memory of the process that ran them. Each configuration runs
//    in a child process of its own, so that its peak memory is its own. The reference
//    scan of the largest windows takes minutes; by default it is timed on a band of
//    centre rows and scaled to the whole map (marked "~"); --full times it in full.
// 2. A whole session on a 4000 x 4000 map, circular window of rank 16, raw map and raw
//    results: the program is run as a child process with its answers on standard
//    input, three times; wall time, megapixels per second and the child's peak memory.
//
// The timings are wall-clock times on a machine that others may be using: the load
// average is shown at the start and at the end.
#include <fcntl.h>
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
#include "analysis/scans.h"
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
    take_inventory(b.map, b.inv);
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

struct ScanConfig {
    const char* name;
    int treat_type;
    int win_shape;
    int R;
    bool random_codes;   // codes drawn pixel by pixel instead of in patches
    int reference_rows;  // centre rows timed for the reference, 0 for all
};

Window window_for(int treat_type, int win_shape, int R) {
    Window win;
    if (treat_type == kWindow && win_shape == kCircle)
        circle_sizes(win, R, 30.0);
    else
        square_sizes(win, R, 30.0);
    return win;
}

// In the child: the reference time (scaled to the whole map when timed on a band), the
// best of three fast times on all threads and on one thread.
void run_scan_config(const ScanConfig& c, int size, std::vector<double>& out) {
    BenchMap b;
    make_map(b, size, size,
             c.random_codes ? patch_codes(size, size, 20, 40, 1.0, 0.0, 7)
                            : patch_codes(size, size, 20, 40, 0.01, 0.002, 7));
    const Window win = window_for(c.treat_type, c.win_shape, c.R);

    // The reference, on the whole map or on a band of centre rows (a map cut to the
    // band's height, whose windows are those of the first centre rows of the map).
    double ref = 0;
    {
        const int band = c.reference_rows;
        const int lines = band > 0 ? std::min(size, band + 2 * c.R) : size;
        // The band keeps the items of the whole map.
        LoadedMap cut;
        cut.nb_lig = lines;
        cut.nb_col = size;
        cut.tab_in = ByteGrid(ucmatrice(size, lines), lines);
        for (int i = 0; i < lines; ++i)
            std::copy(b.map.tab_in[i], b.map.tab_in[i] + size, cut.tab_in[i]);
        ByteGrid div = no_value_grid(cut), homo = no_value_grid(cut);
        const auto start = Clock::now();
        reference_scan(c.treat_type, c.win_shape, cut, b.inv, win, c.R, div, homo);
        ref = seconds_since(start);
        if (band > 0) ref *= static_cast<double>(size - 2 * c.R) / (lines - 2 * c.R);
    }
    out.push_back(ref);

    for (int threads : {0, 1}) {
        double best = 1e300;
        for (int rep = 0; rep < 3; ++rep) {
            ByteGrid div = no_value_grid(b.map), homo = no_value_grid(b.map);
            const auto start = Clock::now();
            fast_scan(c.treat_type, c.win_shape, b.map, b.inv, win, c.R, div, homo, {}, threads);
            best = std::min(best, seconds_since(start));
        }
        out.push_back(best);
    }
}

void scan_benchmarks(bool full) {
    const int size = 1000;
    const ScanConfig configs[] = {
        {"circle R=16", kWindow, kCircle, 16, false, 0},
        {"square R=8", kWindow, kSquare, 8, false, 0},
        {"square R=16", kWindow, kSquare, 16, false, full ? 0 : 200},
        {"square R=32", kWindow, kSquare, 32, false, full ? 0 : 100},
        {"circle R=32", kWindow, kCircle, 32, false, full ? 0 : 100},
        {"mesh R=16", kMesh, kSquare, 16, false, 0},
        {"circle R=16 noise", kWindow, kCircle, 16, true, full ? 0 : 200},
    };
    std::printf(
        "Scans on a %d x %d map, 20 classes in patches of about 40 pixels (1%% of\n"
        "pixels of another class, 0.2%% without class); \"noise\": every pixel drawn\n"
        "at random. Fast times: best of 3. \"~\": reference timed on a band of centre\n"
        "rows and scaled to the map.\n\n",
        size, size);
    std::printf("%-18s %11s %11s %11s %9s %9s %9s %10s\n", "configuration", "reference s", "fast s",
                "1 thread s", "ratio", "Mpx/s", "Mpx/s 1t", "peak MB");
    double square8 = 0, square32 = 0, square8_1 = 0, square32_1 = 0;
    for (const ScanConfig& c : configs) {
        const ChildResult r =
            in_child([&](std::vector<double>& out) { run_scan_config(c, size, out); });
        if (!r.ok || r.values.size() != 3) {
            std::printf("%-18s failed\n", c.name);
            continue;
        }
        const double ref = r.values[0], fast = r.values[1], one = r.values[2];
        const double mpx = static_cast<double>(size) * size / 1e6;
        std::printf("%-18s %10.3f%s %11.4f %11.4f %9.1f %9.1f %9.1f %10.1f\n", c.name, ref,
                    c.reference_rows > 0 ? "~" : " ", fast, one, ref / fast, mpx / fast, mpx / one,
                    r.max_rss_kb / 1024.0);
        if (c.R == 8 && c.win_shape == kSquare) square8 = fast, square8_1 = one;
        if (c.R == 32 && c.win_shape == kSquare && c.treat_type == kWindow)
            square32 = fast, square32_1 = one;
    }
    if (square8 > 0 && square32 > 0)
        std::printf("\nSquare window, time(R=32) / time(R=8): %.2f on all threads, %.2f on one\n",
                    square32 / square8, square32_1 / square8_1);
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
                 double& seconds, long& max_rss_kb) {
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
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void session_benchmark(const std::string& exe) {
    const int n = 4000;
    const int R = 16;
    char tmpl[] = "/tmp/landmosaic_bench_XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::printf("session: no temporary folder\n");
        return;
    }
    const fs::path root = tmpl;
    const fs::path folder = root / "maps";
    fs::create_directory(folder);
    {
        const std::vector<unsigned char> codes = patch_codes(n, n, 20, 40, 0.01, 0.002, 11);
        const std::string header =
            std::to_string(n) + "\n" + std::to_string(n) + "\n1\n0\n255\n30\n";
        if (!write_file(folder / "big.raw", codes.data(), codes.size()) ||
            !write_file(folder / "big.txt", header.data(), header.size())) {
            std::printf("session: cannot write the map in %s\n", root.c_str());
            fs::remove_all(root);
            return;
        }
    }
    // English; a typed prefix; folder and name; raw map; no rank help; rank 16; moving
    // window; circle; sizes accepted; result name; raw results; no mesh; the key.
    const std::string answers = "0\n2\n" + root.string() + "/\nmaps\nbig\n0\n1\n" +
                                std::to_string(R) + "\n1\n1\n0\nres\n0\n1\n\n";
    write_file(root / "answers.txt", answers.data(), answers.size());

    const double mpx = static_cast<double>(n) * n / 1e6;
    std::printf(
        "\nWhole session: %d x %d map (20 classes in patches), circular window R=%d,\n"
        "raw map and raw results, program run with its answers on standard input.\n\n",
        n, n, R);
    std::printf("%-8s %10s %10s %12s %14s\n", "run", "wall s", "Mpx/s", "peak MB", "bytes/pixel");
    double best = 1e300;
    long worst_rss = 0;
    for (int run = 1; run <= 3; ++run) {
        double seconds = 0;
        long rss = 0;
        const bool ok = run_session(exe, root / "answers.txt", root / "console.txt", seconds, rss);
        const auto div = folder / "res_diversity.raw", homo = folder / "res_homog.raw";
        std::error_code e1, e2;
        const bool files = fs::file_size(div, e1) == static_cast<std::uintmax_t>(n) * n &&
                           fs::file_size(homo, e2) == static_cast<std::uintmax_t>(n) * n;
        if (!ok || !files) {
            std::printf("%-8d failed (%s); console in %s\n", run, ok ? "result files" : "status",
                        (root / "console.txt").c_str());
            return;
        }
        std::printf("%-8d %10.3f %10.2f %12.1f %14.2f\n", run, seconds, mpx / seconds, rss / 1024.0,
                    rss * 1024.0 / (mpx * 1e6));
        best = std::min(best, seconds);
        worst_rss = std::max(worst_rss, rss);
        fs::remove(div);
        fs::remove(homo);
    }
    std::printf("best: %.3f s, %.2f Mpx/s; peak memory %.2f bytes per map pixel\n", best,
                mpx / best, worst_rss * 1024.0 / (mpx * 1e6));
    fs::remove_all(root);
}

}  // namespace

int main(int argc, char** argv) {
    bool full = false;
    std::string exe = LANDMOSAIC_EXE;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--full")
            full = true;
        else
            exe = arg;
    }
    std::printf("landmosaic benchmark: %d hardware threads, load average %s\n\n",
                fast_scan_threads(), load_average().c_str());
    scan_benchmarks(full);
    session_benchmark(exe);
    std::printf("\nload average at the end: %s\n", load_average().c_str());
    return 0;
}
