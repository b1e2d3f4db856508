// The record the program keeps of what it made in an album folder: every
// page and copy it wrote (so that only those are ever removed), and for each
// copy that is whole and current the source and the settings it was made
// from, and the copy file as it was written (so that an update run can keep
// it). One small file per album folder (and one for "images"), kept in the
// program's own state for the output folder (recordsFolder()), never in the
// output folder: what a web server publishes holds the album only, and no
// file inside the published folder decides what an update removes.
//
// A record never claims more than is true: an album's copies are dropped
// from it before they are made again and written back only once they stand
// whole under their names, so a killed run leaves a record that at worst
// makes the next run do too much, never keep too much.
#pragma once

#include "app/albumoutput/picture_orientation.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace mirofoto {

struct AlbumSettings;

/// The name earlier versions gave the record inside each album folder and
/// "images". Such files are removed by the next run and never read.
inline constexpr std::string_view kAlbumRecordFileName = ".mirofoto-album.record";

/// The folder of the output folder's records: "records/" in its output state
/// folder (outputStateFolder() of this process's storage location). Ends
/// with "/"; not created here.
std::string recordsFolder(const std::string& outputFolder);
/// The record file of the folder (an album folder's name, or "images") in
/// the records folder.
std::string recordPath(const std::string& recordsFolder, const std::string& folderName);
/// Creates the records folder (and the settings folder above it, as the
/// settings are). True when it exists afterwards.
bool ensureRecordsFolder(const std::string& recordsFolder);

/// What the file system says about a source picture. Any edit changes the
/// change time (which no program can set back), and a file put in another's
/// place has another inode, so equal stamps mean equal contents; unequal
/// ones (a copy restored, a picture touched) are settled by the content hash.
struct SourceStamp {
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const SourceStamp&, const SourceStamp&) = default;
};

/// The stamp of the file (links followed), or nothing when it cannot be read.
std::optional<SourceStamp> sourceStamp(const std::string& path);
/// The 64-bit XXH3 hash of the whole file, or nothing when it cannot be read.
std::optional<std::uint64_t> contentHash(const std::string& path);

/// A copy file as the run left it: a copy is kept only when the same regular
/// file still stands under its name (a link, a truncated or replaced file
/// is made anew).
struct CopyStamp {
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const CopyStamp&, const CopyStamp&) = default;
};

/// The stamp of the regular file standing at the path (a link is not
/// followed), or nothing when none stands there.
std::optional<CopyStamp> copyStamp(const std::string& path);

/// One copy that stands whole in the album folder, and what it was made from.
struct CopyEntry {
    std::string source;  ///< the picture's listed name in its folder
    SourceStamp stamp;   ///< of the source, taken before it was read
    std::uint64_t hash = 0;  ///< of the source's content
    int sourceWidth = 0;
    int sourceHeight = 0;
    std::string recipe;  ///< copyRecipe() it was made with
    CopyStamp copy;      ///< of the copy file, once written
    friend bool operator==(const CopyEntry&, const CopyEntry&) = default;
};

struct AlbumRecord {
    /// Every file the program wrote into the album folder and that may
    /// still stand there (pages and copies; not the record itself).
    std::set<std::string> owned;
    /// The copies that are whole and current, by file name.
    std::map<std::string, CopyEntry> copies;
    friend bool operator==(const AlbumRecord&, const AlbumRecord&) = default;
};

/// What a picture's job learns about its source for the record, and the
/// copies it may keep after all when the content proves unchanged.
struct SourceCheck {
    // Set when the job is planned: the copies that are current but whose
    // source stamp changed; they are kept when the content hash still
    // equals expectedHash.
    bool keepEnlargedIfSame = false;
    bool keepThumbnailIfSame = false;
    std::uint64_t expectedHash = 0;

    // Learnt on the worker, before the source is decoded.
    bool measured = false;  ///< stamp, hash and size are known
    SourceStamp stamp;
    std::uint64_t hash = 0;
    int width = 0;
    int height = 0;
    bool keptEnlarged = false;  ///< kept after the hash check
    bool keptThumbnail = false;
    bool madeEnlarged = false;  ///< written (and turned) whole
    bool madeThumbnail = false;

    /// Measures the source when a copy is to be made (othersToMake: copies
    /// besides these two), and clears the make flag of each copy it finds
    /// may be kept.
    void measure(const std::string& source, bool& makeEnlarged, bool& makeThumbnail, bool othersToMake = false);
};

enum class RecordRead { Ok, Missing, Damaged };

/// Reads the record file; on Missing or Damaged the record is empty.
RecordRead readAlbumRecord(const std::string& recordFile, AlbumRecord& record);
/// The record's text: a header line, one line per owned file and per copy
/// (in name order, so equal records are equal files) and a closing line with
/// the hash of everything before it, so that a damaged file is told apart.
std::string formatAlbumRecord(const AlbumRecord& record);
/// Parses formatAlbumRecord's text; false (and an empty record) when damaged.
bool parseAlbumRecord(std::string_view text, AlbumRecord& record);

/// The recipes of a picture's enlarged copy and thumbnail: everything their
/// bytes depend on besides the source's content. The sizes of the chain of
/// resamplings that leads to the copy (the smaller copy is resampled from
/// the larger one), its quality and encoder flag, and the turn.
struct CopyRecipes {
    std::string enlarged;
    std::string thumbnail;
};
CopyRecipes copyRecipes(int sourceWidth, int sourceHeight, const AlbumSettings& settings, int turn);
/// The same for the twice-as-large copies (boxes of twice the size, a chain
/// of their own).
CopyRecipes twiceCopyRecipes(int sourceWidth, int sourceHeight, const AlbumSettings& settings, const CopyTurn& turn);

/// The recipes for either way. Turned after the box, and before the box
/// with nothing to mirror or turn (the same bytes), they are the recipes
/// above; a mirror or turn before the box is named apart ("o" with "m" for
/// the mirror and the turn), so a change of the setting or of the
/// picture's orientation re-makes exactly the copies it changes.
CopyRecipes copyRecipes(int sourceWidth, int sourceHeight, const AlbumSettings& settings, const CopyTurn& turn);

}  // namespace mirofoto
