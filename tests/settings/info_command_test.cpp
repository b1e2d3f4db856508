#include "app/settings/ini_store.h"
#include "app/settings/settings_files.h"
#include "tests/support/program_home.h"
#include "tests/support/test_support.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

using namespace mirofoto;
using testing_support::readBytes;
namespace fs = std::filesystem;

namespace {

std::string runInfo() {
    std::string out;
    FILE* pipe = ::popen(MIROFOTO_EXE " info", "r");
    if (!pipe) return out;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
    ::pclose(pipe);
    return out;
}

std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        files[e.path().string()] = e.is_regular_file() ? readBytes(e.path()) : "<folder>";
    return files;
}

}  // namespace

TEST(InfoCommand, PrintsTheStoredAlbumSettingsWithoutWritingAnything) {
    ProgramHome home;
    ASSERT_EQ(WriteIniValue("オプション", "列数", "12", baseSettingsFile()), "1");
    ASSERT_EQ(WriteIniValue("設定", "画像フォルダ", "/srv/写真/", baseSettingsFile()), "1");
    ASSERT_EQ(WriteIniValue("オプション", "HTML21", "<p>a<CRLF>b</p>", baseSettingsFile()), "1");
    const auto before = snapshot(home.folder());

    const std::string out = runInfo();
    EXPECT_NE(out.find("columns:             12\n"), std::string::npos) << out;
    EXPECT_NE(out.find("image folder:        /srv/写真/\n"), std::string::npos) << out;
    EXPECT_NE(out.find("thumbnails:          120 x 90 quality 60\n"), std::string::npos) << out;
    EXPECT_NE(out.find("HTML middle:           <p>a\\nb</p>\n"), std::string::npos) << out;
    EXPECT_EQ(snapshot(home.folder()), before);
}

TEST(InfoCommand, AnEmptyProgramFolderStaysEmpty) {
    ProgramHome home;
    const std::string out = runInfo();
    EXPECT_NE(out.find("columns:             4\n"), std::string::npos) << out;
    EXPECT_TRUE(fs::is_empty(fs::path(home.folder())));
}
