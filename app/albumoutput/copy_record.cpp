#include "app/albumoutput/copy_record.h"

#include "app/albumoutput/image_derivation.h"
#include "app/settings/album_settings.h"
#include "app/util/image_size.h"
#include "app/util/paths.h"
#include "app/util/storage_location.h"
#include "platform/atomic_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <xxhash.h>

namespace mirofoto {
namespace {

// Version 2 adds the copy file's stamp; a record of version 1 reads as
// damaged, which means a full re-make of that album.
constexpr std::string_view kHeader = "mirofoto album record 2\n";

std::string hex64(std::uint64_t v) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

// Names may hold any byte but "/" and NUL: the field separators, line ends,
// "%" and other control bytes are written as %XX.
std::string escaped(std::string_view s) {
    std::string out;
    for (const unsigned char c : s) {
        if (c < 0x21 || c == '%' || c == 0x7F) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool unescaped(std::string_view s, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        unsigned v = 0;
        if (i + 2 >= s.size() || std::from_chars(s.data() + i + 1, s.data() + i + 3, v, 16).ptr != s.data() + i + 3)
            return false;
        out += static_cast<char>(v);
        i += 2;
    }
    return !out.empty() && out != "." && out != ".." && out.find('/') == std::string::npos &&
           out.find('\0') == std::string::npos;
}

template <typename T>
bool number(std::string_view s, T& v, int base = 10) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v, base);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && !s.empty();
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t sp = line.find(' ', start);
        out.push_back(line.substr(start, sp == std::string_view::npos ? std::string_view::npos : sp - start));
        if (sp == std::string_view::npos) return out;
        start = sp + 1;
    }
}

std::string recipeChain(const std::vector<TargetSize>& sizes, std::size_t which, int quality,
                        const std::string& turn) {
    const std::vector<std::size_t> order = MakingOrder(sizes);
    std::string chain;
    for (const std::size_t i : order) {
        if (!chain.empty()) chain += '>';
        chain += std::to_string(sizes[i].width) + "x" + std::to_string(sizes[i].height);
        if (i == which) break;
    }
    // The album run always encodes with the flag set ("e1").
    return chain + ",q" + std::to_string(std::clamp(quality, 1, 100)) + ",e1," + turn;
}

}  // namespace

std::optional<SourceStamp> sourceStamp(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    SourceStamp s;
    s.size = st.st_size;
    s.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ctimeNs = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    s.inode = st.st_ino;
    return s;
}

std::optional<CopyStamp> copyStamp(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return CopyStamp{st.st_size, std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                     static_cast<std::uint64_t>(st.st_ino)};
}

std::string recordsFolder(const std::string& outputFolder) {
    return outputStateFolder(storageLocation(), outputFolder) + "records/";
}

std::string recordPath(const std::string& recordsFolder, const std::string& folderName) {
    return recordsFolder + folderName + ".record";
}

bool ensureRecordsFolder(const std::string& recordsFolder) {
    ensureSettingsFolder(storageLocation());
    return EnsureFolder(recordsFolder);
}

std::optional<std::uint64_t> contentHash(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    XXH3_state_t* state = XXH3_createState();
    if (!state) {
        ::close(fd);
        return std::nullopt;
    }
    XXH3_64bits_reset(state);
    std::vector<char> buffer(1 << 20);
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) ok = false;
        if (got <= 0) break;
        XXH3_64bits_update(state, buffer.data(), static_cast<std::size_t>(got));
    }
    ::close(fd);
    const std::uint64_t h = XXH3_64bits_digest(state);
    XXH3_freeState(state);
    if (!ok) return std::nullopt;
    return h;
}

void SourceCheck::measure(const std::string& source, bool& makeEnlarged, bool& makeThumbnail, bool othersToMake) {
    if (!makeEnlarged && !makeThumbnail && !othersToMake) return;
    // The stamp first: a change after it shows at the next run.
    const std::optional<SourceStamp> st = sourceStamp(source);
    const std::optional<std::uint64_t> h = st ? contentHash(source) : std::nullopt;
    const ImageSizeInfo info = h ? GetImageSize(source, DetectionMode::ByContent) : ImageSizeInfo{};
    measured = st && h && info.width > 0 && info.height > 0;
    if (!measured) return;
    stamp = *st;
    hash = *h;
    width = info.width;
    height = info.height;
    if (hash != expectedHash) return;
    if (keepEnlargedIfSame) {
        makeEnlarged = false;
        keptEnlarged = true;
    }
    if (keepThumbnailIfSame) {
        makeThumbnail = false;
        keptThumbnail = true;
    }
}

std::string formatAlbumRecord(const AlbumRecord& record) {
    std::string text(kHeader);
    for (const std::string& f : record.owned) text += "owned " + escaped(f) + "\n";
    for (const auto& [file, e] : record.copies) {
        text += "copy " + escaped(file) + " " + escaped(e.source) + " " + std::to_string(e.stamp.size) + " " +
                std::to_string(e.stamp.mtimeNs) + " " + std::to_string(e.stamp.ctimeNs) + " " +
                std::to_string(e.stamp.inode) + " " + hex64(e.hash) + " " + std::to_string(e.sourceWidth) + " " +
                std::to_string(e.sourceHeight) + " " + escaped(e.recipe) + " " + std::to_string(e.copy.size) + " " +
                std::to_string(e.copy.mtimeNs) + " " + std::to_string(e.copy.inode) + "\n";
    }
    text += "end " + hex64(XXH3_64bits(text.data(), text.size())) + "\n";
    return text;
}

bool parseAlbumRecord(std::string_view text, AlbumRecord& record) {
    record = {};
    const auto damaged = [&] {
        record = {};
        return false;
    };
    if (!text.starts_with(kHeader) || !text.ends_with("\n")) return damaged();
    const std::size_t endLine = text.rfind("\nend ");
    if (endLine == std::string_view::npos) return damaged();
    const std::string_view body = text.substr(0, endLine + 1);
    std::uint64_t sum = 0;
    if (!number(text.substr(endLine + 5, text.size() - endLine - 6), sum, 16) ||
        sum != XXH3_64bits(body.data(), body.size()))
        return damaged();
    std::size_t pos = kHeader.size();
    while (pos < body.size()) {
        const std::size_t nl = body.find('\n', pos);
        const std::vector<std::string_view> f = fields(body.substr(pos, nl - pos));
        pos = nl + 1;
        std::string name;
        if (f.size() == 2 && f[0] == "owned") {
            if (!unescaped(f[1], name)) return damaged();
            record.owned.insert(name);
        } else if (f.size() == 14 && f[0] == "copy") {
            CopyEntry e;
            if (!unescaped(f[1], name) || !unescaped(f[2], e.source) || !number(f[3], e.stamp.size) ||
                !number(f[4], e.stamp.mtimeNs) || !number(f[5], e.stamp.ctimeNs) || !number(f[6], e.stamp.inode) ||
                !number(f[7], e.hash, 16) || !number(f[8], e.sourceWidth) || !number(f[9], e.sourceHeight) ||
                !unescaped(f[10], e.recipe) || !number(f[11], e.copy.size) || !number(f[12], e.copy.mtimeNs) ||
                !number(f[13], e.copy.inode))
                return damaged();
            record.copies[name] = std::move(e);
        } else {
            return damaged();
        }
    }
    return true;
}

RecordRead readAlbumRecord(const std::string& recordFile, AlbumRecord& record) {
    record = {};
    std::string bytes;
    switch (platform::readFileBytes(recordFile, bytes)) {
    case platform::FileRead::Missing: return RecordRead::Missing;
    case platform::FileRead::Failed: return RecordRead::Damaged;
    case platform::FileRead::Ok: break;
    }
    return parseAlbumRecord(bytes, record) ? RecordRead::Ok : RecordRead::Damaged;
}

CopyRecipes copyRecipes(int sourceWidth, int sourceHeight, const AlbumSettings& s, int turn) {
    return copyRecipes(sourceWidth, sourceHeight, s, CopyTurn{false, {false, turn}});
}

namespace {

// The recipes of the copies fitted into the boxes times as large: the same
// requests, in the same order, as the picture pipeline makes, on the
// picture as it is shown when it is turned first.
CopyRecipes recipesAt(int sourceWidth, int sourceHeight, const AlbumSettings& s, const CopyTurn& turn, int times) {
    const bool first = turn.beforeBox && (turn.turn.mirror || turn.turn.turn != 0);
    const TargetSize shown = first ? TurnedSides(sourceWidth, sourceHeight, turn.turn.turn)
                                   : TargetSize{sourceWidth, sourceHeight};
    std::vector<TargetSize> sizes;
    sizes.push_back(ResolvedSize(shown.width, shown.height,
                                 FitBox(shown.width, shown.height, times * s.largeWidth, times * s.largeHeight, true)));
    sizes.push_back(ResolvedSize(shown.width, shown.height,
                                 FitBox(shown.width, shown.height, times * s.thumbWidth, times * s.thumbHeight, true)));
    const std::string how = first ? "o" + std::string(turn.turn.mirror ? "m" : "") + std::to_string(turn.turn.turn)
                                  : "t" + std::to_string(turn.turn.turn);
    return {recipeChain(sizes, 0, s.largeQuality, how), recipeChain(sizes, 1, s.thumbQuality, how)};
}

}  // namespace

CopyRecipes copyRecipes(int sourceWidth, int sourceHeight, const AlbumSettings& s, const CopyTurn& turn) {
    return recipesAt(sourceWidth, sourceHeight, s, turn, 1);
}

CopyRecipes twiceCopyRecipes(int sourceWidth, int sourceHeight, const AlbumSettings& s, const CopyTurn& turn) {
    CopyRecipes r = recipesAt(sourceWidth, sourceHeight, s, turn, 2);
    return {"2x:" + r.enlarged, "2x:" + r.thumbnail};
}

}  // namespace mirofoto
