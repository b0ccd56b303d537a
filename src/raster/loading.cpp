#include "raster/loading.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "raster/ascii_grid.h"
#include "raster/file_handle.h"
#include "raster/image.h"
#include "raster/inventory.h"
#include "raster/output_file.h"
#include "raster/raw_format.h"
#include "run/catalogue.h"
#include "run/failures.h"

namespace {

// Refuses the map file `name`: the message names it and the reason, a key is awaited and
// the run stops with status 1.
[[noreturn]] void refuse(Console& con, int idiom, const std::string& name, const Text& reason,
                         std::initializer_list<Arg> args = {}) {
    const std::string why = con.text(idiom, reason, args);
    stop_run(con, idiom, txt::file_refused, {name, why});
}

// Lines and columns must be positive and their product must fit in an int, the type
// of every pixel count of the run.
void check_sizes(Console& con, int idiom, const std::string& name, int nb_lig, int nb_col) {
    if (nb_lig <= 0 || nb_col <= 0)
        refuse(con, idiom, name, txt::reason_bad_sizes, {nb_lig, nb_col});
    if (static_cast<long long>(nb_lig) * nb_col > INT_MAX)
        refuse(con, idiom, name, txt::reason_too_large, {nb_lig, nb_col});
}

void load_raster(Console& con, RunAnswers& run, LoadedMap& map) {
    const int idiom = run.idiom;
    map.nomdescr1 = run.nom_lect + ".txt";
    run.nom_lect += ".raw";

    // The pixel file first: without it no header question is asked and none is written.
    bool not_regular = false;
    File pixels{open_regular(run.nom_lect, "rb", not_regular)};
    if (!pixels.f) {
        if (not_regular) refuse(con, idiom, run.nom_lect, txt::reason_not_regular);
        stop_run(con, idiom, txt::raw_pixels_missing, {run.nom_lect});
    }

    RawHeader h;
    switch (read_raw_header(map.nomdescr1, h)) {
        case RawHeaderRead::Read:
            check_sizes(con, idiom, map.nomdescr1, h.nb_lig, h.nb_col);
            break;
        case RawHeaderRead::Unreadable:
            refuse(con, idiom, map.nomdescr1, txt::reason_header_unreadable);
        case RawHeaderRead::NotRegular:
            refuse(con, idiom, map.nomdescr1, txt::reason_not_regular);
        case RawHeaderRead::Missing:
            // The user supplies what the header would hold; it is written for later runs.
            con.say(idiom, txt::raw_header_missing, {map.nomdescr1});
            h.nb_lig = con.ask_int([&] { con.say(idiom, txt::ask_lines); }, 1);
            h.nb_col = con.ask_int([&] { con.say(idiom, txt::ask_columns); }, 1);
            h.pix_size = con.ask_int([&] { con.say(idiom, txt::ask_pixel_size); }, 1);
            h.val = 1;
            h.min_al = 0;
            h.max_al = 255;
            check_sizes(con, idiom, run.nom_lect, h.nb_lig, h.nb_col);
            if (!write_raw_header(map.nomdescr1, h))
                con.say(idiom, txt::header_not_written, {map.nomdescr1});
            break;
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
    const auto bytes = std::filesystem::file_size(std::filesystem::path(run.nom_lect), ec);
    if (ec) refuse(con, idiom, run.nom_lect, txt::reason_cannot_open);
    const auto size = static_cast<long long>(bytes);
    if (size < expected) refuse(con, idiom, run.nom_lect, txt::reason_raw_short, {size, expected});

    ByteGrid tab(ucmatrice(map.nb_col, map.nb_lig), map.nb_lig);
    if (!tab) refuse(con, idiom, run.nom_lect, txt::reason_too_large, {map.nb_lig, map.nb_col});
    bool read_error = false;
    const long long got = read_raw_pixels(pixels.f, tab.get(), map.nb_lig, map.nb_col, read_error);
    if (read_error) refuse(con, idiom, run.nom_lect, txt::reason_cannot_open);
    // A file cut while it was read.
    if (got < expected) refuse(con, idiom, run.nom_lect, txt::reason_raw_short, {got, expected});
    if (size > expected) con.say(idiom, txt::raw_long_warning, {run.nom_lect, size, expected});
    map.tab_in = std::move(tab);
    map.UTM_coord = false;
}

const Text& bitmap_reason(BmpError e) {
    switch (e) {
        case BmpError::TooShort:
            return txt::reason_too_short;
        case BmpError::NotBitmap:
            return txt::reason_not_bitmap;
        case BmpError::Form:
            return txt::reason_bitmap_form;
        case BmpError::Compressed:
            return txt::reason_compressed;
        case BmpError::BadSizes:
            return txt::reason_bad_sizes;
        case BmpError::TooLarge:
        case BmpError::OutOfMemory:
            return txt::reason_too_large;
        case BmpError::NotRegular:
            return txt::reason_not_regular;
        default:
            return txt::reason_cannot_open;
    }
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

void load_bitmap(Console& con, RunAnswers& run, LoadedMap& map) {
    const int idiom = run.idiom;
    run.nom_lect += ".bmp";
    int Type = 0;
    Color32* ColorMAP = nullptr;
    BmpError why = BmpError::None;
    int nb_col = 0;
    int nb_lig = 0;
    ByteMatrix m = ChargeBMP(run.nom_lect.c_str(), nb_col, nb_lig, Type, ColorMAP, &why);
    if (!m) refuse(con, idiom, run.nom_lect, bitmap_reason(why), {nb_lig, nb_col});
    ByteGrid tab(m, nb_lig);
    if (Type == 2) {
        for (int i = 0; i < nb_lig; ++i)
            if (!grey_line(tab[i], nb_col)) refuse(con, idiom, run.nom_lect, txt::reason_colour);
        // Give back the two thirds no longer used.
        if (nb_col > 0) narrow_ucmatrice(tab.get(), 3 * nb_col, nb_col, nb_lig);
    }
    map.nb_col = nb_col;
    map.nb_lig = nb_lig;
    map.tab_in = std::move(tab);
    map.dpix_size = con.ask_double([&] { con.say(idiom, txt::bmp_pixel_size); }, 0.0,
                                   /*lowest_excluded=*/true);
    map.UTM_coord = false;
}

void load_ascii(Console& con, RunAnswers& run, LoadedMap& map) {
    const int idiom = run.idiom;
    run.nom_lect += ".asc";
    AsciiGrid g;
    const GridError e = read_ascii_grid(run.nom_lect, g, [&](int i) {
        if (i == 0) con.print("\n");
        if (i > 0 && i % 100 == 0) con.say(idiom, txt::ascii_progress, {i});
    });
    const std::string& name = run.nom_lect;
    switch (e) {
        case GridError::None:
            break;
        case GridError::CannotOpen:
            stop_run(con, idiom, txt::ascii_missing, {name});
        case GridError::NotRegular:
            refuse(con, idiom, name, txt::reason_not_regular);
        case GridError::ReadFailed:
            refuse(con, idiom, name, txt::reason_cannot_open);
        case GridError::HeaderUnreadable:
            refuse(con, idiom, name, txt::reason_header_unreadable);
        case GridError::BadSizes:
            refuse(con, idiom, name, txt::reason_bad_sizes, {g.nb_lig, g.nb_col});
        case GridError::TooLarge:
            refuse(con, idiom, name, txt::reason_too_large, {g.nb_lig, g.nb_col});
        case GridError::FewCells:
            refuse(con, idiom, name, txt::reason_few_cells);
        case GridError::NotInteger:
            refuse(con, idiom, name, txt::reason_not_integer, {g.bad_cell});
    }
    con.print("\n");
    if (g.extra_cells) con.say(idiom, txt::ascii_extra_warning, {name});
    map.nb_col = g.nb_col;
    map.nb_lig = g.nb_lig;
    map.X_min = g.X_min;
    map.Y_min = g.Y_min;
    map.dpix_size = g.dpix_size;
    if (g.has_nodata) map.nodata = g.nodata;
    map.tab_in = std::move(g.cells);
    map.UTM_coord = true;
}

}  // namespace

void lecture(Console& con, RunAnswers& run, LoadedMap& map, Inventory& inv) {
    switch (run.format) {
        case kBitmap:
            load_bitmap(con, run, map);
            break;
        case kAscii:
            load_ascii(con, run, map);
            break;
        default:
            load_raster(con, run, map);
            break;
    }
    con.say(run.idiom, txt::size_first);
    con.say(run.idiom, txt::size_lines, {map.nb_lig});
    con.say(run.idiom, txt::size_columns, {map.nb_col});
    explor(con, run.idiom, map, inv);
}
