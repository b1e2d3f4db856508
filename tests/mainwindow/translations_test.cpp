// Qt's own texts in the program's language: the standard buttons of the
// message boxes and the file and folder dialogs, opened through the Qt
// user-interface services under an English locale (the test runs with
// LANG=C).
#include "app/mainwindow/qt_translations.h"
#include "app/mainwindow/qt_ui_services.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace mirofoto::mainwindow;

namespace {

// Runs `open` (which shows a modal dialog) and reads the dialog's texts
// once it is up; then closes it with Escape.
QStringList textsOfModal(const std::function<void()>& open, const std::function<QStringList(QWidget*)>& read) {
    QStringList texts;
    std::function<void()> look = [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            QTimer::singleShot(10, look);
            return;
        }
        texts = read(modal);
        QTest::keyClick(modal, Qt::Key_Escape);
    };
    QTimer::singleShot(0, look);
    open();
    return texts;
}

QStringList buttonTexts(QWidget* dialog) {
    QStringList out;
    for (QDialogButtonBox* box : dialog->findChildren<QDialogButtonBox*>())
        for (QAbstractButton* b : box->buttons()) out << b->text();
    return out;
}

QStringList labelTexts(QWidget* dialog) {
    QStringList out;
    for (QLabel* l : dialog->findChildren<QLabel*>())
        if (!l->text().isEmpty()) out << l->text();
    return out;
}

}  // namespace

class TranslationsTest : public QObject {
    Q_OBJECT
    QtUiServices m_services;
private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(installQtJapanese(*qApp));
    }
    void standardTextsAreJapanese_data();
    void standardTextsAreJapanese();
};

void TranslationsTest::standardTextsAreJapanese_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("text");
    const char* rows[][2] = {
        {"yesNoCancel", "はい(&Y)"}, {"yesNoCancel", "いいえ(&N)"}, {"yesNoCancel", "キャンセル"},
        {"okCancel", "キャンセル"}, {"retryCancel", "再試行"},
        {"openFile", "アドレス:"}, {"openFile", "ファイル名(&N):"}, {"openFile", "ファイルの種類:"},
        {"openFile", "開く(&O)"}, {"saveFile", "保存(&S)"}, {"folder", "選択(&C)"}, {"folder", "ディレクトリ:"},
    };
    for (const auto& r : rows)
        QTest::addRow("%s %s", r[0], r[1]) << QString::fromUtf8(r[0]) << QString::fromUtf8(r[1]);
}

void TranslationsTest::standardTextsAreJapanese() {
    QFETCH(QString, dialog);
    QFETCH(QString, text);
    using platform::MsgButtons;
    const auto box = [&](MsgButtons buttons) {
        return textsOfModal([&] { m_services.messageBox(nullptr, "確認", "ミロフォト", buttons, platform::MsgIcon::Question); },
                            buttonTexts);
    };
    const auto fileDialog = [&](std::function<void()> open) {
        return textsOfModal(open, [](QWidget* d) { return buttonTexts(d) + labelTexts(d); });
    };
    platform::FileDialogOptions options;
    options.initialFolder = QDir::tempPath().toStdString();
    options.filter = "ミロフォト設定ファイル|*.mfs";
    QStringList shown;
    if (dialog == "yesNoCancel") shown = box(MsgButtons::YesNoCancel);
    else if (dialog == "okCancel") shown = box(MsgButtons::OkCancel);
    else if (dialog == "retryCancel") shown = box(MsgButtons::RetryCancel);
    else if (dialog == "openFile") shown = fileDialog([&] { m_services.openFileDialog(nullptr, options); });
    else if (dialog == "saveFile") shown = fileDialog([&] { m_services.saveFileDialog(nullptr, options); });
    else if (dialog == "folder")
        shown = fileDialog([&] { m_services.browseForFolder(nullptr, options.initialFolder, "フォルダの選択"); });
    if (!shown.contains(text)) qWarning() << shown;
    QVERIFY(shown.contains(text));
}

QTEST_MAIN(TranslationsTest)
#include "translations_test.moc"
