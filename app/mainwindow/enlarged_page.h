// The enlarged-image page of the main window: one picture of the thumbnail
// model's folder at its enlarged size, made on a worker by the PreviewMaker
// as the model asks, with the links of a generated picture page.
#pragma once

#include "app/mainwindow/styled_page.h"

#include <QSize>

class QImage;
class QLabel;
class QScrollBar;

namespace mirofoto {
class ThumbnailModel;
}

namespace mirofoto::mainwindow {

class Frm_Main;
class LinkLabel;
class ThumbnailPage;
struct PreviewResult;

class EnlargedPage : public StyledPage {
    Q_OBJECT
public:
    explicit EnlargedPage(QWidget* parent);
    /// The window, the thumbnail page whose cells it follows (their captions
    /// as shown, an unstored comment included) and the model of its pictures.
    void attach(Frm_Main* window, ThumbnailPage* thumbnails, ThumbnailModel& model);

    /// The enlarged-image display of picture i of the thumbnail page.
    void display(int index);
    /// Both scroll bars back to 0 (a resize does this).
    void resetScroll();
    /// The page frame, with the enlarged-image pages' style.
    void layoutPage(const PageStyle& style);
    int shownIndex() const { return m_index; }
    /// No enlarged picture is being made.
    bool settled() const { return !m_pending; }
    /// 拡大画像スクロールバー調整.
    void adjustScrollBars();
    void placeControls();

signals:
    /// The display finished: the picture is shown (or stays empty).
    void pictureShown(int index);
    /// A stand-in (the picture's thumbnail scaled up to the enlarged size)
    /// shows while the enlarged picture is made.
    void placeholderShown(int index);

private:
    void onPreviewFinished(const PreviewResult& result);
    void onPlaceholder(const PreviewResult& result);
    /// Shows the picture at its size; the scroll bars are set again only
    /// when the size changes, so a stand-in's replacement moves nothing.
    void showPicture(const QImage& image);
    void onLink(int which);

    Frm_Main* m_window = nullptr;
    ThumbnailPage* m_thumbnails = nullptr;
    ThumbnailModel* m_model = nullptr;
    LinkLabel* m_menuLink;
    LinkLabel* m_previous;
    LinkLabel* m_thumbnailLink;
    LinkLabel* m_next;
    QLabel* m_picture;
    QLabel* m_fileName;
    QLabel* m_date;
    QLabel* m_comment;
    QScrollBar* m_hScroll;
    QScrollBar* m_vScroll;
    int m_index = -1;
    int m_pictureWidth = 0;   ///< twips
    int m_pictureHeight = 0;
    QSize m_shownSize;  ///< the picture shown (empty: none yet)
    quint64 m_ticket = 0;
    bool m_pending = false;
    bool m_adjusting = false;
};

}  // namespace mirofoto::mainwindow
