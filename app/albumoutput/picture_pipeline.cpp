#include "app/albumoutput/picture_pipeline.h"

#include "app/albumoutput/album_run_messages.h"
#include "app/util/exif_info.h"
#include "app/util/image_size.h"

#include <cstring>
#include <thread>

namespace mirofoto {

void PictureJob::run() noexcept {
    if (cancel && cancel->load()) return;
    try {
        if (turnFromOrientation) turn = copyTurn(storedTurn, ReadExifOrientation(source), true);
        check.measure(source, makeEnlarged, makeThumbnail, makeEnlarged2x || makeThumbnail2x);
        if (makeEnlarged2x || makeThumbnail2x) makeTwiceCopies();
        if (!makeEnlarged && !makeThumbnail) return;
        // Both copies always take part, a kept one only as the step the
        // other is resampled from, so that each copy has the bytes of a run
        // that makes both.
        AlbumImageRequest requests[] = {
            {enlarged, settings->largeHeight, settings->largeWidth, settings->largeQuality, true, makeEnlarged},
            {thumbnail, settings->thumbHeight, settings->thumbWidth, settings->thumbQuality, true, makeThumbnail}};
        if (turn.beforeBox) MakeTurnedAlbumImages(source, requests, turn.turn, &failure);
        else MakeAlbumImages(source, requests, true, &failure);
        bool* done[] = {&check.madeEnlarged, &check.madeThumbnail};
        for (std::size_t i = 0; i < std::size(requests); ++i) {
            const AlbumImageRequest& r = requests[i];
            if (!r.write) continue;
            if (!r.made) {
                failed = true;
                continue;
            }
            // A turn only for a picture that was made, as the album stores it.
            const int after = turn.beforeBox ? 0 : turn.turn.turn;
            if (after != 0 && !RotateImageFile(r.destination, after, &failure)) failed = true;
            else *done[i] = true;
        }
    } catch (const std::exception& e) {
        failed = true;
        if (failure.empty()) failure = {"run", source, {0, false, e.what()}};
    } catch (...) {
        failed = true;
        if (failure.empty()) failure = {"run", source, {}};
    }
}

// The 2x copies come from a decode of their own, at the reduced scale that
// suits them: the 1x copies then keep the bytes of the classic pages'
// albums, so switching the page style makes nothing but the 2x copies.
void PictureJob::makeTwiceCopies() {
    const ImageSizeInfo info = GetImageSize(source, DetectionMode::ByContent);
    if (info.width <= 0 || info.height <= 0) return;  // the 1x copies tell why
    // Turned before the box, the boxes hold the turned picture.
    const bool sideways = turn.beforeBox && (turn.turn.turn == 90 || turn.turn.turn == 270);
    const int width = sideways ? info.height : info.width;
    const int height = sideways ? info.width : info.height;
    const auto larger = [&](int boxWidth, int boxHeight) {
        const TargetSize one = ResolvedSize(width, height, FitBox(width, height, boxWidth, boxHeight, true));
        const TargetSize two = ResolvedSize(width, height, FitBox(width, height, 2 * boxWidth, 2 * boxHeight, true));
        return two.width > one.width || two.height > one.height;
    };
    AlbumImageRequest requests[] = {
        {enlarged2x, 2 * settings->largeHeight, 2 * settings->largeWidth, settings->largeQuality, true,
         makeEnlarged2x && larger(settings->largeWidth, settings->largeHeight)},
        {thumbnail2x, 2 * settings->thumbHeight, 2 * settings->thumbWidth, settings->thumbQuality, true,
         makeThumbnail2x && larger(settings->thumbWidth, settings->thumbHeight)}};
    if (!requests[0].write && !requests[1].write) return;
    if (turn.beforeBox) MakeTurnedAlbumImages(source, requests, turn.turn, &failure);
    else MakeAlbumImages(source, requests, true, &failure);
    const int after = turn.beforeBox ? 0 : turn.turn.turn;
    bool* done[] = {&madeEnlarged2x, &madeThumbnail2x};
    for (std::size_t i = 0; i < std::size(requests); ++i) {
        const AlbumImageRequest& r = requests[i];
        if (!r.write) continue;
        if (!r.made || (after != 0 && !RotateImageFile(r.destination, after, &failure))) failed = true;
        else *done[i] = true;
    }
}

PictureFailure describePictureFailure(const std::string& source, const ImageFailure& failure) {
    const ImgctlFailure& r = failure.reason;
    std::string detail = failure.step.empty() ? std::string("?") : failure.step;
    if (!failure.path.empty()) detail += " " + failure.path;
    detail += ": " + (r.text.empty() ? std::string("(no message)") : r.text);
    if (r.code != 0) detail += " (errno " + std::to_string(r.code) + ", " + std::strerror(r.code) + ")";
    if (r.corrupt) detail += " [damaged JPEG data]";
    return {source, failureReasonText(r.code, r.corrupt, r.text), std::move(detail)};
}

PictureBatch::~PictureBatch() {
    for (std::size_t j = 0; j < m_started.size(); ++j)
        if (!claim(j) && m_started[j].claim->load() == ByWorker) m_started[j].done.wait();
}

bool PictureBatch::claim(std::size_t j) {
    int open = Open;
    return m_started[j].claim->compare_exchange_strong(open, ByRun);
}

PicturePipeline::PicturePipeline(unsigned threads) : PicturePipeline(nullptr, threads) {}

PicturePipeline::PicturePipeline(ThreadPool* pool, unsigned threads) : m_pool(pool) {
    if (m_pool) return;
    if (threads == 0) threads = std::thread::hardware_concurrency();
    if (threads > 1) m_ownPool = std::make_unique<ThreadPool>(threads);
    m_pool = m_ownPool.get();
}

void PicturePipeline::start(PictureBatch& batch) {
    if (!m_pool) return;
    for (std::size_t j = batch.m_started.size(); j < batch.m_jobs.size(); ++j) {
        auto claim = std::make_shared<std::atomic<int>>(PictureBatch::Open);
        PictureJob* job = &batch.m_jobs[j];
        // The task may run long after the batch is gone: it touches the job
        // only when it claims it first, and a batch going away claims all.
        std::future<void> done = m_pool->submit([claim, job] {
            int open = PictureBatch::Open;
            if (claim->compare_exchange_strong(open, PictureBatch::ByWorker)) job->run();
        });
        batch.m_started.push_back({std::move(claim), std::move(done)});
    }
}

PictureJob& PicturePipeline::finish(PictureBatch& batch, std::size_t j) {
    PictureJob& job = batch.m_jobs[j];
    if (j >= batch.m_started.size() || batch.claim(j)) job.run();  // nobody began it: made here
    else batch.m_started[j].done.wait();                            // a worker has it
    return job;
}

void PicturePipeline::drain(PictureBatch& batch) {
    for (std::size_t j = 0; j < batch.m_started.size(); ++j)
        if (!batch.claim(j) && batch.m_started[j].claim->load() == PictureBatch::ByWorker)
            batch.m_started[j].done.wait();
}

}  // namespace mirofoto
