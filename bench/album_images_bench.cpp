// Benchmark driver for the album's picture derivation (not a test).
//
//   album_images_bench make-photos DIR COUNT
//       writes COUNT photograph-like 4000 x 3000 JPEGs (quality 92) to DIR,
//       the same bytes on every run (fixed seeds);
//   album_images_bench derive OUTDIR FILE...
//       makes the thumbnail (120 x 90, quality 60) and the enlarged picture
//       (480 x 360, quality 90) of every file with MakeAlbumImage, on this one
//       thread, and prints the elapsed seconds and the peak memory;
//   album_images_bench derive-both OUTDIR FILE...
//       the same two copies from one decode per picture (MakeAlbumImages).
#include "app/albumoutput/image_derivation.h"
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

// Shared light and shade (large shapes, mid-sized structure, fine texture,
// cell-like edges), a weaker colour cast per channel, sensor grain and a
// brighter "sky" towards the top: a JPEG codec sees about the entropy of a
// real photograph, not a flat synthetic picture.
VipsImage* photo(VipsObject* scope, int width, int height, int seed) {
    VipsImage** t = (VipsImage**)vips_object_local_array(scope, 64);
    int n = 0;
    auto check = [](int r) {
        if (r != 0) {
            std::fprintf(stderr, "%s\n", vips_error_buffer());
            std::exit(1);
        }
    };
    auto keep = [&](VipsImage* im) { return t[n++] = im; };
    auto add = [&](VipsImage* a, VipsImage* b) {
        VipsImage* r;
        check(vips_add(a, b, &r, nullptr));
        return keep(r);
    };
    auto scaled = [&](VipsImage* a, double k) {
        VipsImage* r;
        check(vips_linear1(a, &r, k, 0, nullptr));
        return keep(r);
    };
    auto perlin = [&](int cell, int s) {
        VipsImage* r;
        check(vips_perlin(&r, width, height, "cell_size", cell, "seed", s, nullptr));
        return keep(r);
    };
    VipsImage* worley;
    check(vips_worley(&worley, width, height, "cell_size", 180, "seed", seed * 7 + 3, nullptr));
    keep(worley);
    VipsImage* light = scaled(perlin(640, seed * 101), 60);
    light = add(light, scaled(perlin(160, seed * 101 + 1), 30));
    light = add(light, scaled(perlin(24, seed * 101 + 2), 14));
    light = add(light, scaled(worley, 0.25));
    VipsImage* bands[3];
    for (int b = 0; b < 3; ++b) bands[b] = add(light, scaled(perlin(480 + 40 * b, seed * 101 + 10 + b), 25));
    VipsImage* rgb;
    check(vips_bandjoin(bands, &rgb, 3, nullptr));
    keep(rgb);
    VipsImage *xy, *y, *sky, *grain, *out;
    check(vips_xyz(&xy, width, height, nullptr));
    keep(xy);
    check(vips_extract_band(xy, &y, 1, nullptr));
    keep(y);
    double a[3] = {-50.0 / height, -40.0 / height, -15.0 / height};
    double b[3] = {110, 120, 140};
    check(vips_linear(y, &sky, a, b, 3, nullptr));
    keep(sky);
    check(vips_gaussnoise(&grain, width, height, "sigma", 4.0, "mean", 0.0, "seed", seed, nullptr));
    keep(grain);
    check(vips_cast_uchar(add(add(rgb, sky), grain), &out, nullptr));
    return keep(out);
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

int derive(const std::string& outDir, int count, char** files, bool oneDecode) {
    const auto start = std::chrono::steady_clock::now();
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        const std::string src = files[i];
        const std::string stem = outDir + "/" + mirofoto::RemoveExtension(mirofoto::GetFileName(src));
        if (oneDecode) {
            mirofoto::AlbumImageRequest both[] = {{stem + "_s.jpg", 90, 120, 60, true},
                                                  {stem + "_l.jpg", 360, 480, 90, true}};
            mirofoto::MakeAlbumImages(src, both);
            for (const auto& r : both) failed += r.made ? 0 : 1;
            continue;
        }
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
    if (cmd == "derive" || cmd == "derive-both") {
        if (!mirofoto::EnsureFolder(argv[2])) return 1;
        return derive(argv[2], argc - 3, argv + 3, cmd == "derive-both");
    }
    return usage();
}
