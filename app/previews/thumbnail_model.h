// The thumbnail page without its widgets: the pictures of the album folder
// it shows, their ticks, turns and comments, the EXIF command, and which
// cached preview is asked for next. The thumbnail and enlarged-image pages
// are views over it: they place widgets, hand it what the user did and show
// what it answers. Nothing here needs Qt or a display, so every rule is
// tested on its own.
#pragma once

#include "app/previews/preview_rules.h"
#include "app/settings/album_settings.h"
#include "app/settings/folder_settings_store.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirofoto {

/// A cached preview to make: the picture, the file, its box, quality and
/// turn, and the tags by which its answer is told from a stale one.
struct PreviewRequest {
    enum Kind { Thumbnail, Enlarged };
    Kind kind = Thumbnail;
    std::uint64_t epoch = 0;   ///< the asking page's epoch (cells of one folder)
    std::uint64_t ticket = 0;  ///< the cell's (or the page's) request number
    int cell = -1;
    std::string source;
    std::string destination;
    int boxWidth = 0;
    int boxHeight = 0;
    int quality = 0;
    std::optional<int> storedTurn;   ///< nothing when no turn is stored
    bool followOrientation = false;  ///< the settings' "EXIFの向きに従う"
    bool force = false;  ///< make it even when the file exists
    /// A cached preview of the picture that may stand in, scaled up, while
    /// the file is made (an enlarged preview's thumbnail); empty for none.
    std::string standInFile;
    /// Only a stand-in is wanted, no file (its ticket is the cell's
    /// stand-in ticket).
    bool standInOnly = false;
    /// A stand-in is to be made while the file is made (not when the cell
    /// shows one already).
    bool withStandIn = true;
};

/// What the page shows now: the cell template and scroll value (twips and
/// steps of 100 twips), the page's height, and whether it is on screen.
struct ThumbnailView {
    CellTemplate cell;
    int vScroll = 0;
    int pageHeight = 0;
    bool shown = false;
};

/// What became of a comment the user left.
struct CommentResult {
    enum Outcome { Unchanged, Written, Refused };
    Outcome outcome = Unchanged;
    std::string text;     ///< the comment as it now stands in the box (trimmed)
    /// Written: the note for the status bar. Refused: the message to show,
    /// or empty when this text was refused and told before.
    std::string message;
};

/// What the EXIF command did, and what to tell the user.
struct ExifTurnsResult {
    int stored = 0;
    std::string message;
};

class ThumbnailModel {
public:
    /// store and settings outlive the model; the store is the window's.
    ThumbnailModel(FolderSettingsStore& store, const AlbumSettings& settings);

    // ---- the shown folder ----

    /// サムネイルクリア: no pictures, every pending answer stale, and the next
    /// drawing makes every thumbnail anew.
    void clear();
    /// Every answer asked for so far, the scan's too, becomes stale (the
    /// window closes).
    void dropPending() {
        ++m_epoch;
        m_scanPending = false;
    }
    /// The album folder (a tree node's key) and its tree text (the key of its
    /// ticks); call clear() first. The pictures follow with beginScan() and
    /// listed().
    void show(std::string folder, std::string albumText);
    /// A scan of the shown folder: the folder (ending with "/") and the epoch
    /// its answer must name. Nothing when no folder is shown.
    struct Scan {
        std::string folder;
        std::string albumText;
        std::uint64_t epoch = 0;
    };
    std::optional<Scan> beginScan();
    /// For each picture, the others whose tick and turn are stored under its
    /// key (a scan's worker works this out, so a large folder's list costs
    /// the user-interface thread nothing).
    using Sharing = std::vector<std::vector<std::string>>;
    static Sharing sharingOf(std::string_view albumText, const std::vector<ImageEntry>& entries);
    /// The scan asked for with epoch is in. False (and nothing taken) when the
    /// page was cleared or shown another folder meanwhile.
    bool listed(std::uint64_t epoch, std::vector<ImageEntry> entries);
    /// The same with the sharing the scan worked out (sharingOf).
    bool listed(std::uint64_t epoch, std::vector<ImageEntry> entries, Sharing sharing);
    bool scanPending() const { return m_scanPending; }
    const std::string& folder() const { return m_folder; }
    const std::string& albumText() const { return m_albumText; }
    std::uint64_t epoch() const { return m_epoch; }
    const std::vector<ImageEntry>& entries() const { return m_entries; }
    int count() const { return static_cast<int>(m_entries.size()); }
    /// The other pictures whose tick and turn are stored under picture i's key.
    const std::vector<std::string>& sharingWith(int index) const;

    /// The cells come to be a slice at a time. The next cell is built; when
    /// view is given (the page is shown, past the first slice) and the cell
    /// is in it, it is made anew if the list came in after a clear.
    int buildCell(const ThumbnailView* view);
    void buildingDone() { m_forceNewCells = false; }
    /// Every listed picture is a cell at once (the page gives widgets only to
    /// those near its view).
    void buildAll() {
        m_built = count();
        m_forceNewCells = false;
    }
    int built() const { return m_built; }

    /// RedrawThumbnails: set by a clear, by F5 and by the options dialog.
    bool redraw() const { return m_redraw; }
    void setRedraw(bool redraw) { m_redraw = redraw; }

    // ---- dates and comments ----

    /// How a picture's date and comment are read, now or on a worker
    /// (readImageDetails when none is set).
    void setDetailsReader(DetailsReader read) { m_readDetails = std::move(read); }
    DetailsReader detailsReader() const;
    /// Pictures whose date and comment are still to be read, at most size
    /// of them: those of the cells in view first, top to bottom (only they,
    /// while any is left, so that they come back at once), then the rest in
    /// name order. From now on they are never asked for again; the answer
    /// names the epoch. Nothing when every picture is read or asked for.
    struct DetailsBatch {
        std::uint64_t epoch = 0;
        std::vector<int> cells;
        std::vector<std::string> paths;
    };
    std::optional<DetailsBatch> nextDetailsBatch(const ThumbnailView& view, int size);
    /// A batch's answer, details[k] for cells[k]: the cells that took theirs
    /// (one read meanwhile, or written by the user, keeps what it has).
    /// Nothing when the page was cleared or shown another folder meanwhile.
    std::vector<int> detailsArrived(std::uint64_t epoch, const std::vector<int>& cells,
                                    const std::vector<ImageDetails>& details);
    /// Reads picture i's date and comment now when they are not yet (one
    /// header): true when it did, so the cell shows them anew.
    bool ensureDetails(int index);
    /// Whether every built cell in view has its date and comment read.
    bool detailsInView(const ThumbnailView& view) const;
    /// How many pictures have their date and comment read.
    int detailsReadCount() const { return m_detailsReadCount; }
    bool allDetailsRead() const { return m_detailsReadCount >= count(); }

    // ---- ticks and turns ----

    /// While an album run makes the album, ticks and turns stay as it reads them.
    void setRunInProgress(bool running) { m_running = running; }
    bool runInProgress() const { return m_running; }
    bool ticked(int index) const;
    /// Stores the tick; false when refused (no such cell, a run under way).
    bool setTicked(int index, bool ticked);
    /// A quarter turn of picture i, stored at once; its thumbnail is made
    /// anew before any other; it turns on from the turn the picture is
    /// shown with (the EXIF turn when none is stored and the settings follow
    /// it). The new turn, or nothing when refused.
    std::optional<int> turnQuarter(int index, bool left);
    /// How the EXIF Orientation is read (the window's control); empty:
    /// the calling thread's own.
    void setOrientationReader(std::function<int(const std::string& path)> read) {
        m_readOrientation = std::move(read);
    }

    // ---- comments ----

    /// The comment box of cell i was left with text: trimmed, and written
    /// into the picture when it differs from what is stored (read first
    /// when it was not yet, so an unread comment is never taken for an
    /// empty one). A write that
    /// fails leaves the file as it was and says why, once per text.
    CommentResult commitComment(int index, std::string_view text);

    // ---- EXIFの向きで回転 ----

    /// Starts the command on an album folder; false when a run is under way
    /// or the command is already at work.
    bool beginExifTurns(std::string_view folder);
    bool exifTurnsRunning() const { return m_exif.has_value(); }
    /// The next picture: its orientation read, its turn stored when it has
    /// none. True while pictures remain.
    bool exifTurnStep(const std::function<int(const std::string& path)>& orientation);
    /// Ends the command: the shown cells of pictures just turned are made
    /// anew, and the message says what was stored.
    ExifTurnsResult finishExifTurns();

    // ---- previews ----

    /// The request for picture i's cached file of that kind, at the box and
    /// quality of the settings, turned as stored. Every preview is asked for
    /// through here.
    PreviewRequest previewRequest(int index, PreviewRequest::Kind kind) const;
    /// Whether cell i's thumbnail stands in the view.
    bool inView(int index, const ThumbnailView& view) const;
    /// The built cells in view, top to bottom and left to right.
    std::vector<int> cellsInView(const ThumbnailView& view) const;
    /// サムネイル画像表示: the cells in view are asked for again (made anew
    /// while RedrawThumbnails is set, which this clears).
    void drawVisible(const ThumbnailView& view);
    /// The thumbnail to make next: a turned cell first, then the first cell
    /// in view that lacks its picture (none while the page is not shown).
    /// busyWith says whether a file is being made. The cell waits for its
    /// answer from now on.
    std::optional<PreviewRequest> nextPreview(const ThumbnailView& view,
                                              const std::function<bool(const std::string&)>& busyWith);
    /// An answer came: true when the cell still waits for it (the view shows
    /// it: the picture when ok, an empty cell when a forced making failed).
    bool previewFinished(const PreviewRequest& request, bool ok);
    /// Whether the cell still waits for this request's answer (a stand-in for
    /// it may be shown meanwhile); for a stand-in-only request, whether its
    /// stand-in may still be shown (the cell's file has not come since).
    bool awaiting(const PreviewRequest& request) const;
    /// The stand-ins to make now, before any file: for each cell in view
    /// that wants its picture and has had none asked for since it last did
    /// (each is asked for once). Reading a header costs little, so a screen
    /// fills with them long before the files are made.
    std::vector<PreviewRequest> standInsWanted(const ThumbnailView& view);
    /// Whether the view is to show this request's stand-in: the request is
    /// still awaited and its cell shows none yet for this making (the same
    /// picture would come twice when a file's job made its own before the
    /// early one came). From then on it counts as shown, and the cell's
    /// file, when asked for, needs none of its own; until then the file's
    /// job makes one too, so a file made before the early stand-in's turn
    /// came never shows without one first.
    bool takeStandIn(const PreviewRequest& request);
    /// Nothing is waiting and no cell in view still wants its picture.
    bool settled(const ThumbnailView& view) const;
    bool hasPicture(int index) const;

private:
    struct Cell {
        bool hasPicture = false;
        bool pending = false;
        bool force = false;
        bool attempted = false;
        bool standInAsked = false;
        bool standInShown = false;
        std::uint64_t ticket = 0;
        std::uint64_t standInTicket = 0;  ///< a new one drops the stand-ins asked for before
        std::string refusedComment;  ///< the text whose write was refused (told once)
    };
    struct ExifRun {
        std::string folder;
        std::vector<std::string> names;
        std::size_t next = 0;
        std::vector<std::string> turned;
    };

    bool cellExists(int index) const { return index >= 0 && index < m_built; }
    bool wanted(int index, const std::function<bool(const std::string&)>& busyWith) const;
    void makeAnew(int index);
    void takeDetails(int index, ImageDetails details);
    std::string commentRefusal(const std::string& path, std::string_view text) const;

    FolderSettingsStore& m_store;
    const AlbumSettings& m_settings;
    std::function<int(const std::string& path)> m_readOrientation;
    DetailsReader m_readDetails;
    std::vector<char> m_detailsAsked;  ///< per picture: its read is under way
    std::size_t m_detailsNext = 0;     ///< no picture before it is left to ask for
    int m_detailsReadCount = 0;
    std::string m_folder;
    std::string m_albumText;
    std::vector<ImageEntry> m_entries;
    std::vector<std::vector<std::string>> m_sharing;
    std::vector<Cell> m_cells;
    std::deque<int> m_turned;  ///< cells a turn asked for, served first
    std::uint64_t m_epoch = 1;
    int m_built = 0;
    bool m_scanPending = false;
    bool m_redraw = false;
    bool m_forceNewCells = false;
    bool m_running = false;
    std::optional<ExifRun> m_exif;
};

}  // namespace mirofoto
