// The thumbnail page and the enlarged-image page over folders of generated
// photographs: the cells and their twips, ticks, turns, comments written
// into the pictures, what F5 and a scroll make, the enlarged page's links
// and empty display, the EXIF command, and previews cancelled over and
// over while they are being made.
#include "tests/mainwindow/window_fixture.h"

#include "app/albumoutput/image_derivation.h"
#include "app/mainwindow/preview_maker.h"
#include "app/mainwindow/qt_text.h"
#include "app/previews/preview_rules.h"
#include "app/settings/ini_store.h"
#include "app/util/jpeg_info.h"
#include "app/util/storage_location.h"
#include "platform/codepage.h"
#include "samples/photo_maker.h"

#include <QApplication>
#include <QBuffer>
#include <QPainter>
#include <QCheckBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTreeWidgetItem>

#include <filesystem>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <unistd.h>

using namespace window_testing;
using namespace mirofoto::mainwindow;
using mirofoto::CellLayout;
using mirofoto::Rect;
namespace fs = std::filesystem;

namespace {

const QString kThumbnails = QStringLiteral("Tab_サムネイルページ");
const QString kEnlarged = QStringLiteral("Tab_拡大画像ページ");

/// A photograph of the size; comment (UTF-8) and EXIF orientation optional.
void photo(const fs::path& path, int width, int height, const std::string& comment = {}, int orientation = 0) {
    samples::PhotoSpec spec;
    spec.width = width;
    spec.height = height;
    spec.seed = static_cast<std::uint32_t>(width * 7 + height);
    if (!comment.empty()) spec.commentCp932 = *platform::utf8ToCp932(comment);
    std::string bytes = samples::makePhotoJpeg(spec);
    if (orientation) bytes = samples::withOrientation(bytes, orientation);
    testing_support::writeBytes(path, bytes);
}

QSize fileSize(const std::string& path) {
    QImageReader reader(QString::fromStdString(path));
    return reader.size();
}

fs::file_time_type modified(const std::string& path) {
    std::error_code ec;
    return fs::last_write_time(path, ec);
}

/// A JPEG of one colour; with a band colour, the picture's right half has it.
QByteArray flatJpeg(int width, int height, QColor colour, QColor rightHalf = {}, int blackRows = 0) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    const QRect content(0, blackRows, width, height - 2 * blackRows);
    painter.fillRect(content, colour);
    if (rightHalf.isValid()) painter.fillRect(QRect(width / 2, blackRows, width - width / 2, content.height()), rightHalf);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}

/// The JPEG with an EXIF block holding thumb (and Orientation when given).
std::string withExifThumbnail(const QByteArray& jpeg, const QByteArray& thumb, int orientation = 0) {
    return samples::withExifThumbnail(jpeg.toStdString(), thumb.toStdString(), orientation);
}

/// A picture cut off in its image data, with a sound embedded thumbnail.
std::string damagedWithThumbnail() {
    std::string damaged = withExifThumbnail(flatJpeg(400, 300, Qt::blue), flatJpeg(160, 120, Qt::red));
    damaged.resize(damaged.rfind("\xFF\xDA") + 20);
    return damaged;
}

bool near(QColor c, QColor want) {
    return std::abs(c.red() - want.red()) < 60 && std::abs(c.green() - want.green()) < 60 &&
           std::abs(c.blue() - want.blue()) < 60;
}

ThumbnailPage* page(WindowFixture& f) { return f.window().thumbnailPage(); }

bool settled(WindowFixture& f) {
    return QTest::qWaitFor([&] { return page(f)->ready() && page(f)->previewsSettled(); }, 30000);
}

bool showThumbnails(WindowFixture& f) {
    f.window().selectTab(kThumbnails);
    return settled(f);
}

QWidget* cellControl(WindowFixture& f, const char* name, int index) { return f.element(name, index); }

std::string turnStored(WindowFixture& f, const std::string& path) {
    return mirofoto::ReadIniValue("回転", path, 512, f.perFolderFile());
}

}  // namespace

class PreviewPagesTest : public QObject {
    Q_OBJECT
private slots:
    void fivePicturesStandInTwoRows();
    void turnsAreStoredAndTurnTheCachedFile();
    void aStoredTickZeroShowsTheCellUntickedAndDisabled();
    void picturesSharingAStoredKeyAreMarked();
    void captionsLookAsTheirTickSays_data();
    void captionsLookAsTheirTickSays();
    void commentsAreWrittenIntoThePicture_data();
    void commentsAreWrittenIntoThePicture();
    void f5MakesVisibleThumbnailsAnewAScrollDoesNot();
    void cellsOfAFolderShownEarlierLoadTheirCachedFiles();
    void aThumbnailClickAfterACommentLeavesTheFolderBoxAlone();
    void aWindowDestroyedUnclosedRunsNoHandlerOfItsWidgets();
    void enlargedLinksAtTheEnds_data();
    void enlargedLinksAtTheEnds();
    void enlargedEmptyDisplayPastTheEnd();
    void exifCommandStoresTurnsOnly();
    void browserPreviewWritesTheSelectedAlbumAndOpensIt();
    void clearsFolderChangesAndF5WhilePreviewsArePending();
    void captionsFollowTheirSwitches_data();
    void captionsFollowTheirSwitches();
    void captionsFollowTheirPicture_data();
    void captionsFollowTheirPicture();
    void theShownAlbumIsNamed_data();
    void theShownAlbumIsNamed();
    void pagesKeepTheirControlsApartAndInside_data();
    void pagesKeepTheirControlsApartAndInside();
    void embeddedThumbnailsStandInUntilThePreviewIsMade();
    void aStandInGoesWhenItsPictureCannotBeMade();
    void datesAndCommentsFollowTheList();
    void theEnlargedPageShowsAStandInAtItsSizeFirst();
};

void PreviewPagesTest::fivePicturesStandInTwoRows() {
    WindowFixture f;
    for (const char* name : {"a.JPG", "b.Jpeg", "c.jpe"}) photo(f.photos / name, 400, 300);
    photo(f.photos / "d.jpg", 400, 300);
    photo(f.photos / "e.jpg", 400, 300);
    testing_support::writeBytes(f.photos / "f.jpeg.bak", "x");
    testing_support::writeBytes(f.photos / "g.png", "x");
    Frm_Main& w = f.open();
    QCOMPARE(w.settings().columns, 4);
    QVERIFY(showThumbnails(f));
    QCOMPARE(page(f)->cellCount(), 5);
    QStringList names;
    for (int i = 0; i < 5; ++i) names << page(f)->cellFileName(i);
    QCOMPARE(names, (QStringList{"a.JPG", "b.Jpeg", "c.jpe", "d.jpg", "e.jpg"}));
    QCOMPARE(f.control<QScrollBar>("VScroll_サムネイル")->maximum(), 28);  // one frame height (2850) ÷ 100
    QCOMPARE(f.control<QScrollBar>("HScroll_サムネイル")->maximum(), 66);

    // Cell 4 opens the second row; every control where the layout puts it.
    const mirofoto::CellTemplate t = mirofoto::cellTemplate(120, 90, 15, 15);
    const CellLayout l = mirofoto::cellLayout(4, 4, t, {}, 0, 0);
    QCOMPARE(l.frame.top, 2850 + 330);
    QCOMPARE(l.frame.left, 0);
    const std::pair<const char*, Rect> controls[] = {
        {"Shp_サムネイル枠", l.frame}, {"Chk_画像選択", l.tick},       {"Lbl_No", l.number},
        {"Cmd_LTurn", l.leftTurn},    {"Cmd_RTurn", l.rightTurn},     {"Img_サムネイル", l.thumbnail},
        {"Lbl_ファイル名", l.fileName}, {"Lbl_撮影日時", l.date},        {"Txt_コメント", l.comment}};
    for (const auto& [name, r] : controls) {
        QWidget* c = cellControl(f, name, 4);
        QVERIFY2(c, name);
        QCOMPARE(twipsGeometry(c), (TwipsRect{r.left, r.top, r.width, r.height}));
        QVERIFY2(c->isVisible(), name);
    }
    QCOMPARE(static_cast<QLabel*>(cellControl(f, "Lbl_No", 4))->text(), QStringLiteral("0005"));
    QCOMPARE(twipsGeometry(f.element("Lbl_リンクメニューページ", 0)).top, 120);
    for (int i = 0; i < 5; ++i) QVERIFY(page(f)->cellHasPicture(i));
    QCOMPARE(fileSize(page(f)->entries()[4].thumbnailPath()), QSize(120, 90));
    QVERIFY(page(f)->entries()[4].thumbnailPath().rfind(mirofoto::storageLocation().tempFolder, 0) == 0);
}

void PreviewPagesTest::turnsAreStoredAndTurnTheCachedFile() {
    WindowFixture f;
    photo(f.photos / "p.jpg", 400, 300);
    photo(f.photos / "s.jpg", 400, 300, {}, 6);  // taken in portrait
    Frm_Main& w = f.open();
    QVERIFY(showThumbnails(f));
    const std::string path = f.photos.str() + "/p.jpg";
    const std::string cached = page(f)->entries()[0].thumbnailPath();
    // Turned, then fitted into the box.
    QTest::mouseClick(static_cast<QPushButton*>(cellControl(f, "Cmd_LTurn", 0)), Qt::LeftButton);
    QCOMPARE(turnStored(f, path), std::string("270"));
    QVERIFY(settled(f));
    QCOMPARE(fileSize(cached), QSize(68, 90));
    QCOMPARE(static_cast<QLabel*>(cellControl(f, "Img_サムネイル", 0))->pixmap().size(), QSize(68, 90));
    // Shown upright by its orientation (a turn of 90), the portrait picture
    // goes on from there: a right turn stores 180, and it lies on its side.
    QCOMPARE(fileSize(page(f)->entries()[1].thumbnailPath()), QSize(68, 90));
    QCOMPARE(turnStored(f, f.photos.str() + "/s.jpg"), std::string());
    QTest::mouseClick(static_cast<QPushButton*>(cellControl(f, "Cmd_RTurn", 1)), Qt::LeftButton);
    QCOMPARE(turnStored(f, f.photos.str() + "/s.jpg"), std::string("180"));
    QVERIFY(settled(f));
    QCOMPARE(fileSize(page(f)->entries()[1].thumbnailPath()), QSize(120, 90));

    // The enlarged picture is made anew, turned, at its display.
    w.setCurrentImage(0);
    QSignalSpy shown(w.enlargedPage(), &EnlargedPage::pictureShown);
    w.selectTab(kEnlarged);
    QVERIFY(shown.wait(20000));
    QCOMPARE(f.control<QLabel>("Img_拡大画像")->pixmap().size(), QSize(270, 360));  // turned, then fitted

    w.selectTab(kThumbnails);
    QTest::mouseClick(static_cast<QPushButton*>(cellControl(f, "Cmd_RTurn", 0)), Qt::LeftButton);
    QCOMPARE(turnStored(f, path), std::string("0"));
    QVERIFY(settled(f));
    QCOMPARE(fileSize(cached), QSize(120, 90));
}

void PreviewPagesTest::aStoredTickZeroShowsTheCellUntickedAndDisabled() {
    WindowFixture f;
    photo(f.photos / "a.jpg", 400, 300);
    photo(f.photos / "b.jpg", 400, 300);
    const std::string album = f.photos.str() + "/";
    mirofoto::PerFolderSettings(album).setImageTicked(album, "b.jpg", false);
    f.open();
    QVERIFY(showThumbnails(f));
    auto* tick = static_cast<QCheckBox*>(cellControl(f, "Chk_画像選択", 1));
    const char* four[] = {"Img_サムネイル", "Lbl_ファイル名", "Lbl_撮影日時", "Txt_コメント"};
    QVERIFY(static_cast<QCheckBox*>(cellControl(f, "Chk_画像選択", 0))->isChecked());
    QVERIFY(!tick->isChecked());
    for (const char* name : four) QVERIFY2(!cellControl(f, name, 1)->isEnabled(), name);
    tick->click();
    QCOMPARE(mirofoto::ReadIniValue("チェック", album + "/b.jpg", 255, f.perFolderFile()), std::string("1"));
    for (const char* name : four) QVERIFY2(cellControl(f, name, 1)->isEnabled(), name);
}

void PreviewPagesTest::picturesSharingAStoredKeyAreMarked() {
    WindowFixture f;
    for (const char* name : {"[x].jpg", "<x>.jpg", "own.jpg", "a=b/p.jpg", "a:b/p.jpg"}) {
        fs::create_directories((f.photos / name).parent_path());
        photo(f.photos / name, 400, 300);
    }
    Frm_Main& w = f.open();
    w.settings().thumbShowFileName = 1;
    QVERIFY(showThumbnails(f));
    QStringList names, tips;
    for (int i = 0; i < 3; ++i) {
        names << static_cast<QLabel*>(cellControl(f, "Lbl_ファイル名", i))->text();
        tips << cellControl(f, "Chk_画像選択", i)->toolTip();
    }
    QCOMPARE(names, (QStringList{"<x>.jpg ※", "[x].jpg ※", "own.jpg"}));
    QVERIFY2(tips[0].startsWith(QStringLiteral("「[x].jpg」 と設定を共有しています")), qPrintable(tips[0]));
    QVERIFY2(tips[1].startsWith(QStringLiteral("「<x>.jpg」 と設定を共有しています")), qPrintable(tips[1]));
    QCOMPARE(tips[2], QString());
    QCOMPARE(cellControl(f, "Lbl_ファイル名", 0)->toolTip(), tips[0]);
    const QByteArray dir = qgetenv("MIROFOTO_SCREENSHOT_DIR");
    if (!dir.isEmpty()) w.grab().save(QString::fromUtf8(dir) + "/shared-keys.png");
}

void PreviewPagesTest::captionsLookAsTheirTickSays_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("ticked");
    for (const char* name : {"Lbl_ファイル名", "Lbl_撮影日時"}) {
        QTest::addRow("%s ticked", name) << QString::fromUtf8(name) << true;
        QTest::addRow("%s unticked", name) << QString::fromUtf8(name) << false;
    }
}

// An unticked cell's captions are drawn faded: no pixel comes near the
// page's text colour, which a ticked cell's text reaches.
void PreviewPagesTest::captionsLookAsTheirTickSays() {
    QFETCH(QString, control);
    QFETCH(bool, ticked);
    WindowFixture f;
    for (const char* name : {"a.jpg", "b.jpg"}) {
        samples::PhotoSpec spec;
        spec.width = 400;
        spec.height = 300;
        spec.shootingDate = "2026:05:03 10:20:30";
        samples::writePhotoJpeg(f.photos.str() + "/" + name, spec);
    }
    const std::string album = f.photos.str() + "/";
    mirofoto::PerFolderSettings(album).setImageTicked(album, "b.jpg", false);
    Frm_Main& w = f.open();
    QVERIFY(showThumbnails(f));
    auto* label = static_cast<QLabel*>(cellControl(f, qPrintable(control), ticked ? 0 : 1));
    QVERIFY(!label->text().isEmpty());
    QCOMPARE(label->isEnabled(), ticked);
    const QColor text = toQColor(w.settings().page(mirofoto::PageKind::Thumbnail).textColor);
    QImage drawn(label->size(), QImage::Format_RGB32);
    drawn.fill(Qt::white);
    label->render(&drawn, QPoint(), QRegion(), QWidget::DrawChildren);
    int nearest = 3 * 255;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            const QColor c = drawn.pixelColor(x, y);
            nearest = std::min(nearest, std::abs(c.red() - text.red()) + std::abs(c.green() - text.green()) +
                                            std::abs(c.blue() - text.blue()));
        }
    QVERIFY2(ticked ? nearest < 120 : nearest > 240, qPrintable(QString::number(nearest)));
}

void PreviewPagesTest::commentsAreWrittenIntoThePicture_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("file");     // "photo", "not a jpeg" or "read-only"
    QTest::addColumn<QString>("stored");   // the file's comment afterwards
    QTest::addColumn<QString>("box");      // the box's text afterwards
    QTest::addColumn<int>("messages");
    QTest::newRow("spaces only") << "  夕焼け  " << "photo" << "夕焼け" << "夕焼け" << 0;
    QTest::newRow("a real change") << " 朝焼け " << "photo" << "朝焼け" << "朝焼け" << 0;
    QTest::newRow("no CP932 form") << "夕焼け 😀" << "photo" << "夕焼け" << "夕焼け 😀" << 1;
    QTest::newRow("not a JPEG") << "朝" << "not a jpeg" << "" << "朝" << 1;
    QTest::newRow("read-only") << "朝" << "read-only" << "夕焼け" << "朝" << 1;
}

void PreviewPagesTest::commentsAreWrittenIntoThePicture() {
    QFETCH(QString, typed);
    QFETCH(QString, file);
    QFETCH(QString, stored);
    QFETCH(QString, box);
    QFETCH(int, messages);
    if (file == "read-only" && ::geteuid() == 0) QSKIP("root writes read-only files");
    WindowFixture f;
    const std::string path = f.photos.str() + "/p.jpg";
    if (file == "not a jpeg") testing_support::writeBytes(path, "no picture");
    else photo(path, 400, 300, "夕焼け");
    if (file == "read-only") fs::permissions(path, fs::perms::owner_read);
    const std::string before = testing_support::readBytes(path);
    f.open();
    QVERIFY(showThumbnails(f));
    auto* comment = static_cast<QLineEdit*>(cellControl(f, "Txt_コメント", 0));
    QCOMPARE(comment->text(), file == "not a jpeg" ? QString() : QStringLiteral("夕焼け"));
    // Twice: a refused comment is told once.
    for (int round = 0; round < 2; ++round) {
        comment->setFocus(Qt::OtherFocusReason);
        QVERIFY(comment->hasFocus());
        comment->setText(typed);
        f.window().imageFolderBox()->setFocus(Qt::OtherFocusReason);
        QCOMPARE(comment->text(), box);
    }
    QCOMPARE(QString::fromStdString(mirofoto::ReadJpegComment(path)), stored);
    if (stored == "夕焼け" || file == "not a jpeg") QVERIFY(testing_support::readBytes(path) == before);
    QCOMPARE(int(f.ui.messages().size()), messages);
    if (messages) QVERIFY(f.ui.messages()[0].find("コメントを画像ファイルに書き込めませんでした。") == 0);
    // A comment written says so in the status bar; nothing else does.
    const bool written = stored != "夕焼け" && file == "photo";
    QCOMPARE(f.control<QStatusBar>("StatusBar")->currentMessage(),
             written ? QStringLiteral("コメントを書き込みました: p.jpg") : QString());
}

void PreviewPagesTest::aWindowDestroyedUnclosedRunsNoHandlerOfItsWidgets() {
    // A program that returns from main with the window open: the base class
    // takes the focus from the image folder box only after the window's
    // members, its model and store among them, are gone, so leaving the box
    // must not run the window's handler then (nor store the folder's texts).
    WindowFixture f;
    photo(f.photos / "b" / "c" / "p.jpg", 400, 300);
    const std::string chosen = f.photos.str() + "/b/";
    {
        auto w = std::make_unique<Frm_Main>();
        w->load();
        w->activateWindow();
        (void)QTest::qWaitForWindowActive(w.get());
        w->selectTab(kThumbnails);
        w->imageFolderBox()->setFocus(Qt::OtherFocusReason);
        QVERIFY(w->imageFolderBox()->hasFocus());
        w->imageFolderBox()->setText(QString::fromStdString(chosen));
        QVERIFY(QTest::qWaitFor([&] { return !w->scanPending() && w->thumbnailPage()->ready(); }, 10000));
    }
    QVERIFY(!fs::exists(mirofoto::FolderSettingsStore(chosen).file()));
    QVERIFY(f.ui.messages().empty());
}

void PreviewPagesTest::f5MakesVisibleThumbnailsAnewAScrollDoesNot() {
    WindowFixture f;
    for (int i = 0; i < 12; ++i) photo(f.photos / ("p" + std::to_string(10 + i) + ".jpg"), 400, 300);
    Frm_Main& w = f.open();
    QVERIFY(showThumbnails(f));
    std::map<std::string, fs::file_time_type> times;
    for (const mirofoto::ImageEntry& e : page(f)->entries())
        if (fs::exists(e.thumbnailPath())) times[e.thumbnailPath()] = modified(e.thumbnailPath());
    QVERIFY(times.size() >= 4);
    auto* bar = f.control<QScrollBar>("VScroll_サムネイル");
    bar->setValue(bar->value() + 3);
    QVERIFY(settled(f));
    for (const auto& [path, time] : times) QVERIFY2(modified(path) == time, path.c_str());

    w.Form_KeyDown(116);
    QVERIFY(settled(f));
    int remade = 0;
    for (const auto& [path, time] : times) remade += modified(path) != time;
    QCOMPARE(remade, int(times.size()));
}

void PreviewPagesTest::cellsOfAFolderShownEarlierLoadTheirCachedFiles() {
    WindowFixture f;
    for (int i = 0; i < 24; ++i) photo(f.photos / "a" / ("p" + std::to_string(10 + i) + ".jpg"), 400, 300);
    photo(f.photos / "b" / "q.jpg", 400, 300);
    Frm_Main& w = f.open();
    QVERIFY(showThumbnails(f));
    QTreeWidgetItem* a = w.tree()->nodes()[1];
    QTreeWidgetItem* b = w.tree()->nodes()[2];
    auto show = [&](QTreeWidgetItem* node) {
        w.tree()->setCurrentItem(node);
        emit w.tree()->nodeClicked(node);
        return settled(f);
    };
    QVERIFY(show(a));
    auto* bar = f.control<QScrollBar>("VScroll_サムネイル");
    bar->setValue(bar->maximum());
    QVERIFY(settled(f));
    QVERIFY(page(f)->cellHasPicture(23));
    const std::string last = page(f)->entries()[23].thumbnailPath();
    const auto made = modified(last);
    QVERIFY(show(b));
    QVERIFY(show(a));
    QVERIFY(!page(f)->cellHasPicture(23));  // not in view yet
    bar->setValue(bar->maximum());
    QVERIFY(settled(f));
    QVERIFY(page(f)->cellHasPicture(23));
    QVERIFY(modified(last) == made);  // loaded, not made again
}

// The comment box loses the focus when its page is hidden; the focus must
// not land in the image folder box with the path selected, where the next
// key would replace it.
void PreviewPagesTest::aThumbnailClickAfterACommentLeavesTheFolderBoxAlone() {
    WindowFixture f;
    photo(f.photos / "p.jpg", 400, 300);
    Frm_Main& w = f.open();
    QVERIFY(showThumbnails(f));
    auto* comment = static_cast<QLineEdit*>(cellControl(f, "Txt_コメント", 0));
    comment->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(comment->hasFocus());
    typeText(comment, QStringLiteral("海"));
    QTest::mouseClick(cellControl(f, "Img_サムネイル", 0), Qt::LeftButton);
    QCOMPARE(w.selectedTabKey(), kEnlarged);
    QWidget* focused = QApplication::focusWidget();
    QVERIFY(focused);
    QVERIFY(focused != w.imageFolderBox());
    QVERIFY(!w.imageFolderBox()->hasSelectedText());
    const QString path = w.imageFolderBox()->text();
    QTest::keyClick(focused, Qt::Key_T);
    QCOMPARE(w.imageFolderBox()->text(), path);
    QCOMPARE(f.nodeTexts().size(), 1);
}

void PreviewPagesTest::enlargedLinksAtTheEnds_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("previous");
    QTest::addColumn<bool>("next");
    QTest::newRow("one picture") << 1 << 0 << false << false;
    QTest::newRow("first of two") << 2 << 0 << false << true;
    QTest::newRow("last of two") << 2 << 1 << true << false;
    QTest::newRow("middle of five") << 5 << 2 << true << true;
}

void PreviewPagesTest::enlargedLinksAtTheEnds() {
    QFETCH(int, count);
    QFETCH(int, index);
    QFETCH(bool, previous);
    QFETCH(bool, next);
    WindowFixture f;
    for (int i = 0; i < count; ++i) photo(f.photos / ("p" + std::to_string(i) + ".jpg"), 400 + 40 * i, 300);
    const std::string album = f.photos.str() + "/";
    // An unticked picture is visited all the same.
    if (count > 1) mirofoto::PerFolderSettings(album).setImageTicked(album, "p1.jpg", false);
    Frm_Main& w = f.open();
    QVERIFY(showThumbnails(f));
    const int first = index > 0 ? index - 1 : index;
    w.setCurrentImage(first);
    QSignalSpy shown(w.enlargedPage(), &EnlargedPage::pictureShown);
    w.selectTab(kEnlarged);
    // Said while the picture is made, and taken back once it is shown.
    auto* status = f.control<QLabel>("StatusBar_Panel2");
    QCOMPARE(status->text(), QStringLiteral("p%1.jpg を表示中...").arg(first));
    QVERIFY(shown.wait(20000));
    QCOMPARE(status->text(), QString());
    if (index > 0) {  // one step with the next link
        QTest::mouseClick(f.control("Lbl_リンク次の画像"), Qt::LeftButton);
        QVERIFY(shown.wait(20000));
    }
    QCOMPARE(w.enlargedPage()->shownIndex(), index);
    QCOMPARE(f.control("Lbl_リンク前の画像")->isVisible(), previous);
    QCOMPARE(f.control("Lbl_リンク次の画像")->isVisible(), next);
    QVERIFY(f.control("Lbl_リンクサムネイルページ")->isVisible());
    QVERIFY(f.element("Lbl_リンクメニューページ", 1)->isVisible());
    QCOMPARE(f.control<QLabel>("Lbl_拡大画像ファイル名")->text(), QStringLiteral("p%1.jpg").arg(index));
    const QSize picture = f.control<QLabel>("Img_拡大画像")->pixmap().size();
    const auto want = mirofoto::ResolvedSize(400 + 40 * index, 300, mirofoto::FitBox(400 + 40 * index, 300, 480, 360, true));
    QCOMPARE(picture, QSize(want.width, want.height));
    const TwipsRect at = twipsGeometry(f.control("Img_拡大画像"));
    QCOMPARE(at.left, 180);
    QCOMPARE(at.top, 720);
    QCOMPARE(twipsGeometry(f.control("Lbl_拡大画像ファイル名")).top, 720 + at.height + 200);
}

void PreviewPagesTest::enlargedEmptyDisplayPastTheEnd() {
    WindowFixture f;
    photo(f.photos / "p.jpg", 400, 300);
    Frm_Main& w = f.open();
    QVERIFY(showThumbnails(f));
    w.setCurrentImage(3);
    w.selectTab(kEnlarged);
    auto* picture = f.control<QLabel>("Img_拡大画像");
    QVERIFY(picture->isVisible());
    QVERIFY(picture->pixmap().isNull());
    QCOMPARE(twipsGeometry(picture).width, 480 * 15);
    QCOMPARE(twipsGeometry(picture).height, 360 * 15);
    QCOMPARE(f.control<QLabel>("Lbl_拡大画像ファイル名")->text(), QString());
    QVERIFY(!f.control("Lbl_リンク次の画像")->isVisible());
    QVERIFY(w.enlargedPage()->settled());
    // 前の画像 leads back, step by step, to the last picture.
    QSignalSpy shown(w.enlargedPage(), &EnlargedPage::pictureShown);
    for (int i = 2; i >= 0; --i) {
        QVERIFY(f.control("Lbl_リンク前の画像")->isVisible());
        QTest::mouseClick(f.control("Lbl_リンク前の画像"), Qt::LeftButton);
        QCOMPARE(w.enlargedPage()->shownIndex(), i);
    }
    QVERIFY(shown.wait(20000));
    QCOMPARE(f.control<QLabel>("Lbl_拡大画像ファイル名")->text(), QStringLiteral("p.jpg"));
    QVERIFY(!picture->pixmap().isNull());
    QVERIFY(!f.control("Lbl_リンク前の画像")->isVisible());
}

void PreviewPagesTest::exifCommandStoresTurnsOnly() {
    WindowFixture f;
    const std::map<std::string, int> orientation = {{"o1.jpg", 1}, {"o3.jpg", 3}, {"o6.jpg", 6}, {"o8.jpg", 8},
                                                    {"kept.jpg", 6}};
    for (const auto& [name, o] : orientation) photo(f.photos / name, 400, 300, {}, o);
    const std::string album = f.photos.str() + "/";
    mirofoto::PerFolderSettings(album).setTurn(album + "kept.jpg", 0);
    std::map<std::string, std::string> before;
    for (const auto& [name, o] : orientation) before[name] = testing_support::readBytes(f.photos / name);
    Frm_Main& w = f.open();
    QVERIFY(showThumbnails(f));
    QAction* command = w.findChild<QAction*>(QStringLiteral("Menu_EXIFの向きで回転"));
    QVERIFY(command);
    QVERIFY(f.control<QMenu>("Menu_操作")->actions().contains(command));
    QSignalSpy done(page(f), &ThumbnailPage::turnsStored);
    command->trigger();
    QVERIFY(done.count() == 1 || done.wait(20000));
    QCOMPARE(done.takeFirst().at(0).toInt(), 3);
    const std::map<std::string, std::string> want = {
        {"o1.jpg", ""}, {"o3.jpg", "180"}, {"o6.jpg", "90"}, {"o8.jpg", "270"}, {"kept.jpg", "0"}};
    for (const auto& [name, value] : want) QCOMPARE(turnStored(f, album + name), value);
    for (const auto& [name, bytes] : before) QVERIFY(testing_support::readBytes(f.photos / name) == bytes);
    QCOMPARE(int(f.ui.messages().size()), 1);
    // The turned pictures' thumbnails are made anew, turned.
    QVERIFY(settled(f));
    const auto& entries = page(f)->entries();
    for (int i = 0; i < int(entries.size()); ++i) {
        const bool quarter = entries[i].fileName == "o6.jpg" || entries[i].fileName == "o8.jpg";
        QCOMPARE(fileSize(entries[i].thumbnailPath()), quarter ? QSize(68, 90) : QSize(120, 90));
    }
}

void PreviewPagesTest::browserPreviewWritesTheSelectedAlbumAndOpensIt() {
    WindowFixture f;
    photo(f.photos / "a.jpg", 400, 300);
    photo(f.photos / "旅行" / "x.jpg", 400, 300);
    photo(f.photos / "旅行" / "y.jpg", 300, 400);
    fs::create_directories(f.photos / "空");
    Frm_Main& w = f.open();
    w.settings().pageStyle = mirofoto::kModernPages;
    QAction* command = w.findChild<QAction*>(QStringLiteral("Menu_ブラウザで確認"));
    QVERIFY(command);
    QVERIFY(f.control<QMenu>("Menu_操作")->actions().contains(command));
    QSignalSpy shown(&w, &Frm_Main::browserPreviewShown);

    const auto node = [&](const QString& text) -> QTreeWidgetItem* {
        for (QTreeWidgetItem* n : w.tree()->nodes())
            if (n->text(0) == text) return n;
        return nullptr;
    };
    QVERIFY(node(QStringLiteral("旅行")) && node(QStringLiteral("空")));
    w.tree()->setCurrentItem(node(QStringLiteral("旅行")));
    command->trigger();
    QVERIFY(!command->isEnabled());  // one preview at a time
    QVERIFY(shown.count() == 1 || shown.wait(20000));
    QVERIFY(command->isEnabled());
    const std::string page = pathBytes(shown.takeFirst().at(0).toString());
    QVERIFY2(page.starts_with(mirofoto::storageLocation().tempFolder), page.c_str());
    QCOMPARE(f.ui.calls.back().kind, std::string("document"));
    QCOMPARE(f.ui.calls.back().text, page);
    const std::string html = testing_support::readBytes(page);
    QVERIFY(html.starts_with("<!DOCTYPE html>"));
    QVERIFY(html.find("href=\"./x.htm\"") != std::string::npos && html.find("href=\"./y.htm\"") != std::string::npos);
    // That album alone: the preview's menu page lists one.
    const std::string menu = testing_support::readBytes(fs::path(page).parent_path().parent_path() / "index.htm");
    std::size_t entries = 0;
    for (std::size_t at = menu.find("<li>"); at != std::string::npos; at = menu.find("<li>", at + 1)) ++entries;
    QCOMPARE(entries, std::size_t(1));

    // A folder without pictures: said so, nothing opened.
    const std::size_t calls = f.ui.calls.size();
    w.tree()->setCurrentItem(node(QStringLiteral("空")));
    command->trigger();
    QVERIFY(shown.count() == 1 || shown.wait(20000));
    QVERIFY(shown.takeFirst().at(0).toString().isEmpty());
    QCOMPARE(f.ui.calls.size(), calls + 1);
    QCOMPARE(f.ui.calls.back().text, std::string("このフォルダには画像がありません。"));
}

void PreviewPagesTest::clearsFolderChangesAndF5WhilePreviewsArePending() {
    WindowFixture f;
    // Every picture has a size of its own, so its thumbnail tells which it is:
    // landscape in a, portrait in b.
    const int count = 16;
    for (int i = 0; i < count; ++i) {
        photo(f.photos / "a" / ("p" + std::to_string(10 + i) + ".jpg"), 800 + 40 * i, 600);
        photo(f.photos / "b" / ("p" + std::to_string(10 + i) + ".jpg"), 600, 800 + 40 * i);
    }
    Frm_Main& w = f.open();
    w.selectTab(kThumbnails);
    QTreeWidgetItem* nodes[] = {w.tree()->nodes()[1], w.tree()->nodes()[2]};
    for (int round = 0; round < 40; ++round) {
        switch (round % 4) {
        case 0:
        case 2:
            w.tree()->setCurrentItem(nodes[(round / 2) % 2]);
            emit w.tree()->nodeClicked(nodes[(round / 2) % 2]);
            break;
        case 1: w.Form_KeyDown(116); break;
        case 3: page(f)->clear(); break;
        }
        // Let some work and some results through before the next blow.
        for (int turn = 0; turn < round % 7; ++turn) QCoreApplication::processEvents();
        auto* bar = f.control<QScrollBar>("VScroll_サムネイル");
        if (round % 5 == 0) bar->setValue(bar->maximum());
    }
    emit w.tree()->nodeClicked(w.tree()->currentItem());
    QVERIFY(settled(f));
    const bool portrait = w.tree()->currentItem() == nodes[1];
    const auto& entries = page(f)->entries();
    QCOMPARE(int(entries.size()), count);
    int drawn = 0;
    for (int i = 0; i < count; ++i) {
        if (!page(f)->cellHasPicture(i)) continue;
        ++drawn;
        const int w0 = portrait ? 600 : 800 + 40 * i, h0 = portrait ? 800 + 40 * i : 600;
        const auto want = mirofoto::ResolvedSize(w0, h0, mirofoto::FitBox(w0, h0, 120, 90, true));
        QCOMPARE(static_cast<QLabel*>(cellControl(f, "Img_サムネイル", i))->pixmap().size(), QSize(want.width, want.height));
    }
    QVERIFY(drawn >= 4);
    // Closed while previews are being made: nothing is written after the
    // temp folder is gone.
    w.Form_KeyDown(116);
    QVERIFY(QTest::qWaitFor([&] { return page(f)->ready() && !page(f)->maker()->idle(); }, 20000));
    f.close();
    QVERIFY(!fs::exists(mirofoto::storageLocation().tempFolder));
}

void PreviewPagesTest::captionsFollowTheirSwitches_data() {
    QTest::addColumn<bool>("captions");
    QTest::newRow("captions on") << true;
    QTest::newRow("captions off") << false;
}

void PreviewPagesTest::captionsFollowTheirSwitches() {
    QFETCH(bool, captions);
    WindowFixture f;
    const char* comments[] = {"駅前の桜", "", "海辺の夕日", "山の上から", "", "雪の朝", "", "夏祭り"};
    for (int i = 0; i < 8; ++i) {
        samples::PhotoSpec spec;
        spec.width = i == 2 ? 300 : 400;
        spec.height = i == 2 ? 400 : 300;
        spec.seed = 11 + static_cast<std::uint32_t>(i);
        spec.shootingDate = "2026:04:0" + std::to_string(i + 1) + " 09:3" + std::to_string(i) + ":00";
        if (*comments[i]) spec.commentCp932 = *platform::utf8ToCp932(comments[i]);
        samples::writePhotoJpeg(f.photos.str("IMG_000" + std::to_string(i + 1) + ".jpg"), spec);
    }
    Frm_Main& w = f.open();
    const QByteArray dir = qgetenv("MIROFOTO_SCREENSHOT_DIR");
    if (!dir.isEmpty()) w.resize(1024, 800);  // room for the pictures' captions in the screenshots
    const std::int16_t on = captions ? 1 : 0;
    mirofoto::AlbumSettings& s = w.settings();
    s.thumbShowFileName = s.thumbShowDate = s.thumbShowComment = on;
    s.largeShowFileName = 0;  // the date and comment keep their places below it
    s.largeShowDate = s.largeShowComment = on;
    QVERIFY(showThumbnails(f));
    for (const char* name : {"Lbl_ファイル名", "Lbl_撮影日時", "Txt_コメント"})
        QCOMPARE(cellControl(f, name, 0)->isVisible(), captions);
    QCOMPARE(static_cast<QLabel*>(cellControl(f, "Lbl_撮影日時", 1))->text(), QStringLiteral("2026年04月02日 09時31分"));
    const QString suffix = captions ? QString() : QStringLiteral("-no-captions");
    if (!dir.isEmpty()) w.grab().save(QString::fromUtf8(dir) + "/thumbnails" + suffix + ".png");

    w.setCurrentImage(2);
    QSignalSpy shown(w.enlargedPage(), &EnlargedPage::pictureShown);
    w.selectTab(kEnlarged);
    QVERIFY(shown.wait(20000));
    QVERIFY(!f.control("Lbl_拡大画像ファイル名")->isVisible());
    QCOMPARE(f.control("Lbl_拡大画像撮影日時")->isVisible(), captions);
    QCOMPARE(f.control("Lbl_拡大画像コメント")->isVisible(), captions);
    const int nameTop = twipsGeometry(f.control("Lbl_拡大画像ファイル名")).top;
    QCOMPARE(twipsGeometry(f.control("Lbl_拡大画像撮影日時")).top, nameTop + 360);
    QCOMPARE(f.control<QLabel>("Lbl_拡大画像コメント")->text(), QStringLiteral("海辺の夕日"));
    if (!dir.isEmpty()) w.grab().save(QString::fromUtf8(dir) + "/enlarged" + suffix + ".png");
}

void PreviewPagesTest::captionsFollowTheirPicture_data() {
    QTest::addColumn<QSize>("photo");
    QTest::addColumn<QSize>("thumbnail");  // in the 120 × 90 box
    QTest::addColumn<int>("boxWidth");     // the box the options set afterwards (0: none)
    QTest::newRow("4:3") << QSize(400, 300) << QSize(120, 90) << 0;
    QTest::newRow("3:1 panorama") << QSize(600, 200) << QSize(120, 40) << 0;
    QTest::newRow("upright") << QSize(300, 400) << QSize(68, 90) << 0;
    QTest::newRow("box grown, made anew") << QSize(400, 300) << QSize(200, 150) << 200;
}

// The thumbnail control is as large as its picture and the captions stand
// right below it; the frame keeps the template's size.
void PreviewPagesTest::captionsFollowTheirPicture() {
    QFETCH(QSize, photo);
    QFETCH(QSize, thumbnail);
    QFETCH(int, boxWidth);
    WindowFixture f;
    ::photo(f.photos / "p.jpg", photo.width(), photo.height());
    Frm_Main& w = f.open();
    QVERIFY(showThumbnails(f));
    if (boxWidth) {  // as the options do: a new box, the visible thumbnails made anew, no rescan
        w.settings().thumbWidth = boxWidth;
        w.settings().thumbHeight = boxWidth * 3 / 4;
        page(f)->setRedrawThumbnails(true);
        page(f)->drawVisible();
        QVERIFY(settled(f));
    }
    const TwipsRect frame = twipsGeometry(cellControl(f, "Shp_サムネイル枠", 0));
    const TwipsRect image = twipsGeometry(cellControl(f, "Img_サムネイル", 0));
    QCOMPARE(QSize(image.width / 15, image.height / 15), thumbnail);
    QCOMPARE(static_cast<QLabel*>(cellControl(f, "Img_サムネイル", 0))->pixmap().size(), thumbnail);
    QCOMPARE(image.top, frame.top + 200);
    QCOMPARE(twipsGeometry(cellControl(f, "Lbl_ファイル名", 0)).top, image.top + image.height + 140);
    QCOMPARE(twipsGeometry(cellControl(f, "Lbl_撮影日時", 0)).top, image.top + image.height + 440);
    QCOMPARE(twipsGeometry(cellControl(f, "Txt_コメント", 0)).top, image.top + image.height + 700);
    QCOMPARE(frame.height, (120 * 3 / 4) * 15 + 1500);  // the frame stays as the template made it
}

void PreviewPagesTest::theShownAlbumIsNamed_data() {
    QTest::addColumn<QString>("steps");  // tree nodes clicked and pages shown, in order
    QTest::addColumn<QString>("named");  // the album named beside the tabs and in the status bar
    QTest::newRow("thumbnails") << "夏 thumbnails" << "夏";
    QTest::newRow("enlarged") << "夏 thumbnails enlarged" << "夏";
    QTest::newRow("back on the menu page") << "夏 thumbnails menu" << "";
    // The thumbnail page keeps its album when a node is chosen meanwhile on
    // the menu page; the name says which one it is.
    QTest::newRow("a node chosen on the menu page") << "夏 thumbnails menu 冬 thumbnails" << "夏";
    QTest::newRow("a node chosen on the thumbnail page") << "夏 thumbnails 冬" << "冬";
}

void PreviewPagesTest::theShownAlbumIsNamed() {
    QFETCH(QString, steps);
    QFETCH(QString, named);
    WindowFixture f;
    photo(f.photos / "夏" / "a.jpg", 400, 300);
    photo(f.photos / "冬" / "b.jpg", 400, 300);
    Frm_Main& w = f.open();
    w.resize(800, 600);
    for (const QString& step : steps.split(' ')) {
        if (step == "thumbnails") {
            QVERIFY(showThumbnails(f));
        } else if (step == "enlarged") {
            QSignalSpy shown(w.enlargedPage(), &EnlargedPage::pictureShown);
            w.selectTab(kEnlarged);
            QVERIFY(shown.wait(20000));
        } else if (step == "menu") {
            w.selectTab(QStringLiteral("Tab_メニューページ"));
        } else {
            QTreeWidgetItem* node = nullptr;
            for (QTreeWidgetItem* n : w.tree()->nodes())
                if (n->text(0) == step) node = n;
            QVERIFY(node);
            QTest::mouseClick(w.tree()->viewport(), Qt::LeftButton, {}, w.tree()->visualItemRect(node).center());
            QVERIFY(settled(f));
        }
    }
    const QString text = named.isEmpty() ? QString() : QStringLiteral("アルバム: ") + named;
    QCOMPARE(f.control<QLabel>("StatusBar_Panel1")->text(), text);
    auto* label = f.control<QLabel>("Lbl_表示中のアルバム");
    QCOMPARE(label->isVisible(), !named.isEmpty());
    if (!named.isEmpty()) QCOMPARE(label->text(), text);
}

void PreviewPagesTest::pagesKeepTheirControlsApartAndInside_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("size");
    for (const char* kind : {"menu", "thumbnails", "enlarged"})
        for (const QSize size : {QSize(800, 600), QSize(506, 395)})  // a common window and the smallest
            QTest::addRow("%s %dx%d", kind, size.width(), size.height()) << QString::fromUtf8(kind) << size;
}

namespace {

// The part of the page between its visible scroll bars.
QRect areaBetweenBars(QWidget* page) {
    QRect area = page->rect();
    for (QScrollBar* bar : page->findChildren<QScrollBar*>()) {
        if (!bar->isVisible()) continue;
        if (bar->orientation() == Qt::Vertical) area.setRight(std::min(area.right(), bar->x() - 1));
        else area.setBottom(std::min(area.bottom(), bar->y() - 1));
    }
    return area;
}

// Where the control is drawn on the page, after every clip of its parents.
QRect drawnOn(QWidget* page, QWidget* control) {
    return control->visibleRegion().boundingRect().translated(control->mapTo(page, QPoint(0, 0)));
}

}  // namespace

// At any window size nothing is drawn under a scroll bar or outside the
// page, no label hides under a button or a frame, and a name too long for
// its label ends in "…".
void PreviewPagesTest::pagesKeepTheirControlsApartAndInside() {
    QFETCH(QString, kind);
    QFETCH(QSize, size);
    WindowFixture f;
    const char* names[] = {"IMG_0001.jpg", "駅前の桜並木と春の午後の長い長い散歩道.jpg", "IMG_0003.jpg", "IMG_0004.jpg",
                           "IMG_0005.jpg", "IMG_0006.jpg", "IMG_0007.jpg", "IMG_0008.jpg"};
    for (int i = 0; i < 8; ++i) {
        samples::PhotoSpec spec;
        spec.width = i == 2 ? 300 : 400;
        spec.height = i == 2 ? 400 : 300;
        spec.seed = 31 + static_cast<std::uint32_t>(i);
        spec.shootingDate = "2026:04:0" + std::to_string(i + 1) + " 09:30:00";
        spec.commentCp932 = *platform::utf8ToCp932("コメント " + std::to_string(i + 1));
        samples::writePhotoJpeg(f.photos.str(names[i]), spec);
    }
    makeFolder(f.photos, {"二〇二六年春の家族旅行で訪れた京都と奈良の寺社/a.jpg", "夏/b.jpg"});
    mirofoto::PerFolderSettings(f.photos.str() + "/").setMenuTitle("家族のアルバム 二〇二六年の写真から選んだもの");
    Frm_Main& w = f.open();
    w.resize(size);
    QVERIFY(f.waitShown());
    QWidget* area = nullptr;
    if (kind == "menu") {
        area = f.control("Pic_メニューページ");
    } else {
        QVERIFY(showThumbnails(f));
        area = f.control("Pic_サムネイルページ");
        if (kind == "enlarged") {
            w.setCurrentImage(7);  // the long name
            QSignalSpy shown(w.enlargedPage(), &EnlargedPage::pictureShown);
            w.selectTab(kEnlarged);
            QVERIFY(shown.wait(20000));
            area = f.control("Pic_拡大画像ページ");
        }
    }
    QVERIFY(area->isVisible());
    if (const QByteArray dir = qgetenv("MIROFOTO_SCREENSHOT_DIR"); !dir.isEmpty())
        w.grab().save(QStringLiteral("%1/%2-%3x%4.png").arg(QString::fromUtf8(dir), kind).arg(size.width()).arg(size.height()));

    const QRect inside = areaBetweenBars(area);
    for (QWidget* c : area->findChildren<QWidget*>()) {
        if (!c->isVisible() || qobject_cast<QScrollBar*>(c) || qobject_cast<QScrollBar*>(c->parentWidget())) continue;
        const QRect drawn = drawnOn(area, c);
        QVERIFY2(drawn.isEmpty() || inside.contains(drawn),
                 qPrintable(c->objectName() + QStringLiteral(" at %1,%2 %3x%4").arg(drawn.x()).arg(drawn.y())
                                                   .arg(drawn.width()).arg(drawn.height())));
    }
    // Pairs that must never overlap.
    std::vector<std::pair<QWidget*, QWidget*>> apart;
    if (kind == "menu") {
        apart = {{f.control("Lbl_メニュータイトル"), f.control("Cmd_タイトルを入力")},
                 {f.control("Lbl_メニューサブタイトル"), f.control("Cmd_サブタイトルを入力")}};
        for (int i = 0; i < w.menuPage()->entryCount(); ++i)
            apart.emplace_back(f.element("Lbl_メニュー", i), f.element("Cmd_メニューを入力", i));
    } else if (kind == "thumbnails") {
        for (int i = 0; i < page(f)->cellCount(); ++i) {
            apart.emplace_back(cellControl(f, "Lbl_No", i), cellControl(f, "Img_サムネイル", i));
            apart.emplace_back(cellControl(f, "Lbl_No", i), cellControl(f, "Cmd_LTurn", i));
        }
        apart.emplace_back(f.element("Lbl_リンクメニューページ", 0), cellControl(f, "Shp_サムネイル枠", 0));
    }
    for (const auto& [a, b] : apart) {
        QVERIFY(a && b);
        if (!a->isVisible() || !b->isVisible()) continue;
        QVERIFY2(!drawnOn(area, a).intersects(drawnOn(area, b)), qPrintable(a->objectName() + " / " + b->objectName()));
    }
    // A label shows its whole text, or as much as fits and "…".
    for (QLabel* label : area->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->textFormat() == Qt::RichText || label->text().isEmpty()) continue;
        if (!label->pixmap().isNull()) continue;
        const int needed = label->fontMetrics().horizontalAdvance(label->text());
        QVERIFY2(needed <= label->contentsRect().width(), qPrintable(label->objectName() + ": " + label->text()));
    }
    if (kind == "thumbnails") {
        // The long name sorts last.
        const QString shown = static_cast<QLabel*>(cellControl(f, "Lbl_ファイル名", 7))->text();
        QVERIFY2(shown.endsWith(QChar(0x2026)) && shown.size() > 1, qPrintable(shown));
        QCOMPARE(page(f)->cellFileName(7), QString::fromUtf8(names[1]));
    }
}


// While a cell's preview is made, the picture's embedded thumbnail stands in:
// at the preview's size, turned as the preview is; a thumbnail of another
// shape (left behind by an editor that cropped the picture) never shows.
void PreviewPagesTest::embeddedThumbnailsStandInUntilThePreviewIsMade() {
    WindowFixture f;
    const QColor blue(0, 0, 255), red(255, 0, 0), yellow(255, 255, 0), green(0, 255, 0);
    // 16:9 with a 4:3 thumbnail padded by black bands, as cameras make them.
    testing_support::writeBytes(f.photos / "a.jpg",
                                withExifThumbnail(flatJpeg(400, 225, blue), flatJpeg(160, 120, red, {}, 15)));
    // Cropped to a square after the thumbnail was made.
    testing_support::writeBytes(f.photos / "b.jpg", withExifThumbnail(flatJpeg(300, 300, blue), flatJpeg(160, 120, green)));
    // Taken in portrait: stored on its side, its thumbnail too (red on the left).
    testing_support::writeBytes(f.photos / "c.jpg",
                                withExifThumbnail(flatJpeg(400, 300, blue), flatJpeg(160, 120, red, yellow), 6));
    testing_support::writeBytes(f.photos / "d.jpg", damagedWithThumbnail());

    struct Seen {
        QSize size;
        QColor top, centre, bottom;
    };
    std::map<int, Seen> seen;
    Frm_Main& w = f.open();
    connect(page(f), &ThumbnailPage::placeholderShown, this, [&](int i) {
        const QImage shown = static_cast<QLabel*>(cellControl(f, "Img_サムネイル", i))->pixmap().toImage();
        seen[i] = {shown.size(), shown.pixelColor(shown.width() / 2, shown.height() / 5),
                   shown.pixelColor(shown.width() / 2, shown.height() / 2),
                   shown.pixelColor(shown.width() / 2, shown.height() * 4 / 5)};
    });
    (void)w;
    QVERIFY(showThumbnails(f));
    for (int i = 0; i < 3; ++i) QVERIFY(page(f)->cellHasPicture(i));
    // Damaged past its header: the stand-in goes again when the preview fails.
    QVERIFY(seen.count(3));
    QVERIFY(!page(f)->cellHasPicture(3));
    QVERIFY(static_cast<QLabel*>(cellControl(f, "Img_サムネイル", 3))->pixmap().isNull());

    auto finalPicture = [&](int i) { return static_cast<QLabel*>(cellControl(f, "Img_サムネイル", i))->pixmap().toImage(); };
    QVERIFY(seen.count(0));
    QVERIFY2(near(seen[0].centre, red), qPrintable(seen[0].centre.name()));
    QCOMPARE(seen[0].size, QSize(120, 68));
    QCOMPARE(finalPicture(0).size(), QSize(120, 68));  // nothing moved when the preview came
    QVERIFY(near(finalPicture(0).pixelColor(60, 34), blue));

    QVERIFY(!seen.count(1));  // stale: the cell waited for its preview
    QVERIFY(near(finalPicture(1).pixelColor(45, 45), blue));

    QVERIFY(seen.count(2));
    QCOMPARE(seen[2].size, QSize(68, 90));
    QVERIFY2(near(seen[2].top, red), qPrintable(seen[2].top.name()));        // its left half, turned upright
    QVERIFY2(near(seen[2].bottom, yellow), qPrintable(seen[2].bottom.name()));
    QCOMPARE(finalPicture(2).size(), QSize(68, 90));
    QVERIFY(near(finalPicture(2).pixelColor(34, 45), blue));
}

// A cell scrolled into view (its file not made anew, only made when it is
// missing) whose picture is damaged ends empty, as without a stand-in.
void PreviewPagesTest::aStandInGoesWhenItsPictureCannotBeMade() {
    WindowFixture f;
    for (int i = 0; i < 23; ++i)
        testing_support::writeBytes(f.photos / ("p" + std::to_string(10 + i) + ".jpg"), flatJpeg(400, 300, Qt::blue).toStdString());
    testing_support::writeBytes(f.photos / "p33.jpg", damagedWithThumbnail());
    std::vector<int> shown;
    f.open();
    connect(page(f), &ThumbnailPage::placeholderShown, this, [&](int i) { shown.push_back(i); });
    QVERIFY(showThumbnails(f));
    QVERIFY(shown.empty());
    auto* bar = f.control<QScrollBar>("VScroll_サムネイル");
    bar->setValue(bar->maximum());
    QVERIFY(settled(f));
    QCOMPARE(shown, std::vector<int>{23});
    QVERIFY(page(f)->cellHasPicture(22));
    QVERIFY(!page(f)->cellHasPicture(23));
    QVERIFY(static_cast<QLabel*>(cellControl(f, "Img_サムネイル", 23))->pixmap().isNull());
}

// The list comes in before any date or comment is read: the cells in view
// show theirs first, the others follow on the pool while the search's
// progress shows, and a comment typed while its picture's read is still
// under way is the one that stays, in the file and in the cell.
void PreviewPagesTest::datesAndCommentsFollowTheList() {
    WindowFixture f;
    constexpr int kCount = 40, kLast = kCount - 1;
    const auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    for (int i = 0; i < kCount; ++i) {
        samples::PhotoSpec spec;
        spec.width = 160;
        spec.height = 120;
        spec.shootingDate = ("2026:04:" + two(1 + i % 28) + " 09:" + two(i) + ":00").toStdString();
        spec.commentCp932 = *platform::utf8ToCp932(("写真" + two(i)).toStdString());
        samples::writePhotoJpeg(f.photos.str(("IMG_" + two(i) + ".jpg").toStdString()), spec);
    }
    const auto shows = [&](int i, const QString& comment) {
        return static_cast<QLabel*>(cellControl(f, "Lbl_撮影日時", i))->text() ==
                   QStringLiteral("2026年04月%1日 09時%2分").arg(two(1 + i % 28), two(i)) &&
               static_cast<QLineEdit*>(cellControl(f, "Txt_コメント", i))->text() == comment;
    };
    Frm_Main& w = f.open();
    // The pool's answer for the last picture (its old comment) waits for
    // the test; every read on the pool is counted.
    struct Reads {
        std::promise<void> gate;
        std::shared_future<void> held = gate.get_future().share();
        std::mutex mutex;
        std::map<std::string, int> count;
        bool opened = false;
        void open() {
            if (!std::exchange(opened, true)) gate.set_value();
        }
    };
    auto reads = std::make_shared<Reads>();
    struct Open {
        std::shared_ptr<Reads> reads;
        ~Open() { reads->open(); }  // a failed check must not leave a worker waiting
    } open{reads};
    const std::string lastPath = f.photos.str("IMG_39.jpg");
    page(f)->setBackgroundDetailsReader([reads, lastPath](const std::string& path) {
        const mirofoto::ImageDetails read = mirofoto::readImageDetails(path);
        if (path == lastPath) reads->held.wait();
        std::lock_guard lock(reads->mutex);
        ++reads->count[path];
        return read;
    });
    QSignalSpy allRead(page(f), &ThumbnailPage::detailsAllRead);
    QVERIFY(showThumbnails(f));
    QVERIFY(shows(0, "写真00") && shows(5, "写真05"));
    auto* status = f.control<QLabel>("StatusBar_Panel2");
    auto* progress = f.control<QProgressBar>("ProgressBar");
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("画像ファイル検索中..."), 20000);
    QVERIFY(progress->isVisible() && progress->maximum() == kCount && progress->value() < kCount);
    const QByteArray dir = qgetenv("MIROFOTO_SCREENSHOT_DIR");
    if (!dir.isEmpty()) w.grab().save(QString::fromUtf8(dir) + "/thumbnails-reading-details.png");

    // At the end of the page the last cells wait for their reads. Entering
    // a box brings what the file holds; the typed text replaces it and is
    // written when the box is left.
    auto* bar = f.control<QScrollBar>("VScroll_サムネイル");
    bar->setValue(bar->maximum());
    auto* box = static_cast<QLineEdit*>(cellControl(f, "Txt_コメント", kLast));
    QCOMPARE(box->text(), QString());
    box->setFocus(Qt::TabFocusReason);
    QCOMPARE(box->text(), QStringLiteral("写真39"));
    box->selectAll();
    // Typed as an input method hands it over: one key event with the text.
    QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QStringLiteral("新しい"), Qt::NoModifier);
    w.imageFolderBox()->setFocus(Qt::OtherFocusReason);
    QCOMPARE(QString::fromStdString(mirofoto::ReadJpegComment(lastPath)), QStringLiteral("新しい"));

    // The held answer comes back with the old comment and changes nothing;
    // the others at the end show theirs.
    reads->open();
    QVERIFY(allRead.count() == 1 || allRead.wait(20000));
    QVERIFY(shows(kLast, "新しい") && shows(kLast - 1, "写真38") && shows(kLast - 4, "写真35"));
    QCOMPARE(QString::fromStdString(page(f)->entries()[kLast].comment), QStringLiteral("新しい"));
    QCOMPARE(QString::fromStdString(mirofoto::ReadJpegComment(lastPath)), QStringLiteral("新しい"));
    {
        std::lock_guard lock(reads->mutex);
        QCOMPARE(int(reads->count.size()), kCount);
        for (const auto& [path, n] : reads->count) QVERIFY2(n == 1, path.c_str());
    }
    QVERIFY(settled(f));
    QTRY_COMPARE(status->text(), QString());
    QVERIFY(!progress->isVisible());
    if (!dir.isEmpty()) w.grab().save(QString::fromUtf8(dir) + "/thumbnails-details-read.png");
}

// While the enlarged picture is made, the cell's thumbnail file stands in,
// scaled up to the enlarged size, or without it the picture's embedded
// thumbnail, turned as the picture is; a stale one never shows, and the
// exact picture takes the stand-in's place without moving anything.
void PreviewPagesTest::theEnlargedPageShowsAStandInAtItsSizeFirst() {
    WindowFixture f;
    const QColor blue(0, 0, 255), red(255, 0, 0), yellow(255, 255, 0), green(0, 255, 0), magenta(255, 0, 255);
    testing_support::writeBytes(f.photos / "a.jpg", withExifThumbnail(flatJpeg(400, 300, blue), flatJpeg(160, 120, red)));
    testing_support::writeBytes(f.photos / "b.jpg", withExifThumbnail(flatJpeg(300, 300, blue), flatJpeg(160, 120, green)));
    testing_support::writeBytes(f.photos / "c.jpg",
                                withExifThumbnail(flatJpeg(400, 300, blue), flatJpeg(160, 120, red, yellow), 6));
    testing_support::writeBytes(f.photos / "d.jpg", damagedWithThumbnail());
    Frm_Main& w = f.open();
    QVERIFY(showThumbnails(f));
    auto* picture = f.control<QLabel>("Img_拡大画像");
    struct Seen {
        QSize size;
        QColor top, bottom;
        TwipsRect name;
    };
    auto look = [&] {
        const QImage shown = picture->pixmap().toImage();
        return Seen{shown.size(), shown.pixelColor(shown.width() / 2, shown.height() / 5),
                    shown.pixelColor(shown.width() / 2, shown.height() * 4 / 5),
                    twipsGeometry(f.control("Lbl_拡大画像ファイル名"))};
    };
    std::optional<Seen> standIn;
    const QByteArray dir = qgetenv("MIROFOTO_SCREENSHOT_DIR");
    connect(w.enlargedPage(), &EnlargedPage::placeholderShown, this, [&](int i) {
        standIn = look();
        if (!dir.isEmpty()) w.grab().save(QString::fromUtf8(dir) + QStringLiteral("/enlarged-stand-in-%1.png").arg(i));
    });
    QSignalSpy shown(w.enlargedPage(), &EnlargedPage::pictureShown);
    auto display = [&](int i) {
        standIn.reset();
        shown.clear();
        w.setCurrentImage(i);
        w.selectTab(kEnlarged);
        return shown.wait(20000);
    };

    // The thumbnail file in the cache comes first (made another colour here
    // to tell it from the exact picture).
    const std::string cachedA = page(f)->entries()[0].thumbnailPath();
    testing_support::writeBytes(cachedA, flatJpeg(120, 90, magenta).toStdString());
    QVERIFY(display(0));
    QVERIFY(standIn);
    QVERIFY2(near(standIn->top, magenta), qPrintable(standIn->top.name()));
    QCOMPARE(standIn->size, QSize(400, 300));
    Seen exact = look();
    QCOMPARE(exact.size, QSize(400, 300));
    QVERIFY(near(exact.top, blue));
    QCOMPARE(exact.name, standIn->name);  // nothing moved

    // Without it, the embedded thumbnail.
    for (int i = 0; i < 3; ++i) fs::remove(page(f)->entries()[i].thumbnailPath());
    QVERIFY(display(0));
    QVERIFY(standIn);
    QVERIFY2(near(standIn->top, red), qPrintable(standIn->top.name()));
    QCOMPARE(standIn->size, QSize(400, 300));
    QVERIFY(near(look().top, blue));

    // Stale (the picture cropped to a square): the page waits for the picture.
    QVERIFY(display(1));
    QVERIFY(!standIn);
    QCOMPARE(look().size, QSize(300, 300));
    QVERIFY(near(look().top, blue));

    // Taken in portrait: the stand-in stands upright, its left half on top.
    QVERIFY(display(2));
    QVERIFY(standIn);
    QCOMPARE(standIn->size, QSize(270, 360));
    QVERIFY2(near(standIn->top, red), qPrintable(standIn->top.name()));
    QVERIFY2(near(standIn->bottom, yellow), qPrintable(standIn->bottom.name()));
    exact = look();
    QCOMPARE(exact.size, QSize(270, 360));
    QVERIFY(near(exact.top, blue));
    QCOMPARE(exact.name, standIn->name);

    // Damaged past its header: the stand-in goes again, the page ends empty.
    QVERIFY(display(3));
    QVERIFY(standIn);
    QVERIFY(picture->pixmap().isNull());
    QCOMPARE(twipsGeometry(picture).width, 480 * 15);
}

QTEST_MAIN(PreviewPagesTest)
#include "preview_pages_test.moc"
