// The program's side of GDAL: the GDAL module is loaded the first time a run needs it
// (a map GDAL reads, a GeoTIFF result, the version in --help), not at start-up, so that
// a dialogue or a run on the native formats keeps GDAL out of its memory.
#include <dlfcn.h>

#include <filesystem>
#include <mutex>
#include <system_error>

#include "formats/gdal_module.h"
#include "formats/gdal_raster.h"
#include "text/catalogue.h"

namespace fs = std::filesystem;

namespace {

struct Loaded {
    const GdalModule* module = nullptr;
    std::string why;       // why there is no module, when there is none
    bool named = false;    // LANDMOSAIC_GDAL_MODULE names the module
};

// Where the module may be, first found first taken: the file named by
// LANDMOSAIC_GDAL_MODULE, beside the program, in ../lib/landmosaic from the program (an
// installed layout), and where the build that made this program put it.
std::vector<std::string> module_places() {
    std::vector<std::string> places;
    if (const char* env = std::getenv("LANDMOSAIC_GDAL_MODULE"); env && *env) places.push_back(env);
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        places.push_back((exe.parent_path() / kGdalModuleFile).string());
        places.push_back((exe.parent_path().parent_path() / "lib" / "landmosaic" / kGdalModuleFile)
                             .string());
    }
#ifdef LANDMOSAIC_GDAL_MODULE_BUILT
    places.push_back(LANDMOSAIC_GDAL_MODULE_BUILT);
#endif
    return places;
}

Loaded load_module() {
    Loaded l;
    // A module named by the variable is that one or none: another one found elsewhere
    // would run a program the user did not ask for.
    const char* env = std::getenv("LANDMOSAIC_GDAL_MODULE");
    l.named = env && *env;
    for (const std::string& place : module_places()) {
        std::error_code ec;
        if (l.named && place != env) break;
        if (!fs::exists(place, ec)) {
            if (l.named) l.why = place + ": no such file";
            continue;
        }
        void* h = dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!h) {
            const char* e = dlerror();
            l.why = e ? e : place + ": cannot be loaded";
            continue;
        }
        using Entry = const GdalModule* (*)();
        auto entry = reinterpret_cast<Entry>(dlsym(h, kGdalModuleEntry));
        const GdalModule* m = entry ? entry() : nullptr;
        if (!m || m->version != kGdalModuleVersion || m->sizes != gdal_module_sizes()) {
            l.why = place + (entry ? " belongs to another build of the program"
                                   : " is not a GDAL module of this program");
            dlclose(h);
            continue;
        }
        // The module stays loaded until the program ends: its objects may outlive any run.
        l.module = m;
        l.why.clear();
        return l;
    }
    if (l.why.empty()) l.why = std::string("the GDAL module ") + kGdalModuleFile + " was not found";
    return l;
}

// The module, loaded once for the whole process (a process maps a shared object once).
const Loaded& loaded() {
    static std::once_flag once;
    static Loaded l;
    std::call_once(once, [] { l = load_module(); });
    return l;
}

Status not_written(const std::string& path) {
    Status s = Status::make(Status::Code::NotWritten, path, txt::result_not_written, {path});
    s.detail = loaded().why;
    return s;
}

}  // namespace

std::string gdal_module_problem() {
    // Without the variable nothing is loaded here: a run on the native formats never
    // loads GDAL.
    const char* env = std::getenv("LANDMOSAIC_GDAL_MODULE");
    if (!env || !*env) return {};
    const Loaded& l = loaded();
    if (!l.named || l.module) return {};
    return "LANDMOSAIC_GDAL_MODULE is set but cannot be used: " + l.why;
}

bool gdal_available() {
    return loaded().module != nullptr;
}

std::string gdal_version() {
    return gdal_available() ? loaded().module->gdal_version() : std::string();
}

std::string gdal_creation_options_problem(const std::vector<std::string>& options, bool cog,
                                          bool bytes, bool reals) {
    if (options.empty() || !gdal_available()) return {};
    return loaded().module->creation_options_problem(options, cog, bytes, reals);
}

std::unique_ptr<GdalRowSource> gdal_row_source(const std::string& path, int band, LoadedMap& header,
                                               Status& st, bool reals) {
    if (!gdal_available()) {
        st = Status::refused(path, txt::reason_no_gdal);
        return nullptr;
    }
    return loaded().module->gdal_row_source(path, band, header, st, reals);
}

std::unique_ptr<engine::RowSink> geotiff_sink(
    const std::string& path, const LoadedMap& header, ResultKind kind,
    const std::vector<std::pair<std::string, std::string>>& metadata, int tile_rows,
    Status& st, const GeoTiffLayout& layout) {
    if (!gdal_available()) {
        st = not_written(path);
        return nullptr;
    }
    return loaded().module->geotiff_sink(path, header, kind, metadata, tile_rows, st, layout);
}
