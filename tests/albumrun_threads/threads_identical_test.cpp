// The album run makes its pictures on a pool of threads; every file it
// writes must be the same, byte for byte, as a run on one thread writes:
// the pages, both copies of every picture (turned ones too), and what the
// run reports about pictures it could not make.
#include "app/albumoutput/album_run.h"
#include "app/settings/per_folder_settings.h"
#include "app/util/image_size.h"
#include "platform/codepage.h"
#include "samples/photo_maker.h"
#include "tests/support/program_home.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace mirofoto;
using testing_support::readBytes;
using testing_support::TempDir;

namespace {


// Answers no question but the last one (No: nothing is opened) and keeps
// the messages, so that both runs can be compared in what they said too.
class QuietObserver final : public AlbumRunObserver {
public:
    platform::MsgResult ask(AlbumQuestion question, std::string_view text, platform::MsgButtons,
                            platform::MsgIcon) override {
        if (question != AlbumQuestion::ShowAlbum) ADD_FAILURE() << "unexpected question: " << text;
        return platform::MsgResult::No;
    }
    void tell(std::string_view text, platform::MsgIcon) override { messages.emplace_back(text); }
    void showAlbum(std::string_view) override { ADD_FAILURE() << "the album was opened"; }

    std::vector<std::string> messages;
};

struct Picture {
    std::string folder;  // "" for the image folder itself
    std::string file;
    int width, height;
    std::string comment;
    int turn = 0;
};

// Sizes that differ a lot, so that the pool finishes pictures out of order.
const std::vector<Picture> kPictures = {
    {"", "大きい.jpg", 1600, 1200, "一枚目", 0},
    {"", "small.JPG", 320, 240, "", 90},
    {"", "縦長.jpeg", 600, 900, "縦の写真", 0},
    {"旅行", "01.jpg", 1200, 900, "朝", 270},
    {"旅行", "02.jpg", 240, 180, "", 0},
    {"旅行", "03.jpg", 1000, 1000, "正方形", 180},
    {"旅行", "04.jpg", 150, 80, "箱より小さい", 0},
    {"旅行", "05.jpg", 900, 600, "", 90},
};

class AlbumRunThreads : public ::testing::Test {
protected:
    void SetUp() override {
        m_images = m_dir.str("写真") + "/";
        const PerFolderSettings settings(m_images);
        std::uint32_t seed = 7;
        for (const Picture& p : kPictures) {
            const std::string folder = p.folder.empty() ? m_images : m_images + p.folder + "/";
            fs::create_directories(folder);
            samples::PhotoSpec spec;
            spec.width = p.width;
            spec.height = p.height;
            spec.seed = seed++;
            spec.noise = 12;
            spec.shootingDate = "2026:07:0" + std::to_string(seed % 9 + 1) + " 12:34:56";
            spec.commentCp932 = platform::utf8ToCp932(p.comment).value();
            samples::writePhotoJpeg(folder + p.file, spec);
            if (p.turn != 0) {
                ASSERT_TRUE(settings.setTurn(folder + p.file, p.turn));
            }
        }
        // A picture that cannot be made, in each album: reported, never made.
        testing_support::writeBytes(m_images + "壊れた.jpg", "no JPEG at all");
        testing_support::writeBytes(m_images + "旅行/06.jpg", std::string("\xFF\xD8\xFF\xE0", 4));
        ASSERT_TRUE(settings.setMenuTitle("スレッドの試験"));
    }

    AlbumRunRequest request(const std::string& output, unsigned threads, ExistingAlbumPolicy existing,
                            const AlbumSettings& settings) const {
        AlbumRunRequest r;
        r.outputFolderText = output;
        r.existing = existing;
        r.imageFolderText = m_images;
        r.albums = {{m_images, "写真"}, {"旅行", "旅行の写真"}};
        r.menuTitle = "スレッドの試験";
        r.menuSubtitle = "一と四";
        r.settings = settings;
        r.threads = threads;
        // Dates for some of the pictures, by file name.
        r.readShootingDate = [](std::string_view path) -> std::string {
            return fs::path(path).filename().string().find('0') != std::string::npos ? "2026/07/14 09:30:00" : "";
        };
        return r;
    }

    struct Run {
        AlbumRunResult result;
        std::vector<std::string> messages;
    };

    Run generate(const std::string& output, unsigned threads,
                 ExistingAlbumPolicy existing = ExistingAlbumPolicy::OverwriteAll,
                 const AlbumSettings& settings = AlbumSettings::defaults()) const {
        fs::create_directories(output);
        QuietObserver observer;
        Run run{GenerateAlbum(request(output, threads, existing, settings), observer), {}};
        run.messages = std::move(observer.messages);
        // The output folder's name differs between the runs; the rest of
        // each message must not.
        for (std::string& m : run.messages)
            for (std::size_t at; (at = m.find(output)) != std::string::npos;) m.replace(at, output.size(), "OUT");
        for (std::string& f : run.result.failedPictures)
            if (f.rfind(m_images, 0) == 0) f = f.substr(m_images.size());
        return run;
    }

    // Every file under the folder, by relative path, with its bytes.
    static std::map<std::string, std::string> tree(const std::string& folder) {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(folder))
            if (e.is_regular_file()) files[fs::relative(e.path(), folder).string()] = readBytes(e.path());
        return files;
    }

    static void expectSameTrees(const std::string& a, const std::string& b) {
        const auto one = tree(a);
        const auto other = tree(b);
        std::vector<std::string> names, otherNames;
        for (const auto& [name, bytes] : one) names.push_back(name);
        for (const auto& [name, bytes] : other) otherNames.push_back(name);
        ASSERT_EQ(names, otherNames);
        for (const auto& [name, bytes] : one) EXPECT_TRUE(bytes == other.at(name)) << name << " differs";
    }

    // The path of the file with this name in some album directory.
    static std::string find(const std::string& folder, const std::string& name) {
        for (const auto& e : fs::recursive_directory_iterator(folder))
            if (e.path().filename() == name) return e.path().string();
        ADD_FAILURE() << name << " not found in " << folder;
        return {};
    }

    static std::pair<int, int> sizeOf(const std::string& file) {
        const ImageSizeInfo info = GetImageSize(file, DetectionMode::ByContent);
        return {info.width, info.height};
    }

    static int countEnding(const std::map<std::string, std::string>& files, std::string_view suffix) {
        int n = 0;
        for (const auto& [name, bytes] : files)
            n += name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
        return n;
    }

    ProgramHome m_home;
    TempDir m_dir;
    std::string m_images;
};

TEST_F(AlbumRunThreads, OneThreadAndFourWriteTheSameFiles) {
    const std::string one = m_dir.str("one");
    const std::string four = m_dir.str("four");
    const Run sequential = generate(one, 1);
    const Run pooled = generate(four, 4);

    // The run did the work: both albums, every good picture with both
    // copies and a page, the two broken pictures reported.
    const auto files = tree(one);
    EXPECT_EQ(sequential.result.albums, 2);
    EXPECT_EQ(sequential.result.pictures, 10);
    EXPECT_EQ(countEnding(files, "_s.jpg"), 8);
    EXPECT_EQ(countEnding(files, "_l.jpg"), 8);
    EXPECT_EQ(countEnding(files, ".htm"), 1 + 2 + 10);
    EXPECT_EQ(sequential.result.failedPictures, (std::vector<std::string>{"壊れた.jpg", "旅行/06.jpg"}));
    // A turned picture is turned in both: 320 x 240 turned a quarter, then
    // fitted in 120 x 90.
    EXPECT_EQ(sizeOf(find(one, "small_s.jpg")), std::make_pair(68, 90));

    expectSameTrees(one, four);
    EXPECT_EQ(pooled.result.pictures, sequential.result.pictures);
    EXPECT_EQ(pooled.result.failedPictures, sequential.result.failedPictures);
    EXPECT_EQ(pooled.messages, sequential.messages);
}

TEST_F(AlbumRunThreads, KeepingExistingPicturesGivesTheSameFilesOnEveryThreadCount) {
    // An album made before with larger copies, some of which are gone: the
    // pages are rewritten, the copies left are kept as they are and the
    // missing ones made at the new sizes, the same way on one thread and four.
    const std::string one = m_dir.str("one");
    const std::string four = m_dir.str("four");
    AlbumSettings before = AlbumSettings::defaults();
    before.thumbWidth = 160;
    before.thumbHeight = 120;
    before.largeWidth = 640;
    before.largeHeight = 480;
    generate(one, 1, ExistingAlbumPolicy::OverwriteAll, before);
    int removed = 0;
    for (const auto& [name, bytes] : tree(one)) {
        // Thumbnails of the pictures with a 0 in their names, enlarged
        // copies of the others.
        const bool thumb = name.ends_with("_s.jpg");
        const bool zero = fs::path(name).filename().string().find('0') != std::string::npos;
        if ((thumb || name.ends_with("_l.jpg")) && zero == thumb) {
            fs::remove(one + "/" + name);
            ++removed;
        }
    }
    ASSERT_EQ(removed, 8);
    fs::copy(one, four, fs::copy_options::recursive);

    const Run sequential = generate(one, 1, ExistingAlbumPolicy::HtmlOnly);
    const Run pooled = generate(four, 4, ExistingAlbumPolicy::HtmlOnly);
    const auto files = tree(one);
    EXPECT_EQ(countEnding(files, "_s.jpg") + countEnding(files, "_l.jpg"), 16);
    EXPECT_EQ(sizeOf(find(one, "02_s.jpg")), std::make_pair(120, 90));   // made anew
    EXPECT_EQ(sizeOf(find(one, "01_l.jpg")), std::make_pair(360, 480));  // kept (turned, in 640 x 480)
    expectSameTrees(one, four);
    EXPECT_EQ(pooled.messages, sequential.messages);
}

}  // namespace
