#include "app/settings/settings_files.h"

#include "app/settings/ini_store.h"
#include "app/settings/settings_fields.h"
#include "app/util/paths.h"
#include "app/util/storage_location.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>

namespace mirofoto {
namespace {

constexpr std::string_view kSectionSettings = "設定";
constexpr std::string_view kSectionOptions = "オプション";
constexpr std::string_view kSectionWindow = "ウインドウ状態";
constexpr std::size_t kMaxNameBytes = 255;

struct PlacementField {
    std::string_view key;
    float WindowPlacement::*field;
};

constexpr PlacementField kPlacementFields[] = {
    {"Top", &WindowPlacement::top},
    {"Left", &WindowPlacement::left},
    {"Height", &WindowPlacement::height},
    {"Width", &WindowPlacement::width},
};

std::string pageKey(std::string_view base, int page) { return std::string(base) + static_cast<char>('0' + page); }

std::string trimSpaces(std::string_view s) {
    const auto b = s.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    return std::string(s.substr(b, s.find_last_not_of(' ') - b + 1));
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    std::size_t pos = 0;
    for (;;) {
        const auto hit = text.find(from, pos);
        if (hit == std::string_view::npos) break;
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}

std::uint64_t fnv1a64(std::string_view bytes) {
    std::uint64_t h = 14695981039346656037ull;
    for (char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h;
}

// A colour as the settings hold it: a 32-bit signed number.
std::optional<Colour> parseColour(std::string_view text) {
    const auto n = parseSettingsNumber(text);
    if (!n) return std::nullopt;
    const double r = std::nearbyint(*n);
    if (r < std::numeric_limits<std::int32_t>::min() || r > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<Colour>(static_cast<std::int32_t>(r));
}

std::string formatColour(Colour c) { return std::to_string(static_cast<std::int32_t>(c)); }

}  // namespace

std::string baseSettingsFile() { return storageLocation().settingsFolder + "ミロフォト.ini"; }

std::string programStateFile() { return storageLocation().settingsFolder + "設定.ini"; }

std::string imageFolderPath(std::string_view boxText) {
    std::string folder = trimSpaces(boxText);
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

std::string perFolderSettingsFolderName(std::string_view imageFolder) {
    const std::string folder = imageFolderPath(imageFolder);
    if (folder.empty()) return {};
    std::string name = replaceAll(replaceAll(folder, ":", "："), "/", "￥");
    if (name.size() <= kMaxNameBytes) return name;

    static const char* digits = "0123456789abcdef";
    std::string suffix = "~";
    const std::uint64_t h = fnv1a64(name);
    for (int shift = 60; shift >= 0; shift -= 4) suffix += digits[(h >> shift) & 15];
    std::size_t keep = kMaxNameBytes - suffix.size();
    // Cut before a UTF-8 continuation byte, never inside a character.
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    return name.substr(0, keep) + suffix;
}

std::string perFolderSettingsFolder(std::string_view imageFolder) {
    const std::string name = perFolderSettingsFolderName(imageFolder);
    if (name.empty()) return {};
    return storageLocation().settingsFolder + "設定/" + name + "/";
}

std::string perFolderSettingsFile(std::string_view imageFolder) {
    const std::string folder = perFolderSettingsFolder(imageFolder);
    return folder.empty() ? std::string() : folder + "設定.ini";
}

std::string encodeHtmlBlock(std::string_view html) {
    std::string out;
    out.reserve(html.size());
    for (std::size_t i = 0; i < html.size(); ++i) {
        if (html[i] == '\r' || html[i] == '\n') {
            if (html[i] == '\r' && i + 1 < html.size() && html[i + 1] == '\n') ++i;
            out += "<CRLF>";
        } else {
            out += html[i];
        }
    }
    return out;
}

std::string decodeHtmlBlock(std::string_view stored) { return replaceAll(stored, "<CRLF>", "\r\n"); }

std::string formatSingle(float value) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::optional<double> parseSettingsNumber(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
    std::string_view t = text.substr(b, e - b);
    bool negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    // Only plain decimal notation: from_chars alone would also take "inf",
    // "nan" and hexadecimal floats.
    std::size_t i = 0, digits = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
        const std::size_t expStart = j;
        while (j < t.size() && t[j] >= '0' && t[j] <= '9') ++j;
        if (j == expStart) return std::nullopt;
        i = j;
    }
    if (i != t.size()) return std::nullopt;
    double value = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), value);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(value)) return std::nullopt;
    return negative ? -value : value;
}

void 基本設定読込(std::string_view file, AlbumSettings& s, WindowPlacement& placement) {
    const std::string state = programStateFile();

    placement.windowState = readWholeIniValue(kSectionWindow, "WindowState", state) == "2" ? 2 : 0;
    for (const PlacementField& f : kPlacementFields) {
        const auto n = parseSettingsNumber(readWholeIniValue(kSectionWindow, f.key, state));
        if (!n || placement.windowState != 0) continue;
        const auto value = static_cast<float>(*n);
        if (std::isfinite(value)) placement.*f.field = value;
    }

    for (const AlbumNumberField& f : kAlbumNumberFields) {
        if (const auto n = parseSettingsNumber(readWholeIniValue(kSectionOptions, f.key, file))) {
            const double r = std::nearbyint(*n);  // rounds halves to even, as the 16-bit conversion does
            // A number beyond 16 bits is outside every range: it gets the default.
            s.*f.field = (r >= INT16_MIN && r <= INT16_MAX) ? static_cast<std::int16_t>(r) : f.limits.fallback;
        }
        if (s.*f.field < f.limits.low || s.*f.field > f.limits.high) s.*f.field = f.limits.fallback;
    }

    for (int p = 0; p < 3; ++p) {
        PageStyle& page = s.pages[p];
        const std::string choice = readWholeIniValue(kSectionOptions, pageKey("背景色選択", p), file);
        page.useBackgroundColor = choice.empty() || choice == "True";
        const auto colour = [&](std::string_view base, Colour fallback) {
            return parseColour(readWholeIniValue(kSectionOptions, pageKey(base, p), file)).value_or(fallback);
        };
        page.textColor = colour("文字色", kDefaultTextColour);
        page.linkColor = colour("リンク色", kDefaultLinkColour);
        page.activeLinkColor = page.linkColor;
        page.visitedLinkColor = colour("リンク色Visited", kDefaultVisitedColour);
        page.backgroundColor = colour("背景色", kDefaultBackground);
        page.backgroundImage = readWholeIniValue(kSectionOptions, pageKey("背景画像", p), file);
    }

    for (const auto& table : {std::span<const AlbumFlagField>(kAlbumCaptionFields),
                              std::span<const AlbumFlagField>(kAlbumPictureFlagFields)})
        for (const AlbumFlagField& f : table) {
            const std::string v = readWholeIniValue(kSectionOptions, f.key, file);
            s.*f.field = v == "0" ? 0 : 1;
        }

    for (int p = 0; p < 3; ++p) {
        PageStyle& page = s.pages[p];
        for (const PageHtmlField& h : kPageHtmlFields)
            page.*h.field = decodeHtmlBlock(readWholeIniValue(kSectionOptions, pageKey(h.keyBase, p), file));
    }

    // Anything but "1" (missing, "0", a stray text) is the classic pages.
    s.pageStyle = readWholeIniValue(kSectionOptions, kPageStyleKey, file) == "1" ? kModernPages : kClassicPages;

    const std::string imageFolder = readWholeIniValue(kSectionSettings, "画像フォルダ", file);
    s.imageFolder = imageFolder.empty() ? GetSpecialFolderPath(5) : imageFolder;
    s.outputFolder = readWholeIniValue(kSectionSettings, "HTML出力先", file);
}

bool 基本設定保存(std::string_view file, const AlbumSettings& s, const WindowPlacement& placement) {
    bool ok = true;
    const auto put = [&](std::string_view section, std::string_view key, std::string_view value,
                         std::string_view target) { ok = WriteIniValue(section, key, value, target) == "1" && ok; };

    const std::string state = programStateFile();
    put(kSectionWindow, "WindowState", std::to_string(placement.windowState), state);
    for (const PlacementField& f : kPlacementFields) put(kSectionWindow, f.key, formatSingle(placement.*f.field), state);

    put(kSectionSettings, "画像フォルダ", s.imageFolder, file);
    put(kSectionSettings, "HTML出力先", s.outputFolder, file);

    for (const AlbumNumberField& f : kAlbumNumberFields) put(kSectionOptions, f.key, std::to_string(s.*f.field), file);

    for (int p = 0; p < 3; ++p) {
        const PageStyle& page = s.pages[p];
        put(kSectionOptions, pageKey("文字色", p), formatColour(page.textColor), file);
        put(kSectionOptions, pageKey("リンク色", p), formatColour(page.linkColor), file);
        put(kSectionOptions, pageKey("リンク色Visited", p), formatColour(page.visitedLinkColor), file);
        put(kSectionOptions, pageKey("背景色選択", p), page.useBackgroundColor ? "True" : "False", file);
        put(kSectionOptions, pageKey("背景色", p), formatColour(page.backgroundColor), file);
        put(kSectionOptions, pageKey("背景画像", p), page.backgroundImage, file);
    }

    for (const AlbumFlagField& f : kAlbumCaptionFields) put(kSectionOptions, f.key, s.*f.field != 0 ? "1" : "0", file);
    for (const AlbumFlagField& f : kAlbumPictureFlagFields)
        put(kSectionOptions, f.key, s.*f.field != 0 ? "1" : "0", file);

    for (int p = 0; p < 3; ++p) {
        const PageStyle& page = s.pages[p];
        for (const PageHtmlField& h : kPageHtmlFields)
            put(kSectionOptions, pageKey(h.keyBase, p), encodeHtmlBlock(page.*h.field), file);
    }
    put(kSectionOptions, kPageStyleKey, s.pageStyle == kModernPages ? "1" : "0", file);
    return ok;
}

}  // namespace mirofoto
