#include "raster/raw_format.h"

bool write_raw(const std::string&, ByteMatrix, int, int, double, std::string&) { return false; }
