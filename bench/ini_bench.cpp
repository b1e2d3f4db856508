// Times the settings store: saving and loading the album settings (47
// writes, 47 reads) and reading image ticks from a large per-folder file.
// Build and run with bench/ini_bench.sh after scripts/build.sh.
#include "app/settings/album_settings.h"
#include "app/settings/ini_store.h"
#include "app/settings/per_folder_settings.h"
#include "app/settings/settings_files.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace mirofoto;
using Clock = std::chrono::steady_clock;

static double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

int main(int argc, char** argv) {
    const std::string home = argc > 1 ? argv[1] : "/tmp/mirofoto-ini-bench";
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    ::setenv("MIROFOTO_HOME", home.c_str(), 1);

    AlbumSettings s = AlbumSettings::defaults();
    s.imageFolder = "/home/u/写真/";
    WindowPlacement placement{0, 100, 200, 6000, 9000};
    const int rounds = 20;

    auto t = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        s.columns = static_cast<std::int16_t>(1 + i);  // a real change each round
        基本設定保存(baseSettingsFile(), s, placement);
    }
    std::printf("save album settings (47 writes):   %8.2f ms\n", msSince(t) / rounds);

    t = Clock::now();
    for (int i = 0; i < rounds; ++i) 基本設定読込(baseSettingsFile(), s, placement);
    std::printf("load album settings (47 reads):    %8.2f ms\n", msSince(t) / rounds);

    // A folder of 2000 pictures, all ticked and turned once.
    const PerFolderSettings folder("/home/u/写真/");
    const int pictures = 2000;
    t = Clock::now();
    for (int i = 0; i < pictures; ++i) folder.setImageTicked("旅行", "IMG_" + std::to_string(i) + ".JPG", i % 3 != 0);
    const double fill = msSince(t);
    std::printf("tick %d pictures (1 write each):  %8.2f ms per write (file of %ju bytes)\n", pictures,
                fill / pictures, static_cast<std::uintmax_t>(std::filesystem::file_size(folder.file())));

    t = Clock::now();
    int ticked = 0;
    for (int i = 0; i < pictures; ++i) ticked += folder.imageTickedOnPage("旅行", "IMG_" + std::to_string(i) + ".JPG");
    const double scan = msSince(t);
    std::printf("read %d ticks from that file:     %8.2f ms in all, %.3f ms per read (%d ticked)\n", pictures, scan,
                scan / pictures, ticked);
    std::filesystem::remove_all(home);
    return 0;
}
