// "ブラウザで確認": one album written, as the album run writes it, into a folder
// of the temp folder, so that the user sees the real pages before
// publishing.
#pragma once

#include "app/settings/album_settings.h"
#include "app/util/thread_pool.h"

#include <string>
#include <string_view>

namespace mirofoto {

/// The folder the preview is written into: "ブラウザで確認/" in the temp folder.
std::string browserPreviewFolder();

/// What a preview gave: the album's thumbnail page to open, or why there is
/// none (a Japanese text for a message box).
struct BrowserPreview {
    std::string page;
    std::string problem;
};

/// Writes the album folder albumKey (its full path ending in "/") of the
/// image folder, with its ticked pictures, turns and texts and the album
/// settings given (their page style included), into the preview folder,
/// replacing any earlier preview. Asks nothing; runs on the calling thread,
/// its pictures on the pool (which may be running this very call).
BrowserPreview makeBrowserPreview(std::string_view imageFolder, std::string_view albumKey,
                                  const AlbumSettings& settings, ThreadPool* pool);

}  // namespace mirofoto
