// What the album output form needs of the window it is opened from: the
// image folder and settings the run reads, the program's pool, the albums
// the tree lists, and the window's lock while the run goes. The form knows
// nothing else of the main window.
#pragma once

#include "app/settings/album_settings.h"

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace mirofoto {

class ThreadPool;

class AlbumRunHost {
public:
    /// The window the form belongs to (its parent; closed when the user
    /// closed it during the run and the run has ended).
    virtual QWidget* hostWidget() = 0;
    /// The image folder: the box's trimmed text ending in "/".
    virtual const std::string& imageFolder() const = 0;
    virtual AlbumSettings& settings() = 0;
    virtual ThreadPool& pool() = 0;
    /// The folders the tree lists (paths ending in "/"): the run makes
    /// albums of these only, as the user saw them.
    virtual std::vector<std::string> listedAlbumFolders() const = 0;
    /// While a run goes the window cannot change what it reads; closing the
    /// window calls closeRequested instead.
    virtual void setRunInProgress(bool running, std::function<void()> closeRequested = {}) = 0;

protected:
    ~AlbumRunHost() = default;
};

}  // namespace mirofoto
