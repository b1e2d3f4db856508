// An image folder with pictures, subfolders and stored choices, and the
// helpers the album run tests share.
#pragma once

#include "app/albumoutput/album_run.h"
#include "app/settings/per_folder_settings.h"
#include "platform/codepage.h"
#include "samples/photo_maker.h"
#include "tests/support/program_home.h"
#include "tests/support/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <unistd.h>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace albumrun_testing {

/// An observer that answers every question with No and tells nobody.
class Silent : public mirofoto::AlbumRunObserver {
public:
    platform::MsgResult ask(mirofoto::AlbumQuestion, std::string_view, platform::MsgButtons,
                            platform::MsgIcon) override {
        return platform::MsgResult::No;
    }
    void tell(std::string_view, platform::MsgIcon) override {}
};

/// While it lives, the calling thread (and every thread it starts) meets
/// file permissions as an ordinary user does, so that a test run as root
/// also finds a file it may not read. Not root: nothing to do.
class AsOrdinaryUser {
public:
    AsOrdinaryUser() : m_active(::geteuid() == 0) {
        if (!m_active) return;
        ::setfsgid(65534);
        ::setfsuid(65534);
    }
    ~AsOrdinaryUser() {
        if (!m_active) return;
        ::setfsuid(0);
        ::setfsgid(0);
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

private:
    bool m_active;
};

/// Lets anyone into and write into the folder (for runs as an ordinary user).
inline void openToAll(const std::filesystem::path& folder) {
    std::filesystem::permissions(folder, std::filesystem::perms::all);
}

/// A program folder of its own (MIROFOTO_HOME), an image folder and an
/// output folder.
class AlbumRunTest : public ::testing::Test {
protected:
    ProgramHome home;
    testing_support::TempDir tmp;
    testing_support::ScriptedUi ui;
    platform::ScopedUi scope{ui};
    std::string root;    ///< the image folder, ending in "/"
    std::string output;  ///< the output folder, ending in "/"
    std::map<std::string, std::string> dates;  ///< file name -> "yyyy/mm/dd hh:mm:ss"

    void SetUp() override {
        root = tmp.str("photos") + "/";
        output = tmp.str("out") + "/";
        std::filesystem::create_directories(tmp / "out");
    }

    /// Writes a picture of the size into the image folder (relative path).
    void photo(const std::string& relative, int width, int height, const std::string& date = "",
               const std::string& comment = "") {
        samples::PhotoSpec spec;
        spec.width = width;
        spec.height = height;
        spec.seed = static_cast<std::uint32_t>(std::hash<std::string>{}(relative));
        spec.quality = 80;
        spec.noise = 2;
        spec.shootingDate = date;
        spec.commentCp932 = *platform::utf8ToCp932(comment);
        std::filesystem::create_directories(std::filesystem::path(root + relative).parent_path());
        samples::writePhotoJpeg(root + relative, spec);
        if (!date.empty()) {
            std::string d = date;
            d[4] = d[7] = '/';
            dates[std::filesystem::path(relative).filename().string()] = d;
        }
    }

    mirofoto::PerFolderSettings stored() const { return mirofoto::PerFolderSettings(root); }

    /// A request for the given albums (entries and titles) with the default
    /// settings; dates come from the pictures' names.
    mirofoto::AlbumRunRequest request(std::initializer_list<mirofoto::AlbumRunAlbum> albums) {
        mirofoto::AlbumRunRequest r;
        r.outputFolderText = output;
        r.imageFolderText = root;
        r.albums = albums;
        r.menuTitle = "メニュー";
        r.settings = mirofoto::AlbumSettings::defaults();
        r.threads = 2;
        r.readShootingDate = [this](std::string_view path) {
            const auto it = dates.find(std::filesystem::path(std::string(path)).filename().string());
            return it == dates.end() ? std::string() : it->second;
        };
        return r;
    }

    /// The page as the album writes it: the lines joined by CR LF, in CP932.
    static std::string page(std::initializer_list<std::string> lines) {
        std::string text;
        for (const auto& l : lines) text += l + "\r\n";
        return platform::utf8ToCp932Html(text);
    }
};

// Every regular file under the folder, by relative path, but the ignored ones.
inline std::map<std::string, std::string> filesUnder(const std::filesystem::path& folder,
                                                     const std::set<std::string>& ignored = {}) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string rel = std::filesystem::relative(e.path(), folder).string();
        if (e.is_regular_file() && !ignored.count(rel)) files[rel] = testing_support::readBytes(e.path());
    }
    return files;
}

// The files that stand in only one of two trees (a made one, then the one
// it should equal) or differ, with why.
inline std::vector<std::string> treeDifferences(const std::map<std::string, std::string>& made,
                                                const std::map<std::string, std::string>& expected) {
    std::vector<std::string> out;
    for (const auto& [name, bytes] : made) {
        const auto it = expected.find(name);
        if (it == expected.end()) out.push_back(name + " (only in the one made)");
        else if (it->second != bytes) out.push_back(name + " (differs)");
    }
    for (const auto& [name, bytes] : expected)
        if (!made.count(name)) out.push_back(name + " (missing from the one made)");
    return out;
}

}  // namespace albumrun_testing
