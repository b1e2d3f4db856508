// The album program's way to the shooting date, step by step, through
// IDispatch alone: no C++ header of Tagora is known here. The control is
// created by ProgID from the registry; each step binds by name (or by the
// documented DISPID), and every object is released after use.
#include "platform/com/creation.h"
#include "platform/com/dispatch_call.h"
#include "platform/com/registry.h"
#include "platform/com/variant.h"
#include "tagora_files.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace platform::com;

namespace {

class DispatchClient : public ::testing::Test {
protected:
    void TearDown() override {
        CoFreeUnusedLibraries();
        EXPECT_FALSE(isModuleLoaded(TAGORA_MODULE));
    }

    // Invoke with positional arguments in their natural order.
    static HRESULT invoke(IDispatch* object, DISPID id, WORD flags, std::vector<Variant> args, Variant* result) {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.data(), nullptr, UINT(reversed.size()), 0};
        EXCEPINFO exception{};
        UINT argErr = 0;
        return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, &argErr);
    }

    static DISPID idOf(IDispatch* object, const char* name) {
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(dispIdOf(object, name, &id), S_OK) << name;
        return id;
    }

    testing_support::TempDir m_dir;
};

}  // namespace

TEST_F(DispatchClient, TheShootingDateIsReachedThroughIDispatchAlone) {
    for (bool little : {true, false}) {
        const std::string path = m_dir.str(little ? "le.jpg" : "be.jpg");
        testing_support::writeBytes(path, tagora_files::fullFile(little));

        ComPtr<IDispatch> control;
        ASSERT_EQ(createObject("Tagora.ExifCtl", control), S_OK) << registryPath();

        // LoadHeader(file name): DISPID 2.
        ASSERT_EQ(idOf(control.get(), "LoadHeader"), 2);
        Variant exif;
        ASSERT_EQ(invoke(control.get(), 2, DISPATCH_METHOD, {Variant(path)}, &exif), S_OK);
        ASSERT_EQ(exif.vt, VT_DISPATCH);
        ASSERT_NE(exif.pdispVal, nullptr);

        // IFDSub, then its Tags.
        Variant sub, tags;
        ASSERT_EQ(invoke(exif.pdispVal, idOf(exif.pdispVal, "IFDSub"), DISPATCH_PROPERTYGET, {}, &sub), S_OK);
        ASSERT_EQ(sub.vt, VT_DISPATCH);
        ASSERT_EQ(invoke(sub.pdispVal, idOf(sub.pdispVal, "Tags"), DISPATCH_PROPERTYGET, {}, &tags), S_OK);
        ASSERT_EQ(tags.vt, VT_DISPATCH);

        // Walk the collection with its enumerator, as For Each does.
        Variant enumerator;
        ASSERT_EQ(invoke(tags.pdispVal, DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &enumerator), S_OK);
        ASSERT_EQ(enumerator.vt, VT_UNKNOWN);
        ComPtr<IEnumVARIANT> items;
        ASSERT_EQ(enumerator.punkVal->QueryInterface(IID_IEnumVARIANT, items.putVoid()), S_OK);

        std::string date;
        int visited = 0;
        for (;;) {
            Variant tag;
            ULONG fetched = 0;
            if (items->Next(1, &tag, &fetched) != S_OK) break;
            ASSERT_EQ(tag.vt, VT_DISPATCH);
            ++visited;
            Variant id;
            ASSERT_EQ(getProperty(tag.pdispVal, "ID", &id), S_OK);
            if (id.toLong() != 36867) continue;
            Variant text;
            ASSERT_EQ(getProperty(tag.pdispVal, "ValueString", &text), S_OK);
            ASSERT_EQ(text.vt, VT_BSTR);
            date = *text.toUtf8();
            break;
        }
        EXPECT_EQ(date, "2004:05:06 12:34:56");
        EXPECT_EQ(visited, 2);  // ExifVersion, then the date

        // Everything goes: the module agrees to unload.
        items.reset();
        enumerator.clear();
        tags.clear();
        sub.clear();
        exif.clear();
        control.reset();
        CoFreeUnusedLibraries();
        EXPECT_FALSE(isModuleLoaded(TAGORA_MODULE));
    }
}

TEST_F(DispatchClient, AFileThatDoesNotLoadGivesNoObjectAndSucceeds) {
    ComPtr<IDispatch> control;
    ASSERT_EQ(createObject("Tagora.ExifCtl", control), S_OK);
    Variant exif;
    EXPECT_EQ(invoke(control.get(), 2, DISPATCH_METHOD, {Variant(m_dir.str("missing.jpg"))}, &exif), S_OK);
    EXPECT_EQ(exif.vt, VT_DISPATCH);
    EXPECT_EQ(exif.pdispVal, nullptr);
    // A file name that is no text does not reach the control.
    EXPECT_EQ(invoke(control.get(), 2, DISPATCH_METHOD, {Variant::missing()}, &exif), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(invoke(control.get(), 2, DISPATCH_METHOD, {}, &exif), DISP_E_BADPARAMCOUNT);
}

TEST_F(DispatchClient, FailuresOfMembersArriveAsTheirOwnCodes) {
    const std::string path = m_dir.str("a.jpg");
    testing_support::writeBytes(path, tagora_files::fullFile(true));
    ComPtr<IDispatch> control;
    ASSERT_EQ(createObject("Tagora.ExifCtl", control), S_OK);
    Variant exif;
    ASSERT_EQ(callMethod(control.get(), "LoadHeader", {Variant(path)}, &exif), S_OK);
    Variant marker;
    EXPECT_EQ(getProperty(exif.pdispVal, "MarkerItem", &marker, {Variant(LONG(7))}), LONG(0x800A017D));
    // Through Invoke itself: DISP_E_EXCEPTION with the code in EXCEPINFO.
    Variant index(LONG(7));
    DISPPARAMS params{&index, nullptr, 1, 0};
    EXCEPINFO exception{};
    EXPECT_EQ(exif.pdispVal->Invoke(9, IID_NULL, 0, DISPATCH_PROPERTYGET, &params, &marker, &exception, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, LONG(0x800A017D));
}
