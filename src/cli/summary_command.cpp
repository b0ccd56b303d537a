#include "cli/summary_command.h"

#include <iostream>
#include <utility>

#include "formats/gdal_raster.h"
#include "results/summary.h"

namespace {

// A GeoTIFF result read back through GDAL: its pixels, pixel size and coordinate system.
bool read_with_gdal(const std::string& path, ByteGrid& grid, int& nb_lig, int& nb_col,
                    double& pixel_size, std::string& crs_wkt, std::string& why) {
    LoadedMap map;
    const Status s = gdal_load_map(path, 1, map);
    if (!s.ok()) {
        why = path + (s.detail.empty() ? std::string(" cannot be read") : ": " + s.detail);
        return false;
    }
    grid = std::move(map.tab_in);
    nb_lig = map.nb_lig;
    nb_col = map.nb_col;
    pixel_size = map.dpix_size;
    crs_wkt = map.georef.crs_wkt;
    return true;
}

}  // namespace

int make_summary(const std::string& base, SummaryOptions options, std::ostream& out,
                 std::ostream& err) {
    if (gdal_available() && !options.reader) options.reader = read_with_gdal;
    if (gdal_available() && !options.real_reader)
        options.real_reader = [](const std::string& path, std::vector<float>& values, int& nb_lig,
                                 int& nb_col, std::string& why) {
            const Status s = read_real_band(path, values, nb_lig, nb_col);
            if (!s.ok()) why = path + (s.detail.empty() ? std::string(" cannot be read") : ": " + s.detail);
            return s.ok();
        };
    std::string written, why;
    const int status = summary_from_results(base, written, why, options);
    out << written << std::flush;
    if (!why.empty()) err << "landmosaic summary: " << why << "\n";
    return status;
}

int summary_main(int argc, char** argv) {
    const std::string arg = argc == 2 ? argv[1] : "";
    if (arg.empty() || arg == "--help" || arg == "-h") {
        (arg.empty() ? std::cerr : std::cout)
            << "usage: landmosaic summary BASE\n"
               "  BASE: the folder and generic result name of a run (BASE_info.txt and its\n"
               "  result images); writes BASE_diversity.png, BASE_homog.png and\n"
               "  BASE_summary.html beside them.\n";
        return arg.empty() ? 2 : 0;
    }
    return make_summary(arg, SummaryOptions{}, std::cout, std::cerr);
}
