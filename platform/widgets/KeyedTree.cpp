#include "platform/widgets/KeyedTree.h"

#include "platform/host/Error.h"

#include <QBrush>
#include <QHeaderView>
#include <QPalette>

namespace orra {

namespace {
const QString kSource = QStringLiteral("TreeView");
}

// A node keeps its properties in members rather than in QTreeWidgetItem's list of role values:
// a large tree is filled several times faster so, and the view reads them through data().
class KeyedTree::Node : public QTreeWidgetItem {
public:
    Node(const QString& key, const QString& text, bool showCheck)
        : QTreeWidgetItem(NodeType), key(key), text(text), showCheck(showCheck)
    {
    }
    // A node deleted from its tree forgets its keys while it is still whole: the removal notice
    // that follows comes from the item's own destructor, when its key is gone.
    ~Node() override
    {
        if (auto* tree = qobject_cast<KeyedTree*>(treeWidget())) {
            tree->forgetSubtree(this);
            tree->m_going = this;
        }
    }

    QVariant data(int column, int role) const override
    {
        if (column != 0) return QTreeWidgetItem::data(column, role);
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::AccessibleTextRole:
            return text;
        case Qt::DecorationRole:
            return icon.isNull() ? QVariant() : QVariant(icon);
        case Qt::CheckStateRole:
            return showCheck ? QVariant(int(checked ? Qt::Checked : Qt::Unchecked)) : QVariant();
        case Qt::ForegroundRole:
            return (fore & 0xFFFFFFu) == 0 ? QVariant()
                                           : QVariant(QBrush(QColor(qRed(fore), qGreen(fore), qBlue(fore))));
        case KeyRole:
            return key;
        case TagRole:
            return tag;
        case ImageRole:
            return image;
        case SelectedImageRole:
            return selectedImage;
        case CheckedRole:
            return checked;
        default:
            return QTreeWidgetItem::data(column, role);
        }
    }

    void setData(int column, int role, const QVariant& value) override
    {
        if (column != 0) {
            QTreeWidgetItem::setData(column, role, value);
            return;
        }
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            text = value.toString();
            break;
        case Qt::DecorationRole:
            icon = value.value<QIcon>();
            break;
        case Qt::CheckStateRole:
            showCheck = value.isValid();
            checked = value.toInt() == Qt::Checked;
            break;
        case Qt::ForegroundRole:
            fore = value.isValid() ? value.value<QBrush>().color().rgb() : qRgb(0, 0, 0);
            break;
        case KeyRole:
            key = value.toString();
            return;   // the key is not shown
        case TagRole:
            tag = value;
            return;
        case ImageRole:
            image = value.toString();
            return;
        case SelectedImageRole:
            selectedImage = value.toString();
            return;
        case CheckedRole:
            checked = value.toBool();
            break;
        default:
            QTreeWidgetItem::setData(column, role, value);
            return;
        }
        emitDataChanged();
    }

    // Tells an attached view that a shown property changed.
    void changed() { emitDataChanged(); }

    QString key;
    QString text;
    QVariant tag;
    QString image;
    QString selectedImage;
    QIcon icon;
    QRgb fore = qRgb(0, 0, 0);
    bool checked = false;
    bool showCheck = false;
};

void ImageList::add(const QString& key, const QIcon& icon)
{
    if (!m_icons.contains(key)) m_order.append(key);
    m_icons.insert(key, icon);
}

Error KeyedTree::elementNotFound() { return Error(errElementNotFound, kSource, QStringLiteral("Element not found")); }

Error KeyedTree::keyNotUnique()
{
    return Error(errKeyNotUnique, kSource, QStringLiteral("Key is not unique in collection"));
}

KeyedTree::KeyedTree(QWidget* parent) : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(model(), &QAbstractItemModel::rowsAboutToBeRemoved, this, &KeyedTree::onRowsAboutToBeRemoved);
    connect(model(), &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_keys.clear();
        m_dropHighlight = nullptr;
    });
}

KeyedTree::~KeyedTree()
{
    // The model outlives this object's members (QWidget's destructor deletes it): its removal
    // notices must no longer reach them.
    disconnect(model(), nullptr, this, nullptr);
    qDeleteAll(m_pendingTop);
}

void KeyedTree::setCheckboxes(bool on)
{
    if (m_checkboxes == on) return;
    m_checkboxes = on;
    for (QTreeWidgetItem* item : std::as_const(m_keys)) {
        if (on)
            item->setCheckState(0, checked(item) ? Qt::Checked : Qt::Unchecked);
        else
            item->setData(0, Qt::CheckStateRole, QVariant());
    }
}

QTreeWidgetItem* KeyedTree::addNode(const QString& parentKey, const QString& key, const QString& text,
    const QString& image, const QString& selectedImage)
{
    QTreeWidgetItem* parent = nullptr;
    if (!parentKey.isEmpty()) {
        parent = m_keys.value(parentKey);
        if (!parent) throw elementNotFound();
    }
    return addNode(parent, key, text, image, selectedImage);
}

QTreeWidgetItem* KeyedTree::addNode(QTreeWidgetItem* parent, const QString& key, const QString& text,
    const QString& image, const QString& selectedImage)
{
    auto* item = new Node(key, text, m_checkboxes);
    if (!key.isEmpty()) {
        // One look-up both refuses a taken key and claims a new one.
        QTreeWidgetItem*& slot = m_keys[key];
        if (slot) {
            delete item;
            throw keyNotUnique();
        }
        slot = item;
    }
    // Shown, selectable and enabled; never edited in place or toggled by the user.
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled);
    item->image = image;
    item->selectedImage = selectedImage;
    item->icon = iconFor(image, selectedImage);
    if (parent)
        parent->addChild(item);
    else if (m_bulkDepth > 0)
        m_pendingTop.append(item);
    else
        addTopLevelItem(item);
    return item;
}

QTreeWidgetItem* KeyedTree::nodeOrThrow(const QString& key) const
{
    QTreeWidgetItem* item = m_keys.value(key);
    if (!item) throw elementNotFound();
    return item;
}

void KeyedTree::removeNode(const QString& key)
{
    QTreeWidgetItem* item = nodeOrThrow(key);
    forgetSubtree(item);
    m_pendingTop.removeOne(item);
    delete item;   // an item in the view leaves it through the model, which is told
}

void KeyedTree::beginBulkAdd()
{
    if (m_bulkDepth++ == 0) setUpdatesEnabled(false);
}

void KeyedTree::endBulkAdd()
{
    if (m_bulkDepth == 0 || --m_bulkDepth > 0) return;
    if (!m_pendingTop.isEmpty()) {
        addTopLevelItems(m_pendingTop);
        m_pendingTop.clear();
    }
    setUpdatesEnabled(true);
}

void KeyedTree::setDropHighlight(QTreeWidgetItem* node)
{
    if (m_dropHighlight == node) return;
    if (m_dropHighlight) m_dropHighlight->setData(0, Qt::BackgroundRole, QVariant());
    m_dropHighlight = node;
    if (node) {
        QColor c = palette().color(QPalette::Highlight);
        c.setAlpha(96);
        node->setBackground(0, c);
    }
}

namespace {
KeyedTree::Node* asNode(QTreeWidgetItem* item)
{
    return item && item->type() == KeyedTree::NodeType ? static_cast<KeyedTree::Node*>(item) : nullptr;
}
const KeyedTree::Node* asNode(const QTreeWidgetItem* item)
{
    return item && item->type() == KeyedTree::NodeType ? static_cast<const KeyedTree::Node*>(item) : nullptr;
}
}   // namespace

QString KeyedTree::key(const QTreeWidgetItem* node)
{
    if (const Node* n = asNode(node)) return n->key;
    return node ? node->data(0, KeyRole).toString() : QString();
}

QVariant KeyedTree::tag(const QTreeWidgetItem* node) { return node ? node->data(0, TagRole) : QVariant(); }

void KeyedTree::setTag(QTreeWidgetItem* node, const QVariant& tag)
{
    if (Node* n = asNode(node))
        n->tag = tag;
    else
        node->setData(0, TagRole, tag);
}

bool KeyedTree::checked(const QTreeWidgetItem* node) { return node && node->data(0, CheckedRole).toBool(); }

void KeyedTree::setChecked(QTreeWidgetItem* node, bool on)
{
    if (Node* n = asNode(node)) {
        n->checked = on;
        n->showCheck = m_checkboxes;
        n->changed();
        return;
    }
    node->setData(0, CheckedRole, on);
    if (m_checkboxes) node->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
}

QRgb KeyedTree::foreColor(const QTreeWidgetItem* node)
{
    if (const Node* n = asNode(node)) return qRgb(qRed(n->fore), qGreen(n->fore), qBlue(n->fore));
    const QVariant v = node ? node->data(0, Qt::ForegroundRole) : QVariant();
    if (!v.isValid()) return qRgb(0, 0, 0);
    return v.value<QBrush>().color().rgb();
}

void KeyedTree::setForeColor(QTreeWidgetItem* node, QRgb color)
{
    if (Node* n = asNode(node)) {
        if (n->fore != qRgb(qRed(color), qGreen(color), qBlue(color))) {
            n->fore = qRgb(qRed(color), qGreen(color), qBlue(color));
            n->changed();
        }
        return;
    }
    // Black is the default: no brush of its own, so that the node follows the palette's text.
    if ((color & 0xFFFFFFu) == 0)
        node->setData(0, Qt::ForegroundRole, QVariant());
    else
        node->setForeground(0, QBrush(QColor(qRed(color), qGreen(color), qBlue(color))));
}

QString KeyedTree::image(const QTreeWidgetItem* node) { return node ? node->data(0, ImageRole).toString() : QString(); }

QString KeyedTree::selectedImage(const QTreeWidgetItem* node)
{
    return node ? node->data(0, SelectedImageRole).toString() : QString();
}

void KeyedTree::setImages(QTreeWidgetItem* node, const QString& image, const QString& selected)
{
    node->setData(0, ImageRole, image);
    node->setData(0, SelectedImageRole, selected);
    node->setIcon(0, iconFor(image, selected));
}

QIcon KeyedTree::iconFor(const QString& image, const QString& selected)
{
    if (!m_images || (image.isEmpty() && selected.isEmpty())) return QIcon();
    if (image == m_lastImage && selected == m_lastSelectedImage) return m_lastIcon;
    const QString cacheKey = image + QLatin1Char('\n') + selected;
    auto it = m_iconCache.constFind(cacheKey);
    if (it == m_iconCache.constEnd()) {
        // The selected image stands in the icon's Selected mode, which the view draws for a
        // selected node; without one the view derives it from the image.
        QIcon icon;
        const QIcon normal = m_images->icon(image);
        const QIcon sel = m_images->icon(selected);
        const QList<QSize> sizes = normal.isNull() ? QList<QSize>{QSize(16, 16)} : normal.availableSizes();
        for (const QSize& size : sizes) {
            if (!normal.isNull()) icon.addPixmap(normal.pixmap(size), QIcon::Normal);
            if (!sel.isNull()) icon.addPixmap(sel.pixmap(size), QIcon::Selected);
        }
        it = m_iconCache.insert(cacheKey, icon);
    }
    m_lastImage = image;
    m_lastSelectedImage = selected;
    m_lastIcon = *it;
    return m_lastIcon;
}

void KeyedTree::forgetSubtree(QTreeWidgetItem* node)
{
    const QString k = key(node);
    if (!k.isEmpty()) {
        auto it = m_keys.find(k);
        if (it != m_keys.end() && it.value() == node) m_keys.erase(it);
    }
    if (node == m_dropHighlight) m_dropHighlight = nullptr;
    for (int i = 0; i < node->childCount(); ++i) forgetSubtree(node->child(i));
}

void KeyedTree::onRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last)
{
    for (int r = first; r <= last; ++r) {
        QTreeWidgetItem* item = itemFromIndex(model()->index(r, 0, parent));
        if (item == m_going) {
            m_going = nullptr;   // forgotten by its destructor
            continue;
        }
        if (item) forgetSubtree(item);
    }
}

}   // namespace orra
