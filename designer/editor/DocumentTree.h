#pragma once
// The element tree of one editor window: a tree whose nodes carry the element tree's Key, Tag,
// Image and SelectedImage, found by Key. Keys are unique within one tree; adding a node under
// a key that is already used fails as the tree control of the original did.

#include "designer/editor/DocumentModel.h"
#include "platform/widgets/KeyedTree.h"

#include <QHash>
#include <QIcon>
#include <QTreeWidget>
#include <vector>

namespace morvane {

// The node icons of every element tree, by image key ("Document", "IBlock", "SParameter",
// "Parameter_static", ...). An unknown key gives a null icon.
QIcon elementTreeImage(const QString& key);
// The keys of the image list, in list order.
const QStringList& elementTreeImageKeys();

// A node of the element tree as the view shows it: its Key, Tag, Image and SelectedImage
// besides its text.
class DocumentNode : public QTreeWidgetItem {
public:
    static constexpr int Type = QTreeWidgetItem::UserType + 1;
    DocumentNode(const TreeNodeSpec& spec, int record);
    QString key, tag, image, selectedImage;
    int record;

    // The text and icon live in the node itself (no per-node data entries to make).
    QVariant data(int column, int role) const override;
    void setData(int column, int role, const QVariant& value) override;

private:
    QString m_text;
    QIcon m_icon;
};

// The tree knows every node from the moment it is added, but makes the view's item of a node
// only when the node can be seen (its parent expanded) or is asked for by key: a document of
// thousands of elements opens without thousands of items. node() gives the item of any node,
// making it (and its ancestors' children) on the way.
class DocumentTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit DocumentTree(QWidget* parent = nullptr);

    // Between beginBuild and endBuild nodes are only recorded; endBuild makes the items of the
    // top-level nodes (the building of a whole tree without a view update per node).
    // expectedNodes: room to make at once for the nodes about to come.
    void beginBuild(int expectedNodes = 0)
    {
        m_building = true;
        m_records.reserve(size_t(expectedNodes));
        m_index.reserve(expectedNodes);
    }
    void endBuild();

    // Adds a node as the last child of the node keyed spec.parentKey (top level when empty).
    // Throws orra::Error (35602, "Key is not unique in collection") for a key in use and
    // (35601, "Element not found") for an unknown parent key.
    void addNode(const TreeNodeSpec& spec) { addNode(TreeNodeSpec(spec)); }
    void addNode(TreeNodeSpec&& spec);
    // Where insertNode puts a node relative to another (the tree control's relationships).
    enum Relationship { First = 0, Last = 1, Next = 2, Previous = 3, Child = 4 };
    // Adds a node relative to the node keyed relativeKey: as its first or last sibling, right
    // after or before it, or as its last child (spec.parentKey is not read). The same errors as
    // addNode; a sibling relationship of a top-level node fails as an unknown parent.
    void insertNode(const TreeNodeSpec& spec, const QString& relativeKey, Relationship relationship);
    // Gives a node another key; a key in use fails as addNode does and changes nothing.
    void setNodeKey(QTreeWidgetItem* item, const QString& key);
    // The item of the node with that key (made when needed), or null when no node has it.
    QTreeWidgetItem* node(const QString& key);
    bool hasNode(const QString& key) const { return m_index.contains(key); }
    // Removes every node.
    void clearNodes();
    // Removes a node with its subtree.
    void removeNode(QTreeWidgetItem* item);
    int nodeCount() const { return int(m_index.size()); }
    // Makes the items of a node's children (for a walk over them), without expanding it.
    void buildChildItems(QTreeWidgetItem* item)
    {
        if (const DocumentNode* n = asNode(item)) buildChildren(n->record);
    }
    // Makes the items of every node (for walks over the whole tree).
    void buildAllNodes();
    // Expands a node, making its children's items first (also while the tree's signals are
    // blocked, when the view's expansion notice does not come).
    void expandNode(QTreeWidgetItem* item);

    static const DocumentNode* asNode(const QTreeWidgetItem* item)
    {
        return item && item->type() == DocumentNode::Type ? static_cast<const DocumentNode*>(item) : nullptr;
    }
    static QString key(const QTreeWidgetItem* item) { return asNode(item) ? asNode(item)->key : QString(); }
    static QString tag(const QTreeWidgetItem* item) { return asNode(item) ? asNode(item)->tag : QString(); }
    static QString image(const QTreeWidgetItem* item) { return asNode(item) ? asNode(item)->image : QString(); }
    static QString selectedImage(const QTreeWidgetItem* item)
    {
        return asNode(item) ? asNode(item)->selectedImage : QString();
    }

private:
    struct Record {
        TreeNodeSpec spec;
        int parent = -1;
        std::vector<int> children;
        DocumentNode* item = nullptr;
        bool childrenBuilt = false;
        bool removed = false;   // its node was removed (the record stays, unused)
    };
    int parentRecord(const QString& key) const;
    DocumentNode* makeItem(int record);
    DocumentNode* materialize(int record);
    void buildChildren(int record);
    void forget(int record);

    std::vector<Record> m_records;
    QHash<QString, int> m_index;
    bool m_building = false;
};

}   // namespace morvane
