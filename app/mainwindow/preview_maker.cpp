#include "app/mainwindow/preview_maker.h"

#include "app/pages/preview_rules.h"
#include "app/util/paths.h"
#include "app/util/thread_pool.h"

#include <QMetaObject>

#include <fstream>
#include <sstream>

namespace mirofoto::mainwindow {

PreviewRequest PreviewRequest::of(Kind kind, const ImageEntry& entry, const AlbumSettings& settings, int turn) {
    PreviewRequest r;
    r.kind = kind;
    r.source = entry.path();
    const bool thumbnail = kind == Thumbnail;
    r.destination = thumbnail ? entry.thumbnailPath() : entry.enlargedPath();
    r.boxWidth = thumbnail ? settings.thumbWidth : settings.largeWidth;
    r.boxHeight = thumbnail ? settings.thumbHeight : settings.largeHeight;
    r.quality = thumbnail ? settings.thumbQuality : settings.largeQuality;
    r.turn = turn;
    return r;
}

QByteArray readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string s = bytes.str();
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

PreviewMaker::PreviewMaker(unsigned threads, QObject* parent, bool onUiThread)
    : QObject(parent),
      m_pool(std::make_unique<ThreadPool>(onUiThread ? 1 : threads)),
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
    m_pool.reset();
}

unsigned PreviewMaker::threads() const { return m_pool->size(); }

int PreviewMaker::freeSlots() const {
    return static_cast<int>(m_pool->size()) - m_running - static_cast<int>(m_waiting.size());
}

void PreviewMaker::setCurrentEpoch(PreviewRequest::Kind kind, quint64 epoch) { m_epochs[kind] = epoch; }

void PreviewMaker::request(PreviewRequest r) {
    m_waiting.push_back(std::move(r));
    serveWaiting();
}

void PreviewMaker::run(std::function<void()> job) { m_pool->submit(std::move(job)); }

void PreviewMaker::serveWaiting() {
    for (auto it = m_waiting.begin(); it != m_waiting.end() && m_running < static_cast<int>(m_pool->size());) {
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
    auto epochs = m_epochs;
    auto job = [this, epochs, r = std::move(r)] {
        PreviewResult result;
        result.request = r;
        if (epochs[r.kind].load() <= r.epoch) {
            const bool exists = PathExists(r.destination);
            bool ok = exists && !r.force;
            if (!ok) {
                ok = makePreviewFile(r.source, r.destination, r.boxWidth, r.boxHeight, r.quality, r.turn);
                result.made = ok;
            }
            if (ok) result.image = QImage::fromData(readFileBytes(r.destination));
            result.ok = ok && !result.image.isNull();
        }
        QMetaObject::invokeMethod(this, [this, result] { done(result); }, Qt::QueuedConnection);
    };
    if (m_onUiThread) job();
    else m_pool->submit(std::move(job));
}

void PreviewMaker::done(const PreviewResult& result) {
    --m_running;
    const auto it = m_inFlight.find(result.request.destination);
    if (it != m_inFlight.end()) m_inFlight.erase(it);
    serveWaiting();
    emit finished(result);
    emit slotFreed();
}

}  // namespace mirofoto::mainwindow
