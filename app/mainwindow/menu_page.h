// The menu page of the main window (Pic_メニューページ): the album's title,
// subtitle, a rule and one bulleted link per ticked album, each text edited
// in place and stored at once in the image folder's per-folder settings.
#pragma once

#include "app/mainwindow/page_widgets.h"
#include "app/mainwindow/styled_page.h"
#include "app/settings/folder_settings_store.h"

#include <QLabel>
#include <QLineEdit>

#include <string>
#include <vector>

class QFrame;
class QPushButton;
class QScrollBar;

namespace mirofoto::mainwindow {

/// One album entry of the page: its key (the album folder's path ending in
/// "/"), the text its link shows, and the text the settings hold for it now
/// (a caption equal to it needs no store).
struct MenuEntry {
    std::string key;
    std::string caption;
    std::string stored;
};

class MenuPage : public StyledPage {
    Q_OBJECT
public:
    explicit MenuPage(QWidget* parent);

    /// The store the page's texts are read from and stored in (the window's).
    /// Before the store switches folders, the window finishes an open edit,
    /// so that it lands in the folder it was begun for.
    void setStore(FolderSettingsStore* store) { m_store = store; }

    /// メニューページクリア: the extra entries removed, title, subtitle and
    /// entry 0 emptied (tags first, so nothing is stored) and entry 0 hidden.
    void clear();
    /// メニューページ表示 for the ticked albums in their order: title and
    /// subtitle from the settings, one entry per album (each link text
    /// stored, the default included). The caller lays the page out after.
    /// storeDefaults false shows an entry whose text is not stored with its
    /// default text without storing it (a folder still being typed).
    void display(const std::vector<MenuEntry>& entries, bool storeDefaults = true);

    /// The page frame: styling with the menu page's style and the controls
    /// placed for the page size and the scroll bar's value.
    void layoutPage(const PageStyle& style, int scrollBarWidth);
    /// Places the controls for the scroll bar's current value.
    void placeControls();

    /// Starts editing the title (-1 is also the subtitle's target), the
    /// subtitle or entry i.
    void editTitle();
    void editSubtitle();
    void editEntry(int index);
    /// The editor losing the focus: hidden, its trimmed text given to the
    /// label it edits (which stores it).
    void finishEdit();

    int entryCount() const { return m_entryCount; }
    QScrollBar* scrollBar() const { return m_scroll; }
    /// Increases with every text the page stores.
    quint64 storeCount() const { return m_stores; }

signals:
    /// A left click on entry i's link: the album folder's key.
    void albumLinkActivated(const QString& key);
    /// The page stored a text into the per-folder settings.
    void stored();

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    struct Entry {
        QLabel* bullet = nullptr;
        LinkLabel* link = nullptr;
        QPushButton* button = nullptr;
    };

    Entry makeEntry(int index);
    void setTitleCaption(QLabel* label, const QString& caption, bool subtitle);
    void setEntryCaption(int index, const QString& caption, const std::string* stored = nullptr);
    void startEdit(QLabel* label, int target);
    void noteStored(bool ok);

    FolderSettingsStore* m_store = nullptr;
    QLabel* m_title;
    QPushButton* m_titleButton;
    QLabel* m_subtitle;
    QPushButton* m_subtitleButton;
    QFrame* m_rule;
    std::vector<Entry> m_entries;  ///< element 0 always exists
    int m_entryCount = 0;          ///< entries listed by the last display
    InputBox* m_input;
    int m_editTarget = -1;
    QScrollBar* m_scroll;
    PageStyle m_style;
    int m_scrollBarWidth = 0;
    quint64 m_stores = 0;
};

/// The text with spaces removed at both ends (other blanks are kept).
QString trimSpaces(const QString& text);

}  // namespace mirofoto::mainwindow
