#pragma once
// The editor window of one catalogue document: loads the document's XML from the catalogue,
// expands its includes, shows it as a tree of elements in the element-tree pane, and saves
// the stored form back with its checksum and its include relations in one transaction. It
// switches the main window's document commands on while it is the active child window and
// off when it is not, asks "Save Changes ?" before it closes and releases the document's lock
// when it goes.
//
// The shell creates it, sets DocID and invokes LoadWindow() (false: the window could not load
// its document, has said why, and is destroyed). Other windows reach its public members by
// name (Q_PROPERTY, Q_INVOKABLE).

#include "common/Xml.h"
#include "designer/editor/AdHocSql.h"
#include "designer/editor/DocumentTree.h"
#include "designer/shell/EditorOptions.h"
#include "runtime/RunHost.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>

class QComboBox;
class QFrame;
class QLineEdit;
class QMimeData;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTableView;
class QTableWidget;
class QTreeWidget;

Q_DECLARE_OPAQUE_POINTER(orra::xml::Document*)

namespace orra::db {
class Connection;
class Recordset;
using RecordsetPtr = std::shared_ptr<Recordset>;
}   // namespace orra::db
namespace orra {
class DocOrra;
}

namespace morvane {

class EditorTextHandlers;

class frmOrraDevelopment : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool DocumentChanged READ documentChanged WRITE setDocumentChanged)
    Q_PROPERTY(int DocID READ docID WRITE setDocID)
    Q_PROPERTY(QString OrraName READ orraName WRITE setOrraName)
    Q_PROPERTY(orra::xml::Document* Document READ document)
    Q_PROPERTY(QTreeWidget* tvDocument READ tvDocument)
    // Set when the window no longer stands for its document (deleted, or overwritten by another
    // window's Save As): it then neither saves it nor releases its lock, and no look-up finds it.
    Q_PROPERTY(bool DocumentReleased READ documentReleased WRITE setDocumentReleased)
    // True while a close waits for the window's run to unwind.
    Q_PROPERTY(bool ClosePending READ closePending)

public:
    // The property panes, by their index in frames.
    enum Pane {
        PaneParameter = 0,
        PaneBlock,
        PaneDocument,
        PaneInheritance,
        PaneStation,
        PaneScript,
        PaneParameterGroup,
        PaneCount
    };

    explicit frmOrraDevelopment(QWidget* parent = nullptr);
    ~frmOrraDevelopment() override;

    // Registers this window with the shell's document-window creator; every window it makes
    // debugs with the given host.
    static void registerWindow(orra::RunHost host = {});

    // What this window's debug runs lend their engine (the designer's user interface and
    // parameter prompt); the default is the process's.
    const orra::RunHost& runHost() const { return m_runHost; }
    void setRunHost(orra::RunHost host) { m_runHost = std::move(host); }

    bool documentChanged() const { return m_documentChanged; }
    void setDocumentChanged(bool changed) { m_documentChanged = changed; }
    int docID() const { return m_docID; }
    void setDocID(int id) { m_docID = id; }
    bool documentReleased() const { return m_documentReleased; }
    void setDocumentReleased(bool released) { m_documentReleased = released; }
    bool closePending() const { return m_closePending; }
    QString orraName() const { return m_orraName; }
    void setOrraName(const QString& name) { m_orraName = name; }
    orra::xml::Document* document() const { return m_document.get(); }
    QTreeWidget* tvDocument() const { return m_tree; }
    DocumentTree* documentTree() const { return m_tree; }

    // The window's start-up: takes a tree from the element-tree pane, loads the document and
    // builds the tree. False when it failed (it has said why; its unload steps have run).
    Q_INVOKABLE bool LoadWindow();

    // Reads the document from the catalogue and expands its includes. False (the error shown)
    // when it failed; Document then stays the one it was.
    Q_INVOKABLE bool LoadDocument();
    // Stores the document (Change right, one transaction). True when the row was written.
    Q_INVOKABLE bool Save();
    // Asks to save unsaved edits, then loads the document again and rebuilds the tree.
    Q_INVOKABLE void ReLoad();
    // Applies the editor options to the window's text editors.
    Q_INVOKABLE void ApplySettings();
    // Node selection: shows the pane of the node's kind and makes its element current.
    Q_INVOKABLE void tvDocument_NodeClick(QTreeWidgetItem* node);
    // Sets the text of the element-tree node keyed key (an element's ID); false when no node
    // has that key. The catalogue's rename shows a renamed include this way.
    Q_INVOKABLE bool SetNodeText(const QString& key, const QString& text);

    // Tree editing (ElementClipboard.cpp): the element clipboard, the repository, removal and
    // moves among siblings. The main window calls these by name.
    Q_INVOKABLE void RemoveElement();
    Q_INVOKABLE bool CopyToRepository();
    Q_INVOKABLE void CopyElement();
    Q_INVOKABLE bool PasteElement();
    Q_INVOKABLE void MoveUpBlock();
    Q_INVOKABLE void MoveDownBlock();
    Q_INVOKABLE void OpenIncludedDocument();

    // Includes and bindings (Includes.cpp).
    Q_INVOKABLE void AddInclude(QTreeWidgetItem* target, long includedDocID);
    Q_INVOKABLE void AddInheritance(const QString& RID, const QString& PID);
    Q_INVOKABLE void RemoveInheritance();
    Q_INVOKABLE void ChangeInheritanceType();
    Q_INVOKABLE void LoadInheritanceGrid();
    Q_INVOKABLE bool CheckParameterDependencies(const QString& parameterID);
    // The server and behaviour choices, refused while other documents depend on the old value.
    Q_INVOKABLE void cbdocServer_Click();
    Q_INVOKABLE void cbparamBehaviour_Click();
    QTableWidget* grdInheritance()
    {
        ensurePane(PaneInheritance);
        return m_grdInheritance;
    }
    QLineEdit* txtInheritanceInput() const { return m_txtInheritanceInput; }
    // A node of the element tree dragged over and dropped on the grid (pos in its viewport).
    Q_INVOKABLE void grdInheritance_DragEnter();
    Q_INVOKABLE void grdInheritance_DragOver(QObject* source, QPoint pos);
    Q_INVOKABLE void grdInheritance_DragLeave();
    Q_INVOKABLE void grdInheritance_DragDrop(QObject* source);

    // Tree drag and drop and keys (TreeDragDrop.cpp), fed by the window's filter on its element
    // tree; positions are in the tree viewport's pixels.
    Q_INVOKABLE void tvDocument_KeyDown(int keyCode, int shift);
    Q_INVOKABLE void tvDocument_MouseDown(int button, int shift, QPoint pos);
    Q_INVOKABLE void tvDocument_MouseMove(int button, int shift, QPoint pos);
    Q_INVOKABLE void tvDocument_MouseUp();
    Q_INVOKABLE void tvDocument_DragOver(QObject* source, QPoint pos);
    Q_INVOKABLE void tvDocument_DragDrop(QObject* source, QPoint pos);
    QTreeWidgetItem* DropHighlight() const
    {
        return m_tree && !m_dropHighlight.isEmpty() ? m_tree->node(m_dropHighlight) : nullptr;
    }
    QTreeWidgetItem* PressedNode() const
    {
        return m_tree && !m_pressedNode.isEmpty() ? m_tree->node(m_pressedNode) : nullptr;
    }
    bool DraggingNode() const { return m_draggingNode; }
    // The data of the element-tree drag this window has under way (null when none): the text
    // editors know the drag by it.
    const QMimeData* TreeDragData() const { return m_treeDragData; }
    // The script editor's drop ends the tree's drag state.
    void EndTreeDrag()
    {
        m_draggingNode = false;
        m_draggingIncluded = false;
    }
    // The Shift state (1 Shift, 2 Ctrl, 4 Alt) of the last move with the left button down.
    int DragShift() const { return m_dragShift; }

    // The document model steps the window's operations are made of.
    void NewDocument();
    void PopulateTree();
    QString ComputeDocumentCheckSum() const;
    orra::xml::Node CreateParameterElement(orra::xml::Node owner, const QString& id, const QString& name,
        const QString& caption, const QString& defaultValue, const QString& type, const QString& source,
        const QString& prompt, const QString& selectionType, const QString& behaviour);

    // Layout.
    void ShowFrame(int index);
    void SetEditable(int pane, bool editable);
    QFrame* frame(int index) const;
    int visibleFrame() const;
    // The result pane (its tabs made on first use).
    QTabWidget* resultPane();
    // The remembered split position: the top of the result pane in the window, in pixels.
    int resultPaneTop() const { return m_resultPaneTop; }

    // The element into which new elements go (the selected node's container), looked up by
    // its ID in the document as it is now; null when there is none.
    orra::xml::Node CurrentElement() const { return elementByID(m_currentElementID); }
    // The element whose ID is id (the root included), or null.
    orra::xml::Node elementByID(const QString& id) const;
    // While a debug run is under way or paused the engine walks this window's document: no
    // element may be added, removed, moved or renumbered, from any road.
    bool StructureLocked() const;
    bool DebugMode() const { return m_debugMode; }
    bool TraceMode() const { return m_traceMode; }
    bool ResultPaneVisible() const { return m_resultPaneVisible; }
    QString ResultStyle() const { return m_resultStyle; }
    bool isLoaded() const { return m_loaded; }
    // True while ApplySettings runs: the editors' change handlers then write nothing back.
    bool ApplyingSettings() const { return m_applyingSettings; }

    QSize sizeHint() const override;

    // ---- The debugger (BreakPoints.cpp, Debugger.cpp, DebugEvents.cpp, ResultPane.cpp) ----
    Q_INVOKABLE void CheckBreakPoint();
    Q_INVOKABLE void RemoveAllBreakPoints();
    Q_INVOKABLE void PopulateBreakPoints();
    Q_INVOKABLE void SetTraceMode(bool flag);
    Q_INVOKABLE void SetDebugMode(bool flagMode, bool flagOnNewConnection = false);
    Q_INVOKABLE void StepInto(int Steptype);
    Q_INVOKABLE void JumpTo();
    Q_INVOKABLE void PauseDocument();
    // The engine of the current or last debug run (null before the first start).
    orra::DocOrra* DocOrra() const;
    // The keys of colBreakPoints, in the order they were set.
    QStringList BreakPoints() const;
    // The trace as written (lines end with CR LF), and the result pane's views.
    QString TraceText() const;
    QPlainTextEdit* dbgTrace();
    QPlainTextEdit* dbgMessage();
    // Handlers of the engine's events.
    void DocOrra_BeforeExecutionBlock(QString& BlockID);
    void DocOrra_BeforeExecutionBlockSQL(QString& BlockID);
    void DocOrra_AfterExecutionBlock(QString& BlockID);
    void DocOrra_BeforeExecutionScript(QString& ScriptID);
    void DocOrra_AfterExecutionScript(QString& ScriptID);
    void DocOrra_BeforeExecutionInclude(QString& IncludeID);
    void DocOrra_AfterExecutionInclude(QString& IncludeID);
    void DocOrra_ArrivetoStation(QString& StationID, QString& StationName);
    void DocOrra_DocumentEnd(orra::db::RecordsetPtr& rsdbg);
    void DocOrra_AfterModifyClause(QString& ElementID, QString& strClause);
    // ---- Node selection (NodeSelection.cpp) ----------------------------------------------
    // The nearest ancestor of node that is no Parameter or parameter-group node, or null.
    QTreeWidgetItem* FindParameterGroupNode(QTreeWidgetItem* node) const;
    // The elements shown in the Parameter, Station and Script panes (null when none).
    orra::xml::Node CurrentParameter() const { return elementByID(m_currentParameterID); }
    orra::xml::Node CurrentStation() const { return elementByID(m_currentStationID); }
    orra::xml::Node CurrentScript() const { return elementByID(m_currentScriptID); }
    // The debug flag alone, as node selection reads it (the debugger sets it with its run).
    void setDebugModeFlag(bool on) { m_debugMode = on; }

    // ---- Property panes (PropertyPanes.cpp) ----------------------------------------------
    // Loads the pane of the node's kind from the document; never changes the document.
    void ShowElement(QTreeWidgetItem* node);
    void FillSelectionTypeCombo();
    void FillTypeCombo();
    void FillBehaviourCombo();
    // "{FREE}", then the servers of the connection registry; a failing query throws.
    void FillServerCombo();
    void FillScriptLangCombo();
    // List positions of a parameter's Type, SelectionType and Behaviour (-1: none).
    static int TypeIndex(const QString& text);
    static int SelectionTypeIndex(const QString& text);
    static int BehaviourIndex(const QString& text);

    // ---- Element builders (ElementBuilders.cpp) ------------------------------------------
    Q_INVOKABLE void AddBlock();
    Q_INVOKABLE void AddStation();
    Q_INVOKABLE void AddScript();
    Q_INVOKABLE void AddParameter();
    // For a new child of kind (the word "Block", "Station", "Script" or "Include") under node:
    // the name number (1 + the children whose text begins with the word) and the ID number
    // (one above the highest number that kind uses in the children's keys, 0 when none).
    void GetNextChildNumber(QTreeWidgetItem* node, int& nameNumber, int& idNumber, const QString& kind) const;
    // The number after the last marker in key, as a 16-bit whole number; throws when it is none.
    static int ParseChildNumber(const QString& key, const QString& marker);
    // The parameter group node below node; made (first child) when create and there is none.
    QTreeWidgetItem* AddParameterGroupNode(QTreeWidgetItem* node, bool create);

    // ---- Renaming by label edit (LabelRename.cpp) ----------------------------------------
    // 1 (cancel) when the selected node's label may not be edited, else 0.
    Q_INVOKABLE int tvDocument_BeforeLabelEdit();
    // Renames the selected node's element to NewString; 1 (cancel: the old label stays) when
    // the rename was refused or failed, else 0.
    Q_INVOKABLE int tvDocument_AfterLabelEdit(const QString& NewString);
    // Why name cannot be a parameter's name (empty when it can).
    static QString ParameterNameProblem(const QString& name);

    // ---- Text editors (EditorTextHandlers.h) --------------------------------------------
    // The text commands the main window calls by name, on the selected Block, Station or Script.
    Q_INVOKABLE void CommentBlock();
    Q_INVOKABLE void UnCommentBlock();
    Q_INVOKABLE void IndentBlock();
    Q_INVOKABLE void OutdentBlock();
    EditorTextHandlers* textEditors() const { return m_text; }

    // ---- Ad-hoc SQL and the result pane (AdHocSql.h) ------------------------------------
    // Runs SQL text (F5 on a selection, a query template) on the run connection without
    // blocking the window; nothing while an execution of this window is under way.
    Q_INVOKABLE void ExecuteEditorSQL(const QString& SQL) { m_adHoc->ExecuteEditorSQL(SQL); }
    // Esc: cancels the executing statement on the server; false when none is executing.
    Q_INVOKABLE bool CancelEditorSQL() { return m_adHoc->CancelEditorSQL(); }
    // Ends a running execution unseen (before the run connection is closed).
    void AbandonEditorSQL() { m_adHoc->AbandonEditorSQL(); }
    // The text with the debug run's parameter values in place of its placeholders.
    QString GetRunableSQL(const QString& SQL) { return m_adHoc->GetRunableSQL(SQL); }
    // "ResultInText" or "ResultInGrid", called by name from the main window.
    Q_INVOKABLE void ChangeResultStyle(const QString& NewStyle) { m_adHoc->ChangeResultStyle(NewStyle); }
    Q_INVOKABLE void ShowHideResultPane(bool show) { m_adHoc->ShowHideResultPane(show); }
    // Shows the view of the selected tab; SelectResultTab selects "Result", "Message" or "Trace".
    void dbgTab_Click() { m_adHoc->dbgTab_Click(); }
    void SelectResultTab(const QString& key) { m_adHoc->SelectResultTab(key); }
    // 0 idle, 2 executing, 3 getting results, 4 cancelling.
    int ExecutionState() const { return m_adHoc->ExecutionState(); }
    // The debug run's connection and substitution; without a connection nothing runs.
    void setAdHocRunSource(AdHocRunSource source) { m_adHoc->setRunSource(std::move(source)); }
    AdHocSql* adHocSql() const { return m_adHoc.get(); }

signals:
    // What those who refer to elements by ID hear from the window: the document was replaced
    // (read again), elements went (their IDs, with every ID below them), an element's ID changed.
    void DocumentReplaced();
    void ElementsRemoved(const QStringList& ids);
    void ElementIDChanged(const QString& oldID, const QString& newID);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    friend class AdHocSql;
    void buildLayout();
    // Makes the controls of a pane the first time it is needed.
    void ensurePane(int index);
    void buildParameterPane(QFrame* f);
    void buildTextPane(QFrame* f, QPlainTextEdit*& editor, const char* name);
    void buildDocumentPane(QFrame* f);
    void buildScriptPane(QFrame* f);
    void applyLook();

    void Form_Activate();
    void Form_Deactivate();
    bool Form_QueryUnload();
    void Form_Unload();
    void watchSubWindow();
    // Property panes (PropertyPanes.cpp).
    void FillPaneLists();
    void wirePane(int index);
    void LoadDocumentPane();
    void LoadBlockPane();
    void LoadStationPane();
    void LoadScriptPane();
    void LoadParameterPane();
    void LoadParameterList(QTreeWidgetItem* node);
    void ApplyTypeRule(const QString& type, bool emptyValues);
    void cbparamType_Click();
    void cbparamSelectionType_Click();
    void cbScriptLang_Click();
    void paramTextChanged(QLineEdit* editor, const char* attribute);
    // Builders (ElementBuilders.cpp).
    void addContainerChild(const QString& kind, const QString& infix);
    int twips(int value) const;
    void showError(const QString& description) const;

    orra::db::Connection* catalogue() const;
    QString catalogueDatabase() const;

    // Tree editing helpers (ElementClipboard.cpp, Includes.cpp, TreeDragDrop.cpp).
    orra::xml::Node clipboardSubject() const;
    // The window tells its panes, text editors and break points, then everyone else.
    void NotifyDocumentReplaced();
    void NotifyElementsRemoved(const QStringList& ids);
    void NotifyElementIDChanged(const QString& oldID, const QString& newID);
    // The commands that change the document's structure are off while it is locked.
    void ApplyStructureLock();
    // Removes element and its node (with what lies below both) and tells who refers to them.
    void removeElementAndNode(orra::xml::Node element, QTreeWidgetItem* node);
    bool pasteInto(bool followReferences);
    void checkIncludesMayBePasted(orra::xml::Node pasted);
    void moveParameter(bool up);
    void readdNode(QTreeWidgetItem* node, orra::xml::Node element, const QString& beforeKey, bool included);
    void installTreeEditing();
    bool treeViewportEvent(QEvent* event);
    void buildInheritanceEditor();
    bool inheritanceGridEvent(QEvent* event);
    bool inheritanceInputEvent(QEvent* event);
    void ShowInheritanceEditor(bool focus);
    void wireIncludeChecks(int pane);
    // The debugger's own state and steps.
    struct DebugState;
    DebugState& dbg();
    bool IsBreakPoint(const QString& key) const;
    QTreeWidgetItem* runNode(const QString& id);
    void ApplyNormalLook(QTreeWidgetItem* node);
    void ApplyBreakPointLook(QTreeWidgetItem* node);
    void ApplyColours(QTreeWidgetItem* node, const QColor& back, const QColor& fore, bool bold);
    // Leaves debug mode; rebuildTree: the window stays and shows its document as an editor again.
    void StopDebugMode(bool rebuildTree = true);
    // A close while a debug run is under way: stops the run and closes once it has unwound.
    bool DeferCloseDuringRun();
    // Commits an edit box left open (a node's label, the Inheritance value box) to the element
    // it was opened on; every command that moves the selection or changes the document first.
    void FinishOpenEdits();
    void CommitInheritanceInput();
    void LockForDebug(bool locked);
    float RunLoop();
    void BreakRule(const QString& id);
    void PauseAt(const QString& id);
    void AppendTrace(const QString& text);

    EditorTextHandlers* m_text = nullptr;   // the text editors' behaviour
    bool m_documentChanged = false;
    int m_docID = 0;
    QString m_orraName;
    std::shared_ptr<orra::xml::Document> m_document;
    QPointer<DocumentTree> m_tree;

    // The current elements by ID: looked up when they are read or written.
    QString m_currentElementID;
    QString m_currentParameterID;
    QString m_currentStationID;
    QString m_currentScriptID;
    // True while ShowElement fills a pane: the fields' change handlers then write nothing.
    bool m_showingElement = false;
    // The servers of the connection registry, read when the window loads.
    QStringList m_servers;
    bool m_applyingSettings = false;
    bool m_debugMode = false;
    bool m_traceMode = false;
    bool m_resultPaneVisible = false;
    QString m_resultStyle;
    bool m_loaded = false;
    bool m_unloaded = false;
    bool m_active = false;
    bool m_documentReleased = false;
    // The node whose label is being edited (empty: none).
    QString m_labelEditKey;
    bool m_closePending = false;
    int m_resultPaneTop = 0;

    // Layout.
    QSplitter* m_splitter = nullptr;
    QWidget* m_framesHost = nullptr;
    QFrame* m_frames[PaneCount] = {};
    bool m_paneBuilt[PaneCount] = {};
    std::optional<EditorOptions> m_look;
    QTabWidget* m_dbgTab = nullptr;
    // Parameter pane.
    QLineEdit* m_txtparamCaption = nullptr;
    QComboBox* m_cbparamType = nullptr;
    QComboBox* m_cbparamBehaviour = nullptr;
    QPlainTextEdit* m_txtparamDefaultVal = nullptr;
    QPushButton* m_cmdEditDefaultValue = nullptr;
    QPlainTextEdit* m_txtparamSource = nullptr;
    QLineEdit* m_txtparamReturnCol = nullptr;
    QComboBox* m_cbparamSelectionType = nullptr;
    QLineEdit* m_txtparamPrompt = nullptr;
    // The other panes.
    QPlainTextEdit* m_txtBlockSQL = nullptr;
    QPlainTextEdit* m_txtdocDescription = nullptr;
    QComboBox* m_cbdocServer = nullptr;
    QTableWidget* m_grdInheritance = nullptr;
    QPlainTextEdit* m_txtStationSQL = nullptr;
    QPlainTextEdit* m_txtScriptSource = nullptr;
    QComboBox* m_cbScriptLang = nullptr;
    QTreeWidget* m_lvParameters = nullptr;
    // Drag, drop and binding-editor state.
    // Nodes by key: a node may be removed while a drag is under way.
    QString m_nodeSelectedAtPress;
    QString m_pressedNode;
    QString m_dropHighlight;
    QPoint m_pressPos;
    bool m_draggingNode = false;
    bool m_draggingIncluded = false;
    int m_dragShift = 0;
    const QMimeData* m_treeDragData = nullptr;
    QLineEdit* m_txtInheritanceInput = nullptr;
    bool m_inheritanceEditOpen = false;
    // The Include whose binding the edit box edits.
    QString m_inheritanceIncludeID;
    int m_gridDragRow = -1;
    // Result pane.
    QTableView* m_dbgGrid = nullptr;
    QPlainTextEdit* m_dbgText = nullptr;
    QPlainTextEdit* m_dbgMessage = nullptr;
    QPlainTextEdit* m_dbgTrace = nullptr;
    std::shared_ptr<DebugState> m_dbg;
    orra::RunHost m_runHost;
    // Last, so that a running execution ends before anything else of the window goes.
    std::unique_ptr<AdHocSql> m_adHoc = std::make_unique<AdHocSql>(this);
};

}   // namespace morvane
