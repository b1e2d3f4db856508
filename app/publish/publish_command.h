// "mirofoto publish": sends what changed in an output folder to its target.
#pragma once

#include "app/publish/publish_plan.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace mirofoto::publish {

/// Exit codes, as "generate" has them.
enum PublishExit : int {
    kPublishDone = 0,        ///< the target holds the album (a dry run: the plan was listed)
    kPublishStopped = 1,     ///< nothing could be done, or stopped
    kPublishUsage = 2,       ///< bad arguments
    kPublishIncomplete = 3,  ///< some files were not sent or removed
};

/// Runs the command with its arguments (those after "publish").
int runPublishCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string publishHelp();

/// The plan in words: what goes and what is removed, with counts and bytes,
/// then the names (at most maxNames of them, then how many more).
std::string planSummary(const PublishPlan& plan, std::size_t maxNames);

/// "12.3 MB" and the like.
std::string byteText(std::uint64_t bytes);

}  // namespace mirofoto::publish
