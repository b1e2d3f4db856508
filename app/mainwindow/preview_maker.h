// Makes the cached preview files of the thumbnail and enlarged-image pages
// on the program's thread pool (the window's, shared with its scans and the
// album run). A page asks for one file at a time per free
// worker, so it can always ask for the cell that matters most now; a result
// comes back on the user-interface thread through a queued call, carrying
// the epoch and ticket it was asked with, and the page drops it when either
// is no longer current. No two jobs ever work on the same file at once.
#pragma once

#include "app/previews/thumbnail_model.h"
#include "app/settings/album_settings.h"
#include "app/util/exif_info.h"

#include <QImage>
#include <QObject>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace mirofoto {
class ThreadPool;
}

namespace mirofoto::mainwindow {

/// The requests come from the ThumbnailModel (app/previews/thumbnail_model.h).
using mirofoto::PreviewRequest;

struct PreviewResult {
    PreviewRequest request;
    bool ok = false;
    bool made = false;  ///< the file was made (not only loaded)
    QImage image;       ///< the cached file's picture when ok
};

class PreviewMaker : public QObject {
    Q_OBJECT
public:
    /// pool: where the previews are made. threads: how many at once at most
    /// (0: as many as the pool has workers). onUiThread: every preview is
    /// made on the calling thread, one at a time, as the one-by-one drawing
    /// does (benchmarks compare it).
    PreviewMaker(ThreadPool& pool, unsigned threads, QObject* parent = nullptr, bool onUiThread = false);
    ~PreviewMaker() override;

    /// Workers not busy and not promised to a waiting request.
    int freeSlots() const;
    bool busyWith(const std::string& destination) const { return m_inFlight.count(destination) > 0; }
    bool idle() const { return m_running == 0 && m_waiting.empty(); }
    unsigned threads() const;

    /// Starts the request now, or as soon as a worker (and its file) is
    /// free, before any later request.
    void request(PreviewRequest request);
    /// Makes the stand-ins of these requests (standInOnly), in their order,
    /// in one job on the pool that takes no worker from the files: each
    /// comes back through placeholderReady as soon as it is made. Requests
    /// whose file exists (and is only to be loaded) have none.
    void requestStandIns(std::vector<PreviewRequest> requests);
    /// Runs other work (warming up the image library) on the pool; it counts
    /// as a job of the maker, which waits for it when it goes.
    void run(std::function<void()> job);

    /// The epoch below which a job that has not started yet is skipped (its
    /// result then comes back as not ok, at once).
    void setCurrentEpoch(PreviewRequest::Kind kind, quint64 epoch);

signals:
    void finished(const mirofoto::mainwindow::PreviewResult& result);
    /// A stand-in while a file is made: the picture's embedded EXIF
    /// thumbnail (or, for an enlarged preview, its cached thumbnail), turned
    /// and scaled to the size the file will have (request and image only;
    /// never for a file that is only loaded).
    void placeholderReady(const mirofoto::mainwindow::PreviewResult& result);
    /// A worker became free (after finished was emitted).
    void slotFreed();

private:
    void start(PreviewRequest request);
    void done(const PreviewResult& result);
    void serveWaiting();

    struct Jobs;
    void submit(std::function<void()> job);
    /// Makes the request's stand-in and sends it (on a worker).
    void sendStandIn(const std::shared_ptr<Jobs>& jobs, const PreviewRequest& r, const CopyTurn& turn,
                     std::optional<ExifPreviewHeader>& header);

    ThreadPool& m_pool;
    unsigned m_threads = 1;
    std::shared_ptr<Jobs> m_jobs;
    std::shared_ptr<std::atomic<quint64>[]> m_epochs;
    std::deque<PreviewRequest> m_waiting;
    std::multiset<std::string> m_inFlight;
    int m_running = 0;
    bool m_onUiThread = false;
};

/// The stand-in for the request's file made of the picture's embedded EXIF
/// thumbnail (its bytes): its black bands cut, mirrored and turned as the
/// file will be and scaled to the file's size. A null image when the picture
/// has no usable thumbnail (none, not a JPEG, not of the picture's
/// proportions).
QImage embeddedPlaceholder(const PreviewRequest& request, const CopyTurn& turn, const std::string& thumbnail);

/// The stand-in made of the request's standInFile (a cached preview of the
/// picture, already turned): scaled to the file's size. A null image when
/// there is none, it does not load or its proportions are not the file's.
QImage cachedPlaceholder(const PreviewRequest& request, const CopyTurn& turn);

/// The whole file as bytes (the path's bytes as they are); empty when it
/// cannot be read.
QByteArray readFileBytes(const std::string& path);

}  // namespace mirofoto::mainwindow
