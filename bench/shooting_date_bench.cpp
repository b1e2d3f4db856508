// Cost of ReadShootingDate per picture, through the registered Tagora
// control by late binding, as the album run pays it: with the thread's one
// control, and (for comparison) with a control created for every picture,
// which reads the registry each time; and with the EXIF APP1 behind an ICC
// profile and an XMP packet, as editors write it, which the reader finds by
// walking on past the leading run of application segments.
//
// Build with scripts/build.sh; run bench/shooting_date.sh.
#include "app/util/exif_info.h"
#include "platform/com/creation.h"
#include "samples/photo_maker.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
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
    // The same pictures with a 3 KB ICC profile and an XMP packet ahead of
    // the EXIF APP1.
    std::vector<std::string> behind;
    for (const std::string& f : files) {
        std::ifstream in(f, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::size_t exif = bytes.find("\xFF\xE1");
        if (exif == std::string::npos) {
            std::fprintf(stderr, "no EXIF segment in %s\n", f.c_str());
            return 1;
        }
        const auto segment = [](char code, const std::string& payload) {
            const std::size_t n = payload.size() + 2;
            return std::string{'\xFF', code, char(n >> 8), char(n & 0xFF)} + payload;
        };
        bytes.insert(exif, segment('\xE2', std::string("ICC_PROFILE\0\x01\x01", 14) + std::string(3000, '\x11')) +
                               segment('\xE1', std::string("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>", 41)));
        behind.push_back(f.substr(0, f.size() - 4) + "-icc.jpg");
        std::ofstream(behind.back(), std::ios::binary) << bytes;
    }
    mirofoto::ReadShootingDate(files[0]);  // load the module once

    const auto time = [&](bool freshControl, const std::vector<std::string>& set) {
        int found = 0;
        const auto start = Clock::now();
        for (int round = 0; round < 5; ++round)
            for (const std::string& f : set) {
                if (freshControl) mirofoto::ReleaseShootingDateReader();
                found += !mirofoto::ReadShootingDate(f).empty();
            }
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / (5.0 * pictures);
        if (found != 5 * pictures) std::fprintf(stderr, "only %d dates found\n", found);
        return us;
    };
    // Interleaved, so that both layouts see the same machine.
    double kept = 0, fresh = 0, kept2 = 0;
    for (int i = 0; i < 3; ++i) {
        kept += time(false, files) / 3;
        kept2 += time(false, behind) / 3;
        fresh += time(true, files) / 3;
    }
    std::printf("pictures: %d (320x240, JFIF + EXIF)\n", pictures);
    std::printf("ReadShootingDate, one control per thread: %8.1f us per picture\n", kept);
    std::printf("  the EXIF behind ICC and XMP segments:   %8.1f us per picture\n", kept2);
    std::printf("ReadShootingDate, a control per picture:  %8.1f us per picture\n", fresh);
    mirofoto::ReleaseShootingDateReader();
    return 0;
}
