// The options dialog's rules without the dialog: quality boxes, 設定反映
// over typed numbers, and the record's way there and back.
#include "app/settings/options_fields.h"

#include <gtest/gtest.h>

using namespace mirofoto;

TEST(OptionsFields, QualityBoxRules) {
    struct Case {
        const char* typed;
        OptionsNumber box;
        QualityBox shown;
    } cases[] = {
        {"150", OptionsNumber::ThumbQuality, {"100", 100}}, {"", OptionsNumber::ThumbQuality, {"60", 60}},
        {"", OptionsNumber::LargeQuality, {"90", 90}},     {"  abc", OptionsNumber::LargeQuality, {"90", 90}},
        {"0", OptionsNumber::ThumbQuality, {"1", 1}},      {"-5", OptionsNumber::LargeQuality, {"1", 1}},
        {" 75 ", OptionsNumber::ThumbQuality, {"75", 75}}, {"100", OptionsNumber::LargeQuality, {"100", 100}},
        {"1e2", OptionsNumber::ThumbQuality, {"1e2", 100}},
    };
    for (const Case& c : cases) EXPECT_EQ(qualityBoxRule(c.typed, c.box), c.shown) << c.typed;
}

TEST(OptionsFields, ApplyStoresNumbersInRangeAndRefusesTheRest) {
    struct Case {
        OptionsNumber box;
        const char* typed;
        std::optional<int> stored;  // nothing: refused, record untouched
    } cases[] = {
        {OptionsNumber::ThumbWidth, "abc", 120},   // not a number: the field stays
        {OptionsNumber::ThumbWidth, " 200 ", 200}, {OptionsNumber::ThumbWidth, "800", 800},
        {OptionsNumber::ThumbWidth, "801", {}},    {OptionsNumber::Columns, "0", {}},
        {OptionsNumber::Columns, "2.5", 2},        {OptionsNumber::LargeWidth, "2000", {}},
        {OptionsNumber::LargeHeight, "768", 768},  {OptionsNumber::LargeQuality, "101", {}},
        {OptionsNumber::ThumbHeight, "99999", {}}, {OptionsNumber::Columns, "", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        AlbumSettings s = AlbumSettings::defaults();
        OptionsFields f = fieldsFromSettings(s);
        f.numbers[int(c.box)] = c.typed;
        f.pages[1].text = 0x123456;  // a change that must go with the numbers, or not at all
        const AlbumSettings before = s;
        const ApplyOutcome out = applyFields(f, s);
        EXPECT_EQ(out.trimmed[int(c.box)], trimBlanks(c.typed));
        if (c.stored) {
            EXPECT_FALSE(out.outOfRange);
            EXPECT_EQ(s.*optionsNumberBox(c.box).setting().field, *c.stored);
            EXPECT_EQ(s.pages[1].textColor, 0x123456u);
        } else {
            EXPECT_EQ(out.outOfRange, c.box);
            EXPECT_EQ(s, before);
        }
    }
}

TEST(OptionsFields, EveryFieldGoesToTheDialogAndBack) {
    AlbumSettings s = AlbumSettings::defaults();
    s.columns = 7;
    s.thumbWidth = 11, s.thumbHeight = 12, s.thumbQuality = 13;
    s.largeWidth = 21, s.largeHeight = 22, s.largeQuality = 23;
    s.thumbShowDate = 0, s.largeShowFileName = 0;
    s.followOrientation = 0;
    for (int p = 0; p < 3; ++p) {
        PageStyle& st = s.pages[p];
        st.textColor = 0x010203u + p, st.linkColor = st.activeLinkColor = 0x040506u + p;
        st.visitedLinkColor = 0x070809u + p, st.backgroundColor = 0x0A0B0Cu + p;
        st.useBackgroundColor = p != 1;
        st.backgroundImage = " /背景/" + std::to_string(p) + ".jpg ";
        st.htmlAfterBodyStart = "<P>\r\n" + std::to_string(p);
        st.htmlMiddle = "中央\r\n\r\n";
        st.htmlBeforeBodyEnd = " ";
    }
    OptionsFields f = fieldsFromSettings(s);
    EXPECT_EQ(f.numbers[int(OptionsNumber::LargeQuality)], "23");
    for (auto& page : f.pages)
        for (auto& html : page.html) html = htmlBlockFromBox(htmlBlockForBox(html));
    AlbumSettings back = AlbumSettings::defaults();
    EXPECT_FALSE(applyFields(f, back).outOfRange);
    back.imageFolder = s.imageFolder, back.outputFolder = s.outputFolder;
    EXPECT_EQ(back, s);
    EXPECT_EQ(htmlBlockForBox("a\r\nb"), "a\nb");
}
