// The thumbnail page and the enlarged-image page areas of the main window.
// The frame shows, hides, lays out and styles them and calls the operations
// below; the cells of the thumbnail page and the enlarged picture are made
// by the pages' own code, which is not part of this library yet, so both
// pages show only the album's colours and background for now.
#pragma once

#include "app/mainwindow/styled_page.h"

namespace mirofoto::mainwindow {

class ThumbnailPage : public StyledPage {
    Q_OBJECT
public:
    explicit ThumbnailPage(QWidget* parent);

    /// サムネイルクリア: removes the cells and asks the next drawing pass to
    /// make every thumbnail anew.
    void clear();
    /// サムネイルページ表示: lists the pictures of the album folder (a tree
    /// node's key).
    void display(const QString& folderKey);
    /// サムネイル画像表示: draws the cells that are in view.
    void drawVisible();
    /// Whether the first cell is shown (pictures are listed).
    bool firstCellShown() const { return false; }
    /// The page frame, with the thumbnail pages' style.
    void layoutPage(const PageStyle& style);

    /// RedrawThumbnails: set by a clear, by F5 and by the options dialog.
    bool redrawThumbnails() const { return m_redraw; }
    void setRedrawThumbnails(bool redraw) { m_redraw = redraw; }
    /// The album folder the page was last asked to show.
    const QString& folder() const { return m_folder; }

private:
    bool m_redraw = false;
    QString m_folder;
};

class EnlargedPage : public StyledPage {
    Q_OBJECT
public:
    explicit EnlargedPage(QWidget* parent);

    /// The enlarged-image display of picture i of the thumbnail page.
    void display(int index);
    /// Both scroll bars back to 0 (a resize does this).
    void resetScroll() {}
    /// The page frame, with the enlarged-image pages' style.
    void layoutPage(const PageStyle& style);
    int shownIndex() const { return m_index; }

private:
    int m_index = -1;
};

}  // namespace mirofoto::mainwindow
