// One publish of an output folder to a target: take the folder's run lock,
// list the target once, plan, send the changed files group by group in the
// order visitors need, remove what the album no longer has, and keep the
// manifest in step with what rclone confirmed.
#pragma once

#include "app/publish/publish_plan.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mirofoto::publish {

struct PublishRequest {
    std::string outputFolder;
    std::string target;
    bool dryRun = false;  ///< plan only: nothing is sent, removed or recorded
    std::function<bool()> stopRequested;
};

struct PublishProgress {
    std::size_t filesDone = 0;
    std::size_t filesTotal = 0;
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0;
};

/// What a publish reports as it goes (on the thread that runs it).
class PublishObserver {
public:
    virtual ~PublishObserver() = default;
    virtual void planned(const PublishPlan&) {}
    virtual void progress(const PublishProgress&) {}
};

enum class PublishOutcome {
    Published,    ///< the target holds the album (or the dry run's plan is made)
    SomeFailed,   ///< done, but some files were not sent or removed
    NothingDone,  ///< nothing could be done (message says why)
    Stopped,      ///< stopped on request
};

struct PublishResult {
    PublishOutcome outcome = PublishOutcome::NothingDone;
    std::string message;  ///< Japanese, for the user
    std::string detail;   ///< rclone's own words behind a failure
    PublishPlan plan;
    std::size_t sent = 0;
    std::size_t removed = 0;
    std::uint64_t transfers = 0;  ///< files rclone's statistics counted as transferred
    std::vector<std::string> failed;  ///< "path: why"
};

/// Publishes (or, for a dry run, plans). Never throws.
PublishResult publishOutputFolder(const PublishRequest& request, PublishObserver& observer);

/// The message for a failure that rclone described in its own words
/// (authentication refused, host not reached, host key unknown or changed,
/// no space on the server); a general one naming rclone's last words
/// otherwise.
std::string failureMessage(const std::string& rcloneText, const std::string& target);

/// The message when rclone cannot be found.
std::string rcloneMissingMessage();

}  // namespace mirofoto::publish
