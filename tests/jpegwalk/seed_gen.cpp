// Writes the seed corpus of the JPEG segment walk's fuzz target: the hostile
// headers of the tests (scripts/fuzz.sh --seed).
#include "hostile_headers.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    for (const auto& h : hostile_headers::all()) std::ofstream(dir / (h.name + ".jpg"), std::ios::binary) << h.bytes;
    return 0;
}
