#include "app/mainwindow/qt_ui_services.h"

#include "app/settings/settings_files.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace mirofoto::mainwindow {
namespace {

QWidget* ownerWidget(platform::WindowRef owner) { return static_cast<QWidget*>(owner); }

QString fromUtf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QFileDialog::Options fileOptions() { return QFileDialog::DontConfirmOverwrite; }

// The dialog's answer; a name typed without an extension for saving gets the
// default one.
std::optional<std::string> chosenFile(const QString& chosen, const platform::FileDialogOptions& o, bool saving) {
    if (chosen.isEmpty()) return std::nullopt;
    QString path = chosen;
    if (saving && !o.defaultExtension.empty() && QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + fromUtf8(o.defaultExtension);
    return path.toStdString();
}

QString initialPath(const platform::FileDialogOptions& o) {
    const QString folder = fromUtf8(o.initialFolder);
    if (o.fileName.empty()) return folder;
    return QDir(folder).filePath(fromUtf8(o.fileName));
}

}  // namespace

QString displayText(std::string_view text) {
    QString s = fromUtf8(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

QString qtFileFilter(std::string_view filter) {
    const QStringList parts = fromUtf8(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

platform::MsgResult QtUiServices::messageBox(platform::WindowRef owner, std::string_view text,
                                             std::string_view caption, platform::MsgButtons buttons,
                                             platform::MsgIcon icon) {
    using platform::MsgButtons;
    using platform::MsgIcon;
    using platform::MsgResult;
    QMessageBox box(ownerWidget(owner));
    box.setWindowTitle(fromUtf8(caption));
    box.setText(displayText(text));
    switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    }
    QMessageBox::StandardButtons shown;
    QMessageBox::StandardButton escape = QMessageBox::Ok;
    switch (buttons) {
    case MsgButtons::Ok: shown = QMessageBox::Ok; break;
    case MsgButtons::OkCancel: shown = QMessageBox::Ok | QMessageBox::Cancel, escape = QMessageBox::Cancel; break;
    case MsgButtons::YesNo: shown = QMessageBox::Yes | QMessageBox::No, escape = QMessageBox::No; break;
    case MsgButtons::YesNoCancel:
        shown = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, escape = QMessageBox::Cancel;
        break;
    case MsgButtons::RetryCancel: shown = QMessageBox::Retry | QMessageBox::Cancel, escape = QMessageBox::Cancel; break;
    }
    box.setStandardButtons(shown);
    box.setEscapeButton(escape);
    switch (box.exec()) {
    case QMessageBox::Ok: return MsgResult::Ok;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    case QMessageBox::Retry: return MsgResult::Retry;
    default: return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
    }
}

std::optional<std::string> QtUiServices::openFileDialog(platform::WindowRef owner,
                                                        const platform::FileDialogOptions& o) {
    const QString chosen = QFileDialog::getOpenFileName(ownerWidget(owner), fromUtf8(o.title), initialPath(o),
                                                        qtFileFilter(o.filter), nullptr, fileOptions());
    return chosenFile(chosen, o, false);
}

std::optional<std::string> QtUiServices::saveFileDialog(platform::WindowRef owner,
                                                        const platform::FileDialogOptions& o) {
    // The commands ask before replacing a file themselves.
    const QString chosen = QFileDialog::getSaveFileName(ownerWidget(owner), fromUtf8(o.title), initialPath(o),
                                                        qtFileFilter(o.filter), nullptr, fileOptions());
    return chosenFile(chosen, o, true);
}

std::string QtUiServices::browseForFolder(platform::WindowRef owner, std::string_view initialFolder,
                                          std::string_view title) {
    const QString chosen = QFileDialog::getExistingDirectory(ownerWidget(owner), fromUtf8(title),
                                                             fromUtf8(initialFolder));
    return chosen.toStdString();
}

std::optional<std::uint32_t> QtUiServices::chooseColour(platform::WindowRef owner, std::uint32_t initial) {
    const QColor start(int(initial & 0xFF), int((initial >> 8) & 0xFF), int((initial >> 16) & 0xFF));
    const QColor c = QColorDialog::getColor(start, ownerWidget(owner));
    if (!c.isValid()) return std::nullopt;
    return std::uint32_t(c.red()) | std::uint32_t(c.green()) << 8 | std::uint32_t(c.blue()) << 16;
}

bool QtUiServices::openDocument(platform::WindowRef, std::string_view pathOrUrl) {
    const QString target = fromUtf8(pathOrUrl);
    const QUrl url = target.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(target) : QUrl(target);
    return QDesktopServices::openUrl(url);
}

std::string QtUiServices::documentsFolder() { return platform::xdgDocumentsFolder(); }

bool openInBrowser(platform::WindowRef owner, std::string_view pathOrUrl) {
    if (platform::ui().openDocument(owner, pathOrUrl)) return true;
    const std::string text = "ブラウザを起動できませんでした。\r次のページをブラウザで開いてください。\r\r" +
                             std::string(pathOrUrl);
    platform::ui().messageBox(owner, text, kApplicationTitle, platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
    return false;
}

}  // namespace mirofoto::mainwindow
