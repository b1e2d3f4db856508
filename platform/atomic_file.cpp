#include "platform/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

void setError(std::string* error, const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
}

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

// The umask, read without changing it (umask() itself would have to set it,
// which races with other threads creating files).
mode_t processUmask() {
    static const mode_t mask = [] {
        mode_t m = 022;
        if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, f))
                if (std::strncmp(line, "Umask:", 6) == 0) m = static_cast<mode_t>(std::strtol(line + 6, nullptr, 8));
            std::fclose(f);
        }
        return m;
    }();
    return mask;
}

}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // A hidden name in the same folder, so the rename stays on one file system.
    std::string tmp = folder + "/." + name.substr(0, 200) + ".tmpXXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        setError(error, "cannot create a temporary file in " + folder);
        return false;
    }
    mode_t mode = 0666 & ~processUmask();
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
    bool ok = writeAll(fd, bytes);
    if (!ok) setError(error, "cannot write " + tmp);
    if (ok && ::fchmod(fd, mode) != 0) {
        setError(error, "cannot set the permissions of " + tmp);
        ok = false;
    }
    if (ok && ::fsync(fd) != 0) {
        setError(error, "cannot flush " + tmp);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        setError(error, "cannot close " + tmp);
        ok = false;
    }
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
        setError(error, "cannot rename " + tmp + " to " + path);
        ok = false;
    }
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

bool readWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

}  // namespace platform
