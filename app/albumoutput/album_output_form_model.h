// What the album output form needs that is no window: its treatments of an
// existing album folder (one row each, in the frame's order), the output
// folder setting it stores on closing, and the texts of a stop by the user.
#pragma once

#include "app/albumoutput/album_run.h"

#include <span>
#include <string>
#include <string_view>

namespace mirofoto {

struct ExistingAlbumOption {
    ExistingAlbumPolicy policy;
    const char* objectName;  ///< the option button's control name
    const char* caption;
};

/// The option buttons of the frame "既存ファイルへの上書き", top to bottom;
/// the first is selected when the form opens.
std::span<const ExistingAlbumOption> existingAlbumOptions();

/// The output folder setting for the box's text as the form closes: the
/// text with "/" appended when it does not end in one. A box left empty (or
/// blank) stores the empty text, never "/", the file system's root.
std::string outputFolderSetting(std::string_view boxText);

/// The question before a stop, and what the form says after one.
std::string stopQuestionText();
std::string stoppedRunText(const AlbumRunResult& result);

}  // namespace mirofoto
