#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "dialogue/stages.h"
#include "raster/map.h"
#include "core/answers.h"
#include "dialogue/console.h"
#include "dialogue/failures.h"

namespace {

struct Scratch {
    std::string dir;
    Scratch() {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "landmosaic-fuzz-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) std::abort();
        dir = tmpl;
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

}  // namespace

const std::string& scratch_dir() {
    static Scratch s;
    return s.dir;
}

void write_file(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    if (std::fclose(f) != 0) std::abort();
}

int load_map(RunAnswers& run, const std::string& answers, LoadedMap& map, Inventory& inv,
             std::string* console) {
    std::istringstream in(answers);
    std::ostringstream out;
    Console con(in, out, true);
    int status = 0;
    try {
        lecture(con, run, map, inv);
    } catch (const RunStop& stop) {
        status = stop.status;
    } catch (const InputEnded&) {
        status = -1;
    }
    if (console) *console = out.str();
    return status;
}
