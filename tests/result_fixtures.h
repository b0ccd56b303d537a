// Fixtures shared by the result, whole-run and GDAL tests: small classified maps, the
// three input files written byte by byte, and a straightforward recomputation of
// everything a run must produce (inventory, diversity, homogeneity, mesh lines, the
// report text and the bytes of every result file). Nothing here calls the program's
// own code, so the tests compare two independent computations.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "file_fixtures.h"

namespace fx {

namespace fs = std::filesystem;
using tf::slurp;
using tf::spit;

// ------------------------------------------------------------------ text helpers

template <typename... A>
std::string fmt(const char* f, A... a) {
    char buf[1024];
    std::snprintf(buf, sizeof buf, f, a...);
    return buf;
}
inline std::string fmt(const char* f) {
    return f;
}

// The names of the regular files and directories of a folder, sorted.
inline std::set<std::string> list_folder(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

// A scratch folder removed at the end of the test.
struct ScratchDir {
    fs::path root;
    explicit ScratchDir(const std::string& tag) {
        root = fs::temp_directory_path() / ("landmosaic_" + tag + "_" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(root, ec);
    }
};

// ------------------------------------------------------------------ maps

struct ClassMap {
    int nb_lig = 0;
    int nb_col = 0;
    std::vector<unsigned char> px;  // line by line from the top
    unsigned char at(int i, int j) const { return px[static_cast<size_t>(i) * nb_col + j]; }
};

// A small clustered landscape: patches grown around random seeds, a few scattered
// pixels of other codes and, when asked, a handful of 255 pixels. Deterministic.
inline ClassMap make_map(int nb_lig, int nb_col, std::uint32_t seed, int classes,
                         bool with_no_value = true) {
    std::uint32_t s = seed * 2654435761u + 12345u;
    auto rnd = [&s]() {
        s = s * 1664525u + 1013904223u;
        return s >> 8;
    };
    ClassMap m;
    m.nb_lig = nb_lig;
    m.nb_col = nb_col;
    m.px.assign(static_cast<size_t>(nb_lig) * nb_col, 0);
    const int seeds = std::max(2, nb_lig * nb_col / 40);
    std::vector<int> si(seeds), sj(seeds), sc(seeds);
    for (int k = 0; k < seeds; ++k) {
        si[k] = static_cast<int>(rnd() % nb_lig);
        sj[k] = static_cast<int>(rnd() % nb_col);
        sc[k] = static_cast<int>(3 * (rnd() % classes) + 1);  // codes 1, 4, 7, ...
    }
    for (int i = 0; i < nb_lig; ++i)
        for (int j = 0; j < nb_col; ++j) {
            int best = 0, bestd = 1 << 30;
            for (int k = 0; k < seeds; ++k) {
                int d = (i - si[k]) * (i - si[k]) + (j - sj[k]) * (j - sj[k]);
                if (d < bestd) bestd = d, best = k;
            }
            unsigned char c = static_cast<unsigned char>(sc[best]);
            if (rnd() % 17 == 0) c = static_cast<unsigned char>(rnd() % 3 == 0 ? 0 : 200);
            if (with_no_value && rnd() % 29 == 0) c = 255;
            m.px[static_cast<size_t>(i) * nb_col + j] = c;
        }
    return m;
}

// ------------------------------------------------------------------ input files

inline std::string raw_header(int nb_lig, int nb_col, int pix) {
    return fmt("%d\n%d\n%d\n%d\n%d\n%d\n", nb_lig, nb_col, 1, 0, 255, pix);
}

inline std::string raw_pixels(const ClassMap& m) {
    return std::string(m.px.begin(), m.px.end());
}

inline void put16(std::string& b, int off, unsigned v) {
    b[off] = static_cast<char>(v & 0xFF);
    b[off + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void put32(std::string& b, int off, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) b[off + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
}

// An 8-bit bitmap with the grey-ramp palette, rows stored bottom-up, each padded to a
// multiple of 4 bytes with zeros.
inline std::string bmp_bytes(const ClassMap& m) {
    const int row = (m.nb_col + 3) / 4 * 4;
    const std::uint32_t image = static_cast<std::uint32_t>(row) * m.nb_lig;
    std::string b(54, '\0');
    put16(b, 0, 0x4D42);
    put32(b, 2, 1078 + image);
    put32(b, 10, 1078);
    put32(b, 14, 40);
    put32(b, 18, static_cast<std::uint32_t>(m.nb_col));
    put32(b, 22, static_cast<std::uint32_t>(m.nb_lig));
    put16(b, 26, 1);
    put16(b, 28, 8);
    put32(b, 30, 0);
    put32(b, 34, image);
    put32(b, 38, 10000);
    put32(b, 42, 10000);
    for (int c = 0; c < 256; ++c) {
        const char g = static_cast<char>(c);
        b += g;
        b += g;
        b += g;
        b += '\0';
    }
    for (int i = m.nb_lig - 1; i >= 0; --i) {
        for (int j = 0; j < m.nb_col; ++j) b += static_cast<char>(m.at(i, j));
        b.append(static_cast<size_t>(row - m.nb_col), '\0');
    }
    return b;
}

// An ASCII grid as the program writes it: six header lines, then every cell as "%d\t".
inline std::string asc_bytes(const ClassMap& m, double x_min, double y_min, double cell) {
    std::string s = fmt("ncols %d\n", m.nb_col) + fmt("nrows %d\n", m.nb_lig) +
                    fmt("xllcorner %lf\n", x_min) + fmt("yllcorner %lf\n", y_min) +
                    fmt("cellsize %lf\n", cell) + "nodata_value -9999.9999\n";
    for (unsigned char c : m.px) s += fmt("%d\t", static_cast<int>(c));
    return s;
}

// An ASCII grid as another program might write it: one text line per image line,
// values separated by blanks.
inline std::string asc_input_bytes(const ClassMap& m, double x_min, double y_min, double cell) {
    std::string s = fmt("ncols %d\n", m.nb_col) + fmt("nrows %d\n", m.nb_lig) +
                    fmt("xllcorner %.2f\n", x_min) + fmt("yllcorner %.2f\n", y_min) +
                    fmt("cellsize %g\n", cell) + "NODATA_value -9999\n";
    for (int i = 0; i < m.nb_lig; ++i) {
        for (int j = 0; j < m.nb_col; ++j) s += fmt(j ? " %d" : "%d", static_cast<int>(m.at(i, j)));
        s += "\n";
    }
    return s;
}

// ------------------------------------------------------------------ the computation

struct Items {
    std::vector<int> code;    // item k-1: its code, ascending
    std::vector<int> pixels;  // its pixels
    int total = 0;            // pixels below 255
};

inline Items inventory(const ClassMap& m) {
    long counts[256] = {};
    for (unsigned char c : m.px) ++counts[c];
    Items it;
    for (int c = 0; c < 255; ++c) {
        if (counts[c] == 0) continue;
        it.code.push_back(c);
        it.pixels.push_back(static_cast<int>(counts[c]));
        it.total += static_cast<int>(counts[c]);
    }
    return it;
}

// The circular window of rank R as a disc: offsets (p, q) with p*p + q*q at most
// (R + 0.5)^2. The ring drawing of the program gives exactly this set up to R = 15.
inline std::vector<std::vector<bool>> disc(int R) {
    const int n = 2 * R + 1;
    std::vector<std::vector<bool>> d(n, std::vector<bool>(n));
    for (int p = -R; p <= R; ++p)
        for (int q = -R; q <= R; ++q) d[p + R][q + R] = p * p + q * q <= (R + 0.5) * (R + 0.5);
    return d;
}

inline int disc_pixels(int R) {
    int n = 0;
    for (const auto& row : disc(R))
        for (bool b : row) n += b;
    return n;
}

enum class Treat { Cell, Square, Circle };

struct Expected {
    std::vector<unsigned char> div;   // diversity, before any mesh line
    std::vector<unsigned char> homo;  // homogeneity
};

// Diversity and homogeneity of one set of pixels whose window surface is `surf`.
inline void tally(const std::vector<unsigned char>& codes, int surf, unsigned char& d,
                  unsigned char& h) {
    int count[256] = {};
    for (unsigned char c : codes) ++count[c];
    int kinds = 0, most = 0;
    for (int c = 0; c < 255; ++c) {
        if (count[c] > 0) ++kinds;
        most = std::max(most, count[c]);
    }
    d = static_cast<unsigned char>(kinds);
    h = static_cast<unsigned char>(static_cast<int>(static_cast<double>(most) / surf * 100.0));
}

inline Expected compute(const ClassMap& m, Treat t, int R) {
    const int L = m.nb_lig, C = m.nb_col, side = 2 * R + 1;
    Expected e;
    e.div.assign(static_cast<size_t>(L) * C, 255);
    e.homo.assign(static_cast<size_t>(L) * C, 255);
    if (t == Treat::Cell) {
        for (int ci = 0; ci + side <= L; ci += side)
            for (int cj = 0; cj + side <= C; cj += side) {
                std::vector<unsigned char> codes;
                for (int i = ci; i < ci + side; ++i)
                    for (int j = cj; j < cj + side; ++j) codes.push_back(m.at(i, j));
                unsigned char d, h;
                tally(codes, side * side, d, h);
                for (int i = ci; i < ci + side; ++i)
                    for (int j = cj; j < cj + side; ++j) {
                        e.div[static_cast<size_t>(i) * C + j] = d;
                        e.homo[static_cast<size_t>(i) * C + j] = h;
                    }
            }
        return e;
    }
    const auto mask = disc(R);
    const int surf = t == Treat::Square ? side * side : disc_pixels(R);
    for (int i = R; i < L - R; ++i)
        for (int j = R; j < C - R; ++j) {
            std::vector<unsigned char> codes;
            for (int p = -R; p <= R; ++p)
                for (int q = -R; q <= R; ++q)
                    if (t == Treat::Square || mask[p + R][q + R])
                        codes.push_back(m.at(i + p, j + q));
            unsigned char d, h;
            tally(codes, surf, d, h);
            e.div[static_cast<size_t>(i) * C + j] = d;
            e.homo[static_cast<size_t>(i) * C + j] = h;
        }
    return e;
}

// The mesh lines (value 0) on the columns and rows that are multiples of 2R + 1.
inline std::vector<unsigned char> with_mesh(std::vector<unsigned char> div, int L, int C, int R) {
    const int side = 2 * R + 1;
    for (int i = 0; i < L; ++i)
        for (int j = 0; j < C; ++j)
            if (i % side == 0 || j % side == 0) div[static_cast<size_t>(i) * C + j] = 0;
    return div;
}

inline ClassMap as_map(const std::vector<unsigned char>& px, int L, int C) {
    ClassMap m;
    m.nb_lig = L;
    m.nb_col = C;
    m.px = px;
    return m;
}

// ------------------------------------------------------------------ console texts

inline const char* const kMeshQuestion[3] = {
    "\n\n\tdo you want to draw the cell mesh on the image %s: ",
    "\n\n\tvoulez-vous dessiner la maille sur l'image %s : ",
    "\n\n\tdesean dibujar la malla de celdas en la imagen %s: "};
inline const char* const kMeshChoices[3] = {"\n\t\t0 ====> yes\n\t\t1 ====> no\n\t\t",
                                            "\n\t\t0 ====> oui\n\t\t1 ====> non\n\t\t",
                                            "\n\t\t0 ====> si\n\t\t1 ====> no\n\t\t"};
inline const char* const kMeshDrawing[3] = {"\n\tmesh drawing ", "\n\tdessin de la maille ",
                                            "\n\tdibujo de la malla "};
inline const char* const kEndMessage[3] = {
    "\n\n\tto exit the program, hit any key on the keyboard \n\t",
    "\n\n\tpour sortir du programme, frapper une touche quelconque du clavier \n\t",
    "\n\n\tpara salir del programa, presione cualquier tecla en el teclado \n\t"};

// The diversity histogram as the treatment prints it, from the diversity values.
inline std::string histogram_text(const std::vector<unsigned char>& div) {
    long histo[256] = {};
    int max_histo = 0;
    for (unsigned char v : div)
        if (v < 255) {
            ++histo[v];
            max_histo = std::max<int>(max_histo, v);
        }
    std::string s = fmt("\n\n\tmax_histo = %d \n", max_histo);
    for (int v = 1; v <= max_histo; ++v)
        s += fmt("\n\thisto_div[%d] = %d ", v, static_cast<int>(histo[v]));
    return s;
}

// ------------------------------------------------------------------ the report

// Rows 1 to 30 of the report in English, French and Spanish.
inline const char* const kReportRows[30][3] = {
    /*  1 */ {"\n\n\t\tPROGRAM LANDMOSAIC", "\n\n\t\tPROGRAMME LANDMOSAIC",
              "\n\n\t\tPROGRAMA LANDMOSAIC_CIRCLE"},
    /*  2 */
    {"\n\n\tProgram applied to the image: ", "\n\n\tProgramme applique a l'image : ",
     "\n\n\tPrograma applicado a la imagen: "},
    /*  3 */ {"\n\t\t%s ", "\n\t\t%s ", "\n\t\t%s "},
    /*  4 */
    {"\n\n\tMain features: ", "\n\n\tCaracteristiques generales : ",
     "\n\n\tPrincipales caracteristicas: "},
    /*  5 */
    {"\n\t\tLines = %d\tColumns = %d ", "\n\t\tLignes = %d\tColonnes = %d ",
     "\n\t\tLineas = %d\tColumnas = %d "},
    /*  6 */
    {"\n\t\tPixel size = %d ", "\n\t\tTaille du pixel = %d ", "\n\t\tTamano del pixel = %d "},
    /*  7 */
    {"\n\t\twhole surface %.3lf km2 ", "\n\t\tSurface totale %.3lf km2 ",
     "\n\t\tSuperficie total %.3lf km2 "},
    /*  8 */
    {"\n\n\tNumber of items = %d \n", "\n\n\tNombre d'items = %d \n",
     "\n\n\tNumero de items = %d \n"},
    /*  9 */
    {"\n\t\titem %d code %d pixels %d percent %.2lf ",
     "\n\t\titem %d code %d pixels %d percent %.2lf ",
     "\n\t\titem %d codigo %d pixels %d percent %.2lf "},
    /* 10 */
    {"\n\n\tMoving window characteristics: ", "\n\n\tCaracteristiques de la fenetre mobile : ",
     "\n\n\tCaracteristicas de la ventana movil: "},
    /* 11 */
    {"\n\t\tChosen form: square", "\n\t\tForme choisie : carree", "\n\t\tForma elegida: cuadrado"},
    /* 12 */
    {"\n\t\tCuadricular moving window characteristics: ",
     "\n\t\tCaracteristiques de la fenetre carree : ",
     "\n\t\tCaracteristicas de la venetana cuadrada: "},
    /* 13 */
    {"\n\n\t\tm (in pixels) = (R x 2) + 1 = (%d x 2) + 1",
     "\n\n\t\tm (en pixels) = (R x 2) + 1 = (%d x 2) + 1",
     "\n\n\t\tm (en pixels) = (R x 2) + 1 = (%d x 2) + 1"},
    /* 14 */
    {"\n\t\twindow size in pixels (m x m) = %d x %d ",
     "\n\t\tTaille de la fenetre en pixels (m x m) = %d x %d ",
     "\n\t\tTamano de la ventana en pixeles (m x m) = %d x %d "},
    /* 15 */
    {"\n\t\tsurface in pixels = %d ", "\n\t\tSurface en pixels = %d ",
     "\n\t\tSuperficie en pixeles = %d "},
    /* 16 */
    {"\n\t\taccording to the pixel size (%d x %d meters)",
     "\n\t\ten relation avec la taille du pixel (%d x %d meters)",
     "\n\t\tDe acuerdo con el tamano del pixel (%d x %d metros)"},
    /* 17 */
    {"\n\t\tthe surface of the mobil window is %.3lf ha (%.3lf km2) ",
     "\n\t\tla surface de la fenetre mobile est de %.3lf ha (%.3lf km2) ",
     "\n\t\tla superficie de la ventana movil cuadrada es de %.3lf ha (%.3lf km2) "},
    /* 18 */
    {"\n\t\tChosen form: circle", "\n\t\tForme choisie : cercle", "\n\t\tForme elegida: circulo"},
    /* 19 */
    {"\n\t\tCircular moving window characteristics: ",
     "\n\t\tCaracteristiques de la fenetre mobile circulaire : ",
     "\n\t\tCaracteristicas de la ventana movil circular: "},
    /* 20 */
    {"\n\t\t\tRadius rc (in pixels) = R + 0.5 = %.2lf ",
     "\n\t\t\tRayon rc (in pixels) = R + 0.5 = %.2lf ",
     "\n\t\t\tRadio rc (en pixeles) = R + 0.5 = %.2lf "},
    /* 21 */
    {"\n\t\t\tcircular surface (in pixels) = %d ", "\n\t\t\tSurface circulaire (en pixels) = %d ",
     "\n\t\t\tSuperficie circular (en pixeles) = %d "},
    /* 22 */
    {"\n\t\t\taccording to the pixel size (%d x %d meters)",
     "\n\t\t\ten accord avec la taille du pixel (%d x %d metres)",
     "\n\t\t\tDe acuerdo con el tamano del pixel (%d x %d metros)"},
    /* 23 */
    {"\n\t\t\tthe surface of the circular moving window is %.3lf ha (%.3lf km2) ",
     "\n\t\t\tla surface de la fenetre mobile circulaire est de %.3lf ha (%.3lf km2) ",
     "\n\t\t\tla superficie de la ventana movil circular es de %.3lf ha (%.3lf km2) "},
    /* 24 */
    {"\n\n\tAl final, the program will create two images. The first one ",
     "\n\n\tLe programme engendre deux images. La premiere correspond a la ",
     "\n\n\tEl programa genera dos imagenes. La primera corresponde a la "},
    /* 25 */
    {"\n\tcorresponds to the diversity registered using a percentage scale.",
     "\n\tdiversite enregistree sur une echelle en pourcentage.",
     "\n\tdiversidad registrada en una escala en porcentage."},
    /* 26 */
    {"\n\tThe second image is another illustation of the diversity based ",
     "\n\tLa seconde image est un autres type d'illustration de la diversite ",
     "\n\tLa segunda image es un otro tipo de ilustracion de la diversidad "},
    /* 27 */
    {"\n\ton the notion of homogeneity considered as the surface inside ",
     "\n\tqui se base sur la notion d'homogeneite en consid"
     "\xE9"
     "rant la taille du ",
     "\n\tque se basa sobre la nocion de homogeneidad tomando en cuenta "},
    /* 28 */
    {"\n\tthe moving window occuped by the greater element. \n",
     "\n\tplus grand element rencontre dans la fenetre mobile. \n",
     "\n\tel tamano del mas grande elemento encontrado en la ventana movil. \n"},
    /* 29 */
    {"\n\t\tdiversity image: %s ", "\n\t\timage de la diversite : %s ",
     "\n\t\timagen de la diversidad: %s "},
    /* 30 */
    {"\n\t\thomogeneity image: %s ", "\n\t\timage de l'homogeneite : %s ",
     "\n\t\timagen de la homogeneidad: %s "},
};

inline const char* row(int n, int idiom) {
    return kReportRows[n - 1][idiom];
}

// What the report body shows of the window.
struct WindowRows {
    int win_shape = 0;  // 0 square rows, 1 circle rows
    int range_win = 0;
    int side = 0;
    int surf_tot = 0;
    double radius = 0;
    int num_pix_circ = 0;
    double ps = 0;
    double surf_win = 0;  // hectares
};

// The window rows of a square window or cell of rank R.
inline WindowRows square_rows(int R, double ps) {
    WindowRows w;
    w.range_win = R;
    w.side = 2 * R + 1;
    w.surf_tot = w.side * w.side;
    w.ps = ps;
    w.surf_win = w.surf_tot * (ps * ps) * 0.0001;
    return w;
}

inline WindowRows circle_rows(int R, double ps) {
    WindowRows w;
    w.win_shape = 1;
    w.range_win = R;
    w.radius = R + 0.5;
    w.num_pix_circ = disc_pixels(R);
    w.ps = ps;
    w.surf_win = w.num_pix_circ * (ps * ps) * 0.0001;
    return w;
}

// Rows 1 to 28.
inline std::string report_body(int idiom, const std::string& nom_lect, int nb_lig, int nb_col,
                               double dpix, const Items& items, const WindowRows& w) {
    std::string s = row(1, idiom);
    s += row(2, idiom);
    s += fmt(row(3, idiom), nom_lect.c_str());
    s += row(4, idiom);
    s += fmt(row(5, idiom), nb_lig, nb_col);
    s += fmt(row(6, idiom), static_cast<int>(dpix));
    s += fmt(row(7, idiom), (dpix * dpix) * (static_cast<double>(nb_lig) * nb_col) * 0.000001);
    s += fmt(row(8, idiom), static_cast<int>(items.code.size()));
    for (size_t k = 0; k < items.code.size(); ++k)
        s += fmt(row(9, idiom), static_cast<int>(k + 1), items.code[k], items.pixels[k],
                 static_cast<double>(items.pixels[k]) / items.total * 100);
    s += row(10, idiom);
    const int ps = static_cast<int>(w.ps);
    if (w.win_shape == 0) {
        s += row(11, idiom);
        s += row(12, idiom);
        s += fmt(row(13, idiom), w.range_win);
        s += fmt(row(14, idiom), w.side, w.side);
        s += fmt(row(15, idiom), w.surf_tot);
        s += fmt(row(16, idiom), ps, ps);
        s += fmt(row(17, idiom), w.surf_win, w.surf_win * 0.01);
    } else {
        s += row(18, idiom);
        s += row(19, idiom);
        s += fmt(row(20, idiom), w.radius);
        s += fmt(row(21, idiom), w.num_pix_circ);
        s += fmt(row(22, idiom), ps, ps);
        s += fmt(row(23, idiom), w.surf_win, w.surf_win * 0.01);
    }
    for (int r = 24; r <= 28; ++r) s += row(r, idiom);
    return s;
}

}  // namespace fx
