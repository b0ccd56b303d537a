#include <cstdio>
#include <iostream>

#include "run/console.h"
#include "run/opening.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

int main() {
#ifdef _WIN32
    SetConsoleOutputCP(850);
    const bool terminal = _isatty(_fileno(stdin)) != 0;
#else
    const bool terminal = isatty(STDIN_FILENO) != 0;
#endif
    Console con(std::cin, std::cout, Console::system_utf8(), terminal);
    return opening(con);
}
