// Whole-image writers of the program's three formats, kept for the tests and the fuzz
// targets as a second way to write a file, apart from the format units' row sinks: they
// make the maps the tests read, and the files the sinks' bytes are compared with.
#pragma once

#include <string>

#include "formats/bitmap.h"
#include "raster/nrutil.h"

// Writes `Buff` (NbLig lines of NbCol x taille bytes) to `Nom`. Type 0 or 1: 8 bits with
// `ColorMAP` as palette (null: the grey ramp); 2: 24 bits. Returns 0, or -1 when the
// file cannot be created or written in full (the header, the palette, any pixel row
// or the final close), or when the type or the sizes cannot be written as a bitmap.
int SauveBMP(const char* Nom, unsigned char** Buff, int NbCol, int NbLig, int Type,
             const Color32* ColorMAP);

// Writes base + ".txt" then base + ".raw". The header carries trunc(dpix_size).
// Returns true when both files were written in full; otherwise `failed_file` names
// the first file that could not be created or written (the other one is still written).
bool write_raw(const std::string& base, ByteMatrix m, int nb_lig, int nb_col, double dpix_size,
               std::string& failed_file);

// Writes base + ".asc": the header, then every cell as "%d\t" on one single text line.
// Returns true when the file was written in full.
bool write_ascii_grid(const std::string& base, ByteMatrix m, int nb_lig, int nb_col, double X_min,
                      double Y_min, double dpix_size);
