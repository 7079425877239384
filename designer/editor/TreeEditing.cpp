#include "designer/editor/TreeEditing.h"

#include <QDrag>

namespace morvane {

namespace xml = orra::xml;

namespace {

struct Clipboard {
    std::unique_ptr<xml::Document> copy;   // owns the element when it is a copy
    xml::Node element;
};

Clipboard& clipboard()
{
    static Clipboard c;
    return c;
}

}   // namespace

QString ChildIDInfix(const QString& tag)
{
    if (tag == QLatin1String("Block")) return QStringLiteral(".");
    if (tag == QLatin1String("Station")) return QStringLiteral(".S");
    if (tag == QLatin1String("Script")) return QStringLiteral(".X");
    if (tag == QLatin1String("Include")) return QStringLiteral(".I");
    return QString();
}

xml::Node CopiedElement() { return clipboard().element; }

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
}   // namespace

void setTreeDragExecutor(TreeDragExecutor executor) { treeDragExecutor() = std::move(executor); }

Qt::DropAction executeTreeDrag(QDrag* drag)
{
    if (treeDragExecutor()) return treeDragExecutor()(drag);
    return drag->exec(Qt::MoveAction | Qt::CopyAction);
}

}   // namespace morvane
