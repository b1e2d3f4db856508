// Tag values as COM callers see and change them, through the vtable and
// through IDispatch; the user comment; saving and turning the thumbnail.
#include "tagora_fixture.h"

#include "platform/com/dispatch_call.h"
#include "platform/com/variant.h"

#include <filesystem>

using platform::com::Variant;
using namespace tagora_files;
using exif_fixture::Field;

namespace {

Variant value(ITag* tag, LONG index, bool second = false) {
    Variant v;
    EXPECT_EQ(second ? tag->get_ValueSecond(index, &v) : tag->get_Value(index, &v), S_OK) << index;
    return v;
}

}  // namespace

TEST_F(TagoraTest, ARationalGivesItsTextNumeratorAndDenominator) {
    ComPtr<IExif> exif = load(fullFile(false));
    ComPtr<ITag> x = item(tags(ifd(exif.get(), &IExif::get_IFDMain).get()).get(), tagora::etXResolution);
    EXPECT_EQ(valueString(x.get()), "72/1");
    const Variant numerator = value(x.get(), 0), denominator = value(x.get(), 0, true);
    EXPECT_EQ(numerator.vt, VT_UI4);
    EXPECT_EQ(numerator.ulVal, 72u);
    EXPECT_EQ(denominator.vt, VT_UI4);
    EXPECT_EQ(denominator.ulVal, 1u);
    // Elements of other types have no second part.
    ComPtr<ITag> pair = subTag(exif.get(), 37383);
    EXPECT_EQ(valueString(pair.get()), "2,2");
    EXPECT_EQ(value(pair.get(), 1).vt, VT_UI2);
    EXPECT_EQ(value(pair.get(), 1, true).vt, VT_EMPTY);
}

TEST_F(TagoraTest, AnAsciiTagsNulIsNoElement) {
    ComPtr<IExif> exif = load(fullFile(true));
    ComPtr<ITag> d = subTag(exif.get(), tagora::etDateTimeOriginal);
    const Variant last = value(d.get(), 18);
    EXPECT_EQ(last.vt, VT_I1);
    EXPECT_EQ(last.cVal, '6');
    Variant none;
    EXPECT_EQ(d->get_Value(19, &none), TAGORA_E_INVALIDINDEX);
    EXPECT_EQ(none.vt, VT_EMPTY);
    EXPECT_EQ(d->get_Value(-1, &none), TAGORA_E_INVALIDINDEX);
    EXPECT_EQ(d->get_Value(0, nullptr), E_POINTER);
}

TEST_F(TagoraTest, PushedTextIsAppendedInTheSystemCodePage) {
    ComPtr<IExif> exif = load(fullFile(true));
    ComPtr<ITags> main = tags(ifd(exif.get(), &IExif::get_IFDMain).get());
    ComPtr<ITag> artist;
    ASSERT_EQ(main->Add(tagora::etArtist, tagora::ttASCII, artist.put()), S_OK);
    Variant abc("abc"), de("de");
    ASSERT_EQ(artist->PushValue(&abc, nullptr), S_OK);
    ASSERT_EQ(artist->PushValue(&de, nullptr), S_OK);
    EXPECT_EQ(valueString(artist.get()), "abcde");
    EXPECT_EQ(value(artist.get(), 4).cVal, 'e');  // five elements and the NUL: count 6
    Variant past;
    EXPECT_EQ(artist->get_Value(5, &past), TAGORA_E_INVALIDINDEX);

    // Japanese text is stored as Shift_JIS bytes (8E CA 90 5E); the bytes
    // above 0x7E show as "_".
    Variant japanese("写真");
    ASSERT_EQ(artist->PushValue(&japanese, nullptr), S_OK);
    EXPECT_EQ(valueString(artist.get()), "abcde___^");
    // Text the code page cannot hold and values that are no text are refused.
    Variant emoji(std::u16string_view(u"\U0001F600"));
    EXPECT_EQ(artist->PushValue(&emoji, nullptr), DISP_E_TYPEMISMATCH);
    Variant missing = Variant::missing();
    EXPECT_EQ(artist->PushValue(&missing, nullptr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(valueString(artist.get()), "abcde___^");
    EXPECT_EQ(artist->PushValue(nullptr, nullptr), E_POINTER);
    // A number is pushed as its text.
    Variant number(LONG(42));
    ASSERT_EQ(artist->PushValue(&number, nullptr), S_OK);
    EXPECT_EQ(valueString(artist.get()), "abcde___^42");
}

TEST_F(TagoraTest, PushingARationalNeedsBothParts) {
    ComPtr<IExif> exif = load(fullFile(true));
    ComPtr<ITags> gps = tags(ifd(exif.get(), &IExif::get_IFDGps).get());
    ComPtr<ITag> altitude;
    ASSERT_EQ(gps->Add(tagora::etGPSAltitude, tagora::ttRATIONAL, altitude.put()), S_OK);
    IDispatch* dispatch = altitude.get();
    // Through IDispatch the left-out denominator arrives as the omitted
    // marker, which does not convert: nothing is added, and no failure.
    EXPECT_EQ(platform::com::callMethod(dispatch, "PushValue", {Variant(LONG(10))}), S_OK);
    EXPECT_EQ(valueString(altitude.get()), "");
    EXPECT_EQ(platform::com::callMethod(dispatch, "PushValue", {Variant(LONG(15)), Variant(LONG(2))}), S_OK);
    EXPECT_EQ(platform::com::callMethod(dispatch, "PushValue", {Variant(LONG(-1)), Variant(LONG(2))}), S_OK);
    EXPECT_EQ(platform::com::callMethod(dispatch, "PushValue", {Variant("x"), Variant(LONG(2))}), S_OK);
    EXPECT_EQ(valueString(altitude.get()), "15/2");
    // Through the vtable a null denominator leaves it 0.
    Variant seven(LONG(7)), byRef;
    LONG three = 3;
    byRef.vt = VT_I4 | VT_BYREF;
    byRef.plVal = &three;
    ASSERT_EQ(altitude->PushValue(&seven, nullptr), S_OK);
    ASSERT_EQ(altitude->PushValue(&byRef, &byRef), S_OK);
    EXPECT_EQ(valueString(altitude.get()), "15/2,7/0,3/3");
}

TEST_F(TagoraTest, PuttingAValueConvertsItOrReportsTheConversionsCode) {
    ComPtr<IExif> exif = load(fullFile(true));
    ComPtr<ITag> pair = subTag(exif.get(), 37383);  // SHORT 2,2
    ASSERT_EQ(pair->put_Value(1, Variant("300")), S_OK);
    ASSERT_EQ(pair->put_Value(0, Variant(2.5)), S_OK);  // rounds half to even
    EXPECT_EQ(valueString(pair.get()), "2,300");
    EXPECT_EQ(pair->put_Value(0, Variant(LONG(70000))), DISP_E_OVERFLOW);
    EXPECT_EQ(pair->put_Value(0, Variant(LONG(-1))), DISP_E_OVERFLOW);
    EXPECT_EQ(pair->put_Value(0, Variant("two")), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(pair->put_Value(0, Variant::missing()), DISP_E_TYPEMISMATCH);
    Variant null;
    null.vt = VT_NULL;
    EXPECT_EQ(pair->put_Value(0, null), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(valueString(pair.get()), "2,300");
    // The index is checked first.
    EXPECT_EQ(pair->put_Value(2, Variant("two")), TAGORA_E_INVALIDINDEX);
    // Kinds the model does not hold are converted by the runtime, with the
    // runtime's codes.
    Variant wide;
    wide.vt = VT_I8;
    wide.llVal = 12;
    ASSERT_EQ(pair->put_Value(0, wide), S_OK);
    wide.llVal = 1LL << 40;
    EXPECT_EQ(pair->put_Value(0, wide), DISP_E_OVERFLOW);
    Variant money;
    money.vt = VT_CY;
    money.cyVal.int64 = 123456;
    EXPECT_EQ(pair->put_Value(1, money), DISP_E_BADVARTYPE);
    Variant day;
    day.vt = VT_DATE;
    day.date = 2.0;  // 1900-01-01
    EXPECT_EQ(pair->put_Value(1, day), DISP_E_BADVARTYPE);
    EXPECT_EQ(valueString(pair.get()), "12,300");
    // A second part exists only for rationals; elsewhere nothing changes.
    EXPECT_EQ(pair->put_ValueSecond(0, Variant("anything")), S_OK);
    EXPECT_EQ(valueString(pair.get()), "12,300");

    ComPtr<ITag> exposure = subTag(exif.get(), tagora::etExposureTime);
    ASSERT_EQ(exposure->put_ValueSecond(0, Variant(LONG(125))), S_OK);
    EXPECT_EQ(exposure->put_ValueSecond(0, Variant(LONG(-125))), DISP_E_OVERFLOW);
    EXPECT_EQ(valueString(exposure.get()), "1/125");
}

TEST_F(TagoraTest, ThroughIDispatchAPutReportsTheSameCodes) {
    ComPtr<IExif> exif = load(fullFile(true));
    ComPtr<ITag> pair = subTag(exif.get(), 37383);
    IDispatch* tag = pair.get();
    EXPECT_EQ(platform::com::putProperty(tag, "Value", Variant(LONG(9)), {Variant(LONG(0))}), S_OK);
    EXPECT_EQ(platform::com::putProperty(tag, "Value", Variant("nine"), {Variant(LONG(0))}), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(platform::com::putProperty(tag, "Value", Variant(LONG(99999)), {Variant(LONG(1))}), DISP_E_OVERFLOW);
    EXPECT_EQ(platform::com::putProperty(tag, "Value", Variant(LONG(1)), {Variant(LONG(2))}), TAGORA_E_INVALIDINDEX);
    // An index that is no number does not reach the member.
    EXPECT_EQ(platform::com::putProperty(tag, "Value", Variant(LONG(1)), {Variant("first")}), DISP_E_TYPEMISMATCH);
    Variant v;
    ASSERT_EQ(platform::com::getProperty(tag, "Value", &v, {Variant(LONG(0))}), S_OK);
    EXPECT_EQ(v.vt, VT_UI2);
    EXPECT_EQ(v.uiVal, 9);
    EXPECT_EQ(valueString(pair.get()), "9,2");
    ASSERT_EQ(platform::com::getProperty(tag, "Mean", &v), S_OK);
    EXPECT_EQ(v.toUtf8(), "測光方式");
}

TEST_F(TagoraTest, TypeAndIdPutsKeepTheDirectoryConsistent) {
    ComPtr<IExif> exif = load(fullFile(true));
    ComPtr<ITags> sub = tags(ifd(exif.get(), &IExif::get_IFDSub).get());
    ComPtr<ITag> exposure = item(sub.get(), tagora::etExposureTime);
    ASSERT_EQ(exposure->put_Type(tagora::ttSRATIONAL), S_OK);
    EXPECT_EQ(valueString(exposure.get()), "");
    Variant any;
    EXPECT_EQ(exposure->get_Value(0, &any), TAGORA_E_INVALIDINDEX);
    TAGTYPE type{};
    exposure->get_Type(&type);
    EXPECT_EQ(type, tagora::ttSRATIONAL);

    // The ID reported changes; the directory finds the tag as before.
    ASSERT_EQ(exposure->put_ID(tagora::etFNumber), S_OK);
    EXIFTAG id{};
    exposure->get_ID(&id);
    EXPECT_EQ(id, tagora::etFNumber);
    EXPECT_EQ(text(&ITag::get_Name, exposure.get()), "FNumber");
    EXPECT_EQ(identity(item(sub.get(), tagora::etExposureTime)), identity(exposure));
    EXPECT_EQ(exposure->put_ID(static_cast<EXIFTAG>(70000)), DISP_E_OVERFLOW);
    EXPECT_EQ(exposure->put_Type(static_cast<TAGTYPE>(-3)), DISP_E_OVERFLOW);
    exposure->get_ID(&id);
    EXPECT_EQ(id, tagora::etFNumber);

    ASSERT_EQ(item(sub.get(), tagora::etExifVersion)->ClearValue(), S_OK);
    EXPECT_EQ(valueString(item(sub.get(), tagora::etExifVersion).get()), "");
}

TEST_F(TagoraTest, NamesComeFromTheTableOfTheTagsDirectory) {
    ComPtr<IExif> exif = load(fileWithSubFields({Field::longs(34665, {0}), Field::bytes(37121, 7, std::string("\1\2\3\0", 4))}));
    ComPtr<ITags> sub = tags(ifd(exif.get(), &IExif::get_IFDSub).get());
    ComPtr<ITag> pointer = item(sub.get(), 34665);
    EXPECT_EQ(text(&ITag::get_Name, pointer.get()), "Unknown");
    EXPECT_EQ(text(&ITag::get_Mean, pointer.get()), "不明");
    EXPECT_EQ(valueString(item(sub.get(), 37121).get()), "____");

    ComPtr<IExif> full = load(fullFile(true));
    ComPtr<ITag> interop = item(tags(ifd(full.get(), &IExif::get_IFDInteroperability).get()).get(), 1);
    ComPtr<ITag> gps = item(tags(ifd(full.get(), &IExif::get_IFDGps).get()).get(), 1);
    EXPECT_EQ(text(&ITag::get_Name, interop.get()), "InteroperabilityIndex");
    EXPECT_EQ(text(&ITag::get_Name, gps.get()), "GPSLatitudeRef");
    EXPECT_EQ(text(&ITag::get_Mean, gps.get()), "北緯(N)or 南緯(S)");
}

// ---------------------------------------------------------------------------
// User comment

TEST_F(TagoraTest, AUserCommentPutIsReadBackAsTheSameText) {
    ComPtr<IExif> exif = load(fullFile(true));
    Bstr comment;
    ASSERT_EQ(exif->get_UserComment(comment.put()), S_OK);
    EXPECT_EQ(comment.utf8(), "AB");
    Bstr japanese(u"夏の写真 \U0001F600");
    ASSERT_EQ(exif->put_UserComment(japanese.get()), S_OK);
    ASSERT_EQ(exif->get_UserComment(comment.put()), S_OK);
    EXPECT_EQ(comment.view(), japanese.view());
    // Stored as "UNICODE", NUL and the UTF-16LE units.
    ComPtr<ITag> tag = subTag(exif.get(), tagora::etUserComment);
    EXPECT_EQ(valueString(tag.get()).substr(0, 8), "UNICODE_");
    ASSERT_EQ(exif->put_UserComment(nullptr), S_OK);
    ASSERT_EQ(exif->get_UserComment(comment.put()), S_OK);
    EXPECT_EQ(comment.length(), 0u);
}

TEST_F(TagoraTest, AUserCommentInJisReadsAsEmptyAndAsciiAsItsText) {
    ComPtr<IExif> jis = load(fileWithSubFields({Field::bytes(37510, 7, std::string("JIS\0\0\0\0\0\x1B$B", 11))}));
    Bstr comment;
    ASSERT_EQ(jis->get_UserComment(comment.put()), S_OK);
    EXPECT_EQ(comment.length(), 0u);
    ComPtr<IExif> sjis = load(fileWithSubFields({Field::bytes(37510, 7, std::string("ASCII\0\0\0\x8E\xCA\x90\x5E", 12))}));
    ASSERT_EQ(sjis->get_UserComment(comment.put()), S_OK);
    EXPECT_EQ(comment.utf8(), "写真");
    EXPECT_EQ(sjis->get_UserComment(nullptr), E_POINTER);
}

// ---------------------------------------------------------------------------
// Thumbnail

TEST_F(TagoraTest, AJpegThumbnailIsSavedAsItsBytes) {
    ComPtr<IExif> exif = load(fullFile(false));
    const std::string target = m_dir.str("thumb.jpg");
    Bstr name(target);
    LONG written = 0;
    ASSERT_EQ(exif->SaveThumbnail(name.get(), &written), S_OK);
    EXPECT_EQ(written, 1);
    EXPECT_EQ(testing_support::readBytes(target), thumbnailJpeg());

    Bstr nowhere(m_dir.str("missing-folder/thumb.jpg"));
    EXPECT_EQ(exif->SaveThumbnail(nowhere.get(), &written), S_FALSE);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(exif->SaveThumbnail(name.get(), nullptr), E_POINTER);
}

TEST_F(TagoraTest, StripDataIsSavedAsATiffFile) {
    for (bool little : {true, false}) {
        ComPtr<IExif> exif = load(stripOnlyFile(little));
        const std::string target = m_dir.str("thumb.tif");
        Bstr name(target);
        LONG written = 0;
        ASSERT_EQ(exif->SaveThumbnail(name.get(), &written), S_OK);
        EXPECT_EQ(written, 1);
        const std::string tiff = testing_support::readBytes(target);
        ASSERT_GT(tiff.size(), 8u);
        EXPECT_EQ(tiff.substr(0, 4), little ? std::string("II*\0", 4) : std::string("MM\0*", 4));
        // Three entries, no value longer than 4 bytes: S = 12 × 3 + 6.
        EXPECT_EQ(tiff.size(), 8 + 42 + kStrip.size());
        EXPECT_EQ(tiff.substr(8 + 42), kStrip);
        ComPtr<ITags> thumbnail = tags(ifd(exif.get(), &IExif::get_IFDThumbnail).get());
        EXPECT_EQ(valueString(item(thumbnail.get(), tagora::etStripOffsets).get()), "50");
        EXPECT_EQ(valueString(item(thumbnail.get(), tagora::etStripByteCounts).get()), "12");
    }
}

TEST_F(TagoraTest, AFileWithoutThumbnailSavesNothing) {
    ComPtr<IExif> exif = load(jfifOnlyFile());
    Bstr name(m_dir.str("thumb.jpg"));
    LONG written = 9;
    EXPECT_EQ(exif->SaveThumbnail(name.get(), &written), S_FALSE);
    EXPECT_EQ(written, 0);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "thumb.jpg"));
    EXPECT_EQ(exif->RotateThumbnail(1), S_FALSE);
}

TEST_F(TagoraTest, TheThumbnailTurnsByCodeAndOnlyInMemory) {
    const std::string bytes = fullFile(true);
    const std::string path = file(bytes);
    ComPtr<IExif> exif = loadPath(path);
    EXPECT_EQ(exif->RotateThumbnail(0), S_FALSE);
    EXPECT_EQ(exif->RotateThumbnail(4), S_FALSE);
    EXPECT_EQ(exif->RotateThumbnail(-1), S_FALSE);
    const std::string target = m_dir.str("thumb.jpg");
    Bstr name(target);
    LONG written = 0;
    ASSERT_EQ(exif->SaveThumbnail(name.get(), &written), S_OK);
    EXPECT_EQ(testing_support::readBytes(target), thumbnailJpeg());

    ASSERT_EQ(exif->RotateThumbnail(1), S_OK);
    ASSERT_EQ(exif->SaveThumbnail(name.get(), &written), S_OK);
    EXPECT_EQ(jpegSize(testing_support::readBytes(target)), std::make_pair(16, 24));
    ASSERT_EQ(exif->RotateThumbnail(2), S_OK);
    ASSERT_EQ(exif->SaveThumbnail(name.get(), &written), S_OK);
    EXPECT_EQ(jpegSize(testing_support::readBytes(target)), std::make_pair(16, 24));
    // The file it came from and the tags stay as they were.
    EXPECT_EQ(testing_support::readBytes(path), bytes);
    ComPtr<ITags> thumbnail = tags(ifd(exif.get(), &IExif::get_IFDThumbnail).get());
    EXPECT_EQ(valueString(item(thumbnail.get(), tagora::etJPEGInterchangeFormatLength).get()),
              std::to_string(thumbnailJpeg().size()));
}

// Text put into a tag is read by the EXIF model, text given to
// VariantChangeType by the runtime: one set of rules, so each entry point
// gives the same code and the same value for every element type.
TEST_F(TagoraTest, TextBecomesTheSameNumberThroughEveryEntryPoint) {
    // One element of zero bytes, of the type and size.
    const auto one = [](std::uint16_t id, std::uint16_t type, std::size_t size) {
        Field f = Field::bytes(id, type, std::string(size, '\0'));
        f.count = 1;
        return f;
    };
    ComPtr<IExif> exif = load(fileWithSubFields({
        one(50001, 1, 1),            // BYTE: UI1
        one(50002, 6, 1),            // SBYTE: I1
        Field::shorts(50003, {0}),   // UI2
        Field::sshorts(50004, {0}),  // I2
        Field::longs(50005, {0}),    // UI4
        Field::slongs(50006, {0}),   // I4
        one(50007, 11, 4),           // FLOAT: R4
        one(50008, 12, 8),           // DOUBLE: R8
    }));
    const char* const texts[] = {"&H1F", "&o17", "&hFF", "&HFFFF", "&HFFFFFFFF", "&H123456789", "&H", "&H1G",
                                 " 12 ", "\u3000-7\u3000", "1e3", "2.5", "3.5", "-0.4", "1e40", "99999999999",
                                 "1,5", "abc", ""};
    for (LONG id = 50001; id <= 50008; ++id) {
        ComPtr<ITag> tag = subTag(exif.get(), id);
        const VARTYPE vt = value(tag.get(), 0).vt;
        for (const char* text : texts) {
            SCOPED_TRACE(std::to_string(id) + " \"" + text + "\"");
            const Variant source(text);
            Variant expected;
            const HRESULT hr = VariantChangeType(&expected, &source, 0, vt);
            const std::string want = SUCCEEDED(hr) ? *expected.toUtf8() : "0";  // a failed put changes nothing
            ASSERT_EQ(tag->put_Value(0, Variant(LONG(0))), S_OK);
            EXPECT_EQ(tag->put_Value(0, source), hr);
            EXPECT_EQ(value(tag.get(), 0).toUtf8(), want);
            ASSERT_EQ(tag->put_Value(0, Variant(LONG(0))), S_OK);
            EXPECT_EQ(platform::com::putProperty(tag.get(), "Value", source, {Variant(LONG(0))}), hr);
            EXPECT_EQ(value(tag.get(), 0).toUtf8(), want);
        }
    }
}
