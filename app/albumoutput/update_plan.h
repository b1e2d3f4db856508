// What an album run keeps, re-makes and removes in an album folder, by the
// folder's record (copy_record.h): every run that makes an album writes the
// record; an update run ("変更された画像のみ作成する") reads it to keep each
// copy whose source, settings and turn are unchanged, and removes the pages
// and copies the program made for pictures no longer in the album, and the
// album folders of albums no longer ticked. Files the program did not make
// are never removed; an update lists them.
#pragma once

#include "app/albumoutput/album_image.h"
#include "app/albumoutput/album_run_checks.h"
#include "app/albumoutput/copy_record.h"
#include "app/albumoutput/picture_pipeline.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirofoto {

/// The copies of one album run: what it made, kept and removed.
struct CopyCounts {
    int made = 0;
    int kept = 0;
    int removed = 0;
};

/// What the run does with one copy of a picture.
enum class CopyDecision {
    Make,        ///< made (anew)
    Keep,        ///< left untouched: the record vouches for it
    KeepIfSame,  ///< kept when the source's content hash is still the recorded one, else made
};

/// The decision for one copy. action is the album folder's; recorded the
/// record's entry for the copy (null when none); copy the regular file
/// standing in the copy's place (nothing when none, or a link); source and
/// stamp the picture's listed name and its stamp now; recipe the recipe the
/// copy would be made with now (null when unknown).
CopyDecision decideCopy(AlbumFolderAction action, const CopyEntry* recorded, const std::optional<CopyStamp>& copy,
                        std::string_view source, const std::optional<SourceStamp>& stamp, const std::string* recipe);

/// The record work of one album folder across its run.
class AlbumCopies {
public:
    /// recordFile is the album folder's record (recordPath()).
    AlbumCopies(AlbumFolderAction action, std::string albumFolder, std::string recordFile,
                const AlbumSettings& settings);

    /// Decides which copies the picture's job makes (its source, copy names,
    /// turn and settings set).
    void plan(PictureJob& job, const AlbumImage& image);
    /// Before any job runs: the record is written with only the copies this
    /// run leaves untouched, and (update) the program's files that belong to
    /// no picture of the album any more are removed. A copy the user made
    /// read-only is neither made again nor removed; it is listed in problems
    /// with that reason.
    void begin(const std::vector<AlbumImage>& images, std::vector<std::string>& problems);
    /// After every job and page: the record of what now stands, and (update)
    /// the copies that could not be made again are removed rather than left
    /// with old contents. Lists in leftAlone the files the program did not
    /// make.
    void end(PictureBatch& jobs, const std::vector<AlbumImage>& images, std::vector<std::string>& problems,
             std::vector<std::string>& leftAlone);

    const CopyCounts& counts() const { return m_counts; }

private:
    enum class Decision { Make, Keep, KeepIfSame, WriteProtected };
    struct Planned {
        Decision enlarged = Decision::Make;
        Decision thumbnail = Decision::Make;
        bool twice = false;  ///< the HTML5 pages' 2x copies are wanted
        Decision enlarged2x = Decision::Make;
        Decision thumbnail2x = Decision::Make;
    };
    void planTwice(PictureJob& job, const AlbumImage& image, const std::optional<SourceStamp>& stamp, Planned& p);
    Decision decide(const std::string& file, const std::string& source, const std::optional<SourceStamp>& stamp,
                    const std::string& path, const CopyRecipes* recipes, bool thumbnail);
    void carry(const std::string& file, AlbumRecord& into) const;

    AlbumFolderAction m_action;
    std::string m_folder;
    std::string m_recordFile;
    const AlbumSettings& m_settings;
    AlbumRecord m_old;
    std::vector<Planned> m_planned;
    std::set<std::string> m_wanted;
    std::set<std::string> m_notRemoved;
    CopyCounts m_counts;
};

/// Keeps the record (recordFile) of the background copies in the output
/// folder's "images" folder (the names of this run's copies and, but for an
/// update, those of earlier runs). An update removes the earlier ones that
/// this run did not copy, the folder itself when nothing is left in it, and
/// lists in leftAlone what else stands there. An "images" that is not a real
/// folder (a link) is never looked into.
void recordBackgroundCopies(const std::string& imagesFolder, const std::string& recordFile,
                            const std::vector<std::string>& copied, bool update, std::vector<std::string>& problems,
                            std::vector<std::string>& leftAlone);

/// Update runs: removes the album folders in the output folder that the
/// program made (real folders with a record in recordsFolder) for albums
/// not in this run, file by recorded file, and lists in leftAlone every
/// other thing in the output folder that the run did not make: in the folder
/// itself and what stays in a removed album folder ("images" is
/// recordBackgroundCopies' to list). Records of folders that are gone are
/// dropped. With keepAlbums set (some album folders could not be read) no
/// album folder is removed, only listed. A link is never followed and a
/// file of the sources never removed.
void removeOldAlbums(const std::string& outputFolder, const std::string& recordsFolder,
                     const std::vector<std::string>& albumDirectories, bool keepAlbums, const SourceFolders& sources,
                     CopyCounts& counts, std::vector<std::string>& problems, std::vector<std::string>& leftAlone);

/// Removes the records earlier versions left in the output folder's real
/// subfolders (kAlbumRecordFileName), unread.
void removeRecordsInOutputFolder(const std::string& outputFolder);

/// A regular file (not a link) the user may not write stands at the path:
/// a copy made read-only, which the run leaves as it stands.
bool isWriteProtected(const std::string& path);

}  // namespace mirofoto
