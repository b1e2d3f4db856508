// Tag values: element access through variants, the display string, names
// and meanings from the tag tables, the user comment, and the automation
// conversions underneath.
#include "exif_fixture.h"
#include "platform/codepage.h"
#include "tagora/exif/exif.h"
#include "tagora/exif/variant.h"

#include <gtest/gtest.h>

#include <set>

using namespace tagora;
using exif_fixture::Field;
using exif_fixture::TiffBuilder;

namespace {

std::shared_ptr<Tag> makeTag(std::uint16_t id, std::uint16_t type, std::uint32_t count, const void* bytes,
                             const TagTable& table = mainTable()) {
    auto ifd = Ifd::create("IFD Main", table);
    auto tag = ifd->set(id, type, count, bytes);
    return tag;  // the tag outlives its directory; it keeps its table
}

Variant get(const Tag& t, std::int64_t i) {
    Variant v;
    EXPECT_EQ(t.value(i, v), kOk);
    return v;
}

std::u16string u(const char* utf8) { return platform::utf8ToUtf16(utf8); }

}  // namespace

TEST(TagValue, RationalGivesNumeratorAndDenominator) {
    const std::uint32_t r[] = {72, 1};
    const auto t = makeTag(282, 5, 1, r);
    EXPECT_EQ(t->valueString(), "72/1");
    EXPECT_EQ(get(*t, 0), Variant::ui4(72));
    Variant second;
    ASSERT_EQ(t->valueSecond(0, second), kOk);
    EXPECT_EQ(second, Variant::ui4(1));
    EXPECT_EQ(t->value(1, second), kInvalidIndex);
    EXPECT_EQ(t->valueSecond(-1, second), kInvalidIndex);
}

TEST(TagValue, NumbersAreJoinedWithACommaAndNoSpace) {
    const std::uint16_t s[] = {2, 2};
    EXPECT_EQ(makeTag(530, 3, 2, s)->valueString(), "2,2");
    const std::uint32_t l[] = {0, 4294967295u};
    EXPECT_EQ(makeTag(513, 4, 2, l)->valueString(), "0,4294967295");
    const std::int16_t ss[] = {-5, 7};
    EXPECT_EQ(makeTag(1, 8, 2, ss)->valueString(), "-5,7");
    const std::int32_t sl[] = {-2147483647 - 1};
    EXPECT_EQ(makeTag(1, 9, 1, sl)->valueString(), "-2147483648");
    const std::int32_t sr[] = {-1, 3, 2, -7};
    EXPECT_EQ(makeTag(37380, 10, 2, sr)->valueString(), "-1/3,2/-7");
    const float f = 1.5f;
    EXPECT_EQ(makeTag(1, 11, 1, &f)->valueString(), "1.500000");
    EXPECT_EQ(makeTag(1, 3, 0, nullptr)->valueString(), "");
}

TEST(TagValue, AsciiDropsItsNulAndHasOneElementFewer) {
    const std::string date = "2004:05:06 12:34:56";
    const auto t = makeTag(36867, 2, 20, date.c_str(), exifTable());
    EXPECT_EQ(t->valueString(), date);
    Variant v;
    EXPECT_EQ(t->value(19, v), kInvalidIndex);
    EXPECT_EQ(get(*t, 18), Variant::i1('6'));
    // An empty ASCII tag has no element at all (no wrap-around of count - 1).
    const auto empty = makeTag(271, 2, 0, nullptr);
    EXPECT_EQ(empty->value(0, v), kInvalidIndex);
    EXPECT_EQ(empty->putValue(0, Variant::i1('x')), kInvalidIndex);
}

TEST(TagValue, ByteTextShowsEveryByteOutsidePrintableAsciiAsUnderscore) {
    const auto sjis = *platform::utf8ToCp932("キヤノン");
    const std::string make = "Ca" + sjis + "\x7F\t";
    // Byte by byte: lead bytes go, trail bytes that happen to be printable
    // ASCII stay (キ = 83 4C, ヤ = 83 84, ノ = 83 6D, ン = 83 93).
    EXPECT_EQ(makeTag(271, 2, std::uint32_t(make.size()), make.data())->valueString(), "Ca_L___m____");
    EXPECT_EQ(makeTag(37121, 7, 4, "\x01\x02\x03\x00", exifTable())->valueString(), "____");
    EXPECT_EQ(makeTag(36864, 7, 4, "0210", exifTable())->valueString(), "0210");
    // Only one trailing NUL goes; BYTE keeps its last byte.
    EXPECT_EQ(makeTag(271, 2, 4, "ab\0\0")->valueString(), "ab_");
    EXPECT_EQ(makeTag(271, 1, 3, "ab\0")->valueString(), "ab_");
    EXPECT_EQ(get(*makeTag(1, 1, 1, "\xF0"), 0), Variant::ui1(0xF0));
    EXPECT_EQ(get(*makeTag(1, 6, 1, "\xF0"), 0), Variant::i1(-16));
}

TEST(TagValue, AnUnknownTypeHasElementsWithoutBytes) {
    const auto t = makeTag(1, 99, 0, nullptr);
    t->assign(13, 0xFFFFFFFFu, nullptr);
    EXPECT_EQ(t->count(), 0xFFFFFFFFu);
    EXPECT_TRUE(t->data().empty());
    EXPECT_EQ(t->valueString(), "");
    EXPECT_EQ(get(*t, 0xFFFFFFFEll), Variant::empty());
    Variant v;
    EXPECT_EQ(t->value(0xFFFFFFFFll, v), kInvalidIndex);
    EXPECT_EQ(t->putValue(5, Variant::i4(3)), kOk);
}

TEST(TagValue, PushValueAppendsTextToAscii) {
    const auto t = makeTag(271, 2, 0, nullptr);
    EXPECT_EQ(t->pushValue(Variant::text(u"abc"), nullptr), kOk);
    EXPECT_EQ(t->pushValue(Variant::text(u"de"), nullptr), kOk);
    EXPECT_EQ(t->count(), 6u);
    EXPECT_EQ(t->valueString(), "abcde");
    EXPECT_EQ(t->pushValue(Variant::i4(42), nullptr), kOk);  // numbers become their text
    EXPECT_EQ(t->valueString(), "abcde42");
    // Japanese text is stored in the system code page.
    EXPECT_EQ(t->pushValue(Variant::text(u("写真")), nullptr), kOk);
    EXPECT_EQ(std::string(t->data().end() - 5, t->data().end()), std::string("\x8E\xCA\x90\x5E\0", 5));
    // What cannot be converted, or has no CP932 form, leaves the tag alone.
    const auto before = t->data();
    EXPECT_EQ(t->pushValue(Variant::null(), nullptr), kTypeMismatch);
    EXPECT_EQ(t->pushValue(Variant::text(u"café"), nullptr), kTypeMismatch);
    EXPECT_EQ(t->data(), before);
}

TEST(TagValue, PushValueOnNumbersUndoesAFailedElementAndStillSucceeds) {
    const auto r = makeTag(282, 5, 0, nullptr);
    const Variant omitted = Variant::missing();
    EXPECT_EQ(r->pushValue(Variant::i4(72), &omitted), kOk);
    EXPECT_EQ(r->count(), 0u);
    EXPECT_TRUE(r->data().empty());
    const Variant one = Variant::text(u"1");
    EXPECT_EQ(r->pushValue(Variant::i4(72), &one), kOk);
    EXPECT_EQ(r->pushValue(Variant::i4(300), nullptr), kOk);  // no Val2: denominator 0
    EXPECT_EQ(r->valueString(), "72/1,300/0");

    const auto s = makeTag(274, 3, 0, nullptr);
    EXPECT_EQ(s->pushValue(Variant::i4(70000), nullptr), kOk);  // overflow: undone
    EXPECT_EQ(s->pushValue(Variant::text(u"x"), nullptr), kOk);  // mismatch: undone
    EXPECT_EQ(s->count(), 0u);
    EXPECT_EQ(s->pushValue(Variant::r8(6.5), nullptr), kOk);  // half to even
    EXPECT_EQ(s->valueString(), "6");
}

TEST(TagValue, PutConvertsOrLeavesTheElementAlone) {
    const std::uint16_t s[] = {1, 2};
    const auto t = makeTag(530, 3, 2, s);
    EXPECT_EQ(t->putValue(1, Variant::text(u" 123 ")), kOk);
    EXPECT_EQ(t->putValue(0, Variant::i4(70000)), kOverflow);
    EXPECT_EQ(t->putValue(0, Variant::i4(-1)), kOverflow);
    EXPECT_EQ(t->putValue(0, Variant::text(u"abc")), kTypeMismatch);
    EXPECT_EQ(t->putValue(2, Variant::i4(1)), kInvalidIndex);
    EXPECT_EQ(t->putValueSecond(0, Variant::i4(9)), kOk);  // not a rational: nothing happens
    EXPECT_EQ(t->putValueSecond(2, Variant::i4(9)), kInvalidIndex);
    EXPECT_EQ(t->valueString(), "1,123");

    const std::int32_t sr[] = {1, 2};
    const auto r = makeTag(37380, 10, 1, sr, exifTable());
    EXPECT_EQ(r->putValue(0, Variant::i4(-3)), kOk);
    EXPECT_EQ(r->putValueSecond(0, Variant::r8(10.0)), kOk);
    EXPECT_EQ(r->putValueSecond(0, Variant::ui4(0x80000000u)), kOverflow);
    EXPECT_EQ(r->valueString(), "-3/10");
    Variant v;
    ASSERT_EQ(r->valueSecond(0, v), kOk);
    EXPECT_EQ(v, Variant::i4(10));

    const double d = 0;
    const auto dt = makeTag(1, 12, 1, &d);
    EXPECT_EQ(dt->putValue(0, Variant::text(u"2.5")), kOk);
    EXPECT_EQ(get(*dt, 0), Variant::r8(2.5));
}

TEST(TagValue, SettingTheTypeEmptiesTheValue) {
    const std::uint16_t s[] = {1, 2, 3};
    const auto t = makeTag(258, 3, 3, s);
    t->setType(4);
    EXPECT_EQ(t->type(), 4);
    EXPECT_EQ(t->count(), 0u);
    EXPECT_TRUE(t->data().empty());
    t->assign(3, 3, s);
    t->clearValue();
    EXPECT_EQ(t->count(), 0u);
    EXPECT_EQ(t->type(), 3);
}

TEST(TagValue, FloatsOfABigEndianFileReadAsTheirValue) {
    const std::string oneAndHalfF("\x3F\xC0\x00\x00", 4);
    const std::string minusTwoD("\xC0\x00\x00\x00\x00\x00\x00\x00", 8);
    Field f1 = Field::bytes(0x9001, 11, oneAndHalfF);
    f1.count = 1;  // one FLOAT element, written as its big-endian bytes
    Field f2 = Field::bytes(0x9002, 12, minusTwoD);
    f2.count = 1;
    TiffBuilder b(false);
    b.setIfd0(b.addDirectory({f1, f2}));
    const std::string tiff = b.bytes();
    Exif e;
    ASSERT_TRUE(e.loadBytes(exif_fixture::jpegFile(exif_fixture::exifSegment(tiff))));
    EXPECT_EQ(e.ifdMain()->find(0x9001)->valueString(), "1.500000");
    EXPECT_EQ(get(*e.ifdMain()->find(0x9001), 0), Variant::r4(1.5f));
    EXPECT_EQ(e.ifdMain()->find(0x9002)->valueString(), "-2.000000");
}

TEST(TagNames, EachDirectoryNamesFromItsOwnTable) {
    const auto interop = makeTag(1, 2, 0, nullptr, interoperabilityTable());
    const auto gps = makeTag(1, 2, 0, nullptr, gpsTable());
    EXPECT_EQ(interop->name(), "InteroperabilityIndex");
    EXPECT_EQ(gps->name(), "GPSLatitudeRef");
    EXPECT_EQ(gps->mean(), "北緯(N)or 南緯(S)");
    EXPECT_EQ(makeTag(2, 7, 0, nullptr, interoperabilityTable())->name(), "InteroperabilityValue");
    const auto sub = makeTag(34665, 4, 0, nullptr, exifTable());
    EXPECT_EQ(sub->name(), "Unknown");
    EXPECT_EQ(sub->mean(), "不明");
    EXPECT_EQ(makeTag(34665, 4, 0, nullptr)->name(), "ExifIFDPointer");
    EXPECT_EQ(makeTag(36867, 2, 0, nullptr, exifTable())->mean(), "原画像データの生成日時");
    EXPECT_EQ(makeTag(530, 3, 0, nullptr)->mean(), "YCC の画素構成（C の間引き率）");
}

TEST(TagNames, TablesAndConstantsAgree) {
    EXPECT_EQ(mainTable().rows().size(), 32u);
    EXPECT_EQ(exifTable().rows().size(), 43u);
    EXPECT_EQ(gpsTable().rows().size(), 27u);
    EXPECT_EQ(interoperabilityTable().rows().size(), 2u);
    const auto constants = exifTagConstants();
    ASSERT_EQ(constants.size(), 104u);
    std::size_t i = 0;
    for (const TagTable* t : {&mainTable(), &exifTable(), &gpsTable(), &interoperabilityTable()})
        for (const TagRow& row : t->rows()) {
            const std::string expected = (t == &interoperabilityTable() && row.id == 2)
                                             ? "etInteroperabilityVersion"
                                             : std::string("et") + row.name;
            EXPECT_EQ(constants[i].name, expected);
            EXPECT_EQ(constants[i].value, std::int32_t(row.id));
            ++i;
        }
    EXPECT_EQ(etDateTimeOriginal, 36867);
    EXPECT_EQ(etUserComment, 37510);
    EXPECT_EQ(etGPSVersionID, 0);
    EXPECT_EQ(etGPSLatitudeRef, etInteroperabilityIndex);
    EXPECT_EQ(tagTypeConstants().size(), 8u);
    EXPECT_EQ(ttSRATIONAL, 10);
    EXPECT_EQ(elementSize(5), 8u);
    EXPECT_EQ(elementSize(0), 0u);
    EXPECT_EQ(elementSize(13), 0u);
}

TEST(UserComment, UnicodeRoundTripsAndTheOtherPrefixesDecode) {
    Exif e;
    EXPECT_EQ(e.userComment(), u"");
    e.setUserComment(u("撮影メモ：桜"));
    EXPECT_EQ(e.userComment(), u("撮影メモ：桜"));
    const auto tag = e.ifdSub()->find(37510);
    EXPECT_EQ(tag->type(), 7);
    EXPECT_EQ(tag->count(), 8u + 2 * 6);
    EXPECT_EQ(std::string(tag->data().begin(), tag->data().begin() + 8), std::string("UNICODE\0", 8));
    EXPECT_EQ(e.ifdSub()->count(), 1u);
    e.setUserComment(u"again");  // replaces, does not add
    EXPECT_EQ(e.ifdSub()->count(), 1u);

    auto store = [&](const std::string& bytes, std::uint16_t type = 7) {
        e.ifdSub()->set(37510, type, std::uint32_t(bytes.size()), bytes.data());
        return e.userComment();
    };
    EXPECT_EQ(store(std::string("JIS\0\0\0\0\0\x1B$B", 11)), u"");
    EXPECT_EQ(store(std::string("ASCII\0\0\0Hello\0junk", 18)), u"Hello");
    EXPECT_EQ(store(std::string(8, '\0') + *platform::utf8ToCp932("桜")), u("桜"));
    EXPECT_EQ(store(std::string("UNICODE\0A\0B\0\0\0C\0", 16)), u"AB");
    EXPECT_EQ(store(std::string("UNICODE\0A\0B", 11)), u"A");  // odd last byte ignored
    EXPECT_EQ(store(std::string("UNICODE", 7)), u"");           // fewer than 8 bytes
    EXPECT_EQ(store(std::string("ASCII\0\0\0Hello", 13), 2), u"");  // not UNDEFINED
}

struct Conversion {
    Variant in;
    VarType to;
    HResult hr;
    Variant out;
};

TEST(VariantConversion, FollowsTheAutomationRules) {
    const Conversion cases[] = {
        {Variant::r8(2.5), VarType::I4, kOk, Variant::i4(2)},
        {Variant::r8(3.5), VarType::I4, kOk, Variant::i4(4)},
        {Variant::r8(-2.5), VarType::I2, kOk, Variant::i2(-2)},
        {Variant::r4(255.4f), VarType::UI1, kOk, Variant::ui1(255)},
        {Variant::r8(255.5), VarType::UI1, kOverflow, {}},
        {Variant::r8(1e300), VarType::I4, kOverflow, {}},
        {Variant::r8(1e300), VarType::R4, kOverflow, {}},
        {Variant::i4(70000), VarType::I2, kOverflow, {}},
        {Variant::i4(-1), VarType::UI1, kOverflow, {}},
        {Variant::i1(-1), VarType::UI4, kOverflow, {}},
        {Variant::ui4(0xFFFFFFFFu), VarType::I4, kOverflow, {}},
        {Variant::ui4(0xFFFFFFFFu), VarType::R8, kOk, Variant::r8(4294967295.0)},
        {Variant::text(u"abc"), VarType::I4, kTypeMismatch, {}},
        {Variant::text(u""), VarType::I4, kTypeMismatch, {}},
        {Variant::text(u"123"), VarType::I4, kOk, Variant::i4(123)},
        {Variant::text(u" -7 "), VarType::I2, kOk, Variant::i2(-7)},
        {Variant::text(u"1e3"), VarType::UI2, kOk, Variant::ui2(1000)},
        {Variant::text(u"&HFF"), VarType::UI1, kOk, Variant::ui1(255)},
        {Variant::text(u"99999999999"), VarType::I4, kOverflow, {}},
        {Variant::text(u"1.2.3"), VarType::R8, kTypeMismatch, {}},
        {Variant::boolean(true), VarType::I4, kOk, Variant::i4(-1)},
        {Variant::boolean(true), VarType::UI1, kOk, Variant::ui1(255)},
        {Variant::empty(), VarType::I4, kOk, Variant::i4(0)},
        {Variant::empty(), VarType::Bstr, kOk, Variant::text(u"")},
        {Variant::null(), VarType::I4, kTypeMismatch, {}},
        {Variant::missing(), VarType::UI4, kTypeMismatch, {}},
        {Variant::i4(-12), VarType::Bstr, kOk, Variant::text(u"-12")},
        {Variant::r8(2.5), VarType::Bstr, kOk, Variant::text(u"2.5")},
        {Variant::r4(0.1f), VarType::Bstr, kOk, Variant::text(u"0.1")},
        {Variant::i4(5), VarType::Empty, kOk, Variant::empty()},
        {Variant::ui2(7), VarType::Bool, kOk, Variant::boolean(true)},
    };
    int row = 0;
    for (const auto& c : cases) {
        Variant out = Variant::i4(12345);
        EXPECT_EQ(changeType(c.in, c.to, out), c.hr) << "row " << row;
        if (c.hr == kOk) {
            EXPECT_EQ(out, c.out) << "row " << row;
        } else {
            EXPECT_EQ(out, Variant::i4(12345)) << "row " << row;  // untouched on failure
        }
        ++row;
    }
}
