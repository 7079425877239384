#include "designer/catalogue/CatalogueCommands.h"

#include "common/Connections.h"
#include "common/Permissions.h"
#include "common/Xml.h"
#include "designer/catalogue/CatalogueCommandSupport.h"
#include "designer/catalogue/frmpbOrra.h"
#include "designer/shell/frmMDIMain.h"
#include "designer/shell/mdMain.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"
#include "platform/widgets/KeyedTree.h"

#include <QAction>
#include <QLineEdit>
#include <QPointer>
#include <QSet>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTimer>

Q_DECLARE_OPAQUE_POINTER(orra::xml::Document*)

namespace morvane {

using orra::Error;
using orra::KeyedTree;

using namespace catcmd;

namespace {

const QString kSource = QStringLiteral("Morvane");

// --- Label editing --------------------------------------------------------------------------

// Commits an edited label through the tree's store; a refused name keeps the old text and the
// label opens for editing again.
class LabelEditDelegate : public QStyledItemDelegate {
public:
    LabelEditDelegate(frmpbOrra& pane, KeyedTree* tree) : QStyledItemDelegate(tree), m_pane(&pane), m_tree(tree) {}

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        auto* line = qobject_cast<QLineEdit*>(editor);
        QTreeWidgetItem* node = m_tree->itemFromIndex(index);
        // A pane on its way out (its editor closing with it) is no pane any more: nothing is stored.
        frmpbOrra* owner = qobject_cast<frmpbOrra*>(m_pane.get());
        if (!line || !node || !owner) return;
        const QString newName = line->text();
        if (newName == node->text(0)) return;
        const bool stored = m_tree == owner->tvOrra() ? tvOrra_AfterLabelEdit(*owner, node, newName)
                                                      : tvRepository_AfterLabelEdit(node, newName);
        if (stored) {
            model->setData(index, newName, Qt::EditRole);
            return;
        }
        QPointer<frmpbOrra> pane = owner;
        KeyedTree* tree = m_tree;
        const QString key = KeyedTree::key(node);
        QTimer::singleShot(0, tree, [pane, tree, key] {
            if (pane) StartLabelEdit(*pane, tree, tree->node(key));
        });
    }

private:
    QPointer<QObject> m_pane;
    KeyedTree* m_tree;
};

// --- Moves in the tree ----------------------------------------------------------------------

struct NodeCopy {
    QString key, text, image, selectedImage;
    QVariant tag;
    bool checked = false;
    QRgb colour = 0;
    bool expanded = false;
    QList<NodeCopy> children;
};

NodeCopy copyOf(const QTreeWidgetItem* node)
{
    NodeCopy c{KeyedTree::key(node), node->text(0), KeyedTree::image(node), KeyedTree::selectedImage(node),
        KeyedTree::tag(node), KeyedTree::checked(node), KeyedTree::foreColor(node), node->isExpanded(), {}};
    for (int i = 0; i < node->childCount(); ++i) c.children.append(copyOf(node->child(i)));
    return c;
}

QTreeWidgetItem* restore(KeyedTree& tree, QTreeWidgetItem* parent, const NodeCopy& c)
{
    QTreeWidgetItem* node = tree.addNode(parent, c.key, c.text, c.image, c.selectedImage);
    KeyedTree::setTag(node, c.tag);
    tree.setChecked(node, c.checked);
    KeyedTree::setForeColor(node, c.colour);
    for (const NodeCopy& child : c.children) restore(tree, node, child);
    node->setExpanded(c.expanded);
    return node;
}

// Moves node with its sub-tree below newParent; the keys stay.
QTreeWidgetItem* moveNode(KeyedTree& tree, QTreeWidgetItem* node, QTreeWidgetItem* newParent)
{
    const NodeCopy c = copyOf(node);
    tree.removeNode(c.key);
    QTreeWidgetItem* moved = restore(tree, newParent, c);
    if (newParent) newParent->setExpanded(true);
    return moved;
}

// True when category candidate is category ancestor or lies below it in the catalogue.
bool isSelfOrBelow(long candidate, long ancestor)
{
    QSet<long> seen;
    for (long id = candidate; id != 0 && !seen.contains(id);) {
        if (id == ancestor) return true;
        seen.insert(id);
        const QVariant parent =
            scalar(QStringLiteral("select ParentID from %1 where ID=?").arg(table("tbOrraCategory")), {qlonglong(id)});
        if (!parent.isValid() || parent.isNull()) return false;
        id = long(parent.toLongLong());
    }
    return false;
}

// --- Rename ---------------------------------------------------------------------------------

// Sets Name = "Include:" & name on every Include of doc that includes document includedId; the
// IDs of the changed elements are returned.
QStringList renameIncludes(orra::xml::Node node, long includedId, const QString& name)
{
    QStringList changed;
    const QString docId = QString::number(includedId);
    std::vector<orra::xml::Node> pending{node};
    while (!pending.empty()) {
        orra::xml::Node n = pending.back();
        pending.pop_back();
        if (orra::xml::hasTag(n, "Include") && orra::xml::attribute(n, QStringLiteral("DocID")) == docId) {
            orra::xml::setAttribute(n, QStringLiteral("Name"), QStringLiteral("Include:") + name);
            changed.append(orra::xml::attribute(n, QStringLiteral("ID")));
        }
        const std::vector<orra::xml::Node> children = orra::xml::childNodes(n);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            if (orra::xml::isElement(*it)) pending.push_back(*it);
    }
    return changed;
}

void renameCategory(long id, const QString& newName)
{
    Transaction t;
    t.con().execute(QStringLiteral("update t set t.Name=? from %1 t where ID=?").arg(table("tbOrraCategory")),
        {newName, qlonglong(id)});
    checkSumOrThrow(UpdateCategoryCheckSum(id), id, "category");
    t.commit();
}

void renameDocument(long id, const QString& newName)
{
    // The documents that include this one, once each.
    QList<long> includers;
    for (long p : column(QStringLiteral("select ObjID from tbOrraRelations where RelObjID=?"), {qlonglong(id)}))
        if (!includers.contains(p) && p != id) includers.append(p);

    DocumentLocks locks;
    locks.take(id);
    for (long p : std::as_const(includers)) {
        if (!hasDocRight(p, orra::rightChange))
            throw Error(orra::kSystemError, kSource,
                QStringLiteral("Permission Denied : You could not change document '%1', which includes this document")
                    .arg(documentName(p)));
        locks.take(p);
    }

    Transaction t;
    t.con().execute(
        QStringLiteral("update t set t.Name=? from %1 t where ID=?").arg(table("tbOrraSQL")), {newName, qlonglong(id)});
    checkSumOrThrow(UpdateDocumentCheckSum(id), id, "document");
    for (long p : std::as_const(includers)) {
        const QString stored =
            scalar(QStringLiteral("select sqltxt from %1 where ID=?").arg(table("tbOrraSQL")), {qlonglong(p)})
                .toString();
        orra::xml::Document doc;
        if (!doc.loadXML(stored))
            throw Error(orra::kSystemError, kSource,
                QStringLiteral("The document '%1', which includes this document, could not be read: %2")
                    .arg(documentName(p), doc.parseError().reason));
        renameIncludes(doc.node(), id, newName);
        t.con().execute(QStringLiteral("update t set t.SQLTxt=? from %1 t where ID=?").arg(table("tbOrraSQL")),
            {doc.xml(), qlonglong(p)});
        checkSumOrThrow(UpdateDocumentCheckSum(p), p, "document");
    }
    t.commit();

    // The document's own window and the open windows of its includers show the new name at
    // once; they stay as changed as they were.
    if (QWidget* window = FindDocumentWindow(id, QString(), false)) nameWindow(window, newName);
    for (long p : std::as_const(includers)) {
        QWidget* window = FindDocumentWindow(p, QString(), false);
        if (!window) continue;
        auto* doc = window->property("Document").value<orra::xml::Document*>();
        if (!doc) continue;
        for (const QString& elementId : renameIncludes(doc->node(), id, newName))
            QMetaObject::invokeMethod(window, "SetNodeText", Qt::DirectConnection, Q_ARG(QString, elementId),
                Q_ARG(QString, QStringLiteral("Include:") + newName));
    }
}

// --- Delete ---------------------------------------------------------------------------------

// What a delete removes, planned before anything is written.
struct DeletePlan {
    QList<long> documents;    // in the order they are deleted
    QList<long> categories;   // bottom-up
};

// The rows in which document id includes others; they go before any document is deleted, so
// that documents deleted together may include one another.
void deleteIncludeRows(orra::db::Connection& con, long id)
{
    con.execute(QStringLiteral("delete from %1 where ObjID=?").arg(table("tbOrraRelations")), {qlonglong(id)});
}

void deleteDocumentRows(orra::db::Connection& con, long id)
{
    const qlonglong v = id;
    con.execute(QStringLiteral("delete from %1 where ParentID in (select ID from %2 where DocID=?)")
                    .arg(table("tbOrraCallSchemaDetail"), table("tbOrraCallSchema")),
        {v});
    con.execute(QStringLiteral("delete from %1 where DocID=?").arg(table("tbOrraCallSchema")), {v});
    deleteIncludeRows(con, id);
    long deleted = -1;
    con.execute(QStringLiteral("delete from %1 where ID=?").arg(table("tbOrraSQL")), {v}, &deleted);
    if (deleted == 0)
        throw Error(
            orra::kSystemError, kSource, QStringLiteral("The document %1 is no longer in the catalogue.").arg(id));
    // The permission rows go after the document: the Delete right does not manage them, and a
    // later document of the same number must not inherit them.
    con.execute(QStringLiteral("delete from tbOrraDocPermissions where OrraID=?"), {v});
}

void deleteCategoryRows(orra::db::Connection& con, long id)
{
    con.execute(QStringLiteral("delete from %1 where ID=?").arg(table("tbOrraCategory")), {qlonglong(id)});
    con.execute(QStringLiteral("delete from tbOrraCategoryPermissions where CategoryID=?"), {qlonglong(id)});
}

// The ID and Name of every row that sql (one bound number) gives on the catalogue.
QList<QPair<long, QString>> idNameRows(const QString& sql, long id)
{
    orra::db::RecordsetPtr rs = catalogue().execute(sql, {qlonglong(id)});
    QList<QPair<long, QString>> rows;
    for (; rs && rs->isOpen() && !rs->isEOF(); rs->MoveNext())
        rows.append({long(rs->value(0).toLongLong()), rs->value(1).toString()});
    return rows;
}

// The documents of category id that may be deleted go into the plan (their locks taken); true
// when every one of them may.
bool planCategoryDocuments(long categoryId, DeletePlan& plan, DocumentLocks& locks)
{
    bool all = true;
    const QList<QPair<long, QString>> rows =
        idNameRows(QStringLiteral("select ID,Name from %1 where CategoryID=?").arg(table("tbOrraSQL")), categoryId);
    for (const auto& [id, name] : std::as_const(rows)) {
        if (!hasDocRight(id, orra::rightDelete)) {
            say(QStringLiteral("Permission Denied : You could not delete document '") + name.trimmed()
                + QLatin1Char('\''));
            all = false;
            continue;
        }
        try {
            locks.take(id);
        } catch (const Error& e) {
            say(e.description());
            all = false;
            continue;
        }
        plan.documents.append(id);
    }
    return all;
}

bool planSubCategories(long categoryId, DeletePlan& plan, DocumentLocks& locks)
{
    bool all = true;
    const QList<QPair<long, QString>> rows =
        idNameRows(QStringLiteral("select ID,Name from %1 where ParentID=?").arg(table("tbOrraCategory")), categoryId);
    for (const auto& [id, name] : std::as_const(rows)) {
        if (id == categoryId) continue;
        if (!hasCategoryRight(id, orra::rightDeleteCategory)) {
            say(QStringLiteral("Permission Denied : You could not delete category '") + name + QLatin1Char('\''));
            all = false;
            continue;
        }
        const bool docs = planCategoryDocuments(id, plan, locks);
        const bool subs = planSubCategories(id, plan, locks);
        if (docs && subs)
            plan.categories.append(id);
        else
            all = false;
    }
    return all;
}

long& copiedDocument()
{
    static long id = 0;
    return id;
}
bool& pasteEnabled()
{
    static bool on = false;
    return on;
}

void setPasteState(long id)
{
    copiedDocument() = id;
    pasteEnabled() = id != 0;
    if (frmMDIMain* mainWindow = frmMDIMain::instance())
        if (QAction* paste = mainWindow->menuItem(QStringLiteral("mnuFilePaste"))) paste->setEnabled(id != 0);
}

// The category a New or Paste command files into: the selected category, or the category of the
// selected document. False when nothing is selected.
bool targetCategory(KeyedTree* tree, QTreeWidgetItem*& node, long& id)
{
    node = tree ? tree->currentItem() : nullptr;
    if (node && isDocumentNode(node)) node = node->parent();
    if (!node) {
        id = 0;
        return false;
    }
    id = idOf(node);
    return true;
}
void newCategoryBelow(frmpbOrra& pane, long parentId, QTreeWidgetItem* parentNode)
{
    long id = 0;
    try {
        Transaction t;
        id = newId("tbOrraCategory");
        t.con().execute(
            QStringLiteral("insert into %1(ID,ParentID,Name,Type,Disabled,Owner) select ?,?,?,'T',0,suser_sid()")
                .arg(table("tbOrraCategory")),
            {qlonglong(id), qlonglong(parentId), QStringLiteral("Category-%1").arg(id)});
        if (!UpdateCategoryCheckSum(id)) return;   // rolled back; the update has said why
        t.commit();
    } catch (const Error& e) {
        say(e.description());
        return;
    }
    KeyedTree* tree = pane.tvOrra();
    QTreeWidgetItem* node = addCategoryNode(tree, parentNode ? parentId : 0, id, QStringLiteral("Category-%1").arg(id));
    selectNode(tree, node);
    StartLabelEdit(pane, tree, node);
}

}   // namespace

// --- Registration ---------------------------------------------------------------------------

void RegisterCatalogueCommands(frmpbOrra& pane)
{
    for (KeyedTree* tree : {pane.tvOrra(), pane.tvRepository()}) {
        tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
        tree->setItemDelegate(new LabelEditDelegate(pane, tree));
    }
    frmMDIMain* mainWindow = frmMDIMain::instance();
    if (!mainWindow) return;
    QPointer<frmpbOrra> self(&pane);
    auto on = [&](const char* item, std::function<void(frmpbOrra&)> command) {
        mainWindow->setCommandHandler(QString::fromLatin1(item), [self, command] {
            if (self) command(*self);
        });
    };
    on("mnuFileCopy", mnuFileCopy_Click);
    on("mnuFileDelete", mnuFileDelete_Click);
    on("mnuFileNewCategory", mnuFileNewCategory_Click);
    on("mnuFileNewOrra", mnuFileNewOrra_Click);
    on("mnuFileNewParent", mnuFileNewParent_Click);
    on("mnuFilePaste", mnuFilePaste_Click);
    on("mnuFileSaveAs", [](frmpbOrra& p) {
        if (frmMDIMain* m = frmMDIMain::instance()) mnuFileSaveAs_Click(&p, m->activeDocumentWindow());
    });
    on("mnuFileSaveAsXML", [](frmpbOrra&) {
        if (frmMDIMain* m = frmMDIMain::instance()) mnuFileSaveAsXML_Click(m->activeDocumentWindow());
    });
}

// --- Rename and move ------------------------------------------------------------------------

bool tvOrra_BeforeLabelEdit(QTreeWidgetItem* node)
{
    if (!node) return false;
    if (isCategoryNode(node)) return hasCategoryRight(idOf(node), orra::rightChange);
    if (isDocumentNode(node)) return hasDocRight(idOf(node), orra::rightChange);
    return false;
}

bool tvRepository_BeforeLabelEdit(QTreeWidgetItem* node)
{
    return node && KeyedTree::tag(node).toString() != QLatin1String("Category");
}

void StartLabelEdit(frmpbOrra& pane, KeyedTree* tree, QTreeWidgetItem* node)
{
    if (!tree || !node) return;
    const bool allowed = tree == pane.tvOrra() ? tvOrra_BeforeLabelEdit(node) : tvRepository_BeforeLabelEdit(node);
    if (!allowed) return;
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    tree->setCurrentItem(node);
    tree->editItem(node, 0);
}

bool tvOrra_AfterLabelEdit(frmpbOrra& pane, QTreeWidgetItem* node, const QString& newName)
{
    Q_UNUSED(pane);
    if (!node || !nameFits(newName)) return false;
    try {
        if (isCategoryNode(node))
            renameCategory(idOf(node), newName);
        else
            renameDocument(idOf(node), newName);
        return true;
    } catch (const Error& e) {
        say(e.description());
        return false;
    }
}

bool tvRepository_AfterLabelEdit(QTreeWidgetItem* node, const QString& newName)
{
    if (!KeyedTree::key(node).startsWith(QLatin1Char('K'))) return true;
    if (!nameFits(newName)) return false;
    try {
        catalogue().execute(QStringLiteral("update t set t.Name=? from %1 t where ID=?").arg(table("tbOrraRepository")),
            {newName, KeyedTree::tag(node).toLongLong()});
        return true;
    } catch (const Error& e) {
        say(e.description());
        return false;
    }
}

void tvOrra_DragDrop(frmpbOrra& pane, const QString& draggedKey, QTreeWidgetItem* target)
{
    KeyedTree* tree = pane.tvOrra();
    QTreeWidgetItem* dragged = tree->node(draggedKey);
    // Nodes are told apart by their keys: another node of the same text is another node.
    if (!target || !dragged || KeyedTree::key(target) == draggedKey || !isCategoryNode(target)) return;
    const long targetId = idOf(target);
    const long id = idOf(dragged);
    try {
        if (isCategoryNode(dragged)) {
            if (!hasCategoryRight(targetId, orra::rightAddNewCategory)) {
                say(QStringLiteral("Permission Denied : You could not add category to '") + target->text(0)
                    + QStringLiteral("' category"));
                return;
            }
            if (!hasCategoryRight(id, orra::rightMove)) {
                say(QStringLiteral("Permission Denied : You could not move this category"));
                return;
            }
            if (isSelfOrBelow(targetId, id)) {
                say(QStringLiteral("The category '%1' cannot be moved below itself or one of its sub-categories.")
                        .arg(dragged->text(0)));
                return;
            }
            Transaction t;
            t.con().execute(
                QStringLiteral("update t  set t.ParentID=? from %1 t where t.ID=?").arg(table("tbOrraCategory")),
                {qlonglong(targetId), qlonglong(id)});
            checkSumOrThrow(UpdateCategoryCheckSum(id), id, "category");
            t.commit();
        } else if (isDocumentNode(dragged)) {
            if (!hasCategoryRight(targetId, orra::rightAddNewDocument)) {
                say(QStringLiteral("Permission Denied : You could not add document to '") + target->text(0)
                    + QStringLiteral("' category"));
                return;
            }
            if (!hasDocRight(id, orra::rightMove)) {
                say(QStringLiteral("Permission Denied : You could not move this document"));
                return;
            }
            // A document that another session edits stays where it is.
            DocumentLocks locks;
            locks.take(id);
            Transaction t;
            t.con().execute(
                QStringLiteral("update t  set t.CategoryID=? from %1 t where t.ID=?").arg(table("tbOrraSQL")),
                {qlonglong(targetId), qlonglong(id)});
            checkSumOrThrow(UpdateDocumentCheckSum(id), id, "document");
            t.commit();
        } else {
            return;
        }
    } catch (const Error& e) {
        say(e.description());
        return;
    }
    selectNode(tree, moveNode(*tree, dragged, target));
}

// --- Copy and delete ------------------------------------------------------------------------

long CopiedDocumentID() { return copiedDocument(); }

bool PasteEnabled() { return pasteEnabled(); }

void SetCopiedDocumentID(long id) { setPasteState(id); }

void mnuFileCopy_Click(frmpbOrra& pane)
{
    QTreeWidgetItem* node = pane.tvOrra()->currentItem();
    if (node && isDocumentNode(node)) setPasteState(idOf(node));
}

void mnuFileDelete_Click(frmpbOrra& pane)
{
    if (pane.tabOrra()->currentIndex() == 0) {
        QTreeWidgetItem* node = pane.tvOrra()->currentItem();
        if (!node) return;
        if (isDocumentNode(node))
            DeleteDocument(pane, node);
        else
            DeleteCategory(pane, node);
        return;
    }
    QTreeWidgetItem* node = pane.tvRepository()->currentItem();
    if (node && KeyedTree::tag(node).toString() != QLatin1String("Category")) DeleteRepositoryItem(pane, node);
}

void DeleteDocument(frmpbOrra& pane, QTreeWidgetItem* node)
{
    if (!isDocumentNode(node)) return;
    const long id = idOf(node);
    if (!hasDocRight(id, orra::rightDelete)) {
        say(QStringLiteral("Permission Denied : You could not delete this document"));
        return;
    }
    if (!confirm(node->text(0) + QStringLiteral(" Query will be deleted. Are you sure?"))) return;
    try {
        DocumentLocks locks;
        locks.take(id);
        Transaction t;
        deleteDocumentRows(t.con(), id);
        t.commit();
    } catch (const Error& e) {
        say(e.description());
        return;
    }
    discardWindow(id);
    pane.tvOrra()->removeNode(KeyedTree::key(node));
}

void DeleteCategory(frmpbOrra& pane, QTreeWidgetItem* node)
{
    if (!isCategoryNode(node)) return;
    const long id = idOf(node);
    const QString key = KeyedTree::key(node);
    if (!hasCategoryRight(id, orra::rightDeleteCategory)) {
        say(QStringLiteral("Permission Denied : You could not delete this category"));
        return;
    }
    if (!confirm(node->text(0) + QStringLiteral(" Category and all its parents will be deleted. Are you sure?")))
        return;
    DeletePlan plan;
    bool whole = false;
    try {
        DocumentLocks locks;
        const bool docs = planCategoryDocuments(id, plan, locks);
        const bool subs = planSubCategories(id, plan, locks);
        whole = docs && subs;
        if (whole) plan.categories.append(id);
        if (!plan.documents.isEmpty() || !plan.categories.isEmpty()) {
            Transaction t;
            for (long doc : std::as_const(plan.documents)) deleteIncludeRows(t.con(), doc);
            for (long doc : std::as_const(plan.documents)) deleteDocumentRows(t.con(), doc);
            for (long cat : std::as_const(plan.categories)) deleteCategoryRows(t.con(), cat);
            t.commit();
        }
    } catch (const Error& e) {
        say(e.description() + QStringLiteral("\r\nNothing was deleted."));
        return;
    }
    for (long doc : std::as_const(plan.documents)) discardWindow(doc);
    if (whole)
        pane.tvOrra()->removeNode(key);
    else
        pane.RefreshCategoryNode(key);
}

void DeleteRepositoryItem(frmpbOrra& pane, QTreeWidgetItem* node)
{
    QTreeWidgetItem* group = node ? node->parent() : nullptr;
    if (!node || !group) return;
    if (!confirm(node->text(0) + QLatin1Char(' ') + group->text(0) + QStringLiteral(" will be deleted. Are you sure?")))
        return;
    try {
        catalogue().execute(QStringLiteral("delete from %1 where ID=?").arg(table("tbOrraRepository")),
            {KeyedTree::tag(node).toLongLong()});
    } catch (const Error& e) {
        say(e.description());
        return;
    }
    pane.tvRepository()->removeNode(KeyedTree::key(node));
}

// --- New and paste --------------------------------------------------------------------------

void mnuFileNewCategory_Click(frmpbOrra& pane)
{
    QTreeWidgetItem* node = nullptr;
    long parentId = 0;
    targetCategory(pane.tvOrra(), node, parentId);
    if (!hasCategoryRight(parentId, orra::rightAddNewCategory)) {
        say(QStringLiteral("Permission Denied : You could not add category to this category"));
        return;
    }
    newCategoryBelow(pane, parentId, node);
}

void mnuFileNewParent_Click(frmpbOrra& pane) { newCategoryBelow(pane, 0, nullptr); }

void mnuFileNewOrra_Click(frmpbOrra& pane)
{
    QTreeWidgetItem* node = nullptr;
    long categoryId = 0;
    if (!targetCategory(pane.tvOrra(), node, categoryId)) {
        say(QStringLiteral("Please select a category"));
        return;
    }
    if (!hasCategoryRight(categoryId, orra::rightAddNewDocument)) {
        say(QStringLiteral("Permission Denied : You could not add documents to this category"));
        return;
    }
    long id = 0;
    try {
        Transaction t;
        id = newId("tbOrraSQL");
        t.con().execute(QStringLiteral("insert into %1(ID,CategoryID,Name,Description,Type,Disabled,SQLtxt,Owner) "
                                       "select ?,?,?,'','T',0,'',suser_sid()")
                            .arg(table("tbOrraSQL")),
            {qlonglong(id), qlonglong(categoryId), QStringLiteral("Document-%1").arg(id)});
        if (!UpdateDocumentCheckSum(id)) return;
        t.commit();
    } catch (const Error& e) {
        say(e.description());
        return;
    }
    KeyedTree* tree = pane.tvOrra();
    QTreeWidgetItem* added = addDocumentNode(tree, categoryId, id, QStringLiteral("Document-%1").arg(id));
    selectNode(tree, added);
    StartLabelEdit(pane, tree, added);
}

void mnuFilePaste_Click(frmpbOrra& pane)
{
    QTreeWidgetItem* node = nullptr;
    long categoryId = 0;
    if (!targetCategory(pane.tvOrra(), node, categoryId)) {
        say(QStringLiteral("Please select a category"));
        return;
    }
    if (!hasCategoryRight(categoryId, orra::rightAddNewDocument)) {
        say(QStringLiteral("Permission Denied : You could not add document to '") + node->text(0)
            + QStringLiteral("' category"));
        return;
    }
    const long source = CopiedDocumentID();
    if (source == 0) return;
    long id = 0;
    QString name;
    try {
        const QVariant sourceName =
            scalar(QStringLiteral("select Name from %1 x (nolock) where x.[ID]=?").arg(table("tbOrraSQL")),
                {qlonglong(source)});
        if (!sourceName.isValid())
            throw Error(
                orra::kSystemError, kSource, QStringLiteral("The copied document is no longer in the catalogue."));
        // A copy is a read of the source: the Edit right on it is needed.
        if (!hasDocRight(source, orra::rightEdit)) {
            say(QStringLiteral("Permission Denied : You could not copy this document"));
            return;
        }
        if (!mayCopyIncludesOf(source)) return;
        name = QStringLiteral("Copy of ") + sourceName.toString().trimmed();
        if (!nameFits(name)) return;
        Transaction t;
        id = newId("tbOrraSQL");
        t.con().execute(QStringLiteral("insert into %1(ID,CategoryID,Name,Description,Type,Disabled,SQLtxt,Owner) "
                                       "select ?,?,?,x.[Description], x.[Type], x.[Disabled], x.[SQLtxt],suser_sid() "
                                       "from %1 x where x.[ID]=?")
                            .arg(table("tbOrraSQL")),
            {qlonglong(id), qlonglong(categoryId), name, qlonglong(source)});
        if (!UpdateDocumentCheckSum(id)) return;
        t.commit();
    } catch (const Error& e) {
        say(e.description());
        return;
    }
    KeyedTree* tree = pane.tvOrra();
    QTreeWidgetItem* added = addDocumentNode(tree, categoryId, id, name);
    selectNode(tree, added);
    // The copy opens in its window and is saved there once (its relations come from its XML).
    OpenDocumentWindow(id, name);
    if (QWidget* window = FindDocumentWindow(id, name, false))
        if (window->metaObject()->indexOfMethod("Save()") >= 0) saveWindow(window);
    StartLabelEdit(pane, tree, added);
    setPasteState(0);
}

}   // namespace morvane
