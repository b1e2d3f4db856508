#include "app/mainwindow/folder_tree.h"

#include "app/mainwindow/qt_text.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>

namespace mirofoto::mainwindow {
namespace {

constexpr int kTickRole = Qt::UserRole + 2;  // the tick last set or reported

}  // namespace

FolderTree::FolderTree(QWidget* parent)
    : QTreeWidget(parent),
      m_closed(style()->standardIcon(QStyle::SP_DirClosedIcon)),
      m_open(style()->standardIcon(QStyle::SP_DirOpenIcon)) {
    setObjectName(QStringLiteral("Tvw_画像フォルダリスト"));
    setAccessibleName(QStringLiteral("画像フォルダリスト"));
    setColumnCount(1);
    header()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) { onItemChanged(item); });
    connect(this, &QTreeWidget::currentItemChanged, this, &FolderTree::onCurrentChanged);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
        // A click on the tick box is a node check, not a node click.
        if (item == m_tickedByMouse) return;
        emit nodeClicked(item);
    });
}

void FolderTree::clearNodes() {
    m_tickedByMouse = nullptr;
    m_updating = true;
    clear();
    m_updating = false;
}

void FolderTree::setImage(QTreeWidgetItem* node, const char* key) {
    node->setData(0, ImageRole, QString::fromLatin1(key));
    node->setIcon(0, qstrcmp(key, "imgOpenFolder") == 0 ? m_open : m_closed);
}

void FolderTree::initNode(QTreeWidgetItem* node, const QString& key, const QString& text) {
    node->setData(0, KeyRole, key);
    node->setData(0, TextRole, text);
    node->setFlags(node->flags() | Qt::ItemIsUserCheckable);
    node->setCheckState(0, Qt::Unchecked);
    node->setData(0, kTickRole, false);
    setImage(node, "imgClosedFolder");
}

QTreeWidgetItem* FolderTree::addRoot(const QString& key, const QString& text) {
    m_updating = true;
    auto* node = new QTreeWidgetItem(this, QStringList{shownName(pathBytes(text))});
    initNode(node, key, text);
    node->setExpanded(true);
    m_updating = false;
    return node;
}

QTreeWidgetItem* FolderTree::addAlbum(const QString& key, const QString& text) {
    QTreeWidgetItem* root = topLevelItem(0);
    if (!root) return nullptr;
    m_updating = true;
    auto* node = new QTreeWidgetItem(root, QStringList{shownName(pathBytes(text))});
    initNode(node, key, text);
    m_updating = false;
    return node;
}

void FolderTree::setNodeState(QTreeWidgetItem* node, bool black, bool ticked) {
    m_updating = true;
    node->setForeground(0, black ? QColor(0, 0, 0) : QColor(0xC0, 0xC0, 0xC0));
    node->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
    node->setData(0, kTickRole, ticked);
    m_updating = false;
}

void FolderTree::setSharedWith(QTreeWidgetItem* node, const QStringList& others) {
    m_updating = true;
    const QString name = shownName(pathBytes(textOf(node)));
    node->setText(0, others.isEmpty() ? name : name + QStringLiteral(" ※"));
    node->setToolTip(0, others.isEmpty() ? QString()
                                         : QStringLiteral("「%1」と設定を共有しています。チェックを変えると、いっしょに変わります。")
                                               .arg(others.join(QStringLiteral("」「"))));
    m_updating = false;
}

QList<QTreeWidgetItem*> FolderTree::nodes() const {
    QList<QTreeWidgetItem*> all;
    for (QTreeWidgetItemIterator it(const_cast<FolderTree*>(this)); *it; ++it) all.push_back(*it);
    return all;
}

QTreeWidgetItem* FolderTree::nodeByKey(const QString& key) const {
    for (QTreeWidgetItem* node : nodes())
        if (keyOf(node) == key) return node;
    return nullptr;
}

void FolderTree::onItemChanged(QTreeWidgetItem* item) {
    if (m_updating) return;
    const bool ticked = isTicked(item);
    if (item->data(0, kTickRole).toBool() == ticked) return;  // another change than the tick
    item->setData(0, kTickRole, ticked);
    m_tickedByMouse = item;
    emit nodeChecked(item);
}

void FolderTree::onCurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    m_updating = true;
    if (previous) setImage(previous, "imgClosedFolder");
    if (current) setImage(current, "imgOpenFolder");
    m_updating = false;
}

void FolderTree::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit treeDoubleClicked();
        return;
    }
    QTreeWidgetItem* before = currentItem();
    QTreeWidget::keyPressEvent(event);
    // Choosing a node with the arrow keys counts as clicking it.
    if (currentItem() && currentItem() != before) emit nodeClicked(currentItem());
}

void FolderTree::mousePressEvent(QMouseEvent* event) {
    m_tickedByMouse = nullptr;
    QTreeWidget::mousePressEvent(event);
}

void FolderTree::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeWidget::mouseDoubleClickEvent(event);
    emit treeDoubleClicked();
}

}  // namespace mirofoto::mainwindow
