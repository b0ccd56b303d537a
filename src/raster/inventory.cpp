#include "raster/inventory.h"

#include <algorithm>

void number_items(Inventory& inv) {
    inv.num_item = 0;
    std::fill(std::begin(inv.number_item), std::end(inv.number_item), 0);
    std::fill(std::begin(inv.num_pixel_item), std::end(inv.num_pixel_item), 0);
    std::fill(std::begin(inv.percent_item), std::end(inv.percent_item), 0.0);

    // The highest code present; 255 is never an item and is not looked at.
    inv.max_hist_explor = 0;
    for (int c = 254; c >= 0; --c) {
        if (inv.hist_explor[c] > 0) {
            inv.max_hist_explor = c;
            break;
        }
    }

    inv.tot_surf_item = 0;
    for (int c = 0; c < 255; ++c) inv.tot_surf_item += inv.hist_explor[c];

    // Items in ascending order of code, with their share of the pixels below 255.
    for (int c = 0; c < 255; ++c) {
        if (inv.hist_explor[c] <= 0) continue;
        const int k = ++inv.num_item;
        inv.number_item[k] = c;
        inv.num_pixel_item[k] = inv.hist_explor[c];
        const double surf_item =
            static_cast<double>(inv.hist_explor[c]) / static_cast<double>(inv.tot_surf_item);
        inv.percent_item[k] = surf_item * 100;
    }
}
