#include "platform/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return path.substr(0, slash + 1);
}

// A short hidden name that cannot be taken for a page or picture of an album.
std::string temporaryName() {
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = std::random_device{}();
    char buf[48];
    std::snprintf(buf, sizeof buf, ".mirofoto-%08x%04x.tmp", seed ^ static_cast<unsigned>(::getpid()),
                  counter++ & 0xFFFFu);
    return buf;
}

}  // namespace

AtomicFile::~AtomicFile() { discard(); }

std::error_code AtomicFile::open(std::string_view targetPath) {
    discard();
    m_target = std::string(targetPath);
    m_error.clear();
    if (m_target.empty()) return m_error = std::make_error_code(std::errc::invalid_argument);
    if (m_target.back() == '/') return m_error = std::make_error_code(std::errc::is_a_directory);
    const std::string folder = folderOf(m_target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temp = folder + temporaryName();
        // 0666 under the umask: a new page must be as readable as any file
        // the user writes, a web server included.
        m_fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) break;
        if (errno != EEXIST) break;
    }
    if (m_fd < 0) {
        m_error = lastError();
        m_temp.clear();
        return m_error;
    }
    struct stat st {};
    if (::stat(m_target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(m_fd, st.st_mode & 07777);
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

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    AtomicFile file;
    std::error_code ec = file.open(path);
    if (!ec) ec = file.write(bytes);
    if (!ec) ec = file.commit(true);
    if (ec && error) *error = path + ": " + ec.message();
    return !ec;
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
