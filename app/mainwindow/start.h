// The start routine of the program with its window.
#pragma once

#include <optional>
#include <string>

namespace mirofoto::mainwindow {

/// Whether a window can be opened: a platform named by QT_QPA_PLATFORM, a
/// Wayland display, or an X display that answers. Otherwise one line says
/// why and points to the command that needs no window.
bool windowsAvailable(std::string* why);

class Frm_Main;

/// Gives the window its options dialog and album output form.
void installForms(Frm_Main& window);

/// Opens the main window (on imageFolder, when given, as if it had been
/// typed into the image folder box) and runs until it closes.
int runMainWindow(int argc, char** argv, const std::optional<std::string>& imageFolder);

}  // namespace mirofoto::mainwindow
