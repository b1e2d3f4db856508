#include "app/albumoutput/browser_preview.h"

#include "app/albumoutput/album_folders.h"
#include "app/albumoutput/album_run.h"
#include "app/util/storage_location.h"

#include <filesystem>

namespace mirofoto {
namespace {

// The run's questions have one answer each here: the preview folder is
// made, an album there is replaced, and the window opens the page itself.
// What the run tells is kept for the message of a preview that failed.
class PreviewObserver final : public AlbumRunObserver {
public:
    platform::MsgResult ask(AlbumQuestion question, std::string_view, platform::MsgButtons,
                            platform::MsgIcon) override {
        switch (question) {
        case AlbumQuestion::CreateOutputFolder: return platform::MsgResult::Ok;
        case AlbumQuestion::RecreateAlbum: return platform::MsgResult::Yes;
        default: return platform::MsgResult::No;
        }
    }
    void tell(std::string_view text, platform::MsgIcon icon) override {
        if (icon != platform::MsgIcon::Information) told += std::string(told.empty() ? "" : "\r") + std::string(text);
    }
    std::string told;
};

}  // namespace

std::string browserPreviewFolder() { return storageLocation().tempFolder + "ブラウザで確認/"; }

BrowserPreview makeBrowserPreview(std::string_view imageFolder, std::string_view albumKey,
                                  const AlbumSettings& settings, ThreadPool* pool) {
    const ImageFolderAlbums folder = readImageFolderAlbums(imageFolder, settings.outputFolder);
    const AlbumFolder* album = nullptr;
    for (const AlbumFolder& a : folder.albums)
        if (a.key == albumKey) album = &a;
    if (!album || !album->hasPictures) return {{}, "このフォルダには画像がありません。"};

    const std::string output = browserPreviewFolder();
    // Only this album: an earlier preview's other albums go.
    std::error_code ec;
    std::filesystem::remove_all(output, ec);
    AlbumRunRequest request = albumRunRequest(folder, output, ExistingAlbumPolicy::OverwriteAll, settings);
    request.albums = {{album->treeText, album->linkText}};
    request.unreadableFolders.clear();
    request.pool = pool;
    PreviewObserver observer;
    std::filesystem::create_directories(output, ec);
    const AlbumRunResult result = GenerateAlbum(request, observer);
    if (!result.finished || result.lastAlbumDirectory.empty())
        return {{}, observer.told.empty() ? std::string("アルバムを作成できませんでした。") : observer.told};
    return {result.outputFolder + result.lastAlbumDirectory + "/index.htm", {}};
}

}  // namespace mirofoto
