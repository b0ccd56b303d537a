#include "run/summary_command.h"

#include <iostream>
#include <string>

#include "results/summary.h"

int summary_main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]).empty() || std::string(argv[1]) == "--help") {
        std::cerr << "usage: landmosaic summary BASE\n"
                     "  BASE: the folder and generic result name of a run (BASE_info.txt and\n"
                     "  its result images); writes BASE_diversity.png, BASE_homog.png and\n"
                     "  BASE_summary.html beside them.\n";
        return argc == 2 && std::string(argv[1]) == "--help" ? 0 : 2;
    }
    std::string out, err;
    const int status = summary_from_results(argv[1], out, err);
    std::cout << out << std::flush;
    if (!err.empty()) std::cerr << "landmosaic summary: " << err << "\n";
    return status;
}
