#include "app/util/storage_location.h"

#include "app/util/paths.h"

#include <xxhash.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirofoto {
namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The base folder an XDG variable names. A relative or empty value is
// invalid there and stands for the default below the home folder.
std::string xdgBase(const std::string& variable, const std::string& home, const char* fallback) {
    if (!variable.empty() && variable.front() == '/') return withTrailingSlash(variable);
    return withTrailingSlash(home) + fallback;
}

}  // namespace

StorageFacts StorageFacts::ofThisProcess() {
    StorageFacts f;
    f.homeVariable = env("MIROFOTO_HOME");
    if (f.homeVariable.empty()) {
        f.programFolder = ProgramFolder();
        f.programFolderWritable = ::access(f.programFolder.c_str(), W_OK) == 0;
    }
    f.xdgConfigHome = env("XDG_CONFIG_HOME");
    f.xdgCacheHome = env("XDG_CACHE_HOME");
    f.userHome = env("HOME");
    if (f.userHome.empty())
        if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) f.userHome = pw->pw_dir;
    return f;
}

StorageLocation decideStorageLocation(const StorageFacts& f) {
    StorageLocation at;
    if (!f.homeVariable.empty()) {
        at.settingsFolder = withTrailingSlash(f.homeVariable);
        at.tempFolder = at.settingsFolder + "temp/";
        at.reason = StorageReason::HomeVariable;
        at.why = "MIROFOTO_HOME is set";
        return at;
    }
    const std::string program = withTrailingSlash(f.programFolder);
    if (f.programFolderWritable || f.userHome.empty()) {
        at.settingsFolder = program;
        at.tempFolder = program + "temp/";
        at.reason = StorageReason::ProgramFolder;
        at.why = f.programFolderWritable ? "the program folder " + program + " is writable"
                                         : "the program folder " + program +
                                               " is not writable and no home folder is known";
        return at;
    }
    at.settingsFolder = xdgBase(f.xdgConfigHome, f.userHome, ".config/") + "mirofoto/";
    at.tempFolder = xdgBase(f.xdgCacheHome, f.userHome, ".cache/") + "mirofoto/temp/";
    at.reason = StorageReason::UserFolders;
    at.why = "the program folder " + program + " is not writable for this user (an installed program)";
    return at;
}

StorageLocation storageLocation() { return decideStorageLocation(StorageFacts::ofThisProcess()); }

bool ensureSettingsFolder(const StorageLocation& location) {
    if (FolderExists(location.settingsFolder)) return true;
    if (location.reason != StorageReason::UserFolders) return false;
    // Level by level, so that each folder made here is private to the user
    // whatever the umask says; existing levels keep their modes.
    const std::string& folder = location.settingsFolder;
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        const std::string level = folder.substr(0, slash);
        if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return FolderExists(folder);
}

}  // namespace mirofoto

namespace mirofoto {

std::string outputStateFolder(const StorageLocation& location, const std::string& outputFolder) {
    std::string real = outputFolder;
    if (char* resolved = ::realpath(outputFolder.c_str(), nullptr)) {
        real = resolved;
        std::free(resolved);
    }
    real = withTrailingSlash(real);
    // A readable part so that a person looking into the settings folder
    // can tell the output folders apart; the hash makes the name unique.
    std::string readable;
    for (const unsigned char c : GetLastFolderName(real)) {
        if (readable.size() >= 40) break;
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_';
        readable += plain ? static_cast<char>(c) : '_';
    }
    if (readable.empty()) readable = "root";
    const XXH128_hash_t h = XXH3_128bits(real.data(), real.size());
    char hex[40];
    std::snprintf(hex, sizeof hex, "%016llx%016llx", static_cast<unsigned long long>(h.high64),
                  static_cast<unsigned long long>(h.low64));
    return withTrailingSlash(location.settingsFolder) + "output-state/" + readable + "-" + hex + "/";
}

}  // namespace mirofoto
