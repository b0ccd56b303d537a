// The window tally: the diversity and homogeneity of one set of map pixels.
//
// A scan hands the pixels of one window (or cell) to the tally one by one, in its own
// order, between start() and finish(); which pixels and in which order is the scan's
// business, counting them is the tally's.
#pragma once

#include <cstdint>

#include "raster/map.h"

struct TallyResult {
    int toth = 0;  // diversity: the number of items present
    int val3 = 0;  // homogeneity: percent of the window surface covered by its largest item
};

class WindowTally {
  public:
    // `inv`: the items and the per-item counters hist_item (num_item + 1 entries).
    // `surf_tot`: the window surface in pixels, the denominator of the homogeneity.
    WindowTally(Inventory& inv, int surf_tot)
        : hist_item_(inv.hist_item.get()),
          number_item_(inv.number_item),
          num_item_(inv.num_item),
          surf_tot_(surf_tot) {}

    // A new window: every item counter back to 0.
    void start() {
        for (int k = 1; k <= num_item_; ++k) hist_item_[k] = 0;
    }

    // One pixel of code `val`: its item number is the first k, from 1 upwards, whose
    // code is `val`, or 0 (no item: code 255).
    void add(int val) {
        int val2 = 0;
        for (int k = 1; k <= num_item_; ++k) {
            if (number_item_[k] == val) {
                val2 = k;
                break;
            }
        }
        ++hist_item_[val2];
    }

    // The items present, and the share of the surface of the largest, truncated. Pixels
    // of no item count in the surface but for no item.
    TallyResult finish() const;

  private:
    std::int32_t* hist_item_;
    const std::int32_t* number_item_;
    int num_item_;
    int surf_tot_;
};
