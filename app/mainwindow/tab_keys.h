// The keys of the main window's three page tabs (their object names too):
// the frame, the pages and the tests select tabs by them.
#pragma once

#include <QString>

namespace mirofoto::mainwindow {

inline const QString kTabMenu = QStringLiteral("Tab_メニューページ");
inline const QString kTabThumbnails = QStringLiteral("Tab_サムネイルページ");
inline const QString kTabEnlarged = QStringLiteral("Tab_拡大画像ページ");

}  // namespace mirofoto::mainwindow
