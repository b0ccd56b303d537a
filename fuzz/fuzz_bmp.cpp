// The bitmap reader, ChargeBMP, on any file, and map loading of a bitmap.
//
// Checked: a bitmap that is read has positive sizes that an int can count, and written
// again with SauveBMP (with the palette it came with) it reads back as the same lines,
// sizes and type; map loading takes an 8-bit bitmap as it is and a grey 24-bit one by its
// grey values, and refuses (status 1) every file ChargeBMP refuses and every coloured one.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "image_writers.h"
#include "formats/bitmap.h"
#include "raster/map.h"
#include "core/answers.h"

namespace {

struct Loaded {
    unsigned char** m = nullptr;
    int nb_col = 0, nb_lig = 0, type = -1;
    Color32* palette = nullptr;
    Status why;
    Loaded(const std::string& name, bool want_palette) {
        Color32 dummy{};
        palette = want_palette ? &dummy : nullptr;  // non-null asks for the palette
        m = ChargeBMP(name.c_str(), nb_col, nb_lig, type, palette, &why);
        if (!want_palette) check(palette == nullptr);
        if (want_palette) check(palette != &dummy);
    }
    ~Loaded() {
        if (m) frucmatrice(m, nb_lig);
        std::free(palette);
    }
    int bytes_per_line() const { return type == 2 ? 3 * nb_col : nb_col; }
};

bool same_lines(const Loaded& a, const Loaded& b) {
    if (a.nb_col != b.nb_col || a.nb_lig != b.nb_lig || a.type != b.type) return false;
    for (int i = 0; i < a.nb_lig; ++i)
        if (std::memcmp(a.m[i], b.m[i], static_cast<std::size_t>(a.bytes_per_line())) != 0)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name = scratch_dir() + "/map.bmp";
    write_file(name, data, size);

    Loaded plain(name, false);
    Loaded with_palette(name, true);
    check((plain.m == nullptr) == (with_palette.m == nullptr));
    check(plain.why.reason == with_palette.why.reason);
    if (plain.m) {
        check(plain.why.ok());
        check(plain.nb_col > 0 && plain.nb_lig > 0);
        check(static_cast<long long>(plain.nb_col) * plain.nb_lig <= INT_MAX);
        check(plain.type >= 0 && plain.type <= 2);
        check(same_lines(plain, with_palette));

        // Written again and read back: the same image.
        const std::string again = scratch_dir() + "/again.bmp";
        const Color32* cm = plain.type == 2 ? nullptr : with_palette.palette;
        check(SauveBMP(again.c_str(), plain.m, plain.nb_col, plain.nb_lig, plain.type, cm) == 0);
        Loaded back(again, true);
        check(back.m != nullptr);
        check(same_lines(plain, back));
        if (plain.type != 2)
            check(std::memcmp(back.palette, with_palette.palette, 256 * sizeof(Color32)) == 0);
    } else {
        check(!plain.why.ok());
    }

    // Map loading; the pixel size is the only question.
    RunAnswers run;
    run.format = kBitmap;
    run.nom_lect = scratch_dir() + "/map";
    LoadedMap map;
    Inventory inv;
    const int status = load_map(run, "10\n", map, inv);
    bool grey = true;
    if (plain.m && plain.type == 2) {
        for (int i = 0; i < plain.nb_lig && grey; ++i)
            for (int j = 0; j < plain.nb_col && grey; ++j) {
                const unsigned char* p = plain.m[i] + 3 * j;
                grey = p[0] == p[1] && p[1] == p[2];
            }
    }
    const bool accepted = plain.m != nullptr && grey;
    check(status == (accepted ? 0 : 1));
    if (!accepted) return 0;
    check(map.nb_col == plain.nb_col && map.nb_lig == plain.nb_lig && map.dpix_size == 10.0);
    const int step = plain.type == 2 ? 3 : 1;
    // The inventory taken as the rows streamed by counts the pixels the whole reader read.
    long long counts[256] = {};
    for (int i = 0; i < map.nb_lig; ++i)
        for (int j = 0; j < map.nb_col; ++j) ++counts[plain.m[i][step * j]];
    for (int c = 0; c < 256; ++c) check(inv.hist_explor[c] == counts[c]);
    return 0;
}
