#include "results/result_files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "formats/ascii_grid.h"
#include "formats/bitmap.h"
#include "raster/output_file.h"
#include "formats/raw.h"

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

// Reads a result image in one of the native formats; `cell` receives the cell size of
// an ascii grid (0 otherwise).
bool read_result_image(const std::string& path, ByteGrid& grid, int& nb_lig, int& nb_col,
                       double& cell, std::string& crs, double* corner, const ResultImageReader& reader,
                       std::string& why) {
    cell = 0;
    const std::string ext = extension_of(path);
    if ((ext == ".tif" || ext == ".tiff") && reader) return reader(path, grid, nb_lig, nb_col, cell, crs, why);
    if (ext == ".raw") {
        const std::string base = path.substr(0, path.size() - 4);
        RawHeader h;
        if (read_raw_header(base + ".txt", h) != RawHeaderRead::Read || h.nb_lig <= 0 ||
            h.nb_col <= 0) {
            why = "the header " + base + ".txt cannot be read";
            return false;
        }
        std::error_code ec;
        const auto size = std::filesystem::file_size(path, ec);
        if (ec || size < static_cast<unsigned long long>(h.nb_lig) * h.nb_col) {
            why = path + " is shorter than its header says";
            return false;
        }
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) {
            why = path + " cannot be opened";
            return false;
        }
        ByteGrid g(ucmatrice(h.nb_col, h.nb_lig), h.nb_lig);
        bool read_error = false;
        const long long n = g ? read_raw_pixels(f, g.get(), h.nb_lig, h.nb_col, read_error) : 0;
        std::fclose(f);
        if (!g || read_error || n < static_cast<long long>(h.nb_lig) * h.nb_col) {
            why = path + " cannot be read";
            return false;
        }
        grid = std::move(g);
        nb_lig = h.nb_lig;
        nb_col = h.nb_col;
        return true;
    }
    if (ext == ".bmp") {
        int c = 0, l = 0, type = 0;
        Color32* palette = nullptr;
        BmpError err = BmpError::None;
        ByteMatrix m = ChargeBMP(path.c_str(), c, l, type, palette, &err);
        if (!m || type == 2) {
            if (m) frucmatrice(m, l);
            why = path + " is not an 8-bit bitmap that can be read";
            return false;
        }
        grid = ByteGrid(m, l);
        nb_lig = l;
        nb_col = c;
        return true;
    }
    if (ext == ".asc") {
        AsciiGrid g;
        if (read_ascii_grid(path, g) != GridError::None) {
            why = path + " is not an ascii grid that can be read";
            return false;
        }
        nb_lig = g.nb_lig;
        nb_col = g.nb_col;
        cell = g.dpix_size;
        corner[0] = g.X_min;
        corner[1] = g.Y_min;
        corner[2] = 1;
        grid = std::move(g.cells);
        return true;
    }
    why = path + ": only .raw, .bmp and .asc result images can be read back" +
          (ext == ".tif" || ext == ".tiff" ? " in a build without GDAL" : "");
    return false;
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
