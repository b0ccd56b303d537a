// Ctrl-C (SIGINT) and termination requests (SIGTERM) during a batch run. Caught, they
// stop the run through its progress callback, so that it removes its temporary files and
// leaves earlier results as they were, instead of dying with its files half written. A
// second signal ends the program at once.
#pragma once

namespace interruption {

// Catches SIGINT and SIGTERM from now on.
void catch_signals();

// The signal caught since, 0 when none.
int caught();

// The exit status of a run cut short by `sig`, as a shell reports a program the signal
// killed: 128 + sig (130 for SIGINT, 143 for SIGTERM).
inline int exit_status(int sig) {
    return 128 + sig;
}

}  // namespace interruption
