#pragma once
// The editor's calls into the designer's main window (frmMDIMain): the document commands,
// menus, toolbar buttons and status panels it switches, and the main window's active child
// window. A menu item or toolbar button that the main window does not have is an error
// (orra::Error), never a silent no-op. Without a main window (an editor window shown on its
// own) there is nothing to switch and the calls do nothing.

#include <QString>

class QMenu;
class QObject;
class QWidget;

namespace morvane {

class frmMDIMain;

// The widget of the main window's active child window, or null.
QWidget* activeChildWindow();

// The error of a call by name that found no such member.
[[noreturn]] void throwNoSuchMember(const QObject* target, const QString& member);

class MainWindowLink {
public:
    MainWindowLink();
    bool present() const { return m_main != nullptr; }

    void SetDebugButtons(bool running);
    void EnableDocumentCommands(bool enabled);
    void EnableToolbarButton(const QString& key, bool enabled);
    // Value of a check button of the toolbar tbMain: 1 pressed, 0 not.
    void SetToolbarButtonValue(const QString& key, int value);
    // Whether a toolbar button is enabled; true without a main window (no toolbar decides).
    bool ToolbarButtonEnabled(const QString& key) const;
    void SetMenuEnabled(const QString& name, bool enabled);
    void SetMenuChecked(const QString& name, bool checked);
    void SetPanelText(const QString& key, const QString& text);
    // Selects the node of the catalogue tree tvOrra with that key, when the tree holds it.
    void SelectCatalogueNode(const QString& key);
    // The main window's Document menu mnuDoc (null without a main window).
    QMenu* DocumentMenu() const;

private:
    frmMDIMain* m_main;
};

}   // namespace morvane
