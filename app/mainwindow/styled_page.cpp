#include "app/mainwindow/styled_page.h"

#include "app/mainwindow/twips_geometry.h"

#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QTextDocumentFragment>

namespace mirofoto::mainwindow {

QColor toQColor(Colour c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

void setForeground(QWidget* label, const QColor& colour) {
    QPalette p = label->palette();
    QColor faded = colour;
    faded.setAlphaF(0.4);
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::WindowText, colour);
        p.setColor(group, QPalette::Text, colour);
    }
    p.setColor(QPalette::Disabled, QPalette::WindowText, faded);
    p.setColor(QPalette::Disabled, QPalette::Text, faded);
    label->setPalette(p);
}

void asPageHtml(QLabel* label) {
    label->setTextFormat(Qt::RichText);
    // Links inside a text are not followed in the preview.
    label->setOpenExternalLinks(false);
}

QString plainTextOf(const QString& html) { return QTextDocumentFragment::fromHtml(html).toPlainText(); }

StyledPage::StyledPage(const QString& name, const QString& backgroundName, QWidget* parent)
    : QWidget(parent), m_background(new QLabel(this)), m_clip(new QWidget(this)) {
    setObjectName(name);
    // A click on the page's background takes the focus, as a picture box
    // does: an edit open in a box of the page ends there.
    setFocusPolicy(Qt::ClickFocus);
    m_background->setObjectName(backgroundName);
    m_background->hide();
    // Transparent: the page's colour and tiles show through. Made before
    // the scroll bars, so they stand above it.
    m_clip->setObjectName(QStringLiteral("ClipArea"));
}

void StyledPage::setClipArea(int widthTwips, int heightTwips) {
    setTwipsGeometry(m_clip, {0, 0, std::max(0, widthTwips), std::max(0, heightTwips)});
}

QPixmap StyledPage::loadCached(const QString& path) {
    const QFileInfo info(path);
    if (path != m_loadedPath || info.lastModified() != m_loadedTime || info.size() != m_loadedSize) {
        m_loaded = QPixmap(path);
        m_loadedPath = path;
        m_loadedTime = info.lastModified();
        m_loadedSize = info.size();
    }
    return m_loaded;
}

void StyledPage::applyStyle(const PageStyle& style) {
    m_colour = toQColor(style.backgroundColor);
    m_background->clear();
    m_tiled = false;
    if (style.useBackgroundColor) {
        m_background->hide();
    } else if (!style.backgroundImage.empty()) {
        const QPixmap picture = loadCached(QString::fromStdString(style.backgroundImage));
        if (!picture.isNull()) {
            m_background->setPixmap(picture);
            m_tiled = true;
        }
    }
    update();
}

void StyledPage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_colour);
    if (!m_tiled) return;
    const QPixmap picture = m_background->pixmap();
    const int w = picture.width(), h = picture.height();
    if (w <= 0 || h <= 0) return;
    // Rows 0 … page height ÷ picture height and columns 0 … page width ÷
    // picture width, each tile at its corner.
    for (int r = 0; r <= height() / h; ++r)
        for (int c = 0; c <= width() / w; ++c) painter.drawPixmap(c * w, r * h, picture);
}

}  // namespace mirofoto::mainwindow
