#pragma once
// A tree whose nodes are found by a unique text key, in the manner of the tree control the
// original forms were drawn with, over QTreeWidget (one column, no header):
//  - nodes are added at the top level or as the last child of the node with a given key;
//    a key that is already in the tree, or a parent key that is not, is refused with an
//    orra::Error, and nothing is added;
//  - each node carries an image and a selected image by key from an ImageList, a check
//    mark (shown when the tree has check boxes), a fore colour and a Tag value;
//  - removing a node (by any means: removeNode, delete, QTreeWidget::clear) forgets the keys
//    of its whole subtree.
// The key, Tag and image keys live in the item's data, so that a QTreeWidgetItem taken from
// the tree (itemAt, currentItem) answers them through the static accessors below.

#include "platform/host/Error.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QPair>
#include <QRgb>
#include <QString>
#include <QTreeWidget>
#include <QVariant>

namespace orra {

// Images by key: the stand-in for an image list attached to a tree or a tab strip.
class ImageList {
public:
    void add(const QString& key, const QIcon& icon);
    bool contains(const QString& key) const { return m_icons.contains(key); }
    // The image of key; a null icon when the list has none of that key.
    QIcon icon(const QString& key) const { return m_icons.value(key); }
    QStringList keys() const { return m_order; }

private:
    QHash<QString, QIcon> m_icons;
    QStringList m_order;
};

class KeyedTree : public QTreeWidget {
    Q_OBJECT
public:
    // The error numbers of refused adds and look-ups, and the errors themselves as the tree
    // control raised them; every keyed tree of the system refuses with these.
    static constexpr long errElementNotFound = 35601;
    static constexpr long errKeyNotUnique = 35602;
    static orra::Error elementNotFound();
    static orra::Error keyNotUnique();

    explicit KeyedTree(QWidget* parent = nullptr);
    ~KeyedTree() override;

    // The image list the image keys name (not owned; may be null: no images).
    void setImageList(const ImageList* images) { m_images = images; }
    const ImageList* imageList() const { return m_images; }

    // Check boxes on every node (the check mark shows a state; the user does not toggle it).
    void setCheckboxes(bool on);
    bool checkboxes() const { return m_checkboxes; }

    // Adds a node as the last child of the node keyed parentKey, or at the top level when
    // parentKey is empty. key may be empty (a node that cannot be looked up). Throws
    // orra::Error errKeyNotUnique when key is taken, errElementNotFound when parentKey is not
    // in the tree. An image key that the image list lacks shows no image.
    QTreeWidgetItem* addNode(const QString& parentKey, const QString& key, const QString& text,
        const QString& image = QString(), const QString& selectedImage = QString());

    // The same below parent, a node of this tree (null: the top level), without a look-up.
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& key, const QString& text,
        const QString& image = QString(), const QString& selectedImage = QString());
    // Room for that many keys in all (a fill that knows its size).
    void reserveKeys(qsizetype count) { m_keys.reserve(count); }

    // The node keyed key, or null.
    QTreeWidgetItem* node(const QString& key) const { return m_keys.value(key); }
    bool contains(const QString& key) const { return m_keys.contains(key); }
    // The node keyed key; throws orra::Error errElementNotFound when there is none.
    QTreeWidgetItem* nodeOrThrow(const QString& key) const;
    // Removes the node keyed key with its subtree; throws errElementNotFound when absent.
    void removeNode(const QString& key);
    int nodeCount() const { return int(m_keys.size()); }

    // While a bulk add runs, new top-level nodes (and so everything added below them) stay
    // off the view until endBulkAdd attaches them at once: filling a large tree then costs no
    // view updates per node. Look-ups work as usual meanwhile. An exception thrown between the
    // two calls must still be followed by endBulkAdd (BulkAdd does it).
    void beginBulkAdd();
    void endBulkAdd();
    class BulkAdd {
    public:
        explicit BulkAdd(KeyedTree& tree) : m_tree(tree) { m_tree.beginBulkAdd(); }
        ~BulkAdd() { m_tree.endBulkAdd(); }
        BulkAdd(const BulkAdd&) = delete;
        BulkAdd& operator=(const BulkAdd&) = delete;

    private:
        KeyedTree& m_tree;
    };

    // True while a node's label is open for editing.
    bool isEditing() const { return state() == QAbstractItemView::EditingState; }

    // The node shown as the target of a drag over the tree (null: none).
    void setDropHighlight(QTreeWidgetItem* node);
    QTreeWidgetItem* dropHighlight() const { return m_dropHighlight; }

    // Per-node properties.
    static QString key(const QTreeWidgetItem* node);
    static QVariant tag(const QTreeWidgetItem* node);
    static void setTag(QTreeWidgetItem* node, const QVariant& tag);
    static bool checked(const QTreeWidgetItem* node);
    void setChecked(QTreeWidgetItem* node, bool checked);
    // 0x00RRGGBB or 0xAARRGGBB; 0 (black) is the default.
    static QRgb foreColor(const QTreeWidgetItem* node);
    static void setForeColor(QTreeWidgetItem* node, QRgb color);
    static QString image(const QTreeWidgetItem* node);
    static QString selectedImage(const QTreeWidgetItem* node);
    // Sets both image keys and the icon drawn from them.
    void setImages(QTreeWidgetItem* node, const QString& image, const QString& selectedImage);

    // Item data roles of the per-node properties.
    enum Role { KeyRole = Qt::UserRole + 1, TagRole, ImageRole, SelectedImageRole, CheckedRole };
    // The item type of the nodes this tree makes.
    static constexpr int NodeType = QTreeWidgetItem::UserType + 1;

    class Node;   // the item class of the nodes

private:
    QIcon iconFor(const QString& image, const QString& selectedImage);

    void forgetSubtree(QTreeWidgetItem* node);
    void onRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last);

    const ImageList* m_images = nullptr;
    bool m_checkboxes = false;
    QHash<QString, QTreeWidgetItem*> m_keys;
    int m_bulkDepth = 0;
    QList<QTreeWidgetItem*> m_pendingTop;
    QTreeWidgetItem* m_dropHighlight = nullptr;
    QTreeWidgetItem* m_going = nullptr;         // a node whose destructor is under way
    QHash<QString, QIcon> m_iconCache;          // composed icons by image + "\n" + selected image
    QString m_lastImage, m_lastSelectedImage;   // the last pair asked for, and its icon
    QIcon m_lastIcon;
};

}   // namespace orra
