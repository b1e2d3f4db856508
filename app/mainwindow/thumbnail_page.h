// The thumbnail page of the main window, a view over the ThumbnailModel
// (app/previews/thumbnail_model.h), which holds the pictures, their ticks,
// turns and comments and decides which preview is made next. Every picture
// of the folder is a cell as soon as the list is in, but widgets exist only
// for the rows in view and a row around them: a set of widgets is bound to
// a cell while it is near the view and bound to another as the page
// scrolls, so a folder of ten thousand pictures costs what one of fifty
// does. The page places the widgets, hands the model what the user did and
// shows what it answers; the frame shows, hides, lays it out and styles it.
// The cached previews are made on worker threads by the PreviewMaker, and
// the model takes a result only while the cell (and the folder) it was
// asked for still stands.
#pragma once

#include "app/mainwindow/styled_page.h"
#include "app/previews/thumbnail_model.h"

#include <QCache>
#include <QPixmap>
#include <QString>

#include <map>
#include <memory>
#include <vector>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QScrollBar;

namespace mirofoto {
class ThreadPool;
}

namespace mirofoto::mainwindow {

class Frm_Main;
class InputBox;
class LinkLabel;
class PreviewMaker;
struct PreviewResult;

class ThumbnailPage : public StyledPage {
    Q_OBJECT
public:
    explicit ThumbnailPage(QWidget* parent);
    ~ThumbnailPage() override;

    /// Connects the page to its window (settings, tree, status bar, tabs)
    /// and to the model it shows. The previews are made on the pool, threads
    /// at a time (0: as many as it has workers).
    void attach(Frm_Main* window, ThumbnailModel& model, ThreadPool& pool, unsigned threads = 0);

    /// サムネイルクリア: removes the cells and asks the next drawing pass to
    /// make every thumbnail anew. Pending previews and scans become harmless.
    void clear();
    /// Writes the comment of the box that has the focus, as leaving it does.
    void finishComment();
    /// The window closes: the comment being typed is written, and every
    /// preview job has ended when this returns (none is started again).
    void windowClosing();
    /// サムネイルページ表示: lists the pictures of the album folder (a tree
    /// node's key) on a worker; the cells follow when the list is in.
    /// albumText is the node's tree text (the key of its ticks), albumName
    /// the name the window shows for it.
    void display(const QString& folderKey, const QString& albumText, const QString& albumName);
    /// サムネイル画像表示: asks for the pictures of the cells in view.
    void drawVisible();
    /// Whether the first cell is shown (pictures are listed).
    bool firstCellShown() const;
    /// The tree text of the album the page shows (empty after a clear).
    const QString& shownAlbum() const { return m_shownAlbum; }
    /// The page frame, with the thumbnail pages' style.
    void layoutPage(const PageStyle& style);
    /// サムネイル配置: places all cells (-1) or one.
    void placeCells(int index = -1);

    /// RedrawThumbnails: set by a clear, by F5 and by the options dialog.
    bool redrawThumbnails() const { return m_model && m_model->redraw(); }
    void setRedrawThumbnails(bool redraw) {
        if (m_model) m_model->setRedraw(redraw);
    }
    /// The album folder the page was last asked to show.
    const QString& folder() const { return m_folder; }

    // ---- what the enlarged page and the tests read ----
    const std::vector<ImageEntry>& entries() const;
    ThumbnailModel* model() const { return m_model; }
    /// The pictures listed: every one is a cell, whether widgets show it now or not.
    int cellCount() const { return m_model ? m_model->count() : 0; }
    /// The cells of the listed folder all exist and no scan is pending.
    bool ready() const { return !(m_model && m_model->scanPending()); }
    /// No preview is being made or waiting to be made for a cell in view,
    /// and the cells in view show their dates and comments.
    bool previewsSettled() const;
    bool cellHasPicture(int index) const;
    /// Cell i shows a picture: its preview, or a stand-in while it is made.
    bool cellShowsPicture(int index) const;
    /// The cells in view now, as the model counts them.
    std::vector<int> cellsInView() const;
    QString cellFileName(int index) const;
    /// Cell i's date and comment captions, read from the picture first when
    /// the reads on the pool have not reached it yet.
    QString cellDate(int index);
    QString cellComment(int index);
    /// Shows picture i's date and comment in its cell, when it has one.
    void refreshDetails(int index);
    /// How the dates and comments are read on the pool (the model's reader
    /// when none is set); tests hold a read back with it.
    void setBackgroundDetailsReader(DetailsReader read) { m_backgroundReader = std::move(read); }
    /// Whether cell i's thumbnail is shown (it is hidden with no pictures).
    bool cellShown(int index) const;
    /// Whether cell i has widgets now (it is in view or next to it); only a
    /// bound cell's widgets carry its index.
    bool cellBound(int index) const { return boundCell(index) != nullptr; }
    /// The number of cells that have widgets.
    int boundCellCount() const;
    /// Scrolls the page the least that shows cell i's frame whole, so its
    /// widgets are bound.
    void scrollToCell(int index);
    PreviewMaker* maker() const { return m_maker; }
    Frm_Main* window() const { return m_window; }
    /// The EXIF command on an album folder (a tree node's key).
    void turnByExifCommand(const QString& folderKey);

    // The cell events, as the controls raise them.
    void Chk_画像選択_Click(int index);
    void Cmd_LTurn_Click(int index);
    void Cmd_RTurn_Click(int index);
    void Txt_コメント_LostFocus(int index);

signals:
    /// The scan's list is in: the number of pictures.
    void listed(int count);
    /// The cells of a scan are all built (or the folder had no pictures).
    void cellsBuilt();
    /// Every picture of the folder has its date and comment read.
    void detailsAllRead();
    /// A cell took its picture.
    void cellDrawn(int index);
    /// Cell i shows its picture's embedded thumbnail while its file is made.
    void placeholderShown(int index);
    /// The EXIF command finished: the number of turns it stored.
    void turnsStored(int count);

protected:
    void wheelEvent(QWheelEvent* event) override;
    /// Tab from a cell's last control (Shift+Tab from its first) goes to the
    /// next (previous) cell, scrolled into view and bound if it was not.
    bool focusNextPrevChild(bool next) override;

private:
    struct Cell;
    struct ScanState;

    void resetCell0();
    /// During an album run the ticks and turns stay as the run reads them.
    void lockForRun(Cell& c, bool running);
    Cell& makeCell();
    /// Shows cell index in the slot's widgets: everything is read from the
    /// model (and the pictures remembered here), so binding again refreshes.
    void bindCell(Cell& slot, int index);
    /// The slot's cell leaves the bound rows: a comment being typed is
    /// written first, as leaving its box does, and the picture remembered.
    void unbindCell(Cell& slot);
    /// Binds the cells of the rows in view and a row around them, and frees
    /// the slots of cells that left them.
    void rebind();
    Cell* boundCell(int index) const;
    Cell* slotHolding(const QWidget* widget) const;
    /// Tab walks the bound cells in their order, whatever slots they took.
    void chainTabOrder();
    void rememberPicture(int index, const QPixmap& picture);
    void onScanDone(quint64 epoch, std::vector<ImageEntry> entries, ThumbnailModel::Sharing sharing);
    /// Asks the pool for the next dates and comments, one batch at a time.
    void readMoreDetails();
    void onDetailsRead(quint64 epoch, const std::vector<int>& cells, const std::vector<ImageDetails>& details);
    /// The status bar when nothing is being drawn: the search text and its
    /// progress while dates and comments are still being read.
    void restStatus();
    void setScrollMaxima();
    /// What the model needs to know of the page as it stands.
    ThumbnailView view(bool shown) const;
    bool onPage() const;
    void pump();
    void onPreviewFinished(const PreviewResult& result);
    void onPlaceholder(const PreviewResult& result);
    void onScroll();
    void status(const QString& text);
    void turn(int index, bool left);
    void enableCaptions(Cell& c, bool ticked);
    CellTemplate currentTemplate() const;
    QFont captionFont() const;
    void continueExifTurns();

    Frm_Main* m_window = nullptr;
    ThumbnailModel* m_model = nullptr;
    PreviewMaker* m_maker = nullptr;
    LinkLabel* m_menuLink;
    QScrollBar* m_vScroll;
    QScrollBar* m_hScroll;
    std::vector<std::unique_ptr<Cell>> m_cells;  ///< the slots; element 0 always exists
    /// Pictures of cells without widgets, by index, so a cell scrolled back
    /// shows its picture at once; bounded by the pixels held.
    QCache<int, QPixmap> m_pictures;
    /// Comments typed into cells that have since lost their widgets and could
    /// not be written (the file refused them): the box shows them again.
    std::map<int, QString> m_drafts;
    bool m_placed = false;  ///< the cells of the list were placed on the page
    CellTemplate m_template;
    CellControlSizes m_sizes;
    PageStyle m_style;
    QString m_folder;
    QString m_shownAlbum;
    bool m_busy = false;
    bool m_warmedUp = false;
    std::shared_ptr<ScanState> m_scan;
    std::shared_ptr<ScanState> m_details;  ///< the reads of the shown folder's dates and comments
    bool m_detailsBusy = false;            ///< a batch is on the pool
    DetailsReader m_backgroundReader;
};

}  // namespace mirofoto::mainwindow
