// The element builders: a new, empty Block, Station, Script or Parameter in the document and
// its node in the element tree in one step, the new node selected, shown and open for its
// name. Also the numbering of new children and the parameter group node, which paste and the
// include editor share.

#include "common/QueryDocument.h"
#include "designer/editor/DocumentTree.h"
#include "designer/editor/frmOrraDevelopment.h"
#include "platform/host/Error.h"
#include "platform/host/ErrorNumbers.h"

#include <QSignalBlocker>
#include <QTreeWidgetItem>
#include <algorithm>
#include <cmath>
#include <optional>

namespace morvane {

namespace xml = orra::xml;

namespace {

const QString kNewParameter = QStringLiteral("New_Parameter");

[[noreturn]] void overflow()
{
    throw orra::Error(orra::kOverflow, QStringLiteral("frmOrraDevelopment"), QStringLiteral("Overflow"));
}

// A whole number as a 16-bit signed one, rounded to the nearest with halves to even.
int toInteger16(double value)
{
    const double rounded = std::nearbyint(value);   // the default rounding mode: halves to even
    if (!std::isfinite(rounded) || rounded < -32768 || rounded > 32767) overflow();
    return int(rounded);
}

// The number a text reads as (surrounding blanks allowed), or nothing.
std::optional<double> readNumber(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

bool isContainerTag(const QString& tag) { return tag == QLatin1String("Block") || tag == QLatin1String("Document"); }

}   // namespace

int frmOrraDevelopment::ParseChildNumber(const QString& key, const QString& marker)
{
    const qsizetype p = key.lastIndexOf(marker);
    const QString rest = key.mid(p < 0 ? 0 : p + marker.size());
    const std::optional<double> n = readNumber(rest);
    if (!n)
        throw orra::Error(orra::kTypeMismatch, QStringLiteral("frmOrraDevelopment"), QStringLiteral("Type mismatch"));
    return toInteger16(*n);
}

void frmOrraDevelopment::GetNextChildNumber(
    QTreeWidgetItem* node, int& nameNumber, int& idNumber, const QString& kind) const
{
    nameNumber = 1;
    idNumber = 0;
    if (!node) return;
    QString marker;
    if (kind == QLatin1String("Block"))
        marker = QStringLiteral(".");
    else if (kind == QLatin1String("Include"))
        marker = QStringLiteral("I");
    else if (kind == QLatin1String("Station"))
        marker = QStringLiteral("S");
    else if (kind == QLatin1String("Script"))
        marker = QStringLiteral("X");
    if (m_tree) m_tree->buildChildItems(node);
    for (int i = 0; i < node->childCount(); ++i) {
        const QTreeWidgetItem* child = node->child(i);
        if (child->text(0).startsWith(kind)) {
            if (nameNumber == 32767) overflow();
            ++nameNumber;
        }
        if (DocumentTree::tag(child) == kind) {
            const int k = ParseChildNumber(DocumentTree::key(child), marker);
            if (k >= idNumber) {
                if (k == 32767) overflow();
                idNumber = k + 1;
            }
        }
    }
}

QTreeWidgetItem* frmOrraDevelopment::AddParameterGroupNode(QTreeWidgetItem* node, bool create)
{
    if (!node || !m_tree) return nullptr;
    m_tree->buildChildItems(node);
    for (int i = 0; i < node->childCount(); ++i) {
        const QString tag = DocumentTree::tag(node->child(i));
        if (tag == QLatin1String("ParameterGroup") || tag == QLatin1String("IParameterGroup")) return node->child(i);
    }
    if (!create) return nullptr;
    const QString key = DocumentTree::key(node) + QStringLiteral("_ParameterGroup");
    const TreeNodeSpec spec{QString(), key, QStringLiteral("Parameters"), QStringLiteral("ParameterGroup"), QString(),
        QStringLiteral("ParameterGroup")};
    if (node->childCount() > 0)
        m_tree->insertNode(spec, DocumentTree::key(node->child(0)), DocumentTree::Previous);
    else
        m_tree->insertNode(spec, DocumentTree::key(node), DocumentTree::Child);
    return m_tree->node(key);
}

void frmOrraDevelopment::AddBlock() { addContainerChild(QStringLiteral("Block"), QStringLiteral(".")); }
void frmOrraDevelopment::AddStation() { addContainerChild(QStringLiteral("Station"), QStringLiteral(".S")); }
void frmOrraDevelopment::AddScript() { addContainerChild(QStringLiteral("Script"), QStringLiteral(".X")); }

// The node that receives a new element for the selected node: the selected Block or Document
// itself, else the Block or Document that holds it. Null when there is none, and for an
// included document's nodes, which take no new elements.
static QTreeWidgetItem* builderTarget(const frmOrraDevelopment* w, QTreeWidgetItem* selected)
{
    if (!selected) return nullptr;
    QTreeWidgetItem* target =
        isContainerTag(DocumentTree::tag(selected)) ? selected : w->FindParameterGroupNode(selected);
    return target && isContainerTag(DocumentTree::tag(target)) ? target : nullptr;
}

// The element of a Block or Document node.
static xml::Node elementOf(const xml::Document& doc, QTreeWidgetItem* node)
{
    const xml::Node root = doc.documentElement();
    const QString key = DocumentTree::key(node);
    return xml::attribute(root, QStringLiteral("ID")) == key
        ? root
        : orra::FindElementByAttribute(root, QStringLiteral("ID"), key);
}

void frmOrraDevelopment::addContainerChild(const QString& kind, const QString& infix)
{
    FinishOpenEdits();
    if (!m_tree || !m_document || StructureLocked()) return;
    QTreeWidgetItem* target = builderTarget(this, m_tree->currentItem());
    if (!target) return;
    const xml::Node container = elementOf(*m_document, target);
    if (!container) return;

    int nameNumber = 0, idNumber = 0;
    GetNextChildNumber(target, nameNumber, idNumber, kind);
    const QString name = kind + QString::number(nameNumber);
    const QString targetKey = DocumentTree::key(target);
    const QString id = targetKey + infix + QString::number(idNumber);

    m_tree->insertNode({QString(), id, name, kind, QStringLiteral("S") + kind, kind}, targetKey, DocumentTree::Child);

    xml::Node element = xml::appendElement(container, kind);
    xml::appendCData(element, QString());
    xml::setAttribute(element, QStringLiteral("ID"), id);
    xml::setAttribute(element, QStringLiteral("Name"), name);
    if (kind == QLatin1String("Script"))
        xml::setAttribute(element, QStringLiteral("Language"), QStringLiteral("VBScript"));

    m_documentChanged = true;
    m_currentElementID = id;

    QTreeWidgetItem* node = m_tree->node(id);
    m_tree->expandNode(target);
    {
        const QSignalBlocker block(m_tree);
        m_tree->setCurrentItem(node);
    }
    tvDocument_NodeClick(node);
    m_tree->scrollToItem(node);
    m_tree->editItem(node);
}

void frmOrraDevelopment::AddParameter()
{
    FinishOpenEdits();
    if (!m_tree || !m_document || StructureLocked()) return;
    QTreeWidgetItem* target = builderTarget(this, m_tree->currentItem());
    if (!target) return;
    const xml::Node owner = elementOf(*m_document, target);
    if (!owner) return;

    // The numbering first: a number that does not fit changes nothing.
    QTreeWidgetItem* group = AddParameterGroupNode(target, false);
    QString lastParameterKey;
    int highest = 0;
    if (group) {
        m_tree->buildChildItems(group);
        for (int i = 0; i < group->childCount(); ++i) {
            const QTreeWidgetItem* child = group->child(i);
            if (DocumentTree::tag(child) == QLatin1String("Parameter")) lastParameterKey = DocumentTree::key(child);
            const QString text = child->text(0);
            if (!text.startsWith(kNewParameter)) continue;
            if (const std::optional<double> n = readNumber(text.mid(kNewParameter.size())))
                highest = std::max(highest, toInteger16(*n));
        }
    }
    if (highest == 32767) overflow();
    const QString name = kNewParameter + QString::number(highest + 1);
    const QString id = DocumentTree::key(target) + QStringLiteral(".P_") + name;

    if (!group) group = AddParameterGroupNode(target, true);
    const TreeNodeSpec spec{
        QString(), id, name, QStringLiteral("Parameter"), QStringLiteral("SParameter"), QStringLiteral("Parameter")};
    if (!lastParameterKey.isEmpty())
        m_tree->insertNode(spec, lastParameterKey, DocumentTree::Next);
    else if (group->childCount() > 0)
        m_tree->insertNode(spec, DocumentTree::key(group->child(0)), DocumentTree::First);
    else
        m_tree->insertNode(spec, DocumentTree::key(group), DocumentTree::Child);
    QTreeWidgetItem* node = m_tree->node(id);
    m_tree->expandNode(target);
    m_tree->expandNode(group);
    {
        const QSignalBlocker block(m_tree);
        m_tree->setCurrentItem(node);
    }

    CreateParameterElement(owner, id, name, QString(), QString(), QStringLiteral("text"), QString(), QString(),
        QString(), QStringLiteral("dynamic"));
    m_documentChanged = true;
    tvDocument_NodeClick(node);
    m_tree->scrollToItem(node);
    m_tree->editItem(node);
}

}   // namespace morvane
