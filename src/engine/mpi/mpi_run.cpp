// One run of the MPI program: the options, the map opened on every rank, the inventory,
// the window, the bands treated by all ranks, the report written by rank 0.
#include "engine/mpi/mpi_run.h"

#include <mpi.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/answers.h"
#include "engine/mpi/mpi_bands.h"
#include "raster/raw_format.h"
#include "results/report.h"
#include "text/catalogue.h"
#include "window/geometry.h"

namespace engine::mpi {

namespace {

const char* fault_text(Fault f) {
    switch (f) {
        case Fault::None:
            return "no fault";
        case Fault::CannotOpen:
            return "cannot be opened";
        case Fault::NotRegular:
            return "not a regular file";
        case Fault::ReadFailed:
            return "cannot be read";
        case Fault::HeaderUnreadable:
            return "its header cannot be read";
        case Fault::BadSizes:
            return "its lines or columns are not positive";
        case Fault::TooShort:
            return "the file is shorter than its sizes say";
        case Fault::NotBitmap:
            return "not a bitmap";
        case Fault::BitmapForm:
            return "a bitmap form that is not supported";
        case Fault::Compressed:
            return "a compressed bitmap";
        case Fault::Colour:
            return "a colour bitmap";
        case Fault::FewCells:
            return "fewer cells than its header declares";
        case Fault::NotInteger:
            return "a cell that is not an integer";
        case Fault::TooLarge:
            return "too large for its format";
        case Fault::OutOfMemory:
            return "memory exhausted";
        case Fault::CannotWrite:
            return "cannot be written";
        case Fault::Cancelled:
            return "cancelled";
    }
    return "failed";
}

struct Options {
    std::string map;
    int treat_type = 1, win_shape = 0, rank = -1;
    int res_form = 0;  // raw unless asked
    std::string output;
    long long memory_mb = 0;
    int band_rows = 0;  // rows per band forced, for tests and measures
    double pixel_size = 0;
    bool has_corner = false;
    double x_min = 0, y_min = 0;
    bool mesh_lines = false;
    int threads = 0;
    int idiom = 0;
};

// The options of the command line that a run over MPI takes, under the same names.
bool parse(int argc, char** argv, Options& o, std::string& why) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= argc) return false;
            v = argv[++i];
            return true;
        };
        std::string v;
        if ((a == "-w" || a == "--window") && value(v)) {
            if (v == "square")
                o.treat_type = 1, o.win_shape = 0;
            else if (v == "circle")
                o.treat_type = 1, o.win_shape = 1;
            else if (v == "mesh")
                o.treat_type = 0, o.win_shape = 0;
            else
                return why = "--window: square, circle or mesh", false;
        } else if ((a == "-r" || a == "--rank") && value(v)) {
            o.rank = std::atoi(v.c_str());
        } else if ((a == "-f" || a == "--format") && value(v)) {
            if (v == "raw")
                o.res_form = 0;
            else if (v == "bmp")
                o.res_form = 1;
            else if (v == "asc")
                o.res_form = 2;
            else
                return why = "--format: raw, bmp or asc (GeoTIFF results: run landmosaic)", false;
        } else if ((a == "-o" || a == "--output") && value(v)) {
            o.output = v;
        } else if (a == "--memory" && value(v)) {
            o.memory_mb = std::atoll(v.c_str());
        } else if (a == "--band-rows" && value(v)) {
            o.band_rows = std::atoi(v.c_str());
        } else if (a == "--pixel-size" && value(v)) {
            o.pixel_size = std::atof(v.c_str());
        } else if (a == "--x-min" && value(v)) {
            o.has_corner = true;
            o.x_min = std::atof(v.c_str());
        } else if (a == "--y-min" && value(v)) {
            o.has_corner = true;
            o.y_min = std::atof(v.c_str());
        } else if (a == "--threads" && value(v)) {
            o.threads = std::atoi(v.c_str());
        } else if (a == "--lang" && value(v)) {
            if (v != "en" && v != "fr" && v != "es") return why = "--lang: en, fr or es", false;
            o.idiom = v == "fr" ? 1 : v == "es" ? 2 : 0;
        } else if (a == "--mesh-lines") {
            o.mesh_lines = true;
        } else if (a == "-q" || a == "--quiet") {
        } else if (!a.empty() && a[0] != '-' && o.map.empty()) {
            o.map = a;
        } else {
            return why = "unknown or incomplete option " + a, false;
        }
    }
    if (o.map.empty()) return why = "a map is required", false;
    if (o.rank < 0 || o.rank > kMaxRank)
        return why = "--rank must be 0 to " + std::to_string(kMaxRank), false;
    if (o.mesh_lines && o.treat_type != 0)
        return why = "--mesh-lines draws the cell mesh: it goes with --window mesh only", false;
    return true;
}

// The peak resident memory of this process in kB (0 where the system does not say).
long long peak_kb() {
    long long kb = 0;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "VmHWM: %lld", &kb) == 1) break;
        std::fclose(f);
    }
    return kb;
}

// A quarter of the machine's memory.
long long default_budget() {
    long long total = 0;
    if (std::FILE* f = std::fopen("/proc/meminfo", "r")) {
        char key[64];
        long long kb = 0;
        if (std::fscanf(f, "%63s %lld", key, &kb) == 2) total = kb * 1024;
        std::fclose(f);
    }
    return total > 0 ? total / 4 : (1LL << 30);
}

}  // namespace

int run_mpi_program(int argc, char** argv) {
    Session session(argc, argv);
    const World w = session.world();
    auto say = [&](const std::string& line) {
        if (w.rank == 0) std::fprintf(stderr, "landmosaic-mpi: %s\n", line.c_str());
    };
    Options o;
    std::string why;
    if (!parse(argc, argv, o, why)) {
        say(why);
        return 2;
    }

    // The map, by its extension; a raw map's sizes come from its header beside it.
    namespace fs = std::filesystem;
    const fs::path map_path(o.map);
    const std::string ext = map_path.extension().string();
    const std::string stem = (map_path.parent_path() / map_path.stem()).string();
    MapSpec spec;
    spec.name = o.map;
    spec.format = ext == ".bmp" ? 1 : ext == ".asc" ? 2 : 0;
    if (spec.format == 0) {
        RawHeader h;
        if (read_raw_header(stem + ".txt", h) != RawHeaderRead::Read) {
            say(stem + ".txt: the raw header cannot be read");
            return 1;
        }
        spec.nb_lig = h.nb_lig;
        spec.nb_col = h.nb_col;
        spec.dpix_size = h.pix_size;
    }
    DistributedMap map;
    Status st = map.open(spec);
    if (!st.ok()) {
        say(st.file + ": " + fault_text(st.fault));
        return 1;
    }
    // The pixel size and corner given on the command line serve maps that carry none.
    MapInfo info = map.info();
    if (spec.format == 1) info.dpix_size = o.pixel_size;
    if (!info.UTM_coord && o.has_corner) {
        info.X_min = o.x_min;
        info.Y_min = o.y_min;
        info.UTM_coord = true;
    }

    BandJob job;
    job.treat_type = o.treat_type;
    job.win_shape = o.win_shape;
    job.range_win = o.rank;
    job.draw_mesh = o.mesh_lines;
    job.threads = o.threads;
    const long long budget = o.memory_mb > 0 ? o.memory_mb << 20 : default_budget();
    const BandPlan plan = o.band_rows > 0 ? plan_bands_of(info.nb_lig, job, o.band_rows)
                                          : plan_bands(info.nb_lig, info.nb_col, job, budget);

    Inventory inv;
    st = map.take_inventory(plan, inv);
    if (!st.ok()) {
        say(st.file + ": " + fault_text(st.fault) +
            (st.detail.empty() ? "" : " (" + st.detail + ")"));
        return 1;
    }

    if (info.dpix_size <= 0) {
        say(o.map + ": the map carries no pixel size: give --pixel-size");
        return 1;
    }
    if (o.res_form == 2 && !info.UTM_coord && !o.has_corner) {
        say("ascii results from a map without coordinates need --x-min and --y-min");
        return 2;
    }
    Window win;
    if (!window_sizes(win, o.treat_type, o.win_shape, o.rank, info.dpix_size).ok()) {
        say("memory exhausted");
        return 1;
    }

    static const char* const names[] = {"mesh", "square", "circle"};
    const std::string base =
        !o.output.empty()
            ? o.output
            : stem + "_" + names[o.treat_type == 0 ? 0 : 1 + o.win_shape] + std::to_string(o.rank);

    // The report is created before the treatment, so that a folder where it cannot be
    // written stops the run before the work.
    RunAnswers run;
    run.idiom = o.idiom;
    run.nom_lect = o.map;
    run.range_win = o.rank;
    run.treat_type = o.treat_type;
    run.win_shape = o.win_shape;
    Report rep;
    Status opened;
    if (w.rank == 0 && !rep.open(base + "_info.txt"))
        opened = Status{Fault::CannotWrite, base + "_info.txt", {}};
    opened = agree(opened);
    if (!opened.ok()) {
        say(opened.file + ": " + fault_text(opened.fault));
        return 1;
    }

    DiversityTotals totals;
    std::string div_name, homo_name;
    st = map.treat(inv, win, job, plan, o.res_form, info, base + "_diversity", base + "_homog",
                   totals, div_name, homo_name);
    if (w.rank == 0) {
        LoadedMap sizes;
        sizes.nb_lig = info.nb_lig;
        sizes.nb_col = info.nb_col;
        sizes.dpix_size = info.dpix_size;
        write_report_body(rep, run, sizes, inv, win);
        if (!div_name.empty()) rep.write(txt::report_diversity_image.in(o.idiom), {div_name});
        if (!homo_name.empty()) rep.write(txt::report_homogeneity_image.in(o.idiom), {homo_name});
        if (!rep.close() && st.ok()) st = Status{Fault::CannotWrite, base + "_info.txt", {}};
    }
    st = agree(st);
    if (!st.ok()) {
        say(st.file + ": " + fault_text(st.fault));
        return 1;
    }
    // What each rank took at most, for the measures of a run.
    const long long mine = peak_kb();
    std::vector<long long> peaks(static_cast<std::size_t>(w.size));
    MPI_Gather(&mine, 1, MPI_LONG_LONG, peaks.data(), 1, MPI_LONG_LONG, 0, MPI_COMM_WORLD);
    if (w.rank == 0) {
        std::printf("%d bands of %d rows on %d ranks; peak memory per rank (MB):", plan.bands,
                    plan.h, w.size);
        for (long long kb : peaks) std::printf(" %.1f", kb / 1024.0);
        std::printf("\n");
    }
    return 0;
}

}  // namespace engine::mpi
