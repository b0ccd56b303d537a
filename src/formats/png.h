// 8-bit paletted PNG pictures: each pixel is an index into a palette of up to 256
// colours, each with its own opacity (the tRNS chunk), so that a picture can leave
// some pixels fully transparent. Encoding in memory only: the callers write the bytes
// through an OutputFile.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba&) const = default;
};

struct PalettedImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> index;   // width x height palette indices, top row first
    std::array<Rgba, 256> palette{};   // colour and opacity of each index
};

// Whether this build can write PNG pictures (it needs libpng).
bool png_available();

// The bytes of a PNG file holding `img`. False when PNG is not available, the sizes are
// not those of the index array, or encoding fails.
bool encode_png(const PalettedImage& img, std::string& bytes);
