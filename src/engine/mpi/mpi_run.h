// The MPI program: one run over all the ranks of the job.
#pragma once

namespace engine::mpi {

// Starts MPI, runs the options in argv on every rank and gives the exit status:
// 0 when every result was written, 1 when anything failed (on any rank), 2 for options
// that do not make a run.
int run_mpi_program(int argc, char** argv);

}  // namespace engine::mpi
