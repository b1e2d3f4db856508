#include "app/albumoutput/shooting_date.h"

#include <gtest/gtest.h>

using mirofoto::DateTime;
using mirofoto::formatShootingDate;
using mirofoto::parseDateText;

TEST(ShootingDate, ReadsTheDateReadersForms) {
    EXPECT_EQ(parseDateText("2004/05/06 12:34:56"), (DateTime{2004, 5, 6, 12, 34, 56}));
    EXPECT_EQ(parseDateText("  2004/5/6 7:08 "), (DateTime{2004, 5, 6, 7, 8, 0}));
    EXPECT_EQ(parseDateText("2004/05/06"), (DateTime{2004, 5, 6, 0, 0, 0}));
}

TEST(ShootingDate, RefusesDatesThatDoNotExist) {
    EXPECT_EQ(parseDateText("2000/02/29 00:00:00"), (DateTime{2000, 2, 29, 0, 0, 0}));  // divisible by 400
    EXPECT_FALSE(parseDateText("2100/02/29 00:00:00"));                                // divisible by 100 only
    EXPECT_FALSE(parseDateText("2023/02/29 00:00:00"));
    EXPECT_FALSE(parseDateText("2004/04/31 00:00:00"));
    EXPECT_FALSE(parseDateText("0000/00/00 00:00:00"));  // what cameras write for "unknown"
    EXPECT_FALSE(parseDateText("2004/13/01 00:00:00"));
    EXPECT_FALSE(parseDateText("2004/05/06 24:00:00"));
    EXPECT_FALSE(parseDateText("2004/05/06 12:60:00"));
    EXPECT_FALSE(parseDateText("2004/05/06 12:00:60"));
}

TEST(ShootingDate, RefusesOtherText) {
    EXPECT_FALSE(parseDateText(""));
    EXPECT_FALSE(parseDateText("   "));
    EXPECT_FALSE(parseDateText("2004:05:06 12:34:56"));  // the raw EXIF form is converted first
    EXPECT_FALSE(parseDateText("2004/05/06 12:34:56x"));
    EXPECT_FALSE(parseDateText("2004/05/06T12:34:56"));
    EXPECT_FALSE(parseDateText("20040/05/06"));
    EXPECT_FALSE(parseDateText("2004/005/06"));
    EXPECT_FALSE(parseDateText("2004/05/06 12"));
    EXPECT_FALSE(parseDateText("2004/05/06 12:34:"));
}

TEST(ShootingDate, CaptionFormPadsEveryPart) {
    EXPECT_EQ(formatShootingDate({2023, 8, 1, 9, 5, 59}), "2023年08月01日 09時05分");
    EXPECT_EQ(formatShootingDate({5, 12, 31, 23, 59, 0}), "0005年12月31日 23時59分");
    EXPECT_EQ(formatShootingDate({2024, 2, 29, 0, 0, 0}), "2024年02月29日 00時00分");
}
