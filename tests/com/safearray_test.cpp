#include "platform/com/bstr.h"
#include "platform/com/variant.h"

#include <gtest/gtest.h>

#include <climits>

using namespace platform::com;

TEST(SafeArray, VectorReportsItsShapeAndType) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, 5);
    ASSERT_NE(psa, nullptr);
    LONG lower = -1, upper = -1;
    EXPECT_EQ(SafeArrayGetLBound(psa, 1, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &upper), S_OK);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 4);
    EXPECT_EQ(SafeArrayGetDim(psa), 1u);
    EXPECT_EQ(SafeArrayGetElemsize(psa), 1u);
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
    EXPECT_EQ(vt, VT_UI1);
    EXPECT_EQ(SafeArrayGetUBound(psa, 2, &upper), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetLBound(psa, 0, &lower), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, ElementsAreReachableOnlyInsideTheBounds) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_I4, -2, 3);
    ASSERT_NE(psa, nullptr);
    LONG upper = 0;
    SafeArrayGetUBound(psa, 1, &upper);
    EXPECT_EQ(upper, 0);
    for (LONG i = -2; i <= 0; ++i) {
        LONG value = i * 10;
        EXPECT_EQ(SafeArrayPutElement(psa, &i, &value), S_OK) << i;
    }
    LONG index = -1, value = 0;
    EXPECT_EQ(SafeArrayGetElement(psa, &index, &value), S_OK);
    EXPECT_EQ(value, -10);
    for (LONG outside : {LONG(-3), LONG(1), LONG(INT32_MIN), LONG(INT32_MAX)}) {
        LONG i = outside;
        EXPECT_EQ(SafeArrayGetElement(psa, &i, &value), DISP_E_BADINDEX) << outside;
        EXPECT_EQ(SafeArrayPutElement(psa, &i, &value), DISP_E_BADINDEX) << outside;
    }
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, EmptyArrayEndsOneBelowItsStart) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, 0);
    ASSERT_NE(psa, nullptr);
    LONG upper = 0;
    SafeArrayGetUBound(psa, 1, &upper);
    EXPECT_EQ(upper, -1);
    LONG index = 0;
    BYTE b;
    EXPECT_EQ(SafeArrayGetElement(psa, &index, &b), DISP_E_BADINDEX);
    SafeArrayDestroy(psa);
}

TEST(SafeArray, ShapesItCannotHoldAreRefused) {
    // An upper bound past LONG's range, several dimensions, no type.
    EXPECT_EQ(SafeArrayCreateVector(VT_UI1, INT32_MAX, 2), nullptr);
    SAFEARRAYBOUND two[2] = {{2, 0}, {2, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_UI1, 2, two), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 1), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_RECORD, 0, 1), nullptr);
}

TEST(SafeArray, LockedArrayCannotBeDestroyed) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, 3);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, &data), S_OK);
    EXPECT_EQ(data, psa->pvData);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    Variant holder;
    holder.vt = VT_ARRAY | VT_UI1;
    holder.parray = psa;
    EXPECT_EQ(VariantClear(&holder), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(holder.vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(psa), E_UNEXPECTED);
    // holder now frees the array.
}

TEST(SafeArray, StringElementsAreCopiedInAndOut) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, 2);
    Bstr text("写真");
    LONG i = 1;
    ASSERT_EQ(SafeArrayPutElement(psa, &i, text.get()), S_OK);
    EXPECT_NE(static_cast<BSTR*>(psa->pvData)[1], text.get());
    BSTR out = nullptr;
    ASSERT_EQ(SafeArrayGetElement(psa, &i, &out), S_OK);
    EXPECT_EQ(utf8FromBstr(out), "写真");
    EXPECT_NE(out, static_cast<BSTR*>(psa->pvData)[1]);
    SysFreeString(out);

    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);  // the copy keeps its own strings
    ASSERT_EQ(SafeArrayGetElement(copy, &i, &out), S_OK);
    EXPECT_EQ(utf8FromBstr(out), "写真");
    SysFreeString(out);
    SafeArrayDestroy(copy);
}

TEST(SafeArray, VariantElementsAndByteArrayVariantsCopyDeeply) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    Variant element("x");
    LONG i = 0;
    ASSERT_EQ(SafeArrayPutElement(psa, &i, &element), S_OK);
    Variant holder;
    holder.vt = VT_ARRAY | VT_VARIANT;
    holder.parray = psa;
    Variant copy(holder);
    EXPECT_NE(copy.parray, holder.parray);
    Variant got;
    ASSERT_EQ(SafeArrayGetElement(copy.parray, &i, &got), S_OK);
    EXPECT_EQ(got.toUtf8(), "x");

    Variant bytes;
    bytes.vt = VT_ARRAY | VT_UI1;
    bytes.parray = SafeArrayCreateVector(VT_UI1, 0, 3);
    static_cast<BYTE*>(bytes.parray->pvData)[2] = 0xFE;
    Variant bytesCopy(bytes);
    EXPECT_NE(bytesCopy.parray->pvData, bytes.parray->pvData);
    EXPECT_EQ(static_cast<BYTE*>(bytesCopy.parray->pvData)[2], 0xFE);
}
