#include "app/albumoutput/album_output_form_model.h"

#include "app/albumoutput/album_run_checks.h"
#include "app/albumoutput/album_run_messages.h"

namespace mirofoto {

namespace {

// One row per treatment; a new treatment is one more row.
constexpr ExistingAlbumOption kOptions[] = {
    {ExistingAlbumPolicy::Ask, "Opt_確認メッセージ表示", "フォルダ単位で確認メッセージを表示する"},
    {ExistingAlbumPolicy::OverwriteAll, "Opt_上書きする", "すべて上書きする"},
    {ExistingAlbumPolicy::HtmlOnly, "Opt_HTMLのみ上書きする", "HTMLファイルのみ上書きする"},
    {ExistingAlbumPolicy::Skip, "Opt_上書きしない", "上書きしない"},
    {ExistingAlbumPolicy::Update, "Opt_変更画像のみ作成する", "変更された画像のみ作成する"},
};

}  // namespace

std::span<const ExistingAlbumOption> existingAlbumOptions() { return kOptions; }

std::string outputFolderSetting(std::string_view boxText) {
    if (trimSpaces(boxText).empty()) return {};
    std::string folder(boxText);
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string stopQuestionText() { return runText(RunText::StopQuestion); }

std::string stoppedRunText(const AlbumRunResult& r) {
    std::string text = runText(RunText::Stopped, {std::to_string(r.albums), std::to_string(r.albumsListed)});
    if (r.albums > 0 && r.picturesInLastAlbum < r.picturesListedInLastAlbum)
        text += runText(RunText::StoppedInAlbum, {r.lastAlbum, std::to_string(r.picturesInLastAlbum),
                                                  std::to_string(r.picturesListedInLastAlbum)});
    return text;
}

}  // namespace mirofoto
