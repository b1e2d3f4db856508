// What one publish does: which files go up, in which order, and which files
// an earlier publish sent that the album no longer has. Decided from the
// output folder, the manifest of the target and one listing of the target;
// nothing on the target is hashed.
#pragma once

#include "app/publish/publish_manifest.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace mirofoto::publish {

/// The order in which files go up, so that a page never links to a file
/// that is not there yet: the copies (and background images), then the
/// album pages, then the menu page.
enum class SendGroup { Copies, AlbumPages, MenuPages };
inline constexpr SendGroup kSendOrder[] = {SendGroup::Copies, SendGroup::AlbumPages, SendGroup::MenuPages};

SendGroup sendGroupOf(const std::string& path);

/// Sizes of the files on the target by path, from its listing.
using RemoteListing = std::map<std::string, std::uint64_t>;

struct PublishPlan {
    std::vector<std::string> send[3];  ///< by SendGroup, each sorted
    std::vector<std::string> remove;   ///< sent earlier, gone from the album, still on the target
    /// Sent earlier, gone from the album and already gone from the target:
    /// only the manifest forgets them.
    std::vector<std::string> forget;
    std::uint64_t sendBytes = 0;
    std::size_t unchanged = 0;
    bool firstPublish = false;  ///< no manifest for this target yet

    std::size_t sendCount() const { return send[0].size() + send[1].size() + send[2].size(); }
    bool empty() const { return sendCount() == 0 && remove.empty() && forget.empty(); }
};

/// A file goes up when the target lacks it, when the manifest has no record
/// of sending it (it may be a half-sent file, or someone else's), when its
/// size on the target differs from the one sent, or when its content now
/// differs from the content sent. A manifest file the album no longer has
/// is removed when the target still holds it. Files the manifest does not
/// name are never removed. A file of the output folder that could not be
/// read (unreadable) is still the album's: it is neither removed nor
/// forgotten.
PublishPlan makePlan(const FileMap& local, const Manifest& manifest, const RemoteListing& remote,
                     const std::vector<std::string>& unreadable = {});

}  // namespace mirofoto::publish
