#include "app/publish/publish_manifest.h"

#include "app/albumoutput/album_run.h"
#include "app/albumoutput/copy_record.h"
#include "app/util/storage_location.h"
#include "platform/atomic_file.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <xxhash.h>

namespace mirofoto::publish {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHeader = "mirofoto-publish-manifest 1";

std::string hex64(std::uint64_t v) {
    char buf[20];
    std::snprintf(buf, sizeof buf, "%016" PRIx64, v);
    return buf;
}

bool sentByUs(const std::string& name) {
    return name != kRunLockFileName && name != kAlbumRecordFileName && !platform::isTemporaryName(name);
}

}  // namespace

FileMap listOutputFolder(const std::string& outputFolder, std::vector<std::string>* skipped) {
    FileMap files;
    std::error_code ec;
    const fs::path root(outputFolder);
    for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        std::error_code sec;
        if (!entry.is_regular_file(sec) || entry.is_symlink(sec)) continue;
        const std::string name = entry.path().filename().string();
        if (!sentByUs(name)) continue;
        const std::string relative = entry.path().lexically_relative(root).generic_string();
        // One name per line in the transfer list: a line break cannot be
        // carried.
        if (relative.find_first_of("\r\n") != std::string::npos) {
            if (skipped) skipped->push_back(relative);
            continue;
        }
        const std::optional<std::uint64_t> hash = contentHash(entry.path().string());
        const std::uint64_t size = entry.file_size(sec);
        if (!hash || sec) {
            if (skipped) skipped->push_back(relative);
            continue;
        }
        files[relative] = {size, *hash};
    }
    return files;
}

std::string manifestFile(const std::string& outputFolder, const std::string& target) {
    const XXH128_hash_t h = XXH3_128bits(target.data(), target.size());
    return outputStateFolder(storageLocation(), outputFolder) + "publish/" + hex64(h.high64) + hex64(h.low64) +
           ".manifest";
}

std::string manifestText(const Manifest& manifest) {
    std::string text = std::string(kHeader) + "\n" + "target " + manifest.target + "\n";
    for (const auto& [path, facts] : manifest.files)
        text += std::to_string(facts.size) + " " + hex64(facts.hash) + " " + path + "\n";
    // The manifest ends with a hash of its own text: a cut or damaged file
    // reads as no manifest at all.
    text += "end " + hex64(XXH3_64bits(text.data(), text.size())) + "\n";
    return text;
}

bool parseManifest(const std::string& text, Manifest& manifest) {
    manifest.files.clear();
    const std::size_t endAt = text.rfind("end ");
    if (endAt == std::string::npos || (endAt > 0 && text[endAt - 1] != '\n')) return false;
    const std::string body = text.substr(0, endAt);
    if (text.substr(endAt) != "end " + hex64(XXH3_64bits(body.data(), body.size())) + "\n") return false;
    std::istringstream in(body);
    std::string line;
    if (!std::getline(in, line) || line != kHeader) return false;
    if (!std::getline(in, line) || !line.starts_with("target ")) return false;
    manifest.target = line.substr(7);
    while (std::getline(in, line)) {
        const std::size_t a = line.find(' ');
        const std::size_t b = a == std::string::npos ? a : line.find(' ', a + 1);
        if (b == std::string::npos || b + 1 >= line.size()) return false;
        FileFacts facts;
        try {
            facts.size = std::stoull(line.substr(0, a));
            facts.hash = std::stoull(line.substr(a + 1, b - a - 1), nullptr, 16);
        } catch (const std::exception&) {
            return false;
        }
        manifest.files[line.substr(b + 1)] = facts;
    }
    return true;
}

Manifest readManifest(const std::string& file, const std::string& target) {
    Manifest manifest;
    manifest.target = target;
    std::string text;
    if (platform::readFileBytes(file, text) != platform::FileRead::Ok) return manifest;
    Manifest read;
    if (!parseManifest(text, read) || read.target != target) return manifest;
    read.existed = true;
    return read;
}

bool writeManifest(const std::string& file, const Manifest& manifest, std::string* error) {
    std::error_code ec;
    fs::create_directories(fs::path(file).parent_path(), ec);
    return platform::writeFileAtomically(file, manifestText(manifest), platform::WriteMode{{}, true}, error);
}

}  // namespace mirofoto::publish
