// Grid storage: shapes, zero fill and argument order of the allocators.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "raster/grid.h"
#include "raster/nrutil.h"

#if defined(__linux__)
#include <sys/wait.h>
#include <unistd.h>
#endif

TEST(GridStorage, ColumnsComeFirstAndEveryCellIsZero) {
    ByteGrid a(ucmatrice(3, 2), 2);  // 2 lines of 3
    ASSERT_TRUE(a);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(a[i][j], 0);
    a[1][2] = 7;  // the last cell of the last line exists
    EXPECT_EQ(a[1][2], 7);

    unsigned char** b = ucmatrice(2, 3);  // 3 lines of 2
    ASSERT_NE(b, nullptr);
    for (int i = 0; i < 3; ++i) b[i][1] = static_cast<unsigned char>(i + 1);
    EXPECT_EQ(b[2][1], 3);
    frucmatrice(b, 3);
}

TEST(GridStorage, VectorsStartAtZero) {
    IntVector v(ivecteur(256));  // items 0..255
    ASSERT_TRUE(v);
    for (int k = 0; k <= 255; ++k) EXPECT_EQ(v[k], 0);
}

TEST(GridStorage, ImpossibleSizesGiveNullNotACrash) {
    EXPECT_EQ(ucmatrice(-1, 3), nullptr);
    EXPECT_EQ(ucmatrice(3, -1), nullptr);
    EXPECT_EQ(ivecteur(-5), nullptr);
}

#if defined(__linux__)
namespace {

// Resident bytes of this process.
long long resident_bytes() {
    long long pages = 0, resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) return -1;
    const int got = std::fscanf(f, "%lld %lld", &pages, &resident);
    std::fclose(f);
    return got == 2 ? resident * sysconf(_SC_PAGESIZE) : -1;
}

// The memory a grid of that shape costs once every cell is written, in tenths of a
// byte per cell (255 at most), measured in a child process so that nothing else the
// tests allocate counts.
int tenths_of_byte_per_cell(int nb_col, int nb_lig) {
    const pid_t child = fork();
    if (child == 0) {
        const long long before = resident_bytes();
        ByteGrid g(ucmatrice(nb_col, nb_lig), nb_lig);
        if (!g || before < 0) _exit(255);
        for (int i = 0; i < nb_lig; ++i)
            for (int j = 0; j < nb_col; ++j) g[i][j] = static_cast<unsigned char>(i + j);
        const long long used = resident_bytes() - before;
        const long long cells = static_cast<long long>(nb_col) * nb_lig;
        _exit(static_cast<int>(std::min(255LL, (used * 10 + cells - 1) / cells)));
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return 255;
    return WEXITSTATUS(status);
}

}  // namespace

TEST(GridStorage, ALineCostsItsCellsAndOnePointerWhateverTheShape) {
    // Ten million lines of one pixel: the cell and its line pointer, not an allocation
    // per line.
    EXPECT_LE(tenths_of_byte_per_cell(1, 10'000'000), 120);
    // A square grid costs its cells.
    EXPECT_LE(tenths_of_byte_per_cell(3000, 3000), 13);
}
#endif
