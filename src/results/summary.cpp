#include "results/summary.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <deque>
#include <filesystem>
#include <optional>

#include "analysis/metrics.h"
#include "formats/png.h"
#include "results/picture_sink.h"
#include "results/result_files.h"
#include "text/catalogue.h"

using namespace results;

bool write_summary(const std::string& base, SummaryInput in, const Quicklook& div,
                   const Quicklook& homo, std::vector<std::string>& failed, Status& why) {
    const QuicklookNames names(base);
    failed.clear();
    why = Status::success();
    if (!png_available()) {
        why = Status::make(Status::Code::NotWritten, names.summary_html, txt::summary_no_png);
        failed = {names.diversity_png, names.homog_png, names.summary_html};
        return false;
    }
    std::string div_png, homo_png;
    const bool div_ok = encode_png(div.image, div_png);
    const bool homo_ok = encode_png(homo.image, homo_png);
    std::vector<std::string> written;
    if (div_ok && write_file_whole(names.diversity_png, div_png))
        written.push_back(names.diversity_png);
    else
        failed.push_back(names.diversity_png);
    if (homo_ok && write_file_whole(names.homog_png, homo_png))
        written.push_back(names.homog_png);
    else
        failed.push_back(names.homog_png);
    written.push_back(names.summary_html);
    in.outputs.insert(in.outputs.end(), written.begin(), written.end());
    if (!div_ok || !homo_ok || !write_file_whole(names.summary_html,
                                                 summary_html(in, div, homo, div_png, homo_png)))
        failed.push_back(names.summary_html);
    return failed.empty();
}

std::string crs_name(const std::string& wkt) {
    // The first quoted string is the name of the outermost system; the last EPSG
    // identifier (WKT2 ID["EPSG",n], WKT1 AUTHORITY["EPSG","n"]) is the system's own.
    const auto q0 = wkt.find('"');
    if (q0 == std::string::npos) return wkt.size() <= 80 ? wkt : "";
    const auto q1 = wkt.find('"', q0 + 1);
    std::string name = wkt.substr(q0 + 1, q1 == std::string::npos ? std::string::npos : q1 - q0 - 1);
    std::string code;
    for (const char* key : {"ID[\"EPSG\",", "AUTHORITY[\"EPSG\",\""}) {
        const auto at = wkt.rfind(key);
        if (at == std::string::npos) continue;
        std::size_t p = at + std::strlen(key);
        while (p < wkt.size() && std::isdigit(static_cast<unsigned char>(wkt[p]))) code += wkt[p++];
        if (!code.empty()) break;
    }
    return code.empty() ? name : name + " (EPSG:" + code + ")";
}

namespace {

std::string absolute_name(const std::string& name) {
    std::error_code ec;
    const std::string a = std::filesystem::absolute(name, ec).string();
    return ec ? name : a;
}

// The pixel size of the map: the report keeps whole metres; an ascii grid keeps the size
// itself, and the surface of the map tells a size that is not a whole number.
double pixel_size_of(const ReportContents& rc, double cell) {
    if (cell > 0) return cell;
    double size = rc.pix_size;
    if (rc.nb_lig > 0 && rc.nb_col > 0 && rc.surface_km2 > 0) {
        // The surface is shown to 0.001 km2: the sizes it allows, against the whole
        // metres the report shows (the size truncated).
        const double n = static_cast<double>(rc.nb_lig) * rc.nb_col;
        const double lo = std::sqrt(std::max(0.0, rc.surface_km2 - 0.0005) * 1e6 / n);
        const double hi = std::sqrt((rc.surface_km2 + 0.0005) * 1e6 / n);
        const double a = std::max(lo, static_cast<double>(rc.pix_size));
        const double b = std::min(hi, rc.pix_size + 1.0);
        if (!(rc.pix_size >= lo && rc.pix_size <= hi) && a < b) size = (a + b) / 2;
    }
    return size;
}

// What the page says, from the report and the homogeneity image (whether its first
// line holds values).
SummaryInput input_from_report(const ReportContents& rc, bool first_line, double cell) {
    SummaryInput in;
    in.idiom = rc.idiom;
    in.map_name = rc.nom_lect;
    in.nb_lig = rc.nb_lig;
    in.nb_col = rc.nb_col;
    in.dpix_size = pixel_size_of(rc, cell);
    // The shares from the pixels, more precise than the report's two decimals.
    in.items = rc.items;
    long long classified = 0;
    for (const SummaryItem& it : in.items) classified += it.pixels;
    for (SummaryItem& it : in.items)
        if (classified > 0)
            it.percent = static_cast<double>(it.pixels) / static_cast<double>(classified) * 100;
    in.win_shape = rc.win_shape;
    in.range_win = rc.range_win;
    in.window_pixels = rc.window_pixels;
    in.window_ha = rc.window_ha;
    // The homogeneity image tells the treatment: a moving window leaves its border band
    // of R lines without value, the cell mesh fills the first line.
    if (rc.range_win > 0) {
        in.treat_type = first_line ? 0 : 1;
    } else if (rc.win_shape == 1) {
        in.treat_type = 1;
    }
    return in;
}

// What the two result images give the page, each read a band of rows at a time: their
// pictures, whether the homogeneity's first line holds values, and the place the
// diversity image carries.
struct ResultImages {
    std::string div_name, homo_name;
    Quicklook div, homo;
    bool first_line = false;
    double cell = 0;
    std::string crs;
    bool corner_known = false;
    double x_min = 0, y_min = 0;
};

// A result image opened, of the size the report gives.
bool open_of_report_size(const std::string& path, const ReportContents& rc,
                         const SummaryOptions& options, ResultImage& ri, Status& err,
                         bool real = false) {
    if (!open_result_image(path, options.reader, ri, err, real)) return false;
    if (ri.nb_lig() != rc.nb_lig || ri.nb_col() != rc.nb_col) {
        err = Status::make(Status::Code::Refused, path, txt::summary_wrong_size,
                           {path, static_cast<long long>(rc.nb_col),
                            static_cast<long long>(rc.nb_lig)});
        return false;
    }
    return true;
}

// The diversity's picture. The mesh lines (unless the caller knows whether they were
// drawn) are found as the rows go by: the picture is built both with and without them
// while they may have been drawn, and the one that holds is kept.
bool diversity_picture(const ReportContents& rc, const SummaryOptions& options,
                       ResultImages& im, Status& err) {
    ResultImage ri;
    if (!open_of_report_size(im.div_name, rc, options, ri, err)) return false;
    im.cell = ri.cell;
    im.crs = ri.crs;
    im.corner_known = ri.corner_known;
    im.x_min = ri.x_min;
    im.y_min = ri.y_min;
    const int m = 2 * std::max(0, rc.range_win) + 1;
    const bool known = options.mesh_drawn >= 0;
    using Kind = QuicklookBuilder::Kind;
    MeshFinder finder(rc.nb_col, rc.range_win);
    QuicklookBuilder plain(Kind::Mode, rc.nb_lig, rc.nb_col, {known && options.mesh_drawn == 1, m});
    std::optional<QuicklookBuilder> meshed;
    if (!known && finder.possible()) meshed.emplace(Kind::Mode, rc.nb_lig, rc.nb_col, MeshLines{true, m});
    const auto take = [&](int y, int n, const unsigned char* const* rows) {
        plain.add_rows(y, n, rows);
        for (int k = 0; !known && k < n; ++k) finder.add_row(y + k, rows[k]);
        if (meshed && !finder.possible()) meshed.reset();
        if (meshed) meshed->add_rows(y, n, rows);
    };
    if (!read_result_rows(ri, take, err)) return false;
    im.div = meshed && finder.lines().drawn ? meshed->finish() : plain.finish();
    return true;
}

// The homogeneity's picture, and whether its first line holds values.
bool homogeneity_picture(const ReportContents& rc, const SummaryOptions& options,
                         ResultImages& im, Status& err) {
    ResultImage ri;
    if (!open_of_report_size(im.homo_name, rc, options, ri, err)) return false;
    QuicklookBuilder builder(QuicklookBuilder::Kind::Mean, rc.nb_lig, rc.nb_col);
    const auto take = [&](int y, int n, const unsigned char* const* rows) {
        for (int j = 0; y == 0 && j < rc.nb_col && !im.first_line; ++j)
            im.first_line = rows[0][j] != 255;
        builder.add_rows(y, n, rows);
    };
    if (!read_result_rows(ri, take, err)) return false;
    im.homo = builder.finish();
    return true;
}

bool read_result_images(const ReportContents& rc, const std::string& base,
                        const SummaryOptions& options, ResultImages& im, Status& err) {
    im.div_name = find_image(rc.diversity_image, base, "_diversity");
    im.homo_name = find_image(rc.homog_image, base, "_homog");
    if (im.div_name.empty() || im.homo_name.empty()) {
        const std::string missing = base + (im.div_name.empty() ? "_diversity" : "_homog");
        err = Status::make(Status::Code::Missing, missing, txt::summary_no_image, {missing});
        return false;
    }
    return diversity_picture(rc, options, im, err) && homogeneity_picture(rc, options, im, err);
}

}  // namespace

MetricImage metric_image(const metrics::Metric& m, const std::string& path) {
    std::string about = m.info().about;
    if (m.id == metrics::Id::Share) about += std::to_string(m.code);
    return {m.name(), m.suffix(), about, path, m.type() == metrics::Type::Real,
            m.id == metrics::Id::Dominant, nullptr};
}

namespace {

// The pictures of the other metrics the report names, each read a band of rows at a time
// from its file (a real metric's as floats), kept in `pictures`, their images added to
// `images`. A metric this program does not know is passed over.
bool metric_pictures(const ReportContents& rc, const std::string& base,
                     const SummaryOptions& options, std::vector<MetricImage>& images,
                     std::deque<Quicklook>& pictures, Status& err) {
    for (const auto& [name, named] : rc.metric_images) {
        std::vector<metrics::Metric> ms;
        if (!metrics::parse({name}, ms).ok() || ms.size() != 1 || metrics::native(ms[0])) continue;
        const metrics::Metric& m = ms[0];
        const bool real = m.type() == metrics::Type::Real;
        const std::string suffix = "_" + m.suffix();
        const std::string path = find_image(named, base, suffix.c_str());
        if (path.empty()) {
            err = Status::make(Status::Code::Missing, base + suffix, txt::summary_no_image,
                               {base + suffix});
            return false;
        }
        ResultImage ri;
        if (!open_of_report_size(path, rc, options, ri, err, real)) return false;
        QuicklookBuilder builder(picture_kind(m), rc.nb_lig, rc.nb_col);
        // The dominant class in its GeoTIFF's colours, as the run drew it.
        if (m.id == metrics::Id::Dominant) builder.use_colours(ri.src->info().colours);
        const auto take = [&](int y, int n, const unsigned char* const* rows) {
            builder.add_rows(y, n, rows);
        };
        if (!read_result_rows(ri, take, err)) return false;
        pictures.push_back(builder.finish());
        images.push_back(metric_image(m, path));
        images.back().picture = &pictures.back();
    }
    return true;
}

// The names written, as the base was given, on `out`.
void tell_written(const std::string& base, const std::string& given,
                  const std::vector<std::string>& extra, const std::vector<std::string>& failed,
                  std::string& out) {
    for (const std::string& f : extra) out += f + "\n";
    const QuicklookNames names(base), told(given);
    const std::string made[3][2] = {{names.diversity_png, told.diversity_png},
                                    {names.homog_png, told.homog_png},
                                    {names.summary_html, told.summary_html}};
    for (const auto& f : made)
        if (std::find(failed.begin(), failed.end(), f[0]) == failed.end()) out += f[1] + "\n";
}

// The panel of one more metric: its picture, made by the run, written as
// BASE_<suffix>.png; a real metric's ramp spans the least and largest values the
// picture was made of.
bool metric_panel(const MetricImage& m, const std::string& base, SummaryInput::Panel& p,
                  Status& err) {
    p.image = m;
    if (!m.picture) {
        err = Status::make(Status::Code::NotWritten, m.path, txt::summary_no_picture, {m.path});
        return false;
    }
    p.picture = *m.picture;
    p.lo = p.picture.lo;
    p.hi = p.picture.hi;
    const std::string png_name = base + "_" + m.suffix + ".png";
    if (!encode_png(p.picture.image, p.png) || !write_file_whole(png_name, p.png)) {
        err = Status::not_written(png_name);
        return false;
    }
    return true;
}

}  // namespace

int summary_of_run(const std::string& given, SummaryInput in, const Quicklook& div,
                   const Quicklook& homo, const SummaryOptions& options, std::string& out,
                   Status& err) {
    const std::string base = absolute_name(given);
    // The other metrics: a picture each, beside the two.
    std::vector<std::string> extra_written;
    for (const MetricImage& m : options.metrics) {
        if (!png_available()) break;
        SummaryInput::Panel p;
        if (!metric_panel(m, base, p, err)) return 1;
        in.outputs.push_back(absolute_name(m.path));
        in.outputs.push_back(base + "_" + m.suffix + ".png");
        extra_written.push_back(given + "_" + m.suffix + ".png");
        in.panels.push_back(std::move(p));
    }
    std::vector<std::string> failed;
    Status why;
    const bool ok = write_summary(base, std::move(in), div, homo, failed, why);
    tell_written(base, given, extra_written, failed, out);
    if (!ok) {
        err = !why.ok() ? why : Status::not_written(failed.front());
        return 1;
    }
    return 0;
}

std::string absolute_path(const std::string& name) { return absolute_name(name); }

int summary_from_results(const std::string& base_arg, std::string& out, Status& err, int& idiom,
                         const SummaryOptions& options) {
    out.clear();
    err = Status::success();
    idiom = 0;
    // The names written are told as the base was given; the page gives absolute names,
    // so that it says where the files are wherever it is opened.
    std::string given = base_arg;
    const std::string info_suffix = "_info.txt";
    if (given.size() > info_suffix.size() &&
        given.compare(given.size() - info_suffix.size(), info_suffix.size(), info_suffix) == 0)
        given.erase(given.size() - info_suffix.size());
    const std::string base = absolute_name(given);
    const std::string report_name = base + info_suffix;
    ReportContents rc;
    ResultImages im;
    if (!read_report(given, report_name, rc, err)) return 1;
    idiom = rc.idiom;
    if (!read_result_images(rc, base, options, im, err)) return 1;

    SummaryInput in = input_from_report(rc, im.first_line, im.cell);
    in.crs = crs_name(im.crs);
    in.corner_known = im.corner_known;
    in.X_min = im.x_min;
    in.Y_min = im.y_min;
    if (options.treat_type >= 0) in.treat_type = options.treat_type;
    in.outputs = {absolute_name(im.div_name), absolute_name(im.homo_name), report_name};
    in.unclassified_share = options.unclassified_share;
    // The other metrics of the run, a panel each, unless the caller gives them.
    SummaryOptions with = options;
    std::deque<Quicklook> pictures;
    if (with.metrics.empty() && !metric_pictures(rc, base, options, with.metrics, pictures, err))
        return 1;
    return summary_of_run(given, std::move(in), im.div, im.homo, with, out, err);
}
