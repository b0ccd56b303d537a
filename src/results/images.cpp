#include "results/images.h"

#include "raster/ascii_grid.h"
#include "raster/image.h"
#include "raster/raw_format.h"
#include "text/catalogue.h"

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

Status write_result_image(int form, const LoadedMap& map, ByteMatrix m, const std::string& base,
                          std::string& nom, std::string& descr) {
    nom = base + image_extension(form);
    descr.clear();
    std::string failed = nom;
    bool ok = false;
    switch (form) {
        case kBitmap:
            ok = m && SauveBMP(nom.c_str(), m, map.nb_col, map.nb_lig, 0, nullptr) == 0;
            break;
        case kAscii:
            ok = m && write_ascii_grid(base, m, map.nb_lig, map.nb_col, map.X_min, map.Y_min,
                                       map.dpix_size);
            break;
        default: {
            descr = base + ".txt";
            if (!m) break;
            std::string which;
            ok = write_raw(base, m, map.nb_lig, map.nb_col, map.dpix_size, which);
            if (!ok && !which.empty()) failed = which;
            break;
        }
    }
    if (ok) return Status::success();
    return Status::make(Status::Code::NotWritten, failed, txt::result_not_written, {failed});
}
