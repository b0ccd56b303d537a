// Grid storage: shapes, zero fill and argument order of the allocators.
#include <gtest/gtest.h>

#include "raster/grid.h"
#include "raster/nrutil.h"

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
