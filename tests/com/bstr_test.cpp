#include "platform/com/bstr.h"
#include "platform/com/error_info.h"
#include "platform/com/object.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace platform::com;

namespace {

std::uint32_t prefixOf(BSTR b) {
    std::uint32_t n;
    std::memcpy(&n, reinterpret_cast<const unsigned char*>(b) - 4, 4);
    return n;
}

}  // namespace

TEST(Bstr, HoldsItsByteLengthBeforeTheTextAndANulAfterIt) {
    Bstr b = Bstr::adopt(SysAllocString(u"abc"));
    ASSERT_NE(b.get(), nullptr);
    EXPECT_EQ(prefixOf(b.get()), 6u);
    EXPECT_EQ(SysStringLen(b.get()), 3u);
    EXPECT_EQ(SysStringByteLen(b.get()), 6u);
    EXPECT_EQ(b.get()[3], u'\0');
    EXPECT_EQ(b.view(), u"abc");
}

TEST(Bstr, LengthCountsEmbeddedNulsAndANullSourceGivesZeros) {
    const char16_t text[] = {u'a', 0, u'b'};
    Bstr embedded = Bstr::adopt(SysAllocStringLen(text, 3));
    EXPECT_EQ(SysStringLen(embedded.get()), 3u);
    EXPECT_EQ(embedded.get()[2], u'b');

    Bstr zeros = Bstr::adopt(SysAllocStringLen(nullptr, 4));
    ASSERT_NE(zeros.get(), nullptr);
    EXPECT_EQ(SysStringLen(zeros.get()), 4u);
    for (int i = 0; i <= 4; ++i) EXPECT_EQ(zeros.get()[i], 0) << i;
}

TEST(Bstr, ByteLengthMayBeOddAndStillEndsInTwoNulBytes) {
    Bstr b = Bstr::adopt(SysAllocStringByteLen("abc", 3));
    EXPECT_EQ(SysStringByteLen(b.get()), 3u);
    EXPECT_EQ(SysStringLen(b.get()), 1u);
    const auto* bytes = reinterpret_cast<const unsigned char*>(b.get());
    EXPECT_EQ(std::memcmp(bytes, "abc\0\0", 5), 0);
}

TEST(Bstr, NullStringIsTheEmptyString) {
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);
    EXPECT_EQ(utf8FromBstr(nullptr), "");
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
}

TEST(Bstr, LengthsBeyondThePrefixAreRefused) {
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(Bstr, ReallocationMayTakeItsTextFromTheOldString) {
    BSTR b = SysAllocString(u"photo");
    ASSERT_TRUE(SysReAllocString(&b, b + 2));
    EXPECT_EQ(bstrView(b), u"oto");
    ASSERT_TRUE(SysReAllocStringLen(&b, b, 2));
    EXPECT_EQ(bstrView(b), u"ot");
    SysFreeString(b);
}

TEST(Bstr, Utf8TextRoundTripsWithSurrogatePairsCountedAsTwoUnits) {
    const std::string text = "写真 アルバム 😀";
    Bstr b(text);
    EXPECT_EQ(b.length(), 10u);  // 8 BMP characters and one surrogate pair
    EXPECT_EQ(b.utf8(), text);
}

TEST(Bstr, FileNamesThatAreNotUtf8KeepTheirBytes) {
    const std::string sjis = "/photos/\x8E\xCA\x90\x5E.jpg";  // "写真" in Shift_JIS
    const Bstr path = Bstr::ofPath(sjis);
    EXPECT_EQ(pathFromBstr(path.get()), sjis);
    EXPECT_NE(Bstr(sjis).utf8(), sjis);  // text conversion would lose the name
    const Bstr text("写真.jpg");
    EXPECT_EQ(pathFromBstr(text.get()), "写真.jpg");
}

TEST(ErrorInfo, TheReasonOfACallIsReadOnceAfterIt) {
    EXPECT_FALSE(takeErrorText());
    setErrorText(IID_IDispatch, "Test.Source", "the file does not load: 写真");
    IErrorInfo* info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    Bstr source, description;
    GUID iid{};
    EXPECT_EQ(info->GetSource(source.put()), S_OK);
    EXPECT_EQ(info->GetDescription(description.put()), S_OK);
    EXPECT_EQ(info->GetGUID(&iid), S_OK);
    EXPECT_EQ(source.utf8(), "Test.Source");
    EXPECT_EQ(description.utf8(), "the file does not load: 写真");
    EXPECT_TRUE(IsEqualIID(iid, IID_IDispatch));
    EXPECT_EQ(GetErrorInfo(0, nullptr), E_POINTER);
    IErrorInfo* none = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &none), S_FALSE);  // taken: the slot is empty now
    EXPECT_EQ(none, nullptr);
    // Set from an object, then cleared.
    EXPECT_EQ(SetErrorInfo(0, info), S_OK);
    info->Release();
    EXPECT_EQ(takeErrorText(), "the file does not load: 写真");
    setErrorText(IID_IDispatch, "x", "y");
    EXPECT_EQ(SetErrorInfo(0, nullptr), S_OK);
    EXPECT_FALSE(takeErrorText());
    EXPECT_EQ(liveObjectCount(), 0);
}

TEST(Bstr, HandleFreesWhatItOwnsAndGivesAwayOnDetach) {
    Bstr a("one");
    Bstr b(std::move(a));
    EXPECT_EQ(a.get(), nullptr);
    EXPECT_EQ(b.utf8(), "one");
    *b.put() = SysAllocString(u"two");  // put frees "one"
    EXPECT_EQ(b.utf8(), "two");
    BSTR raw = b.detach();
    EXPECT_EQ(b.get(), nullptr);
    SysFreeString(raw);
}
