#include "platform/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace platform {
namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return path.substr(0, slash + 1);
}

// A short hidden name that cannot be taken for a page or picture of an album
// and that does not grow with the target's name, so a name near the system's
// length limit still gets a temporary file.
std::string temporaryName() {
    static std::atomic<unsigned> counter{0};
    return ".mirofoto-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

}  // namespace

std::string followFileLink(std::string_view path) {
    const fs::path p{std::string(path)};
    std::error_code ec;
    if (!fs::is_symlink(p, ec)) return std::string(path);
    const fs::path target = fs::canonical(p, ec);
    return ec ? std::string(path) : target.string();
}

AtomicFile::~AtomicFile() { discard(); }

std::error_code AtomicFile::open(std::string_view targetPath) {
    discard();
    m_error.clear();
    if (targetPath.empty()) return m_error = std::make_error_code(std::errc::invalid_argument);
    if (targetPath.back() == '/') return m_error = std::make_error_code(std::errc::is_a_directory);
    m_target = followFileLink(targetPath);

    struct stat existing {};
    const bool exists = ::stat(m_target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) return m_error = std::make_error_code(std::errc::is_a_directory);
    if (exists && !S_ISREG(existing.st_mode)) return m_error = std::make_error_code(std::errc::invalid_argument);
    // A file the user made read-only stays as it is; the rename would
    // otherwise replace it.
    if (exists && ::access(m_target.c_str(), W_OK) != 0) return m_error = lastError();

    const std::string folder = folderOf(m_target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temp = folder + temporaryName();
        m_fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0 || errno != EEXIST) break;
    }
    if (m_fd < 0) {
        m_error = lastError();
        m_temp.clear();
        return m_error;
    }
    if (exists) {
        // open() applied the umask; the replaced file's own bits win.
        if (::fchmod(m_fd, existing.st_mode & 07777) != 0) {
            m_error = lastError();
            discard();
            return m_error;
        }
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())
            (void)!::fchown(m_fd, existing.st_uid, existing.st_gid);  // only a privileged process may
    }
    return {};
}

std::error_code AtomicFile::write(std::string_view bytes) {
    if (m_error) return m_error;
    if (m_fd < 0) return m_error = std::make_error_code(std::errc::bad_file_descriptor);
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return m_error = lastError();
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

std::error_code AtomicFile::commit(bool durable) {
    if (!m_error && m_fd < 0) m_error = std::make_error_code(std::errc::bad_file_descriptor);
    if (!m_error && durable && ::fsync(m_fd) != 0) m_error = lastError();
    if (!m_error) {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0) m_error = lastError();
    }
    if (!m_error && ::rename(m_temp.c_str(), m_target.c_str()) != 0) m_error = lastError();
    if (m_error) {
        discard();
        return m_error;
    }
    m_temp.clear();
    return {};
}

void AtomicFile::discard() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
}

bool writeFileAtomically(std::string_view path, std::string_view bytes, std::string* error) {
    AtomicFile file;
    std::error_code ec = file.open(path);
    if (!ec) ec = file.write(bytes);
    if (!ec) ec = file.commit(true);
    if (ec && error) *error = std::string(path) + ": " + ec.message();
    return !ec;
}

FileRead readFileBytes(const std::string& path, std::string& out) {
    // O_NONBLOCK: a FIFO in the file's place must not hang the program.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? FileRead::Missing : FileRead::Failed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return FileRead::Failed;
    }
    out.clear();
    out.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return FileRead::Failed;
        }
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return FileRead::Ok;
}

}  // namespace platform
