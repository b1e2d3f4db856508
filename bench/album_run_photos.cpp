// Makes the image folder of the whole-run benchmark (not a test):
//
//   album_run_photos DIR FOLDERS PER_FOLDER [NOISE [WIDTHxHEIGHT [SIDEWAYS_EVERY]]]
//
// writes FOLDERS subfolders of DIR ("写真01", "写真02", ...) with PER_FOLDER
// photograph-like JPEGs each (4000 x 3000 unless a size is given, quality
// 92, EXIF date, sensor noise NOISE, default 24), the same bytes on every
// run (fixed seeds). With SIDEWAYS_EVERY n, every n-th picture carries the
// EXIF Orientation 6 of a camera held upright (turn right to view). Noisy
// pictures make entropy decoding the main cost, as with real high-ISO
// photographs. Two threads share the work.
#include "samples/photo_maker.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc < 4 || argc > 7) {
        std::fprintf(stderr, "usage: album_run_photos DIR FOLDERS PER_FOLDER [NOISE [WIDTHxHEIGHT [SIDEWAYS_EVERY]]]\n");
        return 2;
    }
    const fs::path dir = argv[1];
    const int folders = std::atoi(argv[2]);
    const int perFolder = std::atoi(argv[3]);
    const int noise = argc >= 5 ? std::atoi(argv[4]) : 24;
    int width = 4000, height = 3000;
    const int sidewaysEvery = argc == 7 ? std::atoi(argv[6]) : 0;
    if (argc >= 6 && (std::sscanf(argv[5], "%dx%d", &width, &height) != 2 || width < 1 || height < 1)) {
        std::fprintf(stderr, "album_run_photos: the size is WIDTHxHEIGHT, for instance 160x120\n");
        return 2;
    }
    if (folders < 1 || perFolder < 1 || noise < 0 || noise > 64) {
        std::fprintf(stderr, "album_run_photos: FOLDERS and PER_FOLDER must be positive, NOISE 0 to 64\n");
        return 2;
    }

    const int total = folders * perFolder;
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    auto work = [&] {
        for (int i = next++; i < total && !failed; i = next++) {
            const int folder = i / perFolder + 1;
            char name[32];
            std::snprintf(name, sizeof name, "写真%02d", folder);
            const fs::path sub = dir / name;
            samples::PhotoSpec spec;
            spec.width = width;
            spec.height = height;
            spec.quality = 92;
            spec.noise = noise;
            spec.seed = 1000 + static_cast<std::uint32_t>(i);
            char date[32];
            std::snprintf(date, sizeof date, "2026:07:%02d 10:%02d:00", folder, i % 60);
            spec.shootingDate = date;
            char file[32];
            std::snprintf(file, sizeof file, "IMG_%04d.JPG", i + 1);
            try {
                std::error_code ec;
                fs::create_directories(sub, ec);
                if (sidewaysEvery > 0 && (i + 1) % sidewaysEvery == 0) {
                    const std::string bytes = samples::withOrientation(samples::makePhotoJpeg(spec), 6);
                    std::FILE* f = std::fopen((sub / file).c_str(), "wb");
                    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
                        throw std::runtime_error("cannot write " + (sub / file).string());
                } else {
                    samples::writePhotoJpeg((sub / file).string(), spec);
                }
            } catch (const std::exception& e) {
                std::fprintf(stderr, "album_run_photos: %s\n", e.what());
                failed = true;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) threads.emplace_back(work);
    for (auto& t : threads) t.join();
    return failed ? 1 : 0;
}
