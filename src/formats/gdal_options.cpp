// The creation options of GeoTIFF results: the user's as GDAL takes them, checked by
// GDAL's driver, and whether GDAL may compress on worker threads.
#include "formats/gdal_internal.h"

#include <cpl_multiproc.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal.h>
#include <sys/resource.h>

#include <algorithm>
#include <thread>

namespace gdal_impl {

// Whether GDAL may compress tiles on worker threads. Under an address-space limit its
// thread pool may fail to start its threads and then wait on them forever, or a worker may
// fail to allocate where nothing can report it: tiles are then compressed on the calling
// thread, where every failure comes back as an error. Threads are also tried once, so that
// a system that cannot start them is known before GDAL relies on them.
bool compression_threads_usable() {
    static const bool usable = [] {
        struct rlimit as;
        if (::getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY) return false;
        const unsigned n = std::max(1u, std::thread::hardware_concurrency());
        std::vector<CPLJoinableThread*> started;
        bool all = true;
        for (unsigned k = 0; k < n && all; ++k) {
            CPLJoinableThread* t = CPLCreateJoinableThread([](void*) {}, nullptr);
            if (t)
                started.push_back(t);
            else
                all = false;
        }
        for (CPLJoinableThread* t : started) CPLJoinThread(t);
        return all;
    }();
    return usable;
}

// Creation options NAME=VALUE as GDAL takes them (a NAME alone sets an empty value).
char** user_options(const std::vector<std::string>& given) {
    char** users = nullptr;
    for (const std::string& o : given) {
        const std::size_t eq = o.find('=');
        users = CSLSetNameValue(users, o.substr(0, eq).c_str(),
                                eq == std::string::npos ? "" : o.substr(eq + 1).c_str());
    }
    return users;
}

constexpr const char* kProbe = "/vsimem/landmosaic-options-probe.tif";

// Whether GDAL writes a 1 x 1 GeoTIFF of `type` in memory with the options `list`, as a
// result is written (through a copy for the COG driver): some options pass the driver's
// check by name and value and are refused only by the file (a floating-point predictor
// on a byte band, JPEG on floats).
bool probe_file_written(GDALDriverH drv, char** list, GDALDataType type, bool cog) {
    bool ok = false;
    if (cog) {
        GDALDriverH mem = GDALGetDriverByName("MEM");
        GDALDatasetH src = mem ? GDALCreate(mem, "", 1, 1, 1, type, nullptr) : nullptr;
        GDALDatasetH ds =
            src ? GDALCreateCopy(drv, kProbe, src, FALSE, list, nullptr, nullptr) : nullptr;
        ok = ds != nullptr;
        if (ds) GDALClose(ds);
        if (src) GDALClose(src);
    } else if (GDALDatasetH ds = GDALCreate(drv, kProbe, 1, 1, 1, type, list)) {
        float zero = 0;
        ok = GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Write, 0, 0, 1, 1, &zero, 1, 1,
                          GDT_Float32, 0, 0) == CE_None;
        GDALClose(ds);
    }
    VSIUnlink(kProbe);
    return ok;
}

std::string creation_options_problem(const std::vector<std::string>& options, bool cog, bool bytes,
                                     bool reals) {
    register_drivers();
    GDALDriverH drv = GDALGetDriverByName(cog ? "COG" : "GTiff");
    if (!drv) return options.front() + "\n" + (cog ? "GDAL has no COG driver" : "GDAL has no GTiff driver");
    // One option at a time, so that the message names the option GDAL refuses.
    for (const std::string& o : options) {
        const std::vector<std::string> one = {o};
        char** list = user_options(one);
        GdalMessages said;
        bool ok = GDALValidateCreationOptions(drv, list) != FALSE;
        if (ok && bytes) ok = probe_file_written(drv, list, GDT_Byte, cog) && !said.failed();
        if (ok && reals) ok = probe_file_written(drv, list, GDT_Float32, cog) && !said.failed();
        CSLDestroy(list);
        if (ok) continue;
        // GDAL names the file in some messages: the user knows no file of that name.
        std::string why = said.first();
        const std::string named = std::string(kProbe) + ": ";
        if (why.compare(0, named.size(), named) == 0) why.erase(0, named.size());
        return o + "\n" + why;
    }
    return {};
}

}  // namespace gdal_impl
