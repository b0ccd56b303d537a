#include <cstdio>
#include <iostream>
#include <string>

#include "run/console.h"
#include "run/opening.h"
#include "run/summary_command.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

int main(int argc, char** argv) {
    // `landmosaic summary BASE` remakes the pictures and the page of an earlier run;
    // without arguments the program is the dialogue.
    if (argc >= 2 && std::string(argv[1]) == "summary") return summary_main(argc - 1, argv + 1);
#ifdef _WIN32
    SetConsoleOutputCP(850);
    const bool terminal = _isatty(_fileno(stdin)) != 0;
#else
    const bool terminal = isatty(STDIN_FILENO) != 0;
#endif
    Console con(std::cin, std::cout, Console::system_utf8(), terminal);
    return opening(con);
}
