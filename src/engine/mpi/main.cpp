// landmosaic-mpi: the command line's run, its bands shared among the ranks of an MPI job.
// Rank 0 alone prints, draws the progress bar and writes the report and summaries.
#include <cstdio>
#include <iostream>
#include <sstream>

#include "cli/command_line.h"
#include "cli/interruption.h"
#include "cli/progress_bar.h"
#include "engine/mpi/mpi_bands.h"

int main(int argc, char** argv) {
    engine::mpi::Session session(argc, argv);
    engine::mpi::MpiTeam team;
    // A signal stops the run through rank 0's progress, which every rank follows.
    interruption::catch_signals();
    std::ostringstream muted;
    std::ostream& out = team.leads() ? std::cout : muted;
    std::ostream& err = team.leads() ? std::cerr : muted;
    CommandLine cl;
    cl.program = "landmosaic-mpi";
    cl.has_dialogue = false;
    if (const int status = parse_command_line(argc, argv, cl, out, err); status >= 0) return status;
#ifdef _WIN32
    constexpr bool kUtf8 = false;
#else
    constexpr bool kUtf8 = true;
#endif
    ProgressBar bar(team.leads() && !cl.quiet && ProgressBar::stderr_is_terminal(), cl.req.idiom,
                    kUtf8, err);
    const RunOutcome outcome = run_landmosaic(
        cl.req,
        [&](int row, int rows) {
            bar.update(row, rows);
            return interruption::caught() == 0;
        },
        team, [&](int nb_lig, int nb_col) { bar.map_size(nb_lig, nb_col); });
    bar.finish();
    const int sig = team.leads() ? interruption::caught() : 0;
    int status = !team.leads() ? 0
                 : sig != 0    ? finish_interrupted(cl, outcome, sig, err)
                               : finish_command_line(cl, outcome, out, err);
    status = team.from_leader(status);
    // What each rank took at most, for the measures of a run.
    const std::vector<long long> peaks = team.peak_memory();
    if (team.leads() && !cl.quiet && status == 0) {
        out.flush();
        err << cl.program << ": " << outcome.bands << " bands of " << outcome.band_rows
            << " rows on " << team.size() << " ranks; peak memory per rank (MB):";
        for (long long kb : peaks) {
            char mb[32];
            std::snprintf(mb, sizeof mb, " %.1f", kb / 1024.0);
            err << mb;
        }
        err << "\n";
    }
    return status;
}
