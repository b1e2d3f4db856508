// Pic_サムネイルページ: one cell per picture of the album folder selected in
// the tree, placed in twips, its thumbnail made on a worker when it comes
// into view.
#include "app/mainwindow/tab_keys.h"
#include "app/mainwindow/frm_main.h"
#include "app/mainwindow/page_widgets.h"
#include "app/mainwindow/preview_maker.h"
#include "app/mainwindow/thumbnail_page.h"
#include "app/mainwindow/qt_text.h"
#include "app/mainwindow/twips_geometry.h"
#include "app/util/exif_info.h"
#include "app/util/storage_location.h"
#include "app/settings/settings_files.h"
#include "platform/ui_services.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QWheelEvent>

#include <utility>

namespace mirofoto::mainwindow {
namespace {


void place(QWidget* w, const Rect& r) { setTwipsGeometry(w, {r.left, r.top, r.width, r.height}); }

}  // namespace

/// The thumbnail of a cell: a left-button release opens the picture.
class ThumbnailImage : public QLabel {
public:
    explicit ThumbnailImage(QWidget* parent, std::function<void()> open) : QLabel(parent), m_open(std::move(open)) {
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        QLabel::mouseReleaseEvent(e);
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) m_open();
    }

private:
    std::function<void()> m_open;
};

struct ThumbnailPage::Cell {
    QFrame* frame = nullptr;
    ThumbnailImage* image = nullptr;
    QLabel* fileName = nullptr;
    QLabel* date = nullptr;
    InputBox* comment = nullptr;
    QCheckBox* tick = nullptr;
    QLabel* number = nullptr;
    QPushButton* left = nullptr;
    QPushButton* right = nullptr;

    int pictureWidth = 0;  ///< the shown picture's size in twips (0: none)
    int pictureHeight = 0;
    bool standIn = false;  ///< the picture shown is the embedded thumbnail

    std::vector<QWidget*> widgets() const {
        return {frame, image, fileName, date, comment, tick, number, left, right};
    }
    ~Cell() {
        for (QWidget* w : widgets()) delete w;
    }
};

struct ThumbnailPage::ScanState {
    std::atomic<bool> cancelled{false};
};

ThumbnailPage::ThumbnailPage(QWidget* parent)
    : StyledPage(QStringLiteral("Pic_サムネイルページ"), QStringLiteral("Img_サムネイルBG"), parent),
      m_menuLink(new LinkLabel(clipArea())),
      m_vScroll(new QScrollBar(Qt::Vertical, this)),
      m_hScroll(new QScrollBar(Qt::Horizontal, this)),
      m_buildTimer(new QTimer(this)) {
    setAccessibleName(QStringLiteral("サムネイルページ"));
    m_menuLink->setObjectName(QStringLiteral("Lbl_リンクメニューページ"));
    m_menuLink->setProperty("index", 0);
    m_menuLink->setText(QStringLiteral("メニューページへ"));
    QFont linkFont = m_menuLink->font();
    linkFont.setUnderline(true);
    m_menuLink->setFont(linkFont);
    m_vScroll->setObjectName(QStringLiteral("VScroll_サムネイル"));
    m_hScroll->setObjectName(QStringLiteral("HScroll_サムネイル"));
    m_vScroll->setAccessibleName(QStringLiteral("サムネイルの縦スクロール"));
    m_hScroll->setAccessibleName(QStringLiteral("サムネイルの横スクロール"));
    for (QScrollBar* bar : {m_vScroll, m_hScroll}) {
        bar->setRange(0, 0);
        bar->setSingleStep(5);
        connect(bar, &QScrollBar::valueChanged, this, &ThumbnailPage::onScroll);
    }
    connect(m_menuLink, &LinkLabel::activated, this, [this] {
        if (m_window) m_window->selectTab(kTabMenu);
    });
    m_buildTimer->setInterval(0);
    m_buildTimer->setSingleShot(true);
    connect(m_buildTimer, &QTimer::timeout, this, &ThumbnailPage::buildMore);
    m_template = cellTemplate(120, 90, 15, 15);
    makeCell(0);
    resetCell0();
}

ThumbnailPage::~ThumbnailPage() {
    if (m_scan) m_scan->cancelled = true;
    delete m_maker;  // waits for the running jobs; their results die with it
    m_maker = nullptr;
}

void ThumbnailPage::attach(Frm_Main* window, ThumbnailModel& model, ThreadPool& pool, unsigned threads) {
    m_window = window;
    m_model = &model;
    m_model->setRunInProgress(window->runInProgress());
    // The turn buttons read a picture's orientation with the window's control.
    m_model->setOrientationReader(
        [window](const std::string& path) { return ReadExifOrientation(path, window->exifCtl().get()); });
    // MIROFOTO_PREVIEW_THREADS: a number of workers, or "ui" for the
    // one-by-one making on this thread (benchmarks compare the two).
    const QByteArray chosen = qgetenv("MIROFOTO_PREVIEW_THREADS");
    const bool onUiThread = chosen == "ui";
    if (!onUiThread && !chosen.isEmpty()) threads = chosen.toUInt();
    m_maker = new PreviewMaker(pool, threads, this, onUiThread);
    connect(m_maker, &PreviewMaker::finished, this, &ThumbnailPage::onPreviewFinished);
    connect(m_maker, &PreviewMaker::placeholderReady, this, &ThumbnailPage::onPlaceholder);
    connect(m_maker, &PreviewMaker::slotFreed, this, &ThumbnailPage::pump);
    // What the album run reads stays as it is while a run makes the album.
    connect(window, &Frm_Main::runInProgressChanged, this, [this](bool running) {
        m_model->setRunInProgress(running);
        for (int i = 0; i < m_model->built(); ++i) lockForRun(*m_cells[i], running);
    });
}

const std::vector<ImageEntry>& ThumbnailPage::entries() const {
    static const std::vector<ImageEntry> none;
    return m_model ? m_model->entries() : none;
}

void ThumbnailPage::lockForRun(Cell& c, bool running) {
    for (QWidget* w : {static_cast<QWidget*>(c.tick), static_cast<QWidget*>(c.left), static_cast<QWidget*>(c.right)})
        w->setEnabled(!running);
}

CellTemplate ThumbnailPage::currentTemplate() const {
    const TwipsScale s = TwipsScale::of(this);
    const AlbumSettings* settings = m_window ? &m_window->settings() : nullptr;
    return cellTemplate(settings ? settings->thumbWidth : 120, settings ? settings->thumbHeight : 90, s.x, s.y);
}

ThumbnailPage::Cell& ThumbnailPage::makeCell(int index) {
    auto cell = std::make_unique<Cell>();
    Cell& c = *cell;
    c.frame = new QFrame(clipArea());
    c.frame->setObjectName(QStringLiteral("Shp_サムネイル枠"));
    c.frame->setFrameShape(QFrame::Box);
    c.frame->setAttribute(Qt::WA_TransparentForMouseEvents);
    c.image = new ThumbnailImage(clipArea(), [this, index] {
        if (!m_window) return;
        m_window->setCurrentImage(index);
        m_window->selectTab(kTabEnlarged);
    });
    c.image->setObjectName(QStringLiteral("Img_サムネイル"));
    c.fileName = new QLabel(clipArea());
    c.fileName->setObjectName(QStringLiteral("Lbl_ファイル名"));
    c.date = new QLabel(clipArea());
    c.date->setObjectName(QStringLiteral("Lbl_撮影日時"));
    c.comment = new InputBox(clipArea());
    c.comment->setObjectName(QStringLiteral("Txt_コメント"));
    c.comment->setAccessibleName(QStringLiteral("コメント"));
    c.tick = new QCheckBox(clipArea());
    c.tick->setObjectName(QStringLiteral("Chk_画像選択"));
    c.tick->setAccessibleName(QStringLiteral("アルバムに載せる"));
    c.number = new QLabel(clipArea());
    c.number->setObjectName(QStringLiteral("Lbl_No"));
    c.left = new QPushButton(QStringLiteral("↺"), clipArea());
    c.left->setObjectName(QStringLiteral("Cmd_LTurn"));
    c.left->setAccessibleName(QStringLiteral("左に回転"));
    c.left->setToolTip(QStringLiteral("左に90度回転"));
    c.right = new QPushButton(QStringLiteral("↻"), clipArea());
    c.right->setObjectName(QStringLiteral("Cmd_RTurn"));
    c.right->setAccessibleName(QStringLiteral("右に回転"));
    c.right->setToolTip(QStringLiteral("右に90度回転"));
    for (QWidget* w : c.widgets()) {
        w->setProperty("index", index);
        w->setVisible(false);
    }
    // The captions take a smaller face, so a date fits the frame's width as
    // it does on the generated page.
    const QFont small = captionFont();
    for (QWidget* w : {static_cast<QWidget*>(c.fileName), static_cast<QWidget*>(c.date),
                       static_cast<QWidget*>(c.comment), static_cast<QWidget*>(c.number)})
        w->setFont(small);
    setForeground(c.fileName, toQColor(m_style.textColor));
    setForeground(c.date, toQColor(m_style.textColor));
    setForeground(c.number, toQColor(m_style.textColor));
    connect(c.tick, &QCheckBox::clicked, this, [this, index] { Chk_画像選択_Click(index); });
    connect(c.left, &QPushButton::clicked, this, [this, index] { Cmd_LTurn_Click(index); });
    connect(c.right, &QPushButton::clicked, this, [this, index] { Cmd_RTurn_Click(index); });
    connect(c.comment, &InputBox::lostFocus, this, [this, index] { Txt_コメント_LostFocus(index); });
    connect(c.comment, &InputBox::commitRequested, this, [this, index] { Txt_コメント_LostFocus(index); });
    connect(c.comment, &InputBox::cancelRequested, this, [this, index] {
        if (index < m_model->count())
            m_cells[index]->comment->setText(QString::fromStdString(m_model->entries()[index].comment));
    });
    m_cells.push_back(std::move(cell));
    return *m_cells.back();
}

QFont ThumbnailPage::captionFont() const {
    // The largest face up to the page's own in which a date fits the
    // caption width (6 points at least).
    QFont f = font();
    const int width = TwipsScale::of(this).toPixelsX(m_template.labelWidth) - 4;
    const QString sample = QStringLiteral("2026年12月31日 23時59分");
    for (double points = std::min(f.pointSizeF(), 9.0); points > 6.0; points -= 0.5) {
        f.setPointSizeF(points);
        if (QFontMetrics(f).horizontalAdvance(sample) <= width) return f;
    }
    f.setPointSizeF(6.0);
    return f;
}

void ThumbnailPage::resetCell0() {
    Cell& c = *m_cells[0];
    for (QWidget* w : c.widgets()) w->hide();
    c.image->clear();
    c.image->setProperty("tag", QByteArray());
    m_template = currentTemplate();
    c.fileName->clear();
    c.fileName->setProperty("name", QString());
    c.date->clear();
    c.comment->clear();
    c.tick->setChecked(true);
    c.number->setText(QStringLiteral("0000"));
    c.pictureWidth = c.pictureHeight = 0;
    c.standIn = false;
    enableCaptions(c, true);
}

void ThumbnailPage::enableCaptions(Cell& c, bool ticked) {
    // A disabled thumbnail takes no clicks: an unticked picture is not opened.
    for (QWidget* w : {static_cast<QWidget*>(c.image), static_cast<QWidget*>(c.fileName),
                       static_cast<QWidget*>(c.date), static_cast<QWidget*>(c.comment)})
        w->setEnabled(ticked);
}

void ThumbnailPage::finishComment() {
    // A comment typed but not yet left is written before its box goes.
    QWidget* focus = QApplication::focusWidget();
    if (!focus) return;
    for (std::size_t i = 0; i < m_cells.size(); ++i)
        if (m_cells[i]->comment == focus) return Txt_コメント_LostFocus(static_cast<int>(i));
}

void ThumbnailPage::windowClosing() {
    finishComment();
    // No preview may be written after the temp folder is removed.
    if (m_model) m_model->dropPending();
    if (m_scan) m_scan->cancelled = true;
    delete m_maker;
    m_maker = nullptr;
}

void ThumbnailPage::clear() {
    finishComment();
    // Everything asked for the old cells is now stale.
    const bool scanning = m_model && m_model->scanPending();
    if (m_model) m_model->clear();
    if (m_maker && m_model) m_maker->setCurrentEpoch(PreviewRequest::Thumbnail, m_model->epoch());
    if (m_scan) m_scan->cancelled = true;
    m_scan.reset();
    if (scanning) status(QString());
    m_building = false;
    m_buildTimer->stop();
    m_cells.resize(1);
    resetCell0();
    if (m_window) m_window->hideProgress();
    m_vScroll->setValue(0);
    m_hScroll->setValue(0);
    m_vScroll->setMaximum(0);
    m_hScroll->setMaximum(0);
    m_shownAlbum.clear();
}

void ThumbnailPage::status(const QString& text) {
    if (!m_window) return;
    m_window->setStatusText(text);
}

void ThumbnailPage::display(const QString& folderKey, const QString& albumText, const QString& albumName) {
    clear();
    m_folder = folderKey;
    m_shownAlbum = albumName;
    if (!m_model) return;
    m_model->show(pathBytes(folderKey), pathBytes(albumText));
    if (!m_maker) return;
    const std::optional<ThumbnailModel::Scan> scan = m_model->beginScan();
    if (!scan) return;
    const std::string folder = scan->folder;
    // The image library loads while the folder is read.
    if (!m_warmedUp && m_maker->threads() > 1) m_maker->run(warmUpImageLibrary);
    m_warmedUp = true;
    auto state = std::make_shared<ScanState>();
    m_scan = state;
    const quint64 epoch = scan->epoch;
    const std::string temp = storageLocation().tempFolder;
    setCursor(Qt::BusyCursor);
    // The page waits for its pool before it goes, so the job may name it;
    // what it posts dies with the page.
    ThumbnailPage* self = this;
    m_maker->run([self, state, epoch, folder, temp] {
        if (state->cancelled) return;
        ImageScanHooks hooks;
        int lastShown = -1;
        hooks.progress = [&](int done, int count) {
            if (state->cancelled) return false;
            // About a hundred progress steps, whatever the count.
            if (done == count || done == 1 || done - lastShown >= std::max(1, count / 100)) {
                lastShown = done;
                QMetaObject::invokeMethod(
                    self, [self, state, done, count] {
                        if (state->cancelled || !self->m_window) return;
                        self->status(QStringLiteral("画像ファイル検索中..."));
                        self->m_window->showProgress(done, count);
                    },
                    Qt::QueuedConnection);
            }
            return true;
        };
        std::vector<ImageEntry> entries = scanImageEntries(folder, temp, hooks);
        if (state->cancelled) return;
        QMetaObject::invokeMethod(
            self, [self, epoch, entries = std::move(entries)]() mutable {
                self->onScanDone(epoch, std::move(entries));
            },
            Qt::QueuedConnection);
    });
}

void ThumbnailPage::onScanDone(quint64 epoch, std::vector<ImageEntry> entries) {
    if (!m_model || !m_model->listed(epoch, std::move(entries))) return;
    m_scan.reset();
    unsetCursor();
    status(QString());
    if (m_window) m_window->hideProgress();
    emit listed(m_model->count());
    if (m_model->count() == 0) {
        emit cellsBuilt();
        return;
    }
    // サムネイル初期設定, a slice per event-loop turn.
    m_template = currentTemplate();
    {
        const QFont small = captionFont();
        for (auto& cell : m_cells)
            for (QWidget* w : {static_cast<QWidget*>(cell->fileName), static_cast<QWidget*>(cell->date),
                               static_cast<QWidget*>(cell->comment), static_cast<QWidget*>(cell->number)})
                w->setFont(small);
    }
    m_building = true;
    setScrollMaxima();
    buildMore();
}

void ThumbnailPage::setScrollMaxima() {
    const ScrollMaxima m =
        thumbnailScrollMaxima(m_model->count(), m_window ? m_window->settings().columns : 1, m_template);
    m_hScroll->setMaximum(m.horizontal);
    m_vScroll->setMaximum(m.vertical);
    m_vScroll->setPageStep(std::max(1, m_template.frameHeight / 100));
    m_hScroll->setPageStep(std::max(1, m_template.frameWidth / 100));
}

void ThumbnailPage::buildMore() {
    if (!m_building) return;
    QElapsedTimer t;
    t.start();
    const int count = m_model->count();
    const bool first = m_model->built() == 0;
    const bool shown = onPage();
    const ThumbnailView v = view(true);
    while (m_model->built() < count && (t.elapsed() < 8 || m_model->built() == 0)) {
        const int i = m_model->buildCell(shown && !first ? &v : nullptr);
        if (i >= static_cast<int>(m_cells.size())) makeCell(i);
        fillCell(i);
        if (shown) placeCells(i);
    }
    if (first && shown) {
        placeCells(-1);
        drawVisible();
    }
    if (m_model->built() < count) {
        m_buildTimer->start();
        return;
    }
    m_building = false;
    m_model->buildingDone();
    pump();
    emit cellsBuilt();
}

void ThumbnailPage::fillCell(int i) {
    Cell& c = *m_cells[i];
    const ImageEntry& e = m_model->entries()[i];
    const QString name = shownName(e.fileName);
    // A picture whose tick and turn are stored under another's key says so.
    QString shared;
    for (const std::string& other : m_model->sharingWith(i)) shared += QStringLiteral("「%1」").arg(shownName(other));
    const QString marked = shared.isEmpty() ? name : name + QStringLiteral(" ※");
    const QString sharedTip =
        shared.isEmpty() ? QString()
                         : QStringLiteral("%1 と設定を共有しています。チェックや回転を変えると、いっしょに変わります。").arg(shared);
    // A name too long for the cell ends in "…"; the whole name is its tip.
    const QFontMetrics metrics(c.fileName->font());
    const QString fitted =
        metrics.elidedText(marked, Qt::ElideRight, TwipsScale::of(this).toPixelsX(m_template.labelWidth));
    c.fileName->setText(fitted);
    QString tip = fitted == marked ? QString() : name;
    if (!sharedTip.isEmpty()) tip = tip.isEmpty() ? sharedTip : tip + QStringLiteral("\n") + sharedTip;
    c.fileName->setToolTip(tip);
    c.fileName->setProperty("name", name);
    c.tick->setToolTip(sharedTip);
    c.image->setProperty("tag", QByteArray::fromStdString(e.path()));
    c.image->setAccessibleName(name);
    c.date->setText(QString::fromStdString(dateCaption(e.shootingDate)));
    const QString comment = QString::fromStdString(e.comment);
    c.comment->setText(comment);
    c.comment->setCursorPosition(0);
    const bool ticked = m_model->ticked(i);
    c.tick->setChecked(ticked);
    lockForRun(c, m_model->runInProgress());
    enableCaptions(c, ticked);
    c.number->setText(QStringLiteral("%1").arg(i + 1, 4, 10, QLatin1Char('0')));
    c.tick->setAccessibleName(QStringLiteral("アルバムに載せる: ") + name);
}

void ThumbnailPage::placeCells(int index) {
    const int v = m_vScroll->value(), h = m_hScroll->value();
    const TwipsRect link = twipsGeometry(m_menuLink);
    // 210 high: it ends where the first row of frames begins.
    place(m_menuLink, thumbnailMenuLink(link.width > 0 ? link.width : 1800, 210, v, h));
    const int count = m_model ? m_model->built() : 0;
    if (index >= count) return;
    const int from = index < 0 ? 0 : index, to = index < 0 ? count : index + 1;
    const int columns = m_window ? m_window->settings().columns : 1;
    const AlbumSettings* s = m_window ? &m_window->settings() : nullptr;
    for (int i = from; i < to; ++i) {
        Cell& c = *m_cells[i];
        const CellLayout l = cellLayout(i, columns, m_template, m_sizes, v, h, c.pictureWidth, c.pictureHeight);
        place(c.frame, l.frame);
        place(c.tick, l.tick);
        place(c.number, l.number);
        place(c.left, l.leftTurn);
        place(c.right, l.rightTurn);
        place(c.image, l.thumbnail);
        place(c.fileName, l.fileName);
        place(c.date, l.date);
        place(c.comment, l.comment);
        for (QWidget* w : {static_cast<QWidget*>(c.frame), static_cast<QWidget*>(c.image),
                           static_cast<QWidget*>(c.tick), static_cast<QWidget*>(c.number),
                           static_cast<QWidget*>(c.left), static_cast<QWidget*>(c.right)})
            if (w->isHidden()) w->show();
        c.fileName->setVisible(s && s->thumbShowFileName == 1);
        c.date->setVisible(s && s->thumbShowDate == 1);
        c.comment->setVisible(s && s->thumbShowComment == 1);
    }
}

ThumbnailView ThumbnailPage::view(bool shown) const {
    ThumbnailView v;
    v.cell = m_template;
    v.vScroll = m_vScroll->value();
    v.pageHeight = twipsGeometry(this).height;
    v.shown = shown;
    return v;
}

bool ThumbnailPage::onPage() const { return m_window && m_window->selectedTabKey() == kTabThumbnails; }

void ThumbnailPage::drawVisible() {
    // Only while the page is shown: the pass of a hidden page stops at once.
    if (!m_model || !onPage() || !isVisibleTo(parentWidget())) return;
    m_model->drawVisible(view(true));
    pump();
}

void ThumbnailPage::pump() {
    if (!m_maker || !m_model) return;
    const ThumbnailView v = view(onPage());
    const auto busyWith = [this](const std::string& file) { return m_maker->busyWith(file); };
    // The stand-ins of the cells in view first: they come from the
    // pictures' headers, long before the files.
    m_maker->requestStandIns(m_model->standInsWanted(v));
    while (m_maker->freeSlots() > 0) {
        std::optional<PreviewRequest> r = m_model->nextPreview(v, busyWith);
        if (!r) break;
        status(shownName(m_model->entries()[r->cell].fileName) + QStringLiteral(" を表示中..."));
        m_maker->request(std::move(*r));
    }
    if (m_maker->idle()) status(QString());
}

void ThumbnailPage::onPreviewFinished(const PreviewResult& result) {
    const PreviewRequest& r = result.request;
    if (!m_model || !m_model->previewFinished(r, result.ok)) return;
    Cell& c = *m_cells[r.cell];
    const bool standIn = std::exchange(c.standIn, false);
    if (result.ok) {
        c.image->setPixmap(QPixmap::fromImage(result.image));
        const TwipsScale s = TwipsScale::of(this);
        c.pictureWidth = s.toTwipsX(result.image.width());
        c.pictureHeight = s.toTwipsY(result.image.height());
    } else if (r.force || standIn) {
        // A failed making leaves the cell empty; a stand-in is no picture of
        // it either (the picture itself may be damaged).
        c.image->clear();
        c.pictureWidth = c.pictureHeight = 0;
    }
    placeCells(r.cell);
    emit cellDrawn(r.cell);
}

void ThumbnailPage::onPlaceholder(const PreviewResult& result) {
    const PreviewRequest& r = result.request;
    if (!m_model || !m_model->takeStandIn(r)) return;
    Cell& c = *m_cells[r.cell];
    c.image->setPixmap(QPixmap::fromImage(result.image));
    const TwipsScale s = TwipsScale::of(this);
    c.pictureWidth = s.toTwipsX(result.image.width());
    c.pictureHeight = s.toTwipsY(result.image.height());
    c.standIn = true;
    placeCells(r.cell);
    emit placeholderShown(r.cell);
}

bool ThumbnailPage::previewsSettled() const {
    if (!ready() || (m_maker && !m_maker->idle())) return false;
    return !m_model || m_model->settled(view(isVisibleTo(parentWidget())));
}

bool ThumbnailPage::firstCellShown() const { return !m_cells[0]->image->isHidden(); }
bool ThumbnailPage::cellHasPicture(int i) const {
    return i >= 0 && i < cellCount() && m_model && m_model->hasPicture(i) && !m_cells[i]->image->pixmap().isNull();
}
bool ThumbnailPage::cellShowsPicture(int i) const {
    return cellHasPicture(i) || (i >= 0 && i < cellCount() && m_cells[i]->standIn);
}
std::vector<int> ThumbnailPage::cellsInView() const {
    return m_model ? m_model->cellsInView(view(isVisibleTo(parentWidget()))) : std::vector<int>{};
}
bool ThumbnailPage::cellShown(int i) const { return i >= 0 && i < cellCount() && !m_cells[i]->image->isHidden(); }
QString ThumbnailPage::cellFileName(int i) const { return m_cells[i]->fileName->property("name").toString(); }
QString ThumbnailPage::cellDate(int i) const { return m_cells[i]->date->text(); }
QString ThumbnailPage::cellComment(int i) const { return m_cells[i]->comment->text(); }

void ThumbnailPage::onScroll() {
    if (m_busy) return;
    m_busy = true;
    placeCells(-1);
    drawVisible();
    m_busy = false;
}

void ThumbnailPage::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0) m_vScroll->setValue(m_vScroll->value() - steps * m_vScroll->singleStep() * 3);
    event->accept();
}

void ThumbnailPage::layoutPage(const PageStyle& look) {
    m_style = look;
    applyStyle(look);
    const QColor text = toQColor(look.textColor), link = toQColor(look.linkColor);
    setForeground(m_menuLink, link);
    for (auto& c : m_cells) {
        setForeground(c->fileName, text);
        setForeground(c->date, text);
        setForeground(c->number, text);
    }
    const TwipsRect page = twipsGeometry(this);
    const TwipsScale s = TwipsScale::of(this);
    const int bar = s.toTwipsX(style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    setTwipsGeometry(m_hScroll, {0, page.height - bar - 50, page.width - bar - 50, bar});
    setTwipsGeometry(m_vScroll, {page.width - bar - 50, 0, bar, page.height - bar - 50});
    m_vScroll->raise();
    m_hScroll->raise();
    setClipArea(page.width - bar - 50, page.height - bar - 50);
    // The link stands between the page's top (120) and the first row of
    // frames (330): its face is made small enough to fit there, so the
    // frame never runs through it.
    const int room = s.toPixelsY(330) - s.toPixelsY(120);
    QFont linkFont = m_menuLink->font();
    linkFont.setPointSizeF(font().pointSizeF());
    while (QFontMetrics(linkFont).height() > room && linkFont.pointSizeF() > 5)
        linkFont.setPointSizeF(linkFont.pointSizeF() - 0.5);
    m_menuLink->setFont(linkFont);
    const QSize linkSize = m_menuLink->sizeHint();
    setTwipsGeometry(m_menuLink, {0, 0, s.toTwipsX(linkSize.width()) + 30, std::min(s.toTwipsY(linkSize.height()), 210)});
    m_menuLink->show();
    placeCells(-1);
}

// ---- the cells' events ----

void ThumbnailPage::Chk_画像選択_Click(int i) {
    if (!m_model || i < 0 || i >= m_model->built() || !m_window) return;
    Cell& c = *m_cells[i];
    const bool ticked = c.tick->isChecked();
    if (m_model->runInProgress()) {
        c.tick->setChecked(!ticked);
        return;
    }
    m_model->setTicked(i, ticked);
    enableCaptions(c, ticked);
}

void ThumbnailPage::turn(int i, bool left) {
    if (!m_model) return;
    m_model->turnQuarter(i, left);
    pump();
}

void ThumbnailPage::Cmd_LTurn_Click(int i) { turn(i, true); }
void ThumbnailPage::Cmd_RTurn_Click(int i) { turn(i, false); }

void ThumbnailPage::Txt_コメント_LostFocus(int i) {
    if (!m_model || i < 0 || i >= m_model->built()) return;
    Cell& c = *m_cells[i];
    const CommentResult result = m_model->commitComment(i, c.comment->text().toStdString());
    const QString text = QString::fromStdString(result.text);
    if (c.comment->text() != text) c.comment->setText(text);
    if (result.message.empty()) return;
    if (result.outcome == CommentResult::Written) {
        if (m_window) m_window->confirm(QString::fromStdString(result.message));
        return;
    }
    platform::ui().messageBox(this, result.message, kApplicationTitle, platform::MsgButtons::Ok,
                              platform::MsgIcon::Exclamation);
}

// ---- EXIFの向きで回転 ----

void ThumbnailPage::turnByExifCommand(const QString& folderKey) {
    if (!m_window || !m_model || m_model->runInProgress() || m_model->exifTurnsRunning() || folderKey.isEmpty())
        return;
    if (!m_window->exifCtl().get()) {
        platform::ui().messageBox(this, m_window->exifCtl().missingMessage("EXIFの向きを読み込めません。"),
                                  kApplicationTitle, platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
        return;
    }
    if (!m_model->beginExifTurns(pathBytes(folderKey))) return;
    setCursor(Qt::BusyCursor);
    continueExifTurns();
}

void ThumbnailPage::continueExifTurns() {
    // A slice of headers per event-loop turn keeps the window answering.
    QElapsedTimer t;
    t.start();
    IDispatch* control = m_window->exifCtl().get();
    const auto orientation = [control](const std::string& path) { return ReadExifOrientation(path, control); };
    bool more = true;
    while (more && t.elapsed() < 30) more = m_model->exifTurnStep(orientation);
    if (more) {
        QTimer::singleShot(0, this, &ThumbnailPage::continueExifTurns);
        return;
    }
    unsetCursor();
    const ExifTurnsResult result = m_model->finishExifTurns();
    pump();
    platform::ui().messageBox(this, result.message, kApplicationTitle, platform::MsgButtons::Ok,
                              platform::MsgIcon::Information);
    emit turnsStored(result.stored);
}

}  // namespace mirofoto::mainwindow
