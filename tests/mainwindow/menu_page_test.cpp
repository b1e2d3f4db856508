// The menu page: what a display and a clear store, the in-place editor and
// its stores, the re-sorted entries, the scroll range with 30 albums and the
// link to the thumbnail page; the stored texts (and the enlarged page's
// comment) drawn as the browser draws them.
#include "tests/mainwindow/window_fixture.h"

#include "app/mainwindow/frame_layout.h"
#include "app/settings/ini_store.h"
#include "app/settings/settings_files.h"
#include "platform/codepage.h"
#include "platform/ini.h"
#include "samples/photo_maker.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTreeWidgetItem>

#include <cmath>
#include <filesystem>

using namespace window_testing;
using namespace mirofoto::mainwindow;
namespace fs = std::filesystem;

namespace {

std::string stored(WindowFixture& f, const std::string& key) {
    return mirofoto::readWholeIniValue("メニューページ", key, f.perFolderFile());
}

bool isStored(WindowFixture& f, const std::string& key) {
    return platform::readProfileValue("メニューページ", key, f.perFolderFile()).has_value();
}

QString caption(WindowFixture& f, const char* name, int index = -1) {
    QWidget* w = index < 0 ? f.control(name) : f.element(name, index);
    return w ? static_cast<QLabel*>(w)->text() : QStringLiteral("<missing>");
}

// What the label draws over a white ground, its own background left out:
// the box around its ink and the number of inked pixels.
struct Ink {
    QRect box;
    int pixels = 0;
};

Ink inkOf(QLabel* label) {
    QImage image(label->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    label->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    Ink ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                ink.box |= QRect(x, y, 1, 1);
                ++ink.pixels;
            }
    return ink;
}

}  // namespace

class MenuPageTest : public QObject {
    Q_OBJECT
private slots:
    void aDisplayStoresTheLinkTextsOnly();
    void editsAreTrimmedAndStored_data();
    void editsAreTrimmedAndStored();
    void anOpenEditIsFinishedBeforeTheNext();
    void entriesKeepTheirTextsWhenResorted();
    void thirtyAlbumsScrollIntoView();
    void aLinkOpensTheAlbumOnTheThumbnailPage();
    void pagesTileTheirBackground_data();
    void pagesTileTheirBackground();
    void theTitleRowStandsOnlyOverAlbums();
    void storedTextsShowAsTheBrowserShowsThem_data();
    void storedTextsShowAsTheBrowserShowsThem();
};

void MenuPageTest::aDisplayStoresTheLinkTextsOnly() {
    WindowFixture f;
    makeFolder(f.photos, {"top.jpg", "海/a.jpg", "山/b.jpg", "empty"});
    const std::string root = f.photos.str() + "/";
    Frm_Main& w = f.open();
    const QString name = QString::fromStdString(fs::path(f.photos.str()).filename().string());
    QCOMPARE(caption(f, "Lbl_メニュータイトル"), name);
    QCOMPARE(caption(f, "Lbl_メニューサブタイトル"), QString());
    QCOMPARE(w.menuPage()->entryCount(), 3);
    // Each listed album's link text is stored, the default included; the
    // title and subtitle, set by display and clear alike, are not.
    QCOMPARE(stored(f, root), name.toStdString());
    QCOMPARE(stored(f, root + "海/"), std::string("海"));
    QCOMPARE(stored(f, root + "山/"), std::string("山"));
    QVERIFY(!isStored(f, root + "empty/"));
    QVERIFY(!isStored(f, "タイトル"));
    QVERIFY(!isStored(f, "サブタイトル"));

    // Bullets take the text colour, links the link colour of the menu page.
    const mirofoto::PageStyle& style = w.settings().page(mirofoto::PageKind::Menu);
    QCOMPARE(f.element("Lbl_メニュー", 1)->palette().color(QPalette::WindowText), toQColor(style.linkColor));
    QCOMPARE(f.element("Lbl_メニューDot", 1)->palette().color(QPalette::WindowText), toQColor(style.textColor));
    QCOMPARE(f.control("Lbl_メニュータイトル")->palette().color(QPalette::WindowText), toQColor(style.textColor));
}

void MenuPageTest::editsAreTrimmedAndStored_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("key");  // "" for the album's path
    QTest::newRow("title") << "Cmd_タイトルを入力" << -1 << "Lbl_メニュータイトル" << "タイトル";
    QTest::newRow("subtitle") << "Cmd_サブタイトルを入力" << -1 << "Lbl_メニューサブタイトル" << "サブタイトル";
    QTest::newRow("entry") << "Cmd_メニューを入力" << 1 << "Lbl_メニュー" << "";
}

void MenuPageTest::editsAreTrimmedAndStored() {
    QFETCH(QString, button);
    QFETCH(int, index);
    QFETCH(QString, label);
    QFETCH(QString, key);
    WindowFixture f;
    makeFolder(f.photos, {"a/1.jpg", "b/2.jpg"});
    f.open();
    const QByteArray b = button.toUtf8(), l = label.toUtf8();
    auto* start = static_cast<QPushButton*>(index < 0 ? f.control(b.constData()) : f.element(b.constData(), index));
    QWidget* target = index < 0 ? f.control(l.constData()) : f.element(l.constData(), index);
    QTest::mouseClick(start, Qt::LeftButton);
    auto* input = f.control<QLineEdit>("Txt_インプットボックス");
    QVERIFY(input->isVisible());
    QCOMPARE(twipsGeometry(input), twipsGeometry(target));
    QCOMPARE(input->text(), static_cast<QLabel*>(target)->text());
    QCOMPARE(input->cursorPosition(), int(input->text().size()));
    QVERIFY(input->hasFocus());

    input->selectAll();
    typeText(input, QStringLiteral("  夏の 写真  "));
    if (const QByteArray dir = qgetenv("MIROFOTO_SCREENSHOT_DIR"); !dir.isEmpty())
        f.window().grab().save(QString::fromUtf8(dir) + "/menu-page-editor.png");
    QTest::keyClick(input, Qt::Key_Return);  // Enter ends the edit as leaving the box does
    QVERIFY(!input->isVisible());
    QCOMPARE(static_cast<QLabel*>(target)->text(), QStringLiteral("夏の 写真"));
    const std::string k = key.isEmpty() ? f.photos.str() + "/b/" : key.toStdString();
    QCOMPARE(stored(f, k), std::string("夏の 写真"));

    // Emptied, the entry is stored empty and shows its folder's name again.
    QTest::mouseClick(start, Qt::LeftButton);
    input->clear();
    QTest::keyClick(input, Qt::Key_Return);
    QVERIFY(isStored(f, k));
    QCOMPARE(stored(f, k), std::string());
    if (index >= 0) {
        f.window().tree()->setCurrentItem(f.window().tree()->nodes()[1]);
        QTest::keyClick(f.window().tree(), Qt::Key_Space);  // any rebuild of the page
        QVERIFY(f.waitShown());
        QTest::keyClick(f.window().tree(), Qt::Key_Space);
        QVERIFY(f.waitShown());
        QCOMPARE(caption(f, "Lbl_メニュー", 1), QStringLiteral("b"));
    }
}

void MenuPageTest::anOpenEditIsFinishedBeforeTheNext() {
    WindowFixture f;
    makeFolder(f.photos, {"a/1.jpg"});
    f.open();
    auto* input = f.control<QLineEdit>("Txt_インプットボックス");
    f.window().menuPage()->editTitle();
    input->setText(QStringLiteral(" 題 "));
    // A second edit button finishes the title first, then edits its label.
    f.window().menuPage()->editSubtitle();
    QCOMPARE(stored(f, "タイトル"), std::string("題"));
    QVERIFY(input->isVisible());
    QCOMPARE(twipsGeometry(input), twipsGeometry(f.control("Lbl_メニューサブタイトル")));
    // Escape leaves the text as it was: nothing is stored.
    input->setText(QStringLiteral("捨てる"));
    QTest::keyClick(input, Qt::Key_Escape);
    QVERIFY(!input->isVisible());
    QVERIFY(!isStored(f, "サブタイトル"));
    // A click on the page's background ends the edit and stores it.
    f.window().menuPage()->editSubtitle();
    QTRY_VERIFY(input->hasFocus());
    input->setText(QStringLiteral("下書き"));
    QWidget* pageArea = f.control("Pic_メニューページ");
    QTest::mouseClick(pageArea, Qt::LeftButton, {}, QPoint(4, pageArea->height() - 8));
    QVERIFY(!input->isVisible());
    QCOMPARE(stored(f, "サブタイトル"), std::string("下書き"));
    // Closing the window finishes an open edit too.
    f.window().menuPage()->editSubtitle();
    input->setText(QStringLiteral("副題"));
    f.close();
    QCOMPARE(mirofoto::readWholeIniValue("メニューページ", "サブタイトル",
                                         mirofoto::perFolderSettingsFile(f.photos.str())),
             std::string("副題"));
}

void MenuPageTest::entriesKeepTheirTextsWhenResorted() {
    WindowFixture f;
    makeFolder(f.photos, {"b/1.jpg", "c/2.jpg"});
    mirofoto::PerFolderSettings s(f.photos.str());
    s.setAlbumTicked("b", false);
    s.setMenuEntry(f.photos.str() + "/c/", "シー");
    s.setMenuEntry(f.photos.str() + "/b/", "ビー");
    Frm_Main& w = f.open();
    QCOMPARE(caption(f, "Lbl_メニュー", 0), QStringLiteral("シー"));
    w.tree()->setFocus();
    w.tree()->setCurrentItem(w.tree()->nodes()[1]);
    QTest::keyClick(w.tree(), Qt::Key_Space);
    QVERIFY(f.waitShown());
    QCOMPARE(w.menuPage()->entryCount(), 2);
    QCOMPARE(caption(f, "Lbl_メニュー", 0), QStringLiteral("ビー"));
    QCOMPARE(caption(f, "Lbl_メニュー", 1), QStringLiteral("シー"));
    QCOMPARE(f.element("Lbl_メニュー", 1)->property("tag").toString(),
             QString::fromStdString(f.photos.str() + "/c/"));
}

void MenuPageTest::thirtyAlbumsScrollIntoView() {
    WindowFixture f;
    for (int i = 0; i < 30; ++i) testing_support::writeBytes(f.photos / ("album" + std::to_string(100 + i)) / "p.jpg", "x");
    Frm_Main& w = f.open();
    QCOMPARE(w.menuPage()->entryCount(), 30);
    auto* scroll = f.control<QScrollBar>("VScroll_メニュー");
    const TwipsRect page = twipsGeometry(w.menuPage());
    // k = (29 × 500 + 1500 + 500 − page height) ÷ 500, rounded; the maximum is k + 1.
    const int k = static_cast<int>(std::nearbyint((16500.0 - page.height) / 500));
    QCOMPARE(scroll->maximum(), k < 0 ? 0 : k + 1);
    QVERIFY(scroll->maximum() > 0);
    QCOMPARE(twipsGeometry(scroll), (TwipsRect{page.width - twipsGeometry(scroll).width - 50, 0,
                                               twipsGeometry(scroll).width, page.height - 50}));
    scroll->setValue(scroll->maximum());
    const TwipsRect last = twipsGeometry(f.element("Lbl_メニュー", 29));
    QCOMPARE(last.top, 29 * 500 + 1500 - scroll->maximum() * 500);
    QVERIFY(last.top + last.height <= page.height);  // the last entry is in view
    QCOMPARE(twipsGeometry(f.control("Lbl_メニュータイトル")).top, 180 - scroll->maximum() * 500);
    QCOMPARE(menuScrollMaximum(3, 9000), 0);
}

void MenuPageTest::aLinkOpensTheAlbumOnTheThumbnailPage() {
    WindowFixture f;
    makeFolder(f.photos, {"a/1.jpg", "b/2.jpg"});
    Frm_Main& w = f.open();
    QWidget* link = f.element("Lbl_メニュー", 1);
    QTest::mouseClick(link, Qt::RightButton);
    QCOMPARE(w.selectedTabKey(), QStringLiteral("Tab_メニューページ"));  // only the left button
    QTest::mouseClick(link, Qt::LeftButton);
    const QString key = QString::fromStdString(f.photos.str() + "/b/");
    QCOMPARE(w.selectedTabKey(), QStringLiteral("Tab_サムネイルページ"));
    QCOMPARE(FolderTree::keyOf(w.tree()->currentItem()), key);
    QCOMPARE(w.thumbnailPage()->folder(), key);
    // From the keyboard: Enter on a link.
    w.selectTab(QStringLiteral("Tab_メニューページ"));
    f.element("Lbl_メニュー", 0)->setFocus();
    QTest::keyClick(f.element("Lbl_メニュー", 0), Qt::Key_Return);
    QCOMPARE(w.thumbnailPage()->folder(), QString::fromStdString(f.photos.str() + "/a/"));
}

void MenuPageTest::pagesTileTheirBackground_data() {
    QTest::addColumn<QString>("tab");
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("index");
    QTest::newRow("menu page") << "Tab_メニューページ" << "Pic_メニューページ" << 0;
    QTest::newRow("thumbnail page") << "Tab_サムネイルページ" << "Pic_サムネイルページ" << 1;
    QTest::newRow("enlarged page") << "Tab_拡大画像ページ" << "Pic_拡大画像ページ" << 2;
}

void MenuPageTest::pagesTileTheirBackground() {
    QFETCH(QString, tab);
    QFETCH(QString, page);
    QFETCH(int, index);
    WindowFixture f;
    // A 7 × 5 tile, red in its top-left pixel, blue elsewhere.
    QImage tile(7, 5, QImage::Format_RGB32);
    tile.fill(Qt::blue);
    tile.setPixel(0, 0, qRgb(255, 0, 0));
    const QString tilePath = QString::fromStdString(f.home.path("tile.png"));
    QVERIFY(tile.save(tilePath));
    Frm_Main& w = f.open();
    mirofoto::PageStyle& style = w.settings().pages[index];
    style.useBackgroundColor = false;
    style.backgroundImage = tilePath.toStdString();
    style.backgroundColor = 0x00FF00;  // green under the tiles
    w.selectTab(tab);
    auto* area = w.findChild<StyledPage*>(page);
    QVERIFY(area && area->isVisible());
    QVERIFY(area->tilesShown());
    QCOMPARE(area->backgroundImage()->pixmap().size(), QSize(7, 5));
    QVERIFY(!area->backgroundImage()->isVisible());
    const QImage shot = area->grab().toImage();
    // Every tile from the top left, the part-covered last row and column too.
    const QPoint last((shot.width() - 1) / 7 * 7, (shot.height() - 1) / 5 * 5);
    for (const QPoint corner : {QPoint(0, 0), QPoint(7, 0), QPoint(14, 5), QPoint(7 * 20, 5 * 30), last})
        QCOMPARE(QColor(shot.pixel(corner)), QColor(255, 0, 0));
    QCOMPARE(QColor(shot.pixel(8, 1)), QColor(0, 0, 255));

    // The plain colour: no tiles.
    style.useBackgroundColor = true;
    w.selectTab(tab);
    QVERIFY(!area->tilesShown());
    QVERIFY(area->backgroundImage()->pixmap().isNull());
    QCOMPARE(QColor(area->grab().toImage().pixel(3, 3)), QColor(0, 0xFF, 0));
}

// No album listed, no menu page: neither the title row nor its buttons.
void MenuPageTest::theTitleRowStandsOnlyOverAlbums() {
    WindowFixture f;
    makeFolder(f.photos, {"empty"});
    Frm_Main& w = f.open();
    const char* row[] = {"Lbl_メニュータイトル", "Cmd_タイトルを入力", "Lbl_メニューサブタイトル",
                         "Cmd_サブタイトルを入力", "Lin_メニュー"};
    QCOMPARE(w.menuPage()->entryCount(), 0);
    for (const char* name : row) QVERIFY2(!f.control(name)->isVisible(), name);
    testing_support::writeBytes(f.photos / "empty" / "a.jpg", "");
    QVERIFY(f.showFolder(f.photos.str() + "/"));
    QCOMPARE(w.menuPage()->entryCount(), 1);
    for (const char* name : row) QVERIFY2(f.control(name)->isVisible(), name);
}

void MenuPageTest::storedTextsShowAsTheBrowserShowsThem_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("bold");
    const char* rows[][4] = {
        {"Lbl_メニュータイトル", "山 &amp; 海", "山 & 海", ""},
        {"Lbl_メニュータイトル", "<b>旅</b>", "旅", "bold"},
        {"Lbl_メニューサブタイトル", "&lt;2026&gt;", "<2026>", ""},
        {"Lbl_メニュー", "A&amp;B", "A&B", ""},
        {"Lbl_メニュー", "<b>海</b>", "海", "bold"},
        {"Lbl_メニュー", "plain", "plain", ""},
        {"Lbl_拡大画像コメント", "夕日 &amp; 海", "夕日 & 海", ""},
        {"Lbl_拡大画像コメント", "<b>桜</b>", "桜", "bold"},
    };
    for (const auto& r : rows)
        QTest::addRow("%s %s", r[0], r[1]) << QString::fromUtf8(r[0]) << QString::fromUtf8(r[1])
                                          << QString::fromUtf8(r[2]) << (r[3][0] != 0);
}

// The pages write these texts as stored, so the preview draws exactly what
// a label of the shown text draws (bold where the markup says so).
void MenuPageTest::storedTextsShowAsTheBrowserShowsThem() {
    QFETCH(QString, label);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(bool, bold);
    WindowFixture f;
    const mirofoto::PerFolderSettings settings(f.photos.str() + "/");
    const std::string text = stored.toStdString();
    const bool comment = label == "Lbl_拡大画像コメント";
    samples::PhotoSpec spec;
    spec.width = 200;
    spec.height = 150;
    if (comment) spec.commentCp932 = *platform::utf8ToCp932(text);
    samples::writePhotoJpeg(f.photos.str() + "/a.jpg", spec);
    if (label == "Lbl_メニュータイトル") QVERIFY(settings.setMenuTitle(text));
    else if (label == "Lbl_メニューサブタイトル") QVERIFY(settings.setMenuSubtitle(text));
    else if (!comment) QVERIFY(settings.setMenuEntry(f.photos.str() + "/", text));
    Frm_Main& w = f.open();
    if (comment) {  // the enlarged page of the picture
        w.selectTab(QStringLiteral("Tab_サムネイルページ"));
        QTRY_VERIFY_WITH_TIMEOUT(w.thumbnailPage()->ready() && w.thumbnailPage()->previewsSettled(), 30000);
        QSignalSpy shown(w.enlargedPage(), &EnlargedPage::pictureShown);
        w.selectTab(QStringLiteral("Tab_拡大画像ページ"));
        QVERIFY(shown.wait(20000));
    }
    auto* l = static_cast<QLabel*>(label == "Lbl_メニュー" ? f.element("Lbl_メニュー", 0) : f.control(qPrintable(label)));
    QVERIFY(l && l->isVisible());
    QCOMPARE(l->text(), stored);  // kept as stored: an edit starts from it
    if (!comment) QCOMPARE(l->accessibleName(), shown);
    QLabel reference;
    reference.setTextFormat(Qt::PlainText);
    reference.setText(shown);
    QFont font = l->font();
    if (bold) font.setBold(true);
    reference.setFont(font);
    reference.setPalette(l->palette());
    reference.setAlignment(l->alignment());
    reference.resize(l->size());
    // The two may sit a pixel apart (a text document lays out its line a
    // little differently); the ink they draw is the same.
    const Ink drawn = inkOf(l), expected = inkOf(&reference);
    QVERIFY2(std::abs(drawn.box.width() - expected.box.width()) <= 1, qPrintable(QString::number(drawn.box.width())));
    QVERIFY(std::abs(drawn.box.height() - expected.box.height()) <= 1);
    QVERIFY2(std::abs(drawn.pixels - expected.pixels) <= expected.pixels / 20, qPrintable(QString::number(drawn.pixels)));
}

QTEST_MAIN(MenuPageTest)
#include "menu_page_test.moc"
