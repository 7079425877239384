// The window as the debugger of its document: trace mode, entering and leaving debug mode, the
// run loop, and the commands that resume a paused run (step into, over, out, continue, jump).
//
// The engine runs on the GUI thread and lets the window's event loop run while it works, so
// main-window commands arrive while RunDocument is on the stack. Every command that would start
// or resume a run asks the engine first (IsRunning) and is refused while a run is under way;
// Stop is always accepted (the engine's stop is safe inside its events and yields).

#include "common/Connections.h"
#include "common/Permissions.h"
#include "common/QueryDocument.h"
#include "designer/editor/DebugState.h"
#include "designer/editor/DocumentTree.h"
#include "designer/editor/EditorTextHandlers.h"
#include "designer/editor/MainWindowLink.h"
#include "designer/shell/DesignerState.h"
#include "designer/shell/frmMDIMain.h"
#include "platform/host/UserInterface.h"
#include "platform/vbscript/Runtime.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QTimer>

namespace morvane {

namespace xml = orra::xml;

QString debugCaptionSuffix() { return QStringLiteral("-[DEBUG MODE]"); }
QString traceRule() { return QString(46, QLatin1Char('*')); }

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString generalDateNow() { return orra::vbs::formatDate(orra::vbs::nowDate()); }

bool isExecutable(xml::Node n)
{
    return xml::isElement(n) && !xml::hasTag(n, "Inheritance") && !xml::hasTag(n, "Parameter");
}

xml::Node nextExecutableSibling(xml::Node n)
{
    for (xml::Node s = n.next_sibling(); s; s = s.next_sibling())
        if (isExecutable(s)) return s;
    return {};
}

xml::Node FirstStepElement(xml::Node element)
{
    for (xml::Node c = element.first_child(); c; c = c.next_sibling()) {
        if (!isExecutable(c)) continue;
        // The embedded document of an expanded include: its own first element.
        if (xml::hasTag(c, "Document")) return FirstStepElement(c);
        return c;
    }
    return {};
}

QString StepOutTarget(xml::Node element)
{
    const xml::Node parent = element.parent();
    if (!parent || !xml::isElement(parent)) return {};
    if (const xml::Node s = nextExecutableSibling(parent)) return xml::attribute(s, QStringLiteral("ID"));
    if (xml::attribute(parent, QStringLiteral("ID")) != QLatin1String("B0")) return StepOutTarget(parent);
    return {};
}

QString StepOverTarget(xml::Node element)
{
    if (const xml::Node s = nextExecutableSibling(element)) return xml::attribute(s, QStringLiteral("ID"));
    return StepOutTarget(element);
}

QString StepIntoTarget(xml::Node element)
{
    if (const xml::Node f = FirstStepElement(element)) return xml::attribute(f, QStringLiteral("ID"));
    return StepOverTarget(element);
}

void restoreMousePointer()
{
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

}   // namespace

orra::DocOrra* frmOrraDevelopment::DocOrra() const { return m_dbg ? m_dbg->engine.get() : nullptr; }

QString frmOrraDevelopment::TraceText() const { return m_dbg ? m_dbg->trace : QString(); }

// The trace box shows the text with plain line ends; the trace itself keeps CR LF.
void frmOrraDevelopment::AppendTrace(const QString& text)
{
    dbg().trace += text;
    QPlainTextEdit* box = dbgTrace();
    QTextCursor end(box->document());
    end.movePosition(QTextCursor::End);
    QString shown = text;
    shown.replace(kCrLf, QStringLiteral("\n"));
    end.insertText(shown);
}

void frmOrraDevelopment::SetTraceMode(bool flag)
{
    m_traceMode = flag;
    if (!m_debugMode) return;
    if (orra::DocOrra* engine = DocOrra()) engine->flagReturnModifiedClause = flag;
    if (flag) {
        ShowHideResultPane(true);
        m_dbgTab->setCurrentIndex(2);
        dbgTab_Click();
    }
}

// While debugging, the document is the one the engine runs: its panes take no edits and the
// tree neither drags nor renames.
void frmOrraDevelopment::LockForDebug(bool locked)
{
    if (m_tree) {
        const QVariant kept = m_tree->property("debugLock");
        if (locked) {
            if (!kept.isValid())
                m_tree->setProperty("debugLock", QVariantList{m_tree->dragEnabled(), int(m_tree->editTriggers())});
            m_tree->setDragEnabled(false);
            m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
        } else if (kept.isValid()) {
            const QVariantList was = kept.toList();
            m_tree->setDragEnabled(was.value(0).toBool());
            m_tree->setEditTriggers(QAbstractItemView::EditTriggers(was.value(1).toInt()));
            m_tree->setProperty("debugLock", QVariant());
        }
    }
    if (locked && visibleFrame() >= 0 && visibleFrame() != PaneParameterGroup) SetEditable(visibleFrame(), false);
}

void frmOrraDevelopment::SetDebugMode(bool flagMode, bool flagOnNewConnection)
{
    DebugState& d = dbg();
    // One run per window: a start while debugging (also while a stopped run is still unwinding)
    // and a stop outside debug mode have nothing to do.
    if (flagMode && (m_debugMode || (d.engine && d.engine->IsRunning()))) return;
    if (!flagMode && !m_debugMode) return;

    // Only a start needs the run right: a stop is never refused (the document may be gone).
    bool allowed = !flagMode;
    try {
        if (flagMode) allowed = orra::HasDocPermission(catalogue(), m_docID, 0, orra::rightExecute);
    } catch (const orra::Error& e) {
        showError(e.description());
        return;
    }
    if (!allowed) {
        orra::userInterface().messageBox(
            QStringLiteral("Permission Denied : You could not run this document"), orra::vbOKOnly, QString());
        return;
    }
    // The run walks the document as it stands: an edit left open goes into it first.
    if (flagMode) FinishOpenEdits();
    MainWindowLink().SetDebugButtons(flagMode);
    m_debugMode = flagMode;
    if (!flagMode) {
        StopDebugMode();
        return;
    }
    // Each run starts with no step pending: an earlier run's targets are not this one's.
    d.ExecutingID.clear();
    d.ResumeID.clear();
    d.StepTargetID.clear();
    d.StepFallbackID.clear();
    d.JumpTargetID.clear();
    ApplyStructureLock();

    // The trace header.
    resultPane();
    d.trace.clear();
    m_dbgTrace->clear();
    AppendTrace(QStringLiteral("/") + traceRule() + kCrLf + QStringLiteral("Document:") + windowTitle() + kCrLf
        + QStringLiteral("Date Time:") + generalDateNow() + kCrLf + traceRule() + QStringLiteral("/"));
    d.caption = windowTitle();
    LockForDebug(true);

    // A new engine for every start; the last one goes only now.
    d.engine = std::make_unique<orra::DocOrra>(m_runHost);
    orra::DocOrra* engine = d.engine.get();
    connect(engine, &orra::DocOrra::BeforeExecutionBlock, this, &frmOrraDevelopment::DocOrra_BeforeExecutionBlock,
        Qt::DirectConnection);
    connect(engine, &orra::DocOrra::BeforeExecutionBlockSQL, this, &frmOrraDevelopment::DocOrra_BeforeExecutionBlockSQL,
        Qt::DirectConnection);
    connect(engine, &orra::DocOrra::AfterExecutionBlock, this, &frmOrraDevelopment::DocOrra_AfterExecutionBlock,
        Qt::DirectConnection);
    connect(engine, &orra::DocOrra::BeforeExecutionScript, this, &frmOrraDevelopment::DocOrra_BeforeExecutionScript,
        Qt::DirectConnection);
    connect(engine, &orra::DocOrra::AfterExecutionScript, this, &frmOrraDevelopment::DocOrra_AfterExecutionScript,
        Qt::DirectConnection);
    connect(engine, &orra::DocOrra::BeforeExecutionInclude, this, &frmOrraDevelopment::DocOrra_BeforeExecutionInclude,
        Qt::DirectConnection);
    connect(engine, &orra::DocOrra::AfterExecutionInclude, this, &frmOrraDevelopment::DocOrra_AfterExecutionInclude,
        Qt::DirectConnection);
    connect(engine, &orra::DocOrra::ArrivetoStation, this, &frmOrraDevelopment::DocOrra_ArrivetoStation,
        Qt::DirectConnection);
    connect(engine, &orra::DocOrra::DocumentEnd, this, &frmOrraDevelopment::DocOrra_DocumentEnd, Qt::DirectConnection);
    connect(engine, &orra::DocOrra::AfterModifyClause, this, &frmOrraDevelopment::DocOrra_AfterModifyClause,
        Qt::DirectConnection);
    engine->flagReturnModifiedClause = m_traceMode;
    engine->flagShowErrorMessages = true;
    engine->setDoc_Con(orra::mainConnection());
    engine->OrraID = m_docID;
    engine->setXMLDOMDocument(m_document);
    d.ended = false;
    d.stationResume.clear();
    // Ctrl+F5 in a text editor shows the selection with the run's parameter values.
    if (m_text) {
        AdHocSqlSeam seam = m_text->adHocSql();
        seam.GetRunableSQL = [this](const QString& sql) {
            bool isError = false;
            orra::DocOrra* run = DocOrra();
            return run ? run->GetRunableSQL(sql, isError) : sql;
        };
        m_text->setAdHocSql(std::move(seam));
    }

    const xml::Node root = m_document ? m_document->documentElement() : xml::Node();
    // A root of the older form (no Server) is bound to no server, as the Document pane shows.
    QString server = root && xml::hasAttribute(root, QStringLiteral("Server"))
        ? xml::attribute(root, QStringLiteral("Server"))
        : QStringLiteral("{FREE}");
    if (server == QLatin1String("{FREE}")) server = catalogueServerName();

    orra::db::ConnectionPtr connection = std::make_shared<orra::db::Connection>();
    if (!orra::GetServerConnection(server, connection, flagOnNewConnection) || !connection) {
        restoreMousePointer();
        MainWindowLink().SetDebugButtons(false);
        SetDebugMode(false, false);
        return;
    }
    // The window is in debug mode once the log-on is done, not while it is asked for.
    setWindowTitle(windowTitle() + debugCaptionSuffix());
    try {
        if (frmMDIMain* main = frmMDIMain::instance()) main->UpdatePanelUser(*connection);
    } catch (const orra::Error& e) {
        showError(e.description());
    }
    if (m_traceMode) {
        ShowHideResultPane(true);
        m_dbgTab->setCurrentIndex(2);
        dbgTab_Click();
    }
    engine->setOrra_Con(connection);
    connection.reset();
    engine->flagShowErrorMessages = true;
    engine->PrepareforExecution();
    engine->GoToID.clear();
    RunLoop();
}

// Leaving debug mode: the engine drops its tables (at once, or once a run under way has
// unwound), the run connection is closed and released, and the window is the editor again.
void frmOrraDevelopment::StopDebugMode(bool rebuildTree)
{
    DebugState& d = dbg();
    d.stationResume.clear();
    if (orra::DocOrra* engine = d.engine.get()) {
        // An ad-hoc statement still running on the run connection ends before it closes.
        AbandonEditorSQL();
        const orra::db::ConnectionPtr connection = engine->Orra_Con();
        engine->EndExecution();
        if (connection && connection->isOpen()) {
            try {
                connection->close();
            } catch (const orra::Error&) {
            }
        }
        engine->setOrra_Con(nullptr);
    }
    if (windowTitle().endsWith(debugCaptionSuffix()))
        setWindowTitle(windowTitle().left(windowTitle().size() - kDebugCaptionSuffixLength));
    try {
        if (frmMDIMain* main = frmMDIMain::instance())
            if (orra::db::ConnectionPtr c = orra::mainConnection()) main->UpdatePanelUser(*c);
    } catch (const orra::Error& e) {
        showError(e.description());
    }
    if (!m_traceMode) ShowHideResultPane(false);
    LockForDebug(false);
    if (!rebuildTree) return;
    PopulateTree();
    PopulateBreakPoints();
}

// Runs the engine until it pauses, ends or fails. A station returns from the engine first; the
// window then carries the run on from the station here, so no run ever nests in an event.
float frmOrraDevelopment::RunLoop()
{
    DebugState& d = dbg();
    orra::DocOrra* engine = d.engine.get();
    if (!engine) return orra::RunResult::Stopped;
    float r = orra::RunResult::Stopped;
    for (;;) {
        r = engine->RunDocument();
        while (r == orra::RunResult::RestartRequested && m_debugMode && d.engine.get() == engine)
            r = engine->RunDocument();
        if (!m_debugMode || d.engine.get() != engine) {
            // Stopped meanwhile: now that the run has unwound, the commands are the selection's.
            if (m_active && !StructureLocked() && m_tree && m_tree->currentItem())
                tvDocument_NodeClick(m_tree->currentItem());
            return r;
        }
        if (r == orra::RunResult::Paused && !d.stationResume.isEmpty()
            && engine->Statu == orra::DocOrra::enDocStatuRunning) {
            engine->GoToID = d.stationResume;
            d.stationResume.clear();
            continue;
        }
        break;
    }
    d.stationResume.clear();
    if (r == orra::RunResult::Stopped) {
        restoreMousePointer();
    } else if (r == orra::RunResult::Finished) {
        d.ended = true;
        engine->EndExecution();
    }
    return r;
}

void frmOrraDevelopment::StepInto(int Steptype)
{
    DebugState& d = dbg();
    orra::DocOrra* engine = d.engine.get();
    // Only a paused run can be resumed: not outside debug mode, not while the engine is still
    // running (a command that came in during a yield), not after the document has ended.
    if (!m_debugMode || !engine || engine->IsRunning() || d.ended) return;
    // Nor while an ad-hoc statement runs on the run connection.
    if (ExecutionState() != 0) return;
    d.ResumeID = d.ExecutingID;
    engine->Statu = orra::DocOrra::enDocStatuRunning;
    engine->GoToID = d.ExecutingID;
    if (Steptype >= 0 && Steptype <= 3) {
        xml::Node e;
        if (Steptype != 3 && m_document && !d.ExecutingID.isEmpty())
            e = orra::FindElementByAttribute(m_document->documentElement(), QStringLiteral("ID"), d.ExecutingID);
        // No element to step from (none entered yet, or the root itself): the step goes on
        // like Continue, to the next break point or the end.
        if (!e || Steptype == 3) {
            d.StepTargetID.clear();
            d.StepFallbackID.clear();
        } else if (Steptype == 0) {
            d.StepTargetID = StepIntoTarget(e);
            d.StepFallbackID = StepOverTarget(e);
        } else if (Steptype == 1) {
            d.StepTargetID = StepOverTarget(e);
            d.StepFallbackID.clear();
        } else {
            d.StepTargetID = StepOutTarget(e);
            d.StepFallbackID.clear();
        }
    }
    RunLoop();
    if (d.engine.get() == engine) engine->GoToID.clear();
}

void frmOrraDevelopment::JumpTo()
{
    DebugState& d = dbg();
    orra::DocOrra* engine = d.engine.get();
    if (!m_debugMode || !engine || engine->IsRunning() || d.ended) return;
    // Nor while an ad-hoc statement runs on the run connection.
    if (ExecutionState() != 0) return;
    QTreeWidgetItem* target = m_tree ? m_tree->currentItem() : nullptr;
    if (!target) return;
    static const QStringList jumpable{QStringLiteral("Block"), QStringLiteral("IBlock"), QStringLiteral("Script"),
        QStringLiteral("IScript"), QStringLiteral("Include"), QStringLiteral("IInclude")};
    if (!jumpable.contains(DocumentTree::tag(target))) return;
    ApplyColours(runNode(d.ExecutingID), QColor(255, 255, 255), QColor(0, 0, 0), false);
    d.JumpTargetID = DocumentTree::key(target);
    d.ExecutingID = d.JumpTargetID;
    engine->PauseAtEvent = orra::DocOrra::enPauseAtEvent_Nothing;
    StepInto(-1);
}

bool frmOrraDevelopment::DeferCloseDuringRun()
{
    orra::DocOrra* engine = DocOrra();
    if (!engine || !engine->IsRunning()) return false;
    if (m_debugMode) SetDebugMode(false);
    // The window stays until the run has unwound from under its handlers.
    m_closePending = true;
    QTimer::singleShot(0, this, [this] {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
            sub->close();
        else
            close();
    });
    return true;
}

void frmOrraDevelopment::PauseDocument()
{
    if (orra::DocOrra* engine = DocOrra()) engine->Statu = orra::DocOrra::enDocStatuPaused;
}

}   // namespace morvane
