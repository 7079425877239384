#pragma once
// The catalogue's own commands: rename in place and move by drag in the trees of the pane,
// File Copy and Delete, New Category, New Document, New Parent and Paste, Save As and Save As
// XML. Every command that writes more than one statement runs in one transaction on the
// catalogue connection: a failure rolls it back, says why, and leaves the catalogue and the
// tree as they were. Names are bound values, never pasted into the SQL text.
//
// Document windows are reached by name only (properties DocID, OrraName, DocumentChanged,
// Document; invokable Save and SetNodeText).

#include <QString>
#include <functional>

class QTreeWidgetItem;
class QWidget;

namespace orra {
class KeyedTree;
}

namespace morvane {

class frmpbOrra;
class frmSaveAs;

// The width of the Name columns of documents and categories.
inline constexpr int kCatalogueNameWidth = 50;

// Hooks the commands into the pane (label editing of both trees) and, when there is a main
// window, into its File items.
void RegisterCatalogueCommands(frmpbOrra& pane);

// --- Rename and move ----------------------------------------------------------------------

// Starts label editing of node when the guard of its tree allows it.
void StartLabelEdit(frmpbOrra& pane, orra::KeyedTree* tree, QTreeWidgetItem* node);
// The guards: true when node may enter label editing.
bool tvOrra_BeforeLabelEdit(QTreeWidgetItem* node);
bool tvRepository_BeforeLabelEdit(QTreeWidgetItem* node);
// Stores newName for node; true when it was stored (the caller then shows it). False: the
// reason was shown and the node keeps its text.
bool tvOrra_AfterLabelEdit(frmpbOrra& pane, QTreeWidgetItem* node, const QString& newName);
bool tvRepository_AfterLabelEdit(QTreeWidgetItem* node, const QString& newName);
// A drop on tvOrra of the node keyed draggedKey (from a tree view) onto target.
void tvOrra_DragDrop(frmpbOrra& pane, const QString& draggedKey, QTreeWidgetItem* target);

// --- Copy and delete ----------------------------------------------------------------------

// The document that File > Copy remembered (0: none).
long CopiedDocumentID();
bool PasteEnabled();
// Remembers id for Paste (0: nothing) and enables or disables the Paste item with it.
void SetCopiedDocumentID(long id);
void mnuFileCopy_Click(frmpbOrra& pane);
void mnuFileDelete_Click(frmpbOrra& pane);
void DeleteDocument(frmpbOrra& pane, QTreeWidgetItem* node);
void DeleteCategory(frmpbOrra& pane, QTreeWidgetItem* node);
void DeleteRepositoryItem(frmpbOrra& pane, QTreeWidgetItem* node);

// --- New and paste ------------------------------------------------------------------------

void mnuFileNewCategory_Click(frmpbOrra& pane);
void mnuFileNewOrra_Click(frmpbOrra& pane);
void mnuFileNewParent_Click(frmpbOrra& pane);
void mnuFilePaste_Click(frmpbOrra& pane);

// --- Save As and Save As XML --------------------------------------------------------------

// Save As of window (the active document window); pane may be null.
void mnuFileSaveAs_Click(frmpbOrra* pane, QWidget* window);
void mnuFileSaveAsXML_Click(QWidget* window);

// How the Save As dialog is shown (default: modally). Tests drive it instead.
using SaveAsDialogRunner = std::function<void(frmSaveAs&)>;
void setSaveAsDialogRunner(SaveAsDialogRunner runner);
// How the file of Save As XML is asked for (default: the save file dialog titled "Save As
// XML" with the filter "(*.xml)"), proposing the document's name followed by ".xml" in the
// user's documents folder; an empty result is a cancelled dialog.
using SaveFileAsker = std::function<QString(QWidget* owner, const QString& proposedPath)>;
void setSaveFileAsker(SaveFileAsker asker);

}   // namespace morvane
