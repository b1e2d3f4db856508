// Benchmark driver for the album's picture derivation (not a test).
//
//   album_images_bench make-photos DIR COUNT
//       writes COUNT photograph-like 4000 x 3000 JPEGs (quality 92) to DIR,
//       the same bytes on every run (fixed seeds);
//   album_images_bench derive OUTDIR FILE...
//       makes the thumbnail (120 x 90, quality 60) and the enlarged picture
//       (480 x 360, quality 90) of every file with MakeAlbumImage, on this one
//       thread, and prints the elapsed seconds and the peak memory.
#include "app/albumoutput/album_image.h"
#include "app/util/paths.h"

#include <vips/vips.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

namespace {

int usage() {
    std::fprintf(stderr, "usage: album_images_bench make-photos DIR COUNT | derive OUTDIR FILE...\n");
    return 2;
}

// Smooth large shapes, mid-sized structure, fine texture and sensor grain,
// with a brighter "sky" towards the top: a JPEG encoder and decoder see
// about the entropy of a real photograph, not a flat synthetic picture.
VipsImage* photo(VipsObject* scope, int width, int height, int seed) {
    VipsImage** t = (VipsImage**)vips_object_local_array(scope, 24);
    auto check = [](int r) {
        if (r != 0) {
            std::fprintf(stderr, "%s\n", vips_error_buffer());
            std::exit(1);
        }
    };
    const int cells[3] = {640, 160, 24};
    const double weights[3] = {70, 30, 14};
    int n = 0;
    VipsImage* bands[3];
    for (int b = 0; b < 3; ++b) {
        VipsImage* sum = nullptr;
        for (int c = 0; c < 3; ++c) {
            check(vips_perlin(&t[n], width, height, "cell_size", cells[c] + 37 * b, "seed", seed * 101 + b * 11 + c, nullptr));
            VipsImage* scaled;
            check(vips_linear1(t[n++], &scaled, weights[c], 0, nullptr));
            t[n++] = scaled;
            if (sum) {
                check(vips_add(sum, scaled, &t[n], nullptr));
                sum = t[n++];
            } else {
                sum = scaled;
            }
        }
        bands[b] = sum;
    }
    VipsImage* rgb;
    check(vips_bandjoin(bands, &rgb, 3, nullptr));
    t[n++] = rgb;
    // Sky: brighter and bluer towards the top.
    VipsImage *xy, *y, *sky, *lit, *grain, *noisy, *out;
    check(vips_xyz(&xy, width, height, nullptr));
    t[n++] = xy;
    check(vips_extract_band(xy, &y, 1, nullptr));
    t[n++] = y;
    double a[3] = {-40.0 / height, -30.0 / height, -10.0 / height};
    double b[3] = {150, 150, 160};
    check(vips_linear(y, &sky, a, b, 3, nullptr));
    t[n++] = sky;
    check(vips_add(rgb, sky, &lit, nullptr));
    t[n++] = lit;
    check(vips_gaussnoise(&grain, width, height, "sigma", 4.0, "mean", 0.0, "seed", seed, nullptr));
    t[n++] = grain;
    check(vips_add(lit, grain, &noisy, nullptr));
    t[n++] = noisy;
    check(vips_cast_uchar(noisy, &out, nullptr));
    t[n++] = out;
    return out;
}

int makePhotos(const std::string& dir, int count) {
    if (VIPS_INIT("album_images_bench") != 0) return 1;
    if (!mirofoto::EnsureFolder(dir)) return 1;
    for (int i = 0; i < count; ++i) {
        VipsObject* scope = VIPS_OBJECT(vips_image_new());
        VipsImage* im = photo(scope, 4000, 3000, i + 1);
        char name[64];
        std::snprintf(name, sizeof name, "/IMG_%04d.JPG", i + 1);
        if (vips_jpegsave(im, (dir + name).c_str(), "Q", 92, "strip", TRUE, nullptr) != 0) {
            std::fprintf(stderr, "%s\n", vips_error_buffer());
            return 1;
        }
        g_object_unref(scope);
    }
    return 0;
}

int derive(const std::string& outDir, int count, char** files) {
    const auto start = std::chrono::steady_clock::now();
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        const std::string src = files[i];
        const std::string stem = outDir + "/" + mirofoto::RemoveExtension(mirofoto::GetFileName(src));
        if (!mirofoto::MakeAlbumImage(src, stem + "_s.jpg", 90, 120, true, 60, true)) ++failed;
        if (!mirofoto::MakeAlbumImage(src, stem + "_l.jpg", 360, 480, true, 90, true)) ++failed;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("derived %d pictures in %.3f s, %d failures, peak memory %.1f MB\n", count, seconds, failed,
                ru.ru_maxrss / 1024.0);
    return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string cmd = argv[1];
    if (cmd == "make-photos" && argc == 4) return makePhotos(argv[2], std::atoi(argv[3]));
    if (cmd == "derive") {
        if (!mirofoto::EnsureFolder(argv[2])) return 1;
        return derive(argv[2], argc - 3, argv + 3);
    }
    return usage();
}
