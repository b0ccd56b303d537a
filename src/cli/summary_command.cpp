#include "cli/summary_command.h"

#include <iostream>
#include <utility>

#include "app/run.h"
#include "formats/gdal_raster.h"
#include "results/summary.h"
#include "text/catalogue.h"
#include "text/status_text.h"
#include "window/shapes.h"

namespace {

// A GeoTIFF result opened through GDAL's row reader: its pixel size and coordinate system;
// a real metric's rows as floats.
std::unique_ptr<engine::RowSource> open_with_gdal(const std::string& path, double& pixel_size,
                                                  std::string& crs_wkt, Status& st, bool reals) {
    LoadedMap header;
    std::unique_ptr<engine::RowSource> src = gdal_row_source(path, 1, header, st, reals);
    if (!src) return nullptr;
    pixel_size = header.dpix_size;
    crs_wkt = header.georef.crs_wkt;
    return src;
}

// What the page says of a run, from its outcome.
SummaryInput page_input(const RunOutcome& o, const SummaryOptions& options) {
    const RunAnswers& run = o.run;
    SummaryInput in;
    in.idiom = run.idiom;
    in.map_name = run.nom_lect;
    in.nb_lig = o.nb_lig;
    in.nb_col = o.nb_col;
    in.dpix_size = o.dpix_size;
    in.crs = crs_name(o.crs_wkt);
    in.corner_known = o.corner_known;
    in.X_min = o.x_min;
    in.Y_min = o.y_min;
    const Inventory& inv = o.inv;
    for (int k = 1; k <= inv.num_item; ++k)
        in.items.push_back({inv.number_item[k], inv.num_pixel_item[k],
                            inv.tot_surf_item > 0 ? static_cast<double>(inv.num_pixel_item[k]) /
                                                        static_cast<double>(inv.tot_surf_item) * 100
                                                  : 0.0,
                            static_cast<std::size_t>(inv.number_item[k]) < o.class_names.size()
                                ? o.class_names[inv.number_item[k]]
                                : std::string()});
    in.treat_type = run.treat_type;
    in.win_shape = run.win_shape;
    in.range_win = run.range_win;
    in.window_pixels = window_shape(run.treat_type, run.win_shape).mask ? o.win.num_pix_circ : o.win.surf_tot;
    in.window_ha = o.win.surf_win;
    in.unclassified_share = options.unclassified_share;
    in.outputs = {absolute_path(o.diversity), absolute_path(o.homogeneity), absolute_path(o.report)};
    return in;
}

}  // namespace

int summary_of_outcome(const RunOutcome& outcome, SummaryOptions options,
                       std::ostream& out, std::ostream& err) {
    const Quicklook* div = nullptr;
    const Quicklook* homo = nullptr;
    for (const RunOutcome::File& f : outcome.files) {
        if (f.metric.id == metrics::Id::Diversity) div = f.picture.get();
        if (f.metric.id == metrics::Id::Homogeneity) homo = f.picture.get();
    }
    const std::string info = "_info.txt";
    const int idiom = outcome.run.idiom;
    if (!div || !homo || outcome.report.size() <= info.size()) {
        err << "landmosaic summary: "
            << status_line(Status::make(Status::Code::NotWritten, {}, txt::summary_no_pictures), idiom,
                           true)
            << "\n";
        return 1;
    }
    for (MetricImage& m : options.metrics)
        for (const RunOutcome::File& f : outcome.files)
            if (f.path == m.path) m.picture = f.picture.get();
    const std::string given = outcome.report.substr(0, outcome.report.size() - info.size());
    std::string written;
    Status why;
    const int status =
        summary_of_run(given, page_input(outcome, options), *div, *homo, options, written, why);
    out << written << std::flush;
    if (!why.ok()) err << "landmosaic summary: " << status_line(why, idiom, true) << "\n";
    return status;
}

int make_summary(const std::string& base, SummaryOptions options, std::ostream& out,
                 std::ostream& err) {
    if (gdal_available() && !options.reader) options.reader = open_with_gdal;
    std::string written;
    Status why;
    int idiom = 0;
    const int status = summary_from_results(base, written, why, idiom, options);
    out << written << std::flush;
    if (!why.ok()) err << "landmosaic summary: " << status_line(why, idiom, true) << "\n";
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
