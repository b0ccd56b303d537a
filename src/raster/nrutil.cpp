#include "raster/nrutil.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

// Zero-filled block of n elements; null for a negative count or when memory runs out.
// A count of zero still yields a valid (empty) block so that a fresh grid never holds null lines.
template <class T>
T* zeroed_block(int n) {
    if (n < 0) return nullptr;
    std::size_t count = n == 0 ? 1 : static_cast<std::size_t>(n);
    return static_cast<T*>(std::calloc(count, sizeof(T)));
}

// Large blocks ask the system for huge pages where it grants them on request: fewer
// page faults and TLB misses while a scan walks the whole grid. Only the whole huge
// pages inside the block are concerned; elsewhere this does nothing.
void prefer_huge_pages(void* block, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
    if (bytes < 2 * kHuge) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kHuge - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);  // advice only
#else
    (void)block;
    (void)bytes;
#endif
}

// A matrix is one zero-filled block of NbLig x NbCol cells and an array of line
// pointers into it. The array has one hidden slot before line 0 that keeps the block,
// so the block is found again even when a caller reorders the line pointers. calloc
// hands out large blocks as fresh zero pages without writing them, so allocating costs
// no time in proportion to the size; the pages are touched by their first user.
template <class T>
T** new_matrix(int NbCol, int NbLig) {
    if (NbCol < 0 || NbLig < 0) return nullptr;
    const std::size_t cols = static_cast<std::size_t>(NbCol);
    const std::size_t lines = static_cast<std::size_t>(NbLig);
    if (cols != 0 && lines > SIZE_MAX / sizeof(T) / cols) return nullptr;
    const std::size_t cells = std::max<std::size_t>(cols * lines, 1);
    T* block = static_cast<T*>(std::calloc(cells, sizeof(T)));
    if (block == nullptr) return nullptr;
    void** slots = static_cast<void**>(std::malloc((lines + 1) * sizeof(void*)));
    if (slots == nullptr) {
        std::free(block);
        return nullptr;
    }
    prefer_huge_pages(block, cells * sizeof(T));
    slots[0] = block;
    T** m = reinterpret_cast<T**>(slots + 1);
    for (std::size_t i = 0; i < lines; ++i) m[i] = block + i * cols;
    return m;
}

template <class T>
void free_matrix(T** m, int /*NbLig*/) {
    if (m == nullptr) return;
    void** slots = reinterpret_cast<void**>(m) - 1;
    std::free(slots[0]);
    std::free(slots);
}

}  // namespace

unsigned char** ucmatrice(int NbCol, int NbLig) {
    return new_matrix<unsigned char>(NbCol, NbLig);
}
void frucmatrice(unsigned char** Mat, int NbLig) {
    free_matrix(Mat, NbLig);
}
std::int32_t* ivecteur(int NbCol) {
    return zeroed_block<std::int32_t>(NbCol);
}
void frivecteur(std::int32_t* Mat) {
    std::free(Mat);
}
