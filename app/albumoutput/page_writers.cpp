#include "app/albumoutput/page_writers.h"

#include "app/util/paths.h"
#include "platform/codepage.h"

#include <cstdio>

namespace mirofoto {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kIndexPage = "index.htm";
constexpr std::string_view kMenuLink = "<A CLASS='MIROFOTO' HREF='../index.htm'>メニューページへ</A>";

void line(std::string& page, std::string_view text) {
    page += text;
    page += kCrLf;
}

std::string inFolder(std::string_view folder, std::string_view name) {
    // An empty folder would put the page at the file-system root.
    if (folder.empty()) return {};
    return withTrailingSlash(folder) + std::string(name);
}

void appendPercent(std::string& out, unsigned char c) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%%%02X", c);
    out += buf;
}

// The background image keeps its own file name in "images"; the few
// characters that would end the URL early ("#", "?"), start an escape ("%"),
// end the attribute ("'", '"') or start a character reference ("&") are
// written as escapes, and so is every byte of a name that is not UTF-8 (the
// page's code page could not carry it), so the link still reaches the copy.
// Everything else stays as it is.
std::string urlPathSegment(std::string_view name) {
    std::string out;
    const std::u16string units = platform::pathToUtf16(name);
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u >= 0xDC80 && u <= 0xDCFF) {
            appendPercent(out, static_cast<unsigned char>(u - 0xDC00));  // a byte that is not UTF-8
        } else if (u < 0x80) {
            const auto c = static_cast<unsigned char>(u);
            if (c < 0x20 || c == 0x7F || c == '%' || c == '#' || c == '?' || c == '\'' || c == '"' || c == '&')
                appendPercent(out, c);
            else
                out += static_cast<char>(c);
        } else {
            const bool pair = u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size();
            out += platform::pathFromUtf16(std::u16string_view(units).substr(i, pair ? 2 : 1));
            i += pair ? 1 : 0;
        }
    }
    return out;
}

std::string bodyLine(const PageStyle& style, PageKind kind, bool backgroundCopied) {
    if (style.useBackgroundColor) return "<BODY BGCOLOR='#" + HtmlColour(style.backgroundColor) + "'>";
    if (backgroundCopied) {
        const std::string folder = kind == PageKind::Menu ? "./images/" : "../images/";
        return "<BODY BACKGROUND='" + folder + urlPathSegment(GetFileName(style.backgroundImage)) + "'>";
    }
    return "<BODY>";
}

std::string pageLink(std::string_view stem, std::string_view text) {
    return "<A CLASS='MIROFOTO' HREF='./" + std::string(stem) + ".htm'>" + std::string(text) + "</A>";
}

PageWriteResult failure(std::string path, std::errc code) { return {std::move(path), std::make_error_code(code)}; }

PageWriteResult appendTo(platform::AtomicFile& file, const std::string& utf8) {
    return {file.targetPath(), file.write(platform::utf8ToCp932Html(utf8))};
}

// The lines every page ends with, after its last free block; then the page
// is put in place (or, when anything failed, dropped).
PageWriteResult closePage(platform::AtomicFile& file, std::string end) {
    line(end, "</DIV>");
    line(end, "</BODY>");
    line(end, "</HTML>");
    if (PageWriteResult r = appendTo(file, end); !r) {
        file.discard();
        return r;
    }
    return {file.targetPath(), file.commit()};
}

}  // namespace

std::string NameAsPageText(std::string_view name) {
    const std::string shown = platform::displayName(name);
    std::string out;
    out.reserve(shown.size());
    for (const char c : shown) {
        if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '&') out += "&amp;";
        else out += c;
    }
    return out;
}

std::string PageWriteResult::message() const {
    if (!error) return {};
    return platform::displayName(path) + ": " + error.message();
}

std::string HtmlColour(Colour colour) {
    char bbggrr[8];
    std::snprintf(bbggrr, sizeof bbggrr, "%06X", static_cast<unsigned>(colour & 0xFFFFFFu));
    return std::string{bbggrr[4], bbggrr[5], bbggrr[2], bbggrr[3], bbggrr[0], bbggrr[1]};
}

int cellWidthPercent(int columns) { return 100 / (columns < 1 ? 1 : columns); }

void WritePageHead(std::string& page, const AlbumSettings& settings, PageKind kind, std::string_view title,
                   bool backgroundCopied) {
    const PageStyle& style = settings.page(kind);
    line(page, "<HTML>");
    line(page, "<HEAD>");
    line(page, "<META http-equiv='content-type' content='text/html; charset=Shift_JIS'>");
    line(page, "<TITLE>" + std::string(title) + "</TITLE>");
    line(page, "<STYLE TYPE='TEXT/CSS'>");
    line(page, "<!--");
    line(page, ".MIROFOTO { COLOR:" + HtmlColour(style.textColor) + ";}");
    line(page, "A:link.MIROFOTO { COLOR:" + HtmlColour(style.linkColor) + ";text-decoration:underline;}");
    line(page, "A:active.MIROFOTO { COLOR:" + HtmlColour(style.activeLinkColor) + ";text-decoration:underline;}");
    line(page, "A:visited.MIROFOTO { COLOR:" + HtmlColour(style.visitedLinkColor) + ";text-decoration:underline;}");
    line(page, "-->");
    line(page, "</STYLE>");
    line(page, "</HEAD>");
    line(page, bodyLine(style, kind, backgroundCopied));
    line(page, "<DIV CLASS='MIROFOTO'>");
    line(page, style.htmlAfterBodyStart);
}

// ---- menu page ----

MenuPageWriter::MenuPageWriter(AlbumSettings settings) : m_settings(std::move(settings)) {}

PageWriteResult MenuPageWriter::append(const std::string& utf8) { return appendTo(m_file, utf8); }

PageWriteResult MenuPageWriter::BeginMenuPage(std::string_view outputFolder, std::string_view menuTitle,
                                              std::string_view subtitle, const BackgroundCopies& copied) {
    const std::string path = inFolder(outputFolder, kIndexPage);
    if (const std::error_code ec = m_file.open(path)) return {path, ec};
    std::string page;
    WritePageHead(page, m_settings, PageKind::Menu, menuTitle, copied[pageIndex(PageKind::Menu)]);
    line(page, "<H1>");
    line(page, menuTitle);
    line(page, "</H1>");
    line(page, "<H2>");
    line(page, subtitle);
    line(page, "</H2>");
    line(page, m_settings.page(PageKind::Menu).htmlMiddle);
    line(page, "<TABLE>");
    return append(page);
}

PageWriteResult MenuPageWriter::AddMenuEntry(std::string_view albumDirectory, std::string_view albumTitle) {
    std::string rows;
    line(rows, "<TR>");
    line(rows, "<TD>");
    line(rows, "</TD>");
    line(rows, "<TD>");
    line(rows, "・<A CLASS='MIROFOTO' HREF='./" + std::string(albumDirectory) + "/" + std::string(kIndexPage) + "'>" +
                   std::string(albumTitle) + "</A>");
    line(rows, "</TD>");
    line(rows, "<TD>");
    line(rows, "</TD>");
    line(rows, "</TR>");
    return append(rows);
}

PageWriteResult MenuPageWriter::EndMenuPage() {
    std::string end;
    line(end, "</TABLE>");
    line(end, m_settings.page(PageKind::Menu).htmlBeforeBodyEnd);
    return closePage(m_file, std::move(end));
}

// ---- thumbnail page ----

ThumbnailPageWriter::ThumbnailPageWriter(AlbumSettings settings, const BackgroundCopies& copied)
    : m_settings(std::move(settings)), m_copied(copied) {}

PageWriteResult ThumbnailPageWriter::append(const std::string& utf8) { return appendTo(m_file, utf8); }

PageWriteResult ThumbnailPageWriter::BeginThumbnailPage(std::string_view albumDirectoryPath,
                                                        std::string_view albumTitle, int columns) {
    // Fewer than one column would leave no place for a cell.
    m_columns = columns < 1 ? 1 : columns;
    const std::string path = inFolder(albumDirectoryPath, kIndexPage);
    if (const std::error_code ec = m_file.open(path)) return {path, ec};
    std::string page;
    WritePageHead(page, m_settings, PageKind::Thumbnail, albumTitle, m_copied[pageIndex(PageKind::Thumbnail)]);
    line(page, kMenuLink);
    line(page, "<H1>");
    line(page, albumTitle);
    line(page, "</H1>");
    line(page, m_settings.page(PageKind::Thumbnail).htmlMiddle);
    line(page, "<TABLE BORDER='1' CLASS='MIROFOTO'>");
    return append(page);
}

PageWriteResult ThumbnailPageWriter::AddThumbnailCell(int index, const AlbumImage& image) {
    if (index < 0) return failure(m_file.targetPath(), std::errc::invalid_argument);
    std::string cell;
    if (index % m_columns == 0) line(cell, "<TR>");
    line(cell, "<TD WIDTH='" + std::to_string(cellWidthPercent(m_columns)) + "%'>");
    line(cell, "<A CLASS='MIROFOTO' HREF='./" + image.pageFileName() + "'>");
    line(cell, "<IMG SRC='./" + image.thumbnailFileName + "'>");
    line(cell, "</A><BR>");
    line(cell, "<SMALL>");
    if (m_settings.thumbShowFileName == 1) line(cell, NameAsPageText(image.listedName) + "<BR>");
    if (image.shootingDate && m_settings.thumbShowDate == 1)
        line(cell, formatShootingDate(*image.shootingDate) + "<BR>");
    if (m_settings.thumbShowComment == 1) line(cell, image.comment);
    line(cell, "</SMALL>");
    line(cell, "</TD>");
    if ((index + 1) % m_columns == 0) line(cell, "</TR>");
    return append(cell);
}

PageWriteResult ThumbnailPageWriter::EndThumbnailPage() {
    std::string end;
    line(end, "</TABLE>");
    line(end, kMenuLink);
    line(end, m_settings.page(PageKind::Thumbnail).htmlBeforeBodyEnd);
    return closePage(m_file, std::move(end));
}

// ---- enlarged-image page ----

PageWriteResult WriteEnlargedPage(const AlbumSettings& settings, const BackgroundCopies& copied,
                                  std::string_view albumDirectoryPath, std::string_view albumTitle,
                                  const std::vector<AlbumImage>& images, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= images.size())
        return failure(std::string(albumDirectoryPath), std::errc::invalid_argument);
    const AlbumImage& image = images[static_cast<std::size_t>(index)];
    const std::string path = inFolder(albumDirectoryPath, image.pageFileName());
    const PageStyle& style = settings.page(PageKind::Enlarged);

    std::string page;
    const std::string shownName = NameAsPageText(image.listedName);
    WritePageHead(page, settings, PageKind::Enlarged, std::string(albumTitle) + " " + shownName, copied[pageIndex(PageKind::Enlarged)]);
    line(page, std::string(kMenuLink) + "<BR>");
    if (index > 0)
        line(page, pageLink(images[static_cast<std::size_t>(index) - 1].pageStem, "前の画像") + "　　　");
    else
        line(page, "　　　　　　　");  // keeps the next link where it stands on the other pages
    line(page, "<A CLASS='MIROFOTO' HREF='./index.htm'>サムネイルページへ</A>　　　");
    if (static_cast<std::size_t>(index) + 1 < images.size())
        line(page, pageLink(images[static_cast<std::size_t>(index) + 1].pageStem, "次の画像"));
    line(page, style.htmlMiddle);
    line(page, "<IMG SRC='./" + image.enlargedFileName + "'><BR>");
    if (settings.largeShowFileName == 1) line(page, shownName + "<BR>");
    if (image.shootingDate && settings.largeShowDate == 1) line(page, formatShootingDate(*image.shootingDate) + "<BR>");
    if (settings.largeShowComment == 1) line(page, image.comment);
    line(page, style.htmlBeforeBodyEnd);

    platform::AtomicFile file;
    if (const std::error_code ec = file.open(path)) return {path, ec};
    return closePage(file, std::move(page));
}

}  // namespace mirofoto
