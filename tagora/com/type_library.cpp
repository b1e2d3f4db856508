#include "tagora/com/type_library.h"

#include "tagora/com/tagora.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tagora::com {
namespace {

using platform::com::ClassRegistration;
using platform::com::DispatchTable;
using platform::com::DispMember;
using platform::com::InterfaceRegistration;
using platform::com::TypeLibRegistration;

constexpr WORD kMethod = DISPATCH_METHOD;
constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kPut = DISPATCH_PROPERTYPUT;

// Help strings: "ﾒｿｯﾄﾞ " or "ﾌﾟﾛﾊﾟﾃｨ " and the member's name, spelled out so
// that the one member whose help names it differently stands out.
MemberDescription method(const char16_t* name, DISPID id, std::vector<const char16_t*> params, const char* help) {
    return {name, id, kMethod, std::move(params), help};
}
MemberDescription get(const char16_t* name, DISPID id, std::vector<const char16_t*> params, const char* help) {
    return {name, id, kGet, std::move(params), help};
}
MemberDescription put(const char16_t* name, DISPID id, std::vector<const char16_t*> params, const char* help) {
    return {name, id, kPut, std::move(params), help};
}

TypeLibraryDescription build() {
    TypeLibraryDescription lib;
    lib.libid = LIBID_TAGORALib;
    lib.version = "1.0";
    lib.lcid = 0x0409;
    lib.helpString = "Tagora 1.0 ｺﾝﾄﾛｰﾙ";

    lib.interfaces = {
        {"IExifCtl", IID_IExifCtl, "IExifCtl Interface",
         {
             method(u"RotateExifFile", 1, {u"filename", u"angle"}, "ﾒｿｯﾄﾞ RotateExifFile"),
             method(u"LoadHeader", 2, {u"filename"}, "ﾒｿｯﾄﾞ LoadHeader"),
         }},
        {"IExif", IID_IExif, "IExif Interface",
         {
             method(u"SaveThumbnail", 1, {u"filename"}, "ﾒｿｯﾄﾞ SaveThumbnail"),
             method(u"SaveHeader", 2, {u"filename"}, "ﾒｿｯﾄﾞ SaveHeader"),
             method(u"RotateThumbnail", 3, {u"angle"}, "ﾒｿｯﾄﾞ RotateThumbnail"),
             get(u"IFDMain", 4, {}, "ﾌﾟﾛﾊﾟﾃｨ IFDMain"),
             get(u"IFDThumbnail", 5, {}, "ﾌﾟﾛﾊﾟﾃｨ IFDThumbnail"),
             get(u"IFDSub", 6, {}, "ﾌﾟﾛﾊﾟﾃｨ IFDSub"),
             get(u"IFDInteroperability", 7, {}, "ﾌﾟﾛﾊﾟﾃｨ IFDInteroperability"),
             get(u"IFDGps", 8, {}, "ﾌﾟﾛﾊﾟﾃｨ IFDGps"),
             get(u"MarkerItem", 9, {u"index"}, "ﾌﾟﾛﾊﾟﾃｨ MarkerItem"),
             get(u"MarkerCount", 10, {}, "ﾌﾟﾛﾊﾟﾃｨ MarkerCount"),
             get(u"UserComment", 11, {}, "ﾌﾟﾛﾊﾟﾃｨ UserComment"),
             put(u"UserComment", 11, {u"newVal"}, "ﾌﾟﾛﾊﾟﾃｨ UserComment"),
         }},
        {"IMarker", IID_IMarker, "IMarker Interface",
         {
             get(u"Code", 1, {}, "ﾌﾟﾛﾊﾟﾃｨ Code"),
             get(u"Length", 2, {}, "ﾌﾟﾛﾊﾟﾃｨ Length"),
             get(u"Data", 3, {}, "ﾌﾟﾛﾊﾟﾃｨ Data"),
             get(u"Name", 4, {}, "ﾌﾟﾛﾊﾟﾃｨ Name"),
         }},
        {"IIfd", IID_IIfd, "IIfd Interface",
         {
             get(u"Tags", DISPID_VALUE, {}, "ﾌﾟﾛﾊﾟﾃｨ Tags"),
             get(u"Name", 2, {}, "ﾌﾟﾛﾊﾟﾃｨ Name"),
         }},
        {"ITags", IID_ITags, "ITags Interface",
         {
             method(u"Add", 1, {u"ID", u"Type"}, "ﾒｿｯﾄﾞ Add"),
             method(u"Delete", 2, {u"ID"}, "ﾒｿｯﾄﾞ DeleteTag"),
             get(u"Count", 3, {}, "ﾌﾟﾛﾊﾟﾃｨ Count"),
             get(u"Item", DISPID_VALUE, {u"ID"}, "ﾌﾟﾛﾊﾟﾃｨ Item"),
             get(u"ItemByIndex", 5, {u"index"}, "ﾌﾟﾛﾊﾟﾃｨ ItemByIndex"),
             {u"_NewEnum", DISPID_NEWENUM, kGet, {}, "_NewEnum", true},
         }},
        {"ITag", IID_ITag, "ITag Interface",
         {
             method(u"ClearValue", 1, {}, "ﾒｿｯﾄﾞ ClearValue"),
             method(u"PushValue", 2, {u"Val1", u"Val2"}, "ﾒｿｯﾄﾞ PushValue"),
             get(u"ID", 3, {}, "ﾌﾟﾛﾊﾟﾃｨ ID"),
             put(u"ID", 3, {u"newVal"}, "ﾌﾟﾛﾊﾟﾃｨ ID"),
             get(u"Type", 4, {}, "ﾌﾟﾛﾊﾟﾃｨ Type"),
             put(u"Type", 4, {u"newVal"}, "ﾌﾟﾛﾊﾟﾃｨ Type"),
             get(u"ValueString", 5, {}, "ﾌﾟﾛﾊﾟﾃｨ ValueString"),
             get(u"Value", 6, {u"index"}, "ﾌﾟﾛﾊﾟﾃｨ Value"),
             put(u"Value", 6, {u"index", u"newVal"}, "ﾌﾟﾛﾊﾟﾃｨ Value"),
             get(u"ValueSecond", 7, {u"index"}, "ﾌﾟﾛﾊﾟﾃｨ ValueSecond"),
             put(u"ValueSecond", 7, {u"index", u"newVal"}, "ﾌﾟﾛﾊﾟﾃｨ ValueSecond"),
             get(u"Name", 8, {}, "ﾌﾟﾛﾊﾟﾃｨ Name"),
             get(u"Mean", 9, {}, "ﾌﾟﾛﾊﾟﾃｨ Mean"),
         }},
    };

    const auto cls = [&](const char* name, const CLSID& clsid, std::size_t iface, const char* description,
                         const char* progId, const char* independent) {
        ClassRegistration r{clsid, description, progId, independent, LIBID_TAGORALib};
        return ClassDescription{name, clsid, &lib.interfaces[iface], r};
    };
    lib.classes = {
        cls("ExifCtl", CLSID_ExifCtl, 0, "ExifCtl Class", "Tagora.ExifCtl.1", "Tagora.ExifCtl"),
        cls("Exif", CLSID_Exif, 1, "Exif Class", "Tagora.Exif.1", "Tagora.Exif"),
        cls("Marker", CLSID_Marker, 2, "Marker Class", "Tagora.Marker.1", "Tagora.Marker"),
        cls("Ifd", CLSID_Ifd, 3, "Ifd Class", "Tagora.Ifd.1", "Tagora.Ifd"),
        cls("Tags", CLSID_Tags, 4, "Tags Class", "Tagora.Tags.1", "Tagora.Tags"),
        cls("Tag", CLSID_Tag, 5, "Tag Class", "Tagora.Tag.1", "Tagora.Tag"),
    };
    ClassRegistration& control = lib.classes[0].registration;
    control.control = true;
    control.toolboxBitmap = "101";
    // Set client site first, invisible at run time, activate when visible,
    // inside-out, cannot link inside, recompose on resize.
    control.miscStatus = "132497";
    control.version = "1.0";
    return lib;
}

struct Registrations {
    std::vector<ClassRegistration> classes;
    std::vector<InterfaceRegistration> interfaces;
    TypeLibRegistration typeLib;
};

const Registrations& registrations() {
    static const Registrations r = [] {
        const TypeLibraryDescription& lib = typeLibrary();
        Registrations out;
        for (const ClassDescription& c : lib.classes) out.classes.push_back(c.registration);
        for (const InterfaceDescription& i : lib.interfaces) out.interfaces.push_back({i.iid, i.name});
        out.typeLib = {lib.libid, lib.version, lib.helpString, "0", {}};
        return out;
    }();
    return r;
}

[[noreturn]] void brokenTable(const InterfaceDescription& i, std::size_t row, const char* why) {
    std::fprintf(stderr, "Tagora: dispatch table of %s, row %zu: %s\n", i.name, row, why);
    std::abort();
}

}  // namespace

const TypeLibraryDescription& typeLibrary() {
    static const TypeLibraryDescription lib = build();
    return lib;
}

const InterfaceDescription& interfaceDescription(REFIID iid) {
    for (const InterfaceDescription& i : typeLibrary().interfaces)
        if (IsEqualIID(i.iid, iid)) return i;
    std::fprintf(stderr, "Tagora: no interface description for an IID\n");
    std::abort();
}

std::span<const ClassRegistration> classRegistrations() { return registrations().classes; }

const TypeLibRegistration& typeLibRegistration() {
    static const TypeLibRegistration lib = [] {
        TypeLibRegistration r = registrations().typeLib;
        r.interfaces = registrations().interfaces;
        return r;
    }();
    return lib;
}

DispatchTable describedTable(REFIID iid, std::initializer_list<DispMember> rows) {
    const InterfaceDescription& description = interfaceDescription(iid);
    if (rows.size() != description.members.size()) brokenTable(description, rows.size(), "row count");
    std::vector<DispMember> named(rows);
    for (std::size_t i = 0; i < named.size(); ++i) {
        const MemberDescription& m = description.members[i];
        if (named[i].kind != m.kind) brokenTable(description, i, "kind");
        if (named[i].paramCount != m.params.size()) brokenTable(description, i, "parameter count");
        named[i].name = m.name;
        named[i].dispid = m.dispid;
        named[i].paramNames = m.params;
    }
    return DispatchTable(std::move(named));
}

}  // namespace tagora::com
