// The user-interface services of a program with windows: message boxes,
// file, folder and colour dialogs through Qt, documents opened with the
// desktop. Installed by the start routine; every window and every loaded
// control asks through platform::ui().
#pragma once

#include "platform/ui_services.h"

#include <QString>

namespace mirofoto::mainwindow {

class QtUiServices final : public platform::UiServices {
public:
    platform::MsgResult messageBox(platform::WindowRef owner, std::string_view text, std::string_view caption,
                                   platform::MsgButtons buttons, platform::MsgIcon icon) override;
    std::optional<std::string> openFileDialog(platform::WindowRef owner,
                                              const platform::FileDialogOptions& options) override;
    std::optional<std::string> saveFileDialog(platform::WindowRef owner,
                                              const platform::FileDialogOptions& options) override;
    std::string browseForFolder(platform::WindowRef owner, std::string_view initialFolder,
                                std::string_view title) override;
    std::optional<std::uint32_t> chooseColour(platform::WindowRef owner, std::uint32_t initial) override;
    bool openDocument(platform::WindowRef owner, std::string_view pathOrUrl) override;
    std::string documentsFolder() override;
};

/// Opens the page or address in the desktop's browser. When no browser
/// starts, a message says so and names what to open by hand; false then.
bool openInBrowser(platform::WindowRef owner, std::string_view pathOrUrl);

/// A message text as shown: each CR (or CR LF) a line break.
QString displayText(std::string_view text);
/// A "description|*.ext|…" filter as Qt's "description (*.ext);;…".
QString qtFileFilter(std::string_view filter);

}  // namespace mirofoto::mainwindow
