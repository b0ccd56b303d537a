#include "raster/raw_format.h"

#include <cctype>
#include <climits>
#include <cmath>

#include "raster/output_file.h"

namespace {

// Reads one "%d" from `f`: white space, an optional sign, then digits. False when no
// digit follows or the value does not fit in an int.
bool scan_int(std::FILE* f, int& v) {
    int c;
    do c = std::getc(f);
    while (c != EOF && std::isspace(c));
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = std::getc(f);
    }
    if (c == EOF || !std::isdigit(c)) return false;
    long long x = 0;
    for (; c != EOF && std::isdigit(c); c = std::getc(f)) {
        x = x * 10 + (c - '0');
        if (x > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (c != EOF) std::ungetc(c, f);
    if (negative) x = -x;
    if (x < INT_MIN || x > INT_MAX) return false;
    v = static_cast<int>(x);
    return true;
}

bool write_all(std::FILE* f, const void* data, std::size_t n) {
    return n == 0 || std::fwrite(data, 1, n, f) == n;
}

}  // namespace

int trunc_to_int(double x) {
    if (std::isnan(x)) return 0;
    if (x >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (x <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(x);
}

RawHeaderRead read_raw_header(const std::string& name, RawHeader& h) {
    bool not_regular = false;
    std::FILE* f = open_regular(name, "r", not_regular);
    if (!f) return not_regular ? RawHeaderRead::NotRegular : RawHeaderRead::Missing;
    RawHeader r;
    const bool ok = scan_int(f, r.nb_lig) && scan_int(f, r.nb_col) && scan_int(f, r.val) &&
                    scan_int(f, r.min_al) && scan_int(f, r.max_al) && scan_int(f, r.pix_size);
    std::fclose(f);
    if (!ok) return RawHeaderRead::Unreadable;
    h = r;
    return RawHeaderRead::Read;
}

bool write_raw_header(const std::string& name, const RawHeader& h) {
    // Binary mode: the same bytes on every system, one "\n" after each value.
    OutputFile out;
    if (!out.open(name)) return false;
    const int n = std::fprintf(out.get(), "%d\n%d\n%d\n%d\n%d\n%d\n", h.nb_lig, h.nb_col, h.val,
                               h.min_al, h.max_al, h.pix_size);
    return n > 0 && out.commit();
}

long long read_raw_pixels(std::FILE* f, ByteMatrix m, int nb_lig, int nb_col, bool& read_error) {
    read_error = false;
    long long total = 0;
    const auto width = static_cast<std::size_t>(nb_col);
    for (int i = 0; i < nb_lig; ++i) {
        const std::size_t got = std::fread(m[i], 1, width, f);
        total += static_cast<long long>(got);
        if (got < width) {
            read_error = std::ferror(f) != 0;
            break;  // end of file: the lines left keep their zeros
        }
    }
    return total;
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
