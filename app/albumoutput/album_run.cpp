#include "app/albumoutput/album_run.h"

#include "app/albumoutput/album_folders.h"
#include "app/albumoutput/album_names.h"
#include "app/albumoutput/image_derivation.h"
#include "app/albumoutput/page_writers.h"
#include "app/settings/per_folder_settings.h"
#include "app/settings/settings_files.h"
#include "app/util/exif_info.h"
#include "app/util/jpeg_info.h"
#include "app/util/name_order.h"
#include "app/util/paths.h"
#include "app/util/thread_pool.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>

namespace fs = std::filesystem;
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

constexpr char CR = '\r';
// At most this many names are listed in one message; the rest are counted.
constexpr std::size_t kListedInMessage = 20;

std::string trimSpaces(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

// inner is outer or lies inside it.
bool within(const fs::path& inner, const fs::path& outer) {
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
        if (o->empty()) continue;  // a trailing separator
        if (i == inner.end() || *i != *o) return false;
    }
    return true;
}

bool overlaps(const fs::path& a, const fs::path& b) { return within(a, b) || within(b, a); }

std::string listed(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size() && i < kListedInMessage; ++i) text += std::string(1, CR) + items[i];
    if (items.size() > kListedInMessage)
        text += std::string(1, CR) + "ほか " + std::to_string(items.size() - kListedInMessage) + " 件";
    return text;
}

// The pictures of one source file, made on a worker thread.
struct PictureJob {
    std::string source;
    std::string thumbnail;
    std::string enlarged;
    bool makeThumbnail = true;
    bool makeEnlarged = true;
    int turn = 0;
    const AlbumSettings* settings = nullptr;
    bool failed = false;

    void run() noexcept {
        try {
            make();
        } catch (...) {
            failed = true;
        }
    }

    void make() {
        std::vector<AlbumImageRequest> requests;
        if (makeEnlarged)
            requests.push_back({enlarged, settings->largeHeight, settings->largeWidth, settings->largeQuality, true});
        if (makeThumbnail)
            requests.push_back(
                {thumbnail, settings->thumbHeight, settings->thumbWidth, settings->thumbQuality, true});
        if (requests.empty()) return;
        MakeAlbumImages(source, requests);
        for (const AlbumImageRequest& r : requests) {
            if (!r.made) {
                failed = true;
                continue;
            }
            // A turn only for a picture that was made, as the album stores it.
            if (turn != 0 && !RotateImageFile(r.destination, turn)) failed = true;
        }
    }
};

class AlbumRun {
public:
    AlbumRun(const AlbumRunRequest& request, AlbumRunObserver& observer)
        : m_request(request), m_settings(request.settings), m_observer(observer) {}

    AlbumRunResult run() {
        if (!prepare()) {
            m_observer.runStopped();
            return std::move(m_result);
        }
        m_result.finished = true;
        for (std::size_t i = 0; i < m_albums.size(); ++i) runAlbum(static_cast<int>(i));
        if (const PageWriteResult r = m_menu->EndMenuPage(); !r) m_result.problems.push_back(r.message());
        finish();
        return std::move(m_result);
    }

private:
    // Steps up to the menu page's start; false when the run stops.
    bool prepare() {
        const std::string text = trimSpaces(m_request.outputFolderText);
        m_observer.outputFolderTrimmed(text);
        if (text.empty()) {
            m_observer.tell("「HTML出力先」を指定してください。", MsgIcon::Exclamation);
            m_observer.focusOutputFolder();
            return false;
        }
        m_root = imageFolderPath(m_request.imageFolderText);
        // Album directories bear the names of the album folders: an output
        // folder that overlaps the image folder would have the run delete
        // or overwrite the user's photographs.
        if (overlapsSources(text)) {
            m_observer.tell("「HTML出力先」には画像フォルダと重なるフォルダを指定できません。" + std::string(1, CR) +
                                "（" + m_root + "）",
                            MsgIcon::Exclamation);
            m_observer.focusOutputFolder();
            return false;
        }
        if (!FolderExists(text)) {
            const std::string question = "指定された「HTML出力先」" + std::string(1, CR) + text + CR +
                                         "は存在しません。" + CR + CR + "フォルダを作成しますか？";
            if (m_observer.ask(AlbumQuestion::CreateOutputFolder, question, MsgButtons::OkCancel,
                               MsgIcon::Information) != MsgResult::Ok) {
                m_observer.focusOutputFolder();
                return false;
            }
            if (!EnsureFolder(text)) {
                m_observer.tell("フォルダを作成できませんでした。", MsgIcon::Critical);
                return false;
            }
        }
        m_output = withTrailingSlash(text);
        m_result.outputFolder = m_output;
        m_observer.runStarted();

        m_albums = m_request.albums;
        std::stable_sort(m_albums.begin(), m_albums.end(),
                         [](const AlbumRunAlbum& a, const AlbumRunAlbum& b) { return nameLess(a.entry, b.entry); });
        std::vector<std::string> entries;
        for (const auto& a : m_albums) entries.push_back(a.entry);
        m_observer.albumsListed(entries);
        if (m_albums.empty()) {
            m_observer.tell("アルバムフォルダがありません。", MsgIcon::Exclamation);
            return false;
        }
        m_directories = makeAlbumDirectoryNames(entries);
        m_prepared.resize(m_albums.size());
        m_triedAhead.assign(m_albums.size(), false);

        if (!copyBackgrounds()) return false;

        m_menu = std::make_unique<MenuPageWriter>(m_settings);
        if (const PageWriteResult r = m_menu->BeginMenuPage(m_output, m_request.menuTitle, m_request.menuSubtitle,
                                                            m_copied);
            !r) {
            m_observer.tell("アルバムのページを書き込めませんでした。" + std::string(1, CR) + r.message(),
                            MsgIcon::Critical);
            return false;
        }
        m_perFolder = PerFolderSettings(m_root);
        const unsigned threads = m_request.threads == 0 ? std::thread::hardware_concurrency() : m_request.threads;
        if (threads > 1) m_pool = std::make_unique<ThreadPool>(threads);
        return true;
    }

    // True when the path is, holds or lies in the image folder or an album folder.
    bool overlapsSources(const std::string& path) {
        if (m_root.empty() || m_root == "/") return !m_root.empty();
        const fs::path p = platform::resolvedPath(path);
        if (overlaps(p, platform::resolvedPath(m_root))) return true;
        for (const AlbumRunAlbum& a : m_request.albums)
            if (a.entry != m_root && overlaps(p, platform::resolvedPath(m_root + a.entry))) return true;  // a linked subfolder
        return false;
    }

    bool copyBackgrounds() {
        bool anyImage = false;
        for (const PageStyle& p : m_settings.pages) anyImage = anyImage || !p.useBackgroundColor;
        if (!anyImage) return true;
        const std::string images = m_output + "images";
        if (!EnsureFolder(images)) {
            m_observer.tell("フォルダの作成に失敗しました。" + std::string(1, CR) + "（" + images + "）",
                            MsgIcon::Exclamation);
            return false;
        }
        for (int k = 0; k < 3; ++k) {
            const PageStyle& p = m_settings.pages[k];
            if (p.useBackgroundColor || !PathExists(p.backgroundImage)) continue;
            std::string bytes;
            std::string error;
            const std::string target = images + "/" + GetFileName(p.backgroundImage);
            if (platform::readFileBytes(p.backgroundImage, bytes) != platform::FileRead::Ok)
                m_result.problems.push_back(p.backgroundImage);
            else if (!platform::writeFileAtomically(target, bytes, &error))
                m_result.problems.push_back(error);
            else
                m_copied[k] = true;
        }
        return true;
    }

    // What an album needs before its pages: the decision about an existing
    // album directory, the directory itself, its pictures and their jobs,
    // already running on the pool.
    struct PreparedAlbum {
        bool skip = false;
        bool folderFailed = false;  // told at the album's turn
        std::string albumFolder;
        std::string source;
        std::vector<std::string> names;
        std::vector<AlbumImage> images;
        std::deque<PictureJob> jobs;  // stable addresses for the pool
        std::vector<std::future<void>> done;
    };

    // Prepares album i. When ahead is set the album is prepared early, while
    // the album before it is still being made, but only if that needs no
    // question: then nothing is done and false returned.
    bool prepare(int i, bool ahead) {
        const AlbumRunAlbum& album = m_albums[i];
        auto prepared = std::make_unique<PreparedAlbum>();
        PreparedAlbum& p = *prepared;
        p.albumFolder = m_output + m_directories[i];
        if (FolderExists(p.albumFolder)) {
            if (overlapsSources(p.albumFolder)) {
                // A link in the output folder that leads to the photographs.
                m_result.problems.push_back(p.albumFolder);
                p.skip = true;
            } else {
                switch (m_request.existing) {
                case ExistingAlbumPolicy::Ask: {
                    if (ahead) return false;
                    const std::string q = album.entry + CR + "フォルダは既に「HTML出力先」に存在します。" + CR + CR +
                                          "再作成しますか？";
                    if (m_observer.ask(AlbumQuestion::RecreateAlbum, q, MsgButtons::YesNo, MsgIcon::Information) ==
                        MsgResult::Yes)
                        removeAlbumFolder(p.albumFolder);
                    else
                        p.skip = true;
                    break;
                }
                case ExistingAlbumPolicy::OverwriteAll: removeAlbumFolder(p.albumFolder); break;
                case ExistingAlbumPolicy::HtmlOnly: break;
                case ExistingAlbumPolicy::Skip: p.skip = true; break;
                }
            }
        }
        if (!p.skip && !EnsureFolder(p.albumFolder)) {
            p.folderFailed = true;
            p.skip = true;
        }
        if (!p.skip) {
            p.source = album.entry == m_root ? m_root : m_root + album.entry + "/";
            for (std::string& name : listPictureFiles(p.source))
                if (m_perFolder.imageInAlbum(album.entry, name)) p.names.push_back(std::move(name));
            p.images = makeAlbumImages(p.names);
            const bool keepExisting = m_request.existing == ExistingAlbumPolicy::HtmlOnly;
            for (const AlbumImage& image : p.images) {
                PictureJob& job = p.jobs.emplace_back();
                job.source = p.source + image.listedName;
                job.thumbnail = p.albumFolder + "/" + image.thumbnailFileName;
                job.enlarged = p.albumFolder + "/" + image.enlargedFileName;
                job.makeThumbnail = !(keepExisting && PathExists(job.thumbnail));
                job.makeEnlarged = !(keepExisting && PathExists(job.enlarged));
                job.turn = m_perFolder.turn(job.source);
                job.settings = &m_settings;
                if (m_pool) p.done.push_back(m_pool->submit([&job] { job.run(); }));
            }
        }
        m_prepared[i] = std::move(prepared);
        return true;
    }

    // Keeps the pool busy across album boundaries: once the pictures still
    // to come in this album no longer fill the pool, the next album starts.
    void prepareNextWhenDue(int i, std::size_t picturesLeft) {
        const std::size_t next = static_cast<std::size_t>(i) + 1;
        if (m_pool && next < m_albums.size() && !m_prepared[next] && !m_triedAhead[next] &&
            picturesLeft <= m_pool->size()) {
            m_triedAhead[next] = true;
            prepare(static_cast<int>(next), true);
        }
    }

    void runAlbum(int i) {
        m_observer.albumStarted(i);
        const AlbumRunAlbum& album = m_albums[i];
        if (!m_prepared[i]) prepare(i, false);
        PreparedAlbum& p = *m_prepared[i];
        if (p.folderFailed)
            m_observer.tell("フォルダの作成に失敗しました。" + std::string(1, CR) + "（" + album.entry + "）",
                            MsgIcon::Critical);
        if (p.skip) prepareNextWhenDue(i, 0);
        else makeAlbum(i, album, p);
        if (const PageWriteResult r = m_menu->AddMenuEntry(m_directories[i], album.title); !r)
            m_result.problems.push_back(r.message());
        ++m_result.albums;
        m_observer.albumDone(i);
        m_prepared[i].reset();
    }

    void removeAlbumFolder(const std::string& folder) {
        if (!removeTreeBestEffort(folder)) m_result.problems.push_back(folder);
    }

    void makeAlbum(int i, const AlbumRunAlbum& album, PreparedAlbum& p) {
        m_observer.picturesListed(p.names);
        std::vector<AlbumImage>& images = p.images;
        ThumbnailPageWriter thumbnails(m_settings, m_copied);
        bool pageOk = record(thumbnails.BeginThumbnailPage(p.albumFolder, album.title, m_settings.columns));
        for (std::size_t j = 0; j < images.size(); ++j) {
            const int index = static_cast<int>(j);
            PictureJob& job = p.jobs[j];
            m_observer.pictureStarted(index);
            prepareNextWhenDue(i, images.size() - j);
            const std::string dateText =
                m_request.readShootingDate ? m_request.readShootingDate(job.source) : ReadShootingDate(job.source);
            images[j].shootingDate = dateText.empty() ? std::nullopt : parseDateText(dateText);
            images[j].comment = ReadJpegComment(job.source);
            if (pageOk) pageOk = record(thumbnails.AddThumbnailCell(index, images[j]));
            record(WriteEnlargedPage(m_settings, m_copied, p.albumFolder, album.title, images, index));
            if (m_pool) p.done[j].wait();
            else job.run();
            if (job.failed) m_result.failedPictures.push_back(job.source);
            ++m_result.pictures;
            m_observer.pictureDone(index);
        }
        if (images.empty()) prepareNextWhenDue(i, 0);
        if (pageOk) record(thumbnails.EndThumbnailPage());
    }

    bool record(const PageWriteResult& r) {
        if (!r) m_result.problems.push_back(r.message());
        return static_cast<bool>(r);
    }

    void finish() {
        if (!m_result.failedPictures.empty())
            m_observer.tell("次の画像から縮小画像を作成できませんでした。" + listed(m_result.failedPictures),
                            MsgIcon::Exclamation);
        if (!m_result.problems.empty())
            m_observer.tell("次のファイルまたはフォルダを書き込めませんでした。" + listed(m_result.problems),
                            MsgIcon::Exclamation);
        const std::string question = "処理が完了しました。" + std::string(1, CR) + CR + "作成したアルバムを表示しますか？";
        if (m_observer.ask(AlbumQuestion::ShowAlbum, question, MsgButtons::YesNo, MsgIcon::Information) ==
            MsgResult::Yes)
            m_observer.showAlbum(m_output + "index.htm");
        m_observer.runFinished();
    }

    const AlbumRunRequest& m_request;
    const AlbumSettings& m_settings;
    AlbumRunObserver& m_observer;
    AlbumRunResult m_result;
    std::string m_root;
    std::string m_output;
    std::vector<AlbumRunAlbum> m_albums;
    std::vector<std::string> m_directories;
    BackgroundCopies m_copied{};
    std::unique_ptr<MenuPageWriter> m_menu;
    PerFolderSettings m_perFolder;
    // Prepared albums hold the jobs the pool works on: declared before the
    // pool, so that the pool (finishing its queue) goes first.
    std::vector<std::unique_ptr<PreparedAlbum>> m_prepared;
    std::vector<bool> m_triedAhead;
    std::unique_ptr<ThreadPool> m_pool;
};

}  // namespace

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
        observer.tell(std::string("アルバムの作成を中止しました。") + CR + e.what(), MsgIcon::Critical);
        return failed;
    }
}

}  // namespace mirofoto
