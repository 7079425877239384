// The window's document is the only truth: panes, text editors, the find dialog and break points
// refer to its elements by ID and look them up when they read or write. The window tells them
// when it replaces the document or removes an element, and when an element's ID changes; and
// while a debug run holds the document, its structure is locked here for every road.

#include "designer/editor/DebugState.h"
#include "designer/editor/DocumentTree.h"
#include "designer/editor/EditorTextHandlers.h"
#include "designer/editor/MainWindowLink.h"

#include <QApplication>
#include <QLineEdit>
#include <QMdiSubWindow>

namespace morvane {

namespace {

// What changes the structure: adds, removes, moves or renumbers elements, or (Refresh) puts
// another document in place; and the text commands, which have no text to change while the
// editors are locked.
const char* const kLockedButtons[] = {"Refresh", "Block", "Station", "Parameter", "Script", "Delete", "Paste", "MoveUp",
    "MoveDown", "CommentBlock", "UnCommentBlock", "Outdent", "Indent"};
const char* const kLockedMenus[] = {"mnuFileRefresh", "mnuDocNewBlock", "mnuDocNewParameter", "mnuDocNewScript",
    "mnuDocNewStation", "mnuDocPaste", "mnuDocDelete", "mnuDocComment", "mnuDocUnComment", "mnuDocOutdent",
    "mnuDocIndent"};

}   // namespace

bool frmOrraDevelopment::StructureLocked() const
{
    // Also a stopped run that has not unwound yet still walks the document.
    const orra::DocOrra* engine = DocOrra();
    return m_debugMode || (engine && engine->IsRunning());
}

void frmOrraDevelopment::ApplyStructureLock()
{
    MainWindowLink main;
    if (!main.present()) return;
    if (StructureLocked()) {
        for (const char* key : kLockedButtons) main.EnableToolbarButton(QLatin1String(key), false);
        for (const char* name : kLockedMenus) main.SetMenuEnabled(QLatin1String(name), false);
    } else if (m_active) {
        // The rest follows the selection; Refresh is the active window's whatever is selected.
        main.SetMenuEnabled(QStringLiteral("mnuFileRefresh"), true);
    }
}

// A pane's editor that had the focus has nothing left to edit: the focus goes to the tree. (A
// pane hidden with the focus in it may have passed the focus to the window's frame.)
static void focusTreeInstead(frmOrraDevelopment* w)
{
    QWidget* focused = QApplication::focusWidget();
    QWidget* scope = qobject_cast<QMdiSubWindow*>(w->parentWidget()) ? w->parentWidget() : w;
    if (!focused || (focused != scope && !scope->isAncestorOf(focused))) return;
    if (QTreeWidget* tree = w->tvDocument()) tree->setFocus();
    if (QApplication::focusWidget() == focused) focused->clearFocus();
}

void frmOrraDevelopment::NotifyDocumentReplaced()
{
    m_currentElementID.clear();
    m_currentParameterID.clear();
    m_currentStationID.clear();
    m_currentScriptID.clear();
    m_inheritanceIncludeID.clear();
    if (m_txtInheritanceInput) m_txtInheritanceInput->hide();
    m_inheritanceEditOpen = false;
    m_pressedNode.clear();
    m_dropHighlight.clear();
    m_text->DocumentReplaced();
    focusTreeInstead(this);
    emit DocumentReplaced();
}

void frmOrraDevelopment::NotifyElementsRemoved(const QStringList& ids)
{
    for (QString* id : {&m_currentElementID, &m_currentParameterID, &m_currentStationID, &m_currentScriptID})
        if (ids.contains(*id)) id->clear();
    if (ids.contains(m_inheritanceIncludeID)) {
        m_inheritanceIncludeID.clear();
        if (m_txtInheritanceInput) m_txtInheritanceInput->hide();
        m_inheritanceEditOpen = false;
    }
    m_text->ElementsRemoved(ids);
    // A break point whose element went would otherwise mark nothing and stop a later element
    // that takes its ID.
    if (m_dbg) m_dbg->breakPoints.removeIf([&ids](const QString& key) { return ids.contains(key); });
    focusTreeInstead(this);
    emit ElementsRemoved(ids);
}

void frmOrraDevelopment::NotifyElementIDChanged(const QString& oldID, const QString& newID)
{
    for (QString* id : {&m_currentElementID, &m_currentParameterID, &m_currentStationID, &m_currentScriptID})
        if (*id == oldID) *id = newID;
    if (m_inheritanceIncludeID == oldID) m_inheritanceIncludeID = newID;
    m_text->ElementIDChanged(oldID, newID);
    if (m_dbg) m_dbg->breakPoints.removeAll(oldID);
    emit ElementIDChanged(oldID, newID);
}

}   // namespace morvane
