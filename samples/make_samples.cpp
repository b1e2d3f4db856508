// Makes the sample image folder that the README's main job turns into an
// album: pictures in the root folder and in two subfolders, Japanese names,
// EXIF dates, JPEG comments and one portrait picture. The same run always
// makes the same bytes.
#include "platform/codepage.h"
#include "samples/photo_maker.h"

#include <filesystem>
#include <iostream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

struct Sample {
    const char* file;
    int width, height;
    const char* date;
    const char* comment;
};

constexpr Sample kRoot[] = {
    {"夕焼けの海.jpg", 1600, 1200, "2026:05:03 18:42:10", "夕焼けがきれいでした"},
    {"IMG 0001.JPG", 1600, 1200, "2026:05:04 09:15:00", ""},
    {"花+緑.jpeg", 1200, 1600, "2026:05:05 11:02:33", "庭の花 ｶﾞｰﾃﾞﾝ"},
};
constexpr Sample kTravel[] = {
    {"富士山.jpg", 1600, 1200, "2026:08:11 06:30:00", "朝の富士山"},
    {"温泉.jpg", 1600, 1200, "", "宿の露天風呂"},
    {"駅.jpg", 1600, 1200, "2026:08:12 17:45:21", ""},
};
constexpr Sample kFamily[] = {
    {"誕生日.jpg", 1600, 1200, "2026:10:01 19:00:05", "お誕生日おめでとう"},
    {"公園.jpg", 1600, 1200, "2026:10:02 14:20:00", ""},
};

template <std::size_t N>
void makeFolder(const fs::path& folder, const Sample (&list)[N], std::uint32_t& seed) {
    fs::create_directories(folder);
    for (const Sample& s : list) {
        samples::PhotoSpec spec;
        spec.width = s.width;
        spec.height = s.height;
        spec.seed = seed++;
        spec.shootingDate = s.date;
        const auto comment = platform::utf8ToCp932(s.comment);
        if (!comment) throw std::runtime_error(std::string("comment not in CP932: ") + s.comment);
        spec.commentCp932 = *comment;
        samples::writePhotoJpeg((folder / s.file).string(), spec);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make-samples OUTPUT_FOLDER\n";
        return 2;
    }
    try {
        const fs::path root = fs::path(argv[1]);
        fs::remove_all(root);
        std::uint32_t seed = 2026;
        makeFolder(root, kRoot, seed);
        makeFolder(root / "旅行 2026", kTravel, seed);
        makeFolder(root / "家族", kFamily, seed);
        std::cout << "sample photos in " << root.string() << "\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "make-samples: " << e.what() << "\n";
        return 1;
    }
}
