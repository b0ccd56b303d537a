// One program, two front ends: without arguments the dialogue at the console, with
// arguments one batch run from the command line.
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
    if (argc > 1) return command_line_main(argc, argv);
#ifdef _WIN32
    SetConsoleOutputCP(850);
    const bool terminal = _isatty(_fileno(stdin)) != 0;
#else
    const bool terminal = isatty(STDIN_FILENO) != 0;
#endif
    Console con(std::cin, std::cout, Console::system_utf8(), terminal);
    return opening(con);
}
