#include "designer/editor/DocumentTree.h"

#include "platform/text/Error.h"

#include <QHeaderView>
#include <QPainter>
#include <QPixmap>

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
    } else if (kind.size() > 1 && kind[0] == QLatin1Char('S') && kind[1].isUpper()
               && kind != QLatin1String("Station") && kind != QLatin1String("Script")) {
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

} // namespace

const QStringList& elementTreeImageKeys()
{
    static const QStringList keys = {
        QStringLiteral("Document"),   QStringLiteral("Include"),          QStringLiteral("Block"),
        QStringLiteral("Parameter"),  QStringLiteral("IBlock"),           QStringLiteral("IParameter"),
        QStringLiteral("IInclude"),   QStringLiteral("Station"),          QStringLiteral("IStation"),
        QStringLiteral("SBlock"),     QStringLiteral("SParameter"),       QStringLiteral("SInclude"),
        QStringLiteral("SStation"),   QStringLiteral("BreakPoint"),       QStringLiteral("grid"),
        QStringLiteral("message"),    QStringLiteral("text"),             QStringLiteral("Parameter_static"),
        QStringLiteral("Script"),     QStringLiteral("IScript"),          QStringLiteral("SScript"),
        QStringLiteral("BosIcon"),    QStringLiteral("ParameterGroup"),   QStringLiteral("IParameterGroup"),
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

DocumentTree::DocumentTree(QWidget* parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("tvDocument"));
    setHeaderHidden(true);
    setColumnCount(1);
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    setAccessibleName(QStringLiteral("Document Explorer"));
}

QTreeWidgetItem* DocumentTree::addNode(const TreeNodeSpec& spec)
{
    if (m_nodes.contains(spec.key))
        throw orra::Error(35602, QStringLiteral("TreeView"), QStringLiteral("Key is not unique in collection"));
    QTreeWidgetItem* parent = nullptr;
    if (!spec.parentKey.isEmpty()) {
        parent = m_nodes.value(spec.parentKey);
        if (!parent) throw orra::Error(35601, QStringLiteral("TreeView"), QStringLiteral("Element not found"));
    }
    auto* item = new QTreeWidgetItem;
    item->setText(0, spec.text);
    item->setData(0, KeyRole, spec.key);
    item->setData(0, TagRole, spec.tag);
    item->setData(0, ImageRole, spec.image);
    item->setData(0, SelectedImageRole, spec.selectedImage);
    QIcon icon = elementTreeImage(spec.image);
    if (!spec.selectedImage.isEmpty()) {
        const QIcon selected = elementTreeImage(spec.selectedImage);
        if (!selected.isNull()) icon.addPixmap(selected.pixmap(16, 16), QIcon::Selected);
    }
    item->setIcon(0, icon);
    if (parent)
        parent->addChild(item);
    else
        addTopLevelItem(item);
    m_nodes.insert(spec.key, item);
    return item;
}

void DocumentTree::clearNodes()
{
    m_nodes.clear();
    clear();
}

void DocumentTree::forget(QTreeWidgetItem* item)
{
    m_nodes.remove(key(item));
    for (int i = 0; i < item->childCount(); ++i) forget(item->child(i));
}

void DocumentTree::removeNode(QTreeWidgetItem* item)
{
    if (!item) return;
    forget(item);
    delete item;
}

} // namespace morvane
