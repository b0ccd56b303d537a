#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "formats/raw.h"
#include "image_writers.h"
#include "raster_fixtures.h"
#include "text/catalogue.h"

TEST(RawFormat, WritesHeaderAndPixelBytes) {
    rt::TempDir dir;
    ByteGrid g = rt::grid_of(2, 3, {1, 2, 3, 4, 5, 6});
    std::string failed = "?";
    for (auto [size, text] : {std::pair{30.0, "30"}, {12.9, "12"}, {-3.7, "-3"}}) {
        ASSERT_TRUE(write_raw(dir / "m", g.get(), 2, 3, size, failed));
        EXPECT_EQ(failed, "");
        EXPECT_EQ(rt::slurp(dir / "m.raw"), "\x01\x02\x03\x04\x05\x06");
        EXPECT_EQ(rt::slurp(dir / "m.txt"), std::string("2\n3\n1\n0\n255\n") + text + "\n");
    }
}

TEST(RawFormat, NamesTheFileThatCannotBeWritten) {
    rt::TempDir dir;
    ByteGrid g = rt::grid_of(2, 3, {1, 2, 3, 4, 5, 6});
    std::string failed;
    EXPECT_FALSE(write_raw(dir / "none/m", g.get(), 2, 3, 30, failed));
    EXPECT_EQ(failed, dir / "none/m.txt");
    // The pixel name taken by a folder: the header is still written.
    std::filesystem::create_directory(dir / "d.raw");
    EXPECT_FALSE(write_raw(dir / "d", g.get(), 2, 3, 30, failed));
    EXPECT_EQ(failed, dir / "d.raw");
    EXPECT_EQ(rt::slurp(dir / "d.txt"), "2\n3\n1\n0\n255\n30\n");
}

TEST(RawFormat, HeaderReadsAnyWhiteSpaceAndRefusesWhatIsNotSixIntegers) {
    rt::TempDir dir;
    const std::string name = dir / "h.txt";
    for (const char* text : {"2\n3\n1\n0\n255\n30\n", "2 3 1 0 255 30",
                             "\t2\r\n3\r\n1 0\r\n255\r\n30", "2 3 1 0 255 30.5 more"}) {
        rt::spit(name, text);
        RawHeader h;
        ASSERT_TRUE(read_raw_header(name, h).ok()) << text;
        EXPECT_EQ(h.nb_lig, 2);
        EXPECT_EQ(h.nb_col, 3);
        EXPECT_EQ(h.pix_size, 30);
    }
    for (const char* text :
         {"", "2 3 1 0 255", "2 3 x 0 255 30", "2.5 3 1 0 255 30", "99999999999 3 1 0 255 30"}) {
        rt::spit(name, text);
        RawHeader h;
        EXPECT_EQ(rt::said(read_raw_header(name, h)), &txt::reason_header_unreadable) << text;
    }
    RawHeader h;
    EXPECT_EQ(read_raw_header(dir / "none.txt", h).code, Status::Code::Missing);
}
