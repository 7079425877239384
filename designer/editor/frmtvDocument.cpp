#include "designer/editor/frmtvDocument.h"

#include "designer/editor/MainWindowLink.h"
#include "designer/editor/TreeLabelEditing.h"
#include "designer/shell/DesignerFactories.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"

#include <QMenu>
#include <QMetaObject>

namespace morvane {

namespace {
QPointer<frmtvDocument>& thePane()
{
    static QPointer<frmtvDocument> pane;
    return pane;
}
const char kIndexProperty[] = "Index";
}   // namespace

frmtvDocument* frmtvDocument::instance()
{
    if (!thePane()) thePane() = new frmtvDocument;
    return thePane();
}

void frmtvDocument::registerPane()
{
    setPaneCreator(QStringLiteral("frmtvDocument"), [](QWidget* parent) -> QWidget* {
        frmtvDocument* pane = instance();
        pane->setParent(parent);
        return pane;
    });
}

frmtvDocument::frmtvDocument(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmtvDocument"));
    setWindowTitle(QStringLiteral("Document Explorer"));
    setAccessibleName(QStringLiteral("Document Explorer"));
    // Element 0: the template every new tree copies; never handed out, never shown.
    auto* tmpl = new DocumentTree(this);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(8.25);
    tmpl->setFont(font);
    tmpl->setProperty(kIndexProperty, 0);
    tmpl->setGeometry(0, 0, width(), height());
    tmpl->hide();
    m_trees.insert(0, tmpl);
}

frmtvDocument::~frmtvDocument() = default;

int frmtvDocument::UBound() const
{
    for (auto it = m_trees.constEnd(); it != m_trees.constBegin();) {
        --it;
        if (it.value()) return it.key();
    }
    return 0;
}

int frmtvDocument::indexOf(const QTreeWidget* tree) { return tree ? tree->property(kIndexProperty).toInt() : -1; }

DocumentTree* frmtvDocument::GetNewtvDocument()
{
    const int index = UBound() + 1;
    if (index > 32767) throw orra::Error(orra::kOverflow, QStringLiteral("frmtvDocument"), QStringLiteral("Overflow"));
    DocumentTree* tmpl = m_trees.value(0);
    auto* tree = new DocumentTree(this);
    tree->setProperty(kIndexProperty, index);
    tree->setFont(tmpl->font());
    tree->setGeometry(tmpl->geometry());
    tree->hide();
    m_trees.insert(index, tree);
    connectTree(tree);
    return tree;
}

void frmtvDocument::UnloadtvDocument(QTreeWidget* tree)
{
    const int index = indexOf(tree);
    if (index <= 0 || m_trees.value(index) != tree) return;
    m_trees.remove(index);
    delete tree;
}

void frmtvDocument::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmtvDocument::Form_Resize()
{
    const QRect client = contentsRect();
    for (auto it = m_trees.constBegin(); it != m_trees.constEnd(); ++it)
        if (it.value()) it.value()->setGeometry(client);
}

void frmtvDocument::connectTree(DocumentTree* tree)
{
    tree->setItemDelegate(new TreeLabelDelegate(tree));
    tree->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    connect(tree, &QTreeWidget::currentItemChanged, this, [this, tree](QTreeWidgetItem* current) {
        if (current && !tree->signalsBlocked()) forwardNodeClick(current);
    });
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree, &QWidget::customContextMenuRequested, this,
        [this, tree](const QPoint& pos) { showContextMenu(tree, pos); });
}

// The target is always the active child window: only its tree is visible, so only its tree
// can raise an event.
void frmtvDocument::forwardNodeClick(QTreeWidgetItem* node)
{
    QWidget* target = activeChildWindow();
    if (!target) return;
    try {
        if (!QMetaObject::invokeMethod(
                target, "tvDocument_NodeClick", Qt::DirectConnection, Q_ARG(QTreeWidgetItem*, node)))
            throwNoSuchMember(target, QStringLiteral("tvDocument_NodeClick"));
    } catch (const orra::Error& e) {
        orra::userInterface().messageBox(e.description(), orra::vbOKOnly);
    }
}

void frmtvDocument::showContextMenu(DocumentTree* tree, const QPoint& pos)
{
    if (!tree->itemAt(pos)) return;   // over empty space: no menu
    if (QMenu* menu = MainWindowLink().DocumentMenu()) menu->popup(tree->viewport()->mapToGlobal(pos));
}

}   // namespace morvane
