#include "app/albumoutput/generate_command.h"

#include "app/albumoutput/album_folders.h"
#include "app/albumoutput/album_run.h"
#include "app/albumoutput/album_run_messages.h"
#include "app/previews/preview_rules.h"
#include "app/util/exif_info.h"
#include "app/settings/folder_settings_store.h"
#include "app/settings/settings_files.h"
#include "app/settings/settings_write_report.h"
#include "app/util/paths.h"
#include "platform/ini.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace mirofoto {
namespace {

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

struct Options {
    std::optional<std::string> imageFolder;
    std::optional<std::string> output;
    std::optional<std::string> settingsFile;
    ExistingAlbumPolicy existing = ExistingAlbumPolicy::Ask;
    unsigned threads = 0;
    bool createOutput = false;
    bool verbose = false;
    bool autoTurn = false;
    std::optional<std::int16_t> pageStyle;  ///< for this run only
};

std::string lines(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c == '\r') c = '\n';
    return s;
}

class TerminalObserver final : public AlbumRunObserver {
public:
    TerminalObserver(std::istream& in, std::ostream& out, std::ostream& err, bool interactive, bool createOutput)
        : m_in(in), m_out(out), m_err(err), m_interactive(interactive), m_createOutput(createOutput) {}

    MsgResult ask(AlbumQuestion question, std::string_view text, MsgButtons buttons, MsgIcon) override {
        const bool okCancel = buttons == MsgButtons::OkCancel;
        // --create-output is the OK to that question, given beforehand.
        if (question == AlbumQuestion::CreateOutputFolder && m_createOutput) return MsgResult::Ok;
        if (!m_interactive) {
            // Showing the album is a courtesy; everything else decides what
            // happens to files and must not be guessed.
            if (question == AlbumQuestion::ShowAlbum) return MsgResult::No;
            throw AlbumRunCancelled(lines(text));
        }
        m_out << lines(text) << runText(okCancel ? RunText::TermAnswerOkCancel : RunText::TermAnswerYesNo)
              << std::flush;
        std::string answer;
        if (!std::getline(m_in, answer)) answer.clear();
        const bool yes = answer == "y" || answer == "Y" || answer == "yes" || answer == "はい";
        if (okCancel) return yes ? MsgResult::Ok : MsgResult::Cancel;
        return yes ? MsgResult::Yes : MsgResult::No;
    }

    void tell(std::string_view text, MsgIcon icon) override {
        (icon == MsgIcon::Information ? m_out : m_err) << lines(text) << "\n";
    }

    void albumsListed(const std::vector<std::string>& entries) override {
        m_albums = entries;
        m_out << runText(RunText::TermAlbums, {std::to_string(entries.size())}) << "\n";
    }
    void albumStarted(int index) override {
        m_out << runText(RunText::TermAlbum,
                         {std::to_string(index + 1), std::to_string(m_albums.size()), m_albums[index]})
              << "\n";
    }
    void picturesListed(const std::vector<std::string>& names) override {
        m_pictures = names;
        m_out << runText(RunText::TermPictures, {std::to_string(names.size())}) << "\n";
    }
    void pictureDone(int index) override {
        m_out << runText(RunText::TermPicture,
                         {std::to_string(index + 1), std::to_string(m_pictures.size()), m_pictures[index]})
              << "\n";
    }

private:
    std::istream& m_in;
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_interactive;
    bool m_createOutput;
    std::vector<std::string> m_albums;
    std::vector<std::string> m_pictures;
};

bool parse(const std::vector<std::string>& args, Options& o, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::optional<std::string>& into) {
            if (i + 1 >= args.size()) {
                error = runText(RunText::TermNeedsValue, {a});
                return false;
            }
            into = args[++i];
            return true;
        };
        if (a == "--image-folder") {
            if (!value(o.imageFolder)) return false;
        } else if (a == "--output") {
            if (!value(o.output)) return false;
        } else if (a == "--settings") {
            if (!value(o.settingsFile)) return false;
        } else if (a == "--existing") {
            std::optional<std::string> v;
            if (!value(v)) return false;
            if (*v == "ask") o.existing = ExistingAlbumPolicy::Ask;
            else if (*v == "overwrite") o.existing = ExistingAlbumPolicy::OverwriteAll;
            else if (*v == "html-only") o.existing = ExistingAlbumPolicy::HtmlOnly;
            else if (*v == "skip") o.existing = ExistingAlbumPolicy::Skip;
            else if (*v == "update") o.existing = ExistingAlbumPolicy::Update;
            else {
                error = runText(RunText::TermBadExisting, {*v});
                return false;
            }
        } else if (a == "--threads") {
            std::optional<std::string> v;
            if (!value(v)) return false;
            try {
                std::size_t used = 0;
                const long n = std::stol(*v, &used);
                if (used != v->size() || n < 0 || n > 256) throw std::out_of_range(*v);
                o.threads = static_cast<unsigned>(n);
            } catch (const std::exception&) {
                error = runText(RunText::TermBadThreads, {*v});
                return false;
            }
        } else if (a == "--page-style") {
            std::optional<std::string> v;
            if (!value(v)) return false;
            if (*v == "classic") o.pageStyle = kClassicPages;
            else if (*v == "modern") o.pageStyle = kModernPages;
            else {
                error = runText(RunText::TermBadPageStyle, {*v});
                return false;
            }
        } else if (a == "--create-output") {
            o.createOutput = true;
        } else if (a == "--auto-turn") {
            o.autoTurn = true;
        } else if (a == "--verbose" || a == "-v") {
            o.verbose = true;
        } else {
            error = runText(RunText::TermUnknownArgument, {a});
            return false;
        }
    }
    return true;
}

// A path as typed on the command line, made absolute against the working
// folder; the empty text stays empty.
std::string absolutePath(const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    std::error_code ec;
    const std::filesystem::path abs = std::filesystem::absolute(path, ec);
    return ec ? path : abs.lexically_normal().string();
}

// Why the file cannot serve as an album settings file, or nothing. Only a
// regular file that can be opened counts: a folder, a device or a FIFO
// would otherwise read as "no settings" and give the default look. The open
// does not wait for a FIFO's writer.
std::optional<std::string> unusableSettingsFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return failureReasonText(errno, false, {});
    if (!S_ISREG(st.st_mode)) return runText(RunText::ReasonNotRegular);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return failureReasonText(errno, false, {});
    ::close(fd);
    return std::nullopt;
}

}  // namespace

std::string generateHelp() {
    return "使い方: mirofoto generate [--image-folder DIR] [--output DIR] [--create-output]\n"
           "                          [--existing ask|overwrite|html-only|skip|update]\n"
           "                          [--settings FILE.mfs] [--page-style classic|modern]\n"
           "                          [--threads N] [--auto-turn] [--verbose]\n"
           "\n"
           "画像フォルダとそのサブフォルダから HTML アルバムを作成します。\n"
           "アルバムの設定は前回の設定（ミロフォト.ini）か、--settings で指定した\n"
           "アルバム設定ファイルから読みます。どのアルバムと画像を載せるか、回転、\n"
           "メニューページの文字は画像フォルダごとに保存された設定に従います。\n"
           "\n"
           "  --image-folder DIR  画像フォルダ（省略時は保存された画像フォルダ）\n"
           "  --output DIR        HTML出力先（省略時は保存された出力先）\n"
           "  --create-output     HTML出力先がなければ尋ねずに作成する（途中のフォルダも）\n"
           "  --existing MODE     出力先に同じアルバムがあるとき:\n"
           "                        ask        フォルダごとに確認する（既定。端末が必要）\n"
           "                        overwrite  すべて上書きする\n"
           "                        html-only  HTMLファイルのみ上書きする\n"
           "                        skip       上書きしない\n"
           "                        update     変更された画像のみ作成する（ページは書き直し、\n"
           "                                   元の画像・大きさ・画質・回転が変わった縮小画像\n"
           "                                   だけを作り直し、アルバムから外れた画像やフォルダ\n"
           "                                   のうちこのプログラムが作ったファイルを削除する）\n"
           "  --settings FILE     アルバム設定ファイル（.mfs）の設定を使う\n"
           "  --page-style STYLE  今回だけのページ形式: classic 従来のページ、modern スマートフォン\n"
           "                      から4K画面まで合わせる HTML5 のページ（省略時は設定のページ形式）\n"
           "  --threads N         縮小画像を作るスレッド数（0 はコア数、既定）\n"
           "  --auto-turn         回転が保存されていない画像に、EXIFの向き（Orientation）が\n"
           "                      求める回転（3→180度、6→90度、8→270度）を保存してから作成する。\n"
           "                      画像ファイルそのものは変更しない\n"
           "  --verbose, -v       作成できなかった画像ごとに詳しい原因（ライブラリの\n"
           "                      メッセージとエラー番号）と、設定の読み出し回数も表示する\n"
           "\n"
           "終了コード: 0 完了、1 中止、2 引数の誤り、3 作成できなかった画像やページ、\n"
           "          読み込めなかったフォルダ、コピーしなかった背景画像がある\n"
           "\n"
           "例:\n"
           "  mirofoto generate --image-folder ~/写真/旅行 --output ~/public_html/旅行\n"
           "  mirofoto generate --image-folder ~/写真 --output /srv/www/album --existing overwrite\n"
           "  mirofoto generate --image-folder ~/写真 --output ~/新しいアルバム --create-output\n"
           "  mirofoto generate --settings ~/アルバム.mfs --existing html-only\n"
           "  mirofoto generate --image-folder ~/写真 --output ~/public_html/album --existing update\n";
}

int runGenerateCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
                       bool interactive) {
    Options options;
    std::string error;
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") {
            out << generateHelp();
            return kGenerateDone;
        }
    if (!parse(args, options, error)) {
        err << "mirofoto generate: " << error << "\n\n" << generateHelp();
        return kGenerateUsage;
    }
    const TerminalSettingsReport settingsReport(err);
    const std::string settingsFile = options.settingsFile.value_or(baseSettingsFile());
    if (options.settingsFile && !PathExists(settingsFile)) {
        err << "mirofoto generate: " << runText(RunText::TermSettingsMissing, {settingsFile}) << "\n";
        return kGenerateUsage;
    }
    if (options.settingsFile)
        if (const auto why = unusableSettingsFile(settingsFile)) {
            err << "mirofoto generate: " << runText(RunText::TermSettingsUnusable, {settingsFile, *why}) << "\n";
            return kGenerateUsage;
        }
    const platform::ProfileCounters before = platform::profileCounters();
    AlbumSettings settings;
    WindowPlacement placement;
    基本設定読込(settingsFile, settings, placement);
    if (options.pageStyle) settings.pageStyle = *options.pageStyle;  // never stored

    // Album and setting keys hold the image folder's full path.
    const std::string imageFolder = absolutePath(options.imageFolder.value_or(settings.imageFolder));
    if (!FolderExists(imageFolder)) {
        err << "mirofoto generate: " << runText(RunText::TermImageFolderMissing, {imageFolder}) << "\n";
        return kGenerateStopped;
    }
    // Without a tree, the albums are what the disk holds now; a subfolder
    // that is the output folder is none.
    const std::string outputFolder = options.output ? absolutePath(*options.output) : settings.outputFolder;
    const ImageFolderAlbums folder = readImageFolderAlbums(imageFolder, outputFolder);
    if (options.autoTurn) {
        // The same as the window's "EXIFの向きで回転", for every album of the run.
        std::size_t stored = 0;
        FolderSettingsStore store(imageFolder);
        for (const AlbumFolder& a : folder.tickedInRunOrder())
            stored += store.storeTurnsFromOrientation(a.key, listPictureFiles(a.key), [](const std::string& p) {
                          return ReadExifOrientation(p);
                      }).size();
        out << "EXIFの向きで回転: " << stored << " 枚\n";
    }

    AlbumRunRequest request = albumRunRequest(folder, outputFolder, options.existing, settings);
    request.threads = options.threads;

    TerminalObserver observer(in, out, err, interactive, options.createOutput);
    const AlbumRunResult result = GenerateAlbum(request, observer);
    if (options.verbose) {
        const platform::ProfileCounters after = platform::profileCounters();
        err << runText(RunText::TermSettingsReads,
                       {std::to_string(after.reads - before.reads), std::to_string(after.parses - before.parses)})
            << "\n";
    }
    if (options.verbose && !result.pictureFailures.empty()) {
        err << runText(RunText::TermDetails) << "\n";
        for (const PictureFailure& f : result.pictureFailures)
            err << lines(runText(RunText::TermDetailItem, {f.source, f.detail})) << "\n";
    }
    if (!result.cancelled.empty()) {
        err << "mirofoto generate: " << lines(runText(RunText::TermNoTerminal, {result.cancelled})) << "\n";
        return kGenerateStopped;
    }
    if (!result.finished) return kGenerateStopped;
    out << runText(RunText::TermMade, {result.outputFolder + "index.htm"}) << "\n";
    out << runText(RunText::TermCopies, {std::to_string(result.copiesMade), std::to_string(result.copiesKept),
                                         std::to_string(result.copiesRemoved)})
        << "\n";
    return result.complete() ? kGenerateDone : kGenerateIncomplete;
}

}  // namespace mirofoto
