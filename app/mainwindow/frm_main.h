// Frm_Main, the main window: the folder tree of the image folder on the left,
// the three preview pages on the right, menus, toolbar and status bar around
// them. Geometry is kept in twips (twips_geometry.h); the rules it follows
// are in frame_layout.h; every message and dialog goes through the
// user-interface services.
#pragma once

#include "app/albumoutput/image_folder_scan.h"
#include "app/albumoutput/ui/album_run_host.h"
#include "app/mainwindow/hosted_controls.h"
#include "app/previews/thumbnail_model.h"
#include "app/settings/album_settings.h"
#include "app/settings/folder_settings_store.h"
#include "app/util/temp_folder_lock.h"

#include <QMainWindow>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTabBar;
class QToolBar;
class QTreeWidgetItem;

namespace mirofoto {
class ThreadPool;
}

namespace mirofoto::mainwindow {

class EnlargedPage;
class FolderTree;
class MenuPage;
class ThumbnailPage;

/// The application title, version and the window caption built from them.
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 1;
/// The page about the program that the online help opens.
inline constexpr const char* kHelpPageUrl = "https://mirofoto.github.io/";

/// The invisible splitter grip between the tree and the pages. The mouse
/// drags it; with the focus, Left and Right move it.
class SplitterGrip : public QWidget {
    Q_OBJECT
public:
    explicit SplitterGrip(QWidget* parent);
signals:
    void pressed();
    void moved(int mouseXTwips);  ///< the mouse's x in the grip, in twips
    void released();
    void nudged(int deltaTwips);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

class Frm_Main : public QMainWindow, public AlbumRunHost {
    Q_OBJECT
public:
    /// A command whose window another form provides (the options dialog, the
    /// album output form); it runs modally and returns when it closes.
    using FormCommand = std::function<void(Frm_Main&)>;

    explicit Frm_Main(QWidget* parent = nullptr);
    ~Frm_Main() override;

    /// Form_Load: the temp folder cleared (unless another window uses it),
    /// the caption set, the album settings and the placement loaded, the
    /// window shown, the controls created and the image folder put into its
    /// box (imageFolder, when given, instead of the stored one, as if typed).
    void load(const std::optional<std::string>& imageFolder = std::nullopt);
    /// Form_Unload (closing runs it once): the settings saved, the temp
    /// folder removed unless another window uses it, the controls released.
    void unload();

    // ---- the frame ----
    void ページ切り替え();
    void TabStrip_Click();
    void SizeControls(int splitterX);
    void Form_KeyDown(int keyCode);
    void Toolbar_ButtonClick(const QString& key);
    /// Selects the tab with the key; TabStrip_Click runs also when it was
    /// selected already.
    void selectTab(const QString& key);
    QString selectedTabKey() const;

    // ---- the commands ----
    void openSettingsCommand();
    void saveSettingsCommand();
    void exitCommand();
    void albumOutputCommand();
    void optionsCommand();
    void onlineHelpCommand();
    void versionCommand();
    void exifTurnCommand();
    /// "ブラウザで確認": the album of the selected folder written in the chosen
    /// page style into the temp folder, on the pool, then opened.
    void browserPreviewCommand();
    void setOptionsCommand(FormCommand command) { m_optionsForm = std::move(command); }
    void setAlbumOutputCommand(FormCommand command) { m_albumOutputForm = std::move(command); }

    // ---- state the pages and forms share ----
    AlbumSettings& settings() override { return m_settings; }
    const WindowPlacement& placement() const { return m_placement; }
    /// The image folder: the box's trimmed text ending in "/" (empty for an
    /// empty box).
    const std::string& imageFolder() const override { return m_imageFolder; }
    /// The per-folder settings of the folder the tree shows, behind their lock.
    FolderSettingsStore& store() { return m_store; }
    int currentImage() const { return m_currentImage; }
    void setCurrentImage(int index) { m_currentImage = static_cast<std::int16_t>(index); }
    bool splitterMoving() const { return m_splitterMoving; }
    /// The Tagora control ExifCtl (null when it could not be created) and
    /// the Kelpo control.
    const HostedControl& exifCtl() const { return m_exifCtl; }
    const HostedControl& kelpo() const { return m_kelpo; }

    FolderTree* tree() const { return m_tree; }
    MenuPage* menuPage() const { return m_menuPage; }
    ThumbnailPage* thumbnailPage() const { return m_thumbnailPage; }
    EnlargedPage* enlargedPage() const { return m_enlargedPage; }
    QLineEdit* imageFolderBox() const { return m_folderBox; }
    /// The status bar's second panel: what the window is doing now.
    void setStatusText(const QString& text);
    /// A short note in the status bar that a command did its work (a few
    /// seconds, over the panels).
    void confirm(const QString& text);
    /// The progress bar over the status bar: shown with a step, hidden.
    void showProgress(int done, int count);
    void hideProgress();
    /// Whether a scan of the image folder is under way.
    bool scanPending() const { return m_scanPending; }
    /// The program's one thread pool: the folder scans, the previews and
    /// the album run all work on it.
    ThreadPool& pool() override { return *m_pool; }
    QWidget* hostWidget() override { return this; }
    std::vector<std::string> listedAlbumFolders() const override;

    /// While an album run is under way the window can be looked at but not
    /// change what the run reads: the image folder, the ticks, the turns and
    /// the settings. Closing the window then calls closeRequested instead
    /// (the run's form asks whether to stop).
    void setRunInProgress(bool running, std::function<void()> closeRequested = {}) override;
    bool runInProgress() const { return m_runInProgress; }

signals:
    /// The tree and the menu page show the result of the latest scan (also
    /// after a failure was reported).
    void imageFolderShown();
    /// An album run began or ended (the pages lock their ticks and turns).
    void runInProgressChanged(bool running);
    /// A preview was made and handed to the browser (or a failure shown: an
    /// empty page).
    void browserPreviewShown(const QString& page);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void browserPreviewDone(const std::string& page, const std::string& problem);
    void setPreviewing(bool previewing);
    void buildMenus();
    void buildToolbar();
    void 変数初期化();
    void フォーム初期設定();
    void placementFromWindow();
    void applyPlacement();
    void layoutFixedControls(int windowWidth, int innerHeight);
    void styleVisiblePage();
    /// Names the album the thumbnail and enlarged pages show, beside the
    /// tabs and in the status bar, so that no one turns or comments the
    /// pictures of another album than they think.
    void showAlbumName();

    // the splitter
    void imgSplitter_MouseDown();
    void imgSplitter_MouseMove(int mouseX);
    void imgSplitter_MouseUp();

    // the image folder and the tree
    void Txt_画像フォルダ_Change();
    void Cmd_フォルダの選択_Click();
    void requestScan(bool folderChange);
    /// The folder in the box is the user's choice (Enter, the box left, a
    /// folder chosen or opened, the window started or closed on it): only
    /// now are its albums' default link texts stored, never for each
    /// partial path typed on the way.
    void commitImageFolder();
    /// No scan is sent from now on, and every one sent has ended.
    void endScans();
    struct ScanResult;
    void onScanFinished(quint64 generation, quint64 revision, bool reportFailure, bool committed,
                        const ScanResult& result);
    void onNodeClicked(QTreeWidgetItem* node);
    /// The album of the node (none: no album) on the thumbnail page.
    void showOnThumbnails(QTreeWidgetItem* node);
    void onNodeChecked(QTreeWidgetItem* node);
    void onTreeDoubleClicked();
    void onAlbumLink(const QString& key);

    struct Design;  // the places the window's design fixes
    std::unique_ptr<Design> m_design;

    QWidget* m_client = nullptr;
    QToolBar* m_toolbar = nullptr;
    QFrame* m_frame1 = nullptr;
    QFrame* m_frame2 = nullptr;
    QLabel* m_folderLabel = nullptr;
    QLineEdit* m_folderBox = nullptr;
    QPushButton* m_browse = nullptr;
    FolderTree* m_tree = nullptr;
    SplitterGrip* m_grip = nullptr;
    QFrame* m_dragBar = nullptr;
    QTabBar* m_tabs = nullptr;
    MenuPage* m_menuPage = nullptr;
    ThumbnailPage* m_thumbnailPage = nullptr;
    EnlargedPage* m_enlargedPage = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QLabel* m_panel1 = nullptr;
    QLabel* m_albumName = nullptr;
    QLabel* m_panel2 = nullptr;
    QProgressBar* m_progress = nullptr;

    AlbumSettings m_settings;
    WindowPlacement m_placement;
    std::string m_currentDirectory;  ///< where the file dialogs open
    std::string m_imageFolder;
    std::string m_committedFolder;  ///< the image folder last committed
    FolderSettingsStore m_store;
    /// The pictures of the album the thumbnail and enlarged pages show.
    ThumbnailModel m_thumbnailModel{m_store, m_settings};
    bool m_previewing = false;  ///< a preview for the browser is being made
    bool m_treeListed = false;  ///< the album nodes of the shown folder are in the tree
    /// The keys of the albums the last scan found pictures in.
    std::unordered_set<std::string> m_albumsWithPictures;

    // 変数初期化 resets these (CurrentImage excepted).
    double m_thumbScrollV = 0;
    double m_thumbScrollH = 0;
    bool m_busy = false;
    std::int16_t m_currentImage = 0;
    bool m_splitterMoving = false;

    HostedControl m_exifCtl{"Tagora.ExifCtl"};
    HostedControl m_kelpo{"Kelpo.Kelpo"};
    TempFolderLock m_tempLock;
    FormCommand m_optionsForm;
    FormCommand m_albumOutputForm;
    bool m_loaded = false;
    bool m_unloaded = false;
    bool m_showMaximized = false;
    bool m_runInProgress = false;
    std::function<void()> m_closeDuringRun;

    // Scans run on a worker: each carries the generation it was asked for
    // and the store revision it read, and a result that is no longer the
    // latest, or that read settings a later store changed, is dropped.
    std::atomic<quint64> m_generation{0};
    quint64 m_revision = 0;
    bool m_scanPending = false;
    /// Scans are sent to the pool until the window unloads.
    bool m_scansOpen = true;
    std::vector<std::future<void>> m_scans;
    std::unique_ptr<ThreadPool> m_pool;
};

}  // namespace mirofoto::mainwindow
