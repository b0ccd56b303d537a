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

TEST(GridStorage, EveryElementTypeIsZeroFilled) {
    double** d = dmatrice(4, 5);
    std::int32_t** im = imatrice(4, 5);
    float** f = fmatrice(4, 5);
    std::uint16_t** us = usmatrice(4, 5);
    std::int16_t** s = smatrice(4, 5);
    std::int32_t** li = limatrice(4, 5);
    LongDouble10** ld = ldmatrice(4, 5);
    ASSERT_TRUE(d && im && f && us && s && li && ld);
    EXPECT_EQ(sizeof(LongDouble10), 10u);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(d[i][j], 0.0);
            EXPECT_EQ(im[i][j], 0);
            EXPECT_EQ(f[i][j], 0.0f);
            EXPECT_EQ(us[i][j], 0);
            EXPECT_EQ(s[i][j], 0);
            EXPECT_EQ(li[i][j], 0);
            for (unsigned char byte : ld[i][j].bytes) EXPECT_EQ(byte, 0);
        }
    frdmatrice(d, 5);
    frimatrice(im, 5);
    frfmatrice(f, 5);
    frusmatrice(us, 5);
    frsmatrice(s, 5);
    frlimatrice(li, 5);
    frldmatrice(ld, 5);
}

TEST(GridStorage, VectorsHoldTheirCountAndStartAtZero) {
    IntVector v(ivecteur(256));  // items 0..255
    ASSERT_TRUE(v);
    for (int k = 0; k <= 255; ++k) EXPECT_EQ(v[k], 0);
    unsigned char* uc = ucvecteur(3);
    std::uint16_t* us = usvecteur(3);
    std::int16_t* s = svecteur(3);
    double* d = dvecteur(3);
    float* f = fvecteur(3);
    ASSERT_TRUE(uc && us && s && d && f);
    for (int k = 0; k < 3; ++k)
        EXPECT_TRUE(uc[k] == 0 && us[k] == 0 && s[k] == 0 && d[k] == 0 && f[k] == 0);
    frucvecteur(uc);
    frusvecteur(us);
    frsvecteur(s);
    frdvecteur(d);
    frfvecteur(f);
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
