// The album run's picture pipeline: the thumbnail and enlarged copies of
// each picture, made on a pool of threads ahead of the pages that show them,
// with the reason for every picture that could not be made. The files are
// the same whatever the number of threads.
//
// The pool may be the program's own, shared with other work and perhaps
// running the album run itself: a job is made by whoever comes to it first,
// a worker or the run taking it back, so the run never waits for a job that
// sits in the queue behind other work.
#pragma once

#include "app/albumoutput/album_run.h"
#include "app/albumoutput/copy_record.h"
#include "app/albumoutput/image_derivation.h"
#include "app/util/thread_pool.h"

#include <atomic>
#include <cstddef>
#include <deque>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mirofoto {

/// The copies of one picture.
struct PictureJob {
    std::string source;
    std::string thumbnail;
    std::string enlarged;
    bool makeThumbnail = true;
    bool makeEnlarged = true;
    /// How the copies are turned: after they were made (the turn only),
    /// or mirrored and turned before they are fitted into their boxes.
    CopyTurn turn;
    /// Set when the EXIF orientation is still to be read: run() reads it (on
    /// its worker) and sets turn from it and storedTurn.
    bool turnFromOrientation = false;
    std::optional<int> storedTurn;
    /// The HTML5 pages' twice-as-large copies (empty names: none wanted).
    /// Each is written only when the source is larger than its 1x copy.
    std::string thumbnail2x;
    std::string enlarged2x;
    bool makeThumbnail2x = false;
    bool makeEnlarged2x = false;
    bool keepThumbnail2x = false;  ///< set by the plan: the copy stands and stays
    bool keepEnlarged2x = false;
    bool madeThumbnail2x = false;  ///< set by run(): written (and turned) whole
    bool madeEnlarged2x = false;
    const AlbumSettings* settings = nullptr;
    /// Set when the run stops: a job not yet begun then makes nothing.
    const std::atomic<bool>* cancel = nullptr;
    SourceCheck check;  ///< the source as the album folder's record needs it

    bool failed = false;   ///< set by run()
    ImageFailure failure;  ///< the first thing that failed

    /// Makes the copies; never throws.
    void run() noexcept;

private:
    void makeTwiceCopies();
};

/// The failure of a picture as the run reports it.
PictureFailure describePictureFailure(const std::string& source, const ImageFailure& failure);

/// The jobs of one album, started together and taken back one by one in
/// their order. Going away, it waits for the jobs a worker has begun and
/// keeps the others from ever starting.
class PictureBatch {
public:
    PictureBatch() = default;
    ~PictureBatch();
    PictureBatch(const PictureBatch&) = delete;
    PictureBatch& operator=(const PictureBatch&) = delete;

    PictureJob& add(PictureJob job) { return m_jobs.emplace_back(std::move(job)); }
    std::size_t size() const { return m_jobs.size(); }
    PictureJob& operator[](std::size_t j) { return m_jobs[j]; }

private:
    friend class PicturePipeline;
    /// Who makes a job: nobody yet, a worker of the pool, or the run (or
    /// nobody ever, once the batch is drained).
    enum Claim : int { Open, ByWorker, ByRun };
    struct Started {
        std::shared_ptr<std::atomic<int>> claim;  // outlives the batch in a queued task
        std::future<void> done;
    };
    /// Claims job j for the calling thread: true when it is to make it.
    bool claim(std::size_t j);

    std::deque<PictureJob> m_jobs;  // stable addresses for the pool
    std::vector<Started> m_started;
};

class PicturePipeline {
public:
    /// 0 threads means one per processor core; with one the jobs run on the
    /// calling thread when they are taken back.
    explicit PicturePipeline(unsigned threads);
    /// Works on the given pool (the program's), which must outlive the work
    /// of every batch started here; null makes one as above.
    PicturePipeline(ThreadPool* pool, unsigned threads);

    /// Queues every job of the batch (nothing happens yet without a pool).
    /// The batch must outlive the pipeline's work on it.
    void start(PictureBatch& batch);
    /// Job j of the batch, made: waits for it, or makes it now.
    PictureJob& finish(PictureBatch& batch, std::size_t j);
    /// Waits until the pool is done with every job of the batch (a job not
    /// begun when the run stops makes nothing), so the batch may go.
    void drain(PictureBatch& batch);
    /// Whether the next album should start now so that the pool stays busy:
    /// the pictures still to come no longer fill it.
    bool wantsMore(std::size_t picturesLeft) const { return m_pool && picturesLeft <= m_pool->size(); }

private:
    std::unique_ptr<ThreadPool> m_ownPool;
    ThreadPool* m_pool = nullptr;
};

}  // namespace mirofoto
