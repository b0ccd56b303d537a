#include "raster/loading.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/answers.h"
#include "formats/ascii_grid.h"
#include "raster/file_handle.h"
#include "formats/bitmap.h"
#include "raster/output_file.h"
#include "formats/raw.h"
#include "text/catalogue.h"

namespace {

// Lines and columns must be positive and their product must fit in an int, the type
// of every pixel count of the run.
Status check_sizes(const std::string& name, int nb_lig, int nb_col) {
    if (nb_lig <= 0 || nb_col <= 0)
        return Status::refused(name, txt::reason_bad_sizes, {nb_lig, nb_col});
    if (static_cast<long long>(nb_lig) * nb_col > INT_MAX)
        return Status::refused(name, txt::reason_too_large, {nb_lig, nb_col});
    return Status::success();
}

Status load_raster(const std::string& base, LoadedMap& map, std::string& nom_lect,
                   const LoadOptions& opt) {
    map.nomdescr1 = base + ".txt";
    nom_lect = base + ".raw";

    // The pixel file first: without it no header question is asked and none is written.
    bool not_regular = false;
    File pixels{open_regular(nom_lect, "rb", not_regular)};
    if (!pixels.f) {
        if (not_regular) return Status::refused(nom_lect, txt::reason_not_regular);
        return Status::make(Status::Code::Missing, nom_lect, txt::raw_pixels_missing, {nom_lect});
    }

    RawHeader h;
    if (Status read = read_raw_header(map.nomdescr1, h); read.ok()) {
        if (Status s = check_sizes(map.nomdescr1, h.nb_lig, h.nb_col); !s.ok()) return s;
    } else if (read.code != Status::Code::Missing) {
        return read;
    } else if (!opt.typed_header) {
        // The dialogue asks for the values and loads the map again with them.
        read.code = Status::Code::NeedsHeader;
        return read;
    } else {
        // The user supplied what the header would hold; it is written for later runs.
        h = *opt.typed_header;
        h.val = 1;
        h.min_al = 0;
        h.max_al = 255;
        if (Status s = check_sizes(nom_lect, h.nb_lig, h.nb_col); !s.ok()) return s;
        if (!write_raw_header(map.nomdescr1, h) && opt.warn)
            opt.warn(Status::make(Status::Code::NotWritten, map.nomdescr1, txt::header_not_written,
                                  {map.nomdescr1}));
    }
    map.nb_lig = h.nb_lig;
    map.nb_col = h.nb_col;
    map.min_al = h.min_al;
    map.max_al = h.max_al;
    map.pix_size = h.pix_size;
    map.dpix_size = map.pix_size;

    // The size of the pixel file is checked before any memory is taken: a file shorter
    // than the header says is refused, a longer one read with a warning.
    const long long expected = static_cast<long long>(map.nb_lig) * map.nb_col;
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(std::filesystem::path(nom_lect), ec);
    if (ec) return Status::refused(nom_lect, txt::reason_cannot_open);
    const auto size = static_cast<long long>(bytes);
    if (size < expected) return Status::refused(nom_lect, txt::reason_raw_short, {size, expected});

    ByteGrid tab(ucmatrice(map.nb_col, map.nb_lig), map.nb_lig);
    if (!tab) return Status::refused(nom_lect, txt::reason_too_large, {map.nb_lig, map.nb_col});
    bool read_error = false;
    const long long got = read_raw_pixels(pixels.f, tab.get(), map.nb_lig, map.nb_col, read_error);
    if (read_error) return Status::refused(nom_lect, txt::reason_cannot_open);
    // A file cut while it was read.
    if (got < expected) return Status::refused(nom_lect, txt::reason_raw_short, {got, expected});
    if (size > expected && opt.warn)
        opt.warn(Status::make(Status::Code::Ok, nom_lect, txt::raw_long_warning,
                              {nom_lect, size, expected}));
    map.tab_in = std::move(tab);
    map.UTM_coord = false;
    return Status::success();
}

// A 24-bit line of grey pixels (blue = green = red) becomes the line of those bytes, in
// place at its start; false at the first coloured pixel.
bool grey_line(unsigned char* line, int nb_col) {
    for (int j = 0; j < nb_col; ++j) {
        const unsigned char* p = line + 3 * j;
        if (p[0] != p[1] || p[1] != p[2]) return false;
        line[j] = p[0];
    }
    return true;
}

Status load_bitmap(const std::string& base, LoadedMap& map, std::string& nom_lect) {
    nom_lect = base + ".bmp";
    int Type = 0;
    Color32* ColorMAP = nullptr;
    Status why;
    int nb_col = 0;
    int nb_lig = 0;
    ByteMatrix m = ChargeBMP(nom_lect.c_str(), nb_col, nb_lig, Type, ColorMAP, &why);
    if (!m) return why;
    ByteGrid tab(m, nb_lig);
    if (Type == 2) {
        for (int i = 0; i < nb_lig; ++i)
            if (!grey_line(tab[i], nb_col)) return Status::refused(nom_lect, txt::reason_colour);
        // Give back the two thirds no longer used.
        if (nb_col > 0) narrow_ucmatrice(tab.get(), 3 * nb_col, nb_col, nb_lig);
    }
    map.nb_col = nb_col;
    map.nb_lig = nb_lig;
    map.tab_in = std::move(tab);
    map.UTM_coord = false;
    return Status::success();
}

Status load_ascii(const std::string& base, LoadedMap& map, std::string& nom_lect,
                  const LoadOptions& opt) {
    nom_lect = base + ".asc";
    AsciiGrid g;
    if (Status e = read_ascii_grid(nom_lect, g, opt.ascii_line); !e.ok()) return e;
    const std::string& name = nom_lect;
    if (g.extra_cells && opt.warn)
        opt.warn(Status::make(Status::Code::Ok, name, txt::ascii_extra_warning, {name}));
    map.nb_col = g.nb_col;
    map.nb_lig = g.nb_lig;
    map.X_min = g.X_min;
    map.Y_min = g.Y_min;
    map.dpix_size = g.dpix_size;
    if (g.has_nodata) map.nodata = g.nodata;
    map.tab_in = std::move(g.cells);
    map.UTM_coord = true;
    return Status::success();
}

}  // namespace

Status load_map(const std::string& base, int format, LoadedMap& map, std::string& nom_lect,
                const LoadOptions& opt) {
    switch (format) {
        case kBitmap:
            return load_bitmap(base, map, nom_lect);
        case kAscii:
            return load_ascii(base, map, nom_lect, opt);
        default:
            return load_raster(base, map, nom_lect, opt);
    }
}
