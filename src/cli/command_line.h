// The command line: `landmosaic [options] MAP`, one batch run that asks nothing.
#pragma once

// Parses the arguments, runs and returns the exit status: 0 when the run went through,
// 1 when it failed, 2 for a usage error (its message on standard error).
int command_line_main(int argc, char** argv);

#include <ostream>

// The same with its streams given: `out` for help and the files written, `err` for
// messages; `terminal`: standard error is a terminal (the progress bar is drawn).
int run_command_line(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                     bool terminal);
