// Qt's own texts (the standard buttons of message boxes, the file and folder
// dialogs) in Japanese, like every other text of the windows.
#pragma once

class QCoreApplication;

namespace mirofoto::mainwindow {

/// Loads Qt's Japanese translations into the application, whatever the
/// user's locale, so that "はい" and "ファイル名" stand where Qt would write
/// "Yes" and "File name". False when they are not installed: Qt's texts then
/// stay English, and nothing else changes.
bool installQtJapanese(QCoreApplication& app);

}  // namespace mirofoto::mainwindow
