// The type description the module's dispatch tables and registration are
// made from: the help strings, descriptions and attributes callers of the
// type library read.
#include "tagora/com/tagora.h"
#include "tagora/com/type_library.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace tagora::com;

namespace {

std::string utf8(const char16_t* s) {
    std::string out;
    for (; *s; ++s) out.push_back(static_cast<char>(*s));  // member names are ASCII
    return out;
}

}  // namespace

TEST(TypeLibrary, AttributesOfTheLibrary) {
    const TypeLibraryDescription& lib = typeLibrary();
    EXPECT_EQ(lib.libid, LIBID_TAGORALib);
    EXPECT_STREQ(lib.version, "1.0");
    EXPECT_EQ(lib.lcid, 0x0409u);
    EXPECT_STREQ(lib.helpString, "Tagora 1.0 ｺﾝﾄﾛｰﾙ");
    ASSERT_EQ(lib.interfaces.size(), 6u);
    ASSERT_EQ(lib.classes.size(), 6u);
    for (const ClassDescription& c : lib.classes) {
        EXPECT_EQ(std::string(c.registration.description), std::string(c.name) + " Class");
        EXPECT_EQ(std::string(c.defaultInterface->name), std::string("I") + c.name);
        EXPECT_EQ(c.registration.clsid, c.clsid);
    }
}

TEST(TypeLibrary, HelpStringsNameTheirMembers) {
    for (const InterfaceDescription& i : typeLibrary().interfaces) {
        EXPECT_EQ(std::string(i.description), std::string(i.name) + " Interface");
        std::set<DISPID> ids;
        for (const MemberDescription& m : i.members) {
            const std::string name = utf8(m.name);
            std::string expected = (m.kind == DISPATCH_METHOD ? "ﾒｿｯﾄﾞ " : "ﾌﾟﾛﾊﾟﾃｨ ") + name;
            if (name == "Delete") expected = "ﾒｿｯﾄﾞ DeleteTag";
            if (name == "_NewEnum") expected = "_NewEnum";
            EXPECT_EQ(m.helpString, expected) << i.name << "." << name;
            EXPECT_EQ(m.restricted, name == "_NewEnum") << name;
            // A property's get and put share their DISPID; nothing else does.
            if (m.kind != DISPATCH_PROPERTYPUT) {
                EXPECT_TRUE(ids.insert(m.dispid).second) << i.name << "." << name;
            }
        }
    }
}

TEST(TypeLibrary, EveryPutFollowsTheGetOfItsProperty) {
    for (const InterfaceDescription& i : typeLibrary().interfaces)
        for (std::size_t k = 0; k < i.members.size(); ++k) {
            const MemberDescription& m = i.members[k];
            if (m.kind != DISPATCH_PROPERTYPUT) continue;
            ASSERT_GT(k, 0u);
            const MemberDescription& get = i.members[k - 1];
            EXPECT_EQ(get.kind, DISPATCH_PROPERTYGET) << utf8(m.name);
            EXPECT_EQ(utf8(get.name), utf8(m.name));
            EXPECT_EQ(get.dispid, m.dispid);
            EXPECT_EQ(get.params.size() + 1, m.params.size()) << utf8(m.name);
        }
}
