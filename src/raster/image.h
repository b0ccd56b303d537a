// The bitmap unit: uncompressed Windows bitmaps, 8 bits with a 256-entry palette or
// 24 bits, with the 40-byte information header.
#pragma once

#include <cstdint>

#include "raster/nrutil.h"

struct Color32 {
    std::uint8_t B, G, R, O;
};

// Writes `Buff` (NbLig lines of NbCol x taille bytes) to `Nom`. Type 0 or 1: 8 bits with
// `ColorMAP` as palette (null: the grey ramp); 2: 24 bits. Returns 0, or -1 when the
// file cannot be created or written in full.
int SauveBMP(const char* Nom, unsigned char** Buff, int NbCol, int NbLig, int Type,
             const Color32* ColorMAP);
