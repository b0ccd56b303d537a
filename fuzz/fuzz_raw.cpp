// The raw raster reading: the six-integer text header and the pixel file, through map
// loading. Input: one byte n, then n bytes of header text, then the pixel bytes.
//
// Checked: a header that is unreadable or declares no pixels or more than an int can
// count, or a pixel file shorter than the header says, is refused (status 1, nothing
// loaded); any other map is loaded with the file's first bytes line by line, and its
// inventory counts every pixel once.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "raster/map.h"
#include "formats/raw.h"
#include "core/answers.h"

namespace {

// Legitimate headers may declare maps of up to 2^31 - 1 pixels, refused when the file
// is short; larger ones than this are left out to keep every input quick.
constexpr long long kMaxPixels = 1 << 16;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t n = std::min<std::size_t>(data[0], size - 1);
    const std::uint8_t* pixels = data + 1 + n;
    const std::size_t pixel_bytes = size - 1 - n;
    const std::string base = scratch_dir() + "/map";
    write_file(base + ".txt", data + 1, n);
    write_file(base + ".raw", pixels, pixel_bytes);

    RawHeader h;
    const Status read = read_raw_header(base + ".txt", h);
    check(read.code != Status::Code::Missing);
    const long long declared = static_cast<long long>(h.nb_lig) * h.nb_col;
    const bool refused = !read.ok() || h.nb_lig <= 0 || h.nb_col <= 0 || declared > INT_MAX ||
                         static_cast<long long>(pixel_bytes) < declared;
    if (!refused && declared > kMaxPixels) return 0;

    RunAnswers run;
    run.format = kRaster;
    run.nom_lect = base;
    LoadedMap map;
    Inventory inv;
    std::string console;
    const int status = load_map(run, "", map, inv, &console);
    check(status == (refused ? 1 : 0));
    if (refused) return 0;

    check(map.nb_lig == h.nb_lig && map.nb_col == h.nb_col);
    check(run.nom_lect == base + ".raw");
    check(map.dpix_size == static_cast<double>(h.pix_size));
    // The inventory taken as the rows streamed by counts the declared pixels of the file.
    long long counts[256] = {};
    for (long long k = 0; k < declared; ++k) ++counts[pixels[k]];
    for (int c = 0; c < 256; ++c) check(inv.hist_explor[c] == counts[c]);
    long long in_items = 0;
    for (int item = 1; item <= inv.num_item; ++item) in_items += inv.num_pixel_item[item];
    check(in_items == declared - inv.hist_explor[255]);
    // A longer pixel file is named in a warning.
    check((static_cast<long long>(pixel_bytes) > declared) ==
          (console.find(base + ".raw") != std::string::npos));
    return 0;
}
