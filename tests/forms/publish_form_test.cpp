// The publish strip of Frm_HTML出力, offscreen against rclone's local backend:
// publishing after a finished run (with the question before a first
// publish), never after a stopped one, the dry run that changes nothing,
// a declined first publish, a second publish that asks nothing, and the
// set-up dialog that makes an rclone remote.
#include "app/albumoutput/ui/frm_html_output.h"
#include "app/albumoutput/ui/publish_panel.h"
#include "app/publish/publish_target.h"
#include "samples/photo_maker.h"
#include "tests/mainwindow/window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <filesystem>

using namespace window_testing;
using mirofoto::albumoutput_ui::Frm_HTMLOutput;
using mirofoto::albumoutput_ui::PublishPanel;
using platform::MsgResult;
namespace fs = std::filesystem;

namespace {

void photo(const fs::path& file) {
    samples::PhotoSpec spec;
    spec.width = 160;
    spec.height = 120;
    spec.seed = static_cast<std::uint32_t>(std::hash<std::string>{}(file.string()));
    fs::create_directories(file.parent_path());
    samples::writePhotoJpeg(file.string(), spec);
}

std::size_t filesBelow(const fs::path& root) {
    if (!fs::exists(root)) return 0;
    std::size_t n = 0;
    for (const auto& e : fs::recursive_directory_iterator(root))
        n += e.is_regular_file() && !e.path().filename().string().starts_with(".mirofoto-");
    return n;
}

struct PublishFixture {
    WindowFixture f;
    testing_support::TempDir out;
    std::unique_ptr<Frm_HTMLOutput> form;
    std::string site;

    PublishFixture() {
        photo(f.photos / "a/1.jpg");
        photo(f.photos / "a/2.jpg");
        site = out.str("site");
        fs::create_directories(out / "album");
        Frm_Main& w = f.open(f.photos.str());
        form = std::make_unique<Frm_HTMLOutput>(w);
        form->show();
        get<QLineEdit>("Txt_HTML出力先")->setText(QString::fromStdString(out.str("album")));
        QTest::keyClicks(get<QLineEdit>("Txt_公開先"), QString::fromStdString(site));
    }
    template <class T = QWidget>
    T* get(const char* name) {
        return form->findChild<T*>(QString::fromUtf8(name));
    }
    PublishPanel* panel() { return get<PublishPanel>("Frame_公開"); }
    /// Clicks the button and waits for the publish (or dry run) to end.
    bool click(const char* button) {
        QSignalSpy ended(panel(), &PublishPanel::publishEnded);
        QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton);
        if (!ended.wait(60000)) return false;
        return ended.at(0).at(0).toBool();
    }
};

}  // namespace

class PublishFormTest : public QObject {
    Q_OBJECT
private slots:
    void publishesAfterAFinishedRunAndAsksBeforeTheFirst();
    void neverPublishesAfterAStoppedRun();
    void dryRunAndADeclinedFirstPublishChangeNothing();
    void targetSetUpKeepsThePasswordInRclonesConfiguration();
};

void PublishFormTest::publishesAfterAFinishedRunAndAsksBeforeTheFirst() {
    PublishFixture t;
    QTest::mouseClick(t.get<QCheckBox>("Chk_作成後に公開"), Qt::LeftButton);
    // Not showing the album; yes to the first publish to this target.
    t.f.ui.messageAnswers = {MsgResult::No, MsgResult::Yes};
    QSignalSpy ended(t.panel(), &PublishPanel::publishEnded);
    QTest::mouseClick(t.get<QPushButton>("Cmd_HTML出力"), Qt::LeftButton);
    QVERIFY(ended.wait(60000));
    QVERIFY(ended.at(0).at(0).toBool());
    const auto messages = t.f.ui.messages();
    QCOMPARE(messages.size(), std::size_t(2));
    QVERIFY(messages[1].starts_with("この公開先には初めて公開します。\r" + t.site));
    QCOMPARE(filesBelow(t.site), filesBelow(t.out / "album"));
    QVERIFY(t.form->isVisible());  // the form stays to show the publish
    QVERIFY(t.get<QLabel>("Lbl_公開状況")->text().startsWith(QStringLiteral("公開しました")));
    QVERIFY(t.get<QPushButton>("Cmd_HTML出力")->isEnabled());
    QCOMPARE(mirofoto::publish::storedTarget(t.out.str("album")), t.site);
    if (const QByteArray dir = qgetenv("MIROFOTO_SCREENSHOT_DIR"); !dir.isEmpty())
        t.form->grab().save(QString::fromUtf8(dir) + "/album-output-publish.png");

    // The next publish to that target asks nothing and sends nothing.
    const std::size_t asked = t.f.ui.calls.size();
    QVERIFY(t.click("Cmd_公開"));
    QCOMPARE(t.f.ui.calls.size(), asked);
    QCOMPARE(t.get<QLabel>("Lbl_公開状況")->text(), QStringLiteral("公開しました（送った 0、消した 0）"));
}

void PublishFormTest::neverPublishesAfterAStoppedRun() {
    PublishFixture t;
    QTest::mouseClick(t.get<QCheckBox>("Chk_作成後に公開"), Qt::LeftButton);
    t.get<QLineEdit>("Txt_HTML出力先")->setText(QString::fromStdString(t.out.str("new")));
    t.f.ui.messageAnswers = {MsgResult::Cancel};  // the output folder is not made: the run stops
    QSignalSpy ended(t.form.get(), &Frm_HTMLOutput::runEnded);
    QTest::mouseClick(t.get<QPushButton>("Cmd_HTML出力"), Qt::LeftButton);
    QVERIFY(ended.wait(60000));
    QVERIFY(!ended.at(0).at(0).toBool());
    QVERIFY(!t.panel()->busy());
    QCOMPARE(t.f.ui.messages().size(), std::size_t(1));
    QVERIFY(!fs::exists(t.site));
}

void PublishFormTest::dryRunAndADeclinedFirstPublishChangeNothing() {
    PublishFixture t;
    t.f.ui.messageAnswers = {MsgResult::No};  // not showing the album
    QSignalSpy runEnded(t.form.get(), &Frm_HTMLOutput::runEnded);
    QTest::mouseClick(t.get<QPushButton>("Cmd_HTML出力"), Qt::LeftButton);
    QVERIFY(runEnded.wait(60000));
    t.form = std::make_unique<Frm_HTMLOutput>(t.f.window());  // the form closed after the run
    t.form->show();
    t.get<QLineEdit>("Txt_HTML出力先")->setText(QString::fromStdString(t.out.str("album")));
    QTest::keyClicks(t.get<QLineEdit>("Txt_公開先"), QString::fromStdString(t.site));

    t.f.ui.messageAnswers = {MsgResult::Ok};
    QVERIFY(!t.click("Cmd_公開試行"));
    const std::string listed = t.f.ui.messages().back();
    QVERIFY(listed.starts_with("試行（何も変えていません）\r送る " + std::to_string(filesBelow(t.out / "album")) +
                               " ファイル"));
    QVERIFY(listed.find("\r送る: index.htm") != std::string::npos);
    QVERIFY(!fs::exists(t.site));

    t.f.ui.messageAnswers = {MsgResult::No};  // not this time
    QVERIFY(!t.click("Cmd_公開"));
    QVERIFY(t.f.ui.messages().back().starts_with("この公開先には初めて公開します。"));
    QCOMPARE(t.get<QLabel>("Lbl_公開状況")->text(), QStringLiteral("公開しませんでした"));
    QVERIFY(!fs::exists(t.site));
}

void PublishFormTest::targetSetUpKeepsThePasswordInRclonesConfiguration() {
    PublishFixture t;
    const std::string config = t.out.str("rclone.conf");
    qputenv("RCLONE_CONFIG", QByteArray::fromStdString(config));
    QTest::mouseClick(t.get<QPushButton>("Cmd_公開先設定"), Qt::LeftButton);
    QDialog* dialog = nullptr;
    QTRY_VERIFY((dialog = t.form->findChild<QDialog*>(QStringLiteral("Frm_公開先設定"))) && dialog->isVisible());
    const auto type = [&](const char* name, const char* text) {
        QTest::keyClicks(dialog->findChild<QLineEdit*>(QString::fromUtf8(name)), QString::fromUtf8(text));
    };
    // A name rclone would not take is refused before rclone is asked.
    type("Txt_リモート名", "my site");
    t.f.ui.messageAnswers = {MsgResult::Ok};
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Cmd_作成")), Qt::LeftButton);
    QVERIFY(t.f.ui.messages().back().starts_with("名前には英数字"));
    QVERIFY(!fs::exists(config));

    dialog->findChild<QLineEdit*>(QStringLiteral("Txt_リモート名"))->clear();
    type("Txt_リモート名", "mysite");
    dialog->findChild<QComboBox*>(QStringLiteral("Cmb_種類"))->setCurrentIndex(1);  // FTP
    type("Txt_ホスト", "ftp.example.org");
    type("Txt_ユーザー", "me");
    type("Txt_パスワード", "s3cret-pass");
    type("Txt_公開フォルダ", "www/album");
    if (const QByteArray dir = qgetenv("MIROFOTO_SCREENSHOT_DIR"); !dir.isEmpty())
        dialog->grab().save(QString::fromUtf8(dir) + "/publish-target-dialog.png");
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Cmd_作成")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(t.get<QLineEdit>("Txt_公開先")->text(), QStringLiteral("mysite:www/album"), 20000);
    qunsetenv("RCLONE_CONFIG");
    const std::string stored = testing_support::readBytes(config);
    QVERIFY(stored.find("[mysite]") != std::string::npos);
    QVERIFY(stored.find("type = ftp") != std::string::npos);
    QVERIFY(stored.find("pass = ") != std::string::npos);
    QVERIFY(stored.find("s3cret-pass") == std::string::npos);  // obscured, never in the clear
}

QTEST_MAIN(PublishFormTest)
#include "publish_form_test.moc"
