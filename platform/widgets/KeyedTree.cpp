#include "platform/widgets/KeyedTree.h"

#include "platform/text/Error.h"

#include <QBrush>
#include <QHeaderView>
#include <QPalette>

namespace orra {

namespace {
const QString kSource = QStringLiteral("TreeView");
}

void ImageList::add(const QString& key, const QIcon& icon)
{
    if (!m_icons.contains(key))
        m_order.append(key);
    m_icons.insert(key, icon);
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
    if (m_checkboxes == on)
        return;
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
    if (!key.isEmpty() && m_keys.contains(key))
        throw Error(errKeyNotUnique, kSource, keyNotUniqueText());
    QTreeWidgetItem* parent = nullptr;
    if (!parentKey.isEmpty()) {
        parent = m_keys.value(parentKey);
        if (!parent)
            throw Error(errElementNotFound, kSource, elementNotFoundText());
    }
    auto* item = new QTreeWidgetItem;
    // Shown, selectable and enabled; never edited in place or toggled by the user.
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled);
    item->setText(0, text);
    item->setData(0, KeyRole, key);
    setImages(item, image, selectedImage);
    if (m_checkboxes)
        item->setCheckState(0, Qt::Unchecked);
    if (!key.isEmpty())
        m_keys.insert(key, item);
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
    if (!item)
        throw Error(errElementNotFound, kSource, elementNotFoundText());
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
    if (m_bulkDepth++ == 0)
        setUpdatesEnabled(false);
}

void KeyedTree::endBulkAdd()
{
    if (m_bulkDepth == 0 || --m_bulkDepth > 0)
        return;
    if (!m_pendingTop.isEmpty()) {
        addTopLevelItems(m_pendingTop);
        m_pendingTop.clear();
    }
    setUpdatesEnabled(true);
}

void KeyedTree::setDropHighlight(QTreeWidgetItem* node)
{
    if (m_dropHighlight == node)
        return;
    if (m_dropHighlight)
        m_dropHighlight->setData(0, Qt::BackgroundRole, QVariant());
    m_dropHighlight = node;
    if (node) {
        QColor c = palette().color(QPalette::Highlight);
        c.setAlpha(96);
        node->setBackground(0, c);
    }
}

QString KeyedTree::key(const QTreeWidgetItem* node) { return node ? node->data(0, KeyRole).toString() : QString(); }

QVariant KeyedTree::tag(const QTreeWidgetItem* node) { return node ? node->data(0, TagRole) : QVariant(); }

void KeyedTree::setTag(QTreeWidgetItem* node, const QVariant& tag) { node->setData(0, TagRole, tag); }

bool KeyedTree::checked(const QTreeWidgetItem* node) { return node && node->data(0, CheckedRole).toBool(); }

void KeyedTree::setChecked(QTreeWidgetItem* node, bool on)
{
    node->setData(0, CheckedRole, on);
    if (m_checkboxes)
        node->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
}

QRgb KeyedTree::foreColor(const QTreeWidgetItem* node)
{
    const QVariant v = node ? node->data(0, Qt::ForegroundRole) : QVariant();
    if (!v.isValid())
        return qRgb(0, 0, 0);
    return v.value<QBrush>().color().rgb();
}

void KeyedTree::setForeColor(QTreeWidgetItem* node, QRgb color)
{
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
    if (!m_images || (image.isEmpty() && selected.isEmpty())) {
        node->setIcon(0, QIcon());
        return;
    }
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
            if (!normal.isNull())
                icon.addPixmap(normal.pixmap(size), QIcon::Normal);
            if (!sel.isNull())
                icon.addPixmap(sel.pixmap(size), QIcon::Selected);
        }
        it = m_iconCache.insert(cacheKey, icon);
    }
    node->setIcon(0, *it);
}

void KeyedTree::forgetSubtree(QTreeWidgetItem* node)
{
    const QString k = key(node);
    if (!k.isEmpty()) {
        auto it = m_keys.find(k);
        if (it != m_keys.end() && it.value() == node)
            m_keys.erase(it);
    }
    if (node == m_dropHighlight)
        m_dropHighlight = nullptr;
    for (int i = 0; i < node->childCount(); ++i)
        forgetSubtree(node->child(i));
}

void KeyedTree::onRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last)
{
    for (int r = first; r <= last; ++r)
        if (QTreeWidgetItem* item = itemFromIndex(model()->index(r, 0, parent)))
            forgetSubtree(item);
}

} // namespace orra
