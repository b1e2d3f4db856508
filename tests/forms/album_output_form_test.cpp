// Frm_HTML出力 over the album run, offscreen, with the scripted services:
// the stops before the albums, the output folder stored on closing, the
// four treatments of an existing album folder, a stop by the user in the
// middle of a run, the main window locked meanwhile, and the closing
// question that opens the album.
#include "app/albumoutput/album_folders.h"
#include "app/albumoutput/ui/frm_html_output.h"
#include "samples/photo_maker.h"
#include "tests/mainwindow/window_fixture.h"

#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTreeWidgetItem>

#include <filesystem>
#include <functional>

using namespace window_testing;
using mirofoto::albumoutput_ui::Frm_HTMLOutput;
using mirofoto::mainwindow::FolderTree;
using platform::MsgResult;
using testing_support::readBytes;
using testing_support::writeBytes;
namespace fs = std::filesystem;

namespace {

void photo(const fs::path& file, int width = 320, int height = 240) {
    samples::PhotoSpec spec;
    spec.width = width;
    spec.height = height;
    spec.seed = static_cast<std::uint32_t>(std::hash<std::string>{}(file.string()));
    spec.noise = 2;
    fs::create_directories(file.parent_path());
    samples::writePhotoJpeg(file.string(), spec);
}

// The scripted services with a look at each message before it is answered.
class WatchedUi final : public platform::UiServices {
public:
    explicit WatchedUi(testing_support::ScriptedUi& inner) : m_inner(inner) {}
    std::function<void(std::string_view)> beforeMessage;
    platform::MsgResult messageBox(platform::WindowRef o, std::string_view t, std::string_view c,
                                   platform::MsgButtons b, platform::MsgIcon i) override {
        if (beforeMessage) beforeMessage(t);
        return m_inner.messageBox(o, t, c, b, i);
    }
    std::optional<std::string> openFileDialog(platform::WindowRef o, const platform::FileDialogOptions& f) override {
        return m_inner.openFileDialog(o, f);
    }
    std::optional<std::string> saveFileDialog(platform::WindowRef o, const platform::FileDialogOptions& f) override {
        return m_inner.saveFileDialog(o, f);
    }
    std::string browseForFolder(platform::WindowRef o, std::string_view i, std::string_view t) override {
        return m_inner.browseForFolder(o, i, t);
    }
    std::optional<std::uint32_t> chooseColour(platform::WindowRef o, std::uint32_t i) override {
        return m_inner.chooseColour(o, i);
    }
    bool openDocument(platform::WindowRef o, std::string_view p) override { return m_inner.openDocument(o, p); }
    std::string documentsFolder() override { return m_inner.documentsFolder(); }

private:
    testing_support::ScriptedUi& m_inner;
};

struct FormFixture {
    WindowFixture f;
    testing_support::TempDir out;
    WatchedUi watched{f.ui};
    platform::ScopedUi scope{watched};
    std::unique_ptr<Frm_HTMLOutput> form;

    Frm_Main& open() {
        Frm_Main& w = f.open(f.photos.str());
        form = std::make_unique<Frm_HTMLOutput>(w);
        form->show();
        return w;
    }
    template <class T = QWidget>
    T* get(const char* name) {
        return form->findChild<T*>(QString::fromUtf8(name));
    }
    void setOutput(const std::string& text) { get<QLineEdit>("Txt_HTML出力先")->setText(QString::fromStdString(text)); }
    /// Starts the run and waits for its end; whether it finished.
    bool run() {
        QSignalSpy ended(form.get(), &Frm_HTMLOutput::runEnded);
        QTest::mouseClick(get<QPushButton>("Cmd_HTML出力"), Qt::LeftButton);
        if (!ended.wait(60000)) return false;
        return ended.at(0).at(0).toBool();
    }
};

}  // namespace

class AlbumOutputFormTest : public QObject {
    Q_OBJECT
private slots:
    void controlsAtOpening();
    void stopsBeforeTheAlbums_data();
    void stopsBeforeTheAlbums();
    void outputFolderStoredOnClose_data();
    void outputFolderStoredOnClose();
    void existingAlbumFolder_data();
    void existingAlbumFolder();
    void finishedRunAsksAndOpensTheAlbum();
    void theClosingQuestion_data();
    void theClosingQuestion();
    void stopInTheMiddleLeavesAConsistentAlbum();
    void closingDuringARunAsksToStop();
    void theRunTakesTheTreesAlbums_data();
    void theRunTakesTheTreesAlbums();
};

void AlbumOutputFormTest::controlsAtOpening() {
    FormFixture t;
    t.open().settings().outputFolder = "/srv/album/";
    t.form = std::make_unique<Frm_HTMLOutput>(t.f.window());
    QCOMPARE(t.form->windowTitle(), QStringLiteral("ミロフォト - HTML出力"));
    QCOMPARE(t.form->heightTwips(), 3435);
    QCOMPARE(t.get<QLineEdit>("Txt_HTML出力先")->text(), QStringLiteral("/srv/album/"));
    const std::pair<const char*, const char*> options[] = {
        {"Opt_確認メッセージ表示", "フォルダ単位で確認メッセージを表示する"},
        {"Opt_上書きする", "すべて上書きする"},
        {"Opt_HTMLのみ上書きする", "HTMLファイルのみ上書きする"},
        {"Opt_上書きしない", "上書きしない"},
        {"Opt_変更画像のみ作成する", "変更された画像のみ作成する"}};
    for (const auto& [name, caption] : options) {
        QCOMPARE(t.get<QRadioButton>(name)->text(), QString::fromUtf8(caption));
        QCOMPARE(t.get<QRadioButton>(name)->isChecked(), name == options[0].first);
    }
    for (const char* name : {"Cmd_参照", "Cmd_HTML出力", "Cmd_キャンセル", "Lst_AlbumFolder", "Lst_画像ファイル",
                             "Pgb_アルバム", "Pgb_画像"})
        QVERIFY2(t.get(name), name);
    // The browse dialog starts at the box's folder; a cancel changes nothing.
    t.f.ui.folderAnswers = {"", "/chosen"};
    QTest::mouseClick(t.get<QPushButton>("Cmd_参照"), Qt::LeftButton);
    QCOMPARE(t.f.ui.calls.back().initialFolder, std::string("/srv/album/"));
    QCOMPARE(t.f.ui.calls.back().text, std::string("フォルダを選択してください"));
    QCOMPARE(t.get<QLineEdit>("Txt_HTML出力先")->text(), QStringLiteral("/srv/album/"));
    QTest::mouseClick(t.get<QPushButton>("Cmd_参照"), Qt::LeftButton);
    QCOMPARE(t.get<QLineEdit>("Txt_HTML出力先")->text(), QStringLiteral("/chosen"));
}

void AlbumOutputFormTest::stopsBeforeTheAlbums_data() {
    QTest::addColumn<QString>("step");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("2 empty") << "empty" << QStringList{"「HTML出力先」を指定してください。"};
    QTest::newRow("3 not created") << "cancel"
                                   << QStringList{"指定された「HTML出力先」\r{out}/new\rは存在しません。\r\rフォルダを作成しますか？"};
    QTest::newRow("3 cannot create") << "cannot"
                                     << QStringList{"指定された「HTML出力先」\r{out}/file/new\rは存在しません。\r\rフォルダを作成しますか？",
                                                    "フォルダを作成できませんでした。"};
    QTest::newRow("6 no album") << "unticked" << QStringList{"アルバムフォルダがありません。"};
    QTest::newRow("7 images") << "images" << QStringList{"フォルダの作成に失敗しました。\r（{out}/images）"};
}

void AlbumOutputFormTest::stopsBeforeTheAlbums() {
    QFETCH(QString, step);
    QFETCH(QStringList, messages);
    FormFixture t;
    photo(t.f.photos / "a/1.jpg");
    writeBytes(t.out / "file", "a file");
    if (step == "unticked") mirofoto::PerFolderSettings(t.f.photos.str()).setAlbumTicked("a", false);
    Frm_Main& w = t.open();
    if (step == "images") {
        w.settings().pages[1].useBackgroundColor = false;
        writeBytes(t.out / "images", "not a folder");
    }
    const std::string out = t.out.str();
    t.setOutput(step == "empty" ? "   " : step == "cancel" ? out + "/new" : step == "cannot" ? out + "/file/new" : out);
    t.f.ui.messageAnswers = {step == "cancel" ? MsgResult::Cancel : MsgResult::Ok};
    QVERIFY(!t.run());
    std::vector<std::string> expected;
    for (QString m : messages) expected.push_back(m.replace("{out}", QString::fromStdString(out)).toStdString());
    QCOMPARE(t.f.ui.messages(), expected);
    for (const auto& c : t.f.ui.calls) QCOMPARE(c.caption, std::string("ミロフォト"));
    QCOMPARE(t.form->heightTwips(), 3435);
    QVERIFY(t.form->isVisible());
    QVERIFY(!w.runInProgress());
    QCOMPARE(t.get<QPushButton>("Cmd_キャンセル")->text(), QStringLiteral("キャンセル"));
    if (step == "empty") QCOMPARE(t.get<QLineEdit>("Txt_HTML出力先")->text(), QString());  // trimmed
}

void AlbumOutputFormTest::outputFolderStoredOnClose_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("byFrame");
    QTest::newRow("separator added") << "/srv/a" << "/srv/a/" << false;
    QTest::newRow("kept") << "/srv/a/" << "/srv/a/" << true;
    QTest::newRow("empty stays empty") << "" << "" << true;
}

void AlbumOutputFormTest::outputFolderStoredOnClose() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, byFrame);
    FormFixture t;
    Frm_Main& w = t.open();
    t.get<QLineEdit>("Txt_HTML出力先")->setText(typed);
    if (byFrame) t.form->close();
    else QTest::mouseClick(t.get<QPushButton>("Cmd_キャンセル"), Qt::LeftButton);
    QVERIFY(!t.form->isVisible());
    QCOMPARE(QString::fromStdString(w.settings().outputFolder), stored);
}

void AlbumOutputFormTest::existingAlbumFolder_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("markerKept");
    QTest::addColumn<bool>("oldThumbnailKept");
    QTest::addColumn<bool>("pageWritten");
    QTest::addColumn<int>("questions");  // besides the closing one
    QTest::newRow("ask, yes") << "Opt_確認メッセージ表示" << false << false << true << 1;
    QTest::newRow("overwrite") << "Opt_上書きする" << false << false << true << 0;
    QTest::newRow("html only") << "Opt_HTMLのみ上書きする" << true << true << true << 0;
    QTest::newRow("skip") << "Opt_上書きしない" << true << true << false << 0;
    // No record of what the program made there: every copy is made anew,
    // and the marker is the user's, kept and named once.
    QTest::newRow("update") << "Opt_変更画像のみ作成する" << true << false << true << 1;
}

void AlbumOutputFormTest::existingAlbumFolder() {
    QFETCH(QString, option);
    QFETCH(bool, markerKept);
    QFETCH(bool, oldThumbnailKept);
    QFETCH(bool, pageWritten);
    QFETCH(int, questions);
    FormFixture t;
    photo(t.f.photos / "a/1.jpg");
    writeBytes(t.out / "a/marker.txt", "from before");
    writeBytes(t.out / "a/1_s.jpg", "old thumbnail");
    t.open();
    t.setOutput(t.out.str());
    t.get<QRadioButton>(option.toUtf8().constData())->setChecked(true);
    for (int i = 0; i < questions; ++i) t.f.ui.messageAnswers.push_back(MsgResult::Yes);
    t.f.ui.messageAnswers.push_back(MsgResult::No);  // do not show the album
    QVERIFY(t.run());
    QCOMPARE(int(t.f.ui.messages().size()), questions + 1);
    // An update's closing question says what it made, kept and removed.
    QCOMPARE(t.f.ui.messages().back().find("縮小画像: 作成 2、そのまま 0、削除 0") != std::string::npos,
             option == QStringLiteral("Opt_変更画像のみ作成する"));
    QCOMPARE(fs::exists(t.out / "a/marker.txt"), markerKept);
    QCOMPARE(readBytes(t.out / "a/1_s.jpg") == "old thumbnail", oldThumbnailKept);
    QCOMPARE(fs::exists(t.out / "a/index.htm"), pageWritten);
    QVERIFY(readBytes(t.out / "index.htm").find("HREF='./a/index.htm'") != std::string::npos);
}

void AlbumOutputFormTest::theRunTakesTheTreesAlbums_data() {
    QTest::addColumn<QString>("stored");  // the output folder the tree was built with
    QTest::addColumn<QString>("typed");   // the output folder of the run
    QTest::addColumn<bool>("late");       // a folder with a picture made after the tree was built
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("made");
    QTest::newRow("a folder made since is not published") << "" << "out" << true << QStringList{"a"} << QStringList{"a"};
    QTest::newRow("output inside the image folder") << "web" << "web" << false << QStringList{"a"} << QStringList{"a"};
    QTest::newRow("output inside, typed into the form only")
        << "" << "web" << false << QStringList{"a", "web"} << QStringList{"a"};
}

void AlbumOutputFormTest::theRunTakesTheTreesAlbums() {
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, late);
    QFETCH(QStringList, tree);
    QFETCH(QStringList, made);
    FormFixture t;
    photo(t.f.photos / "a/1.jpg");
    if (stored == "web" || typed == "web") fs::create_directories(t.f.photos / "web");
    const auto place = [&](const QString& which) {
        return which == "web" ? t.f.photos.str("web") + "/" : which == "out" ? t.out.str() + "/" : std::string();
    };
    Frm_Main& w = t.open();
    // The tree is built anew with the stored output folder.
    w.settings().outputFolder = place(stored);
    QVERIFY(t.f.showFolder(t.f.photos.str() + "/"));
    QStringList shown;
    for (QTreeWidgetItem* node : w.tree()->nodes().mid(1)) shown << FolderTree::textOf(node);
    QCOMPARE(shown, tree);
    if (late) photo(t.f.photos / "late/1.jpg");
    t.setOutput(place(typed));
    t.f.ui.messageAnswers = {MsgResult::No};  // do not show the album
    QVERIFY(t.run());
    QStringList albums;
    for (const auto& e : fs::directory_iterator(place(typed)))
        if (e.is_directory()) albums << QString::fromStdString(e.path().filename().string());
    albums.sort();
    QCOMPARE(albums, made);
    QVERIFY(fs::exists(t.f.photos / "a/1.jpg"));
}

void AlbumOutputFormTest::finishedRunAsksAndOpensTheAlbum() {
    FormFixture t;
    photo(t.f.photos / "a/1.jpg");
    photo(t.f.photos / "a/2.jpg");
    fs::create_directories(t.f.photos / "z");
    photo(t.f.photos / "z/only.jpg");
    mirofoto::PerFolderSettings(t.f.photos.str()).setImageTicked("z", "only.jpg", false);
    Frm_Main& w = t.open();
    t.setOutput(t.out.str("site"));
    t.f.ui.messageAnswers = {MsgResult::Ok, MsgResult::Yes};  // create the folder; show the album
    // The thumbnail page of "a", shown before the run.
    w.tree()->setCurrentItem(w.tree()->nodes()[1]);
    w.selectTab(QStringLiteral("Tab_サムネイルページ"));
    QTRY_VERIFY_WITH_TIMEOUT(w.thumbnailPage()->ready() && w.thumbnailPage()->previewsSettled(), 30000);
    const auto cellLocked = [&] {
        for (const char* name : {"Chk_画像選択", "Cmd_LTurn", "Cmd_RTurn"})
            if (t.f.element(name, 0)->isEnabled()) return false;
        return !w.findChild<QAction*>(QStringLiteral("Menu_EXIFの向きで回転"))->isEnabled();
    };
    QVERIFY(!cellLocked());
    // During the run: the form grown, the window locked, no second run.
    int during = 0;
    t.watched.beforeMessage = [&](std::string_view text) {
        if (text.find("作成したアルバムを表示しますか") == std::string_view::npos) return;
        ++during;
        QCOMPARE(t.form->heightTwips(), 5820);
        QVERIFY(w.runInProgress());
        QVERIFY(w.imageFolderBox()->isReadOnly());
        QVERIFY(!w.findChild<QAction*>(QStringLiteral("Menu_オプション"))->isEnabled());
        QVERIFY(!t.get<QPushButton>("Cmd_HTML出力")->isEnabled());
        QCOMPARE(t.get<QPushButton>("Cmd_キャンセル")->text(), QStringLiteral("中止"));
        t.form->Cmd_HTML出力_Click();  // nothing: one run at a time
        QTreeWidgetItem* node = w.tree()->nodes()[1];  // "a": its tick cannot change now
        node->setCheckState(0, Qt::Unchecked);
        QVERIFY(FolderTree::isTicked(node));
        QVERIFY(mirofoto::readImageFolderAlbums(t.f.photos.str()).albums[1].ticked);
        QVERIFY(cellLocked());  // nor can a picture's tick or turn
        auto* bar = t.get<QProgressBar>("Pgb_画像");  // the last album had no picture
        QVERIFY(bar->maximum() > bar->minimum());
        QCOMPARE(bar->value(), 0);
        QCOMPARE(t.get<QListWidget>("Lst_AlbumFolder")->count(), 0);  // emptied before the question
    };
    QVERIFY(t.run());
    QCOMPARE(during, 1);
    QCOMPARE(t.f.ui.calls.back().kind, std::string("document"));
    QCOMPARE(t.f.ui.calls.back().text, t.out.str("site") + "/index.htm");
    QVERIFY(!t.form->isVisible());  // the form closed
    QCOMPARE(w.settings().outputFolder, t.out.str("site") + "/");
    QVERIFY(!w.runInProgress());
    QVERIFY(!w.imageFolderBox()->isReadOnly());
    QVERIFY(!cellLocked());
}

void AlbumOutputFormTest::theClosingQuestion_data() {
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("browser");  // whether a browser starts
    QTest::addColumn<QStringList>("after");  // the calls after the question
    QTest::newRow("yes") << true << true << QStringList{"document"};
    QTest::newRow("yes, no browser") << true << false
                                     << QStringList{"document", "message ブラウザを起動できませんでした。"};
    QTest::newRow("no") << false << true << QStringList{};
}

// The run is over when it asks: the lists are empty and the bars, which
// never show a percentage, full; a yes that no browser can follow is told.
void AlbumOutputFormTest::theClosingQuestion() {
    QFETCH(bool, yes);
    QFETCH(bool, browser);
    QFETCH(QStringList, after);
    FormFixture t;
    photo(t.f.photos / "a" / "p.jpg");
    photo(t.f.photos / "b" / "q.jpg");
    t.open();
    t.setOutput(t.out.str("site"));
    t.f.ui.messageAnswers = {MsgResult::Ok, yes ? MsgResult::Yes : MsgResult::No};
    t.f.ui.openDocumentResult = browser;
    QStringList atQuestion;
    std::size_t question = 0;
    t.watched.beforeMessage = [&](std::string_view text) {
        if (text.find("作成したアルバムを表示しますか") == std::string_view::npos) return;
        question = t.f.ui.calls.size();
        for (const char* list : {"Lst_AlbumFolder", "Lst_画像ファイル"})
            atQuestion << QStringLiteral("%1 %2").arg(list).arg(t.get<QListWidget>(list)->count());
        for (const char* name : {"Pgb_アルバム", "Pgb_画像"}) {
            auto* bar = t.get<QProgressBar>(name);
            atQuestion << QStringLiteral("%1 %2 %3").arg(name).arg(bar->value() == bar->maximum()).arg(bar->isTextVisible());
        }
    };
    QVERIFY(t.run());
    QCOMPARE(atQuestion, (QStringList{"Lst_AlbumFolder 0", "Lst_画像ファイル 0", "Pgb_アルバム 1 0", "Pgb_画像 1 0"}));
    QStringList calls;
    for (std::size_t i = question + 1; i < t.f.ui.calls.size(); ++i) {
        const auto& c = t.f.ui.calls[i];
        calls << QString::fromStdString(c.kind == "message" ? "message " + c.text.substr(0, c.text.find('\r')) : c.kind);
    }
    QCOMPARE(calls, after);
}

void AlbumOutputFormTest::stopInTheMiddleLeavesAConsistentAlbum() {
    FormFixture t;
    for (int i = 0; i < 12; ++i) photo(t.f.photos / "summer" / ("IMG_01" + std::to_string(10 + i) + ".jpg"), 1200, 900);
    photo(t.f.photos / "winter/IMG_0201.jpg");
    t.open();
    t.setOutput(t.out.str());
    t.get<QRadioButton>("Opt_上書きする")->setChecked(true);
    // The stop is asked for when the first picture is reported.
    auto* bar = t.get<QProgressBar>("Pgb_画像");
    bool asked = false;
    connect(bar, &QProgressBar::valueChanged, this, [&](int v) {
        if (v != 1 || asked) return;
        asked = true;
        if (const QByteArray dir = qgetenv("MIROFOTO_SCREENSHOT_DIR"); !dir.isEmpty())
            t.form->grab().save(QString::fromUtf8(dir) + "/album-output.png");
        t.f.ui.messageAnswers.push_back(MsgResult::Yes);
        QTest::mouseClick(t.get<QPushButton>("Cmd_キャンセル"), Qt::LeftButton);
    });
    QVERIFY(!t.run());
    const auto messages = t.f.ui.messages();
    QCOMPARE(messages.size(), std::size_t(2));
    QCOMPARE(messages[0], std::string("アルバムの作成を中止しますか？\r\r作成中の画像が終わったところで中止します。"));
    QVERIFY2(messages[1].rfind("アルバムの作成を中止しました。\r\r2 件のうち 1 件のアルバムを作成しました。", 0) == 0,
             messages[1].c_str());
    QVERIFY(messages[1].find("最後のアルバム「summer」は 12 枚のうち ") != std::string::npos);
    QCOMPARE(t.form->heightTwips(), 3435);
    QVERIFY(t.form->isVisible());
    QCOMPARE(t.get<QPushButton>("Cmd_キャンセル")->text(), QStringLiteral("キャンセル"));
    QVERIFY(!fs::exists(t.out / "winter"));
    for (const auto& e : fs::recursive_directory_iterator(t.out.path())) {
        const std::string name = e.path().filename().string();
        QVERIFY2(name.front() != '.', e.path().c_str());  // nothing half-written, no record
    }

    // What a visitor's browser finds: every page, link and image there.
    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(QStringLiteral("python3"), {QStringLiteral(MIROFOTO_CHECK_ALBUM), QStringLiteral("--album"),
                                            QString::fromStdString(t.out.str())});
    QVERIFY(check.waitForFinished(300000));
    QVERIFY2(check.exitCode() == 0, check.readAll().constData());
}

void AlbumOutputFormTest::closingDuringARunAsksToStop() {
    FormFixture t;
    for (int i = 0; i < 12; ++i) photo(t.f.photos / "a" / (std::to_string(i) + ".jpg"), 1200, 900);
    Frm_Main& w = t.open();
    t.setOutput(t.out.str());
    auto* bar = t.get<QProgressBar>("Pgb_画像");
    int closes = 0;
    connect(bar, &QProgressBar::valueChanged, this, [&](int v) {
        if (v != 1 || closes++) return;
        // The main window's frame: the question, answered no, and the run goes on.
        t.f.ui.messageAnswers = {MsgResult::No, MsgResult::Yes};
        w.close();
        QVERIFY(w.isVisible());
        // The form's frame: answered yes; the form closes when the run stopped.
        t.form->close();
    });
    QSignalSpy ended(t.form.get(), &Frm_HTMLOutput::runEnded);
    QTest::mouseClick(t.get<QPushButton>("Cmd_HTML出力"), Qt::LeftButton);
    QVERIFY(ended.wait(60000));
    const auto messages = t.f.ui.messages();
    QCOMPARE(messages.size(), std::size_t(3));  // two questions and what was finished
    QCOMPARE(messages[0], messages[1]);
    QVERIFY(!t.form->isVisible());
    QVERIFY(w.isVisible());
    QCOMPARE(w.settings().outputFolder, t.out.str() + "/");
}

QTEST_MAIN(AlbumOutputFormTest)
#include "album_output_form_test.moc"
