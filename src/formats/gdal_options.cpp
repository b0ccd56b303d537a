// The creation options of GeoTIFF results: the user's as GDAL takes them, checked by
// GDAL's driver, and whether GDAL may compress on worker threads.
#include "formats/gdal_internal.h"

#include <cpl_multiproc.h>
#include <cpl_string.h>
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

std::string creation_options_problem(const std::vector<std::string>& options, bool cog) {
    register_drivers();
    GDALDriverH drv = GDALGetDriverByName(cog ? "COG" : "GTiff");
    if (!drv) return options.front() + "\n" + (cog ? "GDAL has no COG driver" : "GDAL has no GTiff driver");
    // One option at a time, so that the message names the option GDAL refuses.
    for (const std::string& o : options) {
        const std::vector<std::string> one = {o};
        char** list = user_options(one);
        GdalMessages said;
        const bool ok = GDALValidateCreationOptions(drv, list) != FALSE;
        CSLDestroy(list);
        if (!ok) return o + "\n" + said.first();
    }
    return {};
}

}  // namespace gdal_impl
