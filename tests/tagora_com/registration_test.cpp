// What DllRegisterServer writes into a registry and DllUnregisterServer
// removes, in a registry of the test's own.
#include "platform/com/creation.h"
#include "platform/com/guid.h"
#include "platform/com/registry.h"
#include "tagora/com/tagora.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <optional>

using namespace platform::com;

namespace {

struct ClassKeys {
    CLSID clsid;
    const char* name;
};

const ClassKeys kClasses[] = {{CLSID_ExifCtl, "ExifCtl"}, {CLSID_Exif, "Exif"}, {CLSID_Marker, "Marker"},
                              {CLSID_Ifd, "Ifd"},         {CLSID_Tags, "Tags"}, {CLSID_Tag, "Tag"}};

const char* const kLibid = "{7706139C-0101-0001-8F5A-B8A5D866B9BE}";

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("MIROFOTO_REGISTRY")) m_old = old;
        ::setenv("MIROFOTO_REGISTRY", m_dir.str("registry.ini").c_str(), 1);
        m_module = std::filesystem::canonical(TAGORA_MODULE).string();
    }
    void TearDown() override {
        if (m_old) ::setenv("MIROFOTO_REGISTRY", m_old->c_str(), 1);
        else ::unsetenv("MIROFOTO_REGISTRY");
        EXPECT_EQ(::dlopen(TAGORA_MODULE, RTLD_NOW | RTLD_NOLOAD), nullptr);
    }
    RegistryTree tree() const {
        RegistryTree t;
        EXPECT_EQ(RegistryFile().load(t), S_OK);
        return t;
    }
    std::optional<std::string> value(const RegistryTree& t, const std::string& key, const std::string& name = "") {
        return t.queryValue(key, name);
    }

    testing_support::TempDir m_dir;
    std::optional<std::string> m_old;
    std::string m_module;
};

}  // namespace

TEST_F(Registration, EveryClassIsWrittenWithItsProgIdsAndServer) {
    ASSERT_EQ(registerServer(TAGORA_MODULE, false), S_OK);
    const RegistryTree t = tree();
    for (const ClassKeys& c : kClasses) {
        const std::string clsid = guidToString(c.clsid);
        const std::string description = std::string(c.name) + " Class";
        const std::string progId = std::string("Tagora.") + c.name;
        const std::string versioned = progId + ".1";
        SCOPED_TRACE(c.name);
        EXPECT_EQ(value(t, versioned), description);
        EXPECT_EQ(value(t, versioned + "\\CLSID"), clsid);
        EXPECT_EQ(value(t, progId), description);
        EXPECT_EQ(value(t, progId + "\\CLSID"), clsid);
        EXPECT_EQ(value(t, progId + "\\CurVer"), versioned);
        const std::string key = "CLSID\\" + clsid;
        EXPECT_EQ(value(t, key), description);
        EXPECT_EQ(value(t, key + "\\ProgID"), versioned);
        EXPECT_EQ(value(t, key + "\\VersionIndependentProgID"), progId);
        EXPECT_TRUE(t.keyExists(key + "\\Programmable"));
        EXPECT_EQ(value(t, key + "\\InprocServer32"), m_module);
        EXPECT_EQ(value(t, key + "\\InprocServer32", "ThreadingModel"), "Apartment");
        EXPECT_EQ(value(t, key + "\\TypeLib"), kLibid);
        const bool control = IsEqualCLSID(c.clsid, CLSID_ExifCtl);
        EXPECT_EQ(t.keyExists(key + "\\Control"), control);
        EXPECT_EQ(t.keyExists(key + "\\Insertable"), control);
        if (control) {
            EXPECT_EQ(value(t, key + "\\ToolboxBitmap32"), m_module + ", 101");
            EXPECT_EQ(value(t, key + "\\MiscStatus"), "0");
            EXPECT_EQ(value(t, key + "\\MiscStatus\\1"), "132497");
            EXPECT_EQ(value(t, key + "\\Version"), "1.0");
        } else {
            EXPECT_FALSE(t.keyExists(key + "\\MiscStatus"));
        }
    }
    EXPECT_EQ(value(t, std::string("TypeLib\\") + kLibid + "\\1.0"), "Tagora 1.0 ｺﾝﾄﾛｰﾙ");
    EXPECT_EQ(value(t, std::string("TypeLib\\") + kLibid + "\\1.0\\0\\linux"), m_module);
    for (const auto& [iid, name] : {std::pair{IID_IExifCtl, "IExifCtl"}, {IID_IExif, "IExif"}, {IID_IMarker, "IMarker"},
                                    {IID_IIfd, "IIfd"}, {IID_ITags, "ITags"}, {IID_ITag, "ITag"}}) {
        EXPECT_EQ(value(t, "Interface\\" + guidToString(iid)), name);
        EXPECT_EQ(value(t, "Interface\\" + guidToString(iid) + "\\TypeLib"), kLibid);
    }
    // Registered, the classes are created by ProgID.
    ComPtr<IUnknown> tag;
    EXPECT_EQ(createObject("Tagora.Tag.1", tag), S_OK);
    tag.reset();
    CoFreeUnusedLibraries();
}

TEST_F(Registration, RegisteringAgainRewritesTheClassKeys) {
    ASSERT_EQ(registerServer(TAGORA_MODULE, false), S_OK);
    const std::string key = "CLSID\\" + guidToString(CLSID_ExifCtl);
    ASSERT_EQ(RegistryFile().update([&](RegistryTree& t) {
        t.setValue(key + "\\Stale", "", "left behind");
        return t.setValue(key + "\\InprocServer32", "", "/elsewhere/libtagora.so");
    }),
              S_OK);
    ASSERT_EQ(registerServer(TAGORA_MODULE, false), S_OK);
    const RegistryTree t = tree();
    EXPECT_FALSE(t.keyExists(key + "\\Stale"));
    EXPECT_EQ(value(t, key + "\\InprocServer32"), m_module);
}

TEST_F(Registration, UnregisteringRemovesEveryKeyButTheClsidRoot) {
    ASSERT_EQ(RegistryFile().update([](RegistryTree& t) {
        return t.setValue("CLSID\\{00000000-0000-0000-0000-00000000ABCD}", "", "someone else");
    }),
              S_OK);
    ASSERT_EQ(registerServer(TAGORA_MODULE, false), S_OK);
    ASSERT_EQ(registerServer(TAGORA_MODULE, true), S_OK);
    const RegistryTree t = tree();
    for (const ClassKeys& c : kClasses) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(t.keyExists(std::string("Tagora.") + c.name));
        EXPECT_FALSE(t.keyExists(std::string("Tagora.") + c.name + ".1"));
        EXPECT_FALSE(t.keyExists("CLSID\\" + guidToString(c.clsid)));
    }
    EXPECT_FALSE(t.keyExists(std::string("TypeLib\\") + kLibid));
    EXPECT_FALSE(t.keyExists("Interface\\" + guidToString(IID_ITag)));
    EXPECT_TRUE(t.keyExists("CLSID"));
    EXPECT_EQ(value(t, "CLSID\\{00000000-0000-0000-0000-00000000ABCD}"), "someone else");
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(u"Tagora.ExifCtl", &clsid), CO_E_CLASSSTRING);

    // Unregistering what is not there is no failure; the root stays.
    ASSERT_EQ(RegistryFile().update([](RegistryTree& t) {
        t.deleteTree("CLSID\\{00000000-0000-0000-0000-00000000ABCD}");
        return S_OK;
    }),
              S_OK);
    EXPECT_EQ(registerServer(TAGORA_MODULE, true), S_OK);
    EXPECT_TRUE(tree().keyExists("CLSID"));
}

TEST_F(Registration, ARegistryThatCannotBeWrittenIsReported) {
    // A folder standing where the registry file must go (works as root too).
    std::filesystem::create_directories(m_dir / "registry.ini");
    EXPECT_TRUE(FAILED(registerServer(TAGORA_MODULE, false)));
}
