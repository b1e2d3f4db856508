#include "app/util/url_encode.h"

#include <gtest/gtest.h>

using mirofoto::UrlEncodeUtf8;

TEST(UrlEncodeUtf8, AsciiRules) {
    EXPECT_EQ(UrlEncodeUtf8(std::string_view(" ")), "+");
    EXPECT_EQ(UrlEncodeUtf8(std::string_view("+")), "%2B");
    EXPECT_EQ(UrlEncodeUtf8(std::string_view("~")), "%7E");
    EXPECT_EQ(UrlEncodeUtf8(std::string_view("@")), "@");
    EXPECT_EQ(UrlEncodeUtf8(std::string_view("\t")), "%09");
    EXPECT_EQ(UrlEncodeUtf8(std::string_view("a-Z_9.*/")), "a-Z_9.*%2F");
    EXPECT_EQ(UrlEncodeUtf8(std::string_view("[]^`{")), "%5B%5D%5E%60%7B");
    EXPECT_EQ(UrlEncodeUtf8(std::string_view("")), "");
}

TEST(UrlEncodeUtf8, NonAsciiBecomesUtf8Escapes) {
    EXPECT_EQ(UrlEncodeUtf8(std::string_view("é")), "%C3%A9");
    EXPECT_EQ(UrlEncodeUtf8(std::string_view("写")), "%E5%86%99");
    EXPECT_EQ(UrlEncodeUtf8(std::string_view("\u07FF\u0800")), "%DF%BF%E0%A0%80");
}

TEST(UrlEncodeUtf8, EachSurrogateIsEncodedOnItsOwn) {
    // U+1F600 arrives as D83D DE00; each unit takes the three-byte rule.
    EXPECT_EQ(UrlEncodeUtf8(std::u16string_view(u"\U0001F600")), "%ED%A0%BD%ED%B8%80");
}
