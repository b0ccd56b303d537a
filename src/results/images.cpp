#include "results/images.h"


std::string diversity_base(const RunAnswers& run) {
    return run.nomim3 + "_diversity";
}

std::string homogeneity_base(const RunAnswers& run) {
    return run.nomim3 + "_homog";
}

const char* image_extension(int form) {
    switch (form) {
        case kBitmap:
            return ".bmp";
        case kAscii:
            return ".asc";
        case kGeoTiff:
            return ".tif";
        default:
            return ".raw";
    }
}
