#include "app/previews/thumbnail_model.h"

#include "app/albumoutput/album_folders.h"
#include "app/albumoutput/album_run_checks.h"
#include "app/util/jpeg_info.h"
#include "app/util/paths.h"
#include "platform/atomic_file.h"
#include "platform/codepage.h"

#include <algorithm>

#include <unistd.h>

namespace mirofoto {
namespace {

const std::vector<std::string> kNoNames;

}  // namespace

ThumbnailModel::ThumbnailModel(FolderSettingsStore& store, const AlbumSettings& settings)
    : m_store(store), m_settings(settings) {}

void ThumbnailModel::clear() {
    ++m_epoch;
    m_scanPending = false;
    m_entries.clear();
    m_sharing.clear();
    m_cells.clear();
    m_turned.clear();
    m_detailsAsked.clear();
    m_detailsNext = 0;
    m_detailsReadCount = 0;
    m_built = 0;
    m_forceNewCells = false;
    m_redraw = true;
}

void ThumbnailModel::show(std::string folder, std::string albumText) {
    m_folder = std::move(folder);
    m_albumText = std::move(albumText);
}

std::optional<ThumbnailModel::Scan> ThumbnailModel::beginScan() {
    if (m_folder.empty()) return std::nullopt;
    m_scanPending = true;
    return Scan{withTrailingSlash(m_folder), m_albumText, m_epoch};
}

ThumbnailModel::Sharing ThumbnailModel::sharingOf(std::string_view albumText, const std::vector<ImageEntry>& entries) {
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const ImageEntry& e : entries) names.push_back(e.fileName);
    return picturesSharingSettings(albumText, entries.empty() ? std::string() : entries.front().folder, names);
}

bool ThumbnailModel::listed(std::uint64_t epoch, std::vector<ImageEntry> entries) {
    if (epoch != m_epoch || !m_scanPending) return false;
    Sharing sharing = sharingOf(m_albumText, entries);
    return listed(epoch, std::move(entries), std::move(sharing));
}

bool ThumbnailModel::listed(std::uint64_t epoch, std::vector<ImageEntry> entries, Sharing sharing) {
    if (epoch != m_epoch || !m_scanPending) return false;
    if (sharing.size() != entries.size()) sharing = sharingOf(m_albumText, entries);
    m_scanPending = false;
    m_entries = std::move(entries);
    m_sharing = std::move(sharing);
    m_cells.assign(m_entries.size(), Cell{});
    m_detailsAsked.assign(m_entries.size(), 0);
    m_detailsNext = 0;
    m_detailsReadCount = static_cast<int>(
        std::count_if(m_entries.begin(), m_entries.end(), [](const ImageEntry& e) { return e.detailsRead; }));
    m_built = 0;
    // Cells listed after a clear make their thumbnails anew as they come
    // into view, as the first drawing pass does.
    m_forceNewCells = m_redraw;
    return true;
}

const std::vector<std::string>& ThumbnailModel::sharingWith(int i) const {
    return i >= 0 && i < static_cast<int>(m_sharing.size()) ? m_sharing[i] : kNoNames;
}

int ThumbnailModel::buildCell(const ThumbnailView* view) {
    if (m_built >= count()) return -1;
    const int i = m_built++;
    if (view && inView(i, *view)) m_cells[i].force = m_forceNewCells;
    return i;
}

// ---- dates and comments ----

DetailsReader ThumbnailModel::detailsReader() const {
    if (m_readDetails) return m_readDetails;
    return [](const std::string& path) { return readImageDetails(path); };
}

std::optional<ThumbnailModel::DetailsBatch> ThumbnailModel::nextDetailsBatch(const ThumbnailView& view, int size) {
    const std::size_t most = static_cast<std::size_t>(std::max(1, size));
    const auto wanted = [this](std::size_t i) { return !m_entries[i].detailsRead && !m_detailsAsked[i]; };
    DetailsBatch batch;
    batch.epoch = m_epoch;
    // The cells in view, whether built yet or not: the page shows them first.
    const std::size_t columns = static_cast<std::size_t>(std::max<int>(1, m_settings.columns));
    const CellRows rows = cellRowsInView(view.cell, view.vScroll, view.pageHeight);
    for (std::size_t i = static_cast<std::size_t>(rows.first) * columns;
         i < m_entries.size() && i < static_cast<std::size_t>(rows.last + 1) * columns && batch.cells.size() < most;
         ++i)
        if (wanted(i) && inView(static_cast<int>(i), view)) batch.cells.push_back(static_cast<int>(i));
    if (batch.cells.empty()) {
        while (m_detailsNext < m_entries.size() && !wanted(m_detailsNext)) ++m_detailsNext;
        for (std::size_t i = m_detailsNext; i < m_entries.size() && batch.cells.size() < most; ++i)
            if (wanted(i)) batch.cells.push_back(static_cast<int>(i));
    }
    if (batch.cells.empty()) return std::nullopt;
    for (const int i : batch.cells) {
        m_detailsAsked[i] = 1;
        batch.paths.push_back(m_entries[i].path());
    }
    return batch;
}

std::vector<int> ThumbnailModel::detailsArrived(std::uint64_t epoch, const std::vector<int>& cells,
                                                const std::vector<ImageDetails>& details) {
    std::vector<int> taken;
    if (epoch != m_epoch) return taken;
    for (std::size_t k = 0; k < cells.size(); ++k) {
        const int i = cells[k];
        if (i < 0 || i >= count()) continue;
        m_detailsAsked[i] = 0;
        // Read meanwhile (a comment box was entered, a comment written): the
        // worker's older answer must not undo it.
        if (m_entries[i].detailsRead) continue;
        takeDetails(i, k < details.size() ? details[k] : ImageDetails{});
        taken.push_back(i);
    }
    return taken;
}

bool ThumbnailModel::detailsInView(const ThumbnailView& view) const {
    for (const int i : cellsInView(view))
        if (!m_entries[i].detailsRead) return false;
    return true;
}

bool ThumbnailModel::ensureDetails(int i) {
    if (i < 0 || i >= count() || m_entries[i].detailsRead) return false;
    takeDetails(i, detailsReader()(m_entries[i].path()));
    return true;
}

void ThumbnailModel::takeDetails(int i, ImageDetails details) {
    ImageEntry& e = m_entries[i];
    e.shootingDate = std::move(details.shootingDate);
    e.comment = std::move(details.comment);
    e.detailsRead = true;
    ++m_detailsReadCount;
}

// ---- ticks and turns ----

bool ThumbnailModel::ticked(int i) const {
    if (i < 0 || i >= count()) return true;
    return m_store.imageTickedOnPage(m_albumText, m_entries[i].fileName);
}

bool ThumbnailModel::setTicked(int i, bool ticked) {
    if (!cellExists(i) || m_running) return false;
    return m_store.setImageTicked(m_albumText, m_entries[i].fileName, ticked);
}

std::optional<int> ThumbnailModel::turnQuarter(int i, bool left) {
    if (!cellExists(i) || m_running) return std::nullopt;
    // The buttons turn on from the turn the picture is shown with.
    const std::string path = m_entries[i].path();
    const int shown =
        previewTurn(path, m_store.storedTurn(path), m_settings.followOrientation != 0, m_readOrientation).turn.turn;
    const std::optional<int> turned = m_store.turnQuarter(path, left, shown);
    // Made anew, whether in view or not; an earlier request of the cell is
    // dropped when it comes back.
    makeAnew(i);
    m_turned.erase(std::remove(m_turned.begin(), m_turned.end(), i), m_turned.end());
    m_turned.push_front(i);
    return turned;
}

void ThumbnailModel::makeAnew(int i) {
    Cell& c = m_cells[i];
    ++c.ticket;
    ++c.standInTicket;
    c.pending = false;
    c.attempted = false;
    c.force = true;
    c.standInAsked = false;
    c.standInShown = false;
}

// ---- comments ----

CommentResult ThumbnailModel::commitComment(int i, std::string_view typed) {
    CommentResult result;
    result.text = trimSpaces(typed);
    if (!cellExists(i)) return result;
    // What the file holds is compared, never a comment not read yet.
    ensureDetails(i);
    ImageEntry& e = m_entries[i];
    Cell& c = m_cells[i];
    if (result.text == e.comment) return result;
    const std::string path = e.path();
    if (WriteJpegComment(path, result.text)) {
        e.comment = result.text;
        c.refusedComment.clear();
        result.outcome = CommentResult::Written;
        result.message = "コメントを書き込みました: " + platform::displayName(e.fileName);
        return result;
    }
    // The typed text stays in the box and the file as it was; the user is
    // told once for this text.
    result.outcome = CommentResult::Refused;
    if (c.refusedComment == result.text) return result;
    c.refusedComment = result.text;
    result.message = "コメントを画像ファイルに書き込めませんでした。\r" + platform::displayName(path) + "\r" +
                     commentRefusal(path, result.text) + "\r入力したコメントはそのまま残っています。";
    return result;
}

std::string ThumbnailModel::commentRefusal(const std::string& path, std::string_view text) const {
    const auto encoded = platform::utf8ToCp932(text);
    if (!encoded) return "JPEGのコメントに書き込めない文字が含まれています。";
    if (encoded->size() > kMaxJpegCommentBytes) return "コメントが長すぎます（Shift_JISで65533バイトまでです）。";
    std::string bytes;
    const platform::FileRead read = platform::readFileBytes(path, bytes);
    if (read == platform::FileRead::Missing) return "ファイルが見つかりません（移動または削除されました）。";
    if (::access(path.c_str(), W_OK) != 0) return "ファイルに書き込む権限がありません。";
    if (read == platform::FileRead::Ok && bytes.compare(0, 2, "\xFF\xD8") != 0)
        return "JPEGファイルではありません（壊れているか、別の形式です）。";
    return "ファイルを書き換えられませんでした（ディスクの空きが足りないなど）。";
}

// ---- EXIFの向きで回転 ----

bool ThumbnailModel::beginExifTurns(std::string_view folder) {
    if (m_running || m_exif) return false;
    m_exif.emplace();
    m_exif->folder = withTrailingSlash(std::string(folder));
    m_exif->names = listPictureFiles(m_exif->folder);
    return true;
}

bool ThumbnailModel::exifTurnStep(const std::function<int(const std::string& path)>& orientation) {
    if (!m_exif) return false;
    ExifRun& run = *m_exif;
    if (run.next < run.names.size()) {
        const auto stored = m_store.storeTurnsFromOrientation(run.folder, {run.names[run.next++]}, orientation);
        run.turned.insert(run.turned.end(), stored.begin(), stored.end());
    }
    return run.next < run.names.size();
}

ExifTurnsResult ThumbnailModel::finishExifTurns() {
    ExifTurnsResult result;
    if (!m_exif) return result;
    const ExifRun run = std::move(*m_exif);
    m_exif.reset();
    result.stored = static_cast<int>(run.turned.size());
    // The cells of pictures just turned are made anew.
    if (!m_folder.empty() && withTrailingSlash(m_folder) == run.folder)
        for (int i = 0; i < m_built; ++i)
            if (std::find(run.turned.begin(), run.turned.end(), m_entries[i].path()) != run.turned.end()) makeAnew(i);
    result.message = result.stored == 0
                         ? std::string("EXIFの向きで回転する画像はありませんでした。")
                         : std::to_string(result.stored) +
                               "枚の画像の回転をEXIFの向きに合わせて設定しました。\r画像ファイルそのものは変更していません。";
    return result;
}

// ---- previews ----

// Both pages and every kind of preview come through here, so a rule about
// the turn a picture is shown with holds for all of them at once.
PreviewRequest ThumbnailModel::previewRequest(int i, PreviewRequest::Kind kind) const {
    PreviewRequest r;
    r.kind = kind;
    r.cell = i;
    if (i < 0 || i >= count()) return r;
    const ImageEntry& e = m_entries[i];
    const bool thumbnail = kind == PreviewRequest::Thumbnail;
    r.source = e.path();
    r.destination = thumbnail ? e.thumbnailPath() : e.enlargedPath();
    r.boxWidth = thumbnail ? m_settings.thumbWidth : m_settings.largeWidth;
    r.boxHeight = thumbnail ? m_settings.thumbHeight : m_settings.largeHeight;
    r.quality = thumbnail ? m_settings.thumbQuality : m_settings.largeQuality;
    r.storedTurn = m_store.storedTurn(r.source);
    r.followOrientation = m_settings.followOrientation != 0;
    // The cell's thumbnail file stands in only while it is current: not
    // when it is to be made anew (a turn, F5) or is being made.
    if (!thumbnail && cellExists(i)) {
        const Cell& c = m_cells[i];
        if (c.hasPicture && !c.force && !c.pending) r.standInFile = e.thumbnailPath();
    }
    return r;
}

bool ThumbnailModel::inView(int i, const ThumbnailView& view) const {
    const CellLayout l = cellLayout(i, m_settings.columns, view.cell, CellControlSizes{}, view.vScroll, 0);
    return thumbnailInView(l.thumbnail.top, l.thumbnail.height, view.pageHeight);
}

std::vector<int> ThumbnailModel::cellsInView(const ThumbnailView& view) const {
    std::vector<int> cells;
    const int columns = std::max<int>(1, m_settings.columns);
    const CellRows rows = cellRowsInView(view.cell, view.vScroll, view.pageHeight);
    for (int i = rows.first * columns; i < m_built && i < (rows.last + 1) * columns; ++i)
        if (inView(i, view)) cells.push_back(i);
    return cells;
}

void ThumbnailModel::drawVisible(const ThumbnailView& view) {
    for (const int i : cellsInView(view)) {
        Cell& c = m_cells[i];
        if (m_redraw) {
            c.force = true;
            c.standInAsked = false;
            c.standInShown = false;
        }
        c.attempted = false;
    }
    if (m_built > 0) m_redraw = false;
}

bool ThumbnailModel::wanted(int i, const std::function<bool(const std::string&)>& busyWith) const {
    const Cell& c = m_cells[i];
    return !c.pending && !c.attempted && (c.force || !c.hasPicture) &&
           !(busyWith && busyWith(m_entries[i].thumbnailPath()));
}

std::optional<PreviewRequest> ThumbnailModel::nextPreview(const ThumbnailView& view,
                                                          const std::function<bool(const std::string&)>& busyWith) {
    int next = -1;
    for (auto it = m_turned.begin(); it != m_turned.end(); ++it)
        if (cellExists(*it) && wanted(*it, busyWith)) {
            next = *it;
            m_turned.erase(it);
            break;
        }
    if (next < 0 && view.shown)
        for (const int i : cellsInView(view))
            if (wanted(i, busyWith)) {
                next = i;
                break;
            }
    if (next < 0) return std::nullopt;
    Cell& c = m_cells[next];
    PreviewRequest r = previewRequest(next, PreviewRequest::Thumbnail);
    r.epoch = m_epoch;
    r.ticket = ++c.ticket;
    r.force = c.force;
    r.withStandIn = !c.standInShown;
    c.pending = true;
    c.force = false;
    return r;
}

std::vector<PreviewRequest> ThumbnailModel::standInsWanted(const ThumbnailView& view) {
    std::vector<PreviewRequest> wantedNow;
    if (!view.shown) return wantedNow;
    for (const int i : cellsInView(view)) {
        Cell& c = m_cells[i];
        if (c.standInAsked || !wanted(i, {})) continue;
        c.standInAsked = true;
        PreviewRequest r = previewRequest(i, PreviewRequest::Thumbnail);
        r.epoch = m_epoch;
        r.ticket = ++c.standInTicket;
        r.force = c.force;
        r.standInOnly = true;
        wantedNow.push_back(std::move(r));
    }
    return wantedNow;
}

bool ThumbnailModel::takeStandIn(const PreviewRequest& r) {
    if (!awaiting(r) || m_cells[r.cell].standInShown) return false;
    m_cells[r.cell].standInShown = true;
    return true;
}

bool ThumbnailModel::previewFinished(const PreviewRequest& r, bool ok) {
    if (r.kind != PreviewRequest::Thumbnail || r.epoch != m_epoch || !cellExists(r.cell)) return false;
    Cell& c = m_cells[r.cell];
    if (c.ticket != r.ticket) return false;
    c.pending = false;
    c.attempted = true;
    ++c.standInTicket;  // a stand-in still on its way must not cover the answer
    if (ok) c.hasPicture = true;
    else if (r.force) c.hasPicture = false;  // a failed making leaves the cell empty
    return true;
}

bool ThumbnailModel::awaiting(const PreviewRequest& r) const {
    if (r.kind != PreviewRequest::Thumbnail || r.epoch != m_epoch || !cellExists(r.cell)) return false;
    const Cell& c = m_cells[r.cell];
    if (r.standInOnly) return c.standInTicket == r.ticket;
    return c.pending && c.ticket == r.ticket;
}

bool ThumbnailModel::settled(const ThumbnailView& view) const {
    if (m_scanPending) return false;
    for (int i = 0; i < m_built; ++i) {
        const Cell& c = m_cells[i];
        if (c.pending || !m_turned.empty()) return false;
        if (view.shown && !c.attempted && (c.force || !c.hasPicture) && inView(i, view)) return false;
    }
    return true;
}

bool ThumbnailModel::hasPicture(int i) const { return cellExists(i) && m_cells[i].hasPicture; }

}  // namespace mirofoto
