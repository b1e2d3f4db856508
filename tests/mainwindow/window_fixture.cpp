#include "tests/mainwindow/window_fixture.h"

#include "app/settings/settings_files.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTreeWidgetItem>

#include <filesystem>

namespace fs = std::filesystem;

namespace window_testing {

void makeFolder(const testing_support::TempDir& dir, std::initializer_list<const char*> entries) {
    for (const char* e : entries) {
        const std::string name(e);
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".jpg") == 0) testing_support::writeBytes(dir / name, "x");
        else fs::create_directories(dir / name);
    }
}

WindowFixture::WindowFixture() : m_scoped(std::make_unique<platform::ScopedUi>(ui)) {
    ui.documents = photos.str();
}

WindowFixture::~WindowFixture() {
    if (m_window) close();
}

Frm_Main& WindowFixture::open(const std::optional<std::string>& imageFolder) {
    m_window = std::make_unique<Frm_Main>();
    m_window->load(imageFolder);
    m_window->activateWindow();
    (void)QTest::qWaitForWindowActive(m_window.get());
    waitShown();
    return *m_window;
}

void WindowFixture::close() {
    m_window->close();
    m_window.reset();
}

bool WindowFixture::waitShown() {
    // A bounded wait for the worker's result, never a fixed pause.
    return QTest::qWaitFor([&] { return !m_window->scanPending(); }, 10000);
}

bool WindowFixture::showFolder(const std::string& text) {
    m_window->imageFolderBox()->setText(QString::fromStdString(text));
    return waitShown();
}

QWidget* WindowFixture::element(const char* name, int index) {
    for (QWidget* w : m_window->findChildren<QWidget*>(QString::fromUtf8(name)))
        if (w->property("index").toInt() == index) return w;
    return nullptr;
}

QStringList WindowFixture::nodeTexts() {
    QStringList out;
    for (QTreeWidgetItem* node : m_window->tree()->nodes()) out << node->text(0);
    return out;
}

std::string WindowFixture::perFolderFile() const { return mirofoto::perFolderSettingsFile(photos.str()); }

void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

std::string fileText(const std::string& path) { return testing_support::readBytes(path); }

}  // namespace window_testing
