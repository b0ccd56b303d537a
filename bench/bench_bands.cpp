// Benchmark of the band engine: maps larger than the memory a run is given, and the MPI
// program on 1, 2 and 4 ranks.
//
//   landmosaic_bench_bands [--rows N] [--cols N] [--budget MB] [path/to/landmosaic-mpi]
//
// 1. A raw map of N x N pixels (default 12000 x 12000, 144 MB) in patches of 20 classes
//    is written to a temporary folder. The band engine treats it with a circular window
//    of rank 8 under a memory budget (default 32 MB), in a child process of its own on one
//    thread and on all: wall time, megapixels per second, the child's peak memory, and
//    the same for the whole-map scan for comparison of memory.
// 2. The MPI program treats the same map with 1, 2 and 4 ranks of one thread each
//    (mpirun --oversubscribe on this machine): wall time, megapixels per second and the
//    peak memory of every rank, as the program reports it.
//
// The timings are wall-clock times on a machine that others may be using: the load
// average is shown at the start and at the end.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "analysis/fast_scan.h"
#include "engine/bands.h"
#include "formats/format.h"
#include "formats/raw.h"
#include "window/geometry.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string load_average() {
    std::ifstream f("/proc/loadavg");
    std::string a, b, c;
    if (!(f >> a >> b >> c)) return "unknown";
    return a + " " + b + " " + c;
}

// Patches: each block of 64 x 64 pixels takes one of 20 codes, its edges jittered row by
// row, with a few pixels of no class. Written a row at a time: the map is never held.
bool write_map(const fs::path& folder, int nb_lig, int nb_col) {
    std::FILE* f = std::fopen((folder / "big.raw").c_str(), "wb");
    if (!f) return false;
    std::mt19937 rng(5);
    std::vector<unsigned char> block_code(static_cast<std::size_t>(nb_col / 64 + 2) *
                                          (nb_lig / 64 + 2));
    for (auto& c : block_code) c = static_cast<unsigned char>(rng() % 20 * 12 + 3);
    std::vector<unsigned char> row(static_cast<std::size_t>(nb_col));
    const std::size_t per_row = static_cast<std::size_t>(nb_col / 64 + 2);
    bool ok = true;
    for (int i = 0; i < nb_lig && ok; ++i) {
        const int shift = static_cast<int>(rng() % 9);
        for (int j = 0; j < nb_col; ++j) {
            const std::size_t bi = static_cast<std::size_t>(i / 64),
                              bj = static_cast<std::size_t>((j + shift) / 64);
            row[static_cast<std::size_t>(j)] = block_code[bi * per_row + bj];
            if (rng() % 512 == 0) row[static_cast<std::size_t>(j)] = 255;
        }
        ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
    }
    const std::string header =
        std::to_string(nb_lig) + "\n" + std::to_string(nb_col) + "\n1\n0\n255\n30\n";
    std::FILE* h = std::fopen((folder / "big.txt").c_str(), "wb");
    ok = ok && h && std::fwrite(header.data(), 1, header.size(), h) == header.size();
    if (h) std::fclose(h);
    return std::fclose(f) == 0 && ok;
}

// Runs `work` in a child process: its exit status, wall time and peak memory.
template <class Work>
bool in_child(Work work, double& seconds, long& rss_kb) {
    std::fflush(stdout);
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) _exit(work());
    int status = 0;
    struct rusage ru {};
    if (wait4(pid, &status, 0, &ru) != pid) return false;
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    rss_kb = ru.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int banded_run(const fs::path& folder, int nb_lig, int nb_col, long long budget, int threads) {
    engine::BandJob job;
    job.treat_type = 1;
    job.win_shape = 1;
    job.range_win = 8;
    job.threads = threads;
    Status st;
    auto src = formats::open_raw_source((folder / "big.raw").string(), nb_lig, nb_col, 30, st);
    if (!src) return 2;
    const engine::BandPlan plan = engine::plan_bands(nb_lig, nb_col, job, budget);
    Inventory inv;
    if (!engine::take_inventory(*src, plan, inv).ok()) return 3;
    Window win;
    if (!circle_sizes(win, 8, 30)) return 4;
    auto div = formats::format_of(0).make_sink((folder / "res_diversity").string(), src->info(), st);
    auto homo = formats::format_of(0).make_sink((folder / "res_homog").string(), src->info(), st);
    engine::DiversityTotals totals;
    if (!div || !homo ||
        !engine::treat_in_bands(*src, inv, win, job, plan, *div, *homo, totals).ok())
        return 5;
    if (!div->commit().ok() || !homo->commit().ok()) return 6;
    std::printf("    %d bands of %d rows\n", plan.bands, plan.h);
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int nb_lig = 12000, nb_col = 12000;
    long long budget_mb = 32;
    std::string mpi_exe = LANDMOSAIC_MPI_EXE;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--rows" && a + 1 < argc)
            nb_lig = std::atoi(argv[++a]);
        else if (arg == "--cols" && a + 1 < argc)
            nb_col = std::atoi(argv[++a]);
        else if (arg == "--budget" && a + 1 < argc)
            budget_mb = std::atoll(argv[++a]);
        else
            mpi_exe = arg;
    }
    std::printf("landmosaic band benchmark: %d hardware threads, load average %s\n\n",
                fast_scan_threads(), load_average().c_str());
    char tmpl[] = "/tmp/landmosaic_bands_XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const fs::path folder = tmpl;
    if (!write_map(folder, nb_lig, nb_col)) {
        std::printf("cannot write the map in %s\n", folder.c_str());
        return 1;
    }
    const double mpx = static_cast<double>(nb_lig) * nb_col / 1e6;
    std::printf("Map %d x %d (%.0f MB raw), circular window R=8, raw results; budget %lld MB\n\n",
                nb_lig, nb_col, mpx, budget_mb);
    std::printf("%-28s %10s %10s %12s\n", "run", "wall s", "Mpx/s", "peak MB");
    for (int threads : {1, 0}) {
        double s = 0;
        long rss = 0;
        const bool ok = in_child(
            [&] { return banded_run(folder, nb_lig, nb_col, budget_mb << 20, threads); }, s, rss);
        const std::string name =
            std::string("bands, ") + (threads == 1 ? "1 thread" : "all threads");
        if (ok)
            std::printf("%-28s %10.2f %10.2f %12.1f\n", name.c_str(), s, mpx / s, rss / 1024.0);
        else
            std::printf("%-28s failed\n", name.c_str());
    }

    std::printf("\nMPI program, one thread per rank (mpirun --oversubscribe)\n");
    std::printf("%-28s %10s %10s   %s\n", "ranks", "wall s", "Mpx/s", "program's report");
    const std::string root = geteuid() == 0 ? " --allow-run-as-root" : "";
    for (int np : {1, 2, 4}) {
        const std::string out = (folder / "mpi_out.txt").string();
        const std::string cmd = "mpirun --oversubscribe" + root + " -np " + std::to_string(np) +
                                " " + mpi_exe + " " + (folder / "big.raw").string() +
                                " --window circle --rank 8 --format raw --threads 1 --memory " +
                                std::to_string(budget_mb) + " --output " +
                                (folder / "mpi").string() + " > " + out + " 2>&1";
        std::fflush(stdout);
        const auto start = Clock::now();
        const int status = std::system(cmd.c_str());
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        std::ifstream f(out);
        std::string line, last;
        while (std::getline(f, line)) last = line;
        if (status == 0)
            std::printf("%-28d %10.2f %10.2f   %s\n", np, s, mpx / s, last.c_str());
        else
            std::printf("%-28d failed: %s\n", np, last.c_str());
    }
    std::printf("\nload average at the end: %s\n", load_average().c_str());
    fs::remove_all(folder);
    return 0;
}
