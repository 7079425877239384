#pragma once
// The shell's services that the catalogue commands and the document windows share: the
// catalogue tree fill, opening a document in its window under the Edit right and the
// document's lock, the lock procedure calls, the recomputation of a document's or a
// category's row checksum, and the name test of the Save As dialog. Everything runs on the
// catalogue connection (orra::mainConnection()) and names the catalogue tables with its
// current database. Message boxes go through orra::userInterface().

#include <QList>
#include <QString>

class QTreeWidgetItem;
class QWidget;

namespace orra {
class KeyedTree;
namespace db {
struct ResultSet;
}
}   // namespace orra

namespace morvane {

// The product name written into the lock information ("Morvane").
QString ProductName();

// The catalogue database as it is pasted before "..tbOrraSQL": the name of record of the
// start-up (DesignerState.h), else the catalogue connection's current database. Throws
// orra::Error when neither is there.
QString CatalogueDatabase();

// --- The catalogue tree -------------------------------------------------------------------

// Fills tree (which the caller has cleared) from "exec sp_Orra_GetDocumentsAndCategories
// default": category nodes "C" & ID (images "Category"/"selCategory", tag ID), below them
// document nodes "T" & DocID (image "Template", tag DocID); names trimmed; the check mark is
// the Disabled flag, the fore colour orra::DisabledItemColor() for disabled rows, else black.
// The categories may come in any order: a child row before its parent's row is placed once
// its parent is there. A category whose parent is not in the catalogue (or whose parents form
// a loop), and a document whose category is not, is shown at the top level; the tree is
// complete first, and then these rows are reported once, as one orra::Error (the caller shows
// it). A failing procedure call throws its error with the tree as it was; a second document
// with the same number throws the tree's "Key is not unique in collection".
void FillCatalogueTree(orra::KeyedTree& tree);
// The same from the procedure's two result sets as read: the documents, then the categories.
void FillCatalogueTree(
    orra::KeyedTree& tree, const orra::db::ResultSet& documents, const orra::db::ResultSet& categories);

// Adds the category node "C" & id unless the tree holds it already: at the top level when
// parentId is 0, else below "C" & parentId (the tree's "Element not found" when that node is
// missing).
void AddCategoryNode(long id, long parentId, const QString& name, bool disabled, orra::KeyedTree& tree);

// The shape of the nodes, as every fill and partial refresh makes them.
void SetCatalogueNodeState(orra::KeyedTree& tree, QTreeWidgetItem* node, bool disabled);

// --- Document windows ---------------------------------------------------------------------

// Opens document id in its window: without the Edit right the box "Permission Denied : You
// could not open this document" and nothing else; otherwise FindDocumentWindow(id, caption,
// true) and the window is brought to the front.
void OpenDocumentWindow(long id, const QString& caption);

// The open document window whose DocID is id (the first one created of those that match; a
// window whose DocumentReleased property is set no longer counts), or
// when there is none and create is true: LockDocument(id), a new window from the registered
// document-window creator, its DocID set, LoadWindow() invoked, its caption set, and shown
// (as a sub-window of the main window frmMDIMain, or of another main window's MDI area). Any failure (the lock refused,
// no creator, a window that cannot load) is shown in a box with its description and gives null; a lock that was taken
// is released again when no window came of it.
QWidget* FindDocumentWindow(long id, const QString& caption, bool create);

// The document windows that FindDocumentWindow made and that are still alive, oldest first.
QList<QWidget*> DocumentWindows();

// True when a document window other than except stands for document id (its DocID, and
// DocumentReleased not set): the document's lock is that window's.
bool DocumentHeldByAnotherWindow(long id, const QWidget* except);

// Brings a document window (or the MDI sub-window that holds it) to the front.
void BringDocumentWindowToFront(QWidget* window);

// "sp_UserLock '<lock information>',0" (take) and ",1" (release) on the catalogue connection.
// Errors (a lock held by another session among them) are thrown to the caller.
void LockDocument(long id);
void UnlockDocument(long id);

// --- Row checksums and names --------------------------------------------------------------

// Recomputes and stores the CheckSum of the document's (the category's) row from the row as
// "select *" reads it. False without a message when the row cannot be read; other failures
// are shown in a box and give false.
bool UpdateDocumentCheckSum(long id);
bool UpdateCategoryCheckSum(long id);

// True when category categoryId holds a document named name, compared as the catalogue
// compares names (its case-insensitive Turkish collation). The name is bound as a parameter.
// Errors are thrown to the caller.
bool DocumentNameExists(const QString& name, long categoryId);

}   // namespace morvane
