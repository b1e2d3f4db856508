#include "app/albumoutput/album_run_messages.h"

#include "platform/codepage.h"

#include <cerrno>
#include <cstring>

namespace mirofoto {
namespace {

// At most this many items are listed in one message; the rest are counted.
constexpr std::size_t kListedInMessage = 20;

struct Entry {
    RunText id;
    std::string_view text;
};

// One row per text, in the order of the enumeration (checked below).
constexpr Entry kTexts[] = {
    {RunText::OutputFolderEmpty, "「HTML出力先」を指定してください。"},
    {RunText::OutputFolderOverlaps, "「HTML出力先」には画像フォルダと重なるフォルダを指定できません。\r（{1}）"},
    {RunText::OutputFolderIsFile, "指定された「HTML出力先」\r{1}\rはフォルダではなくファイルです。"},
    {RunText::CreateOutputFolder, "指定された「HTML出力先」\r{1}\rは存在しません。\r\rフォルダを作成しますか？"},
    {RunText::OutputFolderNotCreated, "フォルダを作成できませんでした。"},
    {RunText::OutputFolderBusy,
     "別のアルバム作成がこの「HTML出力先」に書き込んでいます。\r（{1}）\r\rそちらが終わってからもう一度実行してください。"},
    {RunText::OutputFolderNotWritable, "「HTML出力先」に書き込めません。\r（{1}）\r{2}"},
    {RunText::NoAlbums, "アルバムフォルダがありません。"},
    {RunText::FolderNotCreated, "フォルダの作成に失敗しました。\r（{1}）"},
    {RunText::MenuPageNotWritten, "アルバムのページを書き込めませんでした。\r{1}"},
    {RunText::RecreateAlbum, "{1}\rフォルダは既に「HTML出力先」に存在します。\r\r再作成しますか？"},
    {RunText::FoldersNotRead, "次のフォルダを読み込めなかったため、アルバムに含めませんでした。"},
    {RunText::BackgroundsRefused, "次の背景画像はコピーしませんでした。"},
    {RunText::BackgroundItem, "{1}: {2}（{3}）"},
    {RunText::PicturesNotMade, "次の画像から縮小画像を作成できませんでした。"},
    {RunText::PictureItem, "{1}（{2}）"},
    {RunText::FilesNotWritten, "次のファイルまたはフォルダを書き込めませんでした。"},
    {RunText::ListMore, "ほか {1} 件"},
    {RunText::Finished, "処理が完了しました。\r\r作成したアルバムを表示しますか？"},
    {RunText::FinishedUpdate,
     "処理が完了しました。\r縮小画像: 作成 {1}、そのまま {2}、削除 {3}\r\r作成したアルバムを表示しますか？"},
    {RunText::RunAborted, "アルバムの作成を中止しました。\r{1}"},
    {RunText::StopQuestion, "アルバムの作成を中止しますか？\r\r作成中の画像が終わったところで中止します。"},
    {RunText::Stopped,
     "アルバムの作成を中止しました。\r\r{2} 件のうち {1} 件のアルバムを作成しました。"
     "\rメニューページには作成したアルバムだけが載っています。"},
    {RunText::StoppedInAlbum, "\r最後のアルバム「{1}」は {3} 枚のうち {2} 枚の画像までです。"},
    {RunText::ReasonCorrupt, "破損したJPEGファイルです"},
    {RunText::ReasonNoPermission, "読み込めません: 権限がありません"},
    {RunText::ReasonDiskFull, "ディスクに空きがありません"},
    {RunText::ReasonMissing, "ファイルがありません"},
    {RunText::ReasonNotImage, "JPEG、GIF、PNG のどの画像でもありません"},
    {RunText::ReasonNotRegular, "通常のファイルではありません"},
    {RunText::ReasonWriteProtected, "書き込みが禁止されているため、そのままにしました"},
    {RunText::ReasonUnknown, "原因がわかりません"},
    {RunText::ReasonPrecision, "{1} ビット精度のJPEGファイルには対応していません"},
    {RunText::ReasonManySegments, "JPEGのヘッダーのセグメントが多すぎます（画像データの前に {1} 個まで）"},
    {RunText::ReasonDecodeMemory,
     "展開に約 {1} MiB のメモリが必要で、上限の {2} MiB を超えます（上限は環境変数 {3} で変えられます）"},
    {RunText::TermAlbums, "アルバム {1} 件"},
    {RunText::TermAlbum, "[{1}/{2}] {3}"},
    {RunText::TermPictures, "  画像 {1} 枚"},
    {RunText::TermPicture, "  ({1}/{2}) {3}"},
    {RunText::TermAnswerOkCancel, " [y=OK / N=キャンセル] "},
    {RunText::TermAnswerYesNo, " [y/N] "},
    {RunText::TermMade, "アルバムを作成しました: {1}"},
    {RunText::TermNoTerminal,
     "次の質問に答える端末がないため中止しました:\r{1}\r"
     "出力先のフォルダは --create-output で作成でき、既存のアルバムの扱いは --existing で指定できます。"},
    {RunText::TermDetails, "詳細:"},
    {RunText::TermDetailItem, "  {1}: {2}"},
    {RunText::TermSettingsReads, "設定の読み出し {1} 回（ファイルの解析 {2} 回）"},
    {RunText::TermSettingsMissing, "アルバム設定ファイルがありません: {1}"},
    {RunText::TermSettingsUnusable, "アルバム設定ファイルを読めません: {1}（{2}）"},
    {RunText::TermImageFolderMissing, "画像フォルダがありません: {1}"},
    {RunText::TermNeedsValue, "{1} には値が必要です"},
    {RunText::TermBadExisting, "--existing は ask, overwrite, html-only, skip, update のどれかです: {1}"},
    {RunText::TermBadThreads, "--threads は 0 から 256 の整数です: {1}"},
    {RunText::TermBadPageStyle, "--page-style は classic か modern です: {1}"},
    {RunText::TermUnknownArgument, "知らない引数です: {1}"},
    {RunText::LeftAlone, "次のファイルまたはフォルダはこのプログラムが作成したものではないため、そのままにしました。"},
    {RunText::TermCopies, "縮小画像: 作成 {1}、そのまま {2}、削除 {3}"},
};

constexpr bool inEnumOrder() {
    if (std::size(kTexts) != static_cast<std::size_t>(RunText::Count_)) return false;
    for (std::size_t i = 0; i < std::size(kTexts); ++i)
        if (static_cast<std::size_t>(kTexts[i].id) != i) return false;
    return true;
}
static_assert(inEnumOrder(), "kTexts needs one row per RunText, in its order");

}  // namespace

std::string runText(RunText id, std::initializer_list<std::string_view> args) {
    const std::string_view text = kTexts[static_cast<std::size_t>(id)].text;
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        // "{n}" with one digit n; anything else is copied as it stands.
        if (text[i] == '{' && i + 2 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9' && text[i + 2] == '}') {
            const auto n = static_cast<std::size_t>(text[i + 1] - '1');
            // Arguments are names and paths: one that is not UTF-8 is shown
            // escaped, never turned into replacement characters.
            if (n < args.size()) out += platform::displayName(*(args.begin() + n));
            i += 2;
            continue;
        }
        out += text[i];
    }
    return out;
}

std::string failureReasonText(int errorNumber, bool corrupt, std::string_view libraryText) {
    switch (errorNumber) {
    case EACCES:
    case EPERM: return runText(RunText::ReasonNoPermission);
    case ENOSPC:
    case EDQUOT: return runText(RunText::ReasonDiskFull);
    default: break;
    }
    if (corrupt) return runText(RunText::ReasonCorrupt);
    if (errorNumber == ENOENT) return runText(RunText::ReasonMissing);
    if (!libraryText.empty()) return std::string(libraryText);
    if (errorNumber != 0) return std::strerror(errorNumber);
    return runText(RunText::ReasonUnknown);
}

std::string runTextWithList(RunText heading, const std::vector<std::string>& items) {
    std::string text = runText(heading);
    for (std::size_t i = 0; i < items.size() && i < kListedInMessage; ++i) text += '\r' + items[i];
    if (items.size() > kListedInMessage)
        text += '\r' + runText(RunText::ListMore, {std::to_string(items.size() - kListedInMessage)});
    return text;
}

}  // namespace mirofoto
