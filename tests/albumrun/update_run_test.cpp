// An update run after each kind of change writes what a full run from
// scratch writes, file for file and byte for byte (the album folders'
// records included), re-makes only the copies the change concerns, and
// leaves alone what the program did not make.
#include "tests/albumrun/album_run_fixture.h"

#include "app/albumoutput/album_names.h"
#include "app/albumoutput/album_run_messages.h"
#include "app/albumoutput/copy_record.h"
#include "app/util/storage_location.h"

#include <fcntl.h>
#include <fstream>
#include <functional>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace mirofoto;
using albumrun_testing::AlbumRunTest;

namespace {

using albumrun_testing::Silent;
using albumrun_testing::filesUnder;
using albumrun_testing::treeDifferences;

std::string bytesOf(const fs::path& p) { return testing_support::readBytes(p); }



std::int64_t mtimeNs(const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// The JPEG with a comment segment of spaces after its start marker.
std::string withPadding(const std::string& jpeg, std::size_t padding) {
    const std::size_t length = padding + 2;
    std::string segment = "\xFF\xFE";
    segment += static_cast<char>(length >> 8);
    segment += static_cast<char>(length & 0xFF);
    segment += std::string(padding, ' ');
    return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

class UpdateRunTest : public AlbumRunTest {
public:  // for the rows of changes
    using AlbumRunTest::photo;
    using AlbumRunTest::root;
    using AlbumRunTest::stored;
    using AlbumRunTest::tmp;
    AlbumRunRequest req;
    std::string fresh;  ///< the output folder of the full run to compare with

    void SetUp() override {
        AlbumRunTest::SetUp();
        makeImageFolder("");
    }

    // An image folder and an output folder of their own under the suffix
    // (each with its own stored choices), with three albums.
    void makeImageFolder(const std::string& suffix) {
        root = tmp.str("photos" + suffix) + "/";
        output = tmp.str("out" + suffix) + "/";
        fresh = tmp.str("fresh" + suffix) + "/";
        fs::create_directories(output);
        fs::create_directories(fresh);
        photo("a.jpg", 320, 240);
        photo("b.jpg", 240, 320);
        photo("旅行/x.jpg", 320, 240);
        photo("旅行/y.jpg", 400, 300);
        photo("山/m.jpg", 320, 200);
        req = request({{root, "r"}, {"旅行", "t"}, {"山", "m"}});
        // The menu page has a background image.
        samples::PhotoSpec spec;
        spec.width = spec.height = 16;
        for (const char* bg : {"bg1.jpg", "bg2.jpg"})
            if (!fs::exists(tmp / bg)) samples::writePhotoJpeg(tmp.str(bg), spec);
        req.settings.pages[0].useBackgroundColor = false;
        req.settings.pages[0].backgroundImage = tmp.str("bg1.jpg");
    }

    AlbumRunResult run(const std::string& out, ExistingAlbumPolicy policy) {
        AlbumRunRequest r = req;
        r.outputFolderText = out;
        r.existing = policy;
        Silent silent;
        return GenerateAlbum(r, silent);
    }

    // A picture of the album, for the rows: "r/a" is a.jpg of the image
    // folder's own album, "t/x" x.jpg of 旅行, "m/m" m.jpg of 山.
    std::string folderOf(char album) const {
        return album == 'r' ? EncodedName(root) : EncodedName(album == 't' ? "旅行" : "山");
    }
};

struct Change {
    const char* name;
    std::function<void(UpdateRunTest&)> apply;
    std::vector<std::string> remade;  ///< copies made again: "t/x_s.jpg"; "*_s.jpg" every thumbnail
    int made, kept, removed;
};

const Change kChanges[] = {
    {"a new picture", [](UpdateRunTest& t) { t.photo("旅行/z.jpg", 300, 300); }, {}, 2, 10, 0},
    {"a deleted picture", [](UpdateRunTest& t) { fs::remove(t.root + "旅行/y.jpg"); }, {}, 0, 8, 2},
    {"an edited picture with the same size and time",
     [](UpdateRunTest& t) {
         const std::string path = t.root + "旅行/x.jpg";
         struct stat before {};
         ::stat(path.c_str(), &before);
         const std::string old = bytesOf(path);
         samples::PhotoSpec spec;
         spec.width = 320;
         spec.height = 240;
         spec.seed = 99;
         spec.quality = 40;
         samples::writePhotoJpeg(t.root + "edited.tmp", spec);
         const std::string edited = bytesOf(t.root + "edited.tmp");
         fs::remove(t.root + "edited.tmp");
         ASSERT_LE(edited.size() + 4, old.size());
         std::ofstream(path, std::ios::binary | std::ios::trunc) << withPadding(edited, old.size() - edited.size() - 4);
         const timespec times[2] = {before.st_atim, before.st_mtim};
         ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
         ASSERT_EQ(fs::file_size(path), old.size());
     },
     {"t/x_s.jpg", "t/x_l.jpg"},
     2,
     8,
     0},
    {"a touched picture, same content",
     [](UpdateRunTest& t) { ASSERT_EQ(::utimensat(AT_FDCWD, (t.root + "a.jpg").c_str(), nullptr, 0), 0); },
     {},
     0,
     10,
     0},
    // The portrait b.jpg is bound by the box's height: its thumbnail keeps its size, and is kept.
    {"a new size setting",
     [](UpdateRunTest& t) { t.req.settings.thumbWidth = 100; },
     {"r/a_s.jpg", "t/x_s.jpg", "t/y_s.jpg", "m/m_s.jpg"},
     4,
     6,
     0},
    {"a new quality", [](UpdateRunTest& t) { t.req.settings.largeQuality = 70; }, {"*_l.jpg"}, 5, 5, 0},
    {"a new turn",
     [](UpdateRunTest& t) { ASSERT_TRUE(t.stored().setTurn(t.root + "旅行/x.jpg", 90)); },
     {"t/x_s.jpg", "t/x_l.jpg"},
     2,
     8,
     0},
    {"an unticked album", [](UpdateRunTest& t) { t.req.albums.pop_back(); }, {}, 0, 8, 2},
    {"another background image",
     [](UpdateRunTest& t) { t.req.settings.pages[0].backgroundImage = t.tmp.str("bg2.jpg"); }, {}, 0, 10, 0},
    {"no background image any more",
     [](UpdateRunTest& t) { t.req.settings.pages[0].useBackgroundColor = true; }, {}, 0, 10, 0},
    {"a renamed album",
     [](UpdateRunTest& t) {
         fs::rename(t.root + "山", t.root + "岳");
         t.req.albums.back().entry = "岳";
     },
     {},
     2,
     8,
     2},
};

TEST_F(UpdateRunTest, EachChangeGivesWhatAFullRunGives) {
    int row = 0;
    for (const Change& change : kChanges) {
        SCOPED_TRACE(change.name);
        if (row > 0) makeImageFolder("-" + std::to_string(row));
        ++row;
        ASSERT_TRUE(run(output, ExistingAlbumPolicy::OverwriteAll).complete());
        std::map<std::string, std::int64_t> before;
        // The copies of the pictures (background images are copied anew by every run).
        for (const auto& e : fs::recursive_directory_iterator(fs::path(output)))
            if (e.path().string().ends_with("_s.jpg") || e.path().string().ends_with("_l.jpg"))
                before[fs::relative(e.path(), fs::path(output)).string()] = mtimeNs(e.path());
        // Files of the user's own in the output folder, one of them in an
        // album folder that an untick or a rename removes.
        const std::set<std::string> foreign = {"notes.txt", folderOf('t') + "/mine.txt", folderOf('m') + "/keep.txt"};
        for (const std::string& f : foreign) std::ofstream(fs::path(output) / f) << "mine";

        change.apply(*this);
        if (HasFatalFailure()) return;
        const AlbumRunResult update = run(output, ExistingAlbumPolicy::Update);
        ASSERT_TRUE(update.complete()) << (update.problems.empty() ? "" : update.problems[0]);
        ASSERT_TRUE(run(fresh, ExistingAlbumPolicy::OverwriteAll).complete());

        EXPECT_EQ(treeDifferences(filesUnder(fs::path(output), foreign), filesUnder(fs::path(fresh))),
                  std::vector<std::string>{});
        for (const std::string& f : foreign) EXPECT_EQ(bytesOf(fs::path(output) / f), "mine") << f;
        std::set<std::string> listed;
        for (const std::string& p : update.leftAlone) listed.insert(fs::relative(p, fs::path(output)).string());
        EXPECT_EQ(listed, foreign);
        EXPECT_EQ(update.copiesMade, change.made);
        EXPECT_EQ(update.copiesKept, change.kept);
        EXPECT_EQ(update.copiesRemoved, change.removed);

        std::set<std::string> remade;
        for (const std::string& r : change.remade) remade.insert(r[0] == '*' ? r : folderOf(r[0]) + r.substr(1));
        for (const auto& [file, time] : before) {
            if (!fs::exists(fs::path(output) / file)) continue;
            const bool expected = remade.count(file) || remade.count("*" + file.substr(file.size() - 6));
            EXPECT_EQ(mtimeNs(fs::path(output) / file) != time, expected) << file;
        }
    }
}

// An update the user stops halfway, then another update: the same as a full
// run of the new settings (a stop must neither keep a copy made with the old
// quality nor remove what was not reached).
TEST_F(UpdateRunTest, AStoppedUpdateIsFinishedByTheNextOne) {
    ASSERT_TRUE(run(output, ExistingAlbumPolicy::OverwriteAll).complete());
    req.settings.largeQuality = 70;
    for (int stopAfter : {1, 3}) {
        SCOPED_TRACE("stop after " + std::to_string(stopAfter));
        AlbumRunRequest r = req;
        r.outputFolderText = output;
        r.existing = ExistingAlbumPolicy::Update;
        struct Counting : Silent {
            int done = 0;
            void pictureDone(int) override { ++done; }
        } counting;
        r.stopRequested = [&] { return counting.done >= stopAfter; };
        ASSERT_TRUE(GenerateAlbum(r, counting).stoppedByRequest);
    }
    ASSERT_TRUE(run(output, ExistingAlbumPolicy::Update).complete());
    ASSERT_TRUE(run(fresh, ExistingAlbumPolicy::OverwriteAll).complete());
    EXPECT_EQ(treeDifferences(filesUnder(fs::path(output)), filesUnder(fs::path(fresh))),
              std::vector<std::string>{});
}

// A record that is missing or damaged makes its album a full re-make, and
// one cannot vouch for a copy it was not written for.
TEST_F(UpdateRunTest, AMissingOrDamagedRecordRemakesTheAlbum) {
    ASSERT_TRUE(run(output, ExistingAlbumPolicy::OverwriteAll).complete());
    const std::string t = recordPath(recordsFolder(output), folderOf('t'));
    const std::string m = recordPath(recordsFolder(output), folderOf('m'));
    std::string text = bytesOf(t);
    text[text.find("copy ") + 5] ^= 1;  // a bit flipped in a name
    std::ofstream(t, std::ios::binary | std::ios::trunc) << text;
    fs::remove(m);
    const AlbumRunResult update = run(output, ExistingAlbumPolicy::Update);
    EXPECT_EQ(update.copiesMade, 6);
    EXPECT_EQ(update.copiesKept, 4);
    ASSERT_TRUE(run(fresh, ExistingAlbumPolicy::OverwriteAll).complete());
    EXPECT_EQ(treeDifferences(filesUnder(fs::path(output)), filesUnder(fs::path(fresh))),
              std::vector<std::string>{});

    AlbumRecord record;
    EXPECT_FALSE(parseAlbumRecord(text, record));
    EXPECT_TRUE(record.copies.empty() && record.owned.empty());
    EXPECT_FALSE(parseAlbumRecord(bytesOf(m).substr(0, 40), record));
    ASSERT_TRUE(parseAlbumRecord(bytesOf(t), record));
    EXPECT_EQ(formatAlbumRecord(record), bytesOf(t));
}

// A copy is kept only when the very file the run left stands under its
// name: a link, a truncated file, another picture, or the same bytes in a
// new file are made anew, and the album equals a full run's.
TEST_F(UpdateRunTest, ACopyThatIsNotTheFileTheRunLeftIsMadeAnew) {
    ASSERT_TRUE(run(fresh, ExistingAlbumPolicy::OverwriteAll).complete());
    const struct {
        const char* name;
        std::function<void(const std::string& copy)> tamper;
    } cases[] = {
        {"a link to another file", [&](const std::string& copy) {
             fs::remove(copy);
             fs::create_symlink(root + "a.jpg", copy);
         }},
        {"truncated", [](const std::string& copy) { fs::resize_file(copy, 0); }},
        {"another picture", [&](const std::string& copy) { fs::copy_file(root + "旅行/y.jpg", copy,
                                                                            fs::copy_options::overwrite_existing); }},
        {"its bytes in a new file with its time", [](const std::string& copy) {
             // Made while the old file still stands, so that it cannot get
             // the old file's inode back.
             const std::string again = copy + ".again";
             std::ofstream(again, std::ios::binary) << bytesOf(copy);
             fs::last_write_time(again, fs::last_write_time(copy));
             fs::rename(again, copy);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(output);
        fs::create_directories(output);
        ASSERT_TRUE(run(output, ExistingAlbumPolicy::OverwriteAll).complete());
        c.tamper(output + folderOf('t') + "/x_l.jpg");
        const AlbumRunResult update = run(output, ExistingAlbumPolicy::Update);
        EXPECT_TRUE(update.complete());
        EXPECT_EQ(update.copiesMade, 1);
        EXPECT_EQ(update.copiesKept, 9);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(output + folderOf('t') + "/x_l.jpg")));
        EXPECT_EQ(treeDifferences(filesUnder(fs::path(output)), filesUnder(fs::path(fresh))),
              std::vector<std::string>{});
    }
}

// A copy the user made read-only is neither replaced nor removed: it is
// named with that reason, the run counts as incomplete and the page keeps
// its target. Root may write any file, so this needs an ordinary user.
TEST_F(UpdateRunTest, ACopyMadeReadOnlyIsLeftAloneAndNamed) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write a read-only file";
    ASSERT_TRUE(run(output, ExistingAlbumPolicy::OverwriteAll).complete());
    const std::string copy = output + folderOf('t') + "/x_l.jpg";
    const std::string bytes = bytesOf(copy);
    fs::permissions(copy, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const std::string item = runText(RunText::PictureItem, {copy, runText(RunText::ReasonWriteProtected)});
    req.settings.largeQuality = 70;
    AlbumRunResult update = run(output, ExistingAlbumPolicy::Update);
    EXPECT_TRUE(update.finished);
    EXPECT_FALSE(update.complete());
    EXPECT_EQ(update.problems, std::vector<std::string>{item});
    EXPECT_EQ(update.failedPictures, std::vector<std::string>{});
    EXPECT_EQ(bytesOf(copy), bytes);
    EXPECT_NE(bytesOf(output + folderOf('t') + "/x.htm").find("x_l.jpg"), std::string::npos);
    // Its picture gone from the album: the copy stays all the same.
    fs::remove(root + "旅行/x.jpg");
    update = run(output, ExistingAlbumPolicy::Update);
    EXPECT_EQ(update.problems, std::vector<std::string>{item});
    EXPECT_EQ(bytesOf(copy), bytes);
}

// The output folder holds the album only: the records live in the
// program's state for that folder, a record an earlier version left in an
// album folder is removed and never read, and an output folder moved
// elsewhere gets one full run before it is fast again.
TEST_F(UpdateRunTest, TheRecordsLiveOutsideTheOutputFolder) {
    const std::string album = output + folderOf('t') + "/";
    fs::create_directories(album);
    std::ofstream(album + "keep.txt") << "the user's";
    AlbumRecord old;
    old.owned = {"keep.txt"};
    std::ofstream(album + std::string(kAlbumRecordFileName), std::ios::binary) << formatAlbumRecord(old);
    ASSERT_TRUE(run(output, ExistingAlbumPolicy::Update).complete());
    ASSERT_TRUE(run(output, ExistingAlbumPolicy::Update).complete());
    EXPECT_TRUE(fs::exists(album + "keep.txt"));
    for (const auto& e : fs::recursive_directory_iterator(output))
        EXPECT_NE(e.path().filename().string().front(), '.') << e.path();
    const std::string records = recordsFolder(output);
    EXPECT_EQ(records.rfind(storageLocation().settingsFolder, 0), 0u);
    for (const char album : {'r', 't', 'm'}) {
        AlbumRecord record;
        EXPECT_EQ(readAlbumRecord(recordPath(records, folderOf(album)), record), RecordRead::Ok);
    }
    EXPECT_TRUE(fs::exists(recordPath(records, "images")));

    const std::string moved = tmp.str("moved") + "/";
    fs::rename(output, moved);
    AlbumRunResult update = run(moved, ExistingAlbumPolicy::Update);
    EXPECT_EQ(update.copiesMade, 10);
    EXPECT_EQ(update.copiesKept, 0);
    update = run(moved, ExistingAlbumPolicy::Update);
    EXPECT_EQ(update.copiesMade, 0);
    EXPECT_EQ(update.copiesKept, 10);
}

}  // namespace
