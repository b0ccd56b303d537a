#include "results/result_files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/answers.h"
#include "formats/format.h"
#include "formats/raw.h"
#include "raster/output_file.h"
#include "text/catalogue.h"

namespace results {

bool write_file_whole(const std::string& path, const std::string& bytes) {
    OutputFile f;
    if (!f.open(path)) return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) {
        f.abandon();
        return false;
    }
    return f.commit();
}

bool read_whole(const std::string& path, std::string& bytes) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return !f.bad();
}

bool is_file(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

std::string extension_of(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string e = path.substr(dot);
    for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

namespace {

// What a native reader's refusal says of a result image, read back for its summary;
// `opening`: the refusal came when the file was opened, not when its rows were read.
std::string read_fault(const std::string& path, const formats::Format& f, const Status& st,
                       bool opening) {
    if (f.code == kRaster &&
        (st.reason == &txt::reason_raw_short || st.reason == &txt::reason_too_short))
        return path + " is shorter than its header says";
    if (opening && (st.code == Status::Code::Missing ||
                    (f.code == kBitmap && st.reason == &txt::reason_cannot_open)))
        return path + " cannot be opened";
    if (f.code == kBitmap) return path + " is not an 8-bit bitmap that can be read";
    if (f.code == kAscii) return path + " is not an ascii grid that can be read";
    return path + " cannot be read";
}

}  // namespace

// Reads a result image through the row reader of its format; `cell` receives the cell
// size of an ascii grid (0 otherwise), `corner` its lower left corner.
bool read_result_image(const std::string& path, ByteGrid& grid, int& nb_lig, int& nb_col,
                       double& cell, std::string& crs, double* corner, const ResultImageReader& reader,
                       std::string& why) {
    cell = 0;
    const std::string ext = extension_of(path);
    if ((ext == ".tif" || ext == ".tiff") && reader) return reader(path, grid, nb_lig, nb_col, cell, crs, why);
    const formats::Format* f = formats::format_of_path(path);
    if (!f || !f->open_source) {
        why = path + ": only .raw, .bmp and .asc result images can be read back" +
              (ext == ".tif" || ext == ".tiff" ? " in a build without GDAL" : "");
        return false;
    }
    // A raw image's sizes are in the header beside it.
    engine::MapInfo declared;
    if (f->side_extension) {
        const std::string header = path.substr(0, path.size() - ext.size()) + f->side_extension;
        RawHeader h;
        if (!read_raw_header(header, h).ok() || h.nb_lig <= 0 || h.nb_col <= 0) {
            why = "the header " + header + " cannot be read";
            return false;
        }
        declared.nb_lig = h.nb_lig;
        declared.nb_col = h.nb_col;
        declared.dpix_size = h.pix_size;
    }
    Status st;
    const std::unique_ptr<engine::RowSource> src = f->open_source(path, declared, st);
    if (!src) {
        why = read_fault(path, *f, st, true);
        return false;
    }
    const engine::MapInfo& info = src->info();
    ByteGrid g(ucmatrice(info.nb_col, info.nb_lig), info.nb_lig);
    if (!g) {
        why = path + " cannot be read";
        return false;
    }
    st = src->read(0, info.nb_lig, g.get());
    if (!st.ok()) {
        why = read_fault(path, *f, st, false);
        return false;
    }
    grid = std::move(g);
    nb_lig = info.nb_lig;
    nb_col = info.nb_col;
    // A grid that carries its corner (an ASCII grid) carries its cell size too.
    if (info.UTM_coord) {
        cell = info.dpix_size;
        corner[0] = info.X_min;
        corner[1] = info.Y_min;
        corner[2] = 1;
    }
    return true;
}

// The result image a report names, or the one beside BASE when the folder has moved.
std::string find_image(const std::string& named, const std::string& base, const char* suffix) {
    if (is_file(named)) return named;
    const std::string ext = extension_of(named);
    if (!ext.empty() && is_file(base + suffix + ext)) return base + suffix + ext;
    for (const char* e : {".raw", ".bmp", ".asc", ".tif"})
        if (is_file(base + suffix + e)) return base + suffix + e;
    return "";
}

}  // namespace results
