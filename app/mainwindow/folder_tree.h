// The folder tree Tvw_画像フォルダリスト: the image folder as its root, each
// immediate subfolder an album node below it, with tick boxes, the two folder
// images and black or grey names.
#pragma once

#include <QIcon>
#include <QTreeWidget>

#include <string>

namespace mirofoto::mainwindow {

class FolderTree : public QTreeWidget {
    Q_OBJECT
public:
    /// Item data: the node's key (the folder's path ending in "/") and the
    /// key of its image in the image list.
    static constexpr int KeyRole = Qt::UserRole;
    static constexpr int ImageRole = Qt::UserRole + 1;
    /// The node's text as the settings know it (the shown text may differ
    /// for names that are not UTF-8).
    static constexpr int TextRole = Qt::UserRole + 3;

    explicit FolderTree(QWidget* parent);

    /// Removes every node.
    void clearNodes();
    /// Adds the root node (expanded) or an album node below it. Key and
    /// text carry the folder's bytes (pathText); the node shows the text as
    /// shownName does.
    QTreeWidgetItem* addRoot(const QString& key, const QString& text);
    QTreeWidgetItem* addAlbum(const QString& key, const QString& text);

    /// Sets a node's colour (black or light grey) and tick without
    /// reporting a node check.
    void setNodeState(QTreeWidgetItem* node, bool black, bool ticked);

    /// Marks a node whose tick the settings file stores under the same key
    /// as the ticks of the named nodes (its name followed by "※", a tooltip
    /// naming them); no names clears the mark.
    void setSharedWith(QTreeWidgetItem* node, const QStringList& others);

    static QString keyOf(const QTreeWidgetItem* node) { return node->data(0, KeyRole).toString(); }
    static QString textOf(const QTreeWidgetItem* node) { return node->data(0, TextRole).toString(); }
    static bool isTicked(const QTreeWidgetItem* node) { return node->checkState(0) == Qt::Checked; }
    /// Every node, the root first.
    QList<QTreeWidgetItem*> nodes() const;
    QTreeWidgetItem* nodeByKey(const QString& key) const;

signals:
    /// A node was clicked, or chosen with the keyboard.
    void nodeClicked(QTreeWidgetItem* node);
    /// The user ticked or cleared a node's box.
    void nodeChecked(QTreeWidgetItem* node);
    /// A double click on the tree, or Enter on a node.
    void treeDoubleClicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void onItemChanged(QTreeWidgetItem* item);
    void onCurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void setImage(QTreeWidgetItem* node, const char* key);
    void initNode(QTreeWidgetItem* node, const QString& key, const QString& text);

    QIcon m_closed;
    QIcon m_open;
    bool m_updating = false;
    QTreeWidgetItem* m_tickedByMouse = nullptr;
};

}  // namespace mirofoto::mainwindow
