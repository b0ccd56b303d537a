// The drawings and legends of the summary page: the legend of a quicklook, the colour
// ramps, a picture embedded, the diversity histogram.
#pragma once

#include <string>

#include "results/quicklook.h"

namespace page {

// The legend of a quicklook: swatches, values and shares of the map.
std::string legend_list(const Quicklook& q, int idiom);
// The colour ramp of the homogeneity, 0 to 100 %, as a small drawing.
std::string homogeneity_ramp();
// The ramp of a real metric, from lo to hi, as a small drawing; `id` names its gradient.
std::string real_ramp(double lo, double hi, int idiom, const std::string& id);
// The picture `png` of quicklook `q`, embedded.
std::string picture(const Quicklook& q, const std::string& png, const std::string& alt);
// The histogram of the diversity, diversity 0 left out.
std::string histogram_svg(const Quicklook& div, int idiom);

}  // namespace page
