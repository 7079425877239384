#pragma once
// What the tree-editing operations of every editor window share: the numbering of new child
// elements, the parameter group node of a container, the nearest container of a node, and the
// element clipboard of the designer process (one for all editor windows).

#include "common/Xml.h"
#include "designer/editor/DocumentTree.h"

#include <QString>
#include <memory>

namespace morvane {

// The numbers for a new child of the kind word ("Block", "Station", "Script", "Include") under
// node: nameNumber is 1 plus the count of children whose text begins with the word, idNumber
// one above the highest number of that kind among the children (0 when there is none).
// Throws orra::Error 13 for a child key whose number is not a number, 6 beyond 16 bits.
struct ChildNumbers {
    int nameNumber = 1;
    int idNumber = 0;
};
ChildNumbers NextChildNumbers(DocumentTree* tree, QTreeWidgetItem* node, const QString& kindWord);
// The number after the last occurrence of marker in key, as a 16-bit signed number.
int ParseChildNumber(const QString& key, const QString& marker);
// The ID infix of a kind (".", ".S", ".X", ".I"), empty for any other tag.
QString ChildIDInfix(const QString& tag);

// The parameter group node of node (Tag "ParameterGroup" or "IParameterGroup"); with create,
// a missing group is made as node's first child (Key node's Key & "_ParameterGroup", Text
// "Parameters"). Null when there is none and create is false.
QTreeWidgetItem* ParameterGroupNode(DocumentTree* tree, QTreeWidgetItem* node, bool create);

// The nearest ancestor of node that is not a parameter or parameter-group node, or null.
QTreeWidgetItem* ContainerNode(QTreeWidgetItem* node);

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

// The rule for a parameter name: not empty, no blank and none of . | < > % $ ' (they would
// break its ID, its placeholder or the statements that carry it).
bool IsValidParameterName(const QString& name);
QString InvalidParameterNameMessage(const QString& name);

} // namespace morvane

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
public:
    using Handler = std::function<bool(QObject*, QEvent*)>;
    EventHook(QObject* parent, Handler handler) : QObject(parent), m_handler(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override { return m_handler(watched, event); }

private:
    Handler m_handler;
};

} // namespace morvane
