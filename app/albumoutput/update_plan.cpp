#include "app/albumoutput/update_plan.h"

#include "app/albumoutput/album_names.h"
#include "app/albumoutput/album_run_messages.h"
#include "app/settings/settings_write_report.h"
#include "app/util/paths.h"
#include "platform/atomic_file.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace mirofoto {
namespace {

bool isCopyName(std::string_view name) {
    return name.ends_with(kThumbnailSuffix) || name.ends_with(kEnlargedSuffix) || name.ends_with(kThumbnail2xSuffix) ||
           name.ends_with(kEnlarged2xSuffix);
}

// Removes a file the program made; a file already gone counts as removed.
bool removeMadeFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR;
}

// Writes a record. The records are the program's own state, kept beside
// its settings: a write that fails is told as a settings write is, and the
// album itself stays whole (the next update of it is a full one).
bool storeRecord(const std::string& file, const AlbumRecord& record) {
    const std::error_code ec = platform::replaceFileContents(file, formatAlbumRecord(record));
    if (ec) noteSettingsWriteFailure(file, ec.value());
    return !ec;
}

// The problem line of a copy left alone because the user made it read-only.
std::string writeProtectedItem(const std::string& path) {
    return runText(RunText::PictureItem, {path, runText(RunText::ReasonWriteProtected)});
}

// The names in the folder other than the given ones, the record and the
// temporary files of killed runs, as full paths.
void listOthers(const std::string& folder, const std::set<std::string>& known, std::vector<std::string>& into) {
    std::error_code ec;
    std::vector<std::string> found;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        if (known.count(name) || platform::isTemporaryName(name)) continue;
        found.push_back(folder + "/" + name);
    }
    std::sort(found.begin(), found.end());
    into.insert(into.end(), found.begin(), found.end());
}

}  // namespace

bool isWriteProtected(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return ::access(path.c_str(), W_OK) != 0 && (errno == EACCES || errno == EPERM);
}

AlbumCopies::AlbumCopies(AlbumFolderAction action, std::string albumFolder, std::string recordFile,
                         const AlbumSettings& settings)
    : m_action(action), m_folder(std::move(albumFolder)), m_recordFile(std::move(recordFile)), m_settings(settings) {
    // A missing or damaged record leaves m_old empty: every copy is made
    // again and nothing is removed.
    if (m_action == AlbumFolderAction::Update || m_action == AlbumFolderAction::KeepCopies)
        readAlbumRecord(m_recordFile, m_old);
    m_wanted.insert("index.htm");
}

CopyDecision decideCopy(AlbumFolderAction action, const CopyEntry* recorded, const std::optional<CopyStamp>& copy,
                        std::string_view source, const std::optional<SourceStamp>& stamp, const std::string* recipe) {
    // Only a regular file is kept: a link in a copy's place would publish
    // whatever it names.
    if (action == AlbumFolderAction::KeepCopies) return copy ? CopyDecision::Keep : CopyDecision::Make;
    if (action != AlbumFolderAction::Update || !recorded || !copy || !stamp || !recipe) return CopyDecision::Make;
    // The same file the run left: truncated, replaced or rewritten copies
    // are made anew.
    if (*copy != recorded->copy) return CopyDecision::Make;
    if (recorded->source != source || *recipe != recorded->recipe) return CopyDecision::Make;
    if (*stamp == recorded->stamp) return CopyDecision::Keep;
    // Touched, copied back, restored: the content decides. A new size is
    // new content.
    return stamp->size == recorded->stamp.size ? CopyDecision::KeepIfSame : CopyDecision::Make;
}

AlbumCopies::Decision AlbumCopies::decide(const std::string& file, const std::string& source,
                                          const std::optional<SourceStamp>& stamp, const std::string& path,
                                          const CopyRecipes* recipes, bool thumbnail) {
    const auto it = m_old.copies.find(file);
    const CopyEntry* recorded = it == m_old.copies.end() ? nullptr : &it->second;
    const std::string* recipe = recipes ? (thumbnail ? &recipes->thumbnail : &recipes->enlarged) : nullptr;
    switch (decideCopy(m_action, recorded, copyStamp(path), source, stamp, recipe)) {
    case CopyDecision::Keep: return Decision::Keep;
    case CopyDecision::KeepIfSame: return Decision::KeepIfSame;
    case CopyDecision::Make: break;
    }
    return Decision::Make;
}

void AlbumCopies::plan(PictureJob& job, const AlbumImage& image) {
    m_wanted.insert(image.enlargedFileName);
    m_wanted.insert(image.thumbnailFileName);
    m_wanted.insert(image.pageFileName());
    Planned p;
    if (m_action == AlbumFolderAction::Update || m_action == AlbumFolderAction::KeepCopies) {
        const std::optional<SourceStamp> stamp =
            m_action == AlbumFolderAction::Update ? sourceStamp(job.source) : std::nullopt;
        const auto recipesOf = [&](const std::string& file) -> std::optional<CopyRecipes> {
            const auto it = m_old.copies.find(file);
            if (it == m_old.copies.end()) return std::nullopt;
            return copyRecipes(it->second.sourceWidth, it->second.sourceHeight, m_settings, job.turn);
        };
        const std::optional<CopyRecipes> re = recipesOf(image.enlargedFileName);
        const std::optional<CopyRecipes> rt = recipesOf(image.thumbnailFileName);
        p.enlarged = decide(image.enlargedFileName, image.listedName, stamp, job.enlarged, re ? &*re : nullptr,
                            false);
        p.thumbnail = decide(image.thumbnailFileName, image.listedName, stamp, job.thumbnail,
                             rt ? &*rt : nullptr, true);
    }
    // A copy the user made read-only stays as it is, whatever it holds.
    if (p.enlarged == Decision::Make && isWriteProtected(job.enlarged)) p.enlarged = Decision::WriteProtected;
    if (p.thumbnail == Decision::Make && isWriteProtected(job.thumbnail)) p.thumbnail = Decision::WriteProtected;
    // One hash is checked per picture: a thumbnail recorded from other
    // content than its enlarged copy is made again.
    if (p.enlarged == Decision::KeepIfSame) {
        job.check.keepEnlargedIfSame = true;
        job.check.expectedHash = m_old.copies.at(image.enlargedFileName).hash;
    }
    if (p.thumbnail == Decision::KeepIfSame) {
        const std::uint64_t h = m_old.copies.at(image.thumbnailFileName).hash;
        if (!job.check.keepEnlargedIfSame || h == job.check.expectedHash) {
            job.check.keepThumbnailIfSame = true;
            job.check.expectedHash = h;
        } else {
            p.thumbnail = Decision::Make;
        }
    }
    job.makeEnlarged = p.enlarged == Decision::Make || p.enlarged == Decision::KeepIfSame;
    job.makeThumbnail = p.thumbnail == Decision::Make || p.thumbnail == Decision::KeepIfSame;
    if (!job.enlarged2x.empty() && !job.thumbnail2x.empty())
        planTwice(job, image, m_action == AlbumFolderAction::Update ? sourceStamp(job.source) : std::nullopt, p);
    m_planned.push_back(p);
}

void AlbumCopies::planTwice(PictureJob& job, const AlbumImage& image, const std::optional<SourceStamp>& stamp,
                            Planned& p) {
    p.twice = true;
    const std::string enlarged = GetFileName(job.enlarged2x);
    const std::string thumbnail = GetFileName(job.thumbnail2x);
    m_wanted.insert(enlarged);
    m_wanted.insert(thumbnail);
    const auto decideOne = [&](const std::string& file, const std::string& path, bool isThumbnail) {
        Decision d = Decision::Make;
        if (m_action == AlbumFolderAction::Update || m_action == AlbumFolderAction::KeepCopies) {
            const auto it = m_old.copies.find(file);
            std::optional<CopyRecipes> recipes;
            if (it != m_old.copies.end())
                recipes = twiceCopyRecipes(it->second.sourceWidth, it->second.sourceHeight, m_settings, job.turn);
            d = decide(file, image.listedName, stamp, path, recipes ? &*recipes : nullptr, isThumbnail);
            // A touched source makes its 2x copies again rather than hash
            // it once more: never keep too much.
            if (d == Decision::KeepIfSame) d = Decision::Make;
        }
        if (d == Decision::Make && isWriteProtected(path)) d = Decision::WriteProtected;
        return d;
    };
    p.enlarged2x = decideOne(enlarged, job.enlarged2x, false);
    p.thumbnail2x = decideOne(thumbnail, job.thumbnail2x, true);
    job.makeEnlarged2x = p.enlarged2x == Decision::Make;
    job.makeThumbnail2x = p.thumbnail2x == Decision::Make;
    job.keepEnlarged2x = p.enlarged2x == Decision::Keep || p.enlarged2x == Decision::WriteProtected;
    job.keepThumbnail2x = p.thumbnail2x == Decision::Keep || p.thumbnail2x == Decision::WriteProtected;
}

void AlbumCopies::carry(const std::string& file, AlbumRecord& into) const {
    if (const auto it = m_old.copies.find(file); it != m_old.copies.end()) into.copies[file] = it->second;
}

void AlbumCopies::begin(const std::vector<AlbumImage>& images, std::vector<std::string>& problems) {
    AlbumRecord pending;
    pending.owned = m_old.owned;
    pending.owned.insert(m_wanted.begin(), m_wanted.end());
    for (std::size_t j = 0; j < images.size() && j < m_planned.size(); ++j) {
        if (m_planned[j].enlarged == Decision::Keep) {
            carry(images[j].enlargedFileName, pending);
            ++m_counts.kept;
        }
        if (m_planned[j].thumbnail == Decision::Keep) {
            carry(images[j].thumbnailFileName, pending);
            ++m_counts.kept;
        }
        if (m_planned[j].enlarged == Decision::WriteProtected)
            problems.push_back(writeProtectedItem(m_folder + "/" + images[j].enlargedFileName));
        if (m_planned[j].thumbnail == Decision::WriteProtected)
            problems.push_back(writeProtectedItem(m_folder + "/" + images[j].thumbnailFileName));
        if (!m_planned[j].twice) continue;
        const std::string twice[] = {twiceSizeName(images[j].enlargedFileName),
                                     twiceSizeName(images[j].thumbnailFileName)};
        const Decision decisions[] = {m_planned[j].enlarged2x, m_planned[j].thumbnail2x};
        for (int k = 0; k < 2; ++k) {
            if (decisions[k] == Decision::Keep) {
                carry(twice[k], pending);
                ++m_counts.kept;
            } else if (decisions[k] == Decision::WriteProtected) {
                problems.push_back(writeProtectedItem(m_folder + "/" + twice[k]));
            }
        }
    }
    // The old record must not vouch for copies about to be made again.
    if (!storeRecord(m_recordFile, pending) && !removeMadeFile(m_recordFile)) problems.push_back(m_recordFile);
    if (m_action != AlbumFolderAction::Update) return;
    for (const std::string& name : m_old.owned) {
        if (m_wanted.count(name)) continue;
        if (isWriteProtected(m_folder + "/" + name)) {
            m_notRemoved.insert(name);
            problems.push_back(writeProtectedItem(m_folder + "/" + name));
        } else if (!removeMadeFile(m_folder + "/" + name)) {
            m_notRemoved.insert(name);
            problems.push_back(m_folder + "/" + name);
        } else if (isCopyName(name)) {
            ++m_counts.removed;
        }
    }
}

void AlbumCopies::end(PictureBatch& jobs, const std::vector<AlbumImage>& images, std::vector<std::string>& problems,
                      std::vector<std::string>& leftAlone) {
    AlbumRecord done;
    done.owned = m_wanted;
    done.owned.insert(m_notRemoved.begin(), m_notRemoved.end());
    // Only an update removes; what other runs leave stands, and stays the
    // program's to remove later.
    if (m_action != AlbumFolderAction::Update) done.owned.insert(m_old.owned.begin(), m_old.owned.end());
    for (std::size_t j = 0; j < images.size() && j < jobs.size() && j < m_planned.size(); ++j) {
        const PictureJob& job = jobs[j];
        const SourceCheck& c = job.check;
        // A copy made now is recorded as written, with what decided its bytes.
        const auto recordMade = [&](const std::string& file, const std::string& path, const CopyRecipes& r,
                                    bool thumbnail) {
            ++m_counts.made;
            const std::optional<CopyStamp> written = copyStamp(path);
            if (c.measured && written)
                done.copies[file] = {images[j].listedName, c.stamp, c.hash, c.width, c.height,
                                     thumbnail ? r.thumbnail : r.enlarged, *written};
        };
        const auto settle = [&](Decision planned, const std::string& file, const std::string& path, bool kept,
                                bool made, bool thumbnail) {
            if (planned == Decision::Keep) {
                carry(file, done);
            } else if (planned == Decision::WriteProtected) {
                // Left as it stands: owned still, but never vouched for.
            } else if (kept) {
                CopyEntry e = m_old.copies.at(file);
                e.stamp = c.stamp;
                done.copies[file] = std::move(e);
                ++m_counts.kept;
            } else if (made) {
                recordMade(file, path, copyRecipes(c.width, c.height, m_settings, job.turn), thumbnail);
            } else if (m_action == AlbumFolderAction::Update) {
                // Not made again: a copy with old contents must not stay.
                removeMadeFile(path);
            }
        };
        settle(m_planned[j].enlarged, images[j].enlargedFileName, job.enlarged, c.keptEnlarged, c.madeEnlarged,
               false);
        settle(m_planned[j].thumbnail, images[j].thumbnailFileName, job.thumbnail, c.keptThumbnail,
               c.madeThumbnail, true);
        if (!m_planned[j].twice) continue;
        // A 2x copy not made (its source no larger than the 1x copy, or a
        // failure) must not stand with old contents either.
        const auto settleTwice = [&](Decision planned, const std::string& path, bool made, bool thumbnail) {
            const std::string file = GetFileName(path);
            if (planned == Decision::Keep) {
                carry(file, done);
            } else if (planned == Decision::WriteProtected) {
            } else if (made) {
                recordMade(file, path, twiceCopyRecipes(c.width, c.height, m_settings, job.turn), thumbnail);
            } else {
                // Nothing of it stands, so nothing of it is the program's.
                if (removeMadeFile(path)) done.owned.erase(file);
            }
        };
        settleTwice(m_planned[j].enlarged2x, job.enlarged2x, job.madeEnlarged2x, false);
        settleTwice(m_planned[j].thumbnail2x, job.thumbnail2x, job.madeThumbnail2x, true);
    }
    storeRecord(m_recordFile, done);
    if (m_action == AlbumFolderAction::Update) listOthers(m_folder, done.owned, leftAlone);
}

void recordBackgroundCopies(const std::string& imagesFolder, const std::string& recordFile,
                            const std::vector<std::string>& copied, bool update, std::vector<std::string>& problems,
                            std::vector<std::string>& leftAlone) {
    if (!isRealFolder(imagesFolder)) return;
    AlbumRecord old;
    readAlbumRecord(recordFile, old);
    AlbumRecord now;
    now.owned.insert(copied.begin(), copied.end());
    for (const std::string& name : old.owned) {
        if (now.owned.count(name)) continue;
        if (!update) {
            now.owned.insert(name);
        } else if (!removeMadeFile(imagesFolder + "/" + name)) {
            now.owned.insert(name);
            problems.push_back(imagesFolder + "/" + name);
        }
    }
    if (now.owned.empty()) {
        removeMadeFile(recordFile);
        if (update && ::rmdir(imagesFolder.c_str()) == 0) return;
    } else {
        storeRecord(recordFile, now);
    }
    if (update) listOthers(imagesFolder, now.owned, leftAlone);
}

void removeOldAlbums(const std::string& outputFolder, const std::string& recordsFolder,
                     const std::vector<std::string>& albumDirectories, bool keepAlbums, const SourceFolders& sources,
                     CopyCounts& counts, std::vector<std::string>& problems, std::vector<std::string>& leftAlone) {
    const std::set<std::string> current(albumDirectories.begin(), albumDirectories.end());
    const std::string base = outputFolder.ends_with('/') ? outputFolder.substr(0, outputFolder.size() - 1)
                                                         : outputFolder;
    std::error_code ec;
    std::vector<fs::directory_entry> entries;
    for (const fs::directory_entry& e : fs::directory_iterator(base, ec)) entries.push_back(e);
    std::sort(entries.begin(), entries.end());
    for (const fs::directory_entry& e : entries) {
        const std::string name = e.path().filename().string();
        const std::string path = base + "/" + name;
        if (name == "index.htm" || name == kRunLockFileName || current.count(name) ||
            platform::isTemporaryName(name))
            continue;
        // A link is never an album folder of ours, whatever it leads to.
        const bool folder = isRealFolder(path);
        if (name == "images" && folder) continue;
        AlbumRecord record;
        if (!folder || keepAlbums || readAlbumRecord(recordPath(recordsFolder, name), record) != RecordRead::Ok) {
            leftAlone.push_back(folder ? path + "/" : path);
            continue;
        }
        // File by recorded file, the record last: a run killed on the way
        // leaves a record that still names what is left.
        bool all = true;
        for (const std::string& f : record.owned) {
            const std::string file = path + "/" + f;
            if (isWriteProtected(file)) {
                all = false;
                problems.push_back(writeProtectedItem(file));
            } else if (sources.isSourceFile(file) || !removeMadeFile(file)) {
                all = false;
                problems.push_back(file);
            } else if (isCopyName(f)) {
                ++counts.removed;
            }
        }
        if (!all) continue;
        removeMadeFile(recordPath(recordsFolder, name));
        platform::removeStaleTemporaries(path);
        if (::rmdir(path.c_str()) != 0) listOthers(path, {}, leftAlone);
    }
    // Records of album folders that are gone (or are no real folder any
    // more) vouch for nothing.
    if (keepAlbums) return;
    std::vector<fs::path> records;
    for (const fs::directory_entry& e : fs::directory_iterator(recordsFolder, ec)) records.push_back(e.path());
    for (const fs::path& r : records) {
        const std::string file = r.filename().string();
        if (!file.ends_with(".record")) continue;
        const std::string name = file.substr(0, file.size() - 7);
        if (name == "images" || current.count(name)) continue;
        if (!isRealFolder(base + "/" + name)) removeMadeFile(r.string());
    }
}

void removeRecordsInOutputFolder(const std::string& outputFolder) {
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(outputFolder, ec)) {
        const std::string folder = e.path().string();
        if (isRealFolder(folder)) removeMadeFile(folder + "/" + std::string(kAlbumRecordFileName));
    }
}

}  // namespace mirofoto
