#include "dialogue/stages.h"
#include "image_writers.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "formats/ascii_grid.h"
#include "formats/bitmap.h"
#include "formats/raw.h"
#include "raster_fixtures.h"

namespace {

// One call of lecture on `base` with the typed answers; `status` is that of a stopped run.
struct Loading {
    rt::Session s;
    RunAnswers run;
    LoadedMap map;
    Inventory inv;
    int status = 0;
    std::string out;
    Loading(const std::string& base, int format, int idiom, const std::string& answers = "")
        : s(answers) {
        run.idiom = idiom;
        run.format = format;
        run.nom_lect = base;
        try {
            lecture(s.con, run, map, inv);
        } catch (const RunStop& stop) {
            status = stop.status;
        }
        out = s.out.str();
    }
    // What was printed before the inventory.
    std::string before_inventory() const { return out.substr(0, out.find("\n\n\tMax. ")); }
    std::string before_inventory_fr() const { return out.substr(0, out.find("\n\n\tValeur ")); }
    std::string before_inventory_es() const { return out.substr(0, out.find("\n\n\tValor ")); }
};

std::string sizes(int idiom, int nb_lig, int nb_col) {
    const std::string l = std::to_string(nb_lig), c = std::to_string(nb_col);
    if (idiom == 1)
        return "\n\tCETTE IMAGE A : \n\t            " + l + " LIGNES\n\t         ET " + c +
               " COLONNES";
    if (idiom == 2)
        return "\n\tESTA IMAGEN TIENE: \n\t            " + l + " LINEAS\n\t          Y " + c +
               " COLUMNAS";
    return "\n\tTHIS IMAGE HAS:  \n\t            " + l + " LINES\n\t        AND " + c + " COLUMNS";
}

// The inventory taken as the map streamed by counts the pixels of `g`, code by code.
bool counts_of(const Inventory& inv, const ByteGrid& g, int nb_lig, int nb_col) {
    std::int64_t counts[260] = {};
    for (int i = 0; i < nb_lig; ++i)
        for (int j = 0; j < nb_col; ++j) ++counts[g[i][j]];
    return std::equal(counts, counts + 256, inv.hist_explor);
}

std::string repeat(const std::string& s, int n) {
    std::string r;
    while (n-- > 0) r += s;
    return r;
}

}  // namespace

TEST(Loading, RasterWithHeaderAsksNothing) {
    rt::TempDir dir;
    ByteGrid g = rt::grid_of(2, 3, {1, 2, 3, 4, 5, 255});
    std::string failed;
    ASSERT_TRUE(write_raw(dir / "m", g.get(), 2, 3, 30, failed));
    rt::spit(dir / "m.txt", "2 3 7 9 99 30");  // the middle values play no part
    Loading l(dir / "m", kRaster, 0);
    EXPECT_EQ(l.status, 0);
    EXPECT_EQ(l.before_inventory(), sizes(0, 2, 3));
    EXPECT_EQ(l.run.nom_lect, dir / "m.raw");
    EXPECT_EQ(l.map.dpix_size, 30.0);
    EXPECT_FALSE(l.map.UTM_coord);
    EXPECT_TRUE(counts_of(l.inv, g, 2, 3));
    EXPECT_EQ(l.inv.num_item, 5);
}

TEST(Loading, RasterWithoutHeaderAsksUntilAnswersAreValidAndWritesIt) {
    const std::string missing[3] = {"\n\tNo File  %s \n", "\n\tAbsence de fichier  %s \n",
                                    "\n\tEl archivo %s no existe  \n"};
    const std::string lines[3] = {"\n\t\tNumber of lines? ", "\n\t\tNombre de lignes ? ",
                                  "\n\t\tN\xA3mero de l\xA1neas? "};
    const std::string cols[3] = {"\n\t\tNumber of columns? ", "\n\t\tNombre de colonnes ? ",
                                 "\n\t\tN\xA3mero de columnas? "};
    const std::string pix[3] = {"\n\t\tPixel size? ", "\n\t\tTaille du pixel ? ",
                                "\n\t\t\xA8Tama\xA4o del pixel? "};
    for (int idiom = 0; idiom < 3; ++idiom) {
        rt::TempDir dir;
        rt::spit(dir / "m.raw", "\x01\x02\x03\x04\x05\x06");
        Loading l(dir / "m", kRaster, idiom, "abc 0 -2 2 x 3 y 25");
        std::string head = missing[idiom];
        head.replace(head.find("%s"), 2, dir / "m.txt");
        const std::string want = head + repeat(lines[idiom], 4) + repeat(cols[idiom], 2) +
                                 repeat(pix[idiom], 2) + sizes(idiom, 2, 3);
        EXPECT_EQ(l.out.substr(0, want.size()), want);
        EXPECT_EQ(rt::slurp(dir / "m.txt"), "2\n3\n1\n0\n255\n25\n");
        EXPECT_EQ(l.map.dpix_size, 25.0);
        EXPECT_TRUE(counts_of(l.inv, rt::grid_of(2, 3, {1, 2, 3, 4, 5, 6}), 2, 3));
        // The next run finds the header.
        Loading again(dir / "m", kRaster, idiom);
        EXPECT_EQ(again.out.substr(0, sizes(idiom, 2, 3).size()), sizes(idiom, 2, 3));
    }
}

TEST(Loading, RasterTroublesThatDoNotStopTheRun) {
    rt::TempDir dir;
    // A longer pixel file: its first bytes are the map, with a warning.
    rt::spit(dir / "s.txt", "2 3 1 0 255 10");
    rt::spit(dir / "s.raw", "\x01\x02\x03\x04\x05\x06\x07");
    Loading s(dir / "s", kRaster, 0);
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.before_inventory(), "\n\tWarning: file " + (dir / "s.raw") +
                                        " holds 7 bytes, 6 expected; the bytes after them are "
                                        "ignored \n" +
                                        sizes(0, 2, 3));
    EXPECT_TRUE(counts_of(s.inv, rt::grid_of(2, 3, {1, 2, 3, 4, 5, 6}), 2, 3));
#ifndef _WIN32
    // A header that cannot be written (a full disk): said, and the map is still loaded;
    // no header and no temporary file is left.
    rt::spit(dir / "h.raw", "\x01\x02");
    {
        tf::FileSizeLimit full(4);
        Loading h(dir / "h", kRaster, 0, "1 2 5");
        EXPECT_EQ(h.status, 0);
        EXPECT_NE(h.out.find("\n\tThe header file " + (dir / "h.txt") +
                             " could not be written \n" + sizes(0, 1, 2)),
                  std::string::npos);
    }
    EXPECT_EQ(rt::slurp(dir / "s.txt"), "2 3 1 0 255 10");
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir / ""))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"h.raw", "s.raw", "s.txt"}));
#endif
}

TEST(Loading, MissingAndRefusedFilesStopTheRunWithTheirMessage) {
    rt::TempDir dir;
    const std::string b = dir / "m";
    rt::spit(dir / "p.txt", "2 3 1 0 255 30");  // pixel file missing
    rt::spit(dir / "z.txt", "0 3 1 0 255 30");
    rt::spit(dir / "u.txt", "2 3 one 0 255 30");
    for (const char* b : {"z", "u", "q", "v"}) rt::spit(dir / (std::string(b) + ".raw"), "123456");
    rt::spit(dir / "q.txt", "2 4 1 0 255 30");  // 8 pixels in 6 bytes
#ifndef _WIN32
    // FIFOs and folders are refused at once, never waited on.
    for (const char* name : {"fr.raw", "fh.txt", "fb.bmp", "fa.asc"})
        ASSERT_EQ(mkfifo((dir / name).c_str(), 0600), 0);
    rt::spit(dir / "fh.raw", "123456");
    std::filesystem::create_directory(dir / "v.txt");
#endif
    ByteGrid g = rt::grid_of(2, 3, {1, 2, 3, 4, 5, 6});
    ByteGrid bgr = rt::grid_of(2, 9, {9, 9, 9, 1, 2, 3});
    ASSERT_EQ(SauveBMP((dir / "c.bmp").c_str(), bgr.get(), 3, 2, 2, nullptr), 0);
    rt::spit(dir / "t.bmp", rt::slurp(dir / "c.bmp").substr(0, 60));
    rt::spit(dir / "f.asc", "ncols 3 nrows 2 x 0 y 0 c 1 1 2 3 4 5          ");
    rt::spit(dir / "d.asc", "ncols 3 nrows 2 x 0 y 0 c 1 1 2 3.5 4 5 6");
    struct Case {
        const char* base;
        int format, idiom;
        std::string want;  // "@" stands for the file name
    };
    const Case cases[] = {
        {"p", kRaster, 0, "\n\tNo File  @.raw \n"},
        {"p", kRaster, 1, "\n\tPas de Fichier  @.raw \n"},
        {"p", kRaster, 2, "\n\tNo existe la Fila  @.raw \n"},
        {"g", kRaster, 0, "\n\tNo File  @.raw \n"},  // no header either: nothing asked
        {"a", kAscii, 0, "\n\tFile @.asc unknown\n"},
        {"a", kAscii, 1, "\n\tAbsence de Fichier @.asc unknown\n"},
        {"a", kAscii, 2, "\n\tNo existe la Fila @.asc \n"},
        {"z", kRaster, 0, "\n\tFile @.txt refused: 0 lines and 3 columns is not a valid size \n"},
        {"z", kRaster, 1,
         "\n\tFichier @.txt refus\x82 : 0 lignes et 3 colonnes n'est pas une taille valide \n"},
        {"z", kRaster, 2,
         "\n\tArchivo @.txt rechazado: 0 l\xA1neas y 3 columnas no es un tama\xA4o v\xA0lido \n"},
        {"u", kRaster, 0, "\n\tFile @.txt refused: its header cannot be read \n"},
        {"q", kRaster, 0, "\n\tFile @.raw refused: it holds 6 bytes, 8 expected \n"},
        {"q", kRaster, 1, "\n\tFichier @.raw refus\x82 : il contient 6 octets, 8 attendus \n"},
#ifndef _WIN32
        {"fr", kRaster, 0, "\n\tFile @.raw refused: it is not a regular file \n"},
        {"fh", kRaster, 2, "\n\tArchivo @.txt rechazado: no es un archivo regular \n"},
        {"fb", kBitmap, 1, "\n\tFichier @.bmp refus\x82 : ce n'est pas un fichier ordinaire \n"},
        {"fa", kAscii, 0, "\n\tFile @.asc refused: it is not a regular file \n"},
        {"v", kRaster, 0, "\n\tFile @.txt refused: it is not a regular file \n"},
#endif
        {"n", kBitmap, 0, "\n\tFile @.bmp refused: the file cannot be opened \n"},
        {"t", kBitmap, 0, "\n\tFile @.bmp refused: the file is too short \n"},
        {"c", kBitmap, 0,
         "\n\tFile @.bmp refused: a 24-bit bitmap must be grey (blue = green = red) \n"},
        {"f", kAscii, 0,
         "\n\n\tFile @.asc refused: it holds fewer cells than its header declares \n"},
        {"d", kAscii, 2, "\n\n\tArchivo @.asc rechazado: una celda no es un entero: 3.5 \n"},
    };
    for (const Case& c : cases) {
        std::string want = c.want;
        want.replace(want.find('@'), 1, dir / c.base);
        Loading l(dir / c.base, c.format, c.idiom, "k");
        EXPECT_EQ(l.status, 1) << want;
        EXPECT_EQ(l.out, want);
        EXPECT_EQ(l.s.in.peek(), EOF) << "the key press is read: " << want;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "g.txt"));
}

TEST(Loading, BitmapsAskThePixelSize) {
    rt::TempDir dir;
    ByteGrid g = rt::random_grid(3, 5, 11);
    // An 8-bit map with a colour palette, as GIS tools write them: the codes are the indexes.
    std::vector<Color32> pal(256);
    for (int i = 0; i < 256; ++i) pal[i] = {std::uint8_t(i * 7), std::uint8_t(i), 0, 0};
    ASSERT_EQ(SauveBMP((dir / "p.bmp").c_str(), g.get(), 5, 3, 1, pal.data()), 0);
    // The same map as a 24-bit grey bitmap.
    ByteGrid bgr(ucmatrice(15, 3), 3);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 15; ++j) bgr[i][j] = g[i][j / 3];
    ASSERT_EQ(SauveBMP((dir / "g.bmp").c_str(), bgr.get(), 5, 3, 2, nullptr), 0);

    const std::string ask[3] = {"\n\tpixel size (decimal value in meters) ? ",
                                "\n\ttaille du pixel (valeur d\x82"
                                "cimale en m\x8Atres) ? ",
                                "\n\t\xA8tama\xA4o del p\xA1xel (valor decimal en metros)? "};
    for (const char* base : {"p", "g"}) {
        for (int idiom = 0; idiom < 3; ++idiom) {
            Loading l(dir / base, kBitmap, idiom, "abc 12.5");
            const std::string want = ask[idiom] + ask[idiom] + sizes(idiom, 3, 5);
            EXPECT_EQ(l.out.substr(0, want.size()), want);
            EXPECT_EQ(l.run.nom_lect, dir / base + ".bmp");
            EXPECT_EQ(l.map.dpix_size, 12.5);
            EXPECT_TRUE(counts_of(l.inv, g, 3, 5)) << base;
        }
    }
}

TEST(Loading, AsciiGridsShowProgressAndCarryTheirCorner) {
    rt::TempDir dir;
    ByteGrid g = rt::random_grid(250, 2, 5);
    ASSERT_TRUE(write_ascii_grid(dir / "a", g.get(), 250, 2, 600000.5, 200000.25, 10));
    const char* word[3] = {"line", "ligne", "linea"};
    for (int idiom = 0; idiom < 3; ++idiom) {
        Loading l(dir / "a", kAscii, idiom);
        const std::string pad = "             \r";
        const std::string want = std::string("\n\t") + word[idiom] + " 100" + pad + "\t" +
                                 word[idiom] + " 200" + pad + "\n" + sizes(idiom, 250, 2);
        EXPECT_EQ(l.out.substr(0, want.size()), want);
        EXPECT_EQ(l.run.nom_lect, dir / "a.asc");
        EXPECT_TRUE(l.map.UTM_coord);
        EXPECT_EQ(l.map.X_min, 600000.5);
        EXPECT_EQ(l.map.Y_min, 200000.25);
        EXPECT_EQ(l.map.dpix_size, 10.0);
        EXPECT_TRUE(counts_of(l.inv, g, 250, 2));
    }
    // Cells after the declared ones are ignored, with a warning before the sizes.
    rt::spit(dir / "e.asc", "ncols 2 nrows 1 x 0 y 0 c 1 7 8 9");
    Loading e(dir / "e", kAscii, 1);
    EXPECT_EQ(e.before_inventory_fr(),
              "\n\n\n\tAttention : le fichier " + (dir / "e.asc") +
                  " contient plus de cellules que son en-t\x88te n'en d\x82"
                  "clare ; elles sont ignor\x82"
                  "es \n" +
                  sizes(1, 1, 2));
    EXPECT_TRUE(counts_of(e.inv, rt::grid_of(1, 2, {7, 8}), 1, 2));
}
