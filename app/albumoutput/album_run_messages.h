// Every text the album run shows or prints: the messages and questions of
// the run, the reasons it gives for pictures it could not make, and the
// lines of the "generate" command on the terminal. The album output form and
// the command both take their texts from here, so the two never drift apart.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace mirofoto {

enum class RunText {
    // Stops before the albums.
    OutputFolderEmpty,       ///< 「HTML出力先」を指定してください。
    OutputFolderOverlaps,    ///< {1} = the image folder
    OutputFolderIsFile,      ///< {1} = the output folder text
    CreateOutputFolder,      ///< the question; {1} = the output folder text
    OutputFolderNotCreated,  ///< フォルダを作成できませんでした。
    OutputFolderBusy,        ///< {1} = the output folder
    OutputFolderNotWritable, ///< {1} = the output folder, {2} = why
    NoAlbums,                ///< アルバムフォルダがありません。
    FolderNotCreated,        ///< {1} = a folder path or an album folder entry
    MenuPageNotWritten,      ///< {1} = the page and why
    // During the run.
    RecreateAlbum,  ///< the question; {1} = the album folder entry
    // Lists told at the end (or, for unreadable folders, when the albums are listed).
    FoldersNotRead,      ///< followed by the list of folders
    BackgroundsRefused,  ///< followed by the list of settings and files
    BackgroundItem,      ///< {1} = setting key, {2} = file, {3} = why
    PicturesNotMade,     ///< followed by the list of pictures
    PictureItem,         ///< {1} = picture, {2} = reason
    FilesNotWritten,     ///< followed by the list of files and folders
    ListMore,            ///< {1} = how many more
    Finished,            ///< the closing question
    FinishedUpdate,      ///< the closing question of an update run, with its counts
    RunAborted,          ///< {1} = what went wrong
    // A stop asked for by the user.
    StopQuestion,    ///< the question before the stop
    Stopped,         ///< {1} = albums on the menu page, {2} = albums of the run
    StoppedInAlbum,  ///< {1} = the last album, {2} = its pictures made, {3} = its pictures
    // Reasons.
    ReasonCorrupt,       ///< 破損したJPEGファイルです
    ReasonNoPermission,  ///< 読み込めません: 権限がありません
    ReasonDiskFull,      ///< ディスクに空きがありません
    ReasonMissing,       ///< the file went away during the run
    ReasonNotImage,      ///< a background that is not a JPEG, GIF or PNG file
    ReasonNotRegular,    ///< a folder, a device, a FIFO
    ReasonWriteProtected,  ///< a copy the user made read-only, left as it stands
    ReasonUnknown,       ///< the library said nothing
    ReasonPrecision,     ///< {1} = bits per sample of a JPEG the library does not decode
    ReasonManySegments,  ///< {1} = the most segments a header may have
    ReasonDecodeMemory,  ///< {1} = MiB decoding needs, {2} = the budget in MiB, {3} = its variable
    // The terminal ("mirofoto generate").
    TermAlbums,           ///< {1} = count
    TermAlbum,            ///< {1} = number, {2} = count, {3} = entry
    TermPictures,         ///< {1} = count
    TermPicture,          ///< {1} = number, {2} = count, {3} = name
    TermAnswerOkCancel,   ///< after an OK / Cancel question
    TermAnswerYesNo,      ///< after a Yes / No question
    TermMade,             ///< {1} = the menu page
    TermNoTerminal,       ///< {1} = the question no one could answer
    TermDetails,          ///< heading of the --verbose details
    TermDetailItem,       ///< {1} = picture, {2} = technical text
    TermSettingsReads,    ///< {1} = values read from settings files, {2} = files parsed for them
    TermSettingsMissing,  ///< {1} = the settings file
    TermSettingsUnusable, ///< {1} = the settings file, {2} = why
    TermImageFolderMissing,  ///< {1} = the image folder
    TermNeedsValue,       ///< {1} = the option
    TermBadExisting,      ///< {1} = the value
    TermBadThreads,       ///< {1} = the value
    TermBadPageStyle,     ///< {1} = the value
    TermUnknownArgument,  ///< {1} = the argument
    LeftAlone,            ///< followed by the files an update did not make and left alone
    TermCopies,           ///< {1} = copies made, {2} = kept, {3} = removed
    Count_
};

/// The text with {1}, {2}, ... replaced by the arguments (a missing one by
/// nothing; the bytes of one that are not UTF-8 shown as "\xNN"). Line
/// breaks are single CR characters, as message boxes take them; the
/// terminal turns them into line ends.
std::string runText(RunText id, std::initializer_list<std::string_view> args = {});

/// The reason the user is told for a failure: no permission, a full disk,
/// damaged JPEG data, a missing file, else the library's own text (or the
/// system's description of the error number).
std::string failureReasonText(int errorNumber, bool corrupt, std::string_view libraryText);

/// The heading text followed by the items, one per line (CR before each);
/// after the first 20 the rest are counted ("ほか 3 件").
std::string runTextWithList(RunText heading, const std::vector<std::string>& items);

}  // namespace mirofoto
