// The bitmap unit: uncompressed Windows bitmaps, 8 bits with a 256-entry palette or
// 24 bits, with the 40-byte information header.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/rows.h"
#include "raster/nrutil.h"

struct Color32 {
    std::uint8_t B, G, R, O;
};

// Size of the file header plus the information header, and where the pixels of an
// 8-bit bitmap start (after the 256-entry palette).
inline constexpr int kBmpHeaderBytes = 54;
inline constexpr int kBmpPaletteOffset = 54 + 256 * 4;

// The bytes a bitmap of NbCol x NbLig pixels starts with: the file and information
// headers, then for type 0 or 1 the 256-entry palette `ColorMAP` (null: the grey ramp).
// Its pixel rows follow, bottom line first, each padded to a multiple of 4 bytes.
std::string bmp_head(int NbCol, int NbLig, int Type, const Color32* ColorMAP);

// Reads the bitmap `Name` (8 or 24 bits, bottom-up or top-down) and returns its lines,
// line 0 the top of the image, each NbCol x taille bytes (blue, green, red per pixel in
// 24 bits); null on failure, with the refusal (the file named, the reason) in `*why`
// when `why` is given.
// NbCol, NbLig: the sizes, set as soon as they are read. Type: 0 for 8 bits with the grey
// ramp as palette, 1 for 8 bits with any other palette, 2 for 24 bits.
// ColorMAP: when non-null on entry it is replaced by a new array of 256 entries holding
// the file's palette, which the caller releases with free(). When null, no palette is
// handed back. The returned matrix is made by ucmatrice (3 bytes a pixel for 24 bits), so
// that frucmatrice (or a ByteGrid) releases it.
unsigned char** ChargeBMP(const char* Name, int& NbCol, int& NbLig, int& Type, Color32*& ColorMAP,
                          Status* why = nullptr);

namespace formats {

// A bitmap map read a band of rows at a time: 8 bits, or 24 bits whose pixels are all
// grey (blue = green = red, a coloured pixel failing the read of its row), stored
// bottom-up or top-down, its headers checked as ChargeBMP checks them. More than
// `max_pixels` pixels (when above 0) do not fit in memory (refused, naming the sizes).
std::unique_ptr<engine::RowSource> open_bitmap_source(const std::string& name, Status& st,
                                                      long long max_pixels = 0);

}  // namespace formats
