// The bitmap unit: uncompressed Windows bitmaps, 8 bits with a 256-entry palette or
// 24 bits, with the 40-byte information header.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/rows.h"

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

namespace formats {

// A bitmap map read a band of rows at a time: 8 bits (the pixels' indices, whatever the
// palette), or 24 bits whose pixels are all grey (blue = green = red, a coloured pixel
// failing the read of its row), stored bottom-up (a positive height) or top-down (a
// negative one), width and height read in full. Refused, saying why: a file that is not
// there or not a regular file, a wrong signature, a form other than uncompressed 8 or 24
// bits with one plane and an information header of at least 40 bytes, sizes of 0 or
// less, and a file shorter than the rows it declares. More than `max_pixels` pixels (when
// above 0) do not fit in memory (refused, naming the sizes).
std::unique_ptr<engine::RowSource> open_bitmap_source(const std::string& name, Status& st,
                                                      long long max_pixels = 0);

}  // namespace formats
