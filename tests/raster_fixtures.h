// Scratch folders, file bytes, small grids and console sessions for the raster tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <sstream>
#include <string>

#include "core/status.h"
#include "dialogue/console.h"
#include "file_fixtures.h"
#include "raster/grid.h"

namespace rt {

using tf::slurp;
using tf::spit;

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
  public:
    TempDir() {
        std::random_device rd;
        for (;;) {
            path_ = std::filesystem::temp_directory_path() /
                    ("landmosaic-raster-" + std::to_string(rd()));
            if (std::filesystem::create_directory(path_)) break;
        }
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// A grid of nb_lig lines by nb_col columns holding `v` line by line.
// The catalogue text a status gives its fault in (the reason of a refusal, else the
// message); null for success.
inline const Text* said(const Status& s) {
    return s.reason ? s.reason : s.message;
}

inline ByteGrid grid_of(int nb_lig, int nb_col, std::initializer_list<int> v) {
    ByteGrid g(ucmatrice(nb_col, nb_lig), nb_lig);
    auto it = v.begin();
    for (int i = 0; i < nb_lig; ++i)
        for (int j = 0; j < nb_col && it != v.end(); ++j)
            g[i][j] = static_cast<unsigned char>(*it++);
    return g;
}

inline ByteGrid random_grid(int nb_lig, int nb_col, unsigned seed, int codes = 256) {
    std::mt19937 gen(seed);
    ByteGrid g(ucmatrice(nb_col, nb_lig), nb_lig);
    for (int i = 0; i < nb_lig; ++i)
        for (int j = 0; j < nb_col; ++j) g[i][j] = static_cast<unsigned char>(gen() % codes);
    return g;
}

inline bool same_grid(const ByteGrid& a, const ByteGrid& b, int nb_lig, int nb_col) {
    for (int i = 0; i < nb_lig; ++i)
        for (int j = 0; j < nb_col; ++j)
            if (a[i][j] != b[i][j]) return false;
    return true;
}

// A console over strings, printing code page 850 bytes as they are.
struct Session {
    std::istringstream in;
    std::ostringstream out;
    Console con;
    explicit Session(const std::string& answers = "") : in(answers), con(in, out, false) {}
};

}  // namespace rt
