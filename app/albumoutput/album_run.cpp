#include "app/albumoutput/album_run.h"

#include "app/albumoutput/album_folders.h"
#include "app/albumoutput/album_names.h"
#include "app/albumoutput/album_run_checks.h"
#include "app/albumoutput/album_run_messages.h"
#include "app/albumoutput/page_sequence.h"
#include "app/albumoutput/picture_orientation.h"
#include "app/albumoutput/picture_pipeline.h"
#include "app/albumoutput/update_plan.h"
#include "app/settings/folder_settings_store.h"
#include "app/settings/settings_files.h"
#include "app/util/exif_info.h"
#include "app/util/image_size.h"
#include "app/util/jpeg_info.h"
#include "app/util/name_order.h"
#include "app/util/paths.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace mirofoto {

MsgResult AlbumRunObserver::ask(AlbumQuestion, std::string_view text, MsgButtons buttons, MsgIcon icon) {
    return platform::ui().messageBox(nullptr, text, kApplicationTitle, buttons, icon);
}

void AlbumRunObserver::tell(std::string_view text, MsgIcon icon) {
    platform::ui().messageBox(nullptr, text, kApplicationTitle, MsgButtons::Ok, icon);
}

void AlbumRunObserver::showAlbum(std::string_view indexPage) { OpenWithShell(indexPage, nullptr); }

namespace {

bool isSymbolicLink(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec));
}

class AlbumRun {
public:
    AlbumRun(const AlbumRunRequest& request, AlbumRunObserver& observer)
        : m_request(request),
          m_settings(request.settings),
          m_observer(observer),
          m_sources(imageFolderPath(request.imageFolderText), request.albums, request.outputFolderText) {}

    AlbumRunResult run() {
        if (!prepare()) {
            m_observer.runStopped();
            return std::move(m_result);
        }
        m_result.albumsListed = static_cast<int>(m_albums.size());
        for (std::size_t i = 0; i < m_albums.size() && !stopping(); ++i) runAlbum(static_cast<int>(i));
        // A stop still closes the menu page, with the albums made so far.
        m_menu->end();
        if (m_stopped) {
            m_result.stoppedByRequest = true;
            return std::move(m_result);
        }
        if (m_request.existing == ExistingAlbumPolicy::Update) removeOldAlbums();
        m_result.finished = true;
        finish();
        return std::move(m_result);
    }

private:
    // Whether the user asked to stop; once asked, the pool skips every
    // picture it has not begun.
    bool stopping() {
        if (!m_stopped && m_request.stopRequested && m_request.stopRequested()) {
            m_stopped = true;
            m_cancel.store(true);
        }
        return m_stopped;
    }

    // Steps up to the menu page's start; false when the run stops.
    bool prepare() {
        const std::optional<std::string> output = checkOutputFolder(m_request, m_sources, m_observer);
        if (!output) return false;
        // The output folder is resolved once (it may well be a link, such
        // as ~/public_html); below it the run follows no link at all.
        m_output = withTrailingSlash(platform::resolvedPath(*output).string());
        m_result.outputFolder = m_output;
        // Two runs into one folder would delete each other's album folders.
        bool busy = false;
        std::error_code lockError;
        m_lock = OutputFolderLock::acquire(m_output, busy, lockError);
        if (!m_lock.held()) {
            // When something stands at the lock's name (a folder, a link),
            // the message names that file rather than the whole folder.
            const std::string lockFile = m_output + std::string(kRunLockFileName);
            const std::string blamed = PathExists(lockFile) || isSymbolicLink(lockFile) ? lockFile : m_output;
            m_observer.tell(busy ? runText(RunText::OutputFolderBusy, {m_output})
                                 : runText(RunText::OutputFolderNotWritable, {blamed, lockError.message()}),
                            MsgIcon::Exclamation);
            return false;
        }
        // Under the lock: what a killed run left is no one's any more, and
        // the records earlier versions kept in the album folders go unread.
        platform::removeStaleTemporaries(m_output);
        removeRecordsInOutputFolder(m_output);
        m_records = recordsFolder(m_output);
        ensureRecordsFolder(m_records);  // a failure shows when a record is written
        m_observer.runStarted();

        m_albums = m_request.albums;
        std::stable_sort(m_albums.begin(), m_albums.end(),
                         [](const AlbumRunAlbum& a, const AlbumRunAlbum& b) { return nameLess(a.entry, b.entry); });
        std::vector<std::string> entries;
        for (const auto& a : m_albums) entries.push_back(a.entry);
        m_observer.albumsListed(entries);
        m_result.unreadableFolders = m_request.unreadableFolders;
        if (!m_result.unreadableFolders.empty())
            m_observer.tell(runTextWithList(RunText::FoldersNotRead, m_result.unreadableFolders),
                            MsgIcon::Exclamation);
        if (m_albums.empty()) {
            m_observer.tell(runText(RunText::NoAlbums), MsgIcon::Exclamation);
            return false;
        }
        // The HTML5 pages name the root album after its own folder, not its
        // whole path.
        std::size_t rootIndex = static_cast<std::size_t>(-1);
        if (m_settings.pageStyle == kModernPages)
            for (std::size_t i = 0; i < entries.size(); ++i)
                if (entries[i] == m_sources.imageFolder()) rootIndex = i;
        m_directories = makeAlbumDirectoryNames(entries, rootIndex);
        m_prepared.resize(m_albums.size());
        m_triedAhead.assign(m_albums.size(), false);

        BackgroundOutcome backgrounds = copyBackgroundImages(m_settings, m_output, m_sources);
        if (backgrounds.folderFailed) {
            m_observer.tell(runText(RunText::FolderNotCreated, {m_output + "images"}), MsgIcon::Exclamation);
            return false;
        }
        m_copied = backgrounds.copied;
        m_result.refusedBackgrounds = std::move(backgrounds.refused);
        for (std::string& p : backgrounds.problems) m_result.problems.push_back(std::move(p));
        std::vector<std::string> copiedNames;
        for (int k = 0; k < 3; ++k)
            if (m_copied[k]) copiedNames.push_back(GetFileName(m_settings.pages[k].backgroundImage));
        if (!m_sources.overlap(m_output + "images"))
            recordBackgroundCopies(m_output + "images", recordPath(m_records, "images"), copiedNames,
                                   m_request.existing == ExistingAlbumPolicy::Update, m_result.problems,
                                   m_result.leftAlone);

        m_menu = std::make_unique<MenuSequence>(m_settings, m_result.problems);
        if (const PageWriteResult r = m_menu->begin(m_output, m_request.menuTitle, m_request.menuSubtitle, m_copied);
            !r) {
            m_observer.tell(runText(RunText::MenuPageNotWritten, {r.message()}), MsgIcon::Critical);
            return false;
        }
        m_perFolder.setImageFolder(m_sources.imageFolder());
        m_pipeline = std::make_unique<PicturePipeline>(m_request.pool, m_request.threads);
        return true;
    }

    // What an album needs before its pages: the decision about an existing
    // album directory, the directory itself, its pictures and their jobs,
    // already running on the pool.
    struct PreparedAlbum {
        bool skip = false;
        bool folderFailed = false;  // told at the album's turn
        std::string albumFolder;
        std::vector<std::string> names;
        std::vector<AlbumImage> images;
        PictureBatch jobs;
        std::unique_ptr<AlbumCopies> copies;
    };

    // Prepares album i. When ahead is set the album is prepared early, while
    // the album before it is still being made, but only if that needs no
    // question: then nothing is done and false returned.
    bool prepare(int i, bool ahead) {
        const AlbumRunAlbum& album = m_albums[i];
        auto prepared = std::make_unique<PreparedAlbum>();
        PreparedAlbum& p = *prepared;
        p.albumFolder = m_output + m_directories[i];
        const AlbumFolderAction action = decideExistingAlbum(m_request.existing, album.entry, p.albumFolder,
                                                             m_sources, m_observer, ahead, m_result.problems);
        if (action == AlbumFolderAction::NotYet) return false;
        p.skip = action == AlbumFolderAction::Skip;
        // A link in the album folder's place is replaced, never written
        // through; a file there stays, and the album is not made.
        if (!p.skip && !ensureRealFolder(p.albumFolder)) {
            p.folderFailed = true;
            p.skip = true;
        }
        if (!p.skip) platform::removeStaleTemporaries(p.albumFolder);
        if (!p.skip) {
            const std::string& root = m_sources.imageFolder();
            const std::string source = album.entry == root ? root : root + album.entry + "/";
            std::error_code listError;
            for (std::string& name : listPictureFiles(source, &listError))
                if (m_perFolder.imageInAlbum(album.entry, name)) p.names.push_back(std::move(name));
            if (listError) m_unreadableNow.push_back(source);
            p.images = makeAlbumImages(p.names);
            p.copies = std::make_unique<AlbumCopies>(action, p.albumFolder, recordPath(m_records, m_directories[i]),
                                                     m_settings);
            for (const AlbumImage& image : p.images) {
                PictureJob job;
                job.source = source + image.listedName;
                job.thumbnail = p.albumFolder + "/" + image.thumbnailFileName;
                job.enlarged = p.albumFolder + "/" + image.enlargedFileName;
                const bool follow = m_settings.followOrientation != 0;
                const std::optional<int> stored = m_perFolder.storedTurn(job.source);
                // An update decides by the turn before the job starts; any
                // other run leaves reading the orientation to the job, on
                // the pool's threads.
                if (follow && action != AlbumFolderAction::Update) {
                    job.turnFromOrientation = true;
                    job.storedTurn = stored;
                }
                job.turn = copyTurn(stored, follow && !job.turnFromOrientation ? ReadExifOrientation(job.source) : 0,
                                    follow);
                // The HTML5 pages offer each copy at twice its box too, where
                // the name still fits the file system.
                const std::string enlarged2x = twiceSizeName(image.enlargedFileName);
                const std::string thumbnail2x = twiceSizeName(image.thumbnailFileName);
                if (m_settings.pageStyle == kModernPages && enlarged2x.size() <= kMaxAlbumFileName &&
                    thumbnail2x.size() <= kMaxAlbumFileName) {
                    job.enlarged2x = p.albumFolder + "/" + enlarged2x;
                    job.thumbnail2x = p.albumFolder + "/" + thumbnail2x;
                }
                job.settings = &m_settings;
                job.cancel = &m_cancel;
                p.copies->plan(job, image);
                p.jobs.add(std::move(job));
            }
            // The record drops the copies to be made before any is touched.
            p.copies->begin(p.images, m_result.problems);
            m_pipeline->start(p.jobs);
        }
        m_prepared[i] = std::move(prepared);
        return true;
    }

    // Keeps the pool busy across album boundaries: once the pictures still
    // to come in this album no longer fill the pool, the next album starts.
    void prepareNextWhenDue(int i, std::size_t picturesLeft) {
        const std::size_t next = static_cast<std::size_t>(i) + 1;
        if (next < m_albums.size() && !m_prepared[next] && !m_triedAhead[next] &&
            m_pipeline->wantsMore(picturesLeft)) {
            m_triedAhead[next] = true;
            prepare(static_cast<int>(next), true);
        }
    }

    void runAlbum(int i) {
        m_observer.albumStarted(i);
        m_result.picturesInLastAlbum = m_result.picturesListedInLastAlbum = 0;
        const AlbumRunAlbum& album = m_albums[i];
        if (!m_prepared[i]) prepare(i, false);
        PreparedAlbum& p = *m_prepared[i];
        if (p.folderFailed) {
            m_observer.tell(runText(RunText::FolderNotCreated, {album.entry}), MsgIcon::Critical);
            m_result.problems.push_back(p.albumFolder);
        }
        if (p.skip) prepareNextWhenDue(i, 0);
        else makeAlbum(i, album, p);
        // The menu page links only to albums that stand in the output folder.
        if (!p.folderFailed) {
            m_menu->addAlbum(m_directories[i], album.title);
            ++m_result.albums;
            m_result.lastAlbum = album.entry;
            m_result.lastAlbumDirectory = m_directories[i];
        }
        m_observer.albumDone(i);
        m_prepared[i].reset();
    }

    void makeAlbum(int i, const AlbumRunAlbum& album, PreparedAlbum& p) {
        m_observer.picturesListed(p.names);
        std::vector<AlbumImage>& images = p.images;
        AlbumPageSequence pages(m_settings, m_copied, p.albumFolder, album.title, m_result.problems);
        pages.begin();
        m_result.picturesListedInLastAlbum = static_cast<int>(images.size());
        m_result.picturesInLastAlbum = 0;
        for (std::size_t j = 0; j < images.size(); ++j) {
            if (stopping()) {
                pages.stopAfter(images, j);
                m_pipeline->drain(p.jobs);  // the album's jobs go with it
                break;
            }
            const int index = static_cast<int>(j);
            m_observer.pictureStarted(index);
            prepareNextWhenDue(i, images.size() - j);
            const std::string& source = p.jobs[j].source;
            const std::string dateText =
                m_request.readShootingDate ? m_request.readShootingDate(source) : ReadShootingDate(source);
            images[j].shootingDate = dateText.empty() ? std::nullopt : parseDateText(dateText);
            images[j].comment = ReadJpegComment(source);
            const PictureJob& job = m_pipeline->finish(p.jobs, j);
            if (m_settings.pageStyle == kModernPages) measureCopies(p.albumFolder, job, images[j]);
            pages.addPicture(images, index);
            if (job.failed) {
                m_result.failedPictures.push_back(job.source);
                m_result.pictureFailures.push_back(describePictureFailure(job.source, job.failure));
            }
            ++m_result.pictures;
            ++m_result.picturesInLastAlbum;
            m_observer.pictureDone(index);
        }
        if (images.empty()) prepareNextWhenDue(i, 0);
        pages.end();
        p.copies->end(p.jobs, images, m_result.problems, m_result.leftAlone);
        const CopyCounts& counts = p.copies->counts();
        m_result.copiesMade += counts.made;
        m_result.copiesKept += counts.kept;
        m_result.copiesRemoved += counts.removed;
    }

    // The sizes of a picture's copies as they stand (made now or kept from
    // an earlier run), for the width and height its HTML5 pages give them.
    static void measureCopies(const std::string& albumFolder, const PictureJob& job, AlbumImage& image) {
        const auto measure = [&](const std::string& name) {
            CopySize size;
            const ImageSizeInfo info = GetImageSize(albumFolder + "/" + name, DetectionMode::Jpeg);
            size.width = info.width;
            size.height = info.height;
            return size;
        };
        image.thumbnailSize = measure(image.thumbnailFileName);
        image.enlargedSize = measure(image.enlargedFileName);
        image.thumbnailSize.twice = job.madeThumbnail2x || job.keepThumbnail2x;
        image.enlargedSize.twice = job.madeEnlarged2x || job.keepEnlarged2x;
    }

    // The album folders of albums no longer ticked, and what else stands in
    // the output folder.
    void removeOldAlbums() {
        CopyCounts counts;
        const bool someNotRead = !m_result.unreadableFolders.empty() || !m_unreadableNow.empty();
        mirofoto::removeOldAlbums(m_output, m_records, m_directories, someNotRead, m_sources, counts,
                                  m_result.problems, m_result.leftAlone);
        m_result.copiesRemoved += counts.removed;
    }

    void finish() {
        // Folders that could not be read when their album's turn came.
        if (!m_unreadableNow.empty())
            m_observer.tell(runTextWithList(RunText::FoldersNotRead, m_unreadableNow), MsgIcon::Exclamation);
        for (std::string& folder : m_unreadableNow) m_result.unreadableFolders.push_back(std::move(folder));
        if (!m_result.refusedBackgrounds.empty())
            m_observer.tell(runTextWithList(RunText::BackgroundsRefused, m_result.refusedBackgrounds),
                            MsgIcon::Exclamation);
        if (!m_result.pictureFailures.empty()) {
            std::vector<std::string> items;
            for (const PictureFailure& f : m_result.pictureFailures)
                items.push_back(runText(RunText::PictureItem, {f.source, f.reason}));
            m_observer.tell(runTextWithList(RunText::PicturesNotMade, items), MsgIcon::Exclamation);
        }
        if (!m_result.problems.empty())
            m_observer.tell(runTextWithList(RunText::FilesNotWritten, m_result.problems), MsgIcon::Exclamation);
        if (!m_result.leftAlone.empty())
            m_observer.tell(runTextWithList(RunText::LeftAlone, m_result.leftAlone), MsgIcon::Information);
        // An update says what it re-made, kept and removed.
        const std::string finished =
            m_request.existing == ExistingAlbumPolicy::Update
                ? runText(RunText::FinishedUpdate, {std::to_string(m_result.copiesMade),
                                                    std::to_string(m_result.copiesKept),
                                                    std::to_string(m_result.copiesRemoved)})
                : runText(RunText::Finished);
        if (m_observer.ask(AlbumQuestion::ShowAlbum, finished, MsgButtons::YesNo, MsgIcon::Information) ==
            MsgResult::Yes)
            m_observer.showAlbum(m_output + "index.htm");
        m_observer.runFinished();
    }

    const AlbumRunRequest& m_request;
    const AlbumSettings& m_settings;
    AlbumRunObserver& m_observer;
    const SourceFolders m_sources;
    AlbumRunResult m_result;
    std::string m_output;
    std::string m_records;  // the records folder of the output folder
    OutputFolderLock m_lock;
    std::vector<AlbumRunAlbum> m_albums;
    std::vector<std::string> m_directories;
    BackgroundCopies m_copied{};
    std::unique_ptr<MenuSequence> m_menu;
    FolderSettingsStore m_perFolder;
    std::vector<std::string> m_unreadableNow;
    bool m_stopped = false;
    std::atomic<bool> m_cancel{false};  // read by the pool's jobs: outlives every batch
    // The pipeline (perhaps with a pool of its own) outlives the prepared
    // albums, whose batches, going first, keep every job not yet begun from
    // starting and wait for the ones that have.
    std::unique_ptr<PicturePipeline> m_pipeline;
    std::vector<std::unique_ptr<PreparedAlbum>> m_prepared;
    std::vector<bool> m_triedAhead;
};

}  // namespace

AlbumRunRequest albumRunRequest(const ImageFolderAlbums& folder, std::string outputFolderText,
                                ExistingAlbumPolicy existing, const AlbumSettings& settings) {
    AlbumRunRequest request;
    request.outputFolderText = std::move(outputFolderText);
    request.existing = existing;
    request.imageFolderText = folder.imageFolder;
    for (const AlbumFolder& a : folder.tickedInRunOrder()) request.albums.push_back({a.treeText, a.linkText});
    request.menuTitle = folder.menuTitle;
    request.menuSubtitle = folder.menuSubtitle;
    request.settings = settings;
    request.unreadableFolders = folder.unreadableFolders();
    return request;
}

AlbumRunResult GenerateAlbum(const AlbumRunRequest& request, AlbumRunObserver& observer) {
    try {
        return AlbumRun(request, observer).run();
    } catch (const AlbumRunCancelled& c) {
        AlbumRunResult stopped;
        stopped.cancelled = c.what();
        return stopped;
    } catch (const std::exception& e) {
        AlbumRunResult failed;
        failed.problems.push_back(e.what());
        observer.tell(runText(RunText::RunAborted, {e.what()}), MsgIcon::Critical);
        return failed;
    }
}

}  // namespace mirofoto
