// Frm_Options driven offscreen: its pages and controls, the quality box and
// slider, the recommended values, OK / 更新 / ｷｬﾝｾﾙ with the redraw flag,
// numbers outside their ranges, the colour and file dialogs, Ctrl+Tab, and
// the record through the dialog and the base settings file unchanged.
#include "app/mainwindow/twips_geometry.h"
#include "app/settings/settings_files.h"
#include "app/settings/ui/frm_options.h"
#include "tests/support/program_home.h"
#include "tests/support/test_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTest>

#include <filesystem>
#include <optional>

using mirofoto::AlbumSettings;
using mirofoto::settings_ui::ColourSwatch;
using mirofoto::settings_ui::Frm_Options;
using mirofoto::mainwindow::twipsGeometry;
using mirofoto::mainwindow::TwipsScale;

namespace {

struct Dialog {
    testing_support::ScriptedUi ui;
    platform::ScopedUi scope{ui};
    AlbumSettings settings = AlbumSettings::defaults();
    std::optional<bool> redraw;  // nothing: never set or cleared
    std::unique_ptr<Frm_Options> d;

    Dialog() { reopen(); }
    void reopen() {
        d = std::make_unique<Frm_Options>(settings, [this](bool r) { redraw = r; });
        d->show();
    }
    template <class T = QWidget>
    T* get(const char* name, int index = -1) {
        for (T* w : d->findChildren<T*>(QString::fromUtf8(name)))
            if (index < 0 || w->property("index").toInt() == index) return w;
        return nullptr;
    }
    QLineEdit* box(const char* name) { return get<QLineEdit>(name); }
    void click(const char* name) { QTest::mouseClick(get<QPushButton>(name), Qt::LeftButton); }
    void type(const char* name, const QString& text) {
        box(name)->clear();
        QTest::keyClicks(box(name), text);
    }
};

}  // namespace

class OptionsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void pagesAndControls();
    void qualityBoxAndSlider_data();
    void qualityBoxAndSlider();
    void buttonsAndTheRedrawFlag();
    void numbersOutsideTheirRangesAreRefused();
    void coloursAndBackgroundBrowse();
    void ctrlTabCycles();
    void everyFieldRoundTripsThroughTheSettingsFile();
    void pageStyleChoice();
};

void OptionsDialogTest::pagesAndControls() {
    Dialog t;
    QCOMPARE(t.d->windowTitle(), QStringLiteral("ミロフォト - オプション"));
    const TwipsScale s = TwipsScale::of(t.d.get());
    QCOMPARE(s.toTwipsX(t.d->width()), 7875);
    QCOMPARE(s.toTwipsY(t.d->height()), 6510);
    QTabBar* tabs = t.get<QTabBar>("tbsOptions");
    const QStringList keys{"Tab_画像", "Tab_色背景", "Tab_表示項目", "Tab_メニューページ詳細",
                           "Tab_サムネイルページ詳細", "Tab_拡大画像ページ詳細"};
    QCOMPARE(tabs->count(), 6);
    QCOMPARE(tabs->tabText(1), QStringLiteral("色・背景"));
    for (int tab = 0; tab < 6; ++tab) {
        QCOMPARE(tabs->tabData(tab).toString(), keys[tab]);
        tabs->setCurrentIndex(tab);
        for (int i = 0; i < 6; ++i) {
            QWidget* page = t.get("picOptions", i);
            QCOMPARE(twipsGeometry(page).left, i == tab ? 210 : -20000);
            QCOMPARE(twipsGeometry(page).top, 675);
            QCOMPARE(page->isEnabled(), i == tab);
        }
        if (const QByteArray dir = qgetenv("MIROFOTO_SCREENSHOT_DIR"); !dir.isEmpty())
            t.d->grab().save(QString::fromUtf8(dir) + "/options-" + QString::number(tab + 1) + ".png");
    }
    // Lengths and the controls of every array element.
    const std::pair<const char*, int> lengths[] = {{"Txt_サムネイル横", 4}, {"Txt_サムネイル縦", 4}, {"Txt_列数", 3},
                                                   {"Txt_サムネイル画質", 3}, {"Txt_拡大画像横", 4},
                                                   {"Txt_拡大画像縦", 4}, {"Txt_拡大画像画質", 3}};
    for (const auto& [name, length] : lengths) QCOMPARE(t.box(name)->maxLength(), length);
    for (int p = 0; p < 3; ++p) {
        for (const char* swatch : {"Lbl_文字色", "Lbl_リンクの色", "Lbl_リンクの色Visited", "Lbl_背景色"})
            QCOMPARE(t.get(swatch, p)->toolTip(), QStringLiteral("変更するには、ココをクリック"));
        for (const char* name : {"Opt_背景色", "Opt_背景画像", "Txt_背景画像", "Cmd_背景画像参照", "Txt_HTML1",
                                 "Txt_HTML2", "Txt_HTML3"})
            QVERIFY2(t.get(name, p), name);
    }
    for (const char* name : {"Chk_サムネイルファイル名", "Chk_サムネイル撮影日時", "Chk_サムネイルコメント",
                             "Chk_拡大画像ファイル名", "Chk_拡大画像撮影日時", "Chk_拡大画像コメント"})
        QVERIFY2(t.get<QCheckBox>(name)->isChecked(), name);
    // Following the orientation: on the 画像 page, on by default, taken by 更新.
    QCheckBox* follow = t.get<QCheckBox>("Chk_EXIFの向きに従う");
    QVERIFY(follow);
    QCOMPARE(follow->text(), QStringLiteral("EXIFの向きに従う"));
    QCOMPARE(follow->parentWidget()->property("index").toInt(), 0);
    QVERIFY(follow->isChecked());
    t.d->tabs()->setCurrentIndex(0);
    QTest::mouseClick(follow, Qt::LeftButton, {}, QPoint(5, follow->height() / 2));
    QVERIFY(!follow->isChecked());
    QCOMPARE(t.settings.followOrientation, 1);
    t.click("cmdApply");
    QCOMPARE(t.settings.followOrientation, 0);
    QCOMPARE(t.get<QPushButton>("cmdCancel")->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    QCOMPARE(t.get<QPushButton>("cmdApply")->text(), QStringLiteral("更新"));
}

void OptionsDialogTest::qualityBoxAndSlider_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("slider");
    QTest::newRow("150") << "Txt_サムネイル画質" << "150" << "100" << 100;
    QTest::newRow("empty thumbnail") << "Txt_サムネイル画質" << "" << "60" << 60;
    QTest::newRow("empty enlarged") << "Txt_拡大画像画質" << "" << "90" << 90;
    QTest::newRow("0") << "Txt_拡大画像画質" << "0" << "1" << 1;
    QTest::newRow("45") << "Txt_サムネイル画質" << "45" << "45" << 45;
}

void OptionsDialogTest::qualityBoxAndSlider() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, slider);
    Dialog t;
    QLineEdit* b = t.box(box.toUtf8().constData());
    b->setFocus();
    b->selectAll();
    if (typed.isEmpty()) QTest::keyClick(b, Qt::Key_Backspace);
    else QTest::keyClicks(b, typed);  // over the selected text, one key at a time
    QCOMPARE(b->text(), shown);
    const char* sliderName = box.contains(QStringLiteral("サムネイル")) ? "Sli_サムネイル画質" : "Sli_拡大画像画質";
    QCOMPARE(t.get<QSlider>(sliderName)->value(), slider);
    // The slider writes its value into the box.
    t.get<QSlider>("Sli_サムネイル画質")->setValue(75);
    QCOMPARE(t.box("Txt_サムネイル画質")->text(), QStringLiteral("75"));
}

void OptionsDialogTest::buttonsAndTheRedrawFlag() {
    Dialog t;
    t.settings.thumbWidth = 200;
    t.settings.thumbHeight = 150;
    t.reopen();
    t.click("Cmd_サムネイルサイズお勧め設定");
    t.click("Cmd_拡大画像画質お勧め設定");
    QCOMPARE(t.box("Txt_サムネイル横")->text(), QStringLiteral("120"));
    QCOMPARE(t.box("Txt_サムネイル縦")->text(), QStringLiteral("90"));
    QCOMPARE(t.settings.thumbWidth, 200);  // shown, not yet applied
    t.click("cmdApply");
    QCOMPARE(t.settings.thumbWidth, 120);
    QCOMPARE(t.redraw, std::optional<bool>(true));
    QVERIFY(t.d->isVisible());
    t.type("Txt_列数", "7");
    t.click("cmdCancel");
    QVERIFY(!t.d->isVisible());
    QCOMPARE(t.settings.thumbWidth, 120);  // 更新 stays
    QCOMPARE(t.settings.columns, 4);       // ｷｬﾝｾﾙ takes nothing
    QCOMPARE(t.redraw, std::optional<bool>(false));

    // "abc" leaves its field; OK sets the flag and closes.
    t.reopen();
    t.type("Txt_サムネイル横", "abc");
    t.type("Txt_拡大画像横", " 500");
    t.click("cmdOK");
    QVERIFY(!t.d->isVisible());
    QCOMPARE(t.settings.thumbWidth, 120);
    QCOMPARE(t.settings.largeWidth, 500);
    QCOMPARE(t.redraw, std::optional<bool>(true));

    // The title bar's close takes nothing and leaves the flag.
    t.reopen();
    t.type("Txt_列数", "9");
    t.d->close();
    QCOMPARE(t.settings.columns, 4);
    QCOMPARE(t.redraw, std::optional<bool>(true));
}

void OptionsDialogTest::numbersOutsideTheirRangesAreRefused() {
    Dialog t;
    t.type("Txt_サムネイル横", "100");
    t.type("Txt_列数", "0");
    t.type("Txt_拡大画像横", "2000");
    t.d->tabs()->setCurrentIndex(2);  // the message brings the box back into sight
    for (const char* button : {"cmdOK", "cmdApply"}) {
        t.ui.calls.clear();
        t.click(button);
        QVERIFY(t.d->isVisible());
        QCOMPARE(t.settings, AlbumSettings::defaults());  // nothing stored, 100 neither
        QCOMPARE(t.ui.messages(), std::vector<std::string>{"「列数」には 1 から 999 までの数を入力してください。"});
        QCOMPARE(t.ui.calls[0].caption, std::string("ミロフォト"));
        QCOMPARE(t.d->tabs()->currentIndex(), 0);
        QCOMPARE(t.d->focusWidget(), static_cast<QWidget*>(t.box("Txt_列数")));
        QCOMPARE(t.box("Txt_列数")->text(), QStringLiteral("0"));  // kept as typed
    }
    QCOMPARE(t.redraw, std::nullopt);
    t.type("Txt_列数", "5");
    t.ui.calls.clear();
    t.click("cmdApply");
    QCOMPARE(t.ui.messages(), std::vector<std::string>{"「拡大画像のサイズ（横）」には 1 から 1024 までの数を入力してください。"});
    t.type("Txt_拡大画像横", "1024");
    t.click("cmdOK");
    QVERIFY(!t.d->isVisible());
    QCOMPARE(t.settings.columns, 5);
    QCOMPARE(t.settings.largeWidth, 1024);
}

void OptionsDialogTest::coloursAndBackgroundBrowse() {
    Dialog t;
    t.d->tabs()->setCurrentIndex(1);
    auto* swatch = t.get<ColourSwatch>("Lbl_リンクの色", 2);
    t.ui.colourAnswers = {std::nullopt, 0x00332211u};
    QTest::mouseClick(swatch, Qt::RightButton);  // other buttons do nothing
    QTest::mouseClick(swatch, Qt::LeftButton);   // cancelled: silent, unchanged
    QCOMPARE(swatch->colour(), mirofoto::kDefaultLinkColour);
    QTest::mouseClick(swatch, Qt::LeftButton);
    QCOMPARE(swatch->colour(), 0x00332211u);
    QCOMPARE(t.ui.calls.size(), std::size_t(2));

    // The file dialog starts in the box's folder when it exists, else in
    // the current directory.
    testing_support::TempDir dir;
    const std::string cwd = std::filesystem::current_path().string();
    struct Case {
        std::string text;
        std::string start;
        std::optional<std::string> chosen;
        std::string after;
    } cases[] = {{"/no/such/folder/bg.jpg", cwd, std::nullopt, "/no/such/folder/bg.jpg"},
                 {"", cwd, std::nullopt, ""},
                 {dir.str("bg.jpg"), dir.str(), dir.str("new.gif"), dir.str("new.gif")}};
    QLineEdit* box = t.get<QLineEdit>("Txt_背景画像", 0);
    for (const Case& c : cases) {
        box->setText(QString::fromStdString(c.text));
        t.ui.fileAnswers = {c.chosen};
        QTest::mouseClick(t.get<QPushButton>("Cmd_背景画像参照", 0), Qt::LeftButton);
        QCOMPARE(t.ui.calls.back().fileOptions.initialFolder, c.start);
        QCOMPARE(t.ui.calls.back().fileOptions.filter, std::string("JPEG／GIF|*.jpg;*.jpeg;*.gif|すべてのファイル|*.*"));
        QCOMPARE(t.ui.calls.back().fileOptions.fileName, std::string());
        QVERIFY(t.ui.calls.back().fileOptions.hideReadOnly);
        QCOMPARE(box->text().toStdString(), c.after);
    }
    t.click("cmdOK");
    QCOMPARE(t.settings.pages[2].linkColor, 0x00332211u);
    QCOMPARE(t.settings.pages[2].activeLinkColor, 0x00332211u);
    QCOMPARE(t.settings.pages[0].backgroundImage, dir.str("new.gif"));
}

void OptionsDialogTest::ctrlTabCycles() {
    Dialog t;
    QTabBar* tabs = t.d->tabs();
    tabs->setCurrentIndex(5);
    QPlainTextEdit* html = t.get<QPlainTextEdit>("Txt_HTML2", 2);
    html->setFocus();
    QTest::keyClick(html, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(html->toPlainText(), QString());  // no tab typed into the box
    QTest::keyClick(t.box("Txt_列数"), Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs->currentIndex(), 1);
}

void OptionsDialogTest::everyFieldRoundTripsThroughTheSettingsFile() {
    ProgramHome home;
    Dialog t;
    // A record unlike the defaults in every field.
    AlbumSettings& s = t.settings;
    s.imageFolder = "/写真/";
    s.outputFolder = "/公開/";
    s.columns = 6, s.thumbWidth = 160, s.thumbHeight = 100, s.thumbQuality = 55;
    s.largeWidth = 640, s.largeHeight = 480, s.largeQuality = 85;
    s.thumbShowFileName = 0, s.thumbShowComment = 0, s.largeShowDate = 0;
    s.followOrientation = 0;
    s.pageStyle = mirofoto::kModernPages;
    for (int p = 0; p < 3; ++p) {
        auto& st = s.pages[p];
        st.textColor = 0x102030u * (p + 1), st.linkColor = st.activeLinkColor = 0x405060u + p;
        st.visitedLinkColor = 0x708090u + p, st.backgroundColor = 0xA0B0C0u + p;
        st.useBackgroundColor = p == 1;
        st.backgroundImage = "/背景/" + std::to_string(p) + " 画像.jpg";
        st.htmlAfterBodyStart = "<P>最初</P>\r\n<HR>";
        st.htmlMiddle = std::to_string(p);
        st.htmlBeforeBodyEnd = "\r\n終わり\r\n";
    }
    const std::string first = home.path("first.ini"), second = home.path("second.ini");
    const mirofoto::WindowPlacement placement;
    QVERIFY(mirofoto::基本設定保存(first, s, placement));
    AlbumSettings loaded;
    mirofoto::WindowPlacement p2;
    mirofoto::基本設定読込(first, loaded, p2);
    s = loaded;
    t.reopen();
    t.click("cmdOK");
    QCOMPARE(t.settings, loaded);
    QVERIFY(mirofoto::基本設定保存(second, t.settings, placement));
    QCOMPARE(testing_support::readBytes(second), testing_support::readBytes(first));
}

void OptionsDialogTest::pageStyleChoice() {
    Dialog t;
    QVERIFY(t.get<QRadioButton>("Opt_ページ形式", 0)->isChecked());
    t.get<QTabBar>("tbsOptions")->setCurrentIndex(2);
    QRadioButton* modern = t.get<QRadioButton>("Opt_ページ形式", 1);
    QTRY_VERIFY(modern->isVisible());
    QTest::mouseClick(modern, Qt::LeftButton, {}, QPoint(6, modern->height() / 2));
    QVERIFY(modern->isChecked());
    t.click("cmdApply");
    QCOMPARE(t.settings.pageStyle, mirofoto::kModernPages);
    // The dialog opens on the record's choice, and gives it back.
    t.reopen();
    QVERIFY(t.get<QRadioButton>("Opt_ページ形式", 1)->isChecked());
    t.get<QTabBar>("tbsOptions")->setCurrentIndex(2);
    QRadioButton* classic = t.get<QRadioButton>("Opt_ページ形式", 0);
    QTest::mouseClick(classic, Qt::LeftButton, {}, QPoint(6, classic->height() / 2));
    t.click("cmdOK");
    QCOMPARE(t.settings.pageStyle, mirofoto::kClassicPages);
}

QTEST_MAIN(OptionsDialogTest)
#include "options_dialog_test.moc"
