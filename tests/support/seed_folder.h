// The one argument of a fuzzing seed writer: the folder it writes into.
#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>

namespace testing_support {

/// The output folder named on the command line, created; nothing (with the
/// usage said on standard error) when the arguments are not one folder.
inline std::optional<std::filesystem::path> seedFolder(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return std::nullopt;
    }
    std::filesystem::create_directories(argv[1]);
    return std::filesystem::path(argv[1]);
}

}  // namespace testing_support
