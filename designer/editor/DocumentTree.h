#pragma once
// The element tree of one editor window: a tree whose nodes carry the element tree's Key, Tag,
// Image and SelectedImage, found by Key. Keys are unique within one tree; adding a node under
// a key that is already used fails as the tree control of the original did.

#include "designer/editor/DocumentModel.h"

#include <QHash>
#include <QIcon>
#include <QTreeWidget>

namespace morvane {

// The node icons of every element tree, by image key ("Document", "IBlock", "SParameter",
// "Parameter_static", ...). An unknown key gives a null icon.
QIcon elementTreeImage(const QString& key);
// The keys of the image list, in list order.
const QStringList& elementTreeImageKeys();

class DocumentTree : public QTreeWidget {
    Q_OBJECT
public:
    enum Role { KeyRole = Qt::UserRole, TagRole, ImageRole, SelectedImageRole };

    explicit DocumentTree(QWidget* parent = nullptr);

    // Adds a node as the last child of the node keyed spec.parentKey (top level when empty).
    // Throws orra::Error (35602, "Key is not unique in collection") for a key in use and
    // (35601, "Element not found") for an unknown parent key.
    QTreeWidgetItem* addNode(const TreeNodeSpec& spec);
    QTreeWidgetItem* node(const QString& key) const { return m_nodes.value(key); }
    // Removes every node.
    void clearNodes();
    // Removes a node with its subtree.
    void removeNode(QTreeWidgetItem* item);
    int nodeCount() const { return int(m_nodes.size()); }

    static QString key(const QTreeWidgetItem* item) { return item ? item->data(0, KeyRole).toString() : QString(); }
    static QString tag(const QTreeWidgetItem* item) { return item ? item->data(0, TagRole).toString() : QString(); }
    static QString image(const QTreeWidgetItem* item) { return item ? item->data(0, ImageRole).toString() : QString(); }
    static QString selectedImage(const QTreeWidgetItem* item)
    {
        return item ? item->data(0, SelectedImageRole).toString() : QString();
    }

private:
    void forget(QTreeWidgetItem* item);
    QHash<QString, QTreeWidgetItem*> m_nodes;
};

} // namespace morvane
