#include "app/util/date_time.h"
#include "app/util/jpeg_info.h"

#include <gtest/gtest.h>

#include <utility>

using namespace mirofoto;

// Cameras write "yyyy:mm:dd hh:mm:ss"; editors and phones write other forms
// a date parser reads. Each accepted text comes out in the one form the
// album's pages read; "" is a refused text.
TEST(ExifDateToDateText, TakesTheFormsOfADateParserAndRefusesTheRest) {
    const std::pair<const char*, const char*> cases[] = {
        {"2004:05:06 12:34:56", "2004/05/06 12:34:56"}, {"  2004:05:06 12:34:56 ", "2004/05/06 12:34:56"},
        {"2004/05/06 12:34:56", "2004/05/06 12:34:56"}, {"2004-05-06 12:34:56", "2004/05/06 12:34:56"},
        {"2004-5-6 7:8:9", "2004/05/06 07:08:09"},      {"2004:05:06 12:34", "2004/05/06 12:34:00"},
        {"2004/5/6", "2004/05/06 00:00:00"},            {"2004-05-06   12:34", "2004/05/06 12:34:00"},
        {"2000:02:29 00:00:00", "2000/02/29 00:00:00"}, {"2023:12:31 23:59:59", "2023/12/31 23:59:59"},
        // No such day or time.
        {"0000:00:00 00:00:00", ""}, {"2023:02:30 10:00:00", ""}, {"1900:02:29", ""}, {"2023:04:31", ""},
        {"2023:13:01", ""}, {"2023:00:10", ""}, {"2023:01:00", ""}, {"0099:01:01", ""},
        {"2023:01:01 24:00", ""}, {"2023:01:01 10:60", ""}, {"2023:01:01 10:00:60", ""},
        // Not laid out as a date.
        {"2023:01/01 10:00:00", ""}, {"2023.01.01", ""}, {"2023:01:01T10:00:00", ""}, {"2023:01:0110:00", ""},
        {"2023:01:01 10", ""}, {"2023:01:01 10:00:", ""}, {"2023:01:01 10:00:00:00", ""},
        {"2023:01:01 10:00:00x", ""}, {"2023:001:01", ""}, {"2023:+1:01", ""}, {"23:01:01", ""},
        {"02023:01:01", ""}, {"", ""}, {"   ", ""}, {"yesterday", ""},
    };
    for (const auto& [text, dateText] : cases) EXPECT_EQ(ExifDateToDateText(text), dateText) << '"' << text << '"';
    // The caption shows a short form like any other date.
    const auto shortForm = parseDateText(ExifDateToDateText("2004-5-6 7:8"));
    ASSERT_TRUE(shortForm);
    EXPECT_EQ(formatShootingDate(*shortForm), "2004年05月06日 07時08分");
}

TEST(ParseDateText, AcceptsOnlyRealDatesInTheOneLayout) {
    const auto d = parseDateText("2004/05/06 12:34:56");
    ASSERT_TRUE(d);
    EXPECT_EQ(*d, (DateTime{2004, 5, 6, 12, 34, 56}));
    EXPECT_TRUE(parseDateText("2000/02/29 00:00:00"));   // a leap year
    EXPECT_TRUE(parseDateText("2023/12/31 23:59:59"));

    for (const char* bad : {"0000/00/00 00:00:00", "1900/02/29 10:00:00", "2023/02/29 10:00:00",
                            "2023/04/31 10:00:00", "2023/13/01 10:00:00", "2023/01/01 24:00:00",
                            "2023/01/01 10:60:00", "2023/01/01 10:00:60", "2023/1/01 10:00:00",
                            "2023/01/01T10:00:00", "2023:01:01 10:00:00", "", "    /  /     :  :  ",
                            "2023/01/01 10:00:00 ", "+023/01/01 10:00:00", "2100/02/29 00:00:00",
                            "2004/5/6 7:08", "2004/05/06", "2004/05/06 12:34:56x"})
        EXPECT_FALSE(parseDateText(bad)) << bad;
}

TEST(ShootingDate, CaptionFormPadsEveryPart) {
    EXPECT_EQ(formatShootingDate({2023, 8, 1, 9, 5, 59}), "2023年08月01日 09時05分");
    EXPECT_EQ(formatShootingDate({5, 12, 31, 23, 59, 0}), "0005年12月31日 23時59分");
    EXPECT_EQ(formatShootingDate({2024, 2, 29, 0, 0, 0}), "2024年02月29日 00時00分");
}
