// Rows held in memory: a source over a grid of the whole map, and a sink that keeps the
// rows of a result image in a grid of the map's size, written to its file later (the
// dialogue asks whether to draw the mesh after the treatment).
#pragma once

#include "core/rows.h"
#include "raster/grid.h"

namespace engine {

// The rows of `grid`, which holds info.nb_lig lines of info.nb_col bytes and outlives
// the source.
class GridSource final : public RowSource {
  public:
    GridSource(const MapInfo& info, ByteMatrix grid) : grid_(grid) { info_ = info; }
    Status read(int y, int n, unsigned char* const* rows) override;

  private:
    ByteMatrix grid_;
};

// A result image kept whole in memory.
class GridSink final : public RowSink {
  public:
    // The grid of nb_lig lines of nb_col bytes; false when it cannot be allocated.
    bool allocate(int nb_lig, int nb_col);
    Status write(int y, int n, const unsigned char* const* rows) override;
    Status commit() override { return {}; }
    // The rows written, handed over to the caller.
    ByteGrid take() { return std::move(grid_); }

  private:
    ByteGrid grid_;
    int nb_col_ = 0;
};

}  // namespace engine
