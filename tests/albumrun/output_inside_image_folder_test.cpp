// The output folder inside the image folder (/photos/web): the folder that
// is the output folder (a link to it too) is no album, the rest of the
// image folder is; an output folder that is the image folder, an album
// folder or above the image folder is still refused, and no photograph
// ever changes.
#include "album_run_fixture.h"

#include "app/albumoutput/album_names.h"
#include "app/albumoutput/generate_command.h"

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>

using namespace mirofoto;
using albumrun_testing::AlbumRunTest;
using testing_support::readBytes;
using testing_support::writeBytes;
namespace fs = std::filesystem;

namespace {

// Every file under the folder with its bytes, but what lies in `except`.
std::map<std::string, std::string> filesOutside(const fs::path& folder, const fs::path& except) {
    std::map<std::string, std::string> files;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        if (it->path() == except) {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file()) files[it->path().string()] = readBytes(it->path());
    }
    return files;
}

}  // namespace

TEST_F(AlbumRunTest, AnOutputFolderInsideTheImageFolderLeavesItselfOutOfTheAlbums) {
    struct Case {
        const char* what;
        std::string output;  // relative to the image folder
        std::function<void(const std::string& root)> setUp;
        int code;
        std::vector<std::string> albums;  // the album folders made, sorted
    };
    const std::string rootDir = EncodedName(root);
    const Case cases[] = {
        {"a subfolder that holds the album", "web", [](const std::string& r) { fs::create_directories(r + "web"); },
         kGenerateDone, {rootDir, "deep", "trip"}},
        {"and a subfolder that is a link to it", "web",
         [](const std::string& r) {
             fs::create_directories(r + "web");
             fs::create_directory_symlink(r + "web", r + "pub");
         },
         kGenerateDone, {rootDir, "deep", "trip"}},
        {"a folder deeper inside, made by the run", "deep/out", [](const std::string&) {}, kGenerateDone,
         {rootDir, "deep", "trip"}},
        {"a folder inside an album folder", "trip/web", [](const std::string&) {}, kGenerateDone,
         {rootDir, "deep", "trip"}},
        {"the image folder itself", "", [](const std::string&) {}, kGenerateStopped, {}},
        {"above the image folder", "..", [](const std::string&) {}, kGenerateStopped, {}},
        {"an album folder", "trip", [](const std::string&) {}, kGenerateStopped, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(root);
        photo("a.jpg", 64, 48);
        photo("trip/t.jpg", 64, 48);
        photo("deep/d.jpg", 64, 48);
        c.setUp(root);
        const std::string out = root + c.output;
        const fs::path outPath = fs::path(out).lexically_normal();
        const auto before = filesOutside(root, c.code == kGenerateDone ? outPath : fs::path());

        std::istringstream in;
        std::ostringstream stdOut, stdErr;
        const int code = runGenerateCommand(
            {"--image-folder", root, "--output", out, "--create-output", "--existing", "update", "--threads", "2"}, in,
            stdOut, stdErr, false);
        EXPECT_EQ(code, c.code) << stdErr.str();
        EXPECT_EQ(filesOutside(root, c.code == kGenerateDone ? outPath : fs::path()), before);  // no photograph changed
        if (c.code != kGenerateDone) {
            EXPECT_NE(stdErr.str().find("画像フォルダと重なるフォルダ"), std::string::npos) << stdErr.str();
            continue;
        }
        std::vector<std::string> made;
        for (const auto& e : fs::directory_iterator(outPath))
            if (e.is_directory() && e.path().filename() != "images") made.push_back(e.path().filename().string());
        std::sort(made.begin(), made.end());
        std::vector<std::string> expected = c.albums;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(made, expected);
        // An update run after it keeps every copy and finds nothing of the user's.
        std::ostringstream again, againErr;
        EXPECT_EQ(runGenerateCommand({"--image-folder", root, "--output", out, "--existing", "update"}, in, again,
                                     againErr, false),
                  kGenerateDone)
            << againErr.str();
        EXPECT_NE(again.str().find("作成 0、"), std::string::npos) << again.str();
    }
}
