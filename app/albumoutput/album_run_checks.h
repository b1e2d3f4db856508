// The album run's checks before it writes and its policy for what already
// stands in the output folder: the output folder itself (named, not a file,
// apart from the photographs, created on request), the lock that keeps a
// second run out, the background images, and the treatment of an album
// folder that exists.
#pragma once

#include "app/albumoutput/album_run.h"
#include "app/albumoutput/page_writers.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace mirofoto {

/// The text without spaces at either end.
std::string trimSpaces(std::string_view text);

/// The real path of a folder (links resolved as far as they exist, made
/// absolute), without a final "/"; empty for the empty text.
std::string realFolderPath(std::string_view path);

/// The places the run reads from and must never write into: the image
/// folder and every folder it reaches as an album, ticked or not (a
/// subfolder may be a link to elsewhere, even into the output folder).
///
/// The output folder may lie inside the image folder (/photos/web): then
/// the subfolder that is the output folder, by real path, is no album and
/// no source (unless it holds pictures), and what lies inside the output
/// folder is the run's to write.
class SourceFolders {
public:
    /// Lists the image folder's subfolders itself; albums adds the run's
    /// album entries (normally among them already). A subfolder that is the
    /// output folder (outputFolderText, trimmed; a link to it included) and
    /// holds no pictures is left out unless it is one of the albums.
    SourceFolders(std::string imageFolder, const std::vector<AlbumRunAlbum>& albums,
                  std::string_view outputFolderText = {});
    /// The path (a folder or a file, followed through links as far as they
    /// exist) is or holds one of them, or lies in one of them outside the
    /// output folder. For the output folder itself: it is the image folder,
    /// lies above it, is an album folder, or holds a subfolder of the image
    /// folder (a link into it) below its top.
    bool overlap(const std::string& path) const;
    /// The path names (without following a link at its end) a file that is
    /// also a file of one of those folders: the same file, by device and
    /// inode, as a photograph there. The run never removes such a file.
    bool isSourceFile(const std::string& path) const;
    const std::string& imageFolder() const { return m_root; }

private:
    std::string m_root;
    std::string m_output;  // its real path, without a final "/"; empty for none
    std::vector<std::string> m_folders;
    std::set<std::pair<std::uint64_t, std::uint64_t>> m_files;  // device, inode
};

/// Makes the path a real folder of its own: a symbolic link standing there
/// is removed (what it names stays untouched) and a folder made in its place;
/// a missing folder is made. False (errno set) when something else stands
/// there or the folder cannot be made; nothing that is not a link is ever
/// removed.
bool ensureRealFolder(const std::string& path);

/// A real folder (not a link to one) stands at the path.
bool isRealFolder(const std::string& path);

/// Deletes an album folder the run makes anew, going on past what it cannot
/// delete and never following a link. Files of the sources stay (see
/// SourceFolders::isSourceFile). True when nothing is left.
bool removeAlbumFolder(const std::string& path, const SourceFolders& sources);

/// The output folder of the request, ending in "/", once it is known to be
/// a folder apart from the photographs; it is created when missing and the
/// observer's question says OK. Otherwise nothing, after the observer was
/// told why (and asked to focus the box where the user can mend it).
std::optional<std::string> checkOutputFolder(const AlbumRunRequest& request, const SourceFolders& sources,
                                             AlbumRunObserver& observer);

/// The lock of an output folder for the length of a run: an exclusive flock
/// on kRunLockFileName in it. Released and the file removed on destruction.
class OutputFolderLock {
public:
    OutputFolderLock() = default;
    ~OutputFolderLock();
    OutputFolderLock(OutputFolderLock&& other) noexcept;
    OutputFolderLock& operator=(OutputFolderLock&& other) noexcept;

    /// Takes the lock; when another run holds it, busy is set and nothing
    /// is held. error says why a lock file could not be made.
    static OutputFolderLock acquire(const std::string& outputFolder, bool& busy, std::error_code& error);
    bool held() const { return m_fd >= 0; }

private:
    void release();
    int m_fd = -1;
    std::string m_path;
};

/// True when the bytes begin as a JPEG, GIF or PNG file does.
bool looksLikeBackgroundImage(std::string_view head);

/// The background images of the page kinds that use one, copied into the
/// output folder's "images" folder.
struct BackgroundOutcome {
    bool folderFailed = false;  ///< "images" could not be made: the run stops
    BackgroundCopies copied{};
    std::vector<std::string> refused;   ///< setting, file and why, for each not copied
    std::vector<std::string> problems;  ///< copies that could not be written
};

/// Copies each kind's background image that exists, is a regular file and
/// begins as a JPEG, GIF or PNG file; a missing one is left out silently.
/// An "images" folder that leads into the sources is never written into.
BackgroundOutcome copyBackgroundImages(const AlbumSettings& settings, const std::string& outputFolder,
                                       const SourceFolders& sources);

/// What the run does with one album's folder in the output folder.
enum class AlbumFolderAction {
    Make,       ///< the folder is new or was emptied: make everything
    KeepCopies, ///< keep the copies that exist, rewrite the pages
    Skip,       ///< leave it alone (its menu row is written all the same)
    NotYet,     ///< a question would be needed, and the album is being prepared early
    Update,     ///< keep the copies that are current by the folder's record, rewrite the pages
};

/// Applies the policy to the album folder when a real folder stands there
/// (asking the observer for ExistingAlbumPolicy::Ask unless ahead is set,
/// deleting it when it is to be made anew); a link or nothing there gives
/// Make. A folder that leads into the sources is skipped and listed in
/// problems.
AlbumFolderAction decideExistingAlbum(ExistingAlbumPolicy policy, const std::string& entry,
                                      const std::string& albumFolder, const SourceFolders& sources,
                                      AlbumRunObserver& observer, bool ahead, std::vector<std::string>& problems);

}  // namespace mirofoto
