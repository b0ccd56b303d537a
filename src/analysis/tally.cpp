#include "analysis/tally.h"

#include "window/geometry.h"

TallyResult WindowTally::finish() const {
    TallyResult r;
    int maxh = 0;
    for (int k = 1; k <= num_item_; ++k) {
        if (hist_item_[k] > 0) ++r.toth;
        if (hist_item_[k] > maxh) maxh = hist_item_[k];
    }
    // Division first, in floating point, then the integer part. A window never has an
    // empty surface; the test only keeps the conversion defined.
    if (surf_tot_ > 0) {
        const double homogen = static_cast<double>(maxh) / surf_tot_ * 100;
        r.val3 = trunc_int(homogen);
    }
    return r;
}
