// Quicklooks: the diversity and homogeneity images turned into pictures a person can
// read, with the numbers of their legends.
//
// Diversity: one distinct colour per value present, ordered along a perceptually
// uniform ramp that colour-blind readers can follow (0, a window without any class, is
// a pale grey of its own). Homogeneity: a continuous ramp from pale (0 %) to dark
// (100 %). No value (255) is transparent. Drawn mesh lines hold 0 in the diversity
// image, like an empty window: they are told apart by their geometry and get a colour
// of their own. A map longer than `max_side` pixels on one side is reduced by a whole
// factor: each picture pixel shows the most common diversity of its block, or the mean
// homogeneity, ignoring no-value pixels.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "formats/png.h"

// Where the lines of the cell mesh were drawn: every row and column whose index is a
// multiple of m, when `drawn`.
struct MeshLines {
    bool drawn = false;
    int m = 0;
    bool on(long long i, long long j) const { return drawn && m > 0 && (i % m == 0 || j % m == 0); }
};

struct LegendEntry {
    enum class Kind { Value, Range, NoValue, Mesh };
    Kind kind = Kind::Value;
    int lo = 0;  // the value, or the first value of a range
    int hi = 0;  // the last value of a range
    Rgba colour;
    long long pixels = 0;  // map pixels (full resolution)
    double share = 0;      // percent of all the map's pixels
};

struct Quicklook {
    PalettedImage image;
    int factor = 1;            // each picture pixel stands for factor x factor map pixels
    bool mesh_drawn = false;   // the map carries mesh lines
    bool mesh_shown = false;   // ...and they are drawn on the picture
    std::vector<LegendEntry> legend;
    std::vector<long long> histogram;  // pixels per value 0..254, mesh lines left out
    long long map_pixels = 0;
    // A real metric's picture: the least and largest values, shown as 0 and 100.
    double lo = 0, hi = 0;
    // Class codes shown in the map's own colours: the legend lists every code apart.
    bool own_colours = false;
};

inline constexpr int kQuicklookMaxSide = 2048;

// Colours of the pictures.
inline constexpr Rgba kMeshColour{228, 26, 28, 255};
inline constexpr Rgba kNoValueColour{0, 0, 0, 0};
// The colour of diversity `value` when `max_value` is the largest value present.
Rgba diversity_colour(int value, int max_value);
// The colour of a homogeneity of `percent` (0..100).
Rgba homogeneity_colour(int percent);

// A quicklook built from the rows of an image as they are written, band by band: only
// the rows of pictures in progress are held (their counts, or sums), besides the picture
// itself. `Mode` pictures (the diversity, class codes) show the most common value of each
// block, leaving out mesh lines; `Mean` pictures (percents) the mean value. `Real`
// pictures take rows of floats (-1 no value): the mean of each block is kept, a float per
// picture pixel, with the least and largest values, and put on the scale 0..100 between
// them (rounded to the nearest) once every row has come, in the colours of `Mean`.
class QuicklookBuilder {
  public:
    enum class Kind { Mode, Mean, Real };
    QuicklookBuilder(Kind kind, int nb_lig, int nb_col, const MeshLines& mesh = {},
                     int max_side = kQuicklookMaxSide);
    // Rows [y, y + n) of the image, each row once, bands in any order (rows of floats for
    // a `Real` picture).
    void add_rows(int y, int n, const unsigned char* const* rows);
    // The picture with its legend, once every row has come.
    Quicklook finish();
    // What a builder of `kind` holds for an image of nb_lig x nb_col at most: the
    // picture, a real picture's block means, and two rows of blocks in progress.
    static long long held_bytes(Kind kind, int nb_lig, int nb_col,
                                int max_side = kQuicklookMaxSide);
    // A `Mode` picture of class codes (the dominant class) in the map's colour table,
    // entry v the colour of code v, as a GIS shows the map; codes past its end keep the
    // ramp. Nothing changes when the table is empty.
    void use_colours(const std::vector<std::array<short, 4>>& colours) { colours_ = colours; }

  private:
    // The counts (Mode) or sums (Mean) of a row of blocks still taking rows.
    struct Pending {
        int rows = 0;
        std::vector<std::uint32_t> count;  // 256 per block
        std::vector<std::vector<std::uint8_t>> touched;  // the values counted, per block
        std::vector<long long> sum, n;
        std::vector<double> real_sum;
    };
    Pending& pending(int oi);
    void add_row(int i, const unsigned char* row);
    void close(int oi);
    void finish_mode();
    void finish_mean();
    void finish_real();
    void add_real_row(Pending& p, const unsigned char* row);
    void draw_mesh();

    Kind kind_;
    int nb_lig_, nb_col_;
    MeshLines mesh_;
    int f_ = 1, W_ = 0, H_ = 0;
    Quicklook q_;
    long long no_value_ = 0, mesh_pixels_ = 0;
    std::vector<std::array<short, 4>> colours_;
    std::vector<float> real_mean_;  // a real picture's block means, NaN: no value
    bool real_any_ = false;
    double real_lo_ = 0, real_hi_ = 0;
    std::map<int, Pending> open_;
    std::vector<Pending> spare_;
};

// Mesh lines found in a diversity image read back from disk, its rows given in order:
// the mesh of m = 2R + 1 is taken as drawn when every pixel of its lines is 0 and the
// image is not 0 all over.
class MeshFinder {
  public:
    MeshFinder(int nb_col, int range_win)
        : nb_col_(nb_col), m_(2LL * std::max(0, range_win) + 1) {}
    void add_row(long long i, const unsigned char* row);
    // False once a pixel of the lines holds a value (or when m is 1: every pixel is on
    // a line).
    bool possible() const { return m_ > 1 && !line_value_; }
    // The lines, once every row has come.
    MeshLines lines() const;

  private:
    int nb_col_;
    long long m_;
    bool line_value_ = false, off_line_value_ = false;
};
