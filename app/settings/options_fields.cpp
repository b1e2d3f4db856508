#include "app/settings/options_fields.h"

#include "app/settings/settings_files.h"

#include <cmath>

namespace mirofoto {

const std::array<OptionsNumberBox, kOptionsNumberCount> kOptionsNumberBoxes{{
    {OptionsNumber::Columns, "Txt_列数", "列数", 3},
    {OptionsNumber::ThumbWidth, "Txt_サムネイル横", "サムネイルのサイズ（横）", 4},
    {OptionsNumber::ThumbHeight, "Txt_サムネイル縦", "サムネイルのサイズ（縦）", 4},
    {OptionsNumber::ThumbQuality, "Txt_サムネイル画質", "サムネイルの画質", 3},
    {OptionsNumber::LargeWidth, "Txt_拡大画像横", "拡大画像のサイズ（横）", 4},
    {OptionsNumber::LargeHeight, "Txt_拡大画像縦", "拡大画像のサイズ（縦）", 4},
    {OptionsNumber::LargeQuality, "Txt_拡大画像画質", "拡大画像の画質", 3},
}};
static_assert(kAlbumNumberFields.size() == kOptionsNumberCount);

const OptionsNumberBox& optionsNumberBox(OptionsNumber number) { return kOptionsNumberBoxes[int(number)]; }

namespace {

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text.substr(i, from.size()) == from) {
            out += to;
            i += from.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

}  // namespace

OptionsFields fieldsFromSettings(const AlbumSettings& s) {
    OptionsFields f;
    for (const OptionsNumberBox& box : kOptionsNumberBoxes) f.numbers[int(box.number)] = std::to_string(s.*box.setting().field);
    for (int p = 0; p < 3; ++p) {
        const PageStyle& style = s.pages[p];
        OptionsFields::Page& page = f.pages[p];
        page.text = style.textColor;
        page.link = style.linkColor;
        page.visited = style.visitedLinkColor;
        page.useBackgroundColor = style.useBackgroundColor;
        page.background = style.backgroundColor;
        page.backgroundImage = style.backgroundImage;
        for (int h = 0; h < 3; ++h) page.html[h] = style.*kPageHtmlFields[h].field;
    }
    for (int c = 0; c < 6; ++c) f.captions[c] = s.*kAlbumCaptionFields[c].field != 0;
    f.followOrientation = s.followOrientation != 0;
    f.modernPages = s.pageStyle == kModernPages;
    return f;
}

std::string trimBlanks(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ') ++b;
    while (e > b && text[e - 1] == ' ') --e;
    return std::string(text.substr(b, e - b));
}

QualityBox qualityBoxRule(std::string_view text, OptionsNumber box) {
    const NumberLimits limits = optionsNumberBox(box).setting().limits;
    QualityBox q{trimBlanks(text), 0};
    const std::optional<double> n = parseSettingsNumber(q.text);
    if (!n) {
        q.text = std::to_string(limits.fallback);
        q.value = limits.fallback;
    } else if (*n < limits.low) {
        q.text = std::to_string(limits.low);
        q.value = limits.low;
    } else if (*n > limits.high) {
        q.text = std::to_string(limits.high);
        q.value = limits.high;
    } else {
        q.value = static_cast<int>(std::nearbyint(*n));
    }
    return q;
}

ApplyOutcome applyFields(const OptionsFields& fields, AlbumSettings& settings) {
    ApplyOutcome outcome;
    std::array<std::optional<std::int16_t>, kOptionsNumberCount> values;
    for (const OptionsNumberBox& box : kOptionsNumberBoxes) {
        const int i = int(box.number);
        outcome.trimmed[i] = trimBlanks(fields.numbers[i]);
        const std::optional<double> n = parseSettingsNumber(outcome.trimmed[i]);
        if (!n) continue;  // not a number: the field stays as it was
        // Whole numbers, rounded as the 16-bit conversion rounds (half to even).
        const double r = std::nearbyint(*n);
        if (r < box.setting().limits.low || r > box.setting().limits.high) {
            if (!outcome.outOfRange) outcome.outOfRange = box.number;
            continue;
        }
        values[i] = static_cast<std::int16_t>(r);
    }
    if (outcome.outOfRange) return outcome;

    for (const OptionsNumberBox& box : kOptionsNumberBoxes)
        if (values[int(box.number)]) settings.*box.setting().field = *values[int(box.number)];
    for (int p = 0; p < 3; ++p) {
        const OptionsFields::Page& page = fields.pages[p];
        PageStyle& style = settings.pages[p];
        style.textColor = page.text;
        style.linkColor = page.link;
        style.activeLinkColor = page.link;
        style.visitedLinkColor = page.visited;
        style.useBackgroundColor = page.useBackgroundColor;
        style.backgroundColor = page.background;
        style.backgroundImage = page.backgroundImage;
        for (int h = 0; h < 3; ++h) style.*kPageHtmlFields[h].field = page.html[h];
    }
    for (int c = 0; c < 6; ++c) settings.*kAlbumCaptionFields[c].field = fields.captions[c] ? 1 : 0;
    settings.followOrientation = fields.followOrientation ? 1 : 0;
    settings.pageStyle = fields.modernPages ? kModernPages : kClassicPages;
    return outcome;
}

std::string htmlBlockForBox(std::string_view block) { return replaceAll(block, "\r\n", "\n"); }

std::string htmlBlockFromBox(std::string_view text) {
    // A lone CR of the record came back as it was; only LF is the box's break.
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

std::string outOfRangeMessage(OptionsNumber number) {
    const OptionsNumberBox& box = optionsNumberBox(number);
    return "「" + std::string(box.label) + "」には " + std::to_string(box.setting().limits.low) + " から " +
           std::to_string(box.setting().limits.high) + " までの数を入力してください。";
}

}  // namespace mirofoto
