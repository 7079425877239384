#pragma once
// The designer's one main window: a multiple-document window (QMdiArea) with the menu bar, the
// toolbar tbMain, the side bar with the vertical "Object Explorer" caption, the status bar
// StatuBar and the docking host td holding the two panes, the catalogue pane "frmpbOrra"
// ("Object Explorer") and the element-tree pane "frmtvDocument" ("Document Explorer").
//
// Document commands (File Save and Refresh, the Document and Debug menus and their toolbar
// buttons) are forwarded to the active document window by member name through
// QMetaObject::invokeMethod; a window without that member gives an error message box naming the
// member, never silence. The main window never includes an editor or catalogue header.
//
// Who calls what here:
//  - the start-up (Startup.cpp): MDIForm_Load, UpdatePanelUser, setPanelText("Server", …), show;
//  - document windows (the editor): SetDebugButtons, SetState, UpdatePanelLine, UpdatePanelUser,
//    setPanelText("ID", …), EnableDocumentCommands, EnableToolbarButton, menuItem(…) to enable
//    or check their items, toolbarButton("ShowResultPane") to set its state, editorOptions()
//    (EditorOptions.h) in their ApplySettings;
//  - the catalogue (mdMain, frmpbOrra): addDocumentWindow, documentWindows,
//    activeDocumentWindow, setCommandHandler for the catalogue's menu items, menu
//    ("mnuPopuptvOrra") for its pop-up, menuItem("mnuFileSave") etc.;
//  - the element-tree pane: activeDocumentWindow() (the original's ActiveForm) and
//    menu("mnuDoc") as its tree's context menu.
//
// Object names follow the forms and controls: "frmMDIMain", "tbMain" (each toolbar action named
// by its key, "Save", "tvOrra", …; the result-style entries "ResultInText" and "ResultInGrid"),
// "StatuBar" (its panels "State", "ID", "Line", "Server", "UserName", "Date"), every menu and
// menu item by its mnu name, "pbObjectExplorer" and "pbObjectExplorerButton", "td" (the docking
// host) and "MDIClient" (the multiple-document area).

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <functional>

class QAction;
class QActionGroup;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPlainTextEdit;
class QTimer;
class QToolBar;
class QToolButton;

namespace orra {
class DockHost;
namespace db {
class Connection;
}
}   // namespace orra

namespace morvane {

class ExplorerButton;

class frmMDIMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMDIMain(QWidget* parent = nullptr);
    ~frmMDIMain() override;

    // The one main window of the process; null before it is made and after it is gone.
    static frmMDIMain* instance();

    // ---- Life cycle --------------------------------------------------------------------
    // The load sequence: restore the pane layout, caption with version, editor settings, the
    // side-bar caption, document commands disabled, the catalogue pane's trees.
    void MDIForm_Load();
    // The first activation applies the stored pane visibility; later activations do nothing.
    // Runs on the window's first activation or first show, whichever comes first.
    void MDIForm_Activate();
    // Writes the settings (SaveSettings); runs when the window closes.
    void MDIForm_Unload();

    // ---- Document windows (the MDI children) --------------------------------------------
    QMdiArea* mdiArea() const { return m_mdi; }
    // Makes window an MDI child (not yet shown) and returns its sub-window.
    QMdiSubWindow* addDocumentWindow(QWidget* window);
    // The document windows in the order they were added.
    QList<QWidget*> documentWindows() const;
    // The active document window (the current MDI child's widget), or null.
    QWidget* activeDocumentWindow() const;
    // True when window is an editor window: its objectName is "frmOrraDevelopment". Find and
    // Replace act only on editor windows.
    static bool isEditorWindow(const QWidget* window);

    // ---- Panes --------------------------------------------------------------------------
    orra::DockHost* dockHost() const { return m_td; }
    // The pane form of that name ("frmpbOrra", "frmtvDocument"), made through createPane
    // (DesignerFactories.h) on first use and kept; null for other names.
    QWidget* paneForm(const QString& formName);
    // True when the docking host holds a pane of that name (exact, case-sensitive).
    bool IsPaneLoaded(const QString& formName) const;
    // The catalogue pane's trees (children "tvOrra" and "tvRepository" of "frmpbOrra"); null
    // while the pane has none.
    QWidget* tvOrra() const { return m_tvOrra; }
    QWidget* tvRepository() const { return m_tvRepository; }

    // ---- Menus and toolbar --------------------------------------------------------------
    QAction* menuItem(const QString& name) const;   // "mnuFileSave", …; null when unknown
    QMenu* menu(const QString& name) const;         // "mnuFile", "mnuDoc", "mnuPopuptvOrra", …
    QToolBar* toolbar() const { return m_tbMain; }
    QAction* toolbarButton(const QString& key) const;   // null when unknown
    // The image key the button shows now ("Grid" or "Text" for "ResultStyle").
    QString toolbarButtonImage(const QString& key) const;
    // The keys of the document buttons that EnableDocumentCommands switches, in its order.
    static const QStringList& documentCommandKeys();
    // Enables or disables the seventeen document buttons of documentCommandKeys().
    void EnableDocumentCommands(bool enabled);
    // Enables or disables one toolbar button; an unknown key throws orra::Error.
    void EnableToolbarButton(const QString& key, bool enabled);
    // The run-dependent Debug items and buttons: Start/Run and Continue take turns.
    void SetDebugButtons(bool running);
    // The "State" panel: 0 "", 1 "Running Document", 2 "Executing...", 3 "Getting Results...",
    // 4 "Canceling..."; any other value leaves it.
    void SetState(int state);
    // A handler for a menu item owned by a library above the shell (the catalogue's File items
    // and pop-up, Help). An item without a handler says that the command is not available.
    void setCommandHandler(const QString& menuName, std::function<void()> handler);

    // ---- Status bar ---------------------------------------------------------------------
    QString panelText(const QString& key) const;
    // Sets a panel's text; an unknown key throws orra::Error.
    void setPanelText(const QString& key, const QString& text);
    // "Line: " and the 1-based line of the editor's caret.
    void UpdatePanelLine(QPlainTextEdit* rtfText);
    // "name (process number)" of the connection's login; a failing query throws orra::Error.
    void UpdatePanelUser(orra::db::Connection& mCon);

    // ---- Settings -----------------------------------------------------------------------
    void RestoreDockLayout();
    void LoadEditorSettings();
    // Writes the whole store and checks that it reached the file; a refused write is reported
    // once in a message box and gives false.
    bool SaveSettings();

    // ---- Commands (the menu and toolbar handlers; public for the catalogue and tests) -----
    void tbMain_ButtonClick(const QString& key);
    void tbMain_ButtonMenuClick(const QString& key);
    void mnuFileSave_Click();
    void mnuFileRefresh_Click();
    void mnuFileExit_Click();
    void mnuDocNewParameter_Click();
    void mnuDocNewBlock_Click();
    void mnuDocNewStation_Click();
    void mnuDocNewScript_Click();
    void mnuDocOpenInclude_Click();
    void mnuDocAddRepository_Click();
    void mnuDocCopy_Click();
    void mnuDocPaste_Click();
    void mnuDocDelete_Click();
    void mnuDocFind_Click();
    void mnuDocReplace_Click();
    void mnuDocIndent_Click();
    void mnuDocOutdent_Click();
    void mnuDocComment_Click();
    void mnuDocUnComment_Click();
    void mnuDebugStart_Click();
    void mnuDebugStartNew_Click();
    void mnuDebugContinue_Click();
    void mnuDebugPause_Click();
    void mnuDebugStop_Click();
    void mnuDebugTrace_Click();
    void mnuDebugBreakPoint_Click();
    void mnuDebugClearBreakPoints_Click();
    void mnuDebugStepInto_Click();
    void mnuDebugStepOver_Click();
    void mnuDebugStepOut_Click();
    void mnuDebugJump_Click();
    void mnuToolsOptions_Click();
    void mnuHelpContents_Click();
    void mnuHelpAbout_Click();
    void mnuWindowCascade_Click();
    void mnuWindowHorizontally_Click();
    void mnuWindowVertically_Click();

    // Calls member on the active document window with the given arguments (at most two).
    // False when there is no active window, or (after an error message box) when the window
    // has no such member or the call failed.
    bool callActiveWindow(const char* member, const QVariantList& args = {}, QVariant* result = nullptr);

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildStatusBar();
    void buildSideBar();
    void DrawExplorerButton();
    void paneClosed(QWidget* pane);
    void paneButtonClicked(const QString& key, const QString& formName, int panel);
    // The side bar stands beside the window while the Object Explorer is not docked and shown.
    void watchExplorerPane();
    void updateSideBar();
    void rebuildWindowList();
    void tileWindows(Qt::Orientation stacking);
    QAction* addItem(
        QMenu* menu, const QString& name, const QString& caption, const QKeySequence& shortcut = QKeySequence());
    void addHandled(QMenu* menu, const QString& name, const QString& caption, void (frmMDIMain::*handler)(),
        const QKeySequence& shortcut = QKeySequence());
    void addForeign(
        QMenu* menu, const QString& name, const QString& caption, const QKeySequence& shortcut = QKeySequence());
    QMenu* addMenu(QMenu* parent, const QString& name, const QString& caption);
    QAction* addButton(const QString& key, const QString& tip, const QString& image);
    void setButtonImage(QAction* button, const QString& image);
    bool closeDocumentWindows();
    // After an Exit that a document window put off until its run unwinds: Exit again once every
    // such window has gone; dropped when one of them stays (it refused its close and said why).
    void exitAfterRuns();
    void openFindDialog(int mode);

    orra::DockHost* m_td = nullptr;
    QMdiArea* m_mdi = nullptr;
    QToolBar* m_tbMain = nullptr;
    QToolButton* m_resultStyleButton = nullptr;
    ExplorerButton* m_explorerButton = nullptr;
    QWidget* m_sideBar = nullptr;
    QMenu* m_windowMenu = nullptr;
    QList<QAction*> m_windowListActions;
    QHash<QString, QAction*> m_items;
    QHash<QString, QMenu*> m_menus;
    QHash<QString, QAction*> m_buttons;
    QHash<QString, QLabel*> m_panels;
    QHash<QString, std::function<void()>> m_foreignHandlers;
    QHash<QString, QPointer<QWidget>> m_paneForms;
    QPointer<QWidget> m_tvOrra;
    QPointer<QWidget> m_tvRepository;
    QPointer<QWidget> m_findDialog;
    bool m_firstActivation = false;
    bool m_unloaded = false;
    QTimer* m_exitWait = nullptr;
    QList<QPointer<QWidget>> m_exitWaitsFor;
};

}   // namespace morvane
