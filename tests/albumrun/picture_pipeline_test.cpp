// The picture pipeline on a pool it shares: the album run may itself be a
// job of the program's pool, and the pool may be busy with other work, so
// taking a picture back must never wait for a job still in the queue, and a
// batch that goes must leave nothing behind that a later task could touch.
#include "app/albumoutput/picture_pipeline.h"
#include "app/util/thread_pool.h"

#include <gtest/gtest.h>

#include <future>

using namespace mirofoto;

namespace {

PictureJob missingPicture(const AlbumSettings& settings, int n) {
    PictureJob job;
    job.source = "/nonexistent/picture" + std::to_string(n) + ".jpg";
    job.thumbnail = "/nonexistent/out/p_s.jpg";
    job.enlarged = "/nonexistent/out/p_l.jpg";
    job.settings = &settings;
    return job;
}

}  // namespace

// The only worker is held by other work (or is the one running the run):
// each job is then made by the thread that takes it back.
TEST(PicturePipeline, TakingAPictureBackNeverWaitsBehindABusyPool) {
    const AlbumSettings settings = AlbumSettings::defaults();
    ThreadPool pool(1);
    std::promise<void> release;
    pool.submit([opened = release.get_future().share()] { opened.wait(); });
    {
        PicturePipeline pipeline(&pool, 0);
        PictureBatch batch;
        for (int n = 0; n < 3; ++n) batch.add(missingPicture(settings, n));
        pipeline.start(batch);
        for (std::size_t j = 0; j < batch.size(); ++j) {
            const PictureJob& job = pipeline.finish(batch, j);
            EXPECT_TRUE(job.failed) << j;  // made (and failing: no such file), not skipped
            EXPECT_FALSE(job.failure.empty()) << j;
        }
        // A second batch goes before the pool reached its tasks: they must
        // find it gone and leave it alone (the sanitizers watch this).
        PictureBatch dropped;
        for (int n = 0; n < 3; ++n) dropped.add(missingPicture(settings, n));
        pipeline.start(dropped);
        pipeline.drain(dropped);
        for (std::size_t j = 0; j < dropped.size(); ++j) EXPECT_FALSE(dropped[j].failed) << j;  // never begun
    }
    release.set_value();
}

TEST(PicturePipeline, WithoutAPoolOfItsOwnEachJobIsMadeOnTakingItBack) {
    const AlbumSettings settings = AlbumSettings::defaults();
    PicturePipeline pipeline(nullptr, 1);
    EXPECT_FALSE(pipeline.wantsMore(0));
    PictureBatch batch;
    batch.add(missingPicture(settings, 0));
    pipeline.start(batch);
    EXPECT_FALSE(batch[0].failed);  // nothing happens before it is taken back
    EXPECT_TRUE(pipeline.finish(batch, 0).failed);
}
