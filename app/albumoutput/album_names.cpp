#include "app/albumoutput/album_names.h"

#include "app/albumoutput/album_run.h"
#include "app/albumoutput/copy_record.h"
#include "platform/atomic_file.h"

#include "app/util/paths.h"
#include "app/util/url_encode.h"
#include "platform/codepage.h"

#include <algorithm>
#include <unordered_set>

namespace mirofoto {
namespace {

constexpr std::string_view kPageExtension = ".htm";
// The longest stem whose thumbnail, enlarged file and page all fit.
constexpr std::size_t kMaxStem = kMaxAlbumFileName - kThumbnailSuffix.size();
static_assert(kThumbnailSuffix.size() == kEnlargedSuffix.size() && kPageExtension.size() <= kThumbnailSuffix.size());

// Derived names are ASCII; comparing them with ASCII case folded keeps them
// apart on case-insensitive file systems and web servers too.
std::string foldCase(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return out;
}

// Candidate k of a replacement name: the base itself for k = 1, then base
// + "_k"; the base is cut so that the whole stays within maxLength.
std::string candidate(std::string_view base, int k, std::size_t maxLength) {
    const std::string suffix = k == 1 ? std::string() : "_" + std::to_string(k);
    return std::string(base.substr(0, maxLength - suffix.size())) + suffix;
}

class NameSet {
public:
    bool contains(std::string_view name) const { return m_names.count(foldCase(name)) != 0; }
    void insert(std::string_view name) { m_names.insert(foldCase(name)); }

private:
    std::unordered_set<std::string> m_names;
};

void setStem(AlbumImage& image, const std::string& fileStem, const std::string& pageStem) {
    image.thumbnailFileName = fileStem + std::string(kThumbnailSuffix);
    image.enlargedFileName = fileStem + std::string(kEnlargedSuffix);
    image.pageStem = pageStem;
}

}  // namespace

std::string EncodedName(std::string_view text) {
    // A name that is not UTF-8 is encoded by its escapes: each such byte
    // gives its own nine characters, so two such names stay apart.
    std::string encoded = UrlEncodeUtf8(platform::pathToUtf16(text));
    encoded.erase(std::remove(encoded.begin(), encoded.end(), '%'), encoded.end());
    return encoded;
}

std::string pageStemOf(std::string_view encodedName) {
    return encodedName.size() < 4 ? std::string() : std::string(encodedName.substr(0, encodedName.size() - 4));
}

std::vector<AlbumImage> makeAlbumImages(const std::vector<std::string>& listedNames) {
    std::vector<AlbumImage> images(listedNames.size());
    NameSet fileStems;  // stems of thumbnails and enlarged files in use
    NameSet pageStems;  // stems of pages in use
    // The album's own thumbnail page; an empty stem would make the hidden
    // page ".htm", which web servers commonly refuse to serve.
    auto pageStemReserved = [](std::string_view stem) { return stem.empty() || foldCase(stem) == "index"; };

    // First every picture whose own names are free keeps them, so a name is
    // only ever changed because of a real clash, never because an earlier
    // replacement took it.
    std::vector<std::size_t> displaced;
    for (std::size_t i = 0; i < listedNames.size(); ++i) {
        AlbumImage& image = images[i];
        image.listedName = listedNames[i];
        image.encodedName = EncodedName(image.listedName);
        const std::string fileStem = RemoveExtension(image.encodedName);
        const std::string pageStem = pageStemOf(image.encodedName);
        const bool fits = fileStem.size() <= kMaxStem && pageStem.size() + kPageExtension.size() <= kMaxAlbumFileName;
        if (fits && !pageStemReserved(pageStem) && !fileStems.contains(fileStem) && !pageStems.contains(pageStem)) {
            fileStems.insert(fileStem);
            pageStems.insert(pageStem);
            setStem(image, fileStem, pageStem);
        } else {
            displaced.push_back(i);
        }
    }

    // Then each displaced picture, in order, takes the first free stem for
    // its thumbnail, enlarged file and page alike.
    for (const std::size_t i : displaced) {
        AlbumImage& image = images[i];
        const std::string base = RemoveExtension(image.encodedName);
        for (int k = 1;; ++k) {
            const std::string stem = candidate(base, k, kMaxStem);
            if (pageStemReserved(stem) || fileStems.contains(stem) || pageStems.contains(stem)) continue;
            fileStems.insert(stem);
            pageStems.insert(stem);
            setStem(image, stem, stem);
            break;
        }
    }
    return images;
}

std::string twiceSizeName(std::string_view copyName) {
    constexpr std::string_view kJpg = ".jpg";
    const std::size_t stemLength =
        copyName.size() >= kJpg.size() && copyName.substr(copyName.size() - kJpg.size()) == kJpg
            ? copyName.size() - kJpg.size()
            : copyName.size();
    return std::string(copyName.substr(0, stemLength)) + "2x" + std::string(copyName.substr(stemLength));
}

std::vector<std::string> makeAlbumDirectoryNames(const std::vector<std::string>& entries, std::size_t ownNameIndex) {
    std::vector<std::string> names(entries.size());
    NameSet used;
    // The output folder's own menu page and background image folder, and
    // the names the program keeps for itself there: an album folder under
    // one of them would be removed as the lock or a stale file, or hide it.
    used.insert("index.htm");
    used.insert("images");
    used.insert(std::string(kRunLockFileName));
    used.insert(std::string(kAlbumRecordFileName));
    std::vector<std::size_t> displaced;
    // A root folder named by itself: its own folder name, encoded; the root
    // of the file system has none and keeps its path's name.
    auto encodedEntry = [&](std::size_t i) {
        if (i == ownNameIndex) {
            const std::string own = GetLastFolderName(entries[i]);
            if (!own.empty()) return EncodedName(own);
        }
        return EncodedName(entries[i]);
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i == ownNameIndex) continue;
        const std::string encoded = EncodedName(entries[i]);
        if (encoded.size() <= kMaxAlbumFileName && !used.contains(encoded) && !platform::isTemporaryName(encoded)) {
            used.insert(encoded);
            names[i] = encoded;
        } else {
            displaced.push_back(i);
        }
    }
    if (ownNameIndex < entries.size()) displaced.push_back(ownNameIndex);
    for (const std::size_t i : displaced) {
        const std::string encoded = encodedEntry(i);
        for (int k = 1;; ++k) {
            const std::string name = candidate(encoded, k, kMaxAlbumFileName);
            if (used.contains(name) || platform::isTemporaryName(name)) continue;
            used.insert(name);
            names[i] = name;
            break;
        }
    }
    return names;
}

}  // namespace mirofoto
