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

// A native result image: its header's sizes for a raw image, then its row reader.
bool open_native(const std::string& path, const formats::Format& f, ResultImage& im,
                 Status& why) {
    engine::MapInfo declared;
    if (f.side_extension) {
        const std::string ext = extension_of(path);
        const std::string header = path.substr(0, path.size() - ext.size()) + f.side_extension;
        RawHeader h;
        if (Status st = read_raw_header(header, h); !st.ok()) {
            why = std::move(st);
            return false;
        }
        if (h.nb_lig <= 0 || h.nb_col <= 0) {
            why = Status::refused(header, txt::reason_bad_sizes,
                                  {static_cast<long long>(h.nb_lig), static_cast<long long>(h.nb_col)});
            return false;
        }
        declared.nb_lig = h.nb_lig;
        declared.nb_col = h.nb_col;
        declared.dpix_size = h.pix_size;
    }
    im.src = f.open_source(path, declared, why);
    if (!im.src) return false;
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

// GDAL's fault on a result image, named as a refused file when GDAL gave only its own words.
Status gdal_fault(const std::string& path, Status st) {
    if (st.message || st.reason) return st;
    Status s = Status::refused(path, txt::reason_gdal_open);
    s.detail = std::move(st.detail);
    return s;
}

}  // namespace

bool open_result_image(const std::string& path, const ResultSourceOpener& gdal, ResultImage& im,
                       Status& why, bool real) {
    im = ResultImage{};
    im.path = path;
    im.real = real;
    const std::string ext = extension_of(path);
    if ((ext == ".tif" || ext == ".tiff") && gdal) {
        Status st;
        im.native = false;
        im.src = gdal(path, im.cell, im.crs, st, real);
        if (!im.src) {
            why = gdal_fault(path, st);
            return false;
        }
        // A georeferenced GeoTIFF gives its lower left corner.
        const engine::MapInfo& info = im.src->info();
        im.corner_known = info.UTM_coord;
        im.x_min = info.X_min;
        im.y_min = info.Y_min;
        return true;
    }
    const formats::Format* f = formats::format_of_path(path);
    if (!f || !f->open_source || real) {
        why = Status::make(Status::Code::Refused, path, txt::summary_format_unread, {path});
        return false;
    }
    return open_native(path, *f, im, why);
}

bool read_result_rows(ResultImage& im,
                      const std::function<void(int y, int n, const unsigned char* const* rows)>& take,
                      Status& why) {
    const int nb_lig = im.nb_lig(), nb_col = im.nb_col();
    const int row_bytes = nb_col * (im.real ? static_cast<int>(sizeof(float)) : 1);
    constexpr long long kBandBytes = 4LL << 20;
    const int h = static_cast<int>(std::clamp<long long>(kBandBytes / std::max(1, row_bytes), 1,
                                                         std::max(1, nb_lig)));
    ByteGrid band(ucmatrice(row_bytes, h), h);
    if (!band) {
        why = Status::out_of_memory();
        return false;
    }
    for (int y = 0; y < nb_lig; y += h) {
        const int n = std::min(h, nb_lig - y);
        if (Status st = im.src->read(y, n, band.get()); !st.ok()) {
            why = im.native ? std::move(st) : gdal_fault(im.path, std::move(st));
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
