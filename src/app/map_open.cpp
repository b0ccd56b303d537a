// The map of a batch run opened for reading by rows, through its own reader or GDAL's.
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "app/run_parts.h"
#include "formats/ascii_grid.h"
#include "formats/bitmap.h"
#include "formats/format.h"
#include "formats/raw.h"
#include "text/catalogue.h"

namespace fs = std::filesystem;

namespace run_parts {

namespace {

// A name GDAL reads without a file of that name: a virtual file system (/vsizip/...) or
// a driver's prefix (NETCDF:"file":var).
bool gdal_special_name(const std::string& path) {
    if (path.rfind("/vsi", 0) == 0) return true;
    const std::size_t colon = path.find(':');
#ifdef _WIN32
    return colon != std::string::npos && colon != 1;
#else
    return colon != std::string::npos;
#endif
}

}  // namespace

// The format of a map whose reader is the program's own (its extension in the format
// table, in any case), null for a map GDAL reads. `base` is the name without its extension.
const formats::Format* native_format(const std::string& path, std::string& base) {
    const formats::Format* f = formats::format_of_path(path);
    if (!f || !f->native()) return nullptr;
    const std::string ext = formats::extension_in(path, *f);
    if (path.size() <= ext.size()) return nullptr;
    base = path.substr(0, path.size() - ext.size());
    return f;
}

// The map named on the command line is there and is a file: otherwise say so, and when
// the name lacks the extension of a map that is there, name that map.
Status check_map_name(const std::string& map) {
    std::error_code ec;
    const fs::file_status st = fs::status(map, ec);
    if (fs::is_directory(st)) return Status::make(Status::Code::Refused, map, txt::map_is_folder, {map});
    if (fs::exists(st) || gdal_special_name(map)) return Status::success();
    // Each format's own extension, in lower case then in upper case.
    // The program's own formats first.
    for (const bool upper : {false, true})
        for (const bool native : {true, false})
            for (const formats::Format& f : formats::all_formats()) {
                if (f.native() != native) continue;
                std::string other = map;
                for (const char* c = f.extension(); *c; ++c)
                    other += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*c)))
                                   : *c;
                if (fs::is_regular_file(other, ec))
                    return Status::make(Status::Code::Missing, map, txt::map_missing_suggest,
                                        {map, other});
            }
    return Status::make(Status::Code::Missing, map, txt::map_missing, {map});
}

// The sizes, pixel size and corner of a map read by rows.
void header_from(const engine::MapInfo& info, LoadedMap& map) {
    map.nb_lig = info.nb_lig;
    map.nb_col = info.nb_col;
    map.dpix_size = info.dpix_size;
    map.UTM_coord = info.UTM_coord;
    map.X_min = info.X_min;
    map.Y_min = info.Y_min;
    if (info.has_nodata) map.nodata = info.nodata;
    if (!info.colours.empty()) map.georef.colours = info.colours;
}

void take_raw_header(const RawHeader& h, LoadedMap& map, engine::MapInfo& declared) {
    map.min_al = h.min_al;
    map.max_al = h.max_al;
    map.pix_size = h.pix_size;
    declared.nb_lig = h.nb_lig;
    declared.nb_col = h.nb_col;
    declared.dpix_size = h.pix_size;
}

// Opens the map of the request for reading by rows: its sizes, pixel size and corner go to
// `map` (no pixels), its name to `run.nom_lect`.
Status open_map(const RunRequest& req, RunOutcome& out, LoadedMap& map,
                std::unique_ptr<engine::RowSource>& src, GdalRowSource*& gdal) {
    RunAnswers& run = out.run;
    std::string base;
    const formats::Format* native = native_format(req.map, base);
    const int form = native ? native->code : -1;
    run.format = form;
    gdal = nullptr;
    Status e;
    if (form < 0) {
        run.nom_lect = req.map;
        Status s;
        auto g = gdal_row_source(req.map, req.band_given || req.band != 1 ? req.band : 0, map, s);
        if (!g) return s;
        gdal = g.get();
        src = std::move(g);
        if (map.dpix_size <= 0) {
            if (req.pixel_size <= 0) return Status::refused(req.map, txt::reason_no_pixel_size);
            map.dpix_size = req.pixel_size;
        }
        return Status::success();
    }
    run.nom_lect = req.map;
    engine::MapInfo declared;
    if (native->side_extension) {
        // The header beside the pixels, in the same case as their extension when only
        // that one is there.
        map.nomdescr1 = base + native->side_extension;
        std::string upper = base;
        for (const char* c = native->side_extension; *c; ++c)
            upper += static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
        std::error_code ec;
        if (!fs::exists(map.nomdescr1, ec) && fs::exists(upper, ec)) map.nomdescr1 = upper;
        RawHeader h;
        if (Status s = read_raw_header(map.nomdescr1, h); !s.ok()) {
            if (s.code == Status::Code::Missing)
                return Status::refused(run.nom_lect, txt::reason_no_header, {map.nomdescr1});
            return s;
        }
        if (h.nb_lig <= 0 || h.nb_col <= 0)
            return Status::refused(map.nomdescr1, txt::reason_bad_sizes, {h.nb_lig, h.nb_col});
        take_raw_header(h, map, declared);
    }
    src = native->open_source(run.nom_lect, declared, e);
    if (!src) return e;
    header_from(src->info(), map);
    if (!native->carries_pixel_size) {
        // A bitmap carries no pixel size.
        if (req.pixel_size <= 0) return Status::refused(run.nom_lect, txt::reason_no_pixel_size);
        map.dpix_size = req.pixel_size;
    }
    return Status::success();
}

}  // namespace run_parts
