#pragma once
// What the tree-editing operations of every editor window share: the ID infix of each kind,
// the element clipboard of the designer process (one for all editor windows), the drag loop of
// a node drag and an event hook.

#include "common/Xml.h"
#include "designer/editor/DocumentTree.h"

#include <QString>
#include <memory>

namespace morvane {

// The ID infix of a kind (".", ".S", ".X", ".I"), empty for any other tag.
QString ChildIDInfix(const QString& tag);

// The element clipboard. Empty (a null node) at start; CopyToClipboard keeps a deep copy,
// independent of the document it came from.
orra::xml::Node CopiedElement();
void CopyToClipboard(orra::xml::Node element);

// Lends the clipboard another element for one paste (the dragged element itself, or a
// repository item's) and gives the previous content back when it goes.
class BorrowedClipboard {
public:
    explicit BorrowedClipboard(orra::xml::Node element);
    ~BorrowedClipboard();
    BorrowedClipboard(const BorrowedClipboard&) = delete;
    BorrowedClipboard& operator=(const BorrowedClipboard&) = delete;

private:
    std::unique_ptr<orra::xml::Document> m_keptCopy;
    orra::xml::Node m_kept;
};

}   // namespace morvane

#include "designer/shell/DesignerApplication.h"

#include <QObject>
#include <functional>

class QDrag;

namespace morvane {

// How a node drag from an element tree is carried out: by default the platform's drag loop
// (QDrag::exec); a host without one (an offscreen test) puts its own in.
using TreeDragExecutor = std::function<Qt::DropAction(QDrag*)>;
void setTreeDragExecutor(TreeDragExecutor executor);
Qt::DropAction executeTreeDrag(QDrag* drag);

// An event filter that hands the events of the objects it watches to a function (true: the
// event is consumed).
class EventHook : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<bool(QObject*, QEvent*)>;
    EventHook(QObject* parent, Handler handler) : QObject(parent), m_handler(std::move(handler)) {}

protected:
    // The handler's error is shown at this edge (the designer's error boundary); the event it
    // failed on is taken as handled.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        bool consumed = true;
        RunGuarded([&] { consumed = m_handler(watched, event); });
        return consumed;
    }

private:
    Handler m_handler;
};

}   // namespace morvane
