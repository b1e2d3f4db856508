// Where the settings files lie, and the album settings record in them.
#pragma once

#include "app/settings/album_settings.h"

#include <optional>
#include <string>
#include <string_view>

namespace mirofoto {

/// The application title: caption of every message box.
inline constexpr std::string_view kApplicationTitle = "ミロフォト";

/// The album settings of the last run: program folder + "ミロフォト.ini".
std::string baseSettingsFile();
/// The main window's placement: program folder + "設定.ini".
std::string programStateFile();

/// The image folder of an image-folder box text: trimmed of spaces, with
/// "/" appended when missing; the empty text for an empty box.
std::string imageFolderPath(std::string_view boxText);

/// The name of an image folder's per-folder settings folder: the image
/// folder (as imageFolderPath gives it) with every ":" made "：" and then
/// every "/" made "￥". A name longer than a file system allows (255 bytes)
/// keeps its first characters and ends in "~" and 16 hexadecimal digits of
/// the FNV-1a hash of the whole name, so it stays the same on every run and
/// machine and different for different folders. Empty for an empty folder.
std::string perFolderSettingsFolderName(std::string_view imageFolder);
/// Program folder + "設定/" + the name above + "/"; empty for an empty folder.
std::string perFolderSettingsFolder(std::string_view imageFolder);
/// The per-folder settings folder + "設定.ini"; empty for an empty folder.
std::string perFolderSettingsFile(std::string_view imageFolder);

/// A free HTML block as stored: every line break (CR LF, and a lone CR or
/// LF, which would otherwise split the stored line) becomes "<CRLF>".
std::string encodeHtmlBlock(std::string_view html);
/// The stored form back: every "<CRLF>" becomes CR LF.
std::string decodeHtmlBlock(std::string_view stored);

/// Loads the window placement from the program state file and the album
/// settings record from file (the base settings file or an album settings
/// file), applying the defaults and ranges of every field: a number field
/// whose value is missing or not a number keeps its current value and is
/// then set to its default when outside its range; colours fall back to
/// their defaults; settings.imageFolder receives the stored image folder or,
/// when none is stored, the user's documents folder. Values are read whole.
/// Makes exactly 47 reads and never writes.
void 基本設定読込(std::string_view file, AlbumSettings& settings, WindowPlacement& placement);

/// Writes the window placement to the program state file and the whole
/// record to file: 47 writes in a fixed order. True when all were stored.
bool 基本設定保存(std::string_view file, const AlbumSettings& settings, const WindowPlacement& placement);

/// The text form of a number as the settings files hold it.
std::string formatSingle(float value);
/// A settings text read as a number: optional blanks around an optional
/// sign, decimal digits with an optional fraction and exponent. Nothing for
/// any other text (empty, hexadecimal, "inf", trailing letters).
std::optional<double> parseSettingsNumber(std::string_view text);

}  // namespace mirofoto
