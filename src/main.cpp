// One program, two front ends: without arguments the dialogue at the console, with
// arguments one batch run from the command line.
#include <csignal>
#include <cstdio>
#include <iostream>

#include "cli/command_line.h"
#include "dialogue/console.h"
#include "dialogue/opening.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

int main(int argc, char** argv) {
#ifndef _WIN32
    // A closed standard output makes writes fail with an error the run can see, instead
    // of killing the program in the middle of writing its files.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    if (argc > 1) return command_line_main(argc, argv);
#ifdef _WIN32
    SetConsoleOutputCP(850);
    const bool terminal = _isatty(_fileno(stdin)) != 0;
#else
    const bool terminal = isatty(STDIN_FILENO) != 0;
#endif
    Console con(std::cin, std::cout, Console::system_utf8(), terminal);
    int status = opening(con);
    // What stays in the buffers is written now, so that a failure still shows in the status.
    std::cout.flush();
    if (!std::cout.good() || std::fflush(stdout) != 0 || std::ferror(stdout)) status = 1;
    return status;
}
