// Stores the turn of one picture, as the window's turn buttons do, for the
// update benchmarks (not a test):
//
//   update_run_turn IMAGE_FOLDER PICTURE DEGREES
//
// IMAGE_FOLDER is the image folder as "generate --image-folder" gets it,
// PICTURE the picture's full path, DEGREES 0, 90, 180 or 270. The settings
// go where MIROFOTO_HOME (or the program's folder) says.
#include "app/settings/per_folder_settings.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: update_run_turn IMAGE_FOLDER PICTURE DEGREES\n");
        return 2;
    }
    std::string folder = argv[1];
    if (!folder.ends_with('/')) folder += '/';
    if (!mirofoto::PerFolderSettings(folder).setTurn(argv[2], std::atoi(argv[3]))) {
        std::fprintf(stderr, "update_run_turn: the turn could not be stored\n");
        return 1;
    }
    return 0;
}
