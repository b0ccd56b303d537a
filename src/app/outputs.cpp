// The outputs of a batch run: their base name, the room they need, and the check that
// none replaces a file of the map or another output.
#include <filesystem>

#include "app/run_parts.h"
#include "results/summary.h"
#include "results/result_names.h"
#include "raster/output_file.h"
#include "text/catalogue.h"

namespace fs = std::filesystem;

namespace run_parts {

namespace {

// The same path for the check of the outputs: absolute, with the links of the part of it
// that exists followed and the rest normalised, so that two spellings of a file that does
// not exist yet compare equal.
std::string comparable(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
    return ec ? fs::absolute(path).lexically_normal().string() : p.string();
}

// Every file the run and its front end will write, the report first.
std::vector<std::string> run_outputs(const RunRequest& req, const RunAnswers& run) {
    std::vector<std::string> out = {run.nom_info};
    // One image per metric asked for.
    std::vector<metrics::Metric> ms;
    std::string why;
    if (!metrics::parse(req.metrics, ms, why)) ms.clear();
    for (const metrics::Metric& m : ms) {
        const std::string image = run.nomim3 + "_" + m.suffix();
        const formats::Format& f = formats::format_of(run.res_form);
        out.push_back(image + f.extension());
        if (f.side_extension) out.push_back(image + f.side_extension);
    }
    if (req.pictures) {
        const QuicklookNames pictures(run.nomim3);
        out.insert(out.end(), {pictures.diversity_png, pictures.homog_png, pictures.summary_html});
    }
    out.insert(out.end(), req.also_writes.begin(), req.also_writes.end());
    return out;
}

}  // namespace

// The folder an output goes to, as the messages name it.
std::string folder_of_output(const std::string& path) {
    const std::string folder = fs::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// An output that would replace a file of the map (its pixels, its header, any file a GDAL
// dataset is made of, whatever the spelling), or another output of the same run: Usage,
// naming both. Checked before anything is written.
Status outputs_clash(const RunRequest& req, const RunAnswers& run,
                     const std::vector<std::string>& inputs) {
    // Every name a result could take in any format, and the files of the front end.
    std::vector<std::string> against_map = result_outputs(run.nomim3);
    const std::vector<std::string> mine = run_outputs(req, run);
    against_map.insert(against_map.end(), mine.begin(), mine.end());
    for (const std::string& out : against_map) {
        const std::string o = comparable(out);
        for (const std::string& in : inputs) {
            if (in.empty()) continue;
            if (out == in || o == comparable(in) || same_file(out, in))
                return Status::make(Status::Code::Usage, out, txt::output_is_map, {out, in});
        }
    }
    for (std::size_t a = 0; a < mine.size(); ++a)
        for (std::size_t b = a + 1; b < mine.size(); ++b)
            if (comparable(mine[a]) == comparable(mine[b]) || same_file(mine[a], mine[b]))
                return Status::make(Status::Code::Usage, mine[b], txt::outputs_clash,
                                    {mine[b], mine[a]});
    return Status::success();
}

// The results base of the request: beside the map by default; in the folder -o names
// when it is one (or ends with a separator), under the default name; otherwise -o as
// given. A folder that is not there is said to be missing.
Status output_base(const RunRequest& req, const std::string& map, int rank, std::string& base) {
    const std::string& o = req.output_base;
    if (o.empty()) {
        base = default_output_base(map, req.window, rank);
        return Status::success();
    }
    std::error_code ec;
    const char last = o.back();
#ifdef _WIN32
    const bool ends_with_separator = last == '/' || last == '\\';
#else
    const bool ends_with_separator = last == '/';
#endif
    if (ends_with_separator || fs::is_directory(o, ec)) {
        if (!fs::is_directory(o, ec))
            return Status::make(Status::Code::NotWritten, o, txt::output_folder_missing, {o});
        const fs::path named = fs::path(default_output_base(map, req.window, rank)).filename();
        base = (fs::path(o) / named).string();
        return Status::success();
    }
    const fs::path folder = fs::path(o).parent_path();
    if (!folder.empty() && !fs::is_directory(folder, ec))
        return Status::make(Status::Code::NotWritten, folder.string(), txt::output_folder_missing,
                            {folder.string()});
    base = o;
    return Status::success();
}

}  // namespace run_parts

const char* result_format_name(int res_form) {
    return formats::format_of(res_form).name;
}

std::string default_output_base(const std::string& map, WindowKind w, int rank) {
    const fs::path p(map);
    return (p.parent_path() / p.stem()).string() + "_" + window_shape(w).name +
           std::to_string(rank);
}
