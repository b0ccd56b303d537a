// The two sides of a run that does not hold the whole map: a row source hands out any
// rows of the map, top line first, in the order they are asked for; a row sink takes the
// rows of one result image as they are done and writes them where the whole-image
// writers would have put them. Every format unit (the native ones, GDAL's) provides
// them; the band engine drives them. Every count of pixels or bytes is 64-bit: a
// streamed map may hold more than 2^31 pixels, each side staying within an int. Both
// sides return a `Status` (core/status.h) that says what went wrong in the catalogue's
// words, so that the front ends put it into the run's language as it stands.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/status.h"

namespace engine {

// What the source knows of the map before any row is read.
struct MapInfo {
    int nb_lig = 0;
    int nb_col = 0;
    double dpix_size = 0.0;  // raw header or ASCII grid; 0 for a bitmap
    bool UTM_coord = false;  // an ASCII grid carries its corner
    double X_min = 0.0;
    double Y_min = 0.0;
    bool has_nodata = false;
    double nodata = 0.0;
    // Bytes of a raw pixel file beyond the rows it declares (read with a warning).
    long long extra_bytes = 0;
    // An ASCII grid with cells after those it declares (ignored), known once its last
    // row has been read.
    bool extra_cells = false;
    // Given by the caller of a reader: a map of more pixels is refused (TooLarge) before
    // any row is read; 0 for no bound.
    long long max_pixels = 0;
    // The colour table the map carries (a bitmap's palette that is not the grey ramp):
    // entry v the red, green, blue and alpha of code v; empty for none.
    std::vector<std::array<short, 4>> colours;
    long long pixels() const { return static_cast<long long>(nb_lig) * nb_col; }
};

class RowSource {
  public:
    virtual ~RowSource() = default;
    const MapInfo& info() const { return info_; }
    // Rows [y, y + n) of the map into rows[0 .. n). A forward-only source takes only the
    // row after the last one read.
    virtual Status read(int y, int n, unsigned char* const* rows) = 0;
    // False when rows can be read only in order, each once per pass.
    virtual bool random_access() const { return true; }
    // Back to the first row for another pass.
    virtual Status restart() { return {}; }

  protected:
    MapInfo info_;
};

class RowSink {
  public:
    virtual ~RowSink() = default;
    // Rows [y, y + n) of the image, top line first. Raw and bitmap sinks take bands in
    // any order; an ASCII grid sink takes them in order.
    virtual Status write(int y, int n, const unsigned char* const* rows) = 0;
    // Completes the files and gives them their final names.
    virtual Status commit() = 0;
    // The name of the image file as the report names it (".raw" file for the raw format).
    const std::string& name() const { return name_; }
    // True for a sink that all the processes of a team write and commit together.
    virtual bool collective() const { return false; }
    // A sink that looks at the rows on their way to another one (a picture made of them):
    // that other sink; null for a sink that writes the rows itself.
    virtual RowSink* inner() { return nullptr; }
    // Rows [y, y + n) looked at, not handed on: the rows of a team's image that the other
    // processes write, shown to the leader's sink that looks at them.
    virtual void look(int, int, const unsigned char* const*) {}

  protected:
    std::string name_;
};

}  // namespace engine
