#include "formats/png.h"

#if LANDMOSAIC_HAVE_PNG
#include <png.h>

bool png_available() {
    return true;
}

bool encode_png(const PalettedImage& img, std::string& bytes) {
    bytes.clear();
    if (img.width <= 0 || img.height <= 0 ||
        img.index.size() != static_cast<std::size_t>(img.width) * img.height)
        return false;
    std::uint8_t colormap[256 * 4];
    for (int k = 0; k < 256; ++k) {
        colormap[4 * k] = img.palette[k].r;
        colormap[4 * k + 1] = img.palette[k].g;
        colormap[4 * k + 2] = img.palette[k].b;
        colormap[4 * k + 3] = img.palette[k].a;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(img.width);
    image.height = static_cast<png_uint_32>(img.height);
    image.format = PNG_FORMAT_RGBA_COLORMAP;
    image.colormap_entries = 256;
    png_alloc_size_t size = 0;
    // First the size, then the bytes.
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, img.index.data(), img.width,
                                   colormap) ||
        size == 0) {
        png_image_free(&image);
        return false;
    }
    bytes.resize(size);
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, img.index.data(), img.width,
                                   colormap)) {
        png_image_free(&image);
        bytes.clear();
        return false;
    }
    bytes.resize(size);
    return true;
}

#else  // built without libpng

bool png_available() {
    return false;
}

bool encode_png(const PalettedImage&, std::string& bytes) {
    bytes.clear();
    return false;
}

#endif
