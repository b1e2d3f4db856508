// Frm_Main: the image folder box, its browse button, the folder tree and the
// menu page's link to the thumbnail page.
#include "app/mainwindow/folder_tree.h"
#include "app/mainwindow/tab_keys.h"
#include "app/mainwindow/frm_main.h"
#include "app/mainwindow/menu_page.h"
#include "app/mainwindow/enlarged_page.h"
#include "app/mainwindow/thumbnail_page.h"
#include "app/mainwindow/qt_text.h"
#include "app/mainwindow/twips_geometry.h"
#include "app/settings/settings_files.h"
#include "app/util/paths.h"
#include "app/util/thread_pool.h"

#include <QLineEdit>
#include <QScrollBar>

#include <cerrno>
#include <chrono>
#include <unordered_map>
#include <unordered_set>

namespace mirofoto::mainwindow {

// What a scan brings back: the albums, and the link texts the settings hold
// for the ticked ones after the worker stored the missing ones.
struct Frm_Main::ScanResult {
    ImageFolderScan scan;
    std::unordered_map<std::string, std::string> storedLinks;
};

namespace {

// The ticked albums and the link texts they show when none is stored.
std::vector<FolderSettingsStore::DefaultLink> tickedDefaults(const ImageFolderAlbums& albums) {
    std::vector<FolderSettingsStore::DefaultLink> links;
    for (const AlbumFolder& a : albums.albums)
        if (a.ticked) links.push_back({a.key, a.linkText});
    return links;
}

}  // namespace

void Frm_Main::Cmd_フォルダの選択_Click() {
    if (m_runInProgress) return;
    const std::string chosen =
        BrowseForFolder(this, m_folderBox->text().toStdString(), "画像フォルダを選択して下さい。");
    if (chosen.empty()) return;
    m_folderBox->setText(QString::fromStdString(chosen));
    commitImageFolder();
}

void Frm_Main::commitImageFolder() {
    if (m_imageFolder.empty() || m_imageFolder == m_committedFolder) return;
    m_committedFolder = m_imageFolder;
    // Read again, this time storing what the page shows; at the close, with
    // no worker left, here.
    if (m_scansOpen) {
        requestScan(false);
        return;
    }
    const ImageFolderScan scan = scanImageFolder(m_imageFolder, m_settings.outputFolder);
    if (scan.error != 0) return;
    m_store.defaultLinkTexts(scan.albums.settings.imageFolder(), tickedDefaults(scan.albums), true);
}

void Frm_Main::Txt_画像フォルダ_Change() {
    m_imageFolder = imageFolderPath(m_folderBox->text().toStdString());
    // An emptied box leaves the tree and the pages as they are.
    if (m_imageFolder.empty()) return;
    m_menuPage->finishEdit();
    m_store.setImageFolder(m_imageFolder);

    m_tree->clearNodes();
    m_tree->addRoot(pathText(m_imageFolder), pathText(m_imageFolder));
    m_treeListed = false;
    m_menuPage->clear();
    m_thumbnailPage->clear();
    showAlbumName();
    // The listing, the folders' pictures and their ticks come from a worker,
    // so typing never waits for a slow folder.
    requestScan(true);
}

void Frm_Main::requestScan(bool folderChange) {
    const std::string folder = m_store.imageFolder();
    if (!m_scansOpen || folder.empty()) return;
    const quint64 generation = ++m_generation;
    const quint64 revision = m_revision;
    // A refresh before the listing arrived still reports its failure.
    const bool reportFailure = folderChange || !m_treeListed;
    const bool committed = folder == m_committedFolder;
    // The output folder may lie in the image folder: it is no album.
    const std::string output = m_settings.outputFolder;
    m_scanPending = true;
    setCursor(Qt::BusyCursor);
    // Finished scans are forgotten; the ones still going are waited for
    // when the window unloads.
    std::erase_if(m_scans, [](const std::future<void>& f) {
        return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
    m_scans.push_back(m_pool->submit([this, generation, revision, reportFailure, committed, folder, output] {
        if (generation != m_generation.load()) return;  // typed on: nobody waits for this one
        auto result = std::make_shared<ScanResult>();
        try {
            result->scan = scanImageFolder(folder, output);
            // The page stores each listed album's link text when it shows it.
            // The first time a folder is shown that is a write per album;
            // made here with one rewrite of the file, they keep the window
            // from waiting on the disk.
            if (generation != m_generation.load()) return;
            // Nothing is read when the box names another folder by now; the
            // generation drops this result then.
            if (auto links = m_store.defaultLinkTexts(result->scan.albums.settings.imageFolder(),
                                                      tickedDefaults(result->scan.albums), committed))
                result->storedLinks = std::move(*links);
        } catch (...) {
            result->scan = ImageFolderScan();
            result->scan.error = EIO;
        }
        QMetaObject::invokeMethod(
            this, [this, generation, revision, reportFailure, committed, result] {
                onScanFinished(generation, revision, reportFailure, committed, *result);
            },
            Qt::QueuedConnection);
    }));
}

void Frm_Main::onScanFinished(quint64 generation, quint64 revision, bool reportFailure, bool committed,
                              const ScanResult& result) {
    const ImageFolderScan& scan = result.scan;
    if (generation != m_generation.load() || m_unloaded) return;
    if (revision != m_revision) {
        // A text was stored while the worker read: read again, or the
        // display would store the old text over it.
        requestScan(reportFailure);
        return;
    }
    m_scanPending = false;
    unsetCursor();

    if (!m_treeListed) {
        for (std::size_t i = 1; i < scan.albums.albums.size(); ++i)
            m_tree->addAlbum(pathText(scan.albums.albums[i].key), pathText(scan.albums.albums[i].treeText));
        m_treeListed = true;
    }
    if (reportFailure && scan.error != 0) {
        platform::ui().messageBox(this, folderFailureMessage(scan.error, m_store.imageFolder()),
                                  kApplicationTitle, platform::MsgButtons::Ok, platform::MsgIcon::Critical);
        emit imageFolderShown();
        return;
    }

    // メニューページ表示: the nodes' colours and ticks, then one entry per
    // ticked node in the one name order the album run uses too.
    std::unordered_map<std::string, const AlbumFolder*> byKey;
    for (const AlbumFolder& a : scan.albums.albums) byKey.emplace(a.key, &a);
    ImageFolderAlbums shown;
    m_albumsWithPictures.clear();
    for (const AlbumFolder& a : scan.albums.albums)
        if (a.hasPictures) m_albumsWithPictures.insert(a.key);
    for (QTreeWidgetItem* node : m_tree->nodes()) {
        const auto it = byKey.find(pathBytes(FolderTree::keyOf(node)));
        const AlbumFolder* album = it == byKey.end() ? nullptr : it->second;
        const bool black = album && album->hasPictures;
        const bool tick = black && album->ticked;
        m_tree->setNodeState(node, black, tick);
        QStringList sharedWith;
        if (album)
            for (const std::string& other : album->sharesSettingsWith) sharedWith.push_back(shownName(other));
        m_tree->setSharedWith(node, sharedWith);
        if (album) shown.albums.push_back(*album);
        if (album) shown.albums.back().ticked = tick;
    }
    std::vector<MenuEntry> entries;
    for (const AlbumFolder& a : shown.tickedInRunOrder()) {
        const auto stored = result.storedLinks.find(a.key);
        entries.push_back({a.key, a.linkText, stored == result.storedLinks.end() ? std::string() : stored->second});
    }

    const int scrollValue = m_menuPage->scrollBar()->value();
    m_menuPage->clear();
    m_menuPage->display(entries, committed);
    SizeControls(twipsGeometry(m_dragBar).left);
    m_menuPage->scrollBar()->setValue(scrollValue);
    m_menuPage->placeControls();
    emit imageFolderShown();
}

void Frm_Main::onNodeClicked(QTreeWidgetItem* node) {
    node->setExpanded(true);
    if (selectedTabKey() == kTabThumbnails) {
        m_thumbnailPage->clear();
        showOnThumbnails(m_tree->currentItem());
        showAlbumName();
    }
}

void Frm_Main::showOnThumbnails(QTreeWidgetItem* node) {
    if (!node) return m_thumbnailPage->display(QString(), QString(), QString());
    m_thumbnailPage->display(FolderTree::keyOf(node), FolderTree::textOf(node), node->text(0));
}

void Frm_Main::onNodeChecked(QTreeWidgetItem* node) {
    if (m_runInProgress) {  // the run reads the ticks as it goes
        m_tree->setNodeState(node, m_albumsWithPictures.count(pathBytes(FolderTree::keyOf(node))) > 0,
                             !FolderTree::isTicked(node));
        return;
    }
    if (!m_imageFolder.empty()) {
        m_store.setAlbumTicked(pathBytes(FolderTree::textOf(node)), FolderTree::isTicked(node));
        ++m_revision;
    }
    // The page is rebuilt when the worker has re-read every node, which also
    // clears the tick of a grey node again.
    requestScan(false);
}

void Frm_Main::onTreeDoubleClicked() {
    if (selectedTabKey() != kTabThumbnails) selectTab(kTabThumbnails);
}

void Frm_Main::onAlbumLink(const QString& key) {
    if (QTreeWidgetItem* node = m_tree->nodeByKey(key)) m_tree->setCurrentItem(node);
    m_thumbnailPage->clear();
    selectTab(kTabThumbnails);
}

}  // namespace mirofoto::mainwindow
