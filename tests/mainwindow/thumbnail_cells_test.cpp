// The thumbnail page on a large folder: widgets exist only for the cells
// near the view and follow the scroll, while every cell keeps its name,
// tick, turn and comment, and Tab walks on past the cells that have widgets.
#include "tests/mainwindow/window_fixture.h"
#include "app/settings/per_folder_settings.h"
#include "app/util/jpeg_info.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include <cstdio>

using namespace window_testing;
using namespace mirofoto::mainwindow;

namespace {

/// count small 4:3 pictures p000.jpg, p001.jpg, ..., each of its own colour.
void pictures(WindowFixture& f, int count) {
    QImage image(400, 300, QImage::Format_RGB32);
    for (int i = 0; i < count; ++i) {
        image.fill(QColor::fromHsv(i * 37 % 360, 160, 220));
        char name[16];
        std::snprintf(name, sizeof name, "p%03d.jpg", i);
        QVERIFY(image.save(QString::fromStdString((f.photos / name).string()), "JPEG", 80));
    }
}

ThumbnailPage* page(WindowFixture& f) { return f.window().thumbnailPage(); }

bool showThumbnails(WindowFixture& f) {
    f.window().selectTab(QStringLiteral("Tab_サムネイルページ"));
    return QTest::qWaitFor([&] { return page(f)->ready() && page(f)->previewsSettled(); }, 30000);
}

bool scrollTo(WindowFixture& f, int value) {
    f.control<QScrollBar>("VScroll_サムネイル")->setValue(value);
    return QTest::qWaitFor([&] { return page(f)->previewsSettled(); }, 30000);
}

int widgetSets(WindowFixture& f) { return int(page(f)->findChildren<QCheckBox*>(QStringLiteral("Chk_画像選択")).size()); }

/// The indexes the page's check boxes carry, -1 for the free ones.
std::vector<int> boundIndexes(WindowFixture& f) {
    std::vector<int> out;
    for (QCheckBox* tick : page(f)->findChildren<QCheckBox*>(QStringLiteral("Chk_画像選択")))
        if (const int i = tick->property("index").toInt(); i >= 0) out.push_back(i);
    std::sort(out.begin(), out.end());
    return out;
}

/// Whether cell i's frame stands whole between the page's top and its bottom bar.
bool frameInView(WindowFixture& f, int i) {
    QWidget* frame = f.element("Shp_サムネイル枠", i);
    if (!frame || !frame->isVisible()) return false;
    const TwipsRect r = twipsGeometry(frame);
    return r.top >= 0 && r.top + r.height <= twipsGeometry(page(f)->clipArea()).height;
}

}  // namespace

class ThumbnailCellsTest : public QObject {
    Q_OBJECT
private slots:
    void aLargeFolderHasWidgetsOnlyNearTheView();
    void ticksAndCommentsSurviveScrollingAway();
    void tabWalksOnPastTheCellsWithWidgets_data();
    void tabWalksOnPastTheCellsWithWidgets();
};

void ThumbnailCellsTest::aLargeFolderHasWidgetsOnlyNearTheView() {
    WindowFixture f;
    pictures(f, 500);
    const std::string album = f.photos.str() + "/";
    mirofoto::PerFolderSettings(album).setImageTicked(album, "p499.jpg", false);
    mirofoto::PerFolderSettings(album).setTurn(album + "p498.jpg", 90);
    Frm_Main& w = f.open();
    const int columns = w.settings().columns;
    QVERIFY(showThumbnails(f));
    QCOMPARE(page(f)->cellCount(), 500);
    // Every cell is known, with or without widgets.
    QVERIFY(!page(f)->cellBound(499));
    QCOMPARE(page(f)->cellFileName(499), QStringLiteral("p499.jpg"));
    QVERIFY(page(f)->cellShown(499));
    // One frame height (2850) a row, the last row at the page's top.
    QCOMPARE(f.control<QScrollBar>("VScroll_サムネイル")->maximum(), ((500 + columns - 1) / columns - 1) * 2850 / 100);
    const int atTop = widgetSets(f);
    QVERIFY2(atTop >= 2 * columns && atTop <= 8 * columns, qPrintable(QString::number(atTop)));
    std::vector<int> bound = boundIndexes(f);
    QCOMPARE(int(bound.size()), page(f)->boundCellCount());
    QCOMPARE(bound.front(), 0);
    QVERIFY(bound.back() < 8 * columns);
    for (int i = 0; i < columns * 2; ++i) QVERIFY2(page(f)->cellHasPicture(i), qPrintable(QString::number(i)));

    auto* bar = f.control<QScrollBar>("VScroll_サムネイル");
    QVERIFY(scrollTo(f, bar->maximum() / 2));
    bound = boundIndexes(f);
    QVERIFY(bound.front() > 200 && bound.back() < 300);
    for (int i : bound) QCOMPARE(page(f)->cellFileName(i), f.element("Lbl_ファイル名", i)->property("name").toString());
    if (const QByteArray dir = qgetenv("MIROFOTO_SCREENSHOT_DIR"); !dir.isEmpty())
        w.grab().save(QStringLiteral("%1/thumbnails-500-middle.png").arg(QString::fromUtf8(dir)));

    QVERIFY(scrollTo(f, bar->maximum()));
    QVERIFY(widgetSets(f) <= 8 * columns);
    bound = boundIndexes(f);
    QCOMPARE(bound.back(), 499);
    QVERIFY(!page(f)->cellBound(0) && !f.element("Chk_画像選択", 0));
    // The widgets carry the cell they show now: names, ticks and turns of the last cells.
    for (int i = 496; i < 500; ++i) {
        const QString name = QStringLiteral("p%1.jpg").arg(i);
        QCOMPARE(f.element("Lbl_ファイル名", i)->property("name").toString(), name);
        QCOMPARE(static_cast<QLabel*>(f.element("Lbl_No", i))->text(), QStringLiteral("%1").arg(i + 1, 4, 10, QChar('0')));
        QCOMPARE(f.element("Img_サムネイル", i)->accessibleName(), name);
        QCOMPARE(static_cast<QCheckBox*>(f.element("Chk_画像選択", i))->isChecked(), i != 499);
        QCOMPARE(f.element("Txt_コメント", i)->isEnabled(), i != 499);
        QVERIFY(f.element("Cmd_RTurn", i)->isVisible());
        QVERIFY(page(f)->cellHasPicture(i));
        const QSize shown = static_cast<QLabel*>(f.element("Img_サムネイル", i))->pixmap().size();
        QCOMPARE(shown, i == 498 ? QSize(68, 90) : QSize(120, 90));
    }

    // Back at the top, the first cells show their pictures again at once.
    bar->setValue(0);
    QVERIFY(page(f)->cellBound(0));
    QCOMPARE(static_cast<QLabel*>(f.element("Img_サムネイル", 0))->pixmap().size(), QSize(120, 90));
    QCOMPARE(f.element("Lbl_ファイル名", 0)->property("name").toString(), QStringLiteral("p000.jpg"));
}

void ThumbnailCellsTest::ticksAndCommentsSurviveScrollingAway() {
    WindowFixture f;
    pictures(f, 80);
    Frm_Main& w = f.open();
    QVERIFY(showThumbnails(f));
    auto* tick = static_cast<QCheckBox*>(f.element("Chk_画像選択", 1));
    tick->click();
    QVERIFY(!tick->isChecked());
    // Refused by the file (no Shift_JIS form) when left: kept in the box.
    auto* refused = static_cast<QLineEdit*>(f.element("Txt_コメント", 3));
    refused->setFocus(Qt::OtherFocusReason);
    typeText(refused, QStringLiteral("海 한"));
    // Typed and not left: the scroll writes it, as leaving the box does.
    auto* comment = static_cast<QLineEdit*>(f.element("Txt_コメント", 2));
    comment->setFocus(Qt::OtherFocusReason);
    QVERIFY(comment->hasFocus());
    typeText(comment, QStringLiteral("夕焼けの海"));
    QCOMPARE(int(f.ui.messages().size()), 1);
    QVERIFY(scrollTo(f, f.control<QScrollBar>("VScroll_サムネイル")->maximum()));
    QVERIFY(!page(f)->cellBound(2) && !page(f)->cellBound(3));
    QCOMPARE(QString::fromStdString(mirofoto::ReadJpegComment(f.photos.str() + "/p002.jpg")), QStringLiteral("夕焼けの海"));
    QCOMPARE(mirofoto::ReadJpegComment(f.photos.str() + "/p003.jpg"), std::string());
    QCOMPARE(int(f.ui.messages().size()), 1);
    // The focus left the box before it was given to another cell.
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(page(f)));
    // The slots now show other cells, ticked as they are.
    for (int i : boundIndexes(f)) QVERIFY(static_cast<QCheckBox*>(f.element("Chk_画像選択", i))->isChecked());
    QCOMPARE(page(f)->cellComment(3), QStringLiteral("海 한"));

    QVERIFY(scrollTo(f, 0));
    QVERIFY(!static_cast<QCheckBox*>(f.element("Chk_画像選択", 1))->isChecked());
    QVERIFY(!f.element("Lbl_ファイル名", 1)->isEnabled());
    QCOMPARE(static_cast<QLineEdit*>(f.element("Txt_コメント", 2))->text(), QStringLiteral("夕焼けの海"));
    QCOMPARE(static_cast<QLineEdit*>(f.element("Txt_コメント", 3))->text(), QStringLiteral("海 한"));
    (void)w;
}

void ThumbnailCellsTest::tabWalksOnPastTheCellsWithWidgets_data() {
    QTest::addColumn<bool>("forward");
    QTest::newRow("Tab from the last cell with widgets") << true;
    QTest::newRow("Shift+Tab from the first cell with widgets") << false;
}

void ThumbnailCellsTest::tabWalksOnPastTheCellsWithWidgets() {
    QFETCH(bool, forward);
    WindowFixture f;
    pictures(f, 120);
    f.open();
    QVERIFY(showThumbnails(f));
    auto* bar = f.control<QScrollBar>("VScroll_サムネイル");
    if (!forward) QVERIFY(scrollTo(f, bar->maximum() / 2));
    const std::vector<int> bound = boundIndexes(f);
    const int from = forward ? bound.back() : bound.front();
    const int to = forward ? from + 1 : from - 1;
    QVERIFY(!page(f)->cellBound(to));
    const int before = bar->value();
    QWidget* start = f.element(forward ? "Cmd_RTurn" : "Txt_コメント", from);
    start->setFocus(Qt::OtherFocusReason);
    QVERIFY(start->hasFocus());
    QTest::keyClick(start, Qt::Key_Tab, forward ? Qt::NoModifier : Qt::ShiftModifier);
    QVERIFY(page(f)->cellBound(to));
    QVERIFY(forward ? bar->value() > before : bar->value() < before);
    QVERIFY(frameInView(f, to));
    // The next cell's first control (its comment box), or the previous cell's last.
    QCOMPARE(QApplication::focusWidget(), f.element(forward ? "Txt_コメント" : "Cmd_RTurn", to));
    // Within a cell Tab keeps its order: comment, tick, the two turn buttons.
    QWidget* comment = f.element("Txt_コメント", to);
    comment->setFocus(Qt::OtherFocusReason);
    for (const char* next : {"Chk_画像選択", "Cmd_LTurn", "Cmd_RTurn"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.element(next, to));
    }
    // The focus chain (what Tab and a screen reader walk) takes the cells
    // with widgets in their order, whichever widgets they were given.
    const std::vector<int> now = boundIndexes(f);
    QStringList want, walked;
    for (int i : now)
        for (const char* name : {"Txt_コメント", "Chk_画像選択", "Cmd_LTurn", "Cmd_RTurn"})
            want << QStringLiteral("%1 %2").arg(QString::fromUtf8(name)).arg(i);
    QWidget* at = f.element("Txt_コメント", now.front());
    for (int steps = 0; at && walked.size() < want.size() && steps < 5000; ++steps, at = at->nextInFocusChain())
        if (at->isVisible() && (at->focusPolicy() & Qt::TabFocus) && at->property("index").toInt() >= 0 &&
            at->parentWidget() == page(f)->clipArea())
            walked << QStringLiteral("%1 %2").arg(at->objectName()).arg(at->property("index").toInt());
    QCOMPARE(walked, want);
}

QTEST_MAIN(ThumbnailCellsTest)
#include "thumbnail_cells_test.moc"
