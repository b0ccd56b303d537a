#include "cli/json_summary.h"

#include <nlohmann/json.hpp>

#include "formats/format.h"
#include "text/status_text.h"

namespace {

using json = nlohmann::ordered_json;

bool is_utf8(const std::string& s) {
    try {
        (void)json(s).dump();
        return true;
    } catch (const json::type_error&) {
        return false;
    }
}

// A path under `key`, and when its bytes are not UTF-8 (a name from another system), the
// same bytes as numbers under `key`_bytes: the text shows them as replacement characters.
void put_path(json& object, const std::string& key, const std::string& path) {
    object[key] = path.empty() ? json(nullptr) : json(path);
    if (is_utf8(path)) return;
    json bytes = json::array();
    for (unsigned char c : path) bytes.push_back(static_cast<int>(c));
    object[key + "_bytes"] = std::move(bytes);
}

// Every result image: its metric, type and no-value mark, and what its pixels hold.
json file_entries(const RunOutcome& out) {
    json files = json::array();
    for (const RunOutcome::File& f : out.files) {
        const bool real = f.metric.type() == metrics::Type::Real;
        json file = {{"metric", f.metric.name()}};
        put_path(file, "path", f.path);
        file["type"] = real ? "Float32" : "Byte";
        file["no_data"] = real ? json(-1) : json(255);
        if (real) {
            file["values"] = f.stats.values;
            file["min"] = f.stats.values > 0 ? json(f.stats.min) : json(nullptr);
            file["mean"] = f.stats.values > 0 ? json(f.stats.mean()) : json(nullptr);
            file["max"] = f.stats.values > 0 ? json(f.stats.max) : json(nullptr);
        } else {
            json hist = json::array();
            for (int v = 0; v < 255; ++v)
                if (f.stats.histogram[v] > 0)
                    hist.push_back({{"value", v}, {"pixels", f.stats.histogram[v]}});
            file["histogram"] = hist;
            file["no_value_pixels"] = f.stats.histogram[255];
        }
        files.push_back(file);
    }
    return files;
}

// The files written: the report, the two images, the pictures and the page that shows them.
json output_entries(const RunOutcome& out, const std::vector<std::string>& pictures) {
    json outputs = json::object();
    put_path(outputs, "report", out.report);
    put_path(outputs, "diversity", out.diversity);
    put_path(outputs, "homogeneity", out.homogeneity);
    json quicklooks = json::array();
    for (const std::string& p : pictures) {
        if (p.size() > 5 && p.compare(p.size() - 5, 5, ".html") == 0)
            put_path(outputs, "summary_html", p);
        else {
            json picture = json::object();
            put_path(picture, "path", p);
            quicklooks.push_back(std::move(picture));
        }
    }
    if (!quicklooks.empty()) outputs["quicklooks"] = std::move(quicklooks);
    return outputs;
}

// The options of the run as given, and the window they made.
json parameters_entry(const RunRequest& req, const RunOutcome& out) {
    static const char* const kLanguages[] = {"en", "fr", "es"};
    const RunAnswers& run = out.run;
    json metric_names = json::array();
    for (const std::string& m : req.metrics) metric_names.push_back(m);
    return {{"window", window_shape(req.window).name},
            // The rank as given when the run stopped before its window was fixed.
            {"rank", req.rank >= 0 ? req.rank : run.range_win},
            {"rank_from_surface_km2", req.rank < 0 ? json(req.surface_km2) : json(nullptr)},
            {"format", run.res_form >= 0 ? formats::format_of(run.res_form).name
                                         : formats::geotiff_format().name},
            {"language", kLanguages[run.idiom >= 0 && run.idiom <= 2 ? run.idiom : 0]},
            {"mesh_lines", req.mesh_lines},
            {"band", req.band},
            {"metrics", metric_names},
            {"min_valid", req.min_valid > 0 ? json(req.min_valid) : json(nullptr)},
            {"window_pixels",
             window_shape(req.window).mask ? out.win.num_pix_circ : out.win.surf_tot},
            {"window_ha", out.win.surf_win}};
}

}  // namespace

std::string json_summary(const RunRequest& req, const RunOutcome& out,
                         const std::vector<std::string>& pictures) {
    const RunAnswers& run = out.run;

    json items = json::array();
    for (int k = 1; k <= out.inv.num_item && k < 260; ++k)
        items.push_back({{"code", out.inv.number_item[k]},
                         {"pixels", out.inv.num_pixel_item[k]},
                         {"percent", out.inv.percent_item[k]}});
    json histogram = json::array();
    for (int v = 0; v <= out.max_histo && v < 260; ++v)
        histogram.push_back({{"diversity", v}, {"pixels", out.histo_div[v]}});
    json warnings = json::array();
    for (const Status& s : out.warnings) warnings.push_back(status_line(s, run.idiom, true));
    json failures = json::array();
    for (const Status& s : out.failures) failures.push_back(status_line(s, run.idiom, true));

    json files = file_entries(out);
    json windows = {{"evaluated", out.windows.windows},
                    {"with_unclassified", out.windows.with_unclassified}};
    if (req.min_valid <= 0)
        windows["share_with_unclassified"] =
            out.windows.windows > 0
                ? static_cast<double>(out.windows.with_unclassified) / out.windows.windows
                : 0.0;
    json outputs = output_entries(out, pictures);
    json j = json::object();
    put_path(j, "map", req.map);
    json rest = {
        {"parameters", parameters_entry(req, out)},
        {"map_size", {{"lines", out.nb_lig}, {"columns", out.nb_col}}},
        {"pixel_size", out.dpix_size},
        {"georeferenced", out.georeferenced},
        {"inventory",
         {{"items", out.inv.num_item},
          {"pixels_with_class", out.inv.tot_surf_item},
          {"classes", items}}},
        {"diversity_histogram", histogram},
        {"windows", windows},
        {"files", files},
        {"outputs", std::move(outputs)},
        {"timings_s",
         {{"load", out.timings.load},
          {"inventory", out.timings.inventory},
          {"treatment", out.timings.treatment},
          {"write", out.timings.write},
          {"total", out.timings.total}}},
        {"exit_status", out.exit_status},
        {"warnings", warnings},
        {"failures", failures},
    };
    for (auto& [key, value] : rest.items()) j[key] = std::move(value);
    return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}
