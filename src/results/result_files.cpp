#include "results/result_files.h"

#include <algorithm>
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

namespace {

// A native result image: its header's sizes for a raw image, then its row reader.
bool open_native(const std::string& path, const formats::Format& f, ResultImage& im,
                 std::string& why) {
    engine::MapInfo declared;
    if (f.side_extension) {
        const std::string ext = extension_of(path);
        const std::string header = path.substr(0, path.size() - ext.size()) + f.side_extension;
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
    im.src = f.open_source(path, declared, st);
    if (!im.src) {
        why = read_fault(path, f, st, true);
        return false;
    }
    // A grid that carries its corner (an ASCII grid) carries its cell size too.
    const engine::MapInfo& info = im.src->info();
    if (info.UTM_coord) {
        im.cell = info.dpix_size;
        im.corner_known = true;
        im.x_min = info.X_min;
        im.y_min = info.Y_min;
    }
    return true;
}

std::string gdal_fault(const std::string& path, const Status& st) {
    return path + (st.detail.empty() ? std::string(" cannot be read") : ": " + st.detail);
}

}  // namespace

bool open_result_image(const std::string& path, const ResultSourceOpener& gdal, ResultImage& im,
                       std::string& why) {
    im = ResultImage{};
    im.path = path;
    const std::string ext = extension_of(path);
    if ((ext == ".tif" || ext == ".tiff") && gdal) {
        Status st;
        im.native = false;
        im.src = gdal(path, im.cell, im.crs, st);
        if (!im.src) why = gdal_fault(path, st);
        return im.src != nullptr;
    }
    const formats::Format* f = formats::format_of_path(path);
    if (!f || !f->open_source) {
        why = path + ": only .raw, .bmp and .asc result images can be read back" +
              (ext == ".tif" || ext == ".tiff" ? " in a build without GDAL" : "");
        return false;
    }
    return open_native(path, *f, im, why);
}

bool read_result_rows(ResultImage& im,
                      const std::function<void(int y, int n, const unsigned char* const* rows)>& take,
                      std::string& why) {
    const int nb_lig = im.nb_lig(), nb_col = im.nb_col();
    constexpr long long kBandBytes = 4LL << 20;
    const int h = static_cast<int>(std::clamp<long long>(kBandBytes / std::max(1, nb_col), 1,
                                                         std::max(1, nb_lig)));
    ByteGrid band(ucmatrice(nb_col, h), h);
    if (!band) {
        why = im.path + " cannot be read";
        return false;
    }
    for (int y = 0; y < nb_lig; y += h) {
        const int n = std::min(h, nb_lig - y);
        if (const Status st = im.src->read(y, n, band.get()); !st.ok()) {
            why = im.native ? read_fault(im.path, *formats::format_of_path(im.path), st, false)
                            : gdal_fault(im.path, st);
            return false;
        }
        take(y, n, band.get());
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
