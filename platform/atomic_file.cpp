#include "platform/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace platform {
namespace {

bool writeAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string followFileLink(std::string_view path) {
    const fs::path p{std::string(path)};
    std::error_code ec;
    if (!fs::is_symlink(p, ec)) return std::string(path);
    const fs::path target = fs::canonical(p, ec);
    return ec ? std::string(path) : target.string();
}

bool writeFileAtomically(std::string_view pathText, std::string_view bytes) {
    if (pathText.empty()) return false;
    const std::string path = followFileLink(pathText);

    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) return false;
    // A file the user made read-only stays as it is, as the platform's own
    // writer refuses it; the rename below would otherwise replace it.
    if (exists && ::access(path.c_str(), W_OK) != 0) return false;

    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));

    // The temporary name does not derive from the file name, so a file name
    // near the system's length limit still gets a temporary file.
    static std::atomic<unsigned> counter{0};
    const mode_t mode = exists ? (existing.st_mode & 07777) : 0666;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder + "/.mirofoto-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;

    bool ok = true;
    if (exists) {
        // open() applied the umask; the replaced file's own bits win.
        ok = ::fchmod(fd, mode) == 0;
        if (ok && (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()))
            (void)!::fchown(fd, existing.st_uid, existing.st_gid);  // only a privileged process may
    }
    ok = ok && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

}  // namespace platform
