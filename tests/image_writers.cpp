#include "image_writers.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "formats/raw.h"
#include "raster/output_file.h"

namespace {

// Bytes of one stored bitmap row: the pixel bytes rounded up to a multiple of 4.
long long padded_row(long long pixel_bytes) {
    return (pixel_bytes + 3) / 4 * 4;
}

bool write_all(std::FILE* f, const void* data, std::size_t n) {
    return n == 0 || std::fwrite(data, 1, n, f) == n;
}

}  // namespace

int SauveBMP(const char* Nom, unsigned char** Buff, int NbCol, int NbLig, int Type,
             const Color32* ColorMAP) {
    if (Type < 0 || Type > 2 || NbCol < 0 || NbLig < 0 || (NbLig > 0 && Buff == nullptr)) return -1;
    const int taille = Type < 2 ? 1 : 3;
    const std::uint32_t off_bits = Type < 2 ? kBmpPaletteOffset : kBmpHeaderBytes;
    const long long larg = static_cast<long long>(NbCol) * taille;
    const long long row = padded_row(larg);
    const long long file_size = off_bits + row * NbLig;
    if (file_size > static_cast<long long>(UINT32_MAX)) return -1;  // beyond what the header holds

    const std::string head = bmp_head(NbCol, NbLig, Type, ColorMAP);
    OutputFile out;
    if (!out.open(Nom)) return -1;
    std::FILE* f = out.get();
    if (std::fwrite(head.data(), 1, head.size(), f) != head.size()) return -1;
    // The first stored row is the bottom line of the image; padding bytes stay 0.
    std::vector<unsigned char> tmp(static_cast<std::size_t>(row), 0);
    for (int i = NbLig - 1; i >= 0; --i) {
        if (larg > 0) std::memcpy(tmp.data(), Buff[i], static_cast<std::size_t>(larg));
        if (std::fwrite(tmp.data(), 1, tmp.size(), f) != tmp.size()) return -1;
    }
    return out.commit() ? 0 : -1;
}

bool write_raw(const std::string& base, ByteMatrix m, int nb_lig, int nb_col, double dpix_size,
               std::string& failed_file) {
    failed_file.clear();
    const std::string header_name = base + ".txt";
    const std::string pixel_name = base + ".raw";

    RawHeader h;
    h.nb_lig = nb_lig;
    h.nb_col = nb_col;
    h.pix_size = trunc_to_int(dpix_size);
    if (!write_raw_header(header_name, h)) failed_file = header_name;

    bool pixels_ok = false;
    OutputFile out;
    if (out.open(pixel_name)) {
        pixels_ok = true;
        for (int i = 0; i < nb_lig && pixels_ok; ++i)
            pixels_ok = write_all(out.get(), m[i], static_cast<std::size_t>(nb_col));
        pixels_ok = pixels_ok && out.commit();
    }
    if (!pixels_ok && failed_file.empty()) failed_file = pixel_name;
    return failed_file.empty();
}

// Every cell printed as it stands, "%d\t": slower than the sink's table of cell texts,
// and written apart from it.
bool write_ascii_grid(const std::string& base, ByteMatrix m, int nb_lig, int nb_col, double X_min,
                      double Y_min, double dpix_size) {
    OutputFile out;
    if (!out.open(base + ".asc")) return false;
    std::FILE* f = out.get();
    bool ok = std::fprintf(f, "ncols %d\nnrows %d\n", nb_col, nb_lig) > 0 &&
              std::fprintf(f, "xllcorner %lf\nyllcorner %lf\n", X_min, Y_min) > 0 &&
              std::fprintf(f, "cellsize %lf\nnodata_value -9999.9999\n", dpix_size) > 0;
    for (int i = 0; i < nb_lig && ok; ++i)
        for (int j = 0; j < nb_col && ok; ++j) ok = std::fprintf(f, "%d\t", m[i][j]) > 0;
    return ok && out.commit();
}
