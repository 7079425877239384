#include "designer/editor/TreeEditing.h"

#include "platform/text/Error.h"

#include <QDrag>

namespace morvane {

namespace xml = orra::xml;

namespace {

QString markerOf(const QString& kindWord)
{
    if (kindWord == QLatin1String("Block")) return QStringLiteral(".");
    if (kindWord == QLatin1String("Include")) return QStringLiteral("I");
    if (kindWord == QLatin1String("Station")) return QStringLiteral("S");
    if (kindWord == QLatin1String("Script")) return QStringLiteral("X");
    return QString();
}

struct Clipboard {
    std::unique_ptr<xml::Document> copy; // owns the element when it is a copy
    xml::Node element;
};

Clipboard& clipboard()
{
    static Clipboard c;
    return c;
}

[[noreturn]] void overflow()
{
    throw orra::Error(6, QStringLiteral("frmOrraDevelopment"), QStringLiteral("Overflow"));
}

} // namespace

int ParseChildNumber(const QString& key, const QString& marker)
{
    const qsizetype p = marker.isEmpty() ? -1 : key.lastIndexOf(marker);
    const QString rest = key.mid(p < 0 ? 0 : p + marker.size()).trimmed();
    bool ok = false;
    const qlonglong n = rest.toLongLong(&ok);
    if (!ok) throw orra::Error(13, QStringLiteral("frmOrraDevelopment"), QStringLiteral("Type mismatch"));
    if (n < -32768 || n > 32767) overflow();
    return int(n);
}

QString ChildIDInfix(const QString& tag)
{
    if (tag == QLatin1String("Block")) return QStringLiteral(".");
    if (tag == QLatin1String("Station")) return QStringLiteral(".S");
    if (tag == QLatin1String("Script")) return QStringLiteral(".X");
    if (tag == QLatin1String("Include")) return QStringLiteral(".I");
    return QString();
}

ChildNumbers NextChildNumbers(DocumentTree* tree, QTreeWidgetItem* node, const QString& kindWord)
{
    ChildNumbers numbers;
    if (!node) return numbers;
    tree->buildChildItems(node);
    const QString marker = markerOf(kindWord);
    for (int i = 0; i < node->childCount(); ++i) {
        QTreeWidgetItem* child = node->child(i);
        if (child->text(0).startsWith(kindWord)) {
            if (numbers.nameNumber == 32767) overflow();
            ++numbers.nameNumber;
        }
        if (DocumentTree::tag(child) == kindWord) {
            const int k = ParseChildNumber(DocumentTree::key(child), marker);
            if (k >= numbers.idNumber) {
                if (k == 32767) overflow();
                numbers.idNumber = k + 1;
            }
        }
    }
    return numbers;
}

QTreeWidgetItem* ParameterGroupNode(DocumentTree* tree, QTreeWidgetItem* node, bool create)
{
    if (!node) return nullptr;
    tree->buildChildItems(node);
    for (int i = 0; i < node->childCount(); ++i) {
        const QString tag = DocumentTree::tag(node->child(i));
        if (tag == QLatin1String("ParameterGroup") || tag == QLatin1String("IParameterGroup")) return node->child(i);
    }
    if (!create) return nullptr;
    const QString key = DocumentTree::key(node);
    const TreeNodeSpec spec{key, key + QStringLiteral("_ParameterGroup"), QStringLiteral("Parameters"),
                            QStringLiteral("ParameterGroup"), QString(), QStringLiteral("ParameterGroup")};
    if (node->childCount() > 0)
        tree->insertNode(spec, DocumentTree::key(node->child(0)), DocumentTree::Previous);
    else
        tree->addNode(spec);
    return tree->node(spec.key);
}

QTreeWidgetItem* ContainerNode(QTreeWidgetItem* node)
{
    QTreeWidgetItem* n = node ? node->parent() : nullptr;
    while (n) {
        const QString t = DocumentTree::tag(n);
        if (t != QLatin1String("Parameter") && t != QLatin1String("IParameter") && t != QLatin1String("ParameterGroup")
            && t != QLatin1String("IParameterGroup"))
            return n;
        n = n->parent();
    }
    return nullptr;
}

xml::Node CopiedElement()
{
    return clipboard().element;
}

void CopyToClipboard(xml::Node element)
{
    Clipboard& c = clipboard();
    if (!element) {
        c.copy.reset();
        c.element = xml::Node();
        return;
    }
    auto copy = std::make_unique<xml::Document>();
    const xml::Node e = xml::appendCopy(copy->node(), element);
    c.copy = std::move(copy);
    c.element = e;
}

BorrowedClipboard::BorrowedClipboard(xml::Node element)
{
    Clipboard& c = clipboard();
    m_keptCopy = std::move(c.copy);
    m_kept = c.element;
    c.element = element;
}

BorrowedClipboard::~BorrowedClipboard()
{
    Clipboard& c = clipboard();
    c.copy = std::move(m_keptCopy);
    c.element = m_kept;
}

namespace {
TreeDragExecutor& treeDragExecutor()
{
    static TreeDragExecutor e;
    return e;
}
} // namespace

void setTreeDragExecutor(TreeDragExecutor executor)
{
    treeDragExecutor() = std::move(executor);
}

Qt::DropAction executeTreeDrag(QDrag* drag)
{
    if (treeDragExecutor()) return treeDragExecutor()(drag);
    return drag->exec(Qt::MoveAction | Qt::CopyAction);
}

bool IsValidParameterName(const QString& name)
{
    if (name.isEmpty()) return false;
    for (const QChar ch : name)
        if (ch.isSpace() || QStringLiteral(".|<>%$'").contains(ch)) return false;
    return true;
}

QString InvalidParameterNameMessage(const QString& name)
{
    return QStringLiteral("The name '%1' can not be a parameter name: it must not be empty nor hold blanks or "
                          "any of . | < > % $ '").arg(name);
}

} // namespace morvane
