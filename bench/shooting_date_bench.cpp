// Cost of ReadShootingDate per picture, through the registered Tagora
// control by late binding, as the album run pays it: with the thread's one
// control, and (for comparison) with a control created for every picture,
// which reads the registry each time.
//
// Build with scripts/build.sh; run bench/shooting_date.sh.
#include "app/util/exif_info.h"
#include "platform/com/creation.h"
#include "samples/photo_maker.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    const int pictures = argc > 1 ? std::atoi(argv[1]) : 200;
    const fs::path dir = fs::temp_directory_path() / "mirofoto-date-bench";
    fs::create_directories(dir);
    std::vector<std::string> files;
    for (int i = 0; i < pictures; ++i) {
        samples::PhotoSpec spec;
        spec.width = 320;
        spec.height = 240;
        spec.seed = std::uint32_t(i + 1);
        spec.shootingDate = "2026:05:03 18:42:10";
        files.push_back((dir / ("p" + std::to_string(i) + ".jpg")).string());
        if (!fs::exists(files.back())) samples::writePhotoJpeg(files.back(), spec);
    }
    mirofoto::ReadShootingDate(files[0]);  // load the module once

    const auto time = [&](bool freshControl) {
        int found = 0;
        const auto start = Clock::now();
        for (int round = 0; round < 5; ++round)
            for (const std::string& f : files) {
                if (freshControl) mirofoto::ReleaseShootingDateReader();
                found += !mirofoto::ReadShootingDate(f).empty();
            }
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / (5.0 * pictures);
        if (found != 5 * pictures) std::fprintf(stderr, "only %d dates found\n", found);
        return us;
    };
    const double kept = time(false);
    const double fresh = time(true);
    std::printf("pictures: %d (320x240, JFIF + EXIF)\n", pictures);
    std::printf("ReadShootingDate, one control per thread: %8.1f us per picture\n", kept);
    std::printf("ReadShootingDate, a control per picture:  %8.1f us per picture\n", fresh);
    mirofoto::ReleaseShootingDateReader();
    return 0;
}
