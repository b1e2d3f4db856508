#include "app/albumoutput/album_run_checks.h"

#include "app/albumoutput/album_folders.h"
#include "app/albumoutput/album_run_messages.h"
#include "app/util/paths.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace mirofoto {
namespace {

// inner is outer or lies inside it.
bool within(const fs::path& inner, const fs::path& outer) {
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
        if (o->empty()) continue;  // a trailing separator
        if (i == inner.end() || *i != *o) return false;
    }
    return true;
}

// Why a file could not be opened for reading, as the user is told.
std::string whyUnreadable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return runText(RunText::ReasonNotRegular);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    const int code = fd < 0 ? errno : 0;
    if (fd >= 0) ::close(fd);
    return failureReasonText(code, false, {});
}

}  // namespace

std::string trimSpaces(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

std::string realFolderPath(std::string_view path) {
    if (path.empty()) return {};
    std::string real = platform::resolvedPath(path).string();
    while (real.size() > 1 && real.back() == '/') real.pop_back();
    return real;
}

SourceFolders::SourceFolders(std::string imageFolder, const std::vector<AlbumRunAlbum>& albums,
                             std::string_view outputFolderText)
    : m_root(std::move(imageFolder)), m_output(realFolderPath(trimSpaces(outputFolderText))) {
    if (m_root.empty()) return;
    m_folders.push_back(m_root);
    // Every subfolder counts, not only the ticked albums: an unticked one
    // that is a link into the output folder would otherwise let the run
    // delete the photographs it leads to.
    std::error_code ec;
    for (auto it = fs::directory_iterator(fs::path(m_root), ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        std::error_code kind;
        if (it->is_directory(kind)) m_folders.push_back(m_root + it->path().filename().string());
    }
    // The output folder (or a link to it) holds the album being written, not
    // photographs; one that holds pictures stays a source (and the run is
    // refused), as does one that is an album of the run.
    if (!m_output.empty())
        std::erase_if(m_folders, [&](const std::string& f) {
            return f != m_root && realFolderPath(f) == m_output && listPictureFiles(f).empty();
        });
    for (const AlbumRunAlbum& a : albums)
        if (a.entry != m_root) m_folders.push_back(m_root + a.entry);  // a subfolder may be a link
    std::sort(m_folders.begin(), m_folders.end());
    m_folders.erase(std::unique(m_folders.begin(), m_folders.end()), m_folders.end());
    for (const std::string& folder : m_folders) {
        std::error_code listError;
        for (auto it = fs::directory_iterator(fs::path(folder), listError);
             !listError && it != fs::directory_iterator(); it.increment(listError)) {
            struct stat st {};
            if (::stat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
                m_files.emplace(static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino));
        }
    }
}

bool SourceFolders::overlap(const std::string& path) const {
    if (m_root.empty() || m_root == "/") return !m_root.empty();
    const fs::path p = platform::resolvedPath(path);
    // Inside the output folder only what is or holds a source counts.
    const bool inOutput = !m_output.empty() && within(p, fs::path(m_output));
    for (const std::string& folder : m_folders) {
        const fs::path f = platform::resolvedPath(folder);
        if (within(f, p) || (!inOutput && within(p, f))) return true;
    }
    return false;
}

bool SourceFolders::isSourceFile(const std::string& path) const {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return m_files.count({static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)}) > 0;
}

bool isRealFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ensureRealFolder(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        if (!S_ISLNK(st.st_mode)) {
            errno = EEXIST;
            return false;
        }
        // Only the link goes: what it names is never written through.
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) return false;
    } else if (errno != ENOENT) {
        return false;
    }
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    return errno == EEXIST && isRealFolder(path);
}

bool removeAlbumFolder(const std::string& path, const SourceFolders& sources) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISDIR(st.st_mode)) {
        if (sources.isSourceFile(path)) return false;
        return ::unlink(path.c_str()) == 0 || errno == ENOENT;
    }
    std::vector<std::string> children;
    std::error_code ec;
    for (auto it = fs::directory_iterator(fs::path(path), ec); !ec && it != fs::directory_iterator(); it.increment(ec))
        children.push_back(it->path().string());
    bool all = !ec;
    for (const std::string& child : children) all = removeAlbumFolder(child, sources) && all;
    return all && (::rmdir(path.c_str()) == 0 || errno == ENOENT);
}

std::optional<std::string> checkOutputFolder(const AlbumRunRequest& request, const SourceFolders& sources,
                                             AlbumRunObserver& observer) {
    const std::string text = trimSpaces(request.outputFolderText);
    observer.outputFolderTrimmed(text);
    const auto refuse = [&](std::string message) {
        observer.tell(message, MsgIcon::Exclamation);
        observer.focusOutputFolder();
        return std::nullopt;
    };
    if (text.empty()) return refuse(runText(RunText::OutputFolderEmpty));
    // Album directories bear the names of the album folders: an output
    // folder that overlaps the image folder would have the run delete or
    // overwrite the user's photographs.
    if (sources.overlap(text)) return refuse(runText(RunText::OutputFolderOverlaps, {sources.imageFolder()}));
    struct stat st {};
    if (::stat(text.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
        return refuse(runText(RunText::OutputFolderIsFile, {text}));
    if (!FolderExists(text)) {
        if (observer.ask(AlbumQuestion::CreateOutputFolder, runText(RunText::CreateOutputFolder, {text}),
                         MsgButtons::OkCancel, MsgIcon::Information) != MsgResult::Ok) {
            observer.focusOutputFolder();
            return std::nullopt;
        }
        if (!EnsureFolder(text)) {
            observer.tell(runText(RunText::OutputFolderNotCreated), MsgIcon::Critical);
            return std::nullopt;
        }
    }
    return withTrailingSlash(text);
}

OutputFolderLock::~OutputFolderLock() { release(); }

OutputFolderLock::OutputFolderLock(OutputFolderLock&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)) {}

OutputFolderLock& OutputFolderLock::operator=(OutputFolderLock&& other) noexcept {
    if (this != &other) {
        release();
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

void OutputFolderLock::release() {
    if (m_fd < 0) return;
    // Removed while still held: a run waiting for this very file finds it
    // gone when it gets the lock, and makes a new one (below).
    ::unlink(m_path.c_str());
    ::close(m_fd);
    m_fd = -1;
}

OutputFolderLock OutputFolderLock::acquire(const std::string& outputFolder, bool& busy, std::error_code& error) {
    busy = false;
    error.clear();
    OutputFolderLock lock;
    const std::string path = withTrailingSlash(outputFolder) + std::string(kRunLockFileName);
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) {
            error.assign(errno, std::generic_category());
            return lock;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int code = errno;
            ::close(fd);
            if (code == EWOULDBLOCK) busy = true;
            else error.assign(code, std::generic_category());
            return lock;
        }
        // The lock counts only on the file that still bears the name: the
        // run before may have removed it between our open and our flock.
        struct stat held {}, named {};
        if (::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            lock.m_fd = fd;
            lock.m_path = path;
            return lock;
        }
        ::close(fd);
    }
    busy = true;  // the file keeps being replaced under us: someone else is at work there
    return lock;
}

bool looksLikeBackgroundImage(std::string_view head) {
    return head.starts_with("\xFF\xD8\xFF") || head.starts_with("GIF87a") || head.starts_with("GIF89a") ||
           head.starts_with("\x89PNG\r\n\x1A\n");
}

BackgroundOutcome copyBackgroundImages(const AlbumSettings& settings, const std::string& outputFolder,
                                       const SourceFolders& sources) {
    BackgroundOutcome outcome;
    bool anyImage = false;
    for (const PageStyle& p : settings.pages) anyImage = anyImage || !p.useBackgroundColor;
    if (!anyImage) return outcome;
    const std::string images = outputFolder + "images";
    // A link standing there is replaced, never written through.
    if (!ensureRealFolder(images)) {
        outcome.folderFailed = true;
        return outcome;
    }
    // An "images" that is a link into the photographs is never written into.
    if (sources.overlap(images)) {
        outcome.problems.push_back(images);
        return outcome;
    }
    platform::removeStaleTemporaries(images);
    for (int k = 0; k < 3; ++k) {
        const PageStyle& p = settings.pages[k];
        if (p.useBackgroundColor || p.backgroundImage.empty()) continue;
        const std::string setting = "背景画像" + std::to_string(k);
        const auto refuse = [&](const std::string& why) {
            outcome.refused.push_back(runText(RunText::BackgroundItem, {setting, p.backgroundImage, why}));
        };
        // Read once and judged by what was read: the settings file may name
        // anything, and only a picture may end up in the published album.
        std::string bytes;
        switch (platform::readFileBytes(p.backgroundImage, bytes)) {
        case platform::FileRead::Missing: continue;  // a plain body, as for no image
        case platform::FileRead::Failed: refuse(whyUnreadable(p.backgroundImage)); continue;
        case platform::FileRead::Ok: break;
        }
        if (!looksLikeBackgroundImage(bytes)) {
            refuse(runText(RunText::ReasonNotImage));
            continue;
        }
        std::string error;
        if (!platform::writeFileAtomically(images + "/" + GetFileName(p.backgroundImage), bytes, &error))
            outcome.problems.push_back(error);
        else
            outcome.copied[k] = true;
    }
    return outcome;
}

AlbumFolderAction decideExistingAlbum(ExistingAlbumPolicy policy, const std::string& entry,
                                      const std::string& albumFolder, const SourceFolders& sources,
                                      AlbumRunObserver& observer, bool ahead, std::vector<std::string>& problems) {
    // A link, or a file, standing where the album folder goes is not an
    // album folder: the link is replaced by a real folder when the album is
    // made (what it names is never written into nor emptied), a file stays
    // and the folder cannot be made.
    if (!isRealFolder(albumFolder)) return AlbumFolderAction::Make;
    if (sources.overlap(albumFolder)) {
        // A link in the output folder that leads to the photographs.
        problems.push_back(albumFolder);
        return AlbumFolderAction::Skip;
    }
    const auto remake = [&] {
        if (!removeAlbumFolder(albumFolder, sources)) problems.push_back(albumFolder);
        return AlbumFolderAction::Make;
    };
    switch (policy) {
    case ExistingAlbumPolicy::Ask:
        if (ahead) return AlbumFolderAction::NotYet;
        if (observer.ask(AlbumQuestion::RecreateAlbum, runText(RunText::RecreateAlbum, {entry}), MsgButtons::YesNo,
                         MsgIcon::Information) == MsgResult::Yes)
            return remake();
        return AlbumFolderAction::Skip;
    case ExistingAlbumPolicy::OverwriteAll: return remake();
    case ExistingAlbumPolicy::HtmlOnly: return AlbumFolderAction::KeepCopies;
    case ExistingAlbumPolicy::Skip: return AlbumFolderAction::Skip;
    case ExistingAlbumPolicy::Update: return AlbumFolderAction::Update;
    }
    return AlbumFolderAction::Skip;
}

}  // namespace mirofoto
