// landmosaic-mpi: the band engine over the ranks of an MPI job.
#include "engine/mpi/mpi_run.h"

int main(int argc, char** argv) {
    return engine::mpi::run_mpi_program(argc, argv);
}
