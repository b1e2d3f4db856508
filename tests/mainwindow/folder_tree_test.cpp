// The image folder box and the folder tree: order, colours and ticks from a
// prepared per-folder file, ticks stored at once, typing, the browse button,
// the failure message and the tree's clicks.
#include "tests/mainwindow/window_fixture.h"

#include "app/albumoutput/image_folder_scan.h"
#include "app/settings/ini_store.h"
#include "app/settings/settings_files.h"
#include "platform/codepage.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidgetItem>

#include <cerrno>
#include <filesystem>

using namespace window_testing;
using namespace mirofoto::mainwindow;
namespace fs = std::filesystem;

namespace {

QString nodeState(QTreeWidgetItem* node) {
    const bool black = node->foreground(0).color() == QColor(0, 0, 0);
    const bool grey = node->foreground(0).color() == QColor(0xC0, 0xC0, 0xC0);
    return node->text(0) + (black ? " black" : grey ? " grey" : " ?") +
           (FolderTree::isTicked(node) ? " ticked" : " clear") + " " +
           node->data(0, FolderTree::ImageRole).toString();
}

QStringList states(Frm_Main& w) {
    QStringList out;
    for (QTreeWidgetItem* node : w.tree()->nodes()) out << nodeState(node);
    return out;
}

QStringList menuEntries(WindowFixture& f) {
    QStringList out;
    for (int i = 0; i < f.window().menuPage()->entryCount(); ++i)
        out << static_cast<QLabel*>(f.element("Lbl_メニュー", i))->text();
    return out;
}

}  // namespace

class FolderTreeTest : public QObject {
    Q_OBJECT
private slots:
    void orderColoursAndTicksFromTheStoredFile();
    void aNodeCheckIsStoredAtOnce();
    void aNameThatIsNotUtf8IsShownEscapedAndStoredAsItsBytes();
    void albumsSharingAStoredKeyAreMarked();
    void typingRebuildsOnEveryKeystroke();
    void linkTextsAreStoredOnlyForACommittedFolder_data();
    void linkTextsAreStoredOnlyForACommittedFolder();
    void browseButton();
    void anUnlistableFolderShowsTheTrappedMessage();
    void clicksOnTheTree();
};

void FolderTreeTest::orderColoursAndTicksFromTheStoredFile() {
    WindowFixture f;
    makeFolder(f.photos, {"r.jpg", "b/x.jpg", "A/y.jpg", "grey", "off/z.jpg", "weird/w.jpg", "Ä/v.jpg"});
    testing_support::writeBytes(f.photos / "file.txt", "not a folder");
    // The file as the program keeps it: CP932, CR LF, keys in any letter case.
    const std::string ini = "[チェック]\r\nOFF=False\r\ngrey=True\r\nweird=yes\r\nb=True\r\n";
    testing_support::writeBytes(f.perFolderFile(), *platform::utf8ToCp932(ini));

    Frm_Main& w = f.open();
    const QString root = QString::fromStdString(f.photos.str() + "/");
    QCOMPARE(states(w), (QStringList{root + " black ticked imgClosedFolder", "A black ticked imgClosedFolder",
                                     "b black ticked imgClosedFolder", "grey grey clear imgClosedFolder",
                                     "off black clear imgClosedFolder", "weird black clear imgClosedFolder",
                                     "Ä black ticked imgClosedFolder"}));
    QVERIFY(w.tree()->topLevelItem(0)->isExpanded());
    QCOMPARE(FolderTree::keyOf(w.tree()->nodes()[2]), root + "b/");
    // The menu page lists the ticked ones in the same order.
    QCOMPARE(menuEntries(f), (QStringList{QString::fromStdString(fs::path(f.photos.str()).filename().string()),
                                          "A", "b", "Ä"}));
    w.tree()->setCurrentItem(w.tree()->nodes()[1]);
    QCOMPARE(w.tree()->nodes()[1]->data(0, FolderTree::ImageRole).toString(), QStringLiteral("imgOpenFolder"));
}

void FolderTreeTest::aNodeCheckIsStoredAtOnce() {
    WindowFixture f;
    makeFolder(f.photos, {"a/1.jpg", "b/2.jpg", "grey"});
    Frm_Main& w = f.open();
    QCOMPARE(w.menuPage()->entryCount(), 2);
    auto tick = [&](int node) {
        w.tree()->setFocus();
        w.tree()->setCurrentItem(w.tree()->nodes()[node]);
        QTest::keyClick(w.tree(), Qt::Key_Space);
    };
    tick(1);  // clears "a"
    // Stored before anything else runs.
    QCOMPARE(mirofoto::readWholeIniValue("チェック", "a", f.perFolderFile()), std::string("False"));
    QVERIFY(f.waitShown());
    QCOMPARE(menuEntries(f), (QStringList{"b"}));
    tick(1);
    QCOMPARE(mirofoto::readWholeIniValue("チェック", "a", f.perFolderFile()), std::string("True"));
    QVERIFY(f.waitShown());
    QCOMPARE(menuEntries(f), (QStringList{"a", "b"}));

    // A grey node's tick is stored, then undone by the page's rules.
    tick(3);
    QCOMPARE(mirofoto::readWholeIniValue("チェック", "grey", f.perFolderFile()), std::string("True"));
    QVERIFY(f.waitShown());
    QVERIFY(!FolderTree::isTicked(w.tree()->nodes()[3]));
    QCOMPARE(menuEntries(f), (QStringList{"a", "b"}));
}

void FolderTreeTest::aNameThatIsNotUtf8IsShownEscapedAndStoredAsItsBytes() {
    WindowFixture f;
    const std::string sjis = "\x83\x74\x83\x48";  // フォ in Shift_JIS
    makeFolder(f.photos, {"a/1.jpg"});
    fs::create_directory(f.photos / sjis);
    testing_support::writeBytes(f.photos / sjis / "p.jpg", testing_support::readBytes(f.photos / "a/1.jpg"));
    Frm_Main& w = f.open();
    QTreeWidgetItem* node = w.tree()->nodes().last();
    QCOMPARE(node->text(0), QStringLiteral("\\x83t\\x83H"));
    QCOMPARE(menuEntries(f).last(), QStringLiteral("\\x83t\\x83H"));
    // The first showing stored the link text (as the page shows the name)
    // under the folder's bytes.
    const std::string key = f.photos.str() + "/" + sjis + "/";
    QCOMPARE(mirofoto::readWholeIniValue("メニューページ", key, f.perFolderFile()), std::string("\\x83t\\x83H"));
    w.tree()->setFocus();
    w.tree()->setCurrentItem(node);
    QTest::keyClick(w.tree(), Qt::Key_Space);
    QCOMPARE(mirofoto::readWholeIniValue("チェック", sjis, f.perFolderFile()), std::string("False"));
    QVERIFY(f.waitShown());
    QCOMPARE(menuEntries(f).size(), 1);
}

void FolderTreeTest::albumsSharingAStoredKeyAreMarked() {
    WindowFixture f;
    makeFolder(f.photos, {"a=b/1.jpg", "a:b/2.jpg", "c/3.jpg"});
    Frm_Main& w = f.open();
    QStringList texts, tips;
    for (QTreeWidgetItem* node : w.tree()->nodes().mid(1)) {
        texts << node->text(0);
        tips << node->toolTip(0);
    }
    QCOMPARE(texts, (QStringList{"a:b ※", "a=b ※", "c"}));
    QVERIFY2(tips[0].startsWith(QStringLiteral("「a=b」と設定を共有しています")), qPrintable(tips[0]));
    QVERIFY2(tips[1].startsWith(QStringLiteral("「a:b」と設定を共有しています")), qPrintable(tips[1]));
    QCOMPARE(tips[2], QString());
    // The mark is only shown: the tick is still stored under the name.
    w.tree()->setFocus();
    w.tree()->setCurrentItem(w.tree()->nodes()[2]);
    QTest::keyClick(w.tree(), Qt::Key_Space);
    QCOMPARE(mirofoto::readWholeIniValue("チェック", "a=b", f.perFolderFile()), std::string("False"));
    QVERIFY(f.waitShown());
    QCOMPARE(w.tree()->nodes()[2]->text(0), QStringLiteral("a=b ※"));
}

void FolderTreeTest::typingRebuildsOnEveryKeystroke() {
    WindowFixture f;
    makeFolder(f.photos, {"旅行/x.jpg", "旅行/海/y.jpg", "旅行/山/z.jpg"});
    Frm_Main& w = f.open();
    auto* box = f.control<QLineEdit>("Txt_画像フォルダ");
    box->setFocus();
    box->end(false);
    typeText(box, QStringLiteral("/旅"));
    // Halfway, the path names no folder: the tree holds it alone.
    QVERIFY(f.waitShown());
    QCOMPARE(f.nodeTexts(), (QStringList{QString::fromStdString(f.photos.str() + "/旅/")}));
    typeText(box, QStringLiteral("行"));
    QVERIFY(f.waitShown());
    QCOMPARE(f.nodeTexts(), (QStringList{QString::fromStdString(f.photos.str() + "/旅行/"), "山", "海"}));
    QCOMPARE(w.menuPage()->entryCount(), 3);
    QVERIFY(f.ui.calls.empty());  // a missing folder is no failure

    // An emptied box leaves the tree as it was.
    box->clear();
    QVERIFY(f.waitShown());
    QCOMPARE(f.nodeTexts().size(), 3);
    QVERIFY(w.imageFolder().empty());
}

void FolderTreeTest::linkTextsAreStoredOnlyForACommittedFolder_data() {
    QTest::addColumn<QString>("commit");
    for (const char* row : {"Enter", "Tab", "フォルダの選択", "close"}) QTest::newRow(row) << QString::fromUtf8(row);
}

// Typing "/ab" passes "/a", a folder with pictures: showing it must not
// leave a settings folder behind; the folder the user commits gets its
// albums' link texts.
void FolderTreeTest::linkTextsAreStoredOnlyForACommittedFolder() {
    QFETCH(QString, commit);
    WindowFixture f;
    makeFolder(f.photos, {"a/x.jpg", "ab/y.jpg", "ab/c/z.jpg"});
    const std::string partial = mirofoto::perFolderSettingsFile(f.photos.str() + "/a/");
    const std::string typed = mirofoto::perFolderSettingsFile(f.photos.str() + "/ab/");
    Frm_Main& w = f.open();
    QVERIFY(fs::exists(f.perFolderFile()));  // the folder the window started on
    auto* box = f.control<QLineEdit>("Txt_画像フォルダ");
    // (Leaving the box for the button commits what it holds, so that row
    // types nothing.)
    if (commit != "フォルダの選択") {
        box->setFocus();
        box->end(false);
        typeText(box, QStringLiteral("/a"));
        QVERIFY(f.waitShown());
        QCOMPARE(w.menuPage()->entryCount(), 1);
        typeText(box, QStringLiteral("b"));
        QVERIFY(f.waitShown());
    }
    QVERIFY(!fs::exists(partial));
    QVERIFY(!fs::exists(typed));
    if (commit == "Enter") QTest::keyClick(box, Qt::Key_Return);
    if (commit == "Tab") QTest::keyClick(box, Qt::Key_Tab);
    if (commit == "フォルダの選択") {
        f.ui.folderAnswers = {f.photos.str() + "/ab"};
        QTest::mouseClick(f.control<QPushButton>("Cmd_フォルダの選択"), Qt::LeftButton);
    }
    if (commit == "close") f.close();
    else QVERIFY(f.waitShown());
    QVERIFY(!fs::exists(partial));
    QCOMPARE(mirofoto::readWholeIniValue("メニューページ", f.photos.str() + "/ab/c/", typed), std::string("c"));
}

void FolderTreeTest::browseButton() {
    WindowFixture f;
    makeFolder(f.photos, {"sub/a.jpg"});
    Frm_Main& w = f.open(std::string("/nowhere"));
    f.ui.folderAnswers = {f.photos.str(), ""};
    QTest::mouseClick(f.control<QPushButton>("Cmd_フォルダの選択"), Qt::LeftButton);
    QCOMPARE(f.ui.calls[0].text, std::string("画像フォルダを選択して下さい。"));
    QCOMPARE(f.ui.calls[0].initialFolder, std::string("/nowhere"));
    QCOMPARE(w.imageFolderBox()->text(), QString::fromStdString(f.photos.str()));
    QVERIFY(f.waitShown());
    QCOMPARE(f.nodeTexts().size(), 2);
    QTest::mouseClick(f.control<QPushButton>("Cmd_フォルダの選択"), Qt::LeftButton);  // cancelled
    QCOMPARE(w.imageFolderBox()->text(), QString::fromStdString(f.photos.str()));
}

void FolderTreeTest::anUnlistableFolderShowsTheTrappedMessage() {
    WindowFixture f;
    fs::create_symlink(f.photos / "loop2", f.photos / "loop1");
    fs::create_symlink(f.photos / "loop1", f.photos / "loop2");
    Frm_Main& w = f.open(f.photos.str("loop1"));
    QCOMPARE(f.ui.calls.size(), std::size_t(1));
    const auto& call = f.ui.calls[0];
    QCOMPARE(call.text, mirofoto::folderFailureMessage(ELOOP, f.photos.str("loop1/")));
    QVERIFY(call.text.find('\r') != std::string::npos);
    QCOMPARE(call.caption, std::string("ミロフォト"));
    QCOMPARE(int(call.icon), int(platform::MsgIcon::Critical));
    QCOMPARE(int(call.buttons), int(platform::MsgButtons::Ok));
    QCOMPARE(f.nodeTexts(), (QStringList{QString::fromStdString(f.photos.str("loop1/"))}));
    QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
}

void FolderTreeTest::clicksOnTheTree() {
    WindowFixture f;
    makeFolder(f.photos, {"a/1.jpg", "b/2.jpg"});
    Frm_Main& w = f.open();
    FolderTree* tree = w.tree();
    QTreeWidgetItem* b = tree->nodes()[2];
    // Double click (and Enter) opens the thumbnail page.
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(b).center());
    QCOMPARE(w.selectedTabKey(), QStringLiteral("Tab_サムネイルページ"));
    w.selectTab(QStringLiteral("Tab_メニューページ"));
    QTest::keyClick(tree, Qt::Key_Return);
    QCOMPARE(w.selectedTabKey(), QStringLiteral("Tab_サムネイルページ"));

    // On the thumbnail page a click shows the clicked folder, and so does
    // choosing a node with the arrow keys.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(tree->nodes()[1]).center());
    QCOMPARE(w.thumbnailPage()->folder(), QString::fromStdString(f.photos.str() + "/a/"));
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Down);
    QCOMPARE(w.thumbnailPage()->folder(), QString::fromStdString(f.photos.str() + "/b/"));
    QVERIFY(w.thumbnailPage()->redrawThumbnails());
}

QTEST_MAIN(FolderTreeTest)
#include "folder_tree_test.moc"
