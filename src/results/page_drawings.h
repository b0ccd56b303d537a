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
// A scale bar for quicklook `q` whose pixels stand for `metres_per_pixel` metres: a
// round length near a quarter of its width; empty when the size is not known.
std::string scale_bar(const Quicklook& q, double metres_per_pixel, int idiom);
// The picture `png` of quicklook `q`, embedded, with `below` (a scale bar) under it at
// the picture's width.
std::string picture(const Quicklook& q, const std::string& png, const std::string& alt,
                    const std::string& below = {});
// The histogram of the diversity, diversity 0 left out; `cell` for the cell mesh.
std::string histogram_svg(const Quicklook& div, int idiom, bool cell = false);

}  // namespace page
