// A map and its results held in memory by the caller (a numpy array, a test's buffer):
// the band engine reads the map's rows from it and writes the result rows into it, as it
// does with files. Nothing is copied beforehand: the source hands the engine each band's
// rows as they are asked for, the sinks put each result row in its place.
#pragma once

#include <cstddef>

#include "core/rows.h"

namespace engine {

// Rows of `nb_lig` x `nb_col` class codes, row y starting at data + y * row_stride
// (bytes); the pixels of a row are consecutive. The memory must outlive the source.
class MemorySource final : public RowSource {
  public:
    MemorySource(const unsigned char* data, int nb_lig, int nb_col, std::ptrdiff_t row_stride,
                 double dpix_size = 0.0);
    Status read(int y, int n, unsigned char* const* rows) override;

  private:
    const unsigned char* data_;
    std::ptrdiff_t stride_;
};

// A result image written into `nb_lig` rows of `row_bytes` bytes at data (nb_col bytes,
// or nb_col floats for a real metric), rows `row_stride` bytes apart, in any order of
// bands. Nothing to complete: commit() only says the image is whole.
class MemorySink final : public RowSink {
  public:
    MemorySink(unsigned char* data, int nb_lig, long long row_bytes, std::ptrdiff_t row_stride);
    Status write(int y, int n, const unsigned char* const* rows) override;
    Status commit() override;

  private:
    unsigned char* data_;
    int nb_lig_;
    long long row_bytes_;
    std::ptrdiff_t stride_;
    long long rows_written_ = 0;
};

}  // namespace engine
