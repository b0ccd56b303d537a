// Owning holders for the grids and vectors of a run.
//
// The allocators of nrutil.h hand out bare row-pointer matrices; a run keeps each one
// in a holder so that it is released exactly once, with the number of lines it was
// made with, whatever path the run takes to its end.
#pragma once

#include <cstdint>
#include <utility>

#include "raster/nrutil.h"

class ByteGrid {
  public:
    ByteGrid() = default;
    // Takes ownership of a matrix of `lines` lines made by ucmatrice.
    ByteGrid(ByteMatrix m, int lines) : m_(m), lines_(m ? lines : 0) {}
    ByteGrid(const ByteGrid&) = delete;
    ByteGrid& operator=(const ByteGrid&) = delete;
    ByteGrid(ByteGrid&& o) noexcept
        : m_(std::exchange(o.m_, nullptr)), lines_(std::exchange(o.lines_, 0)) {}
    ByteGrid& operator=(ByteGrid&& o) noexcept {
        if (this != &o) {
            reset();
            m_ = std::exchange(o.m_, nullptr);
            lines_ = std::exchange(o.lines_, 0);
        }
        return *this;
    }
    ~ByteGrid() { reset(); }

    unsigned char* operator[](int i) const { return m_[i]; }
    ByteMatrix get() const { return m_; }
    int lines() const { return lines_; }
    explicit operator bool() const { return m_ != nullptr; }
    void reset() {
        if (m_) frucmatrice(m_, lines_);
        m_ = nullptr;
        lines_ = 0;
    }

  private:
    ByteMatrix m_ = nullptr;
    int lines_ = 0;
};

class IntVector {
  public:
    IntVector() = default;
    explicit IntVector(std::int32_t* v) : v_(v) {}
    IntVector(const IntVector&) = delete;
    IntVector& operator=(const IntVector&) = delete;
    IntVector(IntVector&& o) noexcept : v_(std::exchange(o.v_, nullptr)) {}
    IntVector& operator=(IntVector&& o) noexcept {
        if (this != &o) {
            reset();
            v_ = std::exchange(o.v_, nullptr);
        }
        return *this;
    }
    ~IntVector() { reset(); }

    std::int32_t& operator[](int i) const { return v_[i]; }
    std::int32_t* get() const { return v_; }
    explicit operator bool() const { return v_ != nullptr; }
    void reset() {
        if (v_) frivecteur(v_);
        v_ = nullptr;
    }

  private:
    std::int32_t* v_ = nullptr;
};
