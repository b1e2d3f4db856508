// The main window opened offscreen in a program folder of its own, with the
// scripted user-interface services, and helpers to find its controls.
#pragma once

#include "app/mainwindow/folder_tree.h"
#include "app/mainwindow/frm_main.h"
#include "app/mainwindow/menu_page.h"
#include "app/mainwindow/enlarged_page.h"
#include "app/mainwindow/thumbnail_page.h"
#include "app/mainwindow/twips_geometry.h"
#include "tests/support/program_home.h"
#include "tests/support/test_support.h"

#include <QTest>

#include <memory>
#include <optional>
#include <string>

namespace window_testing {

using mirofoto::mainwindow::Frm_Main;
using mirofoto::mainwindow::TwipsRect;
using mirofoto::mainwindow::twipsGeometry;

/// An image folder: each name ending in ".jpg" becomes an (empty) picture,
/// every other name a folder.
void makeFolder(const testing_support::TempDir& dir, std::initializer_list<const char*> entries);

class WindowFixture {
public:
    WindowFixture();
    ~WindowFixture();

    /// Opens a window (the folder given instead of the stored one) and waits
    /// until its tree shows the folder.
    Frm_Main& open(const std::optional<std::string>& imageFolder = std::nullopt);
    /// Closes the window (Form_Unload runs) and deletes it.
    void close();
    Frm_Main& window() { return *m_window; }

    /// Waits until the latest scan is shown.
    bool waitShown();
    /// Puts a text into the image folder box and waits for its tree.
    bool showFolder(const std::string& text);

    template <class T = QWidget>
    T* control(const char* name) {
        return m_window->findChild<T*>(QString::fromUtf8(name));
    }
    /// Element i of a control array of the menu page.
    QWidget* element(const char* name, int index);
    /// The tree's nodes as "text" lines, and their states as text.
    QStringList nodeTexts();
    std::string perFolderFile() const;

    ProgramHome home;
    testing_support::ScriptedUi ui;
    testing_support::TempDir photos;

private:
    std::unique_ptr<platform::ScopedUi> m_scoped;
    std::unique_ptr<Frm_Main> m_window;
};

/// Types the text into the widget one character at a time, as key presses
/// carrying their text (Japanese included).
void typeText(QWidget* widget, const QString& text);

/// The file as text, for comparing what a write left.
std::string fileText(const std::string& path);

}  // namespace window_testing
