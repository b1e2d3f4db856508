// Writes the seed corpus of the JPEG segment walk's fuzz target: the hostile
// headers of the tests (scripts/fuzz.sh --seed).
#include "hostile_headers.h"

#include "tests/support/seed_folder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv) {
    const auto folder = testing_support::seedFolder(argc, argv);
    if (!folder) return 2;
    const std::filesystem::path& dir = *folder;
    for (const auto& h : hostile_headers::all()) std::ofstream(dir / (h.name + ".jpg"), std::ios::binary) << h.bytes;
    return 0;
}
