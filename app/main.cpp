// The start routine of ミロフォト. Without a command it reports where the
// program keeps its settings; "generate" (the album run without a window)
// and the windows come with their own parts of the program.
#include "app/util/paths.h"

#include <cstring>
#include <iostream>
#include <string>

namespace {

constexpr const char* kTitle = "ミロフォト";
constexpr int kMajor = 1;
constexpr int kMinor = 1;

void printUsage(std::ostream& out) {
    out << "使い方: mirofoto [--version | --help | info]\n"
           "  info       設定ファイルの場所を表示します\n";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "info";
    if (command == "--version") {
        std::cout << kTitle << "\u3000Ver" << kMajor << "." << kMinor << "\n";
        return 0;
    }
    if (command == "--help" || command == "-h") {
        printUsage(std::cout);
        return 0;
    }
    if (command == "info") {
        const std::string folder = mirofoto::ProgramFolder();
        std::cout << kTitle << "\u3000Ver" << kMajor << "." << kMinor << "\n"
                  << "program folder:      " << folder << "\n"
                  << "base settings file:  " << folder << "ミロフォト.ini\n"
                  << "program state file:  " << folder << "設定.ini\n";
        return 0;
    }
    std::cerr << "mirofoto: unknown command: " << command << "\n";
    printUsage(std::cerr);
    return 2;
}
