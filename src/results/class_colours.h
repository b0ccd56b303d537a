// The colours of class codes for a map without a colour table of its own: twenty distinct
// colours, then hues spread around the circle. The dominant class's GeoTIFF (written in
// the GDAL module) and its picture share them.
#pragma once

#include <array>
#include <vector>

#include "formats/png.h"

Rgba class_colour(int code);
// The table of codes 0 to 254, as a colour table is given (red, green, blue, alpha).
std::vector<std::array<short, 4>> class_colours();
