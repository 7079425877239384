#include "designer/editor/DocumentTree.h"

#include "platform/host/Error.h"

#include <QHeaderView>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

namespace morvane {

namespace {

struct ImageLook {
    QChar letter;
    QColor color;
};

// The look of each element kind; the included (I) kinds are drawn faded, the selected (S)
// kinds inverted.
ImageLook lookOf(const QString& kind)
{
    if (kind == QLatin1String("Document")) return {QLatin1Char('D'), QColor(0x1f, 0x5f, 0xbf)};
    if (kind == QLatin1String("Block")) return {QLatin1Char('B'), QColor(0x2e, 0x8b, 0x57)};
    if (kind == QLatin1String("Parameter")) return {QLatin1Char('P'), QColor(0xd2, 0x69, 0x1e)};
    if (kind == QLatin1String("ParameterGroup")) return {QLatin1Char('G'), QColor(0xb8, 0x86, 0x0b)};
    if (kind == QLatin1String("Station")) return {QLatin1Char('S'), QColor(0x80, 0x3e, 0xa0)};
    if (kind == QLatin1String("Script")) return {QLatin1Char('X'), QColor(0x00, 0x80, 0x80)};
    if (kind == QLatin1String("Include")) return {QLatin1Char('I'), QColor(0x8b, 0x45, 0x13)};
    return {QLatin1Char('?'), QColor(Qt::gray)};
}

QPixmap drawImage(const QString& key)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (key == QLatin1String("BreakPoint")) {
        p.setBrush(QColor(0xc0, 0, 0));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(2, 2, 12, 12));
        return pm;
    }
    if (key == QLatin1String("grid") || key == QLatin1String("message") || key == QLatin1String("text")
        || key == QLatin1String("BosIcon")) {
        p.setPen(QColor(0x40, 0x40, 0x40));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        if (key == QLatin1String("grid")) {
            for (int i = 5; i < 15; i += 4) {
                p.drawLine(QPointF(1.5, i + 0.5), QPointF(14.5, i + 0.5));
                p.drawLine(QPointF(i + 0.5, 1.5), QPointF(i + 0.5, 14.5));
            }
        } else if (key != QLatin1String("BosIcon")) {
            for (int y = 5; y < 14; y += 3) p.drawLine(QPointF(4, y + 0.5), QPointF(12, y + 0.5));
        }
        return pm;
    }
    QString kind = key;
    bool faded = false;
    bool inverted = false;
    bool isStatic = false;
    if (kind.endsWith(QLatin1String("_static"))) {
        kind.chop(7);
        isStatic = true;
    }
    if (kind.size() > 1 && kind[0] == QLatin1Char('I') && kind[1].isUpper() && kind != QLatin1String("Include")) {
        kind.remove(0, 1);
        faded = true;
    } else if (kind.size() > 1 && kind[0] == QLatin1Char('S') && kind[1].isUpper() && kind != QLatin1String("Station")
        && kind != QLatin1String("Script")) {
        kind.remove(0, 1);
        inverted = true;
    }
    const ImageLook look = lookOf(kind);
    QColor fill = look.color;
    if (faded) fill = fill.lighter(170);
    p.setPen(inverted ? Qt::white : fill.darker(130));
    p.setBrush(inverted ? fill.darker(140) : fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    if (isStatic) {
        p.setPen(QPen(Qt::black, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2, 2);
    }
    QFont f(QStringLiteral("Sans"));
    f.setPixelSize(11);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QString(look.letter));
    return pm;
}

}   // namespace

const QStringList& elementTreeImageKeys()
{
    static const QStringList keys = {
        QStringLiteral("Document"),
        QStringLiteral("Include"),
        QStringLiteral("Block"),
        QStringLiteral("Parameter"),
        QStringLiteral("IBlock"),
        QStringLiteral("IParameter"),
        QStringLiteral("IInclude"),
        QStringLiteral("Station"),
        QStringLiteral("IStation"),
        QStringLiteral("SBlock"),
        QStringLiteral("SParameter"),
        QStringLiteral("SInclude"),
        QStringLiteral("SStation"),
        QStringLiteral("BreakPoint"),
        QStringLiteral("grid"),
        QStringLiteral("message"),
        QStringLiteral("text"),
        QStringLiteral("Parameter_static"),
        QStringLiteral("Script"),
        QStringLiteral("IScript"),
        QStringLiteral("SScript"),
        QStringLiteral("BosIcon"),
        QStringLiteral("ParameterGroup"),
        QStringLiteral("IParameterGroup"),
    };
    return keys;
}

QIcon elementTreeImage(const QString& key)
{
    static QHash<QString, QPixmap> cache;
    if (!elementTreeImageKeys().contains(key)) return QIcon();
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.insert(key, drawImage(key));
    return QIcon(*it);
}

namespace {
// One icon per image pair, shared by every node that shows it. Nodes come in runs of one kind,
// so the pair asked for last is tried first.
QIcon nodeIcon(const QString& image, const QString& selectedImage)
{
    static QHash<QPair<QString, QString>, QIcon> cache;
    static QString lastImage, lastSelected;
    static QIcon lastIcon;
    if (!lastIcon.isNull() && image == lastImage && selectedImage == lastSelected) return lastIcon;
    const QPair<QString, QString> key(image, selectedImage);
    auto it = cache.find(key);
    if (it == cache.end()) {
        QIcon icon = elementTreeImage(image);
        if (!selectedImage.isEmpty()) {
            const QIcon selected = elementTreeImage(selectedImage);
            if (!selected.isNull()) icon.addPixmap(selected.pixmap(16, 16), QIcon::Selected);
        }
        it = cache.insert(key, icon);
    }
    lastImage = image;
    lastSelected = selectedImage;
    lastIcon = *it;
    return lastIcon;
}
}   // namespace

DocumentNode::DocumentNode(const TreeNodeSpec& spec, int record)
    : QTreeWidgetItem(Type), key(spec.key), tag(spec.tag), image(spec.image), selectedImage(spec.selectedImage),
      record(record), m_text(spec.text), m_icon(nodeIcon(spec.image, spec.selectedImage))
{
    // Whether a label may be edited is the editor window's decision at the time.
    setFlags(flags() | Qt::ItemIsEditable);
}

QVariant DocumentNode::data(int column, int role) const
{
    if (column == 0) {
        if (role == Qt::DisplayRole || role == Qt::EditRole) return m_text;
        if (role == Qt::DecorationRole) return m_icon;
    }
    return QTreeWidgetItem::data(column, role);
}

void DocumentNode::setData(int column, int role, const QVariant& value)
{
    if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole)) {
        m_text = value.toString();
        emitDataChanged();
        return;
    }
    if (column == 0 && role == Qt::DecorationRole) {
        m_icon = value.value<QIcon>();
        emitDataChanged();
        return;
    }
    QTreeWidgetItem::setData(column, role, value);
}

DocumentTree::DocumentTree(QWidget* parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("tvDocument"));
    setHeaderHidden(true);
    setColumnCount(1);
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    setAccessibleName(QStringLiteral("Document Explorer"));
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (const DocumentNode* n = asNode(item)) buildChildren(n->record);
    });
}

void DocumentTree::addNode(TreeNodeSpec&& spec)
{
    // One look-up both refuses a key in use and makes the new key's entry (not a parent yet).
    const qsizetype before = m_index.size();
    int& slot = m_index[spec.key];
    if (m_index.size() == before) throw orra::KeyedTree::keyNotUnique();
    slot = -1;
    int parent = -1;
    if (!spec.parentKey.isEmpty()) {
        parent = parentRecord(spec.parentKey);
        if (parent < 0) {
            m_index.remove(spec.key);
            throw orra::KeyedTree::elementNotFound();
        }
    }
    const int record = int(m_records.size());
    slot = record;
    m_records.push_back(Record{std::move(spec), parent, {}, nullptr, true});
    if (parent < 0) {
        if (!m_building) addTopLevelItem(makeItem(record));
        return;
    }
    Record& p = m_records[size_t(parent)];
    p.children.push_back(record);
    if (!p.item) return;
    if (p.childrenBuilt)
        p.item->addChild(makeItem(record));
    else
        p.item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
}

int DocumentTree::parentRecord(const QString& key) const
{
    // A tree is filled parent first and children in a row: the parent is most often the
    // node added last or that node's parent.
    if (!m_records.empty()) {
        const int last = int(m_records.size()) - 1;
        const Record& r = m_records.back();
        if (!r.removed && r.spec.key == key) return last;
        if (r.parent >= 0) {
            const Record& p = m_records[size_t(r.parent)];
            if (!p.removed && p.spec.key == key) return r.parent;
        }
    }
    return m_index.value(key, -1);
}

void DocumentTree::insertNode(const TreeNodeSpec& spec, const QString& relativeKey, Relationship relationship)
{
    if (m_index.contains(spec.key)) throw orra::KeyedTree::keyNotUnique();
    const int relative = m_index.value(relativeKey, -1);
    if (relative < 0) throw orra::KeyedTree::elementNotFound();
    if (relationship == Child) {
        TreeNodeSpec child = spec;
        child.parentKey = relativeKey;
        addNode(child);
        return;
    }
    const int parent = m_records[size_t(relative)].parent;
    if (parent < 0) throw orra::KeyedTree::elementNotFound();
    const auto& siblings = m_records[size_t(parent)].children;
    size_t position = 0;
    switch (relationship) {
    case First:
        position = 0;
        break;
    case Last:
        position = siblings.size();
        break;
    case Next:
    case Previous: {
        position = size_t(std::find(siblings.begin(), siblings.end(), relative) - siblings.begin());
        if (relationship == Next) ++position;
        break;
    }
    case Child:
        break;
    }
    const int record = int(m_records.size());
    TreeNodeSpec placed = spec;
    placed.parentKey = m_records[size_t(parent)].spec.key;
    m_records.push_back(Record{placed, parent, {}, nullptr, true});
    m_index.insert(spec.key, record);
    Record& p = m_records[size_t(parent)];
    p.children.insert(p.children.begin() + qsizetype(position), record);
    if (!p.item) return;
    if (p.childrenBuilt)
        p.item->insertChild(int(position), makeItem(record));
    else
        p.item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
}

void DocumentTree::setNodeKey(QTreeWidgetItem* item, const QString& key)
{
    auto* n = item && item->type() == DocumentNode::Type ? static_cast<DocumentNode*>(item) : nullptr;
    if (!n || n->key == key) return;
    if (m_index.contains(key)) throw orra::KeyedTree::keyNotUnique();
    m_index.remove(n->key);
    m_index.insert(key, n->record);
    Record& r = m_records[size_t(n->record)];
    r.spec.key = key;
    for (int c : r.children) m_records[size_t(c)].spec.parentKey = key;
    n->key = key;
}

void DocumentTree::endBuild()
{
    m_building = false;
    QList<QTreeWidgetItem*> top;
    for (int r = 0; r < int(m_records.size()); ++r)
        if (m_records[size_t(r)].parent < 0 && !m_records[size_t(r)].item
            && m_index.value(m_records[size_t(r)].spec.key, -1) == r)
            top.append(makeItem(r));
    addTopLevelItems(top);
}

DocumentNode* DocumentTree::makeItem(int record)
{
    Record& r = m_records[size_t(record)];
    r.item = new DocumentNode(r.spec, record);
    // A node whose children are not made yet still shows that it has some.
    r.childrenBuilt = r.children.empty();
    if (!r.childrenBuilt) r.item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return r.item;
}

DocumentNode* DocumentTree::materialize(int record)
{
    Record& r = m_records[size_t(record)];
    if (r.item) return r.item;
    // Only a node below the top level can lack its item: its parent's children are made.
    materialize(r.parent);
    buildChildren(r.parent);
    return m_records[size_t(record)].item;
}

void DocumentTree::buildChildren(int record)
{
    Record& r = m_records[size_t(record)];
    if (r.childrenBuilt || !r.item) return;
    r.childrenBuilt = true;
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(r.children.size()));
    for (int c : r.children)
        if (!m_records[size_t(c)].item) items.append(makeItem(c));
    m_records[size_t(record)].item->addChildren(items);
    m_records[size_t(record)].item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QTreeWidgetItem* DocumentTree::node(const QString& key)
{
    const int record = m_index.value(key, -1);
    return record < 0 ? nullptr : materialize(record);
}

void DocumentTree::buildAllNodes()
{
    for (int r = 0; r < int(m_records.size()); ++r)
        if (m_index.value(m_records[size_t(r)].spec.key, -1) == r && m_records[size_t(r)].item) buildChildren(r);
}

void DocumentTree::expandNode(QTreeWidgetItem* item)
{
    if (const DocumentNode* n = asNode(item)) buildChildren(n->record);
    if (item) item->setExpanded(true);
}

void DocumentTree::clearNodes()
{
    clear();
    m_records.clear();
    m_index.clear();
}

void DocumentTree::forget(int record)
{
    Record& r = m_records[size_t(record)];
    m_index.remove(r.spec.key);
    r.item = nullptr;
    r.removed = true;
    const std::vector<int> children = std::move(r.children);
    for (int c : children) forget(c);
}

void DocumentTree::removeNode(QTreeWidgetItem* item)
{
    const DocumentNode* n = asNode(item);
    if (!n || m_index.value(n->key, -1) != n->record) return;
    const int record = n->record;
    const int parent = m_records[size_t(record)].parent;
    if (parent >= 0) {
        auto& siblings = m_records[size_t(parent)].children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), record), siblings.end());
    }
    forget(record);
    delete item;
}

}   // namespace morvane
