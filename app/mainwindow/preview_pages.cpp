#include "app/mainwindow/preview_pages.h"

namespace mirofoto::mainwindow {

ThumbnailPage::ThumbnailPage(QWidget* parent)
    : StyledPage(QStringLiteral("Pic_サムネイルページ"), QStringLiteral("Img_サムネイルBG"), parent) {
    setAccessibleName(QStringLiteral("サムネイルページ"));
}

void ThumbnailPage::clear() { m_redraw = true; }

void ThumbnailPage::display(const QString& folderKey) {
    clear();
    m_folder = folderKey;
}

void ThumbnailPage::drawVisible() {}

void ThumbnailPage::layoutPage(const PageStyle& style) { applyStyle(style); }

EnlargedPage::EnlargedPage(QWidget* parent)
    : StyledPage(QStringLiteral("Pic_拡大画像ページ"), QStringLiteral("Img_拡大画像BG"), parent) {
    setAccessibleName(QStringLiteral("拡大画像ページ"));
}

void EnlargedPage::display(int index) { m_index = index; }

void EnlargedPage::layoutPage(const PageStyle& style) { applyStyle(style); }

}  // namespace mirofoto::mainwindow
