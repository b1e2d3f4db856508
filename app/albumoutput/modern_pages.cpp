#include "app/albumoutput/modern_pages.h"

#include "app/albumoutput/album_names.h"
#include "app/util/paths.h"

#include <algorithm>
#include <cstdio>

namespace mirofoto {
namespace {

constexpr std::string_view kIndexPage = "index.htm";
constexpr int kGap = 8;       // between grid cells, CSS pixels
constexpr int kCellPad = 7;   // a cell's padding and border on each side
// The height of the tallest first screen a thumbnail page expects (CSS
// pixels), and what a cell adds to its thumbnail for captions.
constexpr int kFirstScreen = 1200;
constexpr int kCaptionHeight = 80;

void line(std::string& page, std::string_view text) {
    page += text;
    page += '\n';
}

std::string inFolder(std::string_view folder, std::string_view name) {
    if (folder.empty()) return {};
    return withTrailingSlash(folder) + std::string(name);
}

// A file name as one segment of a relative URL: every byte but the ones
// that need no escape in a path (unreserved characters) is escaped, so the
// link reaches the file whatever its name holds, in an attribute and in CSS.
std::string urlSegment(std::string_view name) {
    std::string out;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~' || c == '+') {
            out += ch;
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        }
    }
    return out;
}

// An attribute value of our own names: the album's file names are ASCII
// from the encoder, but "&", quotes and "<" are written as references all
// the same.
std::string attribute(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '&') out += "&amp;";
        else if (c == '"') out += "&quot;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else out += c;
    }
    return out;
}

std::string colour(Colour c) { return "#" + HtmlColour(c); }

// The style of a page kind: the kind's colours and background, and the
// layout every kind shares.
std::string styleBlock(const PageStyle& style, PageKind kind, bool backgroundCopied, std::string_view extra) {
    std::string css;
    css += "*,*::before,*::after{box-sizing:border-box}\n";
    css += "html{-webkit-text-size-adjust:100%;text-size-adjust:100%}\n";
    css += "body{margin:0;padding:12px;line-height:1.5;font-family:sans-serif";
    if (style.useBackgroundColor) {
        css += ";background-color:" + colour(style.backgroundColor);
    } else if (backgroundCopied) {
        const std::string folder = kind == PageKind::Menu ? "./images/" : "../images/";
        css += ";background-image:url(\"" + folder + urlSegment(GetFileName(style.backgroundImage)) + "\")";
    }
    css += "}\n";
    css += ".mirofoto{color:" + colour(style.textColor) + ";max-width:100%;overflow-wrap:anywhere}\n";
    css += "a.mirofoto:link{color:" + colour(style.linkColor) + ";text-decoration:underline}\n";
    css += "a.mirofoto:visited{color:" + colour(style.visitedLinkColor) + ";text-decoration:underline}\n";
    css += "a.mirofoto:active{color:" + colour(style.activeLinkColor) + ";text-decoration:underline}\n";
    css += "img{max-width:100%;height:auto;border:0}\n";
    css += "h1{font-size:1.6em;margin:.3em 0}\n";
    css += extra;
    return css;
}

std::string titleOr(std::string_view title, std::string_view fallback) {
    // A document's title may not be empty.
    return std::string(title.find_first_not_of(" \t\r\n") == std::string_view::npos ? fallback : title);
}

// The document start up to the opening content division and free block 1.
void writeHead(std::string& page, const AlbumSettings& settings, PageKind kind, std::string_view title,
               bool backgroundCopied, std::string_view extraCss) {
    const PageStyle& style = settings.page(kind);
    line(page, "<!DOCTYPE html>");
    line(page, "<html lang=\"ja\">");
    line(page, "<head>");
    line(page, "<meta charset=\"utf-8\">");
    line(page, "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">");
    line(page, "<title>" + std::string(title) + "</title>");
    line(page, "<style>");
    page += styleBlock(style, kind, backgroundCopied, extraCss);
    line(page, "</style>");
    line(page, "</head>");
    line(page, "<body>");
    line(page, "<div class=\"mirofoto\">");
    line(page, style.htmlAfterBodyStart);
}

PageWriteResult appendTo(platform::AtomicFile& file, const std::string& text) {
    return {file.targetPath(), file.write(text)};
}

PageWriteResult closePage(platform::AtomicFile& file, std::string end) {
    line(end, "</body>");
    line(end, "</html>");
    if (PageWriteResult r = appendTo(file, end); !r) {
        file.discard();
        return r;
    }
    return {file.targetPath(), file.commit()};
}

std::string link(std::string_view href, std::string_view text, std::string_view more = {}) {
    return "<a class=\"mirofoto\" href=\"" + attribute(href) + "\"" + std::string(more) + ">" + std::string(text) +
           "</a>";
}

// An img element for a copy: its 2x companion offered where it stands, the
// size set so that nothing moves while it loads.
std::string imageElement(std::string_view fileName, const CopySize& size, std::string_view alt,
                         std::string_view more) {
    std::string img = "<img src=\"./" + attribute(fileName) + "\"";
    if (size.twice)
        img += " srcset=\"./" + attribute(fileName) + " 1x, ./" + attribute(twiceSizeName(fileName)) + " 2x\"";
    if (size.width > 0 && size.height > 0)
        img += " width=\"" + std::to_string(size.width) + "\" height=\"" + std::to_string(size.height) + "\"";
    img += " alt=\"" + std::string(alt) + "\"" + std::string(more) + ">";
    return img;
}

bool isAsciiAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Whether text at pos starts a character reference ("&amp;", "&#38;",
// "&#x26;"), which an attribute keeps as it is.
bool startsReference(std::string_view text, std::size_t pos) {
    std::size_t i = pos + 1;
    if (i < text.size() && text[i] == '#') {
        ++i;
        if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) ++i;
    }
    const std::size_t first = i;
    while (i < text.size() && isAsciiAlnum(text[i])) ++i;
    return i > first && i < text.size() && text[i] == ';';
}

// The navigation of a picture page, above and below the picture. The first
// one's links carry what the keys and swipes follow.
std::string pictureLinks(const std::vector<AlbumImage>& images, std::size_t index, bool keys, std::string_view label) {
    auto mark = [&](std::string_view what) {
        return keys ? " data-nav=\"" + std::string(what) + "\"" : std::string();
    };
    std::string out = "<nav class=\"links\" aria-label=\"" + std::string(label) + "\">";
    out += link("../index.htm", "メニューページへ");
    if (index > 0) out += " " + link("./" + images[index - 1].pageFileName(), "前の画像", mark("prev"));
    out += " " + link("./index.htm", "サムネイルページへ", mark("up"));
    if (index + 1 < images.size()) out += " " + link("./" + images[index + 1].pageFileName(), "次の画像", mark("next"));
    out += "</nav>";
    return out;
}

// Keys and swipes follow the page's own links, so with scripts off the
// links alone lead everywhere. The up arrow leaves only from the top of the
// page, where it has nothing left to scroll.
constexpr std::string_view kNavigationScript =
    "<script>\n"
    "(function(){\n"
    "function go(k){var a=document.querySelector('a[data-nav=\"'+k+'\"]');if(a){location.href=a.href;}}\n"
    "document.addEventListener('keydown',function(e){\n"
    "if(e.altKey||e.ctrlKey||e.metaKey||e.shiftKey||e.defaultPrevented)return;\n"
    "var t=e.target;if(t&&(t.isContentEditable||/^(INPUT|TEXTAREA|SELECT)$/.test(t.tagName)))return;\n"
    "var k={ArrowLeft:'prev',ArrowRight:'next',Escape:'up',Esc:'up'}[e.key];\n"
    "if(!k&&e.key==='ArrowUp'&&window.scrollY<=0)k='up';\n"
    "if(k){e.preventDefault();go(k);}\n"
    "});\n"
    "var sx=null,sy=0;\n"
    "document.addEventListener('touchstart',function(e){if(e.touches.length===1){sx=e.touches[0].clientX;"
    "sy=e.touches[0].clientY;}else{sx=null;}},{passive:true});\n"
    "document.addEventListener('touchend',function(e){if(sx===null)return;var p=e.changedTouches[0],"
    "dx=p.clientX-sx,dy=p.clientY-sy;sx=null;\n"
    "if(Math.abs(dx)>=50&&Math.abs(dx)>2*Math.abs(dy)){go(dx>0?'prev':'next');}},{passive:true});\n"
    "})();\n"
    "</script>";

}  // namespace

std::string pictureAltText(const AlbumImage& image) {
    // Tags out, line breaks as blanks, blanks gathered.
    std::string text;
    bool inTag = false;
    for (const char c : image.comment) {
        if (c == '<') inTag = true;
        else if (c == '>' && inTag) inTag = false;
        else if (!inTag) text += (c == '\r' || c == '\n' || c == '\t') ? ' ' : c;
    }
    std::string gathered;
    for (const char c : text)
        if (!(c == ' ' && (gathered.empty() || gathered.back() == ' '))) gathered += c;
    while (!gathered.empty() && gathered.back() == ' ') gathered.pop_back();
    if (gathered.empty()) {
        std::string name;
        for (const char c : NameAsPageText(image.listedName)) name += c == '"' ? std::string("&quot;") : std::string(1, c);
        return name;
    }

    std::string out;
    for (std::size_t i = 0; i < gathered.size(); ++i) {
        const char c = gathered[i];
        if (c == '"') out += "&quot;";
        else if (c == '&' && !startsReference(gathered, i)) out += "&amp;";
        else out += c;
    }
    return out;
}

int eagerThumbnails(const AlbumSettings& settings, int columns) {
    const int rowHeight = std::max<int>(1, settings.thumbHeight) + kCaptionHeight;
    const int rows = std::max(1, (kFirstScreen + rowHeight - 1) / rowHeight);
    return std::max(1, columns) * rows;
}

// ---- menu page ----

PageWriteResult ModernMenuPage::begin(std::string_view outputFolder, std::string_view menuTitle,
                                      std::string_view subtitle, const BackgroundCopies& copied) {
    const std::string path = inFolder(outputFolder, kIndexPage);
    if (const std::error_code ec = m_file.open(path)) return {path, ec};
    std::string page;
    writeHead(page, m_settings, PageKind::Menu, titleOr(menuTitle, "メニューページ"),
              copied[pageIndex(PageKind::Menu)],
              "ul.albums{list-style:none;padding:0;margin:1em 0}\n"
              "ul.albums li{margin:.4em 0}\n"
              "ul.albums li::before{content:\"・\"}\n");
    if (!titleOr(menuTitle, "").empty()) line(page, "<h1>" + std::string(menuTitle) + "</h1>");
    if (!titleOr(subtitle, "").empty()) line(page, "<h2>" + std::string(subtitle) + "</h2>");
    line(page, m_settings.page(PageKind::Menu).htmlMiddle);
    line(page, "<ul class=\"albums\">");
    return appendTo(m_file, page);
}

PageWriteResult ModernMenuPage::addAlbum(std::string_view albumDirectory, std::string_view albumTitle) {
    return appendTo(m_file, "<li>" + link("./" + urlSegment(albumDirectory) + "/index.htm", albumTitle) + "</li>\n");
}

PageWriteResult ModernMenuPage::end() {
    std::string end;
    line(end, "</ul>");
    line(end, m_settings.page(PageKind::Menu).htmlBeforeBodyEnd);
    line(end, "</div>");
    return closePage(m_file, std::move(end));
}

// ---- thumbnail page ----

PageWriteResult ModernThumbnailPage::begin(std::string_view albumDirectoryPath, std::string_view albumTitle,
                                           int columns) {
    m_columns = columns < 1 ? 1 : columns;
    const std::string path = inFolder(albumDirectoryPath, kIndexPage);
    if (const std::error_code ec = m_file.open(path)) return {path, ec};
    // The grid holds at most the set number of columns and as many as the
    // screen has room for down to one; a thumbnail wider than a phone
    // shrinks to fit its cell.
    const int cell = std::max<int>(1, m_settings.thumbWidth) + 2 * kCellPad;
    const long long widest = static_cast<long long>(m_columns) * cell + static_cast<long long>(m_columns - 1) * kGap;
    const std::string grid = "ul.grid{list-style:none;margin:1em 0;padding:0;display:grid;gap:" +
                             std::to_string(kGap) + "px;grid-template-columns:repeat(auto-fill,minmax(min(100%," +
                             std::to_string(cell) + "px),1fr));max-width:" + std::to_string(widest) + "px}\n" +
                             "ul.grid li{min-width:0;padding:6px;border:1px solid rgba(128,128,128,.6)}\n"
                             "ul.grid .thumb{display:block;text-align:center}\n"
                             "ul.grid .caption{font-size:smaller}\n";
    std::string page;
    writeHead(page, m_settings, PageKind::Thumbnail, titleOr(albumTitle, "サムネイルページ"),
              m_copied[pageIndex(PageKind::Thumbnail)], grid);
    line(page, "<nav aria-label=\"メニュー\">" + link("../index.htm", "メニューページへ") + "</nav>");
    if (!titleOr(albumTitle, "").empty()) line(page, "<h1>" + std::string(albumTitle) + "</h1>");
    line(page, m_settings.page(PageKind::Thumbnail).htmlMiddle);
    line(page, "<ul class=\"grid\">");
    return appendTo(m_file, page);
}

PageWriteResult ModernThumbnailPage::addCell(int index, const AlbumImage& image) {
    if (index < 0) return {m_file.targetPath(), std::make_error_code(std::errc::invalid_argument)};
    const bool lazy = index >= eagerThumbnails(m_settings, m_columns);
    std::string cell = "<li><a class=\"mirofoto thumb\" href=\"./" + attribute(image.pageFileName()) + "\">";
    cell += imageElement(image.thumbnailFileName, image.thumbnailSize, pictureAltText(image),
                         lazy ? " loading=\"lazy\"" : "");
    cell += "</a>\n";
    if (m_settings.thumbShowFileName == 1)
        line(cell, "<div class=\"caption\">" + NameAsPageText(image.listedName) + "</div>");
    if (image.shootingDate && m_settings.thumbShowDate == 1)
        line(cell, "<div class=\"caption\">" + formatShootingDate(*image.shootingDate) + "</div>");
    if (m_settings.thumbShowComment == 1 && !image.comment.empty())
        line(cell, "<div class=\"caption\">" + image.comment + "</div>");
    line(cell, "</li>");
    return appendTo(m_file, cell);
}

PageWriteResult ModernThumbnailPage::end() {
    std::string end;
    line(end, "</ul>");
    line(end, "<nav aria-label=\"メニュー（下）\">" + link("../index.htm", "メニューページへ") + "</nav>");
    line(end, m_settings.page(PageKind::Thumbnail).htmlBeforeBodyEnd);
    line(end, "</div>");
    return closePage(m_file, std::move(end));
}

// ---- picture page ----

PageWriteResult WriteModernEnlargedPage(const AlbumSettings& settings, const BackgroundCopies& copied,
                                        std::string_view albumDirectoryPath, std::string_view albumTitle,
                                        const std::vector<AlbumImage>& images, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= images.size())
        return {std::string(albumDirectoryPath), std::make_error_code(std::errc::invalid_argument)};
    const auto i = static_cast<std::size_t>(index);
    const AlbumImage& image = images[i];
    const std::string path = inFolder(albumDirectoryPath, image.pageFileName());
    const PageStyle& style = settings.page(PageKind::Enlarged);

    // The picture fits the screen: as wide as the page and, leaving room
    // for a line of links, as high as the window; it keeps its proportions.
    std::string page;
    const std::string shownName = NameAsPageText(image.listedName);
    writeHead(page, settings, PageKind::Enlarged, std::string(albumTitle) + " " + shownName,
              copied[pageIndex(PageKind::Enlarged)],
              "nav.links{margin:.4em 0}\n"
              "nav.links a{display:inline-block;margin:0 1em .2em 0;padding:.2em 0}\n"
              ".picture{margin:.4em 0}\n"
              ".picture img{display:block;max-height:calc(100vh - 5em);object-fit:contain}\n");
    line(page, pictureLinks(images, i, true, "ページ移動"));
    line(page, style.htmlMiddle);
    line(page, "<div class=\"picture\">" + imageElement(image.enlargedFileName, image.enlargedSize,
                                                        pictureAltText(image), "") + "</div>");
    if (settings.largeShowFileName == 1) line(page, "<div class=\"caption\">" + shownName + "</div>");
    if (image.shootingDate && settings.largeShowDate == 1)
        line(page, "<div class=\"caption\">" + formatShootingDate(*image.shootingDate) + "</div>");
    if (settings.largeShowComment == 1 && !image.comment.empty())
        line(page, "<div class=\"caption\">" + image.comment + "</div>");
    line(page, pictureLinks(images, i, false, "ページ移動（下）"));
    line(page, style.htmlBeforeBodyEnd);
    line(page, "</div>");
    line(page, kNavigationScript);

    platform::AtomicFile file;
    if (const std::error_code ec = file.open(path)) return {path, ec};
    return closePage(file, std::move(page));
}

}  // namespace mirofoto
