// A build without CLI11: the program is the dialogue alone.
#include <cstdio>

#include "cli/command_line.h"

int command_line_main(int, char**) {
    std::fputs(
        "landmosaic: this build has no command line; run it without arguments for the "
        "dialogue\n",
        stderr);
    return 2;
}
