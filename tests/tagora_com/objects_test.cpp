// The object model of a loaded file: loading, which object holds which,
// the tag collection and its enumerator, segments, the members that are not
// provided, directly created objects and the module's lifetime.
#include "tagora_fixture.h"

#include "platform/com/dispatch_call.h"
#include "platform/com/object.h"
#include "platform/com/variant.h"

#include <filesystem>

using platform::com::Variant;
using namespace tagora_files;
using exif_fixture::Field;

namespace {

LONG count(ITags* tags) {
    LONG n = -1;
    EXPECT_EQ(tags->get_Count(&n), S_OK);
    return n;
}

std::vector<LONG> enumeratedIds(IUnknown* enumUnknown) {
    std::vector<LONG> ids;
    platform::com::ComPtr<IEnumVARIANT> items;
    EXPECT_EQ(enumUnknown->QueryInterface(IID_IEnumVARIANT, items.putVoid()), S_OK);
    if (!items) return ids;
    for (;;) {
        Variant v;
        ULONG fetched = 0;
        if (items->Next(1, &v, &fetched) != S_OK) break;
        EXPECT_EQ(v.vt, VT_DISPATCH);
        platform::com::ComPtr<ITag> tag;
        EXPECT_EQ(v.pdispVal->QueryInterface(IID_ITag, tag.putVoid()), S_OK);
        EXIFTAG id{};
        tag->get_ID(&id);
        ids.push_back(id);
    }
    return ids;
}

}  // namespace

// ---------------------------------------------------------------------------
// LoadHeader

TEST_F(TagoraTest, LoadHeaderOfAFileThatDoesNotLoadGivesSFalseAndNoObject) {
    const std::string tiff = file("II*\0\x08\0\0\0", "tiff.tif");
    const std::string text = file("not a picture", "text.jpg");
    for (const std::string& path : {m_dir.str("missing.jpg"), tiff, text, m_dir.str()}) {
        ComPtr<IExif> exif;
        Bstr name(path);
        EXPECT_EQ(m_ctl->LoadHeader(name.get(), exif.put()), S_FALSE) << path;
        EXPECT_FALSE(exif) << path;
    }
    EXPECT_EQ(m_ctl->LoadHeader(nullptr, nullptr), E_POINTER);
    IExif* untouched = reinterpret_cast<IExif*>(8);
    EXPECT_EQ(m_ctl->LoadHeader(nullptr, &untouched), S_FALSE);  // a null name is the empty path
    EXPECT_EQ(untouched, nullptr);
}

TEST_F(TagoraTest, LoadHeaderReadsEveryDirectoryUnderItsName) {
    for (bool little : {true, false}) {
        ComPtr<IExif> exif = load(fullFile(little));
        ASSERT_TRUE(exif);
        const std::pair<HRESULT (IExif::*)(IIfd**), const char*> directories[] = {
            {&IExif::get_IFDMain, "IFD Main"},
            {&IExif::get_IFDThumbnail, "IFD Thumbnail"},
            {&IExif::get_IFDSub, "IFD Sub"},
            {&IExif::get_IFDInteroperability, "IFD Interoperability"},
            {&IExif::get_IFDGps, "IFD Gps"}};
        const LONG counts[] = {4, 5, 6, 2, 3};
        for (std::size_t i = 0; i < 5; ++i) {
            ComPtr<IIfd> d = ifd(exif.get(), directories[i].first);
            Bstr name;
            ASSERT_EQ(d->get_Name(name.put()), S_OK);
            EXPECT_EQ(name.utf8(), directories[i].second);
            EXPECT_EQ(count(tags(d.get()).get()), counts[i]) << directories[i].second;
        }
        EXPECT_EQ(valueString(subTag(exif.get(), 36867).get()), "2004:05:06 12:34:56");
    }
}

TEST_F(TagoraTest, AFileNameOutsideAsciiReachesTheFile) {
    const std::string path = file(fullFile(true), "写真 1.jpg");
    ComPtr<IExif> exif = loadPath(path);
    ASSERT_TRUE(exif);
    LONG markers = 0;
    exif->get_MarkerCount(&markers);
    EXPECT_EQ(markers, 2);
}

TEST_F(TagoraTest, EachLoadGivesAnIndependentObject) {
    const std::string path = file(fullFile(true));
    ComPtr<IExif> first = loadPath(path), second = loadPath(path);
    ASSERT_TRUE(first && second);
    EXPECT_NE(identity(first), identity(second));
    Bstr comment("changed");
    ASSERT_EQ(first->put_UserComment(comment.get()), S_OK);
    Bstr other;
    second->get_UserComment(other.put());
    EXPECT_EQ(other.utf8(), "AB");
}

// ---------------------------------------------------------------------------
// Who holds what

TEST_F(TagoraTest, DirectoryGetsReturnTheSameObjectAndTagsGetsNewCollections) {
    ComPtr<IExif> exif = load(fullFile(true));
    ComPtr<IIfd> a = ifd(exif.get(), &IExif::get_IFDMain), b = ifd(exif.get(), &IExif::get_IFDMain);
    EXPECT_EQ(identity(a), identity(b));
    EXPECT_NE(identity(a), identity(ifd(exif.get(), &IExif::get_IFDGps)));

    ComPtr<ITags> one = tags(a.get()), two = tags(a.get());
    EXPECT_NE(identity(one), identity(two));
    // Both are views of the one directory.
    ComPtr<ITag> added;
    ASSERT_EQ(one->Add(static_cast<EXIFTAG>(305), tagora::ttASCII, added.put()), S_OK);
    EXPECT_EQ(count(two.get()), 5);
    EXPECT_EQ(identity(item(two.get(), 305)), identity(added));
}

TEST_F(TagoraTest, EveryRouteToATagGivesTheSameObject) {
    ComPtr<IExif> exif = load(fullFile(false));
    ComPtr<ITags> collection = tags(ifd(exif.get(), &IExif::get_IFDSub).get());
    ComPtr<ITag> byId = item(collection.get(), 36867);
    ComPtr<ITag> byIndex;
    ASSERT_EQ(collection->get_ItemByIndex(1, byIndex.put()), S_OK);
    EXPECT_EQ(identity(byId), identity(byIndex));
    // Through another collection and the enumerator.
    ComPtr<ITags> other = tags(ifd(exif.get(), &IExif::get_IFDSub).get());
    EXPECT_EQ(identity(item(other.get(), 36867)), identity(byId));
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(other->get__NewEnum(unknown.put()), S_OK);
    ComPtr<IEnumVARIANT> items = unknown.as<IEnumVARIANT>();
    ASSERT_TRUE(items);
    Variant v[2];
    ULONG fetched = 0;
    ASSERT_EQ(items->Next(2, v, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    ComPtr<ITag> enumerated;
    v[1].pdispVal->QueryInterface(IID_ITag, enumerated.putVoid());
    EXPECT_EQ(identity(enumerated), identity(byId));
}

TEST_F(TagoraTest, ATagOutlivesItsDirectoryAndDocument) {
    ComPtr<ITag> date, unknown;
    {
        ComPtr<IExif> exif = load(fullFile(true));
        ComPtr<ITags> sub = tags(ifd(exif.get(), &IExif::get_IFDSub).get());
        date = item(sub.get(), 36867);
        unknown = item(sub.get(), 37383);
        // A removed tag lives on too.
        ASSERT_EQ(sub->Delete(static_cast<EXIFTAG>(37383)), S_OK);
    }
    CoFreeUnusedLibraries();
    EXPECT_TRUE(platform::com::isModuleLoaded(TAGORA_MODULE));
    EXPECT_EQ(text(&ITag::get_Name, date.get()), "DateTimeOriginal");
    EXPECT_EQ(text(&ITag::get_Mean, date.get()), "原画像データの生成日時");
    EXPECT_EQ(valueString(date.get()), "2004:05:06 12:34:56");
    EXPECT_EQ(text(&ITag::get_Name, unknown.get()), "MeteringMode");
    EXPECT_EQ(valueString(unknown.get()), "2,2");
    Variant first;
    EXPECT_EQ(date->get_Value(0, &first), S_OK);
    EXPECT_EQ(first.cVal, '2');
}

// ---------------------------------------------------------------------------
// The tag collection

TEST_F(TagoraTest, AddAppendsAnEmptyTagOrRefusesAnIdThatIsThere) {
    ComPtr<IExif> exif = load(fullFile(true));
    ComPtr<ITags> gps = tags(ifd(exif.get(), &IExif::get_IFDGps).get());
    ComPtr<ITag> added;
    ASSERT_EQ(gps->Add(tagora::etGPSAltitude, tagora::ttRATIONAL, added.put()), S_OK);
    EXPECT_EQ(count(gps.get()), 4);
    EXPECT_EQ(text(&ITag::get_Name, added.get()), "GPSAltitude");
    EXPECT_EQ(valueString(added.get()), "");
    ComPtr<ITag> last;
    ASSERT_EQ(gps->get_ItemByIndex(3, last.put()), S_OK);
    EXPECT_EQ(identity(last), identity(added));

    ComPtr<ITag> again;
    EXPECT_EQ(gps->Add(tagora::etGPSLatitudeRef, tagora::ttSHORT, again.put()), TAGORA_E_INVALIDINDEX);
    EXPECT_FALSE(again);
    EXPECT_EQ(count(gps.get()), 4);
    ComPtr<ITag> ref = item(gps.get(), 1);
    EXPECT_EQ(valueString(ref.get()), "N");
    TAGTYPE type{};
    ref->get_Type(&type);
    EXPECT_EQ(type, tagora::ttASCII);

    // IDs and types are 16 bits wide; a larger number is refused rather
    // than cut to another tag.
    EXPECT_EQ(gps->Add(static_cast<EXIFTAG>(0x10001), tagora::ttSHORT, again.put()), DISP_E_OVERFLOW);
    EXPECT_EQ(gps->Add(static_cast<EXIFTAG>(-1), tagora::ttSHORT, again.put()), DISP_E_OVERFLOW);
    EXPECT_EQ(count(gps.get()), 4);
}

TEST_F(TagoraTest, LookupsOutsideTheCollectionFail) {
    ComPtr<IExif> exif = load(fullFile(true));
    ComPtr<ITags> main = tags(ifd(exif.get(), &IExif::get_IFDMain).get());
    const LONG n = count(main.get());
    ComPtr<ITag> tag;
    EXPECT_EQ(main->get_ItemByIndex(n, tag.put()), TAGORA_E_INVALIDINDEX);
    EXPECT_EQ(main->get_ItemByIndex(-1, tag.put()), TAGORA_E_INVALIDINDEX);
    EXPECT_EQ(main->get_ItemByIndex(n - 1, tag.put()), S_OK);
    EXPECT_EQ(main->get_Item(tagora::etModel, tag.put()), TAGORA_E_INVALIDINDEX);
    EXPECT_FALSE(tag);
    EXPECT_EQ(main->get_Item(static_cast<EXIFTAG>(271 + 0x10000), tag.put()), TAGORA_E_INVALIDINDEX);
    EXPECT_EQ(main->Delete(tagora::etModel), TAGORA_E_INVALIDINDEX);
    EXPECT_EQ(main->get_Count(nullptr), E_POINTER);
    EXPECT_EQ(main->get_Item(tagora::etMake, nullptr), E_POINTER);
}

TEST_F(TagoraTest, DeleteRemovesOneTagAndKeepsEveryOtherFindable) {
    ComPtr<IExif> exif = load(fullFile(true));
    ComPtr<ITags> sub = tags(ifd(exif.get(), &IExif::get_IFDSub).get());
    ASSERT_EQ(sub->Delete(tagora::etDateTimeOriginal), S_OK);
    EXPECT_EQ(count(sub.get()), 5);
    ComPtr<ITag> gone;
    EXPECT_EQ(sub->get_Item(tagora::etDateTimeOriginal, gone.put()), TAGORA_E_INVALIDINDEX);
    for (LONG id : {36864, 33434, 37383, 37510, 40965}) {
        EXIFTAG found{};
        item(sub.get(), id)->get_ID(&found);
        EXPECT_EQ(found, id);
    }
    EXPECT_EQ(sub->Delete(tagora::etDateTimeOriginal), TAGORA_E_INVALIDINDEX);
}

TEST_F(TagoraTest, TwoEntriesWithOneIdAreBothCountedAndLookupFindsTheLater) {
    ComPtr<IExif> exif = load(fileWithSubFields({Field::ascii(36867, "first"), Field::ascii(36867, "second")}));
    ComPtr<ITags> sub = tags(ifd(exif.get(), &IExif::get_IFDSub).get());
    EXPECT_EQ(count(sub.get()), 2);
    EXPECT_EQ(valueString(item(sub.get(), 36867).get()), "second");
}

TEST_F(TagoraTest, TheEnumeratorListsTheTagsAsTheyWereWhenItWasMade) {
    ComPtr<IExif> exif = load(fullFile(true));
    ComPtr<ITags> gps = tags(ifd(exif.get(), &IExif::get_IFDGps).get());
    ComPtr<IUnknown> before;
    ASSERT_EQ(gps->get__NewEnum(before.put()), S_OK);
    ComPtr<ITag> added;
    ASSERT_EQ(gps->Add(tagora::etGPSAltitude, tagora::ttRATIONAL, added.put()), S_OK);
    ASSERT_EQ(gps->Delete(tagora::etGPSVersionID), S_OK);
    EXPECT_EQ(enumeratedIds(before.get()), (std::vector<LONG>{0, 1, 2}));
    ComPtr<IUnknown> after;
    ASSERT_EQ(gps->get__NewEnum(after.put()), S_OK);
    EXPECT_EQ(enumeratedIds(after.get()), (std::vector<LONG>{1, 2, 6}));
    EXPECT_EQ(gps->get__NewEnum(nullptr), E_POINTER);
}

TEST_F(TagoraTest, TheCollectionIsTheDirectorysDefaultMemberAndItemTheCollections) {
    ComPtr<IExif> exif = load(fullFile(true));
    ComPtr<IIfd> sub = ifd(exif.get(), &IExif::get_IFDSub);
    Variant collection;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    ASSERT_EQ(sub->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &collection, nullptr, nullptr), S_OK);
    ASSERT_EQ(collection.vt, VT_DISPATCH);
    Variant id(LONG(36867));
    DISPPARAMS one{&id, nullptr, 1, 0};
    Variant tag;
    ASSERT_EQ(collection.pdispVal->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET, &one, &tag, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(tag.vt, VT_DISPATCH);
    Variant value;
    ASSERT_EQ(platform::com::getProperty(tag.pdispVal, "ValueString", &value), S_OK);
    EXPECT_EQ(value.toUtf8(), "2004:05:06 12:34:56");
    // A missing ID comes back as the member's own code.
    EXPECT_EQ(platform::com::getProperty(collection.pdispVal, "Item", &tag, {Variant(LONG(1))}), TAGORA_E_INVALIDINDEX);
}

// ---------------------------------------------------------------------------
// Segments

TEST_F(TagoraTest, MarkersAreTheLeadingSegmentsInFileOrder) {
    const std::string bytes = fullFile(true);
    ComPtr<IExif> exif = load(bytes);
    LONG n = 0;
    ASSERT_EQ(exif->get_MarkerCount(&n), S_OK);
    ASSERT_EQ(n, 2);
    ComPtr<IMarker> jfif, app1, again;
    ASSERT_EQ(exif->get_MarkerItem(0, jfif.put()), S_OK);
    ASSERT_EQ(exif->get_MarkerItem(1, app1.put()), S_OK);
    ASSERT_EQ(exif->get_MarkerItem(1, again.put()), S_OK);
    EXPECT_EQ(identity(app1), identity(again));
    LONG code = 0, length = 0;
    jfif->get_Code(&code);
    EXPECT_EQ(code, 0xFFE0);
    app1->get_Code(&code);
    app1->get_Length(&length);
    EXPECT_EQ(code, 65505);
    Bstr name;
    app1->get_Name(name.put());
    EXPECT_EQ(name.utf8(), "Exif");
    jfif->get_Name(name.put());
    EXPECT_EQ(name.utf8(), "JFIF");

    Variant data;
    ASSERT_EQ(app1->get_Data(&data), S_OK);
    ASSERT_EQ(data.vt, VT_ARRAY | VT_UI1);
    LONG lower = -1, upper = -1;
    SafeArrayGetLBound(data.parray, 1, &lower);
    SafeArrayGetUBound(data.parray, 1, &upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper + 1, length + 2);
    void* raw = nullptr;
    ASSERT_EQ(SafeArrayAccessData(data.parray, &raw), S_OK);
    const std::string segment(static_cast<const char*>(raw), std::size_t(length + 2));
    SafeArrayUnaccessData(data.parray);
    // The segment as it stands in the file, behind SOI and the JFIF segment.
    EXPECT_EQ(bytes.substr(2 + 18, segment.size()), segment);

    ComPtr<IMarker> none;
    EXPECT_EQ(exif->get_MarkerItem(2, none.put()), TAGORA_E_INVALIDINDEX);
    EXPECT_EQ(exif->get_MarkerItem(-1, none.put()), TAGORA_E_INVALIDINDEX);
    EXPECT_FALSE(none);
}

// ---------------------------------------------------------------------------
// Members not provided in this version

TEST_F(TagoraTest, RotateExifFileAndSaveHeaderOnlyShowTheirMessage) {
    testing_support::ScriptedUi ui;
    platform::ScopedUi scope(ui);
    const std::string bytes = fullFile(true);
    const std::string path = file(bytes);
    Bstr name(path);
    EXPECT_EQ(m_ctl->RotateExifFile(name.get(), 1), S_OK);
    ComPtr<IExif> exif = loadPath(path);
    LONG result = 7;
    Bstr other(m_dir.str("header.jpg"));
    EXPECT_EQ(exif->SaveHeader(other.get(), &result), S_OK);
    EXPECT_EQ(result, 0);

    ASSERT_EQ(ui.calls.size(), 2u);
    for (const auto& call : ui.calls) {
        EXPECT_EQ(call.kind, "message");
        EXPECT_EQ(call.text, "本バージョンでは機能しません。");
        EXPECT_EQ(call.caption, "");
        EXPECT_EQ(call.buttons, platform::MsgButtons::Ok);
    }
    EXPECT_EQ(testing_support::readBytes(path), bytes);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "header.jpg"));
}

// ---------------------------------------------------------------------------
// Objects created directly

TEST_F(TagoraTest, DirectlyCreatedObjectsAreEmptyButSafe) {
    ComPtr<IExif> exif;
    ASSERT_EQ(platform::com::createObject("Tagora.Exif", exif), S_OK);
    LONG n = -1, written = 5;
    exif->get_MarkerCount(&n);
    EXPECT_EQ(n, 0);
    Bstr target(m_dir.str("thumb.jpg"));
    EXPECT_EQ(exif->SaveThumbnail(target.get(), &written), S_FALSE);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(exif->RotateThumbnail(1), S_FALSE);
    EXPECT_EQ(count(tags(ifd(exif.get(), &IExif::get_IFDSub).get()).get()), 0);

    ComPtr<IMarker> marker;
    ASSERT_EQ(platform::com::createObject("Tagora.Marker", marker), S_OK);
    Variant data;
    ASSERT_EQ(marker->get_Data(&data), S_OK);
    EXPECT_EQ(data.vt, VT_ARRAY | VT_UI1);
    LONG upper = 0;
    SafeArrayGetUBound(data.parray, 1, &upper);
    EXPECT_EQ(upper, -1);

    ComPtr<IIfd> lone;
    ASSERT_EQ(platform::com::createObject("Tagora.Ifd", lone), S_OK);
    ComPtr<ITags> none = tags(lone.get());
    EXPECT_EQ(count(none.get()), 0);
    ComPtr<ITag> tag;
    EXPECT_EQ(none->Add(tagora::etMake, tagora::ttASCII, tag.put()), TAGORA_E_INVALIDINDEX);
    ComPtr<ITags> direct;
    ASSERT_EQ(platform::com::createObject("Tagora.Tags", direct), S_OK);
    EXPECT_EQ(direct->get_ItemByIndex(0, tag.put()), TAGORA_E_INVALIDINDEX);
    ComPtr<IUnknown> empty;
    ASSERT_EQ(direct->get__NewEnum(empty.put()), S_OK);
    EXPECT_TRUE(enumeratedIds(empty.get()).empty());

    ASSERT_EQ(platform::com::createObject("Tagora.Tag", tag), S_OK);
    EXPECT_EQ(text(&ITag::get_Name, tag.get()), "Unknown");
    EXPECT_EQ(text(&ITag::get_Mean, tag.get()), "不明");
    ASSERT_EQ(tag->put_Type(tagora::ttSHORT), S_OK);
    Variant five(LONG(5));
    ASSERT_EQ(tag->PushValue(&five, nullptr), S_OK);
    EXPECT_EQ(valueString(tag.get()), "5");
}

// ---------------------------------------------------------------------------
// Error information and the module

TEST_F(TagoraTest, EveryClassReportsErrorInformationForItsOwnInterfaceOnly) {
    const std::pair<const char*, IID> classes[] = {{"Tagora.ExifCtl", IID_IExifCtl}, {"Tagora.Exif", IID_IExif},
                                                   {"Tagora.Marker", IID_IMarker},   {"Tagora.Ifd", IID_IIfd},
                                                   {"Tagora.Tags", IID_ITags},       {"Tagora.Tag", IID_ITag}};
    for (const auto& [progId, iid] : classes) {
        ComPtr<ISupportErrorInfo> info;
        ASSERT_EQ(platform::com::createObject(progId, info), S_OK) << progId;
        EXPECT_EQ(info->InterfaceSupportsErrorInfo(iid), S_OK) << progId;
        EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE) << progId;
        EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_ITag == iid ? IID_ITags : IID_ITag), S_FALSE) << progId;
        // The default interface and IDispatch are the one object.
        ComPtr<IDispatch> dispatch = info.as<IDispatch>();
        void* dual = nullptr;
        ASSERT_EQ(info->QueryInterface(iid, &dual), S_OK);
        EXPECT_EQ(dual, static_cast<void*>(dispatch.get()));
        static_cast<IUnknown*>(dual)->Release();
    }
}

TEST_F(TagoraTest, TheModuleStaysWhileAnyObjectOrLockIsAlive) {
    ComPtr<ITag> tag;
    {
        ComPtr<IExif> exif = load(fullFile(true));
        tag = subTag(exif.get(), 36867);
    }
    m_ctl.reset();
    CoFreeUnusedLibraries();
    EXPECT_TRUE(platform::com::isModuleLoaded(TAGORA_MODULE));
    tag.reset();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(platform::com::isModuleLoaded(TAGORA_MODULE));

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_Tag, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.putVoid()), S_OK);
    ASSERT_EQ(factory->LockServer(1), S_OK);
    factory.reset();
    CoFreeUnusedLibraries();
    EXPECT_TRUE(platform::com::isModuleLoaded(TAGORA_MODULE));
    ASSERT_EQ(CoGetClassObject(CLSID_Tag, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.putVoid()), S_OK);
    ASSERT_EQ(factory->LockServer(0), S_OK);
    ComPtr<IUnknown> aggregated;
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory.get()), IID_IUnknown, aggregated.putVoid()),
              CLASS_E_NOAGGREGATION);
}

TEST_F(TagoraTest, MembersAreFoundByNameUnderTheirDispatchIds) {
    struct Expected {
        const char* progId;
        std::vector<std::pair<const char16_t*, DISPID>> members;
    };
    const Expected all[] = {
        {"Tagora.ExifCtl", {{u"RotateExifFile", 1}, {u"LoadHeader", 2}}},
        {"Tagora.Exif",
         {{u"SaveThumbnail", 1}, {u"SaveHeader", 2}, {u"RotateThumbnail", 3}, {u"IFDMain", 4}, {u"IFDThumbnail", 5},
          {u"IFDSub", 6}, {u"IFDInteroperability", 7}, {u"IFDGps", 8}, {u"MarkerItem", 9}, {u"MarkerCount", 10},
          {u"UserComment", 11}}},
        {"Tagora.Marker", {{u"Code", 1}, {u"Length", 2}, {u"Data", 3}, {u"Name", 4}}},
        {"Tagora.Ifd", {{u"Tags", 0}, {u"Name", 2}}},
        {"Tagora.Tags", {{u"Add", 1}, {u"Delete", 2}, {u"Count", 3}, {u"Item", 0}, {u"ItemByIndex", 5}, {u"_NewEnum", -4}}},
        {"Tagora.Tag",
         {{u"ClearValue", 1}, {u"PushValue", 2}, {u"ID", 3}, {u"Type", 4}, {u"ValueString", 5}, {u"Value", 6},
          {u"ValueSecond", 7}, {u"Name", 8}, {u"Mean", 9}}},
    };
    for (const Expected& e : all) {
        ComPtr<IDispatch> object;
        ASSERT_EQ(platform::com::createObject(e.progId, object), S_OK) << e.progId;
        UINT infos = 9;
        EXPECT_EQ(object->GetTypeInfoCount(&infos), S_OK);
        for (const auto& [name, dispid] : e.members) {
            std::u16string n = name;
            LPOLESTR names[] = {n.data()};
            DISPID id = 12345;
            EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << e.progId;
            EXPECT_EQ(id, dispid) << e.progId;
        }
        std::u16string unknown = u"Nonexistent";
        LPOLESTR names[] = {unknown.data()};
        DISPID id = 0;
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    }
    // Parameter names answer too.
    ComPtr<IDispatch> tags;
    ASSERT_EQ(platform::com::createObject("Tagora.Tags", tags), S_OK);
    std::u16string add = u"add", id = u"id", type = u"TYPE";
    LPOLESTR names[] = {add.data(), id.data(), type.data()};
    DISPID ids[3];
    ASSERT_EQ(tags->GetIDsOfNames(IID_NULL, names, 3, 0, ids), S_OK);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], 0);
    EXPECT_EQ(ids[2], 1);
}
