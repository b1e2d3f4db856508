#include "app/publish/publish_plan.h"

#include <set>

namespace mirofoto::publish {

SendGroup sendGroupOf(const std::string& path) {
    const bool page = path.ends_with(".htm") || path.ends_with(".html");
    if (!page) return SendGroup::Copies;
    return path.find('/') == std::string::npos ? SendGroup::MenuPages : SendGroup::AlbumPages;
}

PublishPlan makePlan(const FileMap& local, const Manifest& manifest, const RemoteListing& remote,
                     const std::vector<std::string>& unreadable) {
    const std::set<std::string> stillOurs(unreadable.begin(), unreadable.end());
    PublishPlan plan;
    plan.firstPublish = !manifest.existed;
    for (const auto& [path, facts] : local) {
        const auto sent = manifest.files.find(path);
        const auto there = remote.find(path);
        const bool current = sent != manifest.files.end() && there != remote.end() &&
                             there->second == sent->second.size && sent->second.hash == facts.hash;
        if (current) {
            ++plan.unchanged;
            continue;
        }
        plan.send[static_cast<int>(sendGroupOf(path))].push_back(path);
        plan.sendBytes += facts.size;
    }
    for (const auto& [path, facts] : manifest.files) {
        if (local.count(path) || stillOurs.count(path)) continue;
        (remote.count(path) ? plan.remove : plan.forget).push_back(path);
    }
    return plan;
}

}  // namespace mirofoto::publish
