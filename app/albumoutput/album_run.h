// The album run: from the ticked albums of an image folder to a finished
// album in the output folder (menu page, album directories with thumbnail
// pages, picture pages and resized copies, background images). The album
// output form and the headless "generate" command both drive it; questions
// and progress go through an observer, and every text it shows comes from
// album_run_messages.h.
//
// Inside, the run is three parts under one sequence (album_run.cpp): the
// checks of the output folder and the policy for existing album folders
// (album_run_checks.h), the picture pipeline that makes the copies on a pool
// of threads and starts the next album early (picture_pipeline.h), and the
// page sequence (page_sequence.h).
#pragma once

#include "app/settings/album_settings.h"
#include "platform/ui_services.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mirofoto {

class ThreadPool;
struct ImageFolderAlbums;

/// What the run does with an album directory that already exists.
enum class ExistingAlbumPolicy {
    Ask,           ///< "フォルダ単位で確認メッセージを表示する"
    OverwriteAll,  ///< "すべて上書きする": delete and make anew
    HtmlOnly,      ///< "HTMLファイルのみ上書きする": keep existing pictures, rewrite the pages
    Skip,          ///< "上書きしない": leave it alone
    /// "変更された画像のみ作成する": rewrite the pages, make again only the
    /// copies whose source, settings or turn changed, remove what the
    /// program made for pictures and albums no longer in the album.
    Update,
};

/// One ticked album of the run.
struct AlbumRunAlbum {
    std::string entry;  ///< the image folder's path ending in "/", or a subfolder's name
    std::string title;  ///< its entry text on the menu page
};

struct AlbumRunRequest {
    std::string outputFolderText;  ///< the output folder box, as typed
    ExistingAlbumPolicy existing = ExistingAlbumPolicy::Ask;
    std::string imageFolderText;  ///< the image folder box
    std::vector<AlbumRunAlbum> albums;  ///< the ticked albums, in any order
    std::string menuTitle;
    std::string menuSubtitle;
    AlbumSettings settings;
    /// The program's thread pool, which makes the resized pictures; it may
    /// also be running the run itself. Null: the run makes a pool of its own
    /// with the number of threads below.
    ThreadPool* pool = nullptr;
    /// Threads making the resized pictures when the run makes its own pool;
    /// 0 means one per processor core. Every output file is the same
    /// whatever the number.
    unsigned threads = 0;
    /// The shooting date reader ("yyyy/mm/dd hh:mm:ss" or empty); called on
    /// the thread that runs the album. Empty means the EXIF reader.
    std::function<std::string(std::string_view path)> readShootingDate;
    /// Album folders that could not be read when the albums were listed
    /// (ImageFolderAlbums::unreadableFolders): the run names them and
    /// counts as incomplete.
    std::vector<std::string> unreadableFolders;
    /// Asked before each picture and each album (on the run's thread):
    /// true stops the run after the picture being made. The thumbnail page
    /// of the album in hand and the menu page, with the albums begun so far,
    /// are closed properly; pictures queued but not begun are not made.
    std::function<bool()> stopRequested;
};

/// The lock file a run holds in the output folder while it writes there
/// (never linked from a page; removed at the end of the run, and harmless
/// when a killed run leaves it).
inline constexpr std::string_view kRunLockFileName = ".mirofoto-run.lock";

/// Thrown by an observer's ask() to stop the run where it stands (for
/// instance when no one can answer). GenerateAlbum catches it and returns
/// with stopped set; what was finished stays, the menu page is not replaced.
struct AlbumRunCancelled : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// The questions the run asks.
enum class AlbumQuestion { CreateOutputFolder, RecreateAlbum, ShowAlbum };

/// Receives the run's questions, messages and progress, all on the thread
/// that called GenerateAlbum. The defaults show message boxes through the
/// user-interface services, with the application title as caption.
class AlbumRunObserver {
public:
    virtual ~AlbumRunObserver() = default;
    virtual platform::MsgResult ask(AlbumQuestion question, std::string_view text, platform::MsgButtons buttons,
                                    platform::MsgIcon icon);
    virtual void tell(std::string_view text, platform::MsgIcon icon);
    /// Opens the finished album's menu page (the answer Yes to ShowAlbum).
    virtual void showAlbum(std::string_view indexPage);

    virtual void outputFolderTrimmed(std::string_view /*text*/) {}
    virtual void focusOutputFolder() {}
    virtual void runStarted() {}                                            ///< the form grows to show progress
    virtual void runStopped() {}                                            ///< a stop before the albums
    virtual void albumsListed(const std::vector<std::string>& /*entries*/) {}
    virtual void albumStarted(int /*index*/) {}
    virtual void picturesListed(const std::vector<std::string>& /*names*/) {}
    virtual void pictureStarted(int /*index*/) {}
    virtual void pictureDone(int /*index*/) {}
    virtual void albumDone(int /*index*/) {}
    virtual void runFinished() {}  ///< after the last question: the form closes
};

/// A picture whose copies could not be made, and why.
struct PictureFailure {
    std::string source;  ///< the picture's path
    /// What the user is told: "破損したJPEGファイルです", "読み込めません: 権限が
    /// ありません", "ディスクに空きがありません", or the image library's own text.
    std::string reason;
    std::string detail;  ///< the whole technical text: step, file, library message, errno
};

struct AlbumRunResult {
    bool finished = false;     ///< false: the run stopped before or among the albums
    std::string cancelled;     ///< the text of an AlbumRunCancelled that stopped it
    std::string outputFolder;  ///< the output folder, ending in "/"
    int albums = 0;            ///< albums on the menu page
    int pictures = 0;          ///< pictures whose pages were written
    std::vector<std::string> failedPictures;  ///< sources whose copies could not be made
    std::vector<PictureFailure> pictureFailures;  ///< the same pictures, in the same order, with reasons
    std::vector<std::string> problems;        ///< pages, folders and copies that failed
    std::vector<std::string> unreadableFolders;   ///< album folders that could not be read
    std::vector<std::string> refusedBackgrounds;  ///< "背景画像0: file（why）" for each one not copied
    int copiesMade = 0;     ///< thumbnails and enlarged copies written by this run
    int copiesKept = 0;     ///< existing copies left as they stood
    int copiesRemoved = 0;  ///< copies of pictures or albums no longer in the album (update)
    /// Update: files and folders in the output folder the program did not
    /// make, left alone.
    std::vector<std::string> leftAlone;
    /// Stopped on stopRequested: finished is false, the pages written so
    /// far are whole. albums counts the albums on the menu page (the last
    /// one perhaps with only its first picturesInLastAlbum pictures, out of
    /// picturesListedInLastAlbum).
    bool stoppedByRequest = false;
    int albumsListed = 0;  ///< albums the run was given to make
    int picturesInLastAlbum = 0;
    int picturesListedInLastAlbum = 0;
    std::string lastAlbum;  ///< entry of the last album on the menu page
    std::string lastAlbumDirectory;  ///< and the name of its folder in the output folder

    /// Finished, and nothing was left out or failed.
    bool complete() const {
        return finished && failedPictures.empty() && problems.empty() && unreadableFolders.empty() &&
               refusedBackgrounds.empty();
    }
};

/// The request for a run of the listed image folder: its ticked albums in
/// run order with their menu entries, the menu texts and the folders that
/// could not be read, into the output folder as typed, with the treatment
/// and settings given. The window and "generate" both start here.
AlbumRunRequest albumRunRequest(const ImageFolderAlbums& folder, std::string outputFolderText,
                                ExistingAlbumPolicy existing, const AlbumSettings& settings);

/// Runs the album output. Never throws.
AlbumRunResult GenerateAlbum(const AlbumRunRequest& request, AlbumRunObserver& observer);

}  // namespace mirofoto
