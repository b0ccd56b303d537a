#include "image_readers.h"

#include <climits>

#ifdef LANDMOSAIC_HAVE_PNG
#include <png.h>
#endif

#include "formats/bitmap.h"
#include "raster/nrutil.h"
#include "text/catalogue.h"

Status read_ascii_grid(const std::string& name, AsciiGridRead& g, const Progress& at_line) {
    AsciiGridReader reader;
    if (Status opened = reader.open(name, g, INT_MAX); !opened.ok()) return opened;
    ByteGrid grid(ucmatrice(g.nb_col, g.nb_lig), g.nb_lig);
    if (!grid) return Status::refused(name, txt::reason_too_large, {g.nb_lig, g.nb_col});
    for (int i = 0; i < g.nb_lig; ++i) {
        if (at_line && !at_line(i, g.nb_lig)) return Status::cancelled();
        if (Status e = reader.read_line(grid[i]); !e.ok()) return e;
    }
    g.extra_cells = reader.more_cells();
    g.cells = std::move(grid);
    return Status::success();
}

BitmapRead read_bitmap(const std::string& name) {
    BitmapRead r;
    const auto src = formats::open_bitmap_source(name, r.why, INT_MAX);
    if (!src) return r;
    r.nb_col = src->info().nb_col;
    r.nb_lig = src->info().nb_lig;
    ByteGrid m(ucmatrice(r.nb_col, r.nb_lig), r.nb_lig);
    if (!m) {
        r.why = Status::refused(name, txt::reason_too_large, {r.nb_lig, r.nb_col});
        return r;
    }
    r.why = src->read(0, r.nb_lig, m.get());
    if (r.why.ok()) r.m = std::move(m);
    return r;
}

#ifdef LANDMOSAIC_HAVE_PNG
bool decode_png_rgba(const std::string& bytes, int& width, int& height,
                     std::vector<std::uint8_t>& rgba) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return false;
    image.format = PNG_FORMAT_RGBA;
    rgba.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return true;
}
#else
bool decode_png_rgba(const std::string&, int&, int&, std::vector<std::uint8_t>&) { return false; }
#endif
