#include "app/mainwindow/preview_maker.h"

#include "app/previews/preview_rules.h"
#include "app/util/exif_info.h"
#include "app/util/image_size.h"
#include "app/util/paths.h"
#include "app/util/thread_pool.h"

#include <QMetaObject>
#include <QTransform>

#include <algorithm>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>

namespace mirofoto::mainwindow {

QByteArray readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string s = bytes.str();
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

namespace {

// The size the request's file will have, or 0 x 0; picture gets the
// picture's own size.
PixelSize fileSize(const PreviewRequest& r, const CopyTurn& turn, ImageSizeInfo& picture) {
    picture = GetImageSize(r.source, DetectionMode::Jpeg);
    if (picture.width <= 0 || picture.height <= 0) return {};
    return exactPreviewSize(picture.width, picture.height, r.boxWidth, r.boxHeight, turn);
}

}  // namespace

QImage embeddedPlaceholder(const PreviewRequest& r, const CopyTurn& turn, const std::string& thumbnail) {
    if (thumbnail.empty()) return {};
    ImageSizeInfo picture;
    const PixelSize size = fileSize(r, turn, picture);
    if (size.width <= 0 || size.height <= 0) return {};
    QImage thumb =
        QImage::fromData(reinterpret_cast<const uchar*>(thumbnail.data()), static_cast<int>(thumbnail.size()), "JPEG");
    if (thumb.isNull()) return {};
    thumb = thumb.convertToFormat(QImage::Format_RGB32);
    // Judged by brightness: JPEG keeps it sharp at a band's edge, while the
    // colour (stored at half resolution) smears a row or two into the band.
    const Rect content = trimBlackBands(thumb.width(), thumb.height(),
                                        [&](int x, int y) { return qGray(thumb.pixel(x, y)) < 32; });
    if (!embeddedThumbnailFits(content.width, content.height, picture.width, picture.height)) return {};
    thumb = thumb.copy(content.left, content.top, content.width, content.height);
    const PictureTurn& t = turn.turn;
    if (t.mirror) thumb = thumb.mirrored(true, false);
    if (t.turn == 90 || t.turn == 180 || t.turn == 270) thumb = thumb.transformed(QTransform().rotate(t.turn));
    return thumb.scaled(size.width, size.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage cachedPlaceholder(const PreviewRequest& r, const CopyTurn& turn) {
    if (r.standInFile.empty()) return {};
    ImageSizeInfo picture;
    const PixelSize size = fileSize(r, turn, picture);
    if (size.width <= 0 || size.height <= 0) return {};
    const QImage cached = QImage::fromData(readFileBytes(r.standInFile), "JPEG");
    // Already turned as the file will be; one of other proportions was made
    // for another turn and must not stand in.
    if (cached.isNull() || !embeddedThumbnailFits(cached.width(), cached.height(), size.width, size.height)) return {};
    return cached.scaled(size.width, size.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

namespace {

CopyTurn turnAndHeader(const PreviewRequest& r, std::optional<ExifPreviewHeader>& header) {
    return previewTurn(r.source, r.storedTurn, r.followOrientation, [&](const std::string&) {
        if (!header) header = ReadExifPreviewHeader(r.source);
        return header->orientation;
    });
}

}  // namespace

// The maker's jobs on the shared pool: how many are queued or running, and
// whether the maker still takes their results.
struct PreviewMaker::Jobs {
    std::mutex mutex;
    std::condition_variable idle;
    int active = 0;
    bool alive = true;
};

PreviewMaker::PreviewMaker(ThreadPool& pool, unsigned threads, QObject* parent, bool onUiThread)
    : QObject(parent),
      m_pool(pool),
      m_threads(onUiThread ? 1 : threads == 0 ? std::max(1u, pool.size()) : threads),
      m_jobs(std::make_shared<Jobs>()),
      m_epochs(new std::atomic<quint64>[2]),
      m_onUiThread(onUiThread) {
    m_epochs[0] = 0;
    m_epochs[1] = 0;
    qRegisterMetaType<mirofoto::mainwindow::PreviewResult>();
}

PreviewMaker::~PreviewMaker() {
    // Jobs not started yet skip their work; the running ones finish, and
    // their queued results die with this object.
    m_epochs[0] = ~quint64(0);
    m_epochs[1] = ~quint64(0);
    std::unique_lock lock(m_jobs->mutex);
    m_jobs->alive = false;
    m_jobs->idle.wait(lock, [&] { return m_jobs->active == 0; });
}

unsigned PreviewMaker::threads() const { return m_threads; }

int PreviewMaker::freeSlots() const {
    return static_cast<int>(m_threads) - m_running - static_cast<int>(m_waiting.size());
}

void PreviewMaker::submit(std::function<void()> job) {
    {
        std::lock_guard lock(m_jobs->mutex);
        ++m_jobs->active;
    }
    m_pool.submit([jobs = m_jobs, job = std::move(job)] {
        try {
            job();
        } catch (...) {
        }
        std::lock_guard lock(jobs->mutex);
        if (--jobs->active == 0) jobs->idle.notify_all();
    });
}

void PreviewMaker::setCurrentEpoch(PreviewRequest::Kind kind, quint64 epoch) { m_epochs[kind] = epoch; }

void PreviewMaker::request(PreviewRequest r) {
    m_waiting.push_back(std::move(r));
    serveWaiting();
}

void PreviewMaker::run(std::function<void()> job) { submit(std::move(job)); }

void PreviewMaker::sendStandIn(const std::shared_ptr<Jobs>& jobs, const PreviewRequest& r, const CopyTurn& turn,
                               std::optional<ExifPreviewHeader>& header) {
    // The cached thumbnail scaled up (an enlarged preview's), else the
    // embedded one.
    PreviewResult early;
    early.request = r;
    if (r.kind == PreviewRequest::Enlarged) early.image = cachedPlaceholder(r, turn);
    if (early.image.isNull()) {
        if (!header) header = ReadExifPreviewHeader(r.source);
        early.image = embeddedPlaceholder(r, turn, header->thumbnail);
    }
    early.ok = !early.image.isNull();
    std::lock_guard lock(jobs->mutex);
    if (early.ok && jobs->alive)
        QMetaObject::invokeMethod(this, [this, early] { emit placeholderReady(early); }, Qt::QueuedConnection);
}

void PreviewMaker::requestStandIns(std::vector<PreviewRequest> requests) {
    if (requests.empty()) return;
    auto job = [this, epochs = m_epochs, jobs = m_jobs, requests = std::move(requests)] {
        for (const PreviewRequest& r : requests) {
            if (epochs[r.kind].load() > r.epoch) return;
            if (!r.force && PathExists(r.destination)) continue;
            std::optional<ExifPreviewHeader> header;
            const CopyTurn turn = turnAndHeader(r, header);
            sendStandIn(jobs, r, turn, header);
        }
    };
    if (m_onUiThread) job();
    else submit(std::move(job));
}

void PreviewMaker::serveWaiting() {
    for (auto it = m_waiting.begin(); it != m_waiting.end() && m_running < static_cast<int>(m_threads);) {
        if (busyWith(it->destination)) {
            ++it;
            continue;
        }
        PreviewRequest r = std::move(*it);
        it = m_waiting.erase(it);
        start(std::move(r));
    }
}

void PreviewMaker::start(PreviewRequest r) {
    ++m_running;
    m_inFlight.insert(r.destination);
    // A stand-in file being made is not read; one that is read is not made
    // meanwhile.
    if (!r.standInFile.empty()) {
        if (busyWith(r.standInFile)) r.standInFile.clear();
        else m_inFlight.insert(r.standInFile);
    }
    auto epochs = m_epochs;
    auto job = [this, epochs, jobs = m_jobs, r = std::move(r)] {
        PreviewResult result;
        result.request = r;
        if (epochs[r.kind].load() <= r.epoch) {
            const bool exists = PathExists(r.destination);
            bool ok = exists && !r.force;
            if (!ok) {
                // One reading of the header gives the turn and the stand-in.
                std::optional<ExifPreviewHeader> header;
                const CopyTurn turn = turnAndHeader(r, header);
                // While the picture is decoded and resized, a stand-in shows.
                if (r.withStandIn) sendStandIn(jobs, r, turn, header);
                ok = makePreviewFile(r.source, r.destination, r.boxWidth, r.boxHeight, r.quality, turn);
                result.made = ok;
            }
            if (ok) result.image = QImage::fromData(readFileBytes(r.destination));
            result.ok = ok && !result.image.isNull();
        }
        // Once the maker is going, its results go nowhere (it waits for
        // this job, so `this` stands while the lock is held).
        std::lock_guard lock(jobs->mutex);
        if (jobs->alive) QMetaObject::invokeMethod(this, [this, result] { done(result); }, Qt::QueuedConnection);
    };
    if (m_onUiThread) job();
    else submit(std::move(job));
}

void PreviewMaker::done(const PreviewResult& result) {
    --m_running;
    for (const std::string* file : {&result.request.destination, &result.request.standInFile}) {
        if (file->empty()) continue;
        const auto it = m_inFlight.find(*file);
        if (it != m_inFlight.end()) m_inFlight.erase(it);
    }
    serveWaiting();
    emit finished(result);
    emit slotFreed();
}

}  // namespace mirofoto::mainwindow
