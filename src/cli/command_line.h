// The command line: `landmosaic [options] MAP`, one batch run that asks nothing.
#pragma once

#include <ostream>
#include <string>

#include "app/run.h"

// Parses the arguments, runs and returns the exit status: 0 when the run went through,
// 1 when it failed, 2 for a usage error (its message on standard error).
int command_line_main(int argc, char** argv);

// The same with its streams given: `out` for help and the files written, `err` for
// messages; `terminal`: standard error is a terminal (the progress bar is drawn).
// `interrupted`, when given, says which signal asked the run to stop (0: none): the run
// then stops, removes its temporary files, and the status is 128 + the signal.
int run_command_line(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                     bool terminal, int (*interrupted)() = nullptr);


// What the arguments ask for: the run, and what the front end does around it.
struct CommandLine {
    std::string program = "landmosaic";  // the name messages start with
    bool has_dialogue = true;            // without arguments the program runs its dialogue
    RunRequest req;
    std::string json_path;   // the JSON summary; empty for none
    bool quiet = false;      // no progress bar
    bool quicklook = false;  // pictures and summary page after the run
};

// Fills `cl` from the arguments (cl.program set beforehand names the program). -1 when
// the run is to go ahead; otherwise the exit status: 0 after the help or the version
// (on `out`), 2 after a usage error (its message on `err`).
int parse_command_line(int argc, const char* const* argv, CommandLine& cl, std::ostream& out,
                       std::ostream& err);

// What follows a run: its warnings and failures on `err`, the files written on `out`,
// then the pictures and the JSON summary when asked. The exit status.
int finish_command_line(const CommandLine& cl, const RunOutcome& outcome, std::ostream& out,
                        std::ostream& err);

// A run stopped by signal `sig`: its failures on `err`; the exit status, 128 + sig.
int finish_interrupted(const CommandLine& cl, const RunOutcome& outcome, int sig,
                       std::ostream& err);
