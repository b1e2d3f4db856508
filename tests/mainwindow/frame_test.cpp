// The frame of the main window: menus, toolbar and tabs, the layout rules in
// twips, the splitter, resizing, F5, the page switch, the settings loaded
// once and saved once, the temp folder, and the commands.
#include "tests/mainwindow/window_fixture.h"

#include "app/mainwindow/frame_layout.h"
#include "app/mainwindow/qt_ui_services.h"
#include "app/settings/ini_store.h"
#include "app/settings/settings_files.h"
#include "platform/ini.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QStatusBar>
#include <QToolBar>

#include <filesystem>

using namespace window_testing;
using namespace mirofoto::mainwindow;
namespace fs = std::filesystem;

class FrameTest : public QObject {
    Q_OBJECT
    // One window for the checks that only read it.
    std::unique_ptr<WindowFixture> m_shared;
private slots:
    void initTestCase() {
        m_shared = std::make_unique<WindowFixture>();
        m_shared->open();
    }
    void cleanupTestCase() { m_shared.reset(); }
    void captionsAndKeys_data();
    void captionsAndKeys();
    void toolbarAndTabs();
    void sizeControlsRules_data();
    void sizeControlsRules();
    void windowLaysOutBySizeControls();
    void splitterDrag_data();
    void splitterDrag();
    void resizeKeepsTheMinimumSize();
    void f5OnEachPage_data();
    void f5OnEachPage();
    void menuPageResetsCurrentImage();
    void settingsLoadedAtStartAndWrittenAtClose();
    void tempFolderAndTwoWindows();
    void versionThroughKelpo();
    void missingKelpoIsReportedWhenNeeded();
    void helpAndFormCommands();
    void commandsSayWhatCameOfThem_data();
    void commandsSayWhatCameOfThem();
    void settingsFileCommands();
    void everyControlIsNamedAndReachable();
    void qtServicesShowWhatTheyAreGiven();
};

void FrameTest::captionsAndKeys_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    const char* rows[][2] = {
        {"Menu_ファイル", "ファイル（&F）"}, {"Menu_設定を開く", "設定を開く"}, {"Menu_設定を保存", "設定を保存"},
        {"Menu_終了", "終了（&X）"}, {"Menu_表示", "表示(&V)"}, {"Menu_メニューページ", "メニューページ表示"},
        {"Menu_サムネイルページ", "サムネイルページ表示"}, {"Menu_拡大画像ページ", "拡大画像ページ表示"},
        {"Menu_操作", "操作(&R)"}, {"Menu_アルバム作成", "アルバム作成"}, {"Menu_ツール", "ツール(&T)"},
        {"Menu_オプション", "オプション(&O)"}, {"Menu_ヘルプ", "ヘルプ(&H)"},
        {"Menu_オンラインヘルプ", "オンラインヘルプ"}, {"Menu_バージョン情報", "バージョン情報(&A)"}};
    for (const auto& r : rows) QTest::newRow(r[0]) << QString::fromUtf8(r[0]) << QString::fromUtf8(r[1]);
}

void FrameTest::captionsAndKeys() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    WindowFixture& f = *m_shared;
    Frm_Main& w = f.window();
    QCOMPARE(w.windowTitle(), QStringLiteral("ミロフォト　Ver1.1"));
    QAction* action = nullptr;
    for (QAction* a : w.findChildren<QAction*>())
        if (a->objectName() == name) action = a;
    QVERIFY2(action, qPrintable(name));
    QCOMPARE(action->text(), caption);
    // The menus stand in the bar in their order; the file menu's separator
    // sits before 終了.
    QStringList bar;
    for (QAction* a : w.menuBar()->actions()) bar << a->objectName();
    QCOMPARE(bar, (QStringList{"Menu_ファイル", "Menu_表示", "Menu_操作", "Menu_ツール", "Menu_ヘルプ"}));
    const QList<QAction*> file = f.control<QMenu>("Menu_ファイル")->actions();
    QCOMPARE(file.size(), 4);
    QVERIFY(file[2]->isSeparator());
    QCOMPARE(file[2]->objectName(), QStringLiteral("Menu_区切り1"));
}

void FrameTest::toolbarAndTabs() {
    WindowFixture& f = *m_shared;
    QStringList toolbar;
    for (QAction* a : f.control<QToolBar>("Toolbar")->actions())
        toolbar << (a->isSeparator() ? QStringLiteral("|") : a->text() + "=" + a->property("key").toString());
    QCOMPARE(toolbar, (QStringList{"設定を開く=設定を開く", "設定を保存=設定を保存", "|", "アルバム作成=アルバム作成",
                                   "ブラウザで確認=ブラウザで確認", "|", "オプション=オプション", "|", "ヘルプ=ヘルプ"}));
    auto* tabs = f.control<QTabBar>("TabStrip");
    QStringList captionsAndKeys;
    for (int i = 0; i < tabs->count(); ++i) captionsAndKeys << tabs->tabText(i) + "=" + tabs->tabData(i).toString();
    QCOMPARE(captionsAndKeys, (QStringList{"メニューページ=Tab_メニューページ", "サムネイルページ=Tab_サムネイルページ",
                                           "拡大画像ページ=Tab_拡大画像ページ"}));
    QCOMPARE(tabs->currentIndex(), 0);
    QVERIFY(f.control("Pic_メニューページ")->isVisible());
    QVERIFY(!f.control("Pic_サムネイルページ")->isVisible());
    QVERIFY(!f.control("Pic_拡大画像ページ")->isVisible());
    // A key no button has does nothing.
    const std::size_t calls = f.ui.calls.size();
    f.window().Toolbar_ButtonClick(QStringLiteral("印刷"));
    QCOMPARE(f.ui.calls.size(), calls);
}

void FrameTest::sizeControlsRules_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("inner");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("splitter");
    QTest::addColumn<int>("treeHeight");
    QTest::newRow("inside") << 12000 << 8000 << 3000 << 3000 << 8000 - 1000 - 300 - 100;
    QTest::newRow("left of 500") << 12000 << 8000 << 120 << 500 << 6600;
    QTest::newRow("right of width-1500") << 12000 << 8000 << 11000 << 10500 << 6600;
    QTest::newRow("at width-1500") << 12000 << 8000 << 10500 << 10500 << 6600;
    QTest::newRow("tiny window: tree 500") << 7590 << 1500 << 3000 << 3000 << 500;
}

void FrameTest::sizeControlsRules() {
    QFETCH(int, width);
    QFETCH(int, inner);
    QFETCH(int, x);
    QFETCH(int, splitter);
    QFETCH(int, treeHeight);
    FrameMetrics m;
    m.windowWidth = width;
    m.innerHeight = inner;
    m.treeTop = 1000;
    m.tabStripTop = 1000;
    m.tabStripHeight = 375;
    m.statusBarHeight = 300;
    m.statusBarTop = inner - 300;
    const FrameLayout l = sizeControls(m, x);
    QCOMPARE(l.splitter, splitter);
    QCOMPARE(l.tree.width, splitter - 40);
    QCOMPARE(l.tree.height, treeHeight);
    QCOMPARE(l.imgSplitter.left, splitter);
    QCOMPARE(l.imgSplitter.height, inner - 1300);
    QCOMPARE(l.tabStripLeft, splitter + 100);
    QCOMPARE(l.tabStripWidth, width - (splitter - 40 + 300));
    QCOMPARE(l.framesWidth, width);
    QCOMPARE(l.progressBarTop, inner - 300 + 95);
    QCOMPARE(l.page, (TwipsRect{splitter + 100, 1375, width - (splitter - 40 + 300), inner - 1375 - 300}));
    // Without the status bar the tree reaches 300 twips further down.
    m.statusBarVisible = false;
    if (treeHeight > 500) QCOMPARE(sizeControls(m, x).tree.height, treeHeight + 300);
}

void FrameTest::windowLaysOutBySizeControls() {
    WindowFixture f;
    Frm_Main& w = f.open();
    w.SizeControls(4000);
    const TwipsScale s = TwipsScale::of(&w);
    const int width = s.toTwipsX(w.width());
    const TwipsRect tree = twipsGeometry(f.control("Tvw_画像フォルダリスト"));
    const TwipsRect tabs = twipsGeometry(f.control("TabStrip"));
    const TwipsRect page = twipsGeometry(f.control("Pic_メニューページ"));
    const TwipsRect status = twipsGeometry(f.control("StatusBar"));
    QCOMPARE(tree.width, 3960);
    QCOMPARE(twipsGeometry(f.control("imgSplitter")).left, 4000);
    QCOMPARE(tabs.left, 4100);
    QCOMPARE(tabs.width, width - (3960 + 300));
    QCOMPARE(page, (TwipsRect{4100, tabs.top + tabs.height, width - 4260, status.top - (tabs.top + tabs.height)}));
    QCOMPARE(twipsGeometry(f.control("Frame1")).width, width);
    QCOMPARE(twipsGeometry(f.control("Frame2")).width, width);
    QCOMPARE(twipsGeometry(f.control("ProgressBar")).top, status.top + 95);
    QCOMPARE(tree.height, status.top - tree.top - 100);
}

void FrameTest::splitterDrag_data() {
    QTest::addColumn<int>("mouseX");  // twips, from the grip's left
    QTest::addColumn<int>("whileDragging");  // the bar's left; -1: window width − 500
    QTest::addColumn<int>("afterRelease");   // -1: window width − 1500
    QTest::newRow("far left") << -100000 << 500 << 500;
    QTest::newRow("a little right") << 750 << 3750 << 3750;
    QTest::newRow("far right") << 100000 << -1 << -1;
}

void FrameTest::splitterDrag() {
    QFETCH(int, mouseX);
    QFETCH(int, whileDragging);
    QFETCH(int, afterRelease);
    WindowFixture f;
    Frm_Main& w = f.open();
    w.SizeControls(3000);
    const TwipsScale s = TwipsScale::of(&w);
    const int width = s.toTwipsX(w.width());
    QWidget* grip = f.control("imgSplitter");
    QWidget* bar = f.control("picSplitter");
    QTest::mousePress(grip, Qt::LeftButton, {}, QPoint(2, 10));
    QVERIFY(w.splitterMoving());
    QVERIFY(bar->isVisible());
    QCOMPARE(twipsGeometry(bar).width, twipsGeometry(grip).width / 2);
    QCOMPARE(twipsGeometry(bar).height, twipsGeometry(grip).height - 20);
    QTest::mouseMove(grip, QPoint(s.toPixelsX(mouseX), 10));
    QCOMPARE(twipsGeometry(bar).left, whileDragging < 0 ? width - 500 : whileDragging);
    QTest::mouseRelease(grip, Qt::LeftButton, {}, QPoint(s.toPixelsX(mouseX), 10));
    QVERIFY(!w.splitterMoving());
    QVERIFY(!bar->isVisible());
    QCOMPARE(twipsGeometry(grip).left, afterRelease < 0 ? width - 1500 : afterRelease);
    QCOMPARE(twipsGeometry(f.control("Tvw_画像フォルダリスト")).width, twipsGeometry(grip).left - 40);
}

void FrameTest::resizeKeepsTheMinimumSize() {
    WindowFixture f;
    Frm_Main& w = f.open();
    const TwipsScale s = TwipsScale::of(&w);
    w.resize(100, 80);
    QTRY_COMPARE(s.toTwipsX(w.width()), kMinimumWindowWidth);
    QTRY_COMPARE(s.toTwipsY(w.height()), kMinimumWindowHeight);
    // Laid out for the new size.
    QTRY_COMPARE(twipsGeometry(f.control("Frame1")).width, kMinimumWindowWidth);

    w.showMinimized();
    QTRY_VERIFY(w.isMinimized());
    const TwipsRect before = twipsGeometry(f.control("TabStrip"));
    w.resize(s.toPixelsX(12000), s.toPixelsY(9000));
    QTRY_COMPARE(w.width(), s.toPixelsX(12000));
    QCOMPARE(twipsGeometry(f.control("TabStrip")), before);  // nothing laid out while minimised
}

void FrameTest::f5OnEachPage_data() {
    QTest::addColumn<QString>("tab");
    QTest::newRow("menu page") << "Tab_メニューページ";
    QTest::newRow("thumbnail page") << "Tab_サムネイルページ";
    QTest::newRow("enlarged page") << "Tab_拡大画像ページ";
}

void FrameTest::f5OnEachPage() {
    QFETCH(QString, tab);
    WindowFixture f;
    makeFolder(f.photos, {"off", "on/a.jpg"});
    Frm_Main& w = f.open();
    w.selectTab(tab);
    w.thumbnailPage()->setRedrawThumbnails(false);
    w.setCurrentImage(2);
    w.tree()->setCurrentItem(nullptr);
    QTest::keyClick(&w, Qt::Key_F5);
    const bool thumbnails = tab == QStringLiteral("Tab_サムネイルページ");
    QCOMPARE(w.selectedTabKey(), tab);
    QCOMPARE(w.thumbnailPage()->redrawThumbnails(), thumbnails);  // only there are thumbnails made anew
    if (thumbnails) {
        // With nothing selected the page shows the first ticked node.
        QVERIFY(w.tree()->currentItem());
        QCOMPARE(w.thumbnailPage()->folder(), QString::fromStdString(f.photos.str() + "/on/"));
    }
    QCOMPARE(w.enlargedPage()->shownIndex(), tab == QStringLiteral("Tab_拡大画像ページ") ? 2 : -1);
    QCOMPARE(w.currentImage(), tab == QStringLiteral("Tab_メニューページ") ? 0 : 2);
    QVERIFY(f.control(tab == "Tab_メニューページ"         ? "Pic_メニューページ"
                      : tab == "Tab_サムネイルページ" ? "Pic_サムネイルページ"
                                                       : "Pic_拡大画像ページ")
                ->isVisible());
}

void FrameTest::menuPageResetsCurrentImage() {
    WindowFixture f;
    Frm_Main& w = f.open();
    w.setCurrentImage(3);
    w.selectTab(QStringLiteral("Tab_サムネイルページ"));
    QCOMPARE(w.currentImage(), 3);
    w.selectTab(QStringLiteral("Tab_拡大画像ページ"));
    QCOMPARE(w.enlargedPage()->shownIndex(), 3);
    // Clicking the menu tab, and clicking it once more when it is selected.
    auto* tabs = f.control<QTabBar>("TabStrip");
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    QCOMPARE(w.currentImage(), 0);
    QVERIFY(f.control("Pic_メニューページ")->isVisible());
    w.setCurrentImage(5);
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    QCOMPARE(w.currentImage(), 0);
}

namespace {

// Counts the accesses to one settings file.
struct FileAccesses : platform::ProfileObserver {
    std::string file;
    int reads = 0, writes = 0;
    void onProfileAccess(platform::ProfileAccess access, std::string_view, std::string_view,
                         std::string_view f) override {
        if (f == file) ++(access == platform::ProfileAccess::Read ? reads : writes);
    }
};

}  // namespace

void FrameTest::settingsLoadedAtStartAndWrittenAtClose() {
    WindowFixture f;
    makeFolder(f.photos, {"a.jpg"});
    mirofoto::AlbumSettings stored = mirofoto::AlbumSettings::defaults();
    stored.imageFolder = f.photos.str();
    stored.outputFolder = "/srv/アルバム/";
    stored.columns = 7;
    stored.pages[0].textColor = 0x123456;
    stored.pages[0].useBackgroundColor = false;
    stored.pages[0].backgroundImage = "/nowhere/背景.png";
    stored.pages[2].htmlMiddle = "<p>\r\n</p>";
    mirofoto::WindowPlacement placement{0, 300, 450, 7500, 10500};
    QVERIFY(mirofoto::基本設定保存(mirofoto::baseSettingsFile(), stored, placement));
    const std::string base = fileText(mirofoto::baseSettingsFile());
    const std::string state = fileText(mirofoto::programStateFile());

    FileAccesses accesses;
    accesses.file = mirofoto::baseSettingsFile();
    platform::setProfileObserver(&accesses);
    Frm_Main& w = f.open();
    const int readsAtStart = accesses.reads;
    QVERIFY(readsAtStart > 0);
    QCOMPARE(accesses.writes, 0);
    QCOMPARE(w.settings().columns, 7);
    QCOMPARE(w.settings().outputFolder, stored.outputFolder);
    QCOMPARE(w.imageFolderBox()->text(), QString::fromStdString(stored.imageFolder));
    const TwipsScale s = TwipsScale::of(&w);
    QCOMPARE(s.toTwipsX(w.width()), 10500);
    QCOMPARE(s.toTwipsY(w.height()), 7500);

    w.selectTab(QStringLiteral("Tab_サムネイルページ"));
    w.selectTab(QStringLiteral("Tab_メニューページ"));
    QCOMPARE(accesses.reads, readsAtStart);  // loaded once
    QCOMPARE(accesses.writes, 0);
    f.close();
    platform::setProfileObserver(nullptr);
    QVERIFY(accesses.writes > 0);
    QCOMPARE(accesses.reads, readsAtStart);
    QCOMPARE(fileText(mirofoto::baseSettingsFile()), base);
    QCOMPARE(fileText(mirofoto::programStateFile()), state);
}

void FrameTest::tempFolderAndTwoWindows() {
    WindowFixture f;
    const fs::path temp = f.home.path("temp");
    testing_support::writeBytes(temp / "old/a_s.jpg", "x");
    f.open();
    QVERIFY(!fs::exists(temp));
    testing_support::writeBytes(temp / "cache/b_s.jpg", "x");

    // A second window leaves the first one's previews alone, at its start
    // and at its close.
    auto second = std::make_unique<Frm_Main>();
    second->load();
    QVERIFY(fs::exists(temp / "cache/b_s.jpg"));
    second->close();
    second.reset();
    QVERIFY(fs::exists(temp / "cache/b_s.jpg"));
    f.close();
    QVERIFY(!fs::exists(temp));
}

namespace {

// Runs inspect on the version dialog once it is open, then closes it.
void whenVersionDialogOpens(const std::function<void(QDialog*)>& inspect, bool* seen) {
    QTimer::singleShot(0, [inspect, seen] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QDialog*>(top); d && d->objectName() == "Frm_Ver" && d->isVisible()) {
                *seen = true;
                inspect(d);
                d->reject();
                return;
            }
    });
}

}  // namespace

void FrameTest::versionThroughKelpo() {
    WindowFixture f;
    Frm_Main& w = f.open();
    QVERIFY2(w.kelpo().get(), "Kelpo.Kelpo is registered in the build tree");
    QVERIFY(w.exifCtl().get());
    bool seen = false;
    QString name, version;
    whenVersionDialogOpens(
        [&](QDialog* d) {
            name = d->findChild<QLabel*>("Lbl_PGName")->text();
            version = d->findChild<QLabel*>("Lbl_PGVersion")->text();
        },
        &seen);
    for (QAction* a : w.findChildren<QAction*>())
        if (a->objectName() == "Menu_バージョン情報") a->trigger();
    QVERIFY(seen);
    QCOMPARE(name, QStringLiteral("ミロフォト"));
    QCOMPARE(version, QStringLiteral("1.1"));
    QVERIFY(f.ui.calls.empty());
    f.close();
}

void FrameTest::missingKelpoIsReportedWhenNeeded() {
    WindowFixture f;
    const std::string empty = f.home.path("empty-registry.ini");
    testing_support::writeBytes(empty, "");
    const QByteArray previous = qgetenv("MIROFOTO_REGISTRY");
    qputenv("MIROFOTO_REGISTRY", QByteArray::fromStdString(empty));
    Frm_Main& w = f.open();  // starts without the controls
    QVERIFY(!w.kelpo().get());
    w.versionCommand();
    qputenv("MIROFOTO_REGISTRY", previous);
    QCOMPARE(f.ui.calls.size(), std::size_t(1));
    QVERIFY(f.ui.calls[0].text.find("Kelpo.Kelpo") != std::string::npos);
    QCOMPARE(f.ui.calls[0].caption, std::string("ミロフォト"));
    QCOMPARE(int(f.ui.calls[0].icon), int(platform::MsgIcon::Exclamation));
}

void FrameTest::helpAndFormCommands() {
    WindowFixture f;
    Frm_Main& w = f.open();
    w.Toolbar_ButtonClick(QStringLiteral("ヘルプ"));
    QCOMPARE(f.ui.calls.size(), std::size_t(1));
    QCOMPARE(f.ui.calls[0].kind, std::string("document"));
    QCOMPARE(f.ui.calls[0].text, std::string(kHelpPageUrl));

    // The options and album output commands open the forms given to them;
    // after the options the current page is shown again.
    int options = 0, album = 0;
    w.setOptionsCommand([&](Frm_Main& m) {
        ++options;
        m.setCurrentImage(4);
    });
    w.setAlbumOutputCommand([&](Frm_Main&) { ++album; });
    w.Toolbar_ButtonClick(QStringLiteral("オプション"));
    QCOMPARE(options, 1);
    QCOMPARE(w.currentImage(), 0);  // TabStrip_Click ran on the menu page
    w.Toolbar_ButtonClick(QStringLiteral("アルバム作成"));
    QCOMPARE(album, 1);
}

void FrameTest::commandsSayWhatCameOfThem_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("browser");  // whether a browser starts
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("status");
    const QString noBrowser = QStringLiteral("ブラウザを起動できませんでした。\r次のページをブラウザで開いてください。\r\r") +
                              QString::fromUtf8(kHelpPageUrl);
    QTest::newRow("ヘルプ, a browser") << "ヘルプ" << true << "" << "";
    QTest::newRow("ヘルプ, no browser") << "ヘルプ" << false << noBrowser << "";
    QTest::newRow("オンラインヘルプ, no browser") << "Menu_オンラインヘルプ" << false << noBrowser << "";
    QTest::newRow("設定を保存") << "設定を保存" << true << "" << "設定を保存しました: album.mfs";
    QTest::newRow("設定を保存, cancelled") << "設定を保存 cancelled" << true << "" << "";
}

void FrameTest::commandsSayWhatCameOfThem() {
    QFETCH(QString, command);
    QFETCH(bool, browser);
    QFETCH(QString, message);
    QFETCH(QString, status);
    WindowFixture f;
    Frm_Main& w = f.open();
    f.ui.openDocumentResult = browser;
    const std::string mfs = f.home.path("album.mfs");
    if (command.startsWith("設定を保存")) {
        f.ui.fileAnswers.push_back(command.endsWith("cancelled") ? std::nullopt : std::optional<std::string>(mfs));
        status.replace(QStringLiteral("album.mfs"), QString::fromStdString(mfs));
        w.Toolbar_ButtonClick(QStringLiteral("設定を保存"));
    } else if (command.startsWith("Menu_")) {
        f.control<QAction>(qPrintable(command))->trigger();
    } else {
        w.Toolbar_ButtonClick(command);
    }
    const std::vector<std::string> messages = f.ui.messages();
    QCOMPARE(messages.empty() ? QString() : QString::fromStdString(messages.back()), message);
    QCOMPARE(f.control<QStatusBar>("StatusBar")->currentMessage(), status);
}

void FrameTest::settingsFileCommands() {
    WindowFixture f;
    makeFolder(f.photos, {"a.jpg", "sub/b.jpg"});
    Frm_Main& w = f.open();
    const std::string mfs = f.home.path("album.mfs");

    // Save: the record and the folder's settings in one file.
    mirofoto::PerFolderSettings(f.photos.str()).setAlbumTicked("sub", false);
    f.ui.fileAnswers.push_back(mfs);
    w.saveSettingsCommand();
    QCOMPARE(f.ui.calls.back().kind, std::string("save"));
    QCOMPARE(f.ui.calls.back().fileOptions.filter, std::string("ミロフォト設定ファイル|*.mfs"));
    QCOMPARE(mirofoto::readWholeIniValue("設定", "画像フォルダ", mfs), f.photos.str());
    QCOMPARE(mirofoto::readWholeIniValue("チェック", "sub", mfs), std::string("False"));

    // Open it for another folder: its settings come with it and the window
    // shows that folder with them.
    testing_support::TempDir other;
    makeFolder(other, {"c.jpg", "sub/d.jpg"});
    mirofoto::WriteIniValue("設定", "画像フォルダ", other.str(), mfs);
    mirofoto::WriteIniValue("オプション", "列数", "9", mfs);
    f.ui.fileAnswers.push_back(mfs);
    w.openSettingsCommand();
    QVERIFY(f.waitShown());
    QCOMPARE(w.imageFolderBox()->text(), QString::fromStdString(other.str()));
    QCOMPARE(w.settings().columns, 9);
    QCOMPARE(f.nodeTexts(), (QStringList{QString::fromStdString(other.str() + "/"), "sub"}));
    QVERIFY(!FolderTree::isTicked(w.tree()->nodes()[1]));  // "sub" came unticked

    // A file that names no image folder is refused with a message.
    const std::string bad = f.home.path("bad.mfs");
    testing_support::writeBytes(bad, "[設定]\r\n");
    f.ui.fileAnswers.push_back(bad);
    w.openSettingsCommand();
    QCOMPARE(f.ui.messages().back(), std::string("設定ファイルを開けませんでした。"));
}

void FrameTest::everyControlIsNamedAndReachable() {
    WindowFixture f;
    makeFolder(f.photos, {"a.jpg"});
    f.open();
    const char* named[] = {"Toolbar", "TabStrip", "Label1", "Txt_画像フォルダ", "Cmd_フォルダの選択",
                           "Tvw_画像フォルダリスト", "imgSplitter", "StatusBar", "ProgressBar", "Frame1", "Frame2",
                           "Pic_メニューページ", "Pic_サムネイルページ", "Pic_拡大画像ページ", "Lbl_メニュータイトル",
                           "Cmd_タイトルを入力", "Cmd_サブタイトルを入力", "Lbl_メニュー", "Cmd_メニューを入力",
                           "VScroll_メニュー"};
    for (const char* name : named) {
        QWidget* c = f.control(name);
        QVERIFY2(c, name);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
        QVERIFY2(a && !a->text(QAccessible::Name).isEmpty(), name);
    }
    QCOMPARE(f.control("Txt_画像フォルダ")->accessibleName(), QStringLiteral("画像フォルダ"));

    // Tab walks the window as it is laid out.
    QStringList order;
    QWidget* at = f.control("Txt_画像フォルダ");
    for (int i = 0; i < 8; ++i, at = at->nextInFocusChain()) {
        while (!(at->focusPolicy() & Qt::TabFocus) || !at->isVisible()) at = at->nextInFocusChain();
        order << at->objectName();
    }
    QCOMPARE(order, (QStringList{"Txt_画像フォルダ", "Cmd_フォルダの選択", "Tvw_画像フォルダリスト", "imgSplitter",
                                 "TabStrip", "Cmd_タイトルを入力", "Cmd_サブタイトルを入力", "Lbl_メニュー"}));
}

void FrameTest::qtServicesShowWhatTheyAreGiven() {
    QCOMPARE(displayText("1\r2\r\n3"), QStringLiteral("1\n2\n3"));
    QCOMPARE(qtFileFilter("ミロフォト設定ファイル|*.mfs|画像|*.jpg;*.png"),
             QStringLiteral("ミロフォト設定ファイル (*.mfs);;画像 (*.jpg *.png)"));
    QtUiServices services;
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) {
                text = box->text();
                title = box->windowTitle();
                icon = box->icon();
                QTest::keyClick(box, Qt::Key_Escape);
            }
    });
    const platform::MsgResult r = services.messageBox(nullptr, "上書きしますか\r\rはい", "ミロフォト",
                                                      platform::MsgButtons::YesNo, platform::MsgIcon::Exclamation);
    QCOMPARE(int(r), int(platform::MsgResult::No));  // Escape is the safe answer
    QCOMPARE(text, QStringLiteral("上書きしますか\n\nはい"));
    QCOMPARE(title, QStringLiteral("ミロフォト"));
    QCOMPARE(icon, QMessageBox::Warning);
}

QTEST_MAIN(FrameTest)
#include "frame_test.moc"
