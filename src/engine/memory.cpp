#include "engine/memory.h"

#include <cstring>

namespace engine {

Status GridSource::read(int y, int n, unsigned char* const* rows) {
    for (int k = 0; k < n; ++k)
        std::memcpy(rows[k], grid_[y + k], static_cast<std::size_t>(info_.nb_col));
    return {};
}

bool GridSink::allocate(int nb_lig, int nb_col) {
    grid_ = ByteGrid(ucmatrice(nb_col, nb_lig), nb_lig);
    nb_col_ = nb_col;
    return static_cast<bool>(grid_);
}

Status GridSink::write(int y, int n, const unsigned char* const* rows) {
    for (int k = 0; k < n; ++k)
        std::memcpy(grid_[y + k], rows[k], static_cast<std::size_t>(nb_col_));
    return {};
}

}  // namespace engine
