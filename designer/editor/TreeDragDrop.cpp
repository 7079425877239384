// The element tree's mouse and key behaviour in the editor window: the Delete key, node drags within the tree (a move)
// and onto the text editors, and drops from the catalogue tree (an include, "T" nodes), the repository tree (a paste,
// "K" nodes) and the element tree itself.

#include "designer/editor/frmOrraDevelopment.h"

#include "common/QueryDocument.h"
#include "designer/editor/TreeEditing.h"
#include "designer/editor/MainWindowLink.h"
#include "platform/db/Connection.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"

#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>

namespace morvane {

namespace xml = orra::xml;

namespace {

const QString kID = QStringLiteral("ID");

bool tagIn(const QString& tag, std::initializer_list<const char*> tags)
{
    for (const char* t : tags)
        if (tag == QLatin1String(t)) return true;
    return false;
}

// True when node is ancestor itself or lies below it.
bool isWithin(QTreeWidgetItem* node, QTreeWidgetItem* ancestor)
{
    for (QTreeWidgetItem* n = node; n; n = n->parent())
        if (n == ancestor) return true;
    return false;
}

// The catalogue pane's dragged node (its key), read by name from the pane that owns source.
QString catalogueDragNode(QObject* source)
{
    for (QObject* o = source; o; o = o->parent()) {
        const QVariant v = o->property("dragNode");
        if (v.isValid()) return v.toString();
    }
    return QString();
}

}   // namespace

void frmOrraDevelopment::installTreeEditing()
{
    if (!m_tree || m_tree->property("frmOrraDevelopmentEditing").toBool()) return;
    m_tree->setProperty("frmOrraDevelopmentEditing", true);
    m_tree->setAcceptDrops(true);
    m_tree->viewport()->setAcceptDrops(true);
    // The tree as a plain object: its events come also while it is being destroyed.
    QObject* tree = m_tree.data();
    auto* hook = new EventHook(m_tree, [this, tree](QObject* watched, QEvent* event) {
        if (watched == tree) {
            if (event->type() == QEvent::KeyPress) {
                auto* ke = static_cast<QKeyEvent*>(event);
                if (ke->key() == Qt::Key_Delete) {
                    tvDocument_KeyDown(46, int(ke->modifiers() >> 25) & 7);
                    return true;
                }
            }
            return false;
        }
        return treeViewportEvent(event);
    });
    m_tree->installEventFilter(hook);
    m_tree->viewport()->installEventFilter(hook);
}

namespace {
// VB's shift mask: 1 Shift, 2 Ctrl, 4 Alt.
int shiftMask(Qt::KeyboardModifiers m)
{
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}
int buttonNumber(Qt::MouseButton b)
{
    return b == Qt::LeftButton ? 1 : b == Qt::RightButton ? 2 : b == Qt::MiddleButton ? 4 : 0;
}
}   // namespace

bool frmOrraDevelopment::treeViewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* me = static_cast<QMouseEvent*>(event);
        tvDocument_MouseDown(buttonNumber(me->button()), shiftMask(me->modifiers()), me->position().toPoint());
        return false;
    }
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(event);
        const int button = me->buttons() == Qt::LeftButton ? 1 : 0;
        tvDocument_MouseMove(button, shiftMask(me->modifiers()), me->position().toPoint());
        // While a press may still become a drag, the view does not select as the mouse moves.
        return button == 1;
    }
    case QEvent::MouseButtonRelease:
        tvDocument_MouseUp();
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* de = static_cast<QDragMoveEvent*>(event);
        auto* source = qobject_cast<QTreeWidget*>(de->source());
        if (!source || !tagIn(source->objectName(), {"tvOrra", "tvDocument", "tvRepository"}) || StructureLocked()) {
            de->ignore();
            return true;
        }
        tvDocument_DragOver(source, de->position().toPoint());
        de->acceptProposedAction();
        return true;
    }
    case QEvent::DragLeave:
        return true;
    case QEvent::Drop: {
        auto* de = static_cast<QDropEvent*>(event);
        tvDocument_DragDrop(de->source(), de->position().toPoint());
        de->acceptProposedAction();
        return true;
    }
    default:
        return false;
    }
}

void frmOrraDevelopment::tvDocument_KeyDown(int keyCode, int /*shift*/)
{
    if (keyCode != 46 || !m_tree || !m_tree->currentItem()) return;
    if (!MainWindowLink().ToolbarButtonEnabled(QStringLiteral("Delete"))) return;
    RemoveElement();
}

void frmOrraDevelopment::tvDocument_MouseDown(int button, int /*shift*/, QPoint pos)
{
    if (!m_tree) return;
    m_nodeSelectedAtPress = DocumentTree::key(m_tree->currentItem());
    m_draggingNode = false;
    m_draggingIncluded = false;
    if (button == 1) {
        m_pressedNode = DocumentTree::key(m_tree->itemAt(pos));
        m_pressPos = pos;
    } else if (button == 2) {
        if (QTreeWidgetItem* node = m_tree->itemAt(pos)) {
            m_tree->setCurrentItem(node);
            tvDocument_NodeClick(node);
        }
    }
}

void frmOrraDevelopment::tvDocument_MouseMove(int button, int shift, QPoint pos)
{
    if (button != 1 || !m_tree) return;
    m_dragShift = shift;
    // A node dragged while the structure is locked could only move or insert: no drag starts.
    if (StructureLocked()) return;
    QTreeWidgetItem* pressed = PressedNode();
    if (m_draggingNode || !pressed) return;
    const QString tag = DocumentTree::tag(pressed);
    if (!tagIn(tag,
            {"Parameter", "Block", "Station", "Script", "Include", "IParameter", "IBlock", "IStation", "IScript",
                "IInclude"}))
        return;
    // The threshold is 50 twips either way.
    const int dx = std::abs(pos.x() - m_pressPos.x()) * 1440 / qMax(1, m_tree->logicalDpiX());
    const int dy = std::abs(pos.y() - m_pressPos.y()) * 1440 / qMax(1, m_tree->logicalDpiY());
    if (dx <= 50 && dy <= 50) return;
    m_draggingNode = true;
    m_draggingIncluded = tag.startsWith(QLatin1Char('I'));
    if (QTreeWidgetItem* before = m_nodeSelectedAtPress.isEmpty() ? nullptr : m_tree->node(m_nodeSelectedAtPress))
        m_tree->setCurrentItem(before);
    auto* drag = new QDrag(m_tree);
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("application/x-orra-tree-node"), DocumentTree::key(pressed).toUtf8());
    drag->setMimeData(mime);
    drag->setPixmap(pressed->icon(0).pixmap(16, 16));
    // Over a text editor (which takes the drop as a copy) the drag shows the element tree's
    // drop image; elsewhere the node's own.
    drag->setDragCursor(elementTreeImage(QStringLiteral("BosIcon")).pixmap(16, 16), Qt::CopyAction);
    m_treeDragData = mime;
    executeTreeDrag(drag);
    m_treeDragData = nullptr;
    drag->deleteLater();
}

void frmOrraDevelopment::tvDocument_MouseUp()
{
    m_pressPos = QPoint();
    m_draggingNode = false;
    m_draggingIncluded = false;
}

void frmOrraDevelopment::tvDocument_DragOver(QObject* source, QPoint pos)
{
    auto* tree = qobject_cast<QTreeWidget*>(source);
    if (!m_tree || !tree || !tagIn(tree->objectName(), {"tvOrra", "tvDocument", "tvRepository"})) return;
    m_dropHighlight = DocumentTree::key(m_tree->itemAt(pos));
}

void frmOrraDevelopment::tvDocument_DragDrop(QObject* source, QPoint /*pos*/)
{
    FinishOpenEdits();
    m_draggingNode = false;
    auto* tree = qobject_cast<QTreeWidget*>(source);
    if (!tree || !m_tree || !m_document) return;
    if (StructureLocked()) {
        m_dropHighlight.clear();
        return;
    }
    QTreeWidgetItem* D = DropHighlight();
    const QString dTag = DocumentTree::tag(D);
    const QString name = tree->objectName();
    if (name == QLatin1String("tvOrra")) {
        const QString dragged = catalogueDragNode(tree);
        long number = 0;
        if (D && tagIn(dTag, {"Block", "Document"}) && dragged.startsWith(QLatin1Char('T'))
            && orra::ParseWholeNumber(dragged.mid(1), number)) {
            tvDocument_NodeClick(D);
            AddInclude(D, number);
        }
        m_dropHighlight.clear();
    } else if (name == QLatin1String("tvRepository")) {
        const QString dragged = catalogueDragNode(tree);
        long item = 0;
        if (D && tagIn(dTag, {"Block", "Document", "ParameterGroup"}) && dragged.startsWith(QLatin1Char('K'))
            && orra::ParseWholeNumber(dragged.mid(1), item)) {
            try {
                tvDocument_NodeClick(D);
                orra::db::RecordsetPtr rs =
                    catalogue()->execute(QStringLiteral("select SQLTxt from %1..tbOrraRepository where ID=%2")
                                             .arg(catalogueDatabase())
                                             .arg(item));
                // An item deleted meanwhile leaves the document and the clipboard as they were.
                if (rs && rs->isOpen() && !rs->isEOF()) {
                    xml::Document stored;
                    const bool loaded = stored.loadXML(rs->value(QStringLiteral("SQLTxt")).toString());
                    rs.reset();
                    if (loaded && stored.documentElement()) {
                        const BorrowedClipboard borrowed(stored.documentElement());
                        m_tree->setCurrentItem(D);
                        PasteElement();
                    }
                }
            } catch (const orra::Error& e) {
                showError(e.description());
            }
        }
        m_dropHighlight.clear();
    } else if (name == QLatin1String("tvDocument")) {
        if (m_draggingIncluded) return;
        QTreeWidgetItem* P = PressedNode();
        if (D && P && tagIn(dTag, {"Block", "Document", "ParameterGroup"}) && !isWithin(D, P)
            && tagIn(DocumentTree::tag(P), {"Parameter", "Block", "Station", "Script", "Include"})) {
            const QString pressedKey = DocumentTree::key(P);
            const xml::Node dragged = elementByID(pressedKey);
            if (dragged) {
                bool pasted = false;
                {
                    const BorrowedClipboard borrowed(dragged);
                    tvDocument_NodeClick(D);
                    m_tree->setCurrentItem(D);
                    pasted = pasteInto(true);
                }
                // The dragged element by its ID again: the paste may have asked the author.
                const xml::Node moved = pasted ? elementByID(pressedKey) : xml::Node();
                if (moved) {
                    QTreeWidgetItem* old = m_tree->node(pressedKey);
                    QTreeWidgetItem* group = old ? old->parent() : nullptr;
                    const bool lastOfGroup =
                        xml::hasTag(moved, orra::tags::Parameter) && group && group->childCount() == 1;
                    removeElementAndNode(moved, lastOfGroup ? group : old);
                }
            }
        }
        m_dropHighlight.clear();
    }
}

}   // namespace morvane
