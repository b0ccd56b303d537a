#include "results/images.h"

#include "raster/ascii_grid.h"
#include "raster/image.h"
#include "raster/raw_format.h"
#include "run/catalogue.h"

std::string diversity_base(const RunAnswers& run) {
    return run.nomim3 + "_diversity";
}

const char* image_extension(int form) {
    switch (form) {
        case kBitmap:
            return ".bmp";
        case kAscii:
            return ".asc";
        default:
            return ".raw";
    }
}

namespace {

// Writes one image under `base` in the run's result format. On return `nom` holds the
// full name of the image file (the ".raw" file for the raster format) and `descr` the
// raw header name. When something could not be written, `failed` names the file.
bool write_image(Console& con, const RunAnswers& run, const LoadedMap& map, ByteMatrix m,
                 const std::string& base, std::string& nom, std::string& descr,
                 std::string& failed) {
    nom = base + image_extension(run.res_form);
    descr.clear();
    failed = nom;
    switch (run.res_form) {
        case kBitmap:
            if (!m) return false;
            return SauveBMP(nom.c_str(), m, map.nb_col, map.nb_lig, 0, nullptr) == 0;
        case kAscii:
            con.print(txt::ascii_grid_gap);
            if (!m) return false;
            return write_ascii_grid(base, m, map.nb_lig, map.nb_col, map.X_min, map.Y_min,
                                    map.dpix_size);
        default: {
            descr = base + ".txt";
            if (!m) return false;
            std::string which;
            if (write_raw(base, m, map.nb_lig, map.nb_col, map.dpix_size, which)) return true;
            if (!which.empty()) failed = which;
            return false;
        }
    }
}

}  // namespace

bool write_result_images(Console& con, const RunAnswers& run, const LoadedMap& map, Results& res,
                         Report& rep, ResultFiles& files) {
    const int idiom = run.idiom;
    bool all_written = true;
    std::string failed;

    // Diversity image first, with the mesh lines if they were drawn.
    const std::string div_base = diversity_base(run);
    if (write_image(con, run, map, res.tab_divers.get(), div_base, files.nom_diversidad,
                    files.descr_diversidad, failed)) {
        rep.write(txt::report_diversity_image.in(idiom), {files.nom_diversidad});
    } else {
        // The report names only files that exist in full.
        con.say(idiom, txt::result_not_written, {failed});
        all_written = false;
    }

    // Then the homogeneity image, as the scan left it.
    const std::string homo_base = run.nomim3 + "_homog";
    if (write_image(con, run, map, res.tab_homo.get(), homo_base, files.nom_homo, files.descr_homo,
                    failed)) {
        rep.write(txt::report_homogeneity_image.in(idiom), {files.nom_homo});
    } else {
        con.say(idiom, txt::result_not_written, {failed});
        all_written = false;
    }
    return all_written;
}
