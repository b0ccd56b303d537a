#include <gtest/gtest.h>

#include "raster/nrutil.h"

TEST(Smoke, Builds) { EXPECT_NE(ucmatrice(1, 1), nullptr); }
