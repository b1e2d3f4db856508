#include "platform/com/bstr.h"
#include "platform/com/dispatch_table.h"
#include "platform/com/variant.h"
#include "platform/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

using namespace platform::com;

namespace {

std::string hr(HRESULT code) { return platform::hexCode(static_cast<std::uint32_t>(code)); }

// "TYPE:value" for comparing variants in tables.
std::string describe(const VARIANT& v) {
    switch (v.vt) {
    case VT_EMPTY: return "EMPTY";
    case VT_NULL: return "NULL";
    case VT_I1: return "I1:" + std::to_string(int(v.cVal));
    case VT_UI1: return "UI1:" + std::to_string(v.bVal);
    case VT_I2: return "I2:" + std::to_string(v.iVal);
    case VT_UI2: return "UI2:" + std::to_string(v.uiVal);
    case VT_I4: return "I4:" + std::to_string(v.lVal);
    case VT_UI4: return "UI4:" + std::to_string(v.ulVal);
    case VT_I8: return "I8:" + std::to_string(v.llVal);
    case VT_UI8: return "UI8:" + std::to_string(v.ullVal);
    case VT_R4: return "R4:" + std::to_string(v.fltVal);
    case VT_R8: return "R8:" + std::to_string(v.dblVal);
    case VT_BOOL: return "BOOL:" + std::to_string(v.boolVal);
    case VT_ERROR: return "ERROR:" + hr(v.scode);
    case VT_BSTR: return "BSTR:" + utf8FromBstr(v.bstrVal);
    case VT_ARRAY | VT_UI1: {
        std::string s = "BYTES:";
        for (ULONG i = 0; i < v.parray->rgsabound[0].cElements; ++i)
            s += std::to_string(static_cast<BYTE*>(v.parray->pvData)[i]) + ",";
        return s;
    }
    default: return "vt" + std::to_string(v.vt);
    }
}

template <class T>
Variant make(VARTYPE vt, T value) {
    Variant v;
    v.vt = vt;
    std::memcpy(&v.llVal, &value, sizeof value);
    return v;
}

struct Case {
    Variant source;
    VARTYPE to;
    HRESULT expected;
    std::string value;  // describe() of the result when expected is S_OK
    USHORT flags = 0;
};

}  // namespace

TEST(VariantChangeType, ConvertsLikeTheAutomationRuntime) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        // Integers between each other: range checks.
        {Variant(70000), VT_I2, DISP_E_OVERFLOW, ""},
        {Variant(-32768), VT_I2, S_OK, "I2:-32768"},
        {Variant(-1), VT_UI4, DISP_E_OVERFLOW, ""},
        {Variant(255), VT_UI1, S_OK, "UI1:255"},
        {Variant(256), VT_UI1, DISP_E_OVERFLOW, ""},
        {make<BYTE>(VT_UI1, 200), VT_I1, DISP_E_OVERFLOW, ""},
        {make<ULONG>(VT_UI4, 0xFFFFFFFFu), VT_I4, DISP_E_OVERFLOW, ""},
        {make<ULONG>(VT_UI4, 0xFFFFFFFFu), VT_I8, S_OK, "I8:4294967295"},
        {make<LONGLONG>(VT_I8, -5), VT_UI8, DISP_E_OVERFLOW, ""},
        {make<CHAR>(VT_I1, -5), VT_I4, S_OK, "I4:-5"},
        // Reals to integers round half to even.
        {Variant(2.5), VT_I4, S_OK, "I4:2"},
        {Variant(3.5), VT_I4, S_OK, "I4:4"},
        {Variant(-2.5), VT_I4, S_OK, "I4:-2"},
        {Variant(2.4999), VT_I4, S_OK, "I4:2"},
        {Variant(-0.5), VT_UI1, S_OK, "UI1:0"},
        {Variant(-0.6), VT_UI1, DISP_E_OVERFLOW, ""},
        {Variant(32767.5), VT_I2, DISP_E_OVERFLOW, ""},
        {Variant(nan), VT_I4, DISP_E_OVERFLOW, ""},
        {Variant(1e300), VT_R4, DISP_E_OVERFLOW, ""},
        {Variant(7), VT_R8, S_OK, "R8:7.000000"},
        // Text to numbers.
        {Variant("abc"), VT_I4, DISP_E_TYPEMISMATCH, ""},
        {Variant("123"), VT_I4, S_OK, "I4:123"},
        {Variant(" 42 "), VT_I2, S_OK, "I2:42"},
        {Variant("-17"), VT_I4, S_OK, "I4:-17"},
        {Variant("2.5"), VT_I4, S_OK, "I4:2"},
        {Variant("1e3"), VT_I4, S_OK, "I4:1000"},
        {Variant(".5"), VT_R8, S_OK, "R8:0.500000"},
        {Variant(""), VT_I4, DISP_E_TYPEMISMATCH, ""},
        {Variant("1e"), VT_I4, DISP_E_TYPEMISMATCH, ""},
        {Variant("12abc"), VT_I4, DISP_E_TYPEMISMATCH, ""},
        {Variant("99999999999"), VT_I4, DISP_E_OVERFLOW, ""},
        {Variant("4294967295"), VT_UI4, S_OK, "UI4:4294967295"},
        {Variant("-1"), VT_UI4, DISP_E_OVERFLOW, ""},
        {Variant("1e999"), VT_R8, DISP_E_OVERFLOW, ""},
        {Variant("１２"), VT_I4, DISP_E_TYPEMISMATCH, ""},
        // Hexadecimal and octal: a 32-bit value, read as signed.
        {Variant("&H1F"), VT_I4, S_OK, "I4:31"},
        {Variant("&o17"), VT_UI1, S_OK, "UI1:15"},
        {Variant("&HFFFFFFFF"), VT_I4, S_OK, "I4:-1"},
        {Variant("&HFFFF"), VT_I2, DISP_E_OVERFLOW, ""},
        {Variant("&H123456789"), VT_I8, DISP_E_OVERFLOW, ""},
        {Variant("&H1G"), VT_I4, DISP_E_TYPEMISMATCH, ""},
        {Variant("-&H1"), VT_I4, DISP_E_TYPEMISMATCH, ""},
        // Beyond every integer type, still a real number.
        {Variant("100000000000000000000000"), VT_R8, S_OK, "R8:99999999999999991611392.000000"},
        {Variant("18446744073709551615"), VT_UI8, S_OK, "UI8:18446744073709551615"},
        // Booleans: True is -1, taken bit for bit by unsigned types.
        {Variant(true), VT_I4, S_OK, "I4:-1"},
        {Variant(true), VT_UI1, S_OK, "UI1:255"},
        {Variant(false), VT_UI4, S_OK, "UI4:0"},
        {Variant(true), VT_BSTR, S_OK, "BSTR:-1"},
        {Variant(false), VT_BSTR, S_OK, "BSTR:0"},
        {Variant(true), VT_BSTR, S_OK, "BSTR:True", VARIANT_ALPHABOOL},
        {Variant(2), VT_BOOL, S_OK, "BOOL:-1"},
        {Variant(0.0), VT_BOOL, S_OK, "BOOL:0"},
        {Variant("True"), VT_BOOL, S_OK, "BOOL:-1"},
        {Variant("false"), VT_BOOL, S_OK, "BOOL:0"},
        {Variant("0"), VT_BOOL, S_OK, "BOOL:0"},
        {Variant("yes"), VT_BOOL, DISP_E_TYPEMISMATCH, ""},
        // Numbers to text.
        {Variant(2.5), VT_BSTR, S_OK, "BSTR:2.5"},
        {Variant(0.1), VT_BSTR, S_OK, "BSTR:0.1"},
        {Variant(1e20), VT_BSTR, S_OK, "BSTR:1E+20"},
        {Variant(-0.0), VT_BSTR, S_OK, "BSTR:0"},
        {make<float>(VT_R4, 0.1f), VT_BSTR, S_OK, "BSTR:0.1"},
        {make<CHAR>(VT_I1, 65), VT_BSTR, S_OK, "BSTR:65"},
        {make<ULONGLONG>(VT_UI8, 18446744073709551615ull), VT_BSTR, S_OK, "BSTR:18446744073709551615"},
        // Empty, null and error.
        {Variant(), VT_I4, S_OK, "I4:0"},
        {Variant(), VT_BSTR, S_OK, "BSTR:"},
        {Variant(), VT_BOOL, S_OK, "BOOL:0"},
        {make<int>(VT_NULL, 0), VT_I4, DISP_E_TYPEMISMATCH, ""},
        {make<int>(VT_NULL, 0), VT_BSTR, DISP_E_TYPEMISMATCH, ""},
        {Variant::missing(), VT_UI4, DISP_E_TYPEMISMATCH, ""},
        {Variant::missing(), VT_I4, DISP_E_TYPEMISMATCH, ""},
        {Variant::missing(), VT_BSTR, DISP_E_TYPEMISMATCH, ""},
        {Variant(5), VT_EMPTY, S_OK, "EMPTY"},
        // Text and byte arrays.
        {Variant("AB"), VT_ARRAY | VT_UI1, S_OK, "BYTES:65,0,66,0,"},
        // Types this runtime does not convert, and no types at all.
        {Variant(5), VT_CY, DISP_E_BADVARTYPE, ""},
        {Variant(5), VT_DATE, DISP_E_BADVARTYPE, ""},
        {Variant(5), 0x7FFF, DISP_E_BADVARTYPE, ""},
        {Variant(5), VT_I4 | VT_BYREF, DISP_E_BADVARTYPE, ""},
        {Variant(5), VT_VARIANT, DISP_E_BADVARTYPE, ""},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("row " + std::to_string(row++) + ": " + describe(c.source) + " -> vt" + std::to_string(c.to));
        Variant out;
        const HRESULT result = VariantChangeType(&out, &c.source, c.flags, c.to);
        EXPECT_EQ(hr(result), hr(c.expected));
        if (c.expected == S_OK) EXPECT_EQ(describe(out), c.value);
        else EXPECT_EQ(out.vt, VT_EMPTY);
    }
}

TEST(VariantChangeType, ByteArrayTurnsIntoTheSameBytesOfText) {
    Variant bytes;
    bytes.vt = VT_ARRAY | VT_UI1;
    bytes.parray = SafeArrayCreateVector(VT_UI1, 0, 4);
    std::memcpy(bytes.parray->pvData, "h\0i\0", 4);
    Variant text;
    ASSERT_EQ(VariantChangeType(&text, &bytes, 0, VT_BSTR), S_OK);
    EXPECT_EQ(bstrView(text.bstrVal), u"hi");
    Variant words;
    words.vt = VT_ARRAY | VT_I4;
    words.parray = SafeArrayCreateVector(VT_I4, 0, 1);
    EXPECT_EQ(VariantChangeType(&text, &words, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
}

TEST(VariantChangeType, ByReferenceSourcesAreReadThroughThePointer) {
    LONG number = 41;
    Variant ref;
    ref.vt = VT_I4 | VT_BYREF;
    ref.plVal = &number;
    Variant out;
    ASSERT_EQ(VariantChangeType(&out, &ref, 0, VT_BSTR), S_OK);
    EXPECT_EQ(out.toUtf8(), "41");

    Variant inner("7");
    Variant variantRef;
    variantRef.vt = VT_VARIANT | VT_BYREF;
    variantRef.pvarVal = &inner;
    ASSERT_EQ(VariantChangeType(&out, &variantRef, 0, VT_I2), S_OK);
    EXPECT_EQ(describe(out), "I2:7");
}

TEST(VariantChangeType, FailureLeavesTheDestinationAsItWas) {
    Variant dest("keep");
    const BSTR before = dest.bstrVal;
    Variant source("abc");
    EXPECT_EQ(VariantChangeType(&dest, &source, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(dest.vt, VT_BSTR);
    EXPECT_EQ(dest.bstrVal, before);

    // In place: the source survives a failed conversion too.
    EXPECT_EQ(source.changeType(VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(describe(source), "BSTR:abc");
    Variant number("12");
    EXPECT_EQ(number.changeType(VT_I4), S_OK);  // frees the old string (checked by the sanitizers)
    EXPECT_EQ(describe(number), "I4:12");
}

namespace {

// A host-side automation object whose default member is its value.
struct INumber : IDispatch {
    STDMETHOD(get_Value)(LONG* value) = 0;
};
constexpr IID IID_INumber = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

}  // namespace

MIROFOTO_COM_INTERFACE(INumber, IDispatch, IID_INumber);

namespace {

class Number final : public DualObject<Number, INumber> {
public:
    explicit Number(LONG value) : m_value(value) {}
    static const DispatchTable& dispatchTable() {
        static const DispatchTable table{dispGet<&INumber::get_Value>(u"Value", DISPID_VALUE)};
        return table;
    }
    STDMETHODIMP get_Value(LONG* value) override {
        *value = m_value;
        return S_OK;
    }

private:
    LONG m_value;
};

}  // namespace

TEST(VariantChangeType, AnObjectConvertsThroughItsDefaultMember) {
    {
        auto number = makeObject<Number>(42);
        Variant object(static_cast<IDispatch*>(number.get()));
        Variant out;
        ASSERT_EQ(VariantChangeType(&out, &object, 0, VT_BSTR), S_OK);
        EXPECT_EQ(describe(out), "BSTR:42");
        EXPECT_EQ(VariantChangeType(&out, &object, VARIANT_NOVALUEPROP, VT_I4), DISP_E_TYPEMISMATCH);

        ASSERT_EQ(VariantChangeType(&out, &object, 0, VT_UNKNOWN), S_OK);
        EXPECT_EQ(out.vt, VT_UNKNOWN);
        Variant back;
        ASSERT_EQ(VariantChangeType(&back, &out, 0, VT_DISPATCH), S_OK);
        EXPECT_EQ(static_cast<void*>(back.pdispVal), static_cast<void*>(static_cast<INumber*>(number.get())));

        Variant nothing(static_cast<IDispatch*>(nullptr));
        EXPECT_EQ(VariantChangeType(&out, &nothing, 0, VT_I4), DISP_E_TYPEMISMATCH);
    }
    EXPECT_EQ(liveObjectCount(), 0);
}

TEST(Variant, CopyIsDeepAndClearReleases) {
    auto number = makeObject<Number>(1);
    {
        Variant a("text");
        Variant b(a);
        EXPECT_NE(a.bstrVal, b.bstrVal);
        EXPECT_EQ(utf8FromBstr(b.bstrVal), "text");

        Variant object(static_cast<IDispatch*>(number.get()));
        Variant copy(object);
        // Two variants and the smart pointer hold it: AddRef returns 4.
        EXPECT_EQ(number->AddRef(), 4u);
        number->Release();
    }
    EXPECT_EQ(number->AddRef(), 2u);
    number->Release();
}

TEST(Variant, ClearAndCopyRefuseUnknownTypes) {
    VARIANT bad;
    VariantInit(&bad);
    bad.vt = 0x7FFF;
    EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
    Variant out;
    EXPECT_EQ(VariantCopy(&out, &bad), DISP_E_BADVARTYPE);
    bad.vt = VT_VARIANT;  // a variant cannot hold a variant by value
    EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
    bad.vt = VT_EMPTY;
}
