// The Tagora control as its clients reach it: created by ProgID through the
// build tree's registry. Every test leaves no object alive: afterwards the
// module agrees to unload and is unloaded.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/comptr.h"
#include "platform/com/creation.h"
#include "platform/com/registry.h"
#include "tagora/com/tagora.h"
#include "tagora_files.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <string>

class TagoraTest : public ::testing::Test {
protected:
    using Bstr = platform::com::Bstr;
    template <class T>
    using ComPtr = platform::com::ComPtr<T>;

    void SetUp() override {
        ASSERT_EQ(platform::com::createObject(kExifCtlProgId, m_ctl), S_OK)
            << "is libtagora.so registered in " << platform::com::registryPath() << "?";
    }
    void TearDown() override {
        m_ctl.reset();
        CoFreeUnusedLibraries();
        EXPECT_FALSE(platform::com::isModuleLoaded(TAGORA_MODULE)) << "an object of the module is still alive";
    }

    /// Writes the bytes as a file of the test's folder; its path.
    std::string file(const std::string& bytes, const std::string& name = "picture.jpg") {
        testing_support::writeBytes(m_dir / name, bytes);
        return m_dir.str(name);
    }

    /// LoadHeader on the bytes written as a file; null when it fails.
    ComPtr<IExif> load(const std::string& bytes) { return loadPath(file(bytes)); }
    ComPtr<IExif> loadPath(const std::string& path) {
        ComPtr<IExif> exif;
        Bstr name(path);
        EXPECT_EQ(m_ctl->LoadHeader(name.get(), exif.put()), S_OK) << path;
        return exif;
    }

    /// A directory of a loaded file and a new collection over it.
    static ComPtr<IIfd> ifd(IExif* exif, HRESULT (IExif::*get)(IIfd**)) {
        ComPtr<IIfd> out;
        EXPECT_EQ((exif->*get)(out.put()), S_OK);
        return out;
    }
    static ComPtr<ITags> tags(IIfd* ifd) {
        ComPtr<ITags> out;
        EXPECT_EQ(ifd->get_Tags(out.put()), S_OK);
        return out;
    }
    static ComPtr<ITag> item(ITags* tags, LONG id) {
        ComPtr<ITag> out;
        EXPECT_EQ(tags->get_Item(static_cast<EXIFTAG>(id), out.put()), S_OK) << id;
        return out;
    }
    /// The tag with the ID in IFD Sub of the loaded file.
    static ComPtr<ITag> subTag(IExif* exif, LONG id) {
        return item(tags(ifd(exif, &IExif::get_IFDSub).get()).get(), id);
    }

    static std::string text(HRESULT (ITag::*get)(BSTR*), ITag* tag) {
        Bstr b;
        EXPECT_EQ((tag->*get)(b.put()), S_OK);
        return b.utf8();
    }
    static std::string valueString(ITag* tag) { return text(&ITag::get_ValueString, tag); }

    /// The identity of a COM object: its IUnknown.
    template <class T>
    static IUnknown* identity(const ComPtr<T>& p) {
        ComPtr<IUnknown> unknown = p.template as<IUnknown>();
        return unknown.get();
    }

    testing_support::TempDir m_dir;
    ComPtr<IExifCtl> m_ctl;
};
