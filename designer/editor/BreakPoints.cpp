// Break points of the element tree and the looks of its nodes (normal, break point, running).

#include "designer/editor/DebugState.h"
#include "designer/editor/DocumentTree.h"

#include <QFont>

namespace morvane {

namespace {

bool canBreak(const QString& tag)
{
    static const QStringList tags{QStringLiteral("Block"), QStringLiteral("IBlock"), QStringLiteral("Include"),
        QStringLiteral("IInclude"), QStringLiteral("Script"), QStringLiteral("IScript"), QStringLiteral("Document")};
    return tags.contains(tag);
}

// The selected-state picture of a node kind in its normal look.
QString normalSelectedImage(const QString& tag)
{
    if (tag == QLatin1String("Block") || tag == QLatin1String("IBlock")) return QStringLiteral("SBlock");
    if (tag == QLatin1String("Include") || tag == QLatin1String("IInclude")) return QStringLiteral("SInclude");
    if (tag == QLatin1String("Script") || tag == QLatin1String("IScript")) return QStringLiteral("SScript");
    return QStringLiteral("Document");
}

void setImages(QTreeWidgetItem* item, const QString& image, const QString& selectedImage)
{
    if (item->type() != DocumentNode::Type) return;
    auto* node = static_cast<DocumentNode*>(item);
    node->image = image;
    node->selectedImage = selectedImage;
    QIcon icon = elementTreeImage(image);
    const QIcon selected = elementTreeImage(selectedImage);
    if (!selected.isNull()) icon.addPixmap(selected.pixmap(16, 16), QIcon::Selected);
    node->setIcon(0, icon);
}

}   // namespace

frmOrraDevelopment::DebugState& frmOrraDevelopment::dbg()
{
    if (!m_dbg) m_dbg = std::make_shared<DebugState>();
    return *m_dbg;
}

QStringList frmOrraDevelopment::BreakPoints() const { return m_dbg ? m_dbg->breakPoints : QStringList(); }

bool frmOrraDevelopment::IsBreakPoint(const QString& key) const { return m_dbg && m_dbg->breakPoints.contains(key); }

// The node of an element the run names; null when the tree has none (a stale or foreign ID).
QTreeWidgetItem* frmOrraDevelopment::runNode(const QString& id)
{
    if (!m_tree || id.isEmpty() || !m_tree->hasNode(id)) return nullptr;
    return m_tree->node(id);
}

void frmOrraDevelopment::ApplyColours(QTreeWidgetItem* node, const QColor& back, const QColor& fore, bool bold)
{
    if (!node) return;
    node->setBackground(0, back);
    node->setForeground(0, fore);
    QFont font = node->font(0);
    font.setBold(bold);
    node->setFont(0, font);
}

void frmOrraDevelopment::ApplyNormalLook(QTreeWidgetItem* node)
{
    if (!node) return;
    const QString tag = DocumentTree::tag(node);
    setImages(node, tag, normalSelectedImage(tag));
    ApplyColours(node, QColor(255, 255, 255), QColor(0, 0, 0), false);
}

void frmOrraDevelopment::ApplyBreakPointLook(QTreeWidgetItem* node)
{
    if (!node) return;
    setImages(node, QStringLiteral("BreakPoint"), QStringLiteral("BreakPoint"));
    ApplyColours(node, QColor(128, 0, 0), QColor(255, 255, 255), true);
}

void frmOrraDevelopment::CheckBreakPoint()
{
    QTreeWidgetItem* node = m_tree ? m_tree->currentItem() : nullptr;
    if (!node || !canBreak(DocumentTree::tag(node))) return;
    const QString key = DocumentTree::key(node);
    DebugState& d = dbg();
    if (IsBreakPoint(key)) {
        ApplyNormalLook(node);
        d.breakPoints.removeAll(key);
    } else {
        d.breakPoints.append(key);
        ApplyBreakPointLook(node);
    }
}

void frmOrraDevelopment::RemoveAllBreakPoints()
{
    DebugState& d = dbg();
    for (const QString& key : std::as_const(d.breakPoints)) {
        QTreeWidgetItem* node = runNode(key);
        if (node && canBreak(DocumentTree::tag(node))) ApplyNormalLook(node);
    }
    d.breakPoints.clear();
}

// After a rebuild of the tree. A break point whose element is not in the document any more
// (a reload without it) goes: it would mark nothing and stop a later element of that ID.
void frmOrraDevelopment::PopulateBreakPoints()
{
    if (!m_dbg) return;
    m_dbg->breakPoints.removeIf([this](const QString& key) { return !runNode(key); });
    for (const QString& key : std::as_const(m_dbg->breakPoints)) ApplyBreakPointLook(runNode(key));
}

}   // namespace morvane
