// Pic_サムネイルページ: one cell per picture of the album folder selected in
// the tree, placed in twips, its thumbnail made on a worker when it comes
// into view. Widgets exist for the cells near the view only.
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

/// Rows bound above and below the rows in view, so a step of the scroll bar
/// finds its cells ready.
constexpr int kMarginRows = 1;
/// The pixels of pictures remembered for cells without widgets: 16 MB, some
/// 370 thumbnails of the default size; older ones are read back from their
/// cached files.
constexpr int kRememberedPixels = 4 * 1000 * 1000;

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
    int index = -1;        ///< the cell the widgets show (-1: none)

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
      m_pictures(kRememberedPixels) {
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
    m_template = cellTemplate(120, 90, 15, 15);
    makeCell();
    resetCell0();
}

ThumbnailPage::~ThumbnailPage() {
    if (m_scan) m_scan->cancelled = true;
    if (m_details) m_details->cancelled = true;
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
        for (auto& c : m_cells)
            if (c->index >= 0) lockForRun(*c, running);
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

ThumbnailPage::Cell& ThumbnailPage::makeCell() {
    auto cell = std::make_unique<Cell>();
    Cell& c = *cell;
    Cell* slot = &c;
    c.frame = new QFrame(clipArea());
    c.frame->setObjectName(QStringLiteral("Shp_サムネイル枠"));
    c.frame->setFrameShape(QFrame::Box);
    c.frame->setAttribute(Qt::WA_TransparentForMouseEvents);
    c.image = new ThumbnailImage(clipArea(), [this, slot] {
        if (!m_window || slot->index < 0) return;
        m_window->setCurrentImage(slot->index);
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
        w->setProperty("index", -1);
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
    // The slot answers for the cell it shows when the event comes.
    connect(c.tick, &QCheckBox::clicked, this, [this, slot] { Chk_画像選択_Click(slot->index); });
    connect(c.left, &QPushButton::clicked, this, [this, slot] { Cmd_LTurn_Click(slot->index); });
    connect(c.right, &QPushButton::clicked, this, [this, slot] { Cmd_RTurn_Click(slot->index); });
    // The user edits what the file holds, never an empty box standing for a
    // comment not read yet.
    connect(c.comment, &InputBox::enteringFocus, this, [this, slot] {
        const int index = slot->index;
        if (m_model && index >= 0 && index < m_model->count() && m_model->ensureDetails(index)) refreshDetails(index);
    });
    connect(c.comment, &InputBox::lostFocus, this, [this, slot] { Txt_コメント_LostFocus(slot->index); });
    connect(c.comment, &InputBox::commitRequested, this, [this, slot] { Txt_コメント_LostFocus(slot->index); });
    connect(c.comment, &InputBox::cancelRequested, this, [this, slot] {
        const int index = slot->index;
        if (!m_model || index < 0 || index >= m_model->count()) return;
        m_drafts.erase(index);
        slot->comment->setText(QString::fromStdString(m_model->entries()[index].comment));
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
    c.index = -1;
    for (QWidget* w : c.widgets()) {
        w->hide();
        w->setProperty("index", 0);
    }
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
    for (const auto& c : m_cells)
        if (c->comment == focus && c->index >= 0) return Txt_コメント_LostFocus(c->index);
}

void ThumbnailPage::windowClosing() {
    finishComment();
    // No preview may be written after the temp folder is removed.
    if (m_model) m_model->dropPending();
    if (m_scan) m_scan->cancelled = true;
    if (m_details) m_details->cancelled = true;
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
    const bool reading = m_details != nullptr;
    if (m_details) m_details->cancelled = true;
    m_details.reset();
    m_detailsBusy = false;
    if (scanning || reading) status(QString());
    m_cells.resize(1);
    resetCell0();
    m_pictures.clear();
    m_drafts.clear();
    m_placed = false;
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
    const std::string keyText = scan->albumText;
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
    // Names only: the dates and comments follow on the pool once the list
    // is in, the cells in view first, with the search's progress meanwhile.
    m_maker->run([self, state, epoch, folder, keyText, temp] {
        if (state->cancelled) return;
        ImageScanHooks hooks;
        hooks.progress = [&](int, int) { return !state->cancelled; };
        std::vector<ImageEntry> entries = scanImageEntries(folder, temp, hooks);
        if (state->cancelled) return;
        ThumbnailModel::Sharing sharing = ThumbnailModel::sharingOf(keyText, entries);
        QMetaObject::invokeMethod(
            self, [self, epoch, entries = std::move(entries), sharing = std::move(sharing)]() mutable {
                self->onScanDone(epoch, std::move(entries), std::move(sharing));
            },
            Qt::QueuedConnection);
    });
}

void ThumbnailPage::onScanDone(quint64 epoch, std::vector<ImageEntry> entries, ThumbnailModel::Sharing sharing) {
    if (!m_model || !m_model->listed(epoch, std::move(entries), std::move(sharing))) return;
    m_scan.reset();
    unsetCursor();
    emit listed(m_model->count());
    if (m_model->count() == 0) {
        status(QString());
        if (m_window) m_window->hideProgress();
        emit cellsBuilt();
        emit detailsAllRead();
        return;
    }
    // サムネイル初期設定: every picture is a cell at once; only the rows near
    // the view get widgets.
    m_model->buildAll();
    m_template = currentTemplate();
    // The first dates and comments are asked for before any preview: they
    // are those of the cells in view, and cost a header each.
    m_details = std::make_shared<ScanState>();
    readMoreDetails();
    {
        const QFont small = captionFont();
        for (auto& cell : m_cells)
            for (QWidget* w : {static_cast<QWidget*>(cell->fileName), static_cast<QWidget*>(cell->date),
                               static_cast<QWidget*>(cell->comment), static_cast<QWidget*>(cell->number)})
                w->setFont(small);
    }
    setScrollMaxima();
    rebind();
    if (onPage()) {
        placeCells(-1);
        drawVisible();
    }
    pump();
    emit cellsBuilt();
}

void ThumbnailPage::setScrollMaxima() {
    const ScrollMaxima m =
        thumbnailScrollMaxima(m_model->count(), m_window ? m_window->settings().columns : 1, m_template);
    m_hScroll->setMaximum(m.horizontal);
    m_vScroll->setMaximum(m.vertical);
    m_vScroll->setPageStep(std::max(1, m_template.frameHeight / 100));
    m_hScroll->setPageStep(std::max(1, m_template.frameWidth / 100));
}

ThumbnailPage::Cell* ThumbnailPage::boundCell(int index) const {
    if (index < 0) return nullptr;
    for (const auto& c : m_cells)
        if (c->index == index) return c.get();
    return nullptr;
}

ThumbnailPage::Cell* ThumbnailPage::slotHolding(const QWidget* widget) const {
    if (!widget) return nullptr;
    for (const auto& c : m_cells)
        if (c->index >= 0)
            for (QWidget* w : c->widgets())
                if (w == widget) return c.get();
    return nullptr;
}

int ThumbnailPage::boundCellCount() const {
    int n = 0;
    for (const auto& c : m_cells) n += c->index >= 0;
    return n;
}

void ThumbnailPage::rebind() {
    const int count = m_model ? m_model->count() : 0;
    int from = 0, to = 0;
    if (count > 0) {
        const int columns = std::max(1, m_window ? m_window->settings().columns : 1);
        const CellRows rows = cellRowsInView(m_template, m_vScroll->value(), twipsGeometry(this).height);
        from = std::min(count, std::max(0, rows.first - kMarginRows) * columns);
        to = std::min<long long>(count, (static_cast<long long>(rows.last) + kMarginRows + 1) * columns);
    }
    for (auto& c : m_cells)
        if (c->index >= 0 && (c->index < from || c->index >= to)) unbindCell(*c);
    bool changed = false;
    std::size_t free = 0;
    for (int i = from; i < to; ++i) {
        if (boundCell(i)) continue;
        while (free < m_cells.size() && m_cells[free]->index >= 0) ++free;
        Cell& slot = free < m_cells.size() ? *m_cells[free] : makeCell();
        bindCell(slot, i);
        changed = true;
    }
    if (changed) chainTabOrder();
}

void ThumbnailPage::chainTabOrder() {
    std::vector<Cell*> bound;
    for (const auto& c : m_cells)
        if (c->index >= 0) bound.push_back(c.get());
    std::sort(bound.begin(), bound.end(), [](const Cell* a, const Cell* b) { return a->index < b->index; });
    QWidget* previous = nullptr;
    for (const Cell* c : bound)
        for (QWidget* w : {static_cast<QWidget*>(c->comment), static_cast<QWidget*>(c->tick),
                           static_cast<QWidget*>(c->left), static_cast<QWidget*>(c->right)}) {
            if (previous) QWidget::setTabOrder(previous, w);
            previous = w;
        }
}

void ThumbnailPage::rememberPicture(int index, const QPixmap& picture) {
    if (picture.isNull()) {
        m_pictures.remove(index);
        return;
    }
    const qsizetype pixels = qsizetype(picture.width()) * picture.height();
    m_pictures.insert(index, new QPixmap(picture), std::max<qsizetype>(1, pixels));
}

void ThumbnailPage::unbindCell(Cell& c) {
    const int i = c.index;
    if (i < 0) return;
    // The focus leaves first, so the box is written as leaving it writes.
    if (QWidget* focus = QApplication::focusWidget(); focus && slotHolding(focus) == &c) {
        if (focus == c.comment) Txt_コメント_LostFocus(i);
        setFocus(Qt::OtherFocusReason);
    }
    if (m_model && i < m_model->count()) {
        const QString typed = c.comment->text();
        if (typed != QString::fromStdString(m_model->entries()[i].comment)) m_drafts[i] = typed;
        else m_drafts.erase(i);
        if (!c.standIn && m_model->hasPicture(i)) rememberPicture(i, c.image->pixmap());
    }
    c.index = -1;
    for (QWidget* w : c.widgets()) {
        w->hide();
        w->setProperty("index", -1);
    }
    c.image->clear();
    c.pictureWidth = c.pictureHeight = 0;
    c.standIn = false;
}

void ThumbnailPage::bindCell(Cell& c, int i) {
    c.index = i;
    for (QWidget* w : c.widgets()) w->setProperty("index", i);
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
    const auto draft = m_drafts.find(i);
    c.comment->setText(draft != m_drafts.end() ? draft->second : QString::fromStdString(e.comment));
    c.comment->setCursorPosition(0);
    const bool ticked = m_model->ticked(i);
    c.tick->setChecked(ticked);
    lockForRun(c, m_model->runInProgress());
    enableCaptions(c, ticked);
    c.number->setText(QStringLiteral("%1").arg(i + 1, 4, 10, QLatin1Char('0')));
    c.tick->setAccessibleName(QStringLiteral("アルバムに載せる: ") + name);
    // The picture made earlier: remembered, or read back from its cached file.
    c.standIn = false;
    QPixmap picture;
    if (m_model->hasPicture(i)) {
        if (const QPixmap* remembered = m_pictures.object(i)) picture = *remembered;
        else picture.load(QString::fromStdString(e.thumbnailPath()));
    }
    if (picture.isNull()) {
        c.image->clear();
        c.pictureWidth = c.pictureHeight = 0;
    } else {
        c.image->setPixmap(picture);
        const TwipsScale s = TwipsScale::of(this);
        c.pictureWidth = s.toTwipsX(picture.width());
        c.pictureHeight = s.toTwipsY(picture.height());
    }
}

void ThumbnailPage::scrollToCell(int index) {
    if (!m_model || index < 0 || index >= m_model->count()) return;
    const int columns = std::max(1, m_window ? m_window->settings().columns : 1);
    const int v = m_vScroll->value();
    const Rect frame = cellLayout(index, columns, m_template, m_sizes, v, m_hScroll->value()).frame;
    const int shown = twipsGeometry(clipArea()).height;
    int to = v;
    if (frame.top < 0) {
        to = v + (frame.top - 99) / 100;  // its top just inside the page
    } else if (frame.top + frame.height > shown) {
        const int over = frame.top + frame.height - shown;
        to = v + (over + 99) / 100;  // its bottom just inside the page
    }
    m_vScroll->setValue(std::clamp(to, 0, m_vScroll->maximum()));
    if (!boundCell(index)) placeCells(-1);
}

bool ThumbnailPage::focusNextPrevChild(bool next) {
    QWidget* focus = QApplication::focusWidget();
    const Cell* from = slotHolding(focus);
    if (from && m_model) {
        const auto reachable = [](const Cell& c) {
            std::vector<QWidget*> out;
            for (QWidget* w : {static_cast<QWidget*>(c.comment), static_cast<QWidget*>(c.tick),
                               static_cast<QWidget*>(c.left), static_cast<QWidget*>(c.right)})
                if (!w->isHidden() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) out.push_back(w);
            return out;
        };
        const std::vector<QWidget*> own = reachable(*from);
        const int to = from->index + (next ? 1 : -1);
        if (!own.empty() && focus == (next ? own.back() : own.front()) && to >= 0 && to < m_model->count()) {
            scrollToCell(to);
            if (const Cell* target = boundCell(to)) {
                const std::vector<QWidget*> theirs = reachable(*target);
                if (!theirs.empty()) {
                    QWidget* first = next ? theirs.front() : theirs.back();
                    first->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
                    return true;
                }
            }
        }
    }
    return StyledPage::focusNextPrevChild(next);
}

void ThumbnailPage::placeCells(int index) {
    const int v = m_vScroll->value(), h = m_hScroll->value();
    const TwipsRect link = twipsGeometry(m_menuLink);
    // 210 high: it ends where the first row of frames begins.
    place(m_menuLink, thumbnailMenuLink(link.width > 0 ? link.width : 1800, 210, v, h));
    if (index < 0) {
        rebind();
        m_placed = m_model && m_model->count() > 0;
    }
    const int columns = m_window ? m_window->settings().columns : 1;
    const AlbumSettings* s = m_window ? &m_window->settings() : nullptr;
    for (auto& slot : m_cells) {
        Cell& c = *slot;
        if (c.index < 0 || (index >= 0 && c.index != index)) continue;
        const CellLayout l = cellLayout(c.index, columns, m_template, m_sizes, v, h, c.pictureWidth, c.pictureHeight);
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
    if (m_maker->idle()) restStatus();
}

void ThumbnailPage::restStatus() {
    if (!m_window) return;
    if (m_details && m_model && !m_model->allDetailsRead()) {
        status(QStringLiteral("画像ファイル検索中..."));
        m_window->showProgress(m_model->detailsReadCount(), m_model->count());
        return;
    }
    status(QString());
    m_window->hideProgress();
}

void ThumbnailPage::readMoreDetails() {
    if (!m_model || !m_maker || !m_details || m_detailsBusy) return;
    // A batch a little larger than a screen: the answers come back often
    // enough for the progress, and a scroll is served by the next batch.
    constexpr int kBatch = 48;
    std::optional<ThumbnailModel::DetailsBatch> batch = m_model->nextDetailsBatch(view(onPage()), kBatch);
    if (!batch) {
        if (m_model->allDetailsRead()) {
            m_details.reset();
            if (m_maker->idle()) restStatus();
            emit detailsAllRead();
        }
        return;
    }
    m_detailsBusy = true;
    if (m_maker->idle()) restStatus();
    const DetailsReader read = m_backgroundReader ? m_backgroundReader : m_model->detailsReader();
    ThumbnailPage* self = this;
    m_maker->run([self, state = m_details, read, batch = std::move(*batch)] {
        std::vector<ImageDetails> details;
        details.reserve(batch.paths.size());
        for (const std::string& path : batch.paths) {
            if (state->cancelled) return;
            try {
                details.push_back(read(path));
            } catch (...) {
                details.push_back({});  // a picture that cannot be read shows no date and no comment
            }
        }
        QMetaObject::invokeMethod(
            self, [self, state, epoch = batch.epoch, cells = batch.cells, details = std::move(details)] {
                if (state->cancelled) return;
                self->onDetailsRead(epoch, cells, details);
            },
            Qt::QueuedConnection);
    });
}

void ThumbnailPage::onDetailsRead(quint64 epoch, const std::vector<int>& cells,
                                  const std::vector<ImageDetails>& details) {
    m_detailsBusy = false;
    if (!m_model) return;
    for (const int i : m_model->detailsArrived(epoch, cells, details)) refreshDetails(i);
    readMoreDetails();
    // The cells in view may have waited for their captions only.
    if (m_maker && m_maker->idle()) pump();
}

void ThumbnailPage::refreshDetails(int i) {
    if (!m_model || i < 0 || i >= cellCount()) return;
    Cell* bound = boundCell(i);
    if (!bound) return;  // binding shows what the model holds
    Cell& c = *bound;
    const ImageEntry& e = m_model->entries()[i];
    c.date->setText(QString::fromStdString(dateCaption(e.shootingDate)));
    // Text the user typed stays: it is written when the box is left.
    if (c.comment->isModified()) return;
    c.comment->setText(QString::fromStdString(e.comment));
    c.comment->setCursorPosition(0);
}

void ThumbnailPage::onPreviewFinished(const PreviewResult& result) {
    const PreviewRequest& r = result.request;
    if (!m_model || !m_model->previewFinished(r, result.ok)) return;
    Cell* bound = boundCell(r.cell);
    if (!bound) {
        // Kept for when the cell is bound again (its file is there too).
        if (result.ok) rememberPicture(r.cell, QPixmap::fromImage(result.image));
        else if (r.force) m_pictures.remove(r.cell);
        emit cellDrawn(r.cell);
        return;
    }
    Cell& c = *bound;
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
    if (!m_model) return;
    // A cell without widgets waits for its exact preview.
    Cell* bound = boundCell(r.cell);
    if (!bound || !m_model->takeStandIn(r)) return;
    Cell& c = *bound;
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
    if (!m_model) return true;
    const ThumbnailView v = view(isVisibleTo(parentWidget()));
    return m_model->settled(v) && (!v.shown || m_model->detailsInView(v));
}

bool ThumbnailPage::firstCellShown() const { return cellShown(0); }
bool ThumbnailPage::cellHasPicture(int i) const {
    if (i < 0 || i >= cellCount() || !m_model->hasPicture(i)) return false;
    const Cell* c = boundCell(i);
    return !c || !c->image->pixmap().isNull();
}
bool ThumbnailPage::cellShown(int i) const { return m_placed && i >= 0 && i < cellCount(); }
QString ThumbnailPage::cellFileName(int i) const {
    return i >= 0 && i < cellCount() ? shownName(m_model->entries()[i].fileName) : QString();
}
QString ThumbnailPage::cellDate(int i) {
    if (m_model && i >= 0 && i < cellCount() && m_model->ensureDetails(i)) refreshDetails(i);
    return i >= 0 && i < cellCount() ? QString::fromStdString(dateCaption(m_model->entries()[i].shootingDate))
                                     : QString();
}
QString ThumbnailPage::cellComment(int i) {
    if (i < 0 || i >= cellCount()) return QString();
    if (m_model && m_model->ensureDetails(i)) refreshDetails(i);
    if (const Cell* c = boundCell(i)) return c->comment->text();
    const auto draft = m_drafts.find(i);
    return draft != m_drafts.end() ? draft->second : QString::fromStdString(m_model->entries()[i].comment);
}
bool ThumbnailPage::cellShowsPicture(int i) const {
    if (cellHasPicture(i)) return true;
    const Cell* c = boundCell(i);
    return c && c->standIn;
}
std::vector<int> ThumbnailPage::cellsInView() const {
    return m_model ? m_model->cellsInView(view(isVisibleTo(parentWidget()))) : std::vector<int>{};
}

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
    Cell* bound = boundCell(i);
    if (!m_model || !bound || i >= m_model->built() || !m_window) return;
    Cell& c = *bound;
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
    Cell* bound = boundCell(i);
    if (!m_model || !bound || i >= m_model->built()) return;
    Cell& c = *bound;
    const CommentResult result = m_model->commitComment(i, c.comment->text().toStdString());
    const QString text = QString::fromStdString(result.text);
    if (c.comment->text() != text) c.comment->setText(text);
    if (result.outcome != CommentResult::Refused) m_drafts.erase(i);
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
