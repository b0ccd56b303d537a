// The mesh question and the drawing of the cell mesh on the diversity image.
#include "dialogue/stages.h"
#include "analysis/mesh.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "scan_fixture.h"

namespace {

// A diversity image of nb_lig x nb_col with distinct non-zero values, 255 in places.
Results image(int nb_lig, int nb_col) {
    LoadedMap map;
    map.nb_lig = nb_lig;
    map.nb_col = nb_col;
    Results res;
    res.tab_divers = no_value_grid(map);
    for (int i = 0; i < nb_lig; ++i)
        for (int j = 0; j < nb_col; ++j)
            res.tab_divers[i][j] =
                static_cast<unsigned char>((i + j) % 5 == 0 ? 255 : 1 + (i * 7 + j) % 200);
    res.tab_homo = no_value_grid(map);
    return res;
}

// Where the lines fall: lines and columns whose index is a multiple of m.
std::vector<int> expected_drawing(const Results& before, int nb_lig, int nb_col, int m) {
    std::vector<int> v = flat(before.tab_divers, nb_lig, nb_col);
    for (int i = 0; i < nb_lig; ++i)
        for (int j = 0; j < nb_col; ++j)
            if (i % m == 0 || j % m == 0) v[static_cast<std::size_t>(i * nb_col + j)] = 0;
    return v;
}

std::vector<int> zero_positions(const ByteGrid& g, int nb_lig, int nb_col, bool lines) {
    std::vector<int> at;
    for (int k = 0; k < (lines ? nb_lig : nb_col); ++k) {
        bool all = true;
        for (int l = 0; l < (lines ? nb_col : nb_lig); ++l)
            all = all && (lines ? g[k][l] : g[l][k]) == 0;
        if (all) at.push_back(k);
    }
    return at;
}

}  // namespace

TEST(DrawMesh, LinePositions) {
    // 7 x 10, m = 3: columns 0, 3, 6 and 9, lines 0, 3 and 6.
    Results a = image(7, 10);
    draw_mesh(a.tab_divers.get(), 7, 10, 1);
    EXPECT_EQ(zero_positions(a.tab_divers, 7, 10, false), std::vector<int>({0, 3, 6, 9}));
    EXPECT_EQ(zero_positions(a.tab_divers, 7, 10, true), std::vector<int>({0, 3, 6}));
    // 9 x 9, m = 3: 0, 3 and 6 only, nothing beyond the image.
    Results b = image(9, 9);
    draw_mesh(b.tab_divers.get(), 9, 9, 1);
    EXPECT_EQ(zero_positions(b.tab_divers, 9, 9, false), std::vector<int>({0, 3, 6}));
    EXPECT_EQ(zero_positions(b.tab_divers, 9, 9, true), std::vector<int>({0, 3, 6}));
    // m = 1: the whole image becomes 0.
    Results c = image(4, 6);
    draw_mesh(c.tab_divers.get(), 4, 6, 0);
    EXPECT_EQ(flat(c.tab_divers, 4, 6), std::vector<int>(24, 0));
    // A cell larger than the image: only the first line and column.
    Results d = image(5, 8);
    Results d0 = image(5, 8);
    draw_mesh(d.tab_divers.get(), 5, 8, 23169);
    EXPECT_EQ(flat(d.tab_divers, 5, 8), expected_drawing(d0, 5, 8, 46339));
}

TEST(DrawMesh, CrossCheckedOnRandomSizes) {
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> side(1, 40), rank(0, 6);
    for (int round = 0; round < 60; ++round) {
        const int nb_lig = side(rng), nb_col = side(rng), R = rank(rng);
        Results before = image(nb_lig, nb_col);
        Results after = image(nb_lig, nb_col);
        draw_mesh(after.tab_divers.get(), nb_lig, nb_col, R);
        EXPECT_EQ(flat(after.tab_divers, nb_lig, nb_col),
                  expected_drawing(before, nb_lig, nb_col, 2 * R + 1))
            << nb_lig << " x " << nb_col << " R " << R;
    }
}

namespace {

struct Asked {
    std::string out;
    std::vector<int> divers, homo, divers_before;
};

Asked ask(int idiom, const std::string& answers, int R = 1) {
    StringConsole c(answers);
    LoadedMap map;
    map.nb_lig = 7;
    map.nb_col = 10;
    Results res = image(7, 10);
    Asked a;
    a.divers_before = flat(res.tab_divers, 7, 10);
    mesh_question(c.con, idiom, R, "/data/maps/result_diversity", map, res);
    a.out = c.output();
    a.divers = flat(res.tab_divers, 7, 10);
    a.homo = flat(res.tab_homo, 7, 10);
    return a;
}

}  // namespace

TEST(MeshQuestion, Dialogue) {
    const std::string choices = "\n\t\t0 ====> yes\n\t\t1 ====> no\n\t\t";
    const std::string question =
        "\n\n\tdo you want to draw the cell mesh on the image /data/maps/result_diversity: ";
    // Yes: the mesh is drawn on the diversity image only.
    Asked yes = ask(0, "0\n");
    EXPECT_EQ(yes.out, question + choices + "\n\tmesh drawing ");
    Results ref = image(7, 10);
    EXPECT_EQ(yes.divers, expected_drawing(ref, 7, 10, 3));
    EXPECT_EQ(yes.homo, std::vector<int>(70, 255));
    // An answer above 1 or a word shows the choices again; 1 draws nothing.
    Asked no = ask(0, "5 x 1");
    EXPECT_EQ(no.out, question + choices + choices + choices);
    EXPECT_EQ(no.divers, no.divers_before);
    // A negative answer is taken and draws nothing.
    Asked neg = ask(0, "-1");
    EXPECT_EQ(neg.out, question + choices);
    EXPECT_EQ(neg.divers, neg.divers_before);
    Asked neg7 = ask(0, "-7");
    EXPECT_EQ(neg7.divers, neg7.divers_before);
    // The answers ending before the question is answered.
    EXPECT_THROW(ask(0, "2"), InputEnded);
}

TEST(MeshQuestion, FrenchAndSpanish) {
    Asked fr = ask(1, "3 0", 0);
    EXPECT_EQ(fr.out,
              "\n\n\tvoulez-vous dessiner la maille sur l'image /data/maps/result_diversity : "
              "\n\t\t0 ====> oui\n\t\t1 ====> non\n\t\t"
              "\n\t\t0 ====> oui\n\t\t1 ====> non\n\t\t"
              "\n\tdessin de la maille ");
    EXPECT_EQ(fr.divers, std::vector<int>(70, 0));
    Asked es = ask(2, "0", 2);
    EXPECT_EQ(es.out,
              "\n\n\tdesean dibujar la malla de celdas en la imagen /data/maps/result_diversity: "
              "\n\t\t0 ====> si\n\t\t1 ====> no\n\t\t"
              "\n\tdibujo de la malla ");
    Results ref = image(7, 10);
    EXPECT_EQ(es.divers, expected_drawing(ref, 7, 10, 5));
}
