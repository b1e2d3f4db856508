// A page area of the main window (Pic_メニューページ and its two siblings):
// it shows the album's colours and background the way the generated page
// will, and holds the page's background-image control.
#pragma once

#include "app/settings/album_settings.h"

#include <QColor>
#include <QDateTime>
#include <QPixmap>
#include <QWidget>

class QLabel;

namespace mirofoto::mainwindow {

/// The colour of a settings value (red in the low byte).
QColor toQColor(Colour colour);

class StyledPage : public QWidget {
    Q_OBJECT
public:
    /// name: the page area's control name; backgroundName: its image
    /// control ("Img_メニューBG").
    StyledPage(const QString& name, const QString& backgroundName, QWidget* parent);

    /// The page styling: the page's background colour, and, unless the plain
    /// colour is chosen, the background image tiled over it from the top
    /// left. Labels of the page take their colours in the pages themselves.
    void applyStyle(const PageStyle& style);

    /// The background-image control (hidden; it holds the picture that is
    /// tiled). Its pixmap is null when nothing was loaded.
    QLabel* backgroundImage() const { return m_background; }
    bool tilesShown() const { return m_tiled; }

    /// The part of the page between its scroll bars, from the top left. The
    /// page's controls stand in it, so a control scrolled under a bar or
    /// past the page's edge is cut there, never drawn over the bar.
    QWidget* clipArea() const { return m_clip; }
    /// Sets the clip area's size, in twips.
    void setClipArea(int widthTwips, int heightTwips);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap loadCached(const QString& path);

    QLabel* m_background;
    QWidget* m_clip;
    QColor m_colour;
    bool m_tiled = false;
    // A resize re-styles the page; the picture is read again only when its
    // file changed.
    QString m_loadedPath;
    QDateTime m_loadedTime;
    qint64 m_loadedSize = -1;
    QPixmap m_loaded;
};

/// Sets a label's text colour (its foreground), leaving its background
/// transparent over the page. A disabled label shows the colour faded over
/// the page, so it looks disabled on any page colour.
void setForeground(QWidget* label, const QColor& colour);

/// Makes a label show a text of the generated pages. The pages write menu
/// texts and comments as they are stored, as HTML, so the label renders
/// them as rich text always: "&amp;" reads "&", "<b>" is bold, as in the
/// browser.
void asPageHtml(QLabel* label);
/// What a page text shows, without its markup (for accessible names).
QString plainTextOf(const QString& html);

}  // namespace mirofoto::mainwindow
