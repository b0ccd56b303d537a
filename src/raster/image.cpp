#include "raster/image.h"

int SauveBMP(const char*, unsigned char**, int, int, int, const Color32*) { return -1; }
