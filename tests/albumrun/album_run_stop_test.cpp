// A run stopped by the user: it ends after the picture in hand, and what it
// leaves is a whole album of the pictures made so far.
#include "album_run_fixture.h"

#include <filesystem>
#include <regex>

using namespace mirofoto;
using albumrun_testing::AlbumRunTest;
using testing_support::readBytes;
namespace fs = std::filesystem;

namespace {

class CountingObserver final : public AlbumRunObserver {
public:
    int picturesDone = 0;
    void pictureDone(int) override { ++picturesDone; }
};

// Every file a page of the output folder links to or shows, that is missing.
std::vector<std::string> brokenLinks(const fs::path& output) {
    std::vector<std::string> broken;
    static const std::regex link("(?:HREF|SRC)='([^']+)'");
    for (const auto& e : fs::recursive_directory_iterator(output)) {
        if (e.path().extension() != ".htm") continue;
        const std::string text = readBytes(e.path());
        for (std::sregex_iterator m(text.begin(), text.end(), link), end; m != end; ++m)
            if (!fs::exists(e.path().parent_path() / (*m)[1].str()))
                broken.push_back(e.path().string() + " -> " + (*m)[1].str());
    }
    return broken;
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace

TEST_F(AlbumRunTest, AStopLeavesTheAlbumsMadeSoFarWhole) {
    // Pictures large enough that the pool is still at work when the stop comes.
    for (const char* p : {"a/1.jpg", "a/2.jpg", "a/3.jpg", "b/1.jpg", "b/2.jpg", "c/1.jpg"}) photo(p, 1200, 900);
    struct Case {
        int stopAfter;          // pictures done when the stop is asked for
        unsigned threads;
        int albums;             // rows on the menu page
        const char* last;       // the last album's directory
        std::size_t lastCells;  // thumbnail cells on its page
    } cases[] = {
        {0, 1, 0, nullptr, 0}, {2, 1, 1, "a", 2}, {2, 3, 1, "a", 2},
        {3, 3, 1, "a", 3},     {4, 1, 2, "b", 1}, {4, 4, 2, "b", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("stop after " + std::to_string(c.stopAfter) + ", threads " + std::to_string(c.threads));
        fs::remove_all(output);
        fs::create_directories(output);
        ui.calls.clear();
        AlbumRunRequest r = request({{"a", "A"}, {"b", "B"}, {"c", "C"}});
        r.threads = c.threads;
        CountingObserver observer;
        r.stopRequested = [&] { return observer.picturesDone >= c.stopAfter; };
        const AlbumRunResult result = GenerateAlbum(r, observer);

        EXPECT_TRUE(result.stoppedByRequest);
        EXPECT_FALSE(result.finished);
        EXPECT_EQ(result.albums, c.albums);
        EXPECT_EQ(result.pictures, c.stopAfter);
        EXPECT_TRUE(ui.calls.empty());  // no "show the album?" after a stop
        const std::string menu = readBytes(output + "index.htm");
        EXPECT_EQ(count(menu, "/index.htm'>"), std::size_t(c.albums));
        EXPECT_NE(menu.find("</HTML>"), std::string::npos);
        if (c.last) {
            const std::string page = readBytes(output + c.last + "/index.htm");
            EXPECT_EQ(count(page, "<IMG SRC="), c.lastCells);
            EXPECT_NE(page.find("</HTML>"), std::string::npos);
            EXPECT_EQ(result.picturesInLastAlbum, int(c.lastCells));
        }
        EXPECT_EQ(brokenLinks(output), std::vector<std::string>{});
        for (const auto& e : fs::recursive_directory_iterator(output)) {
            const std::string name = e.path().filename().string();
            EXPECT_NE(name.front(), '.') << e.path();  // no temporary left, no record
        }
    }
}
