#include "raster/ascii_grid.h"

bool write_ascii_grid(const std::string&, ByteMatrix, int, int, double, double, double) {
    return false;
}
