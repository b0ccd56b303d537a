// The ASCII grid format (".asc"): six header lines, then the cells.
#pragma once

#include <climits>
#include <memory>
#include <string>

#include "core/rows.h"

struct AsciiGrid {
    int nb_col = 0;
    int nb_lig = 0;
    double X_min = 0.0;
    double Y_min = 0.0;
    double dpix_size = 0.0;
    bool has_nodata = false;  // the header declares a no-data value
    double nodata = 0.0;
};

// Reads a grid one line at a time in a single forward pass, holding one block of the
// file and no line of its own. The header is five or six keyword-value pairs taken by
// position (columns, rows, x and y of the lower left corner, cell size, and optionally
// the no-data value); the keywords themselves are not compared. Numbers are decimal
// (hexadecimal is refused). Cells are separated by any white space; each keeps its low
// 8 bits, except a cell equal to the no-data value, which becomes 255. A refused grid
// names the file and the reason (a cell that is not an integer is quoted as written, cut
// after 40 characters).
class AsciiGridReader {
  public:
    AsciiGridReader();
    ~AsciiGridReader();
    AsciiGridReader(const AsciiGridReader&) = delete;
    AsciiGridReader& operator=(const AsciiGridReader&) = delete;

    // Opens `name` and reads its header into `g` (its cells stay empty). A grid of more
    // than `max_cells` cells does not fit in memory.
    Status open(const std::string& name, AsciiGrid& g, long long max_cells = LLONG_MAX);
    // The next line of the grid, g.nb_col cells.
    Status read_line(unsigned char* row);
    // After the last line: whether the file holds cells beyond the declared ones.
    bool more_cells();

    struct State;

  private:
    std::unique_ptr<State> s_;
};

namespace formats {

// An ASCII grid map read forward only, its cells as AsciiGridReader reads them; a grid
// that is not there is Missing. More than `max_pixels` cells (when above 0) do not fit in memory (refused, naming the sizes).
std::unique_ptr<engine::RowSource> open_ascii_source(const std::string& name, Status& st,
                                                     long long max_pixels = 0);
// The six header lines of a result grid sized and placed as `info`.
std::string ascii_head(const engine::MapInfo& info);
// Row `row` of nb_col cells as a grid is written ("%d\t" per cell) into `out`.
void ascii_row_text(const unsigned char* row, int nb_col, std::string& out);

}  // namespace formats
