#include "platform/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
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

// The moment a process started, in clock ticks since boot (field 22 of its
// /proc stat line); 0 when the system does not tell.
unsigned long long startTimeOf(const std::string& statPath) {
    std::string line;
    if (readFileBytes(statPath, line) != FileRead::Ok) return 0;
    // The command name in field 2 may hold spaces and parentheses; the
    // fields after it start behind the last ')'.
    const auto close = line.rfind(')');
    if (close == std::string::npos) return 0;
    std::size_t pos = close + 1;
    for (int field = 3; field < 22; ++field) {
        pos = line.find(' ', pos + 1);
        if (pos == std::string::npos) return 0;
    }
    return std::strtoull(line.c_str() + pos + 1, nullptr, 10);
}

// This process as a writer: its id and start, read again after a fork.
struct Writer {
    pid_t pid;
    unsigned long long start;
};

Writer thisWriter() {
    // No lock, so that a child forked while another thread was here is not
    // stuck: threads that race compute the same values.
    static std::atomic<pid_t> cachedPid{-1};
    static std::atomic<unsigned long long> cachedStart{0};
    const pid_t pid = ::getpid();
    if (cachedPid.load(std::memory_order_acquire) != pid) {
        cachedStart.store(startTimeOf("/proc/self/stat"), std::memory_order_relaxed);
        cachedPid.store(pid, std::memory_order_release);
    }
    return {pid, cachedStart.load(std::memory_order_relaxed)};
}

// ".mirofoto-" pid "-" start "-" counter ".tmp", in fixed-width hex.
constexpr std::string_view kPrefix = ".mirofoto-";
constexpr std::string_view kSuffix = ".tmp";
constexpr int kPidDigits = 8, kStartDigits = 12, kCounterDigits = 8;
static_assert(kPrefix.size() + kPidDigits + 1 + kStartDigits + 1 + kCounterDigits + kSuffix.size() ==
              kTemporaryNameLength);

bool hexField(std::string_view s, std::size_t at, int digits, unsigned long long& value) {
    value = 0;
    for (int i = 0; i < digits; ++i) {
        const char c = s[at + static_cast<std::size_t>(i)];
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else return false;
        value = value * 16 + static_cast<unsigned>(d);
    }
    return true;
}

bool parseTemporaryName(std::string_view name, Writer& writer) {
    if (name.size() != kTemporaryNameLength || !name.starts_with(kPrefix) || !name.ends_with(kSuffix)) return false;
    std::size_t at = kPrefix.size();
    unsigned long long pid = 0, start = 0, counter = 0;
    if (!hexField(name, at, kPidDigits, pid) || name[at + kPidDigits] != '-') return false;
    at += kPidDigits + 1;
    if (!hexField(name, at, kStartDigits, start) || name[at + kStartDigits] != '-') return false;
    at += kStartDigits + 1;
    if (!hexField(name, at, kCounterDigits, counter)) return false;
    if (pid == 0 || pid > 0x7FFFFFFF) return false;
    writer = {static_cast<pid_t>(pid), start};
    return true;
}

bool isRunning(const Writer& w) {
    const Writer self = thisWriter();
    if (w.pid == self.pid) return w.start == self.start || self.start == 0;
    if (::kill(w.pid, 0) != 0 && errno == ESRCH) return false;
    const unsigned long long start = startTimeOf("/proc/" + std::to_string(w.pid) + "/stat");
    // Unknown (no /proc, hidden): running, so nothing live is ever removed.
    return start == 0 || start == w.start;
}

void syncFolder(const std::string& path) {
    const std::string folder = folderOf(path);
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    ::fsync(dir);
    ::close(dir);
}

}  // namespace

std::string newTemporaryName() {
    static std::atomic<unsigned> counter{0};
    const Writer w = thisWriter();
    char name[kTemporaryNameLength + 1];
    std::snprintf(name, sizeof name, "%.*s%08x-%012llx-%08x%.*s", int(kPrefix.size()), kPrefix.data(),
                  static_cast<unsigned>(w.pid), w.start & 0xFFFFFFFFFFFFULL, counter++, int(kSuffix.size()),
                  kSuffix.data());
    return name;
}

bool isTemporaryName(std::string_view name) {
    Writer w{};
    return parseTemporaryName(name, w);
}

std::size_t removeStaleTemporaries(std::string_view folderPath) {
    std::string folder(folderPath);
    if (folder.empty()) folder = ".";
    if (folder.back() != '/') folder += '/';
    std::size_t removed = 0;
    std::error_code ec;
    for (auto it = fs::directory_iterator(fs::path(folder), ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        Writer w{};
        if (!parseTemporaryName(name, w) || isRunning(w)) continue;
        // Only a plain file of that name is ours; a link or a folder named
        // so is someone else's.
        std::error_code typeError;
        if (!fs::is_regular_file(it->symlink_status(typeError))) continue;
        if (::unlink((folder + name).c_str()) == 0) ++removed;
    }
    return removed;
}

std::string followFileLink(std::string_view path) {
    const fs::path p{std::string(path)};
    std::error_code ec;
    if (!fs::is_symlink(p, ec)) return std::string(path);
    const fs::path target = fs::canonical(p, ec);
    return ec ? std::string(path) : target.string();
}

AtomicFile::~AtomicFile() { discard(); }

std::error_code AtomicFile::open(std::string_view targetPath, AtTargetLink link) {
    discard();
    m_error.clear();
    if (targetPath.empty()) return m_error = std::make_error_code(std::errc::invalid_argument);
    if (targetPath.back() == '/') return m_error = std::make_error_code(std::errc::is_a_directory);
    m_target = link == AtTargetLink::Follow ? followFileLink(targetPath) : std::string(targetPath);

    // What stands at the name itself: a link there (one not followed) is
    // replaced like a missing file.
    struct stat existing {};
    const bool exists = ::lstat(m_target.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode);
    if (exists && S_ISDIR(existing.st_mode)) return m_error = std::make_error_code(std::errc::is_a_directory);
    if (exists && !S_ISREG(existing.st_mode)) return m_error = std::make_error_code(std::errc::invalid_argument);
    // A file the user made read-only stays as it is; the rename would
    // otherwise replace it.
    if (exists && ::access(m_target.c_str(), W_OK) != 0) return m_error = lastError();

    const std::string folder = folderOf(m_target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temp = folder + newTemporaryName();
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
    // The rename itself reaches the disk with the folder.
    if (durable) syncFolder(m_target);
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

std::error_code replaceFileContents(std::string_view path, std::string_view bytes, WriteMode mode) {
    AtomicFile file;
    std::error_code ec = file.open(path, mode.link);
    if (!ec) ec = file.write(bytes);
    if (!ec) ec = file.commit(mode.durable);
    return ec;
}

bool writeFileAtomically(std::string_view path, std::string_view bytes, WriteMode mode, std::string* error) {
    const std::error_code ec = replaceFileContents(path, bytes, mode);
    if (ec && error) *error = std::string(path) + ": " + ec.message();
    return !ec;
}

bool writeFileAtomically(std::string_view path, std::string_view bytes, std::string* error) {
    return writeFileAtomically(path, bytes, WriteMode{}, error);
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
