// The handlers of the engine's events during a debug run: the running element is marked in the
// tree, break points and step targets pause the run, stations are shown, every rewritten text
// goes to the trace, and the end exports the "#Report" rows. Every handler looks its node up by
// the element ID the engine names and does nothing with an ID the tree does not hold.

#include "common/QueryDocument.h"
#include "common/SpreadsheetExport.h"
#include "designer/editor/DebugState.h"
#include "designer/editor/DocumentTree.h"
#include "designer/editor/MainWindowLink.h"
#include "platform/host/UserInterface.h"
#include "platform/vbscript/Runtime.h"

#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextCursor>

namespace morvane {

namespace xml = orra::xml;

namespace {
const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kYellow(255, 255, 0);
const QColor kDarkRed(128, 0, 0);
}   // namespace

void frmOrraDevelopment::PauseAt(const QString& id)
{
    if (orra::DocOrra* engine = DocOrra()) engine->Statu = orra::DocOrra::enDocStatuPaused;
    QTreeWidgetItem* node = runNode(id);
    if (!node) return;
    {
        // The selection is this window's own: the pane's forwarding of the click is not needed.
        const QSignalBlocker block(m_tree);
        m_tree->setCurrentItem(node);
    }
    tvDocument_NodeClick(node);
    LockForDebug(true);
}

// Pauses where the current resume wants it: the jump target, a step target or a break point.
void frmOrraDevelopment::BreakRule(const QString& id)
{
    DebugState& d = dbg();
    if (id == d.ResumeID) {
        if (id == d.JumpTargetID) {
            PauseAt(id);
            d.JumpTargetID.clear();
        } else {
            d.ResumeID.clear();
        }
    } else if ((!d.StepFallbackID.isEmpty() && id == d.StepFallbackID)
        || (!d.StepTargetID.isEmpty() && id == d.StepTargetID)) {
        PauseAt(id);
    } else if (IsBreakPoint(id)) {
        PauseAt(id);
    }
}

void frmOrraDevelopment::DocOrra_BeforeExecutionBlock(QString& BlockID)
{
    ApplyColours(runNode(BlockID), kYellow, kBlack, true);
    dbg().ExecutingID = BlockID;
}

void frmOrraDevelopment::DocOrra_BeforeExecutionBlockSQL(QString& BlockID) { BreakRule(BlockID); }

void frmOrraDevelopment::DocOrra_AfterExecutionBlock(QString& BlockID)
{
    QTreeWidgetItem* node = runNode(BlockID);
    if (!node) return;
    if (IsBreakPoint(BlockID)) {
        ApplyColours(node, kDarkRed, kWhite, true);
        m_tree->expandNode(node);
    } else {
        ApplyColours(node, kWhite, kBlack, false);
        m_tree->expandNode(node);
        m_tree->scrollToItem(node);
    }
}

void frmOrraDevelopment::DocOrra_BeforeExecutionScript(QString& ScriptID)
{
    ApplyColours(runNode(ScriptID), kYellow, kBlack, true);
    dbg().ExecutingID = ScriptID;
    BreakRule(ScriptID);
}

void frmOrraDevelopment::DocOrra_AfterExecutionScript(QString& ScriptID) { DocOrra_AfterExecutionBlock(ScriptID); }

void frmOrraDevelopment::DocOrra_BeforeExecutionInclude(QString& IncludeID)
{
    if (QTreeWidgetItem* node = runNode(IncludeID)) {
        ApplyColours(node, kYellow, kBlack, true);
        m_tree->expandNode(node);
    }
    dbg().ExecutingID = IncludeID;
    BreakRule(IncludeID);
}

void frmOrraDevelopment::DocOrra_AfterExecutionInclude(QString& IncludeID)
{
    if (IsBreakPoint(IncludeID))
        ApplyColours(runNode(IncludeID), kDarkRed, kWhite, true);
    else
        ApplyColours(runNode(IncludeID), kWhite, kBlack, false);
}

// A station: shown to the author, then the run goes on from it. The engine returns first; the
// window's run loop carries the run on (RunLoop), so stations never nest runs.
void frmOrraDevelopment::DocOrra_ArrivetoStation(QString& StationID, QString& StationName)
{
    if (StationID == QLatin1String("DocEnd")) return;
    QTreeWidgetItem* node = runNode(StationID);
    if (node) {
        node->setBackground(0, kYellow);
        QFont f = node->font(0);
        f.setBold(true);
        node->setFont(0, f);
    }
    orra::userInterface().messageBox(QStringLiteral("Arrive to station") + StationName, orra::vbOKOnly, QString());
    // The box may have been closed by a stop (or the window's tree rebuilt): look again.
    if ((node = runNode(StationID))) {
        node->setBackground(0, kWhite);
        QFont f = node->font(0);
        f.setBold(false);
        node->setFont(0, f);
    }
    if (m_debugMode) dbg().stationResume = StationID;
}

void frmOrraDevelopment::DocOrra_DocumentEnd(orra::db::RecordsetPtr& rsdbg)
{
    orra::DocOrra* engine = DocOrra();
    if (engine && engine->flagReturnRecordSet && rsdbg && rsdbg->isOpen()) {
        try {
            const orra::ExportResult result = orra::ExportRecordsetToExcel(*rsdbg);
            QPlainTextEdit* box = dbgMessage();
            QTextCursor end(box->document());
            end.movePosition(QTextCursor::End);
            end.insertText((box->document()->isEmpty() ? QString() : QStringLiteral("\n")) + result.path);
        } catch (const orra::Error& e) {
            showError(e.description());
        }
    }
    MainWindowLink main;
    for (const char* key : {"Continue", "StepInto", "StepOut", "StepOver"})
        main.EnableToolbarButton(QLatin1String(key), false);
    for (const char* name : {"mnuDebugContinue", "mnuDebugStepInto", "mnuDebugStepOut", "mnuDebugStepOver"})
        main.SetMenuEnabled(QLatin1String(name), false);
}

void frmOrraDevelopment::DocOrra_AfterModifyClause(QString& ElementID, QString& strClause)
{
    if (strClause.trimmed().isEmpty() || !m_document) return;
    const xml::Node root = m_document->documentElement();
    xml::Node element = orra::FindElementByAttribute(root, QStringLiteral("ID"), ElementID);
    if (!element && xml::attribute(root, QStringLiteral("ID")) == ElementID) element = root;
    if (element && xml::hasTag(element, "Parameter")) return;
    const bool script = element && xml::hasTag(element, "Script");
    const QString crlf = QStringLiteral("\r\n");
    AppendTrace(crlf + QStringLiteral("/") + traceRule() + crlf + QStringLiteral("Date Time:")
        + orra::vbs::formatDate(orra::vbs::nowDate()) + crlf + (element ? xml::tagName(element) : QString())
        + QStringLiteral(":") + (element ? xml::attribute(element, QStringLiteral("ID")) : ElementID)
        + QStringLiteral(":") + (element ? xml::attribute(element, QStringLiteral("Name")) : QString()) + crlf
        + traceRule() + QStringLiteral("/") + crlf
        + (script ? QStringLiteral("/*") + strClause + QStringLiteral("*/") : strClause));
    QPlainTextEdit* box = dbgTrace();
    box->moveCursor(QTextCursor::End);
    orra::userInterface().processEvents();
}

}   // namespace morvane
