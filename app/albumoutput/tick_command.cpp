#include "app/albumoutput/tick_command.h"

#include "app/settings/folder_settings_store.h"

#include "app/albumoutput/album_folders.h"
#include "app/settings/settings_files.h"
#include "app/settings/settings_write_report.h"
#include "app/util/paths.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>

namespace mirofoto {
namespace {

struct Options {
    std::optional<std::string> imageFolder;
    std::optional<std::string> album;
    std::optional<std::string> picture;
    std::optional<bool> tick;
};

bool parse(const std::vector<std::string>& args, Options& o, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::optional<std::string>* into = a == "--image-folder" ? &o.imageFolder
                                           : a == "--album"      ? &o.album
                                           : a == "--picture"    ? &o.picture
                                                                 : nullptr;
        if (into) {
            if (i + 1 >= args.size()) {
                error = a + " には値が必要です";
                return false;
            }
            *into = args[++i];
        } else if ((a == "on" || a == "off") && !o.tick) {
            o.tick = a == "on";
        } else {
            error = "知らない引数です: " + a;
            return false;
        }
    }
    if (!o.imageFolder || o.imageFolder->empty()) {
        error = "--image-folder を指定してください";
        return false;
    }
    if (o.picture && !o.album) {
        error = "--picture には --album が必要です";
        return false;
    }
    return true;
}

std::string absoluteFolder(const std::string& path) {
    std::error_code ec;
    const auto abs = std::filesystem::absolute(path, ec);
    return ec ? path : abs.lexically_normal().string();
}

// The album an --album text names: "." or the image folder's own path for
// the folder itself, else a subfolder's name.
const AlbumFolder* findAlbum(const ImageFolderAlbums& folder, const std::string& name) {
    const std::string wanted = name == "." ? folder.imageFolder : name;
    const auto hit = std::find_if(folder.albums.begin(), folder.albums.end(), [&](const AlbumFolder& a) {
        return a.treeText == wanted || a.treeText == imageFolderPath(wanted);
    });
    return hit == folder.albums.end() ? nullptr : &*hit;
}

std::string shownName(const ImageFolderAlbums& folder, const AlbumFolder& a) {
    return a.treeText == folder.imageFolder ? ". (" + a.treeText + ")" : a.treeText;
}

// "（設定を共有: a:b、c）" after a name whose stored key others share.
std::string sharedNote(const std::vector<std::string>& others) {
    if (others.empty()) return {};
    std::string note = "（設定を共有: ";
    for (std::size_t i = 0; i < others.size(); ++i) note += (i ? "、" : "") + others[i];
    return note + "）";
}

void listAlbums(const ImageFolderAlbums& folder, std::ostream& out) {
    for (const AlbumFolder& a : folder.albums) {
        if (!a.hasPictures) out << "( ) " << shownName(folder, a) << "（画像なし）" << sharedNote(a.sharesSettingsWith) << "\n";
        else out << (a.ticked ? "[x] " : "[ ] ") << shownName(folder, a) << sharedNote(a.sharesSettingsWith) << "\n";
    }
}

void listPictures(const ImageFolderAlbums& folder, const AlbumFolder& album, std::ostream& out) {
    const std::vector<std::string> names = listPictureFiles(album.key);
    const auto shared = picturesSharingSettings(album.treeText, album.key, names);
    for (std::size_t i = 0; i < names.size(); ++i)
        out << (folder.settings.imageInAlbum(album.treeText, names[i]) ? "[x] " : "[ ] ") << names[i]
            << sharedNote(shared[i]) << "\n";
}

// The other albums or pictures a change also changes, as a warning.
void warnShared(const std::string& changed, const std::vector<std::string>& others, std::ostream& err) {
    if (others.empty()) return;
    std::string names;
    for (const std::string& o : others) names += "「" + o + "」";
    err << "mirofoto tick: 注意: 「" << changed << "」は " << names
        << " と設定ファイルの同じ項目に保存されるため、いっしょに変わりました\n";
}

}  // namespace

std::string tickHelp() {
    return "使い方: mirofoto tick --image-folder DIR [--album NAME [--picture FILE]] [on|off]\n"
           "\n"
           "画像フォルダのどのアルバムと画像をアルバムに載せるかを表示し、on か off を\n"
           "付けると変更します。設定はウインドウと同じ画像フォルダごとの設定に保存され、\n"
           "次の mirofoto generate に使われます。\n"
           "\n"
           "  --image-folder DIR  画像フォルダ\n"
           "  --album NAME        サブフォルダの名前（画像フォルダそのものは .）\n"
           "  --picture FILE      アルバムの中の画像ファイルの名前\n"
           "\n"
           "終了コード: 0 完了、1 設定を保存できない、2 引数の誤り・アルバムや画像がない\n"
           "\n"
           "例:\n"
           "  mirofoto tick --image-folder ~/写真                       アルバムの一覧\n"
           "  mirofoto tick --image-folder ~/写真 --album 旅行 off       アルバムを載せない\n"
           "  mirofoto tick --image-folder ~/写真 --album 旅行 --picture 駅.jpg off\n";
}

int runTickCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") {
            out << tickHelp();
            return kTickDone;
        }
    Options o;
    std::string error;
    if (!parse(args, o, error)) {
        err << "mirofoto tick: " << error << "\n\n" << tickHelp();
        return kTickUsage;
    }
    const std::string imageFolder = absoluteFolder(*o.imageFolder);
    if (!FolderExists(imageFolder)) {
        err << "mirofoto tick: 画像フォルダがありません: " << imageFolder << "\n";
        return kTickUsage;
    }
    const TerminalSettingsReport settingsReport(err);
    const ImageFolderAlbums folder = readImageFolderAlbums(imageFolder);
    if (!o.album) {
        if (o.tick) {
            err << "mirofoto tick: on / off には --album が必要です\n";
            return kTickUsage;
        }
        listAlbums(folder, out);
        return kTickDone;
    }
    const AlbumFolder* album = findAlbum(folder, *o.album);
    if (!album) {
        err << "mirofoto tick: そのアルバムはありません: " << *o.album << "\n";
        listAlbums(folder, err);
        return kTickUsage;
    }
    if (o.picture) {
        const auto names = listPictureFiles(album->key);
        if (std::find(names.begin(), names.end(), *o.picture) == names.end()) {
            err << "mirofoto tick: アルバム " << album->treeText << " にその画像はありません: " << *o.picture << "\n";
            return kTickUsage;
        }
    }
    if (!o.tick) {
        listPictures(folder, *album, out);
        return kTickDone;
    }
    if (!album->hasPictures) {
        err << "mirofoto tick: 画像のないアルバムは載せられません: " << album->treeText << "\n";
        return kTickUsage;
    }
    FolderSettingsStore store(folder.imageFolder);
    const bool stored = o.picture ? store.setImageTicked(album->treeText, *o.picture, *o.tick)
                                  : store.setAlbumTicked(album->treeText, *o.tick);
    if (stored && o.picture) {
        const auto names = listPictureFiles(album->key);
        const auto shared = picturesSharingSettings(album->treeText, album->key, names);
        const auto at = std::find(names.begin(), names.end(), *o.picture) - names.begin();
        warnShared(*o.picture, shared[at], err);
    } else if (stored) {
        warnShared(album->treeText, album->sharesSettingsWith, err);
    }
    if (!stored) {
        if (!settingsReport.told())
            err << "mirofoto: 設定を保存できません: " << store.file() << "\n";
        return kTickNotStored;
    }
    out << (*o.tick ? "on: " : "off: ") << album->treeText << (o.picture ? "/" + *o.picture : "") << "\n";
    return kTickDone;
}

}  // namespace mirofoto
