#include "engine/memory_rows.h"

#include <cstring>

#include "text/catalogue.h"

namespace engine {

MemorySource::MemorySource(const unsigned char* data, int nb_lig, int nb_col,
                           std::ptrdiff_t row_stride, double dpix_size)
    : data_(data), stride_(row_stride) {
    info_.nb_lig = nb_lig;
    info_.nb_col = nb_col;
    info_.dpix_size = dpix_size;
}

Status MemorySource::read(int y, int n, unsigned char* const* rows) {
    if (y < 0 || n < 0 || static_cast<long long>(y) + n > info_.nb_lig) {
        Status s = Status::refused({}, txt::reason_cannot_open);
        s.detail = "rows outside the array";
        return s;
    }
    for (int k = 0; k < n; ++k)
        std::memcpy(rows[k], data_ + static_cast<std::ptrdiff_t>(y + k) * stride_,
                    static_cast<std::size_t>(info_.nb_col));
    return {};
}

MemorySink::MemorySink(unsigned char* data, int nb_lig, long long row_bytes,
                       std::ptrdiff_t row_stride)
    : data_(data), nb_lig_(nb_lig), row_bytes_(row_bytes), stride_(row_stride) {}

Status MemorySink::write(int y, int n, const unsigned char* const* rows) {
    if (y < 0 || n < 0 || static_cast<long long>(y) + n > nb_lig_)
        return Status::not_written({}, "rows outside the array");
    for (int k = 0; k < n; ++k)
        std::memcpy(data_ + static_cast<std::ptrdiff_t>(y + k) * stride_, rows[k],
                    static_cast<std::size_t>(row_bytes_));
    rows_written_ += n;
    return {};
}

Status MemorySink::commit() {
    // Every band writes its rows once: fewer rows than the image holds is a run cut short.
    if (rows_written_ < nb_lig_) return Status::not_written({}, "the image is not whole");
    return {};
}

}  // namespace engine
