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
#include "designer/editor/DocumentTree.h"
#include "designer/shell/EditorOptions.h"

#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

class QComboBox;
class QFrame;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTableView;
class QTableWidget;
class QTreeWidget;

Q_DECLARE_OPAQUE_POINTER(orra::xml::Document*)

namespace orra::db { class Connection; }

namespace morvane {

class frmOrraDevelopment : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool DocumentChanged READ documentChanged WRITE setDocumentChanged)
    Q_PROPERTY(int DocID READ docID WRITE setDocID)
    Q_PROPERTY(QString OrraName READ orraName WRITE setOrraName)
    Q_PROPERTY(orra::xml::Document* Document READ document)
    Q_PROPERTY(QTreeWidget* tvDocument READ tvDocument)

public:
    // The property panes, by their index in frames.
    enum Pane { PaneParameter = 0, PaneBlock, PaneDocument, PaneInheritance, PaneStation, PaneScript,
                PaneParameterGroup, PaneCount };

    explicit frmOrraDevelopment(QWidget* parent = nullptr);
    ~frmOrraDevelopment() override;

    // Registers this window with the shell's document-window creator.
    static void registerWindow();

    bool documentChanged() const { return m_documentChanged; }
    void setDocumentChanged(bool changed) { m_documentChanged = changed; }
    int docID() const { return m_docID; }
    void setDocID(int id) { m_docID = id; }
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

    // The document model steps the window's operations are made of.
    void NewDocument();
    void PopulateTree();
    QString ComputeDocumentCheckSum() const;
    orra::xml::Node CreateParameterElement(orra::xml::Node owner, const QString& id, const QString& name,
                                           const QString& caption, const QString& defaultValue,
                                           const QString& type, const QString& source, const QString& prompt,
                                           const QString& selectionType, const QString& behaviour);

    // Layout.
    void ShowFrame(int index);
    void SetEditable(int pane, bool editable);
    QFrame* frame(int index) const;
    int visibleFrame() const;
    // The result pane (its tabs made on first use).
    QTabWidget* resultPane();
    // The remembered split position: the top of the result pane in the window, in pixels.
    int resultPaneTop() const { return m_resultPaneTop; }

    orra::xml::Node CurrentElement() const { return m_currentElement; }
    bool DebugMode() const { return m_debugMode; }
    bool TraceMode() const { return m_traceMode; }
    bool ResultPaneVisible() const { return m_resultPaneVisible; }
    QString ResultStyle() const { return m_resultStyle; }
    bool isLoaded() const { return m_loaded; }
    // True while ApplySettings runs: the editors' change handlers then write nothing back.
    bool ApplyingSettings() const { return m_applyingSettings; }

    QSize sizeHint() const override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
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
    void ShowElement(QTreeWidgetItem* node);
    void LoadDocumentPane();
    int twips(int value) const;
    void showError(const QString& description) const;

    orra::db::Connection* catalogue() const;
    QString catalogueDatabase() const;

    bool m_documentChanged = false;
    int m_docID = 0;
    QString m_orraName;
    std::unique_ptr<orra::xml::Document> m_document;
    QPointer<DocumentTree> m_tree;

    orra::xml::Node m_currentElement;
    bool m_applyingSettings = false;
    bool m_debugMode = false;
    bool m_traceMode = false;
    bool m_resultPaneVisible = false;
    QString m_resultStyle;
    bool m_loaded = false;
    bool m_unloaded = false;
    bool m_active = false;
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
    // Result pane.
    QTableView* m_dbgGrid = nullptr;
    QPlainTextEdit* m_dbgText = nullptr;
    QPlainTextEdit* m_dbgMessage = nullptr;
    QPlainTextEdit* m_dbgTrace = nullptr;
};

} // namespace morvane
