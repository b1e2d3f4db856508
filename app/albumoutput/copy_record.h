// The record an album folder keeps of what the program made in it: every
// page and copy it wrote (so that only those are ever removed), and for each
// copy that is whole and current the source and the settings it was made
// from (so that an update run can keep it). One small hidden file per album
// folder, kAlbumRecordFileName, never linked from a page; it lives beside
// the copies so that a moved or copied output folder keeps working.
//
// A record never claims more than is true: an album's copies are dropped
// from it before they are made again and written back only once they stand
// whole under their names, so a killed run leaves a record that at worst
// makes the next run do too much, never keep too much.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace mirofoto {

struct AlbumSettings;

inline constexpr std::string_view kAlbumRecordFileName = ".mirofoto-album.record";

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

/// One copy that stands whole in the album folder, and what it was made from.
struct CopyEntry {
    std::string source;  ///< the picture's listed name in its folder
    SourceStamp stamp;   ///< of the source, taken before it was read
    std::uint64_t hash = 0;  ///< of the source's content
    int sourceWidth = 0;
    int sourceHeight = 0;
    std::string recipe;  ///< copyRecipe() it was made with
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

    /// Measures the source when a copy is to be made, and clears the make
    /// flag of each copy it finds may be kept.
    void measure(const std::string& source, bool& makeEnlarged, bool& makeThumbnail);
};

enum class RecordRead { Ok, Missing, Damaged };

/// Reads the album folder's record; on Missing or Damaged the record is empty.
RecordRead readAlbumRecord(const std::string& albumFolder, AlbumRecord& record);
/// The record's text: a header line, one line per owned file and per copy
/// (in name order, so equal records are equal files) and a closing line with
/// the hash of everything before it, so that a damaged file is told apart.
std::string formatAlbumRecord(const AlbumRecord& record);
/// Parses formatAlbumRecord's text; false (and an empty record) when damaged.
bool parseAlbumRecord(std::string_view text, AlbumRecord& record);
/// Writes the record through a temporary file and a rename. Not flushed to
/// the disk: like the copies it vouches for, it is safe against a killed
/// run, not against a power cut.
bool writeAlbumRecord(const std::string& albumFolder, const AlbumRecord& record, std::string* error);

/// The recipes of a picture's enlarged copy and thumbnail: everything their
/// bytes depend on besides the source's content. The sizes of the chain of
/// resamplings that leads to the copy (the smaller copy is resampled from
/// the larger one), its quality and encoder flag, and the turn.
struct CopyRecipes {
    std::string enlarged;
    std::string thumbnail;
};
CopyRecipes copyRecipes(int sourceWidth, int sourceHeight, const AlbumSettings& settings, int turn);

}  // namespace mirofoto
