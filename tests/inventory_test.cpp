#include "dialogue/stages.h"
#include "engine/bands.h"
#include "engine/memory_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "raster_fixtures.h"

namespace {

// The inventory a run takes of the grid `g`, streamed in bands of three rows, as the
// dialogue prints it.
std::string inventory_of(LoadedMap& map, int nb_lig, int nb_col, ByteGrid g, Inventory& inv,
                         int idiom = 0) {
    map.nb_lig = nb_lig;
    map.nb_col = nb_col;
    engine::MemorySource src(g[0], nb_lig, nb_col, nb_col);
    EXPECT_TRUE(engine::take_inventory(src, engine::plan_bands_of(nb_lig, {}, 3), inv).ok());
    rt::Session s;
    explor(s.con, idiom, inv);
    return s.out.str();
}

}  // namespace

TEST(Inventory, PrintsHistogramAndItemsInEachLanguage) {
    const std::string lines =
        "\n\thist_explor[0] = 1 \n\thist_explor[1] = 0 \n\thist_explor[2] = 0 "
        "\n\thist_explor[3] = 2 ";
    const std::string items =
        "\n\titem 1 code 0 pixels 1 percent 33.33 \n\titem 2 code 3 pixels 2 percent 66.67 ";
    const std::string want[3] = {
        "\n\n\tMax. Value of the histogram = 3 \n" + lines + "\n\n\tNumber of items = 2 \n" + items,
        "\n\n\tValeur Max. de l'histogramme = 3 \n" + lines + "\n\n\tNombre d'items = 2 \n" + items,
        "\n\n\tValor Max. del histograma = 3 \n" + lines + "\n\n\tN\xA3mero de items = 2 \n" +
            items,
    };
    for (int idiom = 0; idiom < 3; ++idiom) {
        LoadedMap map;
        Inventory inv;
        EXPECT_EQ(inventory_of(map, 2, 2, rt::grid_of(2, 2, {0, 3, 3, 255}), inv, idiom),
                  want[idiom]);
        EXPECT_EQ(inv.hist_explor[255], 1);
        EXPECT_EQ(inv.tot_surf_item, 3);
    }
}

TEST(Inventory, EdgeMaps) {
    LoadedMap map;
    Inventory inv;
    EXPECT_EQ(inventory_of(map, 2, 3, rt::grid_of(2, 3, {255, 255, 255, 255, 255, 255}), inv),
              "\n\n\tMax. Value of the histogram = 0 \n\n\thist_explor[0] = 0 "
              "\n\n\tNumber of items = 0 \n");
    EXPECT_EQ(inv.num_item, 0);

    EXPECT_NE(inventory_of(map, 1, 2, rt::grid_of(1, 2, {7, 7}), inv)
                  .find("\n\titem 1 code 7 pixels 2 percent 100.00 "),
              std::string::npos);
    EXPECT_EQ(inv.num_item, 1);
    EXPECT_EQ(inv.percent_item[1], 100.0);

    // Code 254 present: 255 histogram lines, and 255 itself never listed.
    std::string out = inventory_of(map, 1, 3, rt::grid_of(1, 3, {254, 255, 0}), inv);
    EXPECT_NE(out.find("\n\thist_explor[254] = 1 \n\n"), std::string::npos);
    EXPECT_EQ(out.find("[255]"), std::string::npos);
    EXPECT_EQ(inv.num_item, 2);

    // A second map: its inventory alone.
    inventory_of(map, 1, 1, rt::grid_of(1, 1, {9}), inv);
    EXPECT_EQ(inv.num_item, 1);
    EXPECT_EQ(inv.number_item[2], 0);
    EXPECT_EQ(inv.hist_explor[254], 0);
}

TEST(Inventory, AgreesWithADirectCountOnRandomMaps) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const int nb_lig = 1 + seed * 7 % 40, nb_col = 1 + seed * 13 % 50;
        ByteGrid g = rt::random_grid(nb_lig, nb_col, seed, seed % 2 ? 256 : 9);
        std::map<int, int> count;
        int below = 0;
        for (int i = 0; i < nb_lig; ++i)
            for (int j = 0; j < nb_col; ++j)
                if (g[i][j] != 255) ++count[g[i][j]], ++below;
        LoadedMap map;
        Inventory inv;
        inventory_of(map, nb_lig, nb_col, std::move(g), inv);
        ASSERT_EQ(inv.num_item, static_cast<int>(count.size()));
        int k = 0;
        double sum = 0;
        for (auto [code, n] : count) {
            ++k;
            EXPECT_EQ(inv.number_item[k], code);
            EXPECT_EQ(inv.num_pixel_item[k], n);
            sum += inv.percent_item[k];
        }
        EXPECT_EQ(inv.tot_surf_item, below);
        if (below > 0) {
            EXPECT_NEAR(sum, 100.0, 1e-9);
        }
        EXPECT_EQ(inv.number_item[k + 1], 0);
    }
}
