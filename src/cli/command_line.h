// The command line: `landmosaic [options] MAP`, one batch run that asks nothing.
#pragma once

// Parses the arguments, runs and returns the exit status: 0 when the run went through,
// 1 when it failed, 2 for a usage error (its message on standard error).
int command_line_main(int argc, char** argv);
