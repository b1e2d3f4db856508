// What a publish knows about the files: the output folder as it stands (each
// file's name, size and content hash) and, per target, the manifest of what
// earlier publishes sent there. The manifest lives in the program's state
// for the output folder, never on the target.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace mirofoto::publish {

/// One file: its path below the output folder ("album/x_s.jpg", '/' between
/// folders), its size and the 64-bit XXH3 hash of its content.
struct FileFacts {
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
};
using FileMap = std::map<std::string, FileFacts>;

/// The files of the output folder that a publish sends: every regular file
/// below it except the run lock, the program's records and the temporary
/// files of a writer at work. Links are not followed. Files that cannot be
/// read, or whose names the transfer list cannot hold, go to *skipped.
FileMap listOutputFolder(const std::string& outputFolder, std::vector<std::string>* skipped = nullptr);

/// The manifest of one target: the files an earlier publish sent there, with
/// their size and hash as they were sent.
struct Manifest {
    std::string target;
    FileMap files;
    bool existed = false;  ///< read from a file (else this is a first publish)
};

/// The file that keeps the manifest of the target for the output folder.
std::string manifestFile(const std::string& outputFolder, const std::string& target);

/// Reads the manifest; an unreadable or damaged file reads as empty (every
/// file is then sent again, never wrongly kept).
Manifest readManifest(const std::string& file, const std::string& target);
/// Writes it through a temporary file and a rename, flushed to the disk.
bool writeManifest(const std::string& file, const Manifest& manifest, std::string* error = nullptr);

/// Text form, for tests and the file.
std::string manifestText(const Manifest& manifest);
bool parseManifest(const std::string& text, Manifest& manifest);

}  // namespace mirofoto::publish
