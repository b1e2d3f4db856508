// Pic_拡大画像ページ: one picture of the thumbnail page's folder at its
// enlarged size, made anew on a worker at every display, with the links of
// a generated picture page.
#include "app/mainwindow/frm_main.h"
#include "app/mainwindow/tab_keys.h"
#include "app/mainwindow/menu_page.h"
#include "app/mainwindow/preview_maker.h"
#include "app/mainwindow/enlarged_page.h"
#include "app/mainwindow/thumbnail_page.h"
#include "app/mainwindow/twips_geometry.h"

#include <QLabel>
#include <QScrollBar>
#include <QStyle>

namespace mirofoto::mainwindow {
namespace {

void place(QWidget* w, const Rect& r) { setTwipsGeometry(w, {r.left, r.top, r.width, r.height}); }

LinkLabel* link(QWidget* parent, const char* name, const char* caption) {
    auto* l = new LinkLabel(parent);
    l->setObjectName(QString::fromUtf8(name));
    l->setText(QString::fromUtf8(caption));
    QFont f = l->font();
    f.setUnderline(true);
    l->setFont(f);
    return l;
}

QLabel* caption(QWidget* parent, const char* name, const char* text) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setObjectName(QString::fromUtf8(name));
    return l;
}

}  // namespace

EnlargedPage::EnlargedPage(QWidget* parent)
    : StyledPage(QStringLiteral("Pic_拡大画像ページ"), QStringLiteral("Img_拡大画像BG"), parent),
      m_menuLink(link(clipArea(), "Lbl_リンクメニューページ", "メニューページへ")),
      m_previous(link(clipArea(), "Lbl_リンク前の画像", "前の画像")),
      m_thumbnailLink(link(clipArea(), "Lbl_リンクサムネイルページ", "サムネイルページへ")),
      m_next(link(clipArea(), "Lbl_リンク次の画像", "次の画像")),
      m_picture(new QLabel(clipArea())),
      m_fileName(caption(clipArea(), "Lbl_拡大画像ファイル名", "（ファイル名）")),
      m_date(caption(clipArea(), "Lbl_拡大画像撮影日時", "yyyy年mm月dd日 hh時nn分")),
      m_comment(caption(clipArea(), "Lbl_拡大画像コメント", "（コメント）")),
      m_hScroll(new QScrollBar(Qt::Horizontal, this)),
      m_vScroll(new QScrollBar(Qt::Vertical, this)) {
    setAccessibleName(QStringLiteral("拡大画像ページ"));
    m_menuLink->setProperty("index", 1);
    m_picture->setObjectName(QStringLiteral("Img_拡大画像"));
    // The page writes the comment as it is stored, as HTML.
    asPageHtml(m_comment);
    m_picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_hScroll->setObjectName(QStringLiteral("HScroll_拡大画像"));
    m_vScroll->setObjectName(QStringLiteral("VScroll_拡大画像"));
    for (QScrollBar* bar : {m_hScroll, m_vScroll}) {
        bar->setRange(0, 0);
        bar->setSingleStep(1);
        bar->setPageStep(3);
        bar->hide();
        connect(bar, &QScrollBar::valueChanged, this, [this] {
            if (!m_adjusting) placeControls();
        });
    }
    connect(m_menuLink, &LinkLabel::activated, this, [this] { onLink(0); });
    connect(m_previous, &LinkLabel::activated, this, [this] { onLink(1); });
    connect(m_thumbnailLink, &LinkLabel::activated, this, [this] { onLink(2); });
    connect(m_next, &LinkLabel::activated, this, [this] { onLink(3); });
    for (QWidget* w : {static_cast<QWidget*>(m_menuLink), static_cast<QWidget*>(m_previous),
                       static_cast<QWidget*>(m_thumbnailLink), static_cast<QWidget*>(m_next),
                       static_cast<QWidget*>(m_picture), static_cast<QWidget*>(m_fileName),
                       static_cast<QWidget*>(m_date), static_cast<QWidget*>(m_comment)})
        w->hide();
}

void EnlargedPage::attach(Frm_Main* window, ThumbnailPage* thumbnails, ThumbnailModel& model) {
    m_window = window;
    m_thumbnails = thumbnails;
    m_model = &model;
    connect(thumbnails->maker(), &PreviewMaker::finished, this, &EnlargedPage::onPreviewFinished);
    connect(thumbnails->maker(), &PreviewMaker::placeholderReady, this, &EnlargedPage::onPlaceholder);
}

void EnlargedPage::display(int i) {
    m_index = i;
    if (!m_window || !m_thumbnails || !m_model) return;
    const AlbumSettings& s = m_window->settings();
    for (QWidget* w : {static_cast<QWidget*>(m_picture), static_cast<QWidget*>(m_fileName),
                       static_cast<QWidget*>(m_date), static_cast<QWidget*>(m_comment),
                       static_cast<QWidget*>(m_menuLink), static_cast<QWidget*>(m_previous),
                       static_cast<QWidget*>(m_thumbnailLink), static_cast<QWidget*>(m_next)})
        w->hide();
    const TwipsScale scale = TwipsScale::of(this);
    ++m_ticket;  // a picture still being made for an earlier display is dropped
    m_pending = false;
    const int count = m_model->count();
    const bool exists = i >= 0 && i < count && i < m_thumbnails->cellCount() && m_thumbnails->cellShown(i) &&
                        m_thumbnails->maker();
    m_picture->clear();
    m_shownSize = QSize();
    m_pictureWidth = qRound(s.largeWidth * scale.x);
    m_pictureHeight = qRound(s.largeHeight * scale.y);
    if (!exists) {
        m_fileName->clear();
        m_date->clear();
        m_comment->clear();
    } else {
        PreviewRequest r = m_model->previewRequest(i, PreviewRequest::Enlarged);
        r.epoch = m_ticket;
        r.ticket = m_ticket;
        r.cell = i;
        r.force = true;  // always made anew, with the settings and the turn of now
        m_pending = true;
        m_thumbnails->maker()->setCurrentEpoch(PreviewRequest::Enlarged, m_ticket);
        m_thumbnails->maker()->request(std::move(r));
        m_fileName->setText(m_thumbnails->cellFileName(i));
        m_window->setStatusText(m_thumbnails->cellFileName(i) + QStringLiteral(" を表示中..."));
        m_date->setText(m_thumbnails->cellDate(i));
        m_comment->setText(m_thumbnails->cellComment(i));
    }
    adjustScrollBars();
    placeControls();
    m_picture->show();
    m_fileName->setVisible(s.largeShowFileName == 1);
    m_date->setVisible(s.largeShowDate == 1);
    m_comment->setVisible(s.largeShowComment == 1);
    m_menuLink->show();
    m_thumbnailLink->show();
    // Also on the empty display past the end: 前の画像 is the way back.
    m_previous->setVisible(i > 0);
    m_next->setVisible(i < m_thumbnails->cellCount() - 1);
    if (!exists) emit pictureShown(i);
}

void EnlargedPage::onPreviewFinished(const PreviewResult& result) {
    const PreviewRequest& r = result.request;
    if (r.kind != PreviewRequest::Enlarged || r.ticket != m_ticket) return;
    m_pending = false;
    if (m_window) m_window->setStatusText(QString());
    if (result.ok) {
        showPicture(result.image);
    } else if (!m_shownSize.isEmpty()) {
        // A stand-in is no picture of a file that cannot be made (the
        // picture may be damaged past its header): the page ends empty.
        m_picture->clear();
        m_shownSize = QSize();
        const TwipsScale scale = TwipsScale::of(this);
        m_pictureWidth = qRound(m_window->settings().largeWidth * scale.x);
        m_pictureHeight = qRound(m_window->settings().largeHeight * scale.y);
        adjustScrollBars();
        placeControls();
    }
    emit pictureShown(r.cell);
}

void EnlargedPage::onPlaceholder(const PreviewResult& result) {
    const PreviewRequest& r = result.request;
    if (r.kind != PreviewRequest::Enlarged || r.ticket != m_ticket || !m_pending) return;
    showPicture(result.image);
    emit placeholderShown(r.cell);
}

void EnlargedPage::showPicture(const QImage& image) {
    const QPixmap picture = QPixmap::fromImage(image);
    m_picture->setPixmap(picture);
    const TwipsScale scale = TwipsScale::of(this);
    const int width = scale.toTwipsX(picture.width()), height = scale.toTwipsY(picture.height());
    if (width == m_pictureWidth && height == m_pictureHeight && m_shownSize == picture.size()) return;
    m_pictureWidth = width;
    m_pictureHeight = height;
    m_shownSize = picture.size();
    adjustScrollBars();
    placeControls();
}

void EnlargedPage::resetScroll() {
    m_hScroll->setValue(0);
    m_vScroll->setValue(0);
}

void EnlargedPage::adjustScrollBars() {
    const TwipsRect page = twipsGeometry(this);
    const EnlargedScroll s = enlargedScroll(m_pictureWidth, m_pictureHeight, page.width, page.height);
    m_adjusting = true;
    m_vScroll->setRange(0, s.verticalMaximum);
    m_vScroll->setValue(0);
    m_vScroll->setVisible(s.vertical);
    m_hScroll->setRange(0, s.horizontalMaximum);
    m_hScroll->setValue(0);
    m_hScroll->setVisible(s.horizontal);
    m_adjusting = false;
    const int bar = TwipsScale::of(this).toTwipsX(style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    setTwipsGeometry(m_hScroll, {0, page.height - bar - 50, page.width - (s.vertical ? bar : 0) - 50, bar});
    setTwipsGeometry(m_vScroll, {page.width - bar - 50, 0, bar, page.height - (s.horizontal ? bar : 0) - 50});
    m_hScroll->raise();
    m_vScroll->raise();
    setClipArea(page.width - (s.vertical ? bar + 50 : 0), page.height - (s.horizontal ? bar + 50 : 0));
}

void EnlargedPage::placeControls() {
    const TwipsRect page = twipsGeometry(this);
    const TwipsScale scale = TwipsScale::of(this);
    const int labelHeight = scale.toTwipsY(m_fileName->sizeHint().height());
    const int labelWidth = std::max(3000, page.width - 480);
    const EnlargedLayout l =
        enlargedLayout(m_pictureWidth, m_pictureHeight, labelWidth, labelHeight, m_vScroll->value(), m_hScroll->value());
    auto sized = [&](QWidget* w, Rect r) {
        r.width = scale.toTwipsX(w->sizeHint().width()) + 30;
        place(w, r);
    };
    sized(m_menuLink, l.menuLink);
    sized(m_previous, l.previous);
    sized(m_thumbnailLink, l.thumbnails);
    sized(m_next, l.next);
    place(m_picture, l.picture);
    place(m_fileName, l.fileName);
    place(m_date, l.date);
    place(m_comment, l.comment);
}

void EnlargedPage::layoutPage(const PageStyle& style) {
    applyStyle(style);
    const QColor text = toQColor(style.textColor), linkColour = toQColor(style.linkColor);
    for (QWidget* w : {static_cast<QWidget*>(m_menuLink), static_cast<QWidget*>(m_previous),
                       static_cast<QWidget*>(m_thumbnailLink), static_cast<QWidget*>(m_next)})
        setForeground(w, linkColour);
    for (QWidget* w : {static_cast<QWidget*>(m_fileName), static_cast<QWidget*>(m_date),
                       static_cast<QWidget*>(m_comment)})
        setForeground(w, text);
    placeControls();
    adjustScrollBars();
}

void EnlargedPage::onLink(int which) {
    if (!m_window) return;
    switch (which) {
    case 0: m_window->selectTab(kTabMenu); break;
    case 1:
        m_window->setCurrentImage(m_window->currentImage() - 1);
        m_window->selectTab(kTabEnlarged);
        break;
    case 2: m_window->selectTab(kTabThumbnails); break;
    case 3:
        m_window->setCurrentImage(m_window->currentImage() + 1);
        m_window->selectTab(kTabEnlarged);
        break;
    }
}

}  // namespace mirofoto::mainwindow
