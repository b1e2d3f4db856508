#include "app/mainwindow/frm_main.h"
#include "app/albumoutput/browser_preview.h"
#include "app/mainwindow/tab_keys.h"

#include "app/mainwindow/folder_tree.h"
#include "app/mainwindow/frame_layout.h"
#include "app/mainwindow/menu_page.h"
#include "app/mainwindow/enlarged_page.h"
#include "app/mainwindow/thumbnail_page.h"
#include "app/mainwindow/qt_text.h"
#include "app/mainwindow/qt_ui_services.h"
#include "app/mainwindow/twips_geometry.h"
#include "app/settings/settings_commands.h"
#include "app/settings/settings_files.h"
#include "app/util/paths.h"
#include "app/util/thread_pool.h"
#include "platform/format.h"
#include "platform/com/dispatch_call.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>

#include <algorithm>
#include <filesystem>
#include <thread>

namespace mirofoto::mainwindow {
namespace {

constexpr int kKeyF5 = 116;
constexpr int kGripWidth = 100;
constexpr int kInitialSplitter = 3000;
constexpr int kInitialWidth = 12000;
constexpr int kInitialHeight = 9000;

QString fromUtf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

void showMessage(QWidget* owner, const std::string& text, platform::MsgIcon icon) {
    platform::ui().messageBox(owner, text, kApplicationTitle, platform::MsgButtons::Ok, icon);
}

// One worker per core, and never fewer than two: the album run from the form
// holds a worker for its whole length (waiting on its pictures and on the
// user's answers), and the previews and scans must still move meanwhile.
unsigned poolThreads() { return std::max(2u, std::thread::hardware_concurrency()); }

}  // namespace

// The heights the controls' design gives them, measured once from the
// style so that nothing is cut, and the places derived from them.
struct Frm_Main::Design {
    int toolbarHeight = 420;
    int rowTop = 0;
    int rowHeight = 330;
    int treeTop = 0;
    int tabStripHeight = 375;
    int statusBarHeight = 345;
    int frame1Top = 0;
    int frame2Top = 0;
    static constexpr int frameHeight = 30;
    static constexpr int labelLeft = 120;
    static constexpr int labelWidth = 1095;
    static constexpr int boxLeft = 1260;
    static constexpr int buttonWidth = 1575;
    static constexpr int progressLeft = 3000;
    static constexpr int progressWidth = 3000;
};

// ---- SplitterGrip ----

SplitterGrip::SplitterGrip(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("imgSplitter"));
    setAccessibleName(QStringLiteral("分割バー"));
    setCursor(Qt::SplitHCursor);
    setFocusPolicy(Qt::TabFocus);
}

void SplitterGrip::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) emit pressed();
}

void SplitterGrip::mouseMoveEvent(QMouseEvent* e) {
    emit moved(TwipsScale::of(this).toTwipsX(qRound(e->position().x())));
}

void SplitterGrip::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) emit released();
}

void SplitterGrip::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Left) emit nudged(-150);
    else if (e->key() == Qt::Key_Right) emit nudged(150);
    else QWidget::keyPressEvent(e);
}

void SplitterGrip::paintEvent(QPaintEvent*) {
    // The grip itself is invisible; with the focus it shows where it is.
    if (!hasFocus()) return;
    QPainter p(this);
    p.fillRect(rect().adjusted(width() / 4, 0, -width() / 4, 0), palette().highlight());
}

// ---- construction ----

Frm_Main::Frm_Main(QWidget* parent)
    : QMainWindow(parent), m_design(std::make_unique<Design>()), m_pool(std::make_unique<ThreadPool>(poolThreads())) {
    setObjectName(QStringLiteral("Frm_Main"));
    std::error_code ec;
    m_currentDirectory = std::filesystem::current_path(ec).string();
    buildControls();
    buildMenus();
    m_thumbnailPage->attach(this, m_thumbnailModel, *m_pool);
    m_enlargedPage->attach(this, m_thumbnailPage, m_thumbnailModel);
    const TwipsScale s = TwipsScale::of(this);
    setMinimumSize(s.toPixelsX(kMinimumWindowWidth), s.toPixelsY(kMinimumWindowHeight));
    resize(s.toPixelsX(kInitialWidth), s.toPixelsY(kInitialHeight));
}

Frm_Main::~Frm_Main() {
    // A window destroyed without being closed is hidden, and its focus taken
    // away, only by the base class, after this object and the model, store
    // and settings its pages show are gone: no signal of its widgets (the
    // folder box's editingFinished, a comment box's lostFocus) may run a
    // handler then.
    for (QObject* child : findChildren<QObject*>()) child->blockSignals(true);
    // Pending scans end before the window they report to goes; the pool
    // finishes whatever else was queued on it.
    ++m_generation;
    endScans();
    m_pool.reset();
}

void Frm_Main::endScans() {
    m_scansOpen = false;
    for (std::future<void>& scan : m_scans) scan.wait();
    m_scans.clear();
}

void Frm_Main::buildControls() {
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("Frm_Main_client"));
    setCentralWidget(m_client);
    const TwipsScale s = TwipsScale::of(this);

    buildToolbar();
    m_frame1 = new QFrame(m_client);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame2 = new QFrame(m_client);
    m_frame2->setObjectName(QStringLiteral("Frame2"));
    for (QFrame* f : {m_frame1, m_frame2}) {
        f->setFrameShape(QFrame::HLine);
        f->setFrameShadow(QFrame::Sunken);
        f->setAccessibleName(QStringLiteral("区切り線"));
    }

    m_folderLabel = new QLabel(QStringLiteral("画像フォルダ"), m_client);
    m_folderLabel->setObjectName(QStringLiteral("Label1"));
    m_folderLabel->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    m_folderBox = new QLineEdit(m_client);
    m_folderBox->setObjectName(QStringLiteral("Txt_画像フォルダ"));
    m_folderBox->setAccessibleName(m_folderLabel->text());
    m_folderLabel->setBuddy(m_folderBox);
    m_browse = new QPushButton(QStringLiteral("フォルダの選択..."), m_client);
    m_browse->setObjectName(QStringLiteral("Cmd_フォルダの選択"));
    m_browse->setAccessibleName(QStringLiteral("フォルダの選択"));

    m_tree = new FolderTree(m_client);
    m_grip = new SplitterGrip(m_client);
    m_dragBar = new QFrame(m_client);
    m_dragBar->setObjectName(QStringLiteral("picSplitter"));
    m_dragBar->setAccessibleName(QStringLiteral("分割位置"));
    m_dragBar->setAutoFillBackground(true);
    QPalette bar = m_dragBar->palette();
    bar.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    m_dragBar->setPalette(bar);
    m_dragBar->hide();

    m_tabs = new QTabBar(m_client);
    m_tabs->setObjectName(QStringLiteral("TabStrip"));
    m_tabs->setAccessibleName(QStringLiteral("ページ"));
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    const std::pair<QString, QString> tabs[] = {{QStringLiteral("メニューページ"), kTabMenu},
                                                {QStringLiteral("サムネイルページ"), kTabThumbnails},
                                                {QStringLiteral("拡大画像ページ"), kTabEnlarged}};
    for (const auto& [caption, key] : tabs) m_tabs->setTabData(m_tabs->addTab(caption), key);

    m_menuPage = new MenuPage(m_client);
    m_thumbnailPage = new ThumbnailPage(m_client);
    m_enlargedPage = new EnlargedPage(m_client);
    m_thumbnailPage->hide();
    m_enlargedPage->hide();

    m_statusBar = new QStatusBar(m_client);
    m_statusBar->setObjectName(QStringLiteral("StatusBar"));
    m_statusBar->setAccessibleName(QStringLiteral("ステータスバー"));
    m_statusBar->setSizeGripEnabled(false);
    m_panel1 = new QLabel(m_statusBar);
    m_panel1->setObjectName(QStringLiteral("StatusBar_Panel1"));
    m_panel1->setMinimumWidth(s.toPixelsX(1500));
    m_panel2 = new QLabel(m_statusBar);
    m_panel2->setObjectName(QStringLiteral("StatusBar_Panel2"));
    m_statusBar->addWidget(m_panel1);
    m_albumName = new QLabel(m_client);
    m_albumName->setObjectName(QStringLiteral("Lbl_表示中のアルバム"));
    m_albumName->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_statusBar->addWidget(m_panel2, 1);
    m_progress = new QProgressBar(m_client);
    m_progress->setObjectName(QStringLiteral("ProgressBar"));
    m_progress->setAccessibleName(QStringLiteral("進行状況"));
    m_progress->setTextVisible(false);
    m_progress->hide();

    // The design's heights: never less than the style needs.
    Design& d = *m_design;
    d.toolbarHeight = std::max(d.toolbarHeight, s.toTwipsY(m_toolbar->sizeHint().height()));
    d.rowHeight = std::max({d.rowHeight, s.toTwipsY(m_folderBox->sizeHint().height()),
                            s.toTwipsY(m_browse->sizeHint().height())});
    d.tabStripHeight = std::max(d.tabStripHeight, s.toTwipsY(m_tabs->sizeHint().height()));
    d.statusBarHeight = std::max(d.statusBarHeight, s.toTwipsY(m_statusBar->sizeHint().height()));
    d.frame1Top = d.toolbarHeight;
    d.rowTop = d.frame1Top + d.frameHeight + 60;
    d.frame2Top = d.rowTop + d.rowHeight + 60;
    d.treeTop = d.frame2Top + d.frameHeight + 60;

    setTwipsGeometry(m_folderLabel, {d.labelLeft, d.rowTop, d.labelWidth, d.rowHeight});
    setTwipsGeometry(m_grip, {kInitialSplitter, d.treeTop, kGripWidth, 500});
    setTwipsGeometry(m_dragBar, {kInitialSplitter, d.treeTop, kGripWidth / 2, 480});
    setTwipsGeometry(m_tabs, {kInitialSplitter + 100, d.treeTop, 1000, d.tabStripHeight});

    connect(m_tabs, &QTabBar::currentChanged, this, [this](int) {
        if (m_loaded) TabStrip_Click();
    });
    connect(m_tabs, &QTabBar::tabBarClicked, this, [this](int index) {
        // Selecting the selected tab again runs the page's display again.
        if (m_loaded && index >= 0 && index == m_tabs->currentIndex()) TabStrip_Click();
    });
    connect(m_grip, &SplitterGrip::pressed, this, &Frm_Main::imgSplitter_MouseDown);
    connect(m_grip, &SplitterGrip::moved, this, &Frm_Main::imgSplitter_MouseMove);
    connect(m_grip, &SplitterGrip::released, this, &Frm_Main::imgSplitter_MouseUp);
    connect(m_grip, &SplitterGrip::nudged, this, [this](int delta) {
        imgSplitter_MouseDown();
        imgSplitter_MouseMove(twipsGeometry(m_grip).width / 2 + delta);
        imgSplitter_MouseUp();
    });
    connect(m_folderBox, &QLineEdit::textChanged, this, &Frm_Main::Txt_画像フォルダ_Change);
    connect(m_folderBox, &QLineEdit::editingFinished, this, &Frm_Main::commitImageFolder);
    connect(m_browse, &QPushButton::clicked, this, &Frm_Main::Cmd_フォルダの選択_Click);
    connect(m_tree, &FolderTree::nodeClicked, this, &Frm_Main::onNodeClicked);
    connect(m_tree, &FolderTree::nodeChecked, this, &Frm_Main::onNodeChecked);
    connect(m_tree, &FolderTree::treeDoubleClicked, this, &Frm_Main::onTreeDoubleClicked);
    connect(m_menuPage, &MenuPage::albumLinkActivated, this, &Frm_Main::onAlbumLink);
    connect(m_menuPage, &MenuPage::stored, this, [this] { ++m_revision; });
    m_menuPage->setStore(&m_store);

    auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), this);
    f5->setContext(Qt::WindowShortcut);
    connect(f5, &QShortcut::activated, this, [this] { Form_KeyDown(kKeyF5); });

    // The keyboard walks the window as it is laid out.
    setTabOrder(m_folderBox, m_browse);
    setTabOrder(m_browse, m_tree);
    setTabOrder(m_tree, m_grip);
    setTabOrder(m_grip, m_tabs);
    setTabOrder(m_tabs, m_menuPage);
}

void Frm_Main::buildToolbar() {
    m_toolbar = new QToolBar(m_client);
    m_toolbar->setObjectName(QStringLiteral("Toolbar"));
    m_toolbar->setAccessibleName(QStringLiteral("ツールバー"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    struct Button {
        const char* caption;
        QStyle::StandardPixmap icon;
        bool separatorBefore;
    };
    // ブラウザで確認 stands with アルバム作成: both make the album.
    const Button buttons[] = {{"設定を開く", QStyle::SP_DialogOpenButton, false},
                              {"設定を保存", QStyle::SP_DialogSaveButton, false},
                              {"アルバム作成", QStyle::SP_FileDialogNewFolder, true},
                              {"ブラウザで確認", QStyle::SP_FileDialogContentsView, false},
                              {"オプション", QStyle::SP_FileDialogDetailedView, true},
                              {"ヘルプ", QStyle::SP_DialogHelpButton, true}};
    for (const auto& [caption, icon, separatorBefore] : buttons) {
        if (separatorBefore) m_toolbar->addSeparator();
        const QString text = QString::fromUtf8(caption);
        QAction* a = m_toolbar->addAction(style()->standardIcon(icon), text);
        a->setProperty("key", text);
        connect(a, &QAction::triggered, this, [this, text] { Toolbar_ButtonClick(text); });
    }
}

void Frm_Main::buildMenus() {
    QMenuBar* bar = menuBar();
    auto menu = [&](const char* name, const char* caption) {
        QMenu* m = bar->addMenu(QString::fromUtf8(caption));
        m->setObjectName(QString::fromUtf8(name));
        m->menuAction()->setObjectName(QString::fromUtf8(name));
        return m;
    };
    auto item = [this](QMenu* m, const char* name, const char* caption, void (Frm_Main::*slot)()) {
        QAction* a = m->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromUtf8(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QMenu* file = menu("Menu_ファイル", "ファイル（&F）");
    item(file, "Menu_設定を開く", "設定を開く", &Frm_Main::openSettingsCommand);
    item(file, "Menu_設定を保存", "設定を保存", &Frm_Main::saveSettingsCommand);
    file->addSeparator()->setObjectName(QStringLiteral("Menu_区切り1"));
    item(file, "Menu_終了", "終了（&X）", &Frm_Main::exitCommand);

    QMenu* view = menu("Menu_表示", "表示(&V)");
    connect(view->addAction(QStringLiteral("メニューページ表示")), &QAction::triggered, this,
            [this] { selectTab(kTabMenu); });
    connect(view->addAction(QStringLiteral("サムネイルページ表示")), &QAction::triggered, this,
            [this] { selectTab(kTabThumbnails); });
    connect(view->addAction(QStringLiteral("拡大画像ページ表示")), &QAction::triggered, this,
            [this] { selectTab(kTabEnlarged); });
    const char* viewNames[] = {"Menu_メニューページ", "Menu_サムネイルページ", "Menu_拡大画像ページ"};
    for (int i = 0; i < 3; ++i) view->actions()[i]->setObjectName(QString::fromUtf8(viewNames[i]));

    QMenu* operation = menu("Menu_操作", "操作(&R)");
    item(operation, "Menu_アルバム作成", "アルバム作成", &Frm_Main::albumOutputCommand);
    item(operation, "Menu_ブラウザで確認", "ブラウザで確認", &Frm_Main::browserPreviewCommand);
    item(operation, "Menu_EXIFの向きで回転", "EXIFの向きで回転", &Frm_Main::exifTurnCommand);
    QMenu* tools = menu("Menu_ツール", "ツール(&T)");
    item(tools, "Menu_オプション", "オプション(&O)", &Frm_Main::optionsCommand);
    QMenu* help = menu("Menu_ヘルプ", "ヘルプ(&H)");
    item(help, "Menu_オンラインヘルプ", "オンラインヘルプ", &Frm_Main::onlineHelpCommand);
    item(help, "Menu_バージョン情報", "バージョン情報(&A)", &Frm_Main::versionCommand);
}

// ---- load and unload ----

void Frm_Main::変数初期化() {
    m_thumbScrollV = 0;
    m_thumbScrollH = 0;
    m_busy = false;
}

void Frm_Main::フォーム初期設定() {
    setWindowTitle(fromUtf8(kApplicationTitle) + QStringLiteral("　Ver") + QString::number(kVersionMajor) +
                   QLatin1Char('.') + QString::number(kVersionMinor));
}

void Frm_Main::placementFromWindow() {
    const TwipsScale s = TwipsScale::of(this);
    m_placement.windowState = isMinimized() ? 1 : isMaximized() ? 2 : 0;
    m_placement.top = static_cast<float>(s.toTwipsY(pos().y()));
    m_placement.left = static_cast<float>(s.toTwipsX(pos().x()));
    m_placement.height = static_cast<float>(s.toTwipsY(height()));
    m_placement.width = static_cast<float>(s.toTwipsX(width()));
}

void Frm_Main::applyPlacement() {
    m_showMaximized = m_placement.windowState == 2;
    if (m_showMaximized) {
        if (isVisible()) showMaximized();
        return;
    }
    if (isVisible() && (isMaximized() || isMinimized())) showNormal();
    const TwipsScale s = TwipsScale::of(this);
    const QPoint at(s.toPixelsX(qRound(m_placement.left)), s.toPixelsY(qRound(m_placement.top)));
    const QSize size(s.toPixelsX(qRound(m_placement.width)), s.toPixelsY(qRound(m_placement.height)));
    resize(size);
    // A place on a screen that is no longer there would hide the window.
    bool onScreen = false;
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().intersects(QRect(at, size))) onScreen = true;
    if (onScreen) move(at);
    else if (const QScreen* primary = QGuiApplication::primaryScreen())
        move(primary->availableGeometry().topLeft());
}

void Frm_Main::load(const std::optional<std::string>& imageFolder) {
    if (m_loaded) return;
    m_tempLock.open();
    変数初期化();
    フォーム初期設定();
    placementFromWindow();
    基本設定読込(baseSettingsFile(), m_settings, m_placement);
    applyPlacement();
    // Shown once it stands where it was left; the folder loads while it is
    // visible.
    if (m_showMaximized) showMaximized();
    else show();
    m_loaded = true;
    m_exifCtl.create();
    m_kelpo.create();
    m_folderBox->setText(fromUtf8(imageFolder ? *imageFolder : m_settings.imageFolder));
    m_folderBox->setFocus(Qt::OtherFocusReason);
    commitImageFolder();
    ページ切り替え();
}

void Frm_Main::unload() {
    if (!m_loaded || m_unloaded) return;
    m_unloaded = true;
    m_menuPage->finishEdit();
    m_thumbnailPage->windowClosing();
    placementFromWindow();
    m_settings.imageFolder = m_folderBox->text().toStdString();
    基本設定保存(baseSettingsFile(), m_settings, m_placement);
    ++m_generation;
    endScans();
    // Closed on a folder typed but never committed: it is the user's
    // choice now, and the next start shows it.
    commitImageFolder();
    m_tempLock.close();
    m_exifCtl.release();
    m_kelpo.release();
}

void Frm_Main::closeEvent(QCloseEvent* event) {
    if (m_runInProgress) {
        event->ignore();
        if (m_closeDuringRun) m_closeDuringRun();
        return;
    }
    unload();
    event->accept();
}

// ---- pages and layout ----

QString Frm_Main::selectedTabKey() const { return m_tabs->tabData(m_tabs->currentIndex()).toString(); }

void Frm_Main::selectTab(const QString& key) {
    for (int i = 0; i < m_tabs->count(); ++i) {
        if (m_tabs->tabData(i).toString() != key) continue;
        if (i == m_tabs->currentIndex()) TabStrip_Click();
        else m_tabs->setCurrentIndex(i);
        return;
    }
}

void Frm_Main::ページ切り替え() {
    const QString key = selectedTabKey();
    const std::pair<QWidget*, bool> pages[] = {
        {m_menuPage, key == kTabMenu}, {m_thumbnailPage, key == kTabThumbnails}, {m_enlargedPage, key == kTabEnlarged}};
    // A focused control on a page that is hidden would hand the focus on to
    // the next one in the chain, the image folder box, with its text
    // selected: the next key typed would replace the path. The focus goes
    // to the tab strip instead, before the page is hidden.
    QWidget* focused = QApplication::focusWidget();
    for (const auto& [page, shown] : pages)
        if (!shown && focused && page->isAncestorOf(focused)) m_tabs->setFocus(Qt::OtherFocusReason);
    for (const auto& [page, shown] : pages)
        if (shown) page->setVisible(true);
    for (const auto& [page, shown] : pages)
        if (!shown) page->setVisible(false);
    SizeControls(twipsGeometry(m_grip).left);
}

void Frm_Main::showAlbumName() {
    if (!m_albumName) return;
    const QString album = selectedTabKey() == kTabMenu ? QString() : m_thumbnailPage->shownAlbum();
    const QString text = album.isEmpty() ? QString() : QStringLiteral("アルバム: ") + album;
    m_panel1->setText(text);
    // Right of the last tab, in the room the tab strip leaves; hidden when
    // there is none (the status bar still names the album).
    const int left = m_tabs->x() + (m_tabs->count() > 0 ? m_tabs->tabRect(m_tabs->count() - 1).right() : 0) + 12;
    const int width = m_tabs->x() + m_tabs->width() - 8 - left;
    const QString fitted = m_albumName->fontMetrics().elidedText(text, Qt::ElideMiddle, std::max(0, width));
    m_albumName->setGeometry(left, m_tabs->y(), std::max(0, width), m_tabs->height());
    m_albumName->setText(fitted);
    m_albumName->setToolTip(fitted == text ? QString() : text);
    m_albumName->setVisible(!text.isEmpty() && width > m_albumName->fontMetrics().horizontalAdvance(QStringLiteral("アルバム: …")));
    m_albumName->raise();
}

void Frm_Main::TabStrip_Click() {
    const QString key = selectedTabKey();
    if (key == kTabMenu) {
        m_currentImage = 0;
        ページ切り替え();
    } else if (key == kTabThumbnails) {
        ページ切り替え();
        if (!m_thumbnailPage->firstCellShown()) {
            if (!m_tree->currentItem() && m_tree->topLevelItemCount() > 0) {
                m_tree->setCurrentItem(m_tree->topLevelItem(0));
                for (QTreeWidgetItem* node : m_tree->nodes())
                    if (FolderTree::isTicked(node)) {
                        m_tree->setCurrentItem(node);
                        break;
                    }
            }
            showOnThumbnails(m_tree->currentItem());
        } else {
            m_thumbnailPage->drawVisible();
        }
    } else if (key == kTabEnlarged) {
        m_enlargedPage->display(m_currentImage);
        ページ切り替え();
    }
    showAlbumName();
}

void Frm_Main::layoutFixedControls(int width, int inner) {
    const Design& d = *m_design;
    // Aligned to the top and the bottom, as the toolbar and status bar are.
    setTwipsGeometry(m_toolbar, {0, 0, width, d.toolbarHeight});
    setTwipsGeometry(m_statusBar, {0, inner - d.statusBarHeight, width, d.statusBarHeight});
    // The folder box takes the width the button leaves it.
    const int boxWidth = std::max(3000, width - d.boxLeft - d.buttonWidth - 60 - 120);
    setTwipsGeometry(m_folderBox, {d.boxLeft, d.rowTop, boxWidth, d.rowHeight});
    setTwipsGeometry(m_browse, {d.boxLeft + boxWidth + 60, d.rowTop, d.buttonWidth, d.rowHeight});
}

void Frm_Main::SizeControls(int x) {
    if (layout()) layout()->activate();
    const TwipsScale s = TwipsScale::of(this);
    const Design& d = *m_design;
    const int width = s.toTwipsX(this->width());
    const int inner = s.toTwipsY(m_client->height());
    layoutFixedControls(width, inner);

    FrameMetrics m;
    m.windowWidth = width;
    m.innerHeight = inner;
    m.treeTop = d.treeTop;
    m.tabStripTop = d.treeTop;
    m.tabStripHeight = d.tabStripHeight;
    m.statusBarTop = twipsGeometry(m_statusBar).top;
    m.statusBarHeight = d.statusBarHeight;
    m.statusBarVisible = !m_statusBar->isHidden();
    const FrameLayout l = sizeControls(m, x);

    setTwipsGeometry(m_tree, l.tree);
    setTwipsGeometry(m_grip, {l.imgSplitter.left, d.treeTop, kGripWidth, l.imgSplitter.height});
    setTwipsGeometry(m_tabs, {l.tabStripLeft, d.treeTop, l.tabStripWidth, d.tabStripHeight});
    showAlbumName();
    setTwipsGeometry(m_frame1, {0, d.frame1Top, l.framesWidth, d.frameHeight});
    setTwipsGeometry(m_frame2, {0, d.frame2Top, l.framesWidth, d.frameHeight});
    setTwipsGeometry(m_progress, {d.progressLeft, l.progressBarTop, d.progressWidth, d.statusBarHeight - 150});
    m_progress->raise();

    StyledPage* visible = m_menuPage->isVisibleTo(m_client)        ? static_cast<StyledPage*>(m_menuPage)
                          : m_thumbnailPage->isVisibleTo(m_client) ? static_cast<StyledPage*>(m_thumbnailPage)
                                                                   : static_cast<StyledPage*>(m_enlargedPage);
    setTwipsGeometry(visible, l.page);
    styleVisiblePage();
    update();
}

void Frm_Main::styleVisiblePage() {
    if (!m_menuPage->isHidden()) {
        const int scrollBar = TwipsScale::of(this).toTwipsX(style()->pixelMetric(QStyle::PM_ScrollBarExtent));
        m_menuPage->layoutPage(m_settings.page(PageKind::Menu), scrollBar);
    } else if (!m_thumbnailPage->isHidden()) {
        m_thumbnailPage->layoutPage(m_settings.page(PageKind::Thumbnail));
    } else {
        m_enlargedPage->layoutPage(m_settings.page(PageKind::Enlarged));
    }
}

void Frm_Main::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (isMinimized() || !m_loaded) return;
    const TwipsScale s = TwipsScale::of(this);
    const TwipsSize now{s.toTwipsX(width()), s.toTwipsY(height())};
    const TwipsSize grown = minimumWindowSize(now);
    if (grown != now) resize(s.toPixelsX(grown.width), s.toPixelsY(grown.height));
    m_enlargedPage->resetScroll();
    SizeControls(twipsGeometry(m_grip).left);
    m_thumbnailPage->drawVisible();
}

void Frm_Main::Form_KeyDown(int keyCode) {
    if (keyCode != kKeyF5) return;
    if (selectedTabKey() == kTabThumbnails) {
        m_thumbnailPage->setRedrawThumbnails(true);
        m_thumbnailPage->clear();
    }
    TabStrip_Click();
}

// ---- the splitter ----

void Frm_Main::imgSplitter_MouseDown() {
    const TwipsRect grip = twipsGeometry(m_grip);
    setTwipsGeometry(m_dragBar, {grip.left, grip.top, grip.width / 2, grip.height - 20});
    m_dragBar->show();
    m_dragBar->raise();
    m_splitterMoving = true;
}

void Frm_Main::imgSplitter_MouseMove(int mouseX) {
    if (!m_splitterMoving) return;
    const TwipsRect bar = twipsGeometry(m_dragBar);
    const int width = TwipsScale::of(this).toTwipsX(this->width());
    setTwipsGeometry(m_dragBar, {splitterDragLeft(twipsGeometry(m_grip).left, mouseX, width), bar.top, bar.width,
                                 bar.height});
}

void Frm_Main::imgSplitter_MouseUp() {
    if (!m_splitterMoving) return;
    SizeControls(twipsGeometry(m_dragBar).left);
    m_dragBar->hide();
    m_splitterMoving = false;
}

// ---- commands ----

void Frm_Main::Toolbar_ButtonClick(const QString& key) {
    if (key == QStringLiteral("設定を開く")) openSettingsCommand();
    else if (key == QStringLiteral("設定を保存")) saveSettingsCommand();
    else if (key == QStringLiteral("アルバム作成")) albumOutputCommand();
    else if (key == QStringLiteral("ブラウザで確認")) browserPreviewCommand();
    else if (key == QStringLiteral("オプション")) optionsCommand();
    else if (key == QStringLiteral("ヘルプ")) onlineHelpCommand();
}

void Frm_Main::openSettingsCommand() {
    if (m_runInProgress) return;
    m_menuPage->finishEdit();
    placementFromWindow();
    m_settings.imageFolder = m_folderBox->text().toStdString();
    SettingsCommandContext c{&m_settings, &m_placement, &m_currentDirectory, this};
    switch (openAlbumSettingsFile(c)) {
    case CommandResult::Done: {
        applyPlacement();
        const QString folder = fromUtf8(m_settings.imageFolder);
        // The copied per-folder settings must show even for the folder the
        // box holds already.
        if (m_folderBox->text() == folder) Txt_画像フォルダ_Change();
        else m_folderBox->setText(folder);
        commitImageFolder();
        TabStrip_Click();
        break;
    }
    case CommandResult::Failed:
        showMessage(this, "設定ファイルを開けませんでした。", platform::MsgIcon::Critical);
        break;
    case CommandResult::Cancelled:
    case CommandResult::Refused: break;
    }
}

void Frm_Main::saveSettingsCommand() {
    m_menuPage->finishEdit();
    placementFromWindow();
    m_settings.imageFolder = m_folderBox->text().toStdString();
    std::string file;
    SettingsCommandContext c{&m_settings, &m_placement, &m_currentDirectory, this, &file};
    switch (saveAlbumSettingsFile(c)) {
    case CommandResult::Done: confirm(QStringLiteral("設定を保存しました: ") + shownName(file)); break;
    case CommandResult::Failed:
        showMessage(this, "設定ファイルを保存できませんでした。", platform::MsgIcon::Critical);
        break;
    case CommandResult::Cancelled:
    case CommandResult::Refused: break;
    }
}

void Frm_Main::exitCommand() { close(); }

void Frm_Main::setStatusText(const QString& text) { m_panel2->setText(text); }

void Frm_Main::showProgress(int done, int count) {
    m_progress->setMaximum(count);
    m_progress->setValue(done);
    m_progress->show();
    m_progress->raise();
}

void Frm_Main::hideProgress() { m_progress->hide(); }

void Frm_Main::exifTurnCommand() {
    // The selected album, else the image folder's own.
    QTreeWidgetItem* node = m_tree->currentItem();
    if (!node && m_tree->topLevelItemCount() > 0) node = m_tree->topLevelItem(0);
    if (node) m_thumbnailPage->turnByExifCommand(FolderTree::keyOf(node));
}

void Frm_Main::browserPreviewCommand() {
    QTreeWidgetItem* node = m_tree->currentItem();
    if (!node || m_previewing) return;
    m_menuPage->finishEdit();
    const std::string key = pathBytes(FolderTree::keyOf(node));
    const std::string folder = m_imageFolder;
    const AlbumSettings settings = m_settings;
    setPreviewing(true);
    setStatusText(QStringLiteral("ブラウザで確認: ") + node->text(0) + QStringLiteral(" を作成中..."));
    ThreadPool* pool = m_pool.get();
    // The window waits for its pool before it goes, so the report finds it.
    pool->submit([this, key, folder, settings, pool] {
        const BrowserPreview preview = makeBrowserPreview(folder, key, settings, pool);
        QMetaObject::invokeMethod(this, [this, preview] { browserPreviewDone(preview.page, preview.problem); },
                                  Qt::QueuedConnection);
    });
}

void Frm_Main::browserPreviewDone(const std::string& page, const std::string& problem) {
    setPreviewing(false);
    setStatusText({});
    if (!problem.empty()) {
        showMessage(this, problem, platform::MsgIcon::Exclamation);
        emit browserPreviewShown({});
        return;
    }
    if (openInBrowser(this, page)) confirm(QStringLiteral("ブラウザで開きました: ") + shownName(page));
    emit browserPreviewShown(fromUtf8(page));
}

void Frm_Main::setPreviewing(bool previewing) {
    m_previewing = previewing;
    for (QAction* a : m_toolbar->actions())
        if (a->property("key").toString() == QStringLiteral("ブラウザで確認")) a->setEnabled(!previewing);
    if (QAction* a = findChild<QAction*>(QStringLiteral("Menu_ブラウザで確認"))) a->setEnabled(!previewing);
}

void Frm_Main::confirm(const QString& text) { m_statusBar->showMessage(text, 6000); }

void Frm_Main::albumOutputCommand() {
    if (m_albumOutputForm && !m_runInProgress) m_albumOutputForm(*this);
}

std::vector<std::string> Frm_Main::listedAlbumFolders() const {
    std::vector<std::string> keys;
    for (QTreeWidgetItem* node : m_tree->nodes()) keys.push_back(pathBytes(FolderTree::keyOf(node)));
    return keys;
}

void Frm_Main::setRunInProgress(bool running, std::function<void()> closeRequested) {
    m_runInProgress = running;
    m_closeDuringRun = running ? std::move(closeRequested) : std::function<void()>();
    m_folderBox->setReadOnly(running);
    m_browse->setEnabled(!running);
    const QString locked[] = {QStringLiteral("設定を開く"), QStringLiteral("アルバム作成"), QStringLiteral("オプション")};
    for (QAction* a : m_toolbar->actions())
        for (const QString& key : locked)
            if (a->property("key").toString() == key) a->setEnabled(!running);
    for (const char* name : {"Menu_設定を開く", "Menu_アルバム作成", "Menu_オプション", "Menu_EXIFの向きで回転"})
        if (QAction* a = findChild<QAction*>(QString::fromUtf8(name))) a->setEnabled(!running);
    emit runInProgressChanged(running);
}

void Frm_Main::optionsCommand() {
    if (!m_optionsForm || m_runInProgress) return;
    m_optionsForm(*this);
    TabStrip_Click();
}

void Frm_Main::onlineHelpCommand() { openInBrowser(this, kHelpPageUrl); }

void Frm_Main::versionCommand() {
    if (!m_kelpo.get() && FAILED(m_kelpo.create())) {
        showMessage(this, m_kelpo.missingMessage("バージョン情報を表示できません。"), platform::MsgIcon::Exclamation);
        return;
    }
    const std::string version = std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor);
    const HRESULT hr = platform::com::callMethod(
        m_kelpo.get(), "VerShow",
        {platform::com::Variant(kApplicationTitle), platform::com::Variant(std::string_view(version))});
    if (FAILED(hr))
        showMessage(this,
                    "バージョン情報を表示できませんでした（" + platform::hexCode(static_cast<std::uint32_t>(hr)) + "）。",
                    platform::MsgIcon::Exclamation);
}

}  // namespace mirofoto::mainwindow
