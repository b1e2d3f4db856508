#include "app/albumoutput/picture_pipeline.h"

#include "app/albumoutput/album_run_messages.h"

#include <cstring>
#include <thread>

namespace mirofoto {

void PictureJob::run() noexcept {
    if (cancel && cancel->load()) return;
    try {
        check.measure(source, makeEnlarged, makeThumbnail);
        if (!makeEnlarged && !makeThumbnail) return;
        // Both copies always take part, a kept one only as the step the
        // other is resampled from, so that each copy has the bytes of a run
        // that makes both.
        AlbumImageRequest requests[] = {
            {enlarged, settings->largeHeight, settings->largeWidth, settings->largeQuality, true, makeEnlarged},
            {thumbnail, settings->thumbHeight, settings->thumbWidth, settings->thumbQuality, true, makeThumbnail}};
        MakeAlbumImages(source, requests, true, &failure);
        bool* done[] = {&check.madeEnlarged, &check.madeThumbnail};
        for (std::size_t i = 0; i < std::size(requests); ++i) {
            const AlbumImageRequest& r = requests[i];
            if (!r.write) continue;
            if (!r.made) {
                failed = true;
                continue;
            }
            // A turn only for a picture that was made, as the album stores it.
            if (turn != 0 && !RotateImageFile(r.destination, turn, &failure)) failed = true;
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

PictureFailure describePictureFailure(const std::string& source, const ImageFailure& failure) {
    const ImgctlFailure& r = failure.reason;
    std::string detail = failure.step.empty() ? std::string("?") : failure.step;
    if (!failure.path.empty()) detail += " " + failure.path;
    detail += ": " + (r.text.empty() ? std::string("(no message)") : r.text);
    if (r.code != 0) detail += " (errno " + std::to_string(r.code) + ", " + std::strerror(r.code) + ")";
    if (r.corrupt) detail += " [damaged JPEG data]";
    return {source, failureReasonText(r.code, r.corrupt, r.text), std::move(detail)};
}

PicturePipeline::PicturePipeline(unsigned threads) {
    if (threads == 0) threads = std::thread::hardware_concurrency();
    if (threads > 1) m_pool = std::make_unique<ThreadPool>(threads);
}

void PicturePipeline::start(PictureBatch& batch) {
    if (!m_pool) return;
    for (PictureJob& job : batch.m_jobs) batch.m_done.push_back(m_pool->submit([&job] { job.run(); }));
}

PictureJob& PicturePipeline::finish(PictureBatch& batch, std::size_t j) {
    PictureJob& job = batch.m_jobs[j];
    if (j < batch.m_done.size()) batch.m_done[j].wait();
    else job.run();
    return job;
}

void PicturePipeline::drain(PictureBatch& batch) {
    for (std::future<void>& done : batch.m_done)
        if (done.valid()) done.wait();
}

}  // namespace mirofoto
