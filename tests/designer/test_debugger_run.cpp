// Debug runs driven through the main window's Debug menu: start, pause at break points, the
// step commands, continue to the end with the "#Report" export, stations, the trace, stop.

#include "DebuggerFixture.h"

#include "designer/editor/EditorTextHandlers.h"
#include "designer/shell/DesignerFactories.h"
#include "designer/shell/frmMDIMain.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>

namespace orra::test {
namespace {

class DebuggerRunTest : public DebuggerTest {};

TEST_F(DebuggerRunTest, BreakPointOnANestedBlockStopsThereAndContinueExportsTheReport)
{
    morvane::frmOrraDevelopment* w = openSample();
    ASSERT_NE(w, nullptr);
    const QString caption = w->windowTitle();
    select(w, QStringLiteral("B0.1.0"));
    trigger("mnuDebugBreakPoint");
    trigger("mnuDebugStart");

    ASSERT_TRUE(w->DebugMode());
    EXPECT_EQ(w->windowTitle(), caption + QStringLiteral("-[DEBUG MODE]"));
    EXPECT_EQ(dui.logOnServers, QStringList{server()});   // "{FREE}": the catalogue's server
    EXPECT_EQ(selectedKey(w), QStringLiteral("B0.1.0"));
    EXPECT_EQ(traceRows(), QStringList{QStringLiteral("outer")});
    ASSERT_NE(w->DocOrra(), nullptr);
    EXPECT_EQ(w->DocOrra()->Statu, orra::DocOrra::enDocStatuPaused);
    EXPECT_EQ(w->DocOrra()->PauseAtEvent, orra::DocOrra::enPauseAtEvent_BeforeExecutionBlockSQL);
    EXPECT_TRUE(w->DocOrra()->XMLDOMDocument().get() == w->document());   // the window's own document
    EXPECT_TRUE(main->panelText(QStringLiteral("UserName")).startsWith(QStringLiteral("sa (")));
    EXPECT_FALSE(enabled("mnuDebugStart"));
    EXPECT_TRUE(enabled("mnuDebugContinue"));
    EXPECT_TRUE(main->menuItem(QStringLiteral("mnuDebugContinue"))->isVisible());
    EXPECT_TRUE(enabled("mnuDebugStop"));

    trigger("mnuDebugContinue");
    EXPECT_EQ(traceRows(),
        (QStringList{QStringLiteral("outer"), QStringLiteral("nested"), QStringLiteral("script"),
            QStringLiteral("inner"), QStringLiteral("last")}));
    // The end: the report went to a workbook whose path the Message view shows.
    const QString path = w->dbgMessage()->toPlainText();
    EXPECT_TRUE(path.endsWith(QStringLiteral(".xlsx"))) << path.toStdString();
    EXPECT_TRUE(QFileInfo(path).isFile());
    EXPECT_TRUE(path.startsWith(exportDir.path()));
    for (const char* item : {"mnuDebugContinue", "mnuDebugStepInto", "mnuDebugStepOver", "mnuDebugStepOut"})
        EXPECT_FALSE(enabled(item)) << item;
    for (const char* key : {"Continue", "StepInto", "StepOver", "StepOut"})
        EXPECT_FALSE(main->toolbarButton(QLatin1String(key))->isEnabled()) << key;
    EXPECT_TRUE(enabled("mnuDebugStop"));
    EXPECT_TRUE(w->DebugMode());
    // The engine's temporary tables were dropped at the end.
    EXPECT_ANY_THROW(w->DocOrra()->Orra_Con()->execute(QStringLiteral("select * from #Int")));

    const std::weak_ptr<db::Connection> run = w->DocOrra()->Orra_Con();
    trigger("mnuDebugStop");
    EXPECT_FALSE(w->DebugMode());
    EXPECT_EQ(w->windowTitle(), caption);
    EXPECT_EQ(w->DocOrra()->Orra_Con(), nullptr);
    EXPECT_TRUE(run.expired() || !run.lock()->isOpen());
    EXPECT_TRUE(enabled("mnuDebugStart"));
    EXPECT_FALSE(main->menuItem(QStringLiteral("mnuDebugContinue"))->isVisible());
    EXPECT_TRUE(dui.texts().isEmpty()) << dui.texts().join(QLatin1Char('|')).toStdString();
}

TEST_F(DebuggerRunTest, StepIntoWalksBlocksScriptsAndIncludesInDocumentOrder)
{
    morvane::frmOrraDevelopment* w = openSample();
    ASSERT_NE(w, nullptr);
    select(w, QStringLiteral("B0.1"));
    trigger("mnuDebugBreakPoint");
    trigger("mnuDebugStart");
    QStringList stops{selectedKey(w)};
    for (int i = 0; i < 6; ++i) {
        trigger("mnuDebugStepInto");
        stops << selectedKey(w);
        if (!enabled("mnuDebugStepInto")) break;
    }
    // Into the block's children, from the script out to the include, into the included
    // document, out of it to the last block; from the last block the run goes to its end.
    EXPECT_EQ(stops,
        (QStringList{QStringLiteral("B0.1"), QStringLiteral("B0.1.0"), QStringLiteral("B0.1.X0"),
            QStringLiteral("B0.I0"), QStringLiteral("B0.I0|B0.0"), QStringLiteral("B0.2"), QStringLiteral("B0.2")}));
    EXPECT_EQ(traceRows().size(), 5);
    EXPECT_FALSE(enabled("mnuDebugStepInto"));
}

TEST_F(DebuggerRunTest, EachStartBeginsWithNoStepPending)
{
    morvane::frmOrraDevelopment* w = openSamplePausedAt(QStringLiteral("B0.1"));
    ASSERT_NE(w, nullptr);
    trigger("mnuDebugStepInto");
    ASSERT_EQ(selectedKey(w), QStringLiteral("B0.1.0"));
    trigger("mnuDebugStop");
    // The second run stops at the break point again, not at the first run's step target.
    trigger("mnuDebugStart");
    EXPECT_EQ(selectedKey(w), QStringLiteral("B0.1"));
    EXPECT_EQ(traceRows(), QStringList{QStringLiteral("outer")});
    trigger("mnuDebugStop");
}

TEST_F(DebuggerRunTest, StepOverAndStepOutSkipChildren)
{
    morvane::frmOrraDevelopment* w = openSample();
    ASSERT_NE(w, nullptr);
    select(w, QStringLiteral("B0.1"));
    trigger("mnuDebugBreakPoint");
    trigger("mnuDebugStart");
    ASSERT_EQ(selectedKey(w), QStringLiteral("B0.1"));
    trigger("mnuDebugStepOver");
    EXPECT_EQ(selectedKey(w), QStringLiteral("B0.I0"));
    EXPECT_EQ(traceRows(), (QStringList{QStringLiteral("outer"), QStringLiteral("nested"), QStringLiteral("script")}));
    trigger("mnuDebugStepInto");
    EXPECT_EQ(selectedKey(w), QStringLiteral("B0.I0|B0.0"));
    trigger("mnuDebugStepOut");
    EXPECT_EQ(selectedKey(w), QStringLiteral("B0.2"));
    EXPECT_EQ(traceRows().last(), QStringLiteral("inner"));
    // Step out of a last child under the root: nothing to stop at, the run ends.
    trigger("mnuDebugStepOut");
    EXPECT_EQ(traceRows().last(), QStringLiteral("last"));
    EXPECT_FALSE(enabled("mnuDebugContinue"));
}

TEST_F(DebuggerRunTest, JumpToAnEarlierBlockRunsItAgain)
{
    morvane::frmOrraDevelopment* w = openSample();
    ASSERT_NE(w, nullptr);
    select(w, QStringLiteral("B0.2"));
    trigger("mnuDebugBreakPoint");
    trigger("mnuDebugStart");
    ASSERT_EQ(selectedKey(w), QStringLiteral("B0.2"));
    select(w, QStringLiteral("B0.1"));
    EXPECT_TRUE(enabled("mnuDebugJump"));
    trigger("mnuDebugJump");
    // Paused on arriving at the target, before its SQL, marked as running.
    EXPECT_EQ(selectedKey(w), QStringLiteral("B0.1"));
    EXPECT_EQ(node(w, QStringLiteral("B0.1"))->background(0).color(), QColor(255, 255, 0));
    EXPECT_EQ(node(w, QStringLiteral("B0.2"))->background(0).color(), QColor(255, 255, 255));
    EXPECT_FALSE(node(w, QStringLiteral("B0.2"))->font(0).bold());
    EXPECT_EQ(traceRows().count(QStringLiteral("outer")), 1);
    trigger("mnuDebugContinue");
    // On to the break point of B0.2 again, then to the end.
    EXPECT_EQ(selectedKey(w), QStringLiteral("B0.2"));
    EXPECT_EQ(traceRows().count(QStringLiteral("outer")), 2);
    EXPECT_EQ(traceRows().count(QStringLiteral("inner")), 2);
    trigger("mnuDebugContinue");
    EXPECT_EQ(traceRows().count(QStringLiteral("last")), 1);
    EXPECT_FALSE(enabled("mnuDebugContinue"));
}

TEST_F(DebuggerRunTest, StationsAreShownAndTheRunGoesOnWithoutNesting)
{
    addDocument(40, 1, QStringLiteral("Stations"),
        docXml(blockXml(QStringLiteral("B0.0"), traceInsert(QStringLiteral("a")))
            + QStringLiteral("<Station ID=\"B0.S0\" Name=\"Check\"><![CDATA[]]></Station>")
            + blockXml(QStringLiteral("B0.1"), traceInsert(QStringLiteral("b")))));
    morvane::frmOrraDevelopment* w = openInMain(40);
    ASSERT_NE(w, nullptr);
    select(w, QStringLiteral("B0.1"));
    trigger("mnuDebugBreakPoint");
    // While the station's box is up, the engine is still in its event and the node is marked.
    QStringList seen;
    dui.onMessage = [&](const QString& text) {
        QTreeWidgetItem* n = node(w, QStringLiteral("B0.S0"));
        seen << text + QStringLiteral("|") + n->background(0).color().name() + (n->font(0).bold() ? "|bold" : "");
    };
    trigger("mnuDebugStart");
    EXPECT_EQ(seen, QStringList{QStringLiteral("Arrive to stationCheck|#ffff00|bold")});
    EXPECT_EQ(node(w, QStringLiteral("B0.S0"))->background(0).color(), QColor(255, 255, 255));
    EXPECT_FALSE(node(w, QStringLiteral("B0.S0"))->font(0).bold());
    // Carried on from the station to the break point after it.
    EXPECT_EQ(selectedKey(w), QStringLiteral("B0.1"));
    EXPECT_FALSE(w->DocOrra()->IsRunning());
    EXPECT_EQ(traceRows(), QStringList{QStringLiteral("a")});

    // Back before the station: the block runs again and the station is shown again.
    select(w, QStringLiteral("B0.0"));
    trigger("mnuDebugJump");
    EXPECT_EQ(selectedKey(w), QStringLiteral("B0.0"));
    trigger("mnuDebugContinue");
    EXPECT_EQ(seen.size(), 2);
    EXPECT_EQ(selectedKey(w), QStringLiteral("B0.1"));
    trigger("mnuDebugContinue");
    EXPECT_EQ(traceRows(), (QStringList{QStringLiteral("a"), QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_FALSE(enabled("mnuDebugContinue"));
    // The end-of-document station shows nothing.
    EXPECT_EQ(seen.size(), 2);
    trigger("mnuDebugStop");
    EXPECT_FALSE(w->DebugMode());
}

TEST_F(DebuggerRunTest, EachWindowsDebugRunAnswersToItsOwnHost)
{
    for (const long id : {60L, 61L})
        addDocument(id, 1, QStringLiteral("Host %1").arg(id),
            docXml(blockXml(QStringLiteral("B0.0"), traceInsert(QStringLiteral("run %1").arg(id)))
                + scriptXml(QStringLiteral("B0.X0"), QStringLiteral("MsgBox \"from %1\"").arg(id))));
    ScriptedUserInterface first(false), second(false);
    // The program registers the window with its host: every window made then carries it.
    morvane::frmOrraDevelopment::registerWindow(RunHost{&first, nullptr, {}});
    {
        std::unique_ptr<QWidget> made(morvane::documentWindowCreator()(nullptr));
        auto* window = qobject_cast<morvane::frmOrraDevelopment*>(made.get());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->runHost().ui, &first);
    }
    morvane::frmOrraDevelopment::registerWindow();

    morvane::frmOrraDevelopment* w1 = openInMain(60);
    morvane::frmOrraDevelopment* w2 = openInMain(61);
    ASSERT_NE(w1, nullptr);
    ASSERT_NE(w2, nullptr);
    EXPECT_EQ(w1->runHost().ui, nullptr);
    w1->setRunHost(RunHost{&first, nullptr, {}});
    w2->setRunHost(RunHost{&second, nullptr, {}});

    w1->SetDebugMode(true, false);
    w2->SetDebugMode(true, false);
    ASSERT_NE(w1->DocOrra(), nullptr);
    ASSERT_NE(w2->DocOrra(), nullptr);
    EXPECT_EQ(w1->DocOrra()->host().ui, &first);
    EXPECT_EQ(w2->DocOrra()->host().ui, &second);
    EXPECT_EQ(traceRows(), (QStringList{QStringLiteral("run 60"), QStringLiteral("run 61")}));
    EXPECT_EQ(first.texts(), QStringList{QStringLiteral("from 60")});
    EXPECT_EQ(second.texts(), QStringList{QStringLiteral("from 61")});
    EXPECT_FALSE(dui.texts().contains(QStringLiteral("from 60")));
    EXPECT_FALSE(dui.texts().contains(QStringLiteral("from 61")));
    w1->SetDebugMode(false, false);
    w2->SetDebugMode(false, false);
}

TEST_F(DebuggerRunTest, TraceHoldsTheHeaderAndEveryRewrittenText)
{
    addDocument(50, 1, QStringLiteral("Traced"),
        docXml(blockXml(QStringLiteral("B0.0"), traceInsert(QStringLiteral("<$P%>")),
                   QStringLiteral("<Parameter ID=\"B0.0.P_P\" Name=\"P\" Caption=\"P\" DefaultValue=\"42\" "
                                  "Type=\"fact\" Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" "
                                  "Behaviour=\"dynamic\"/>"))
            + blockXml(QStringLiteral("B0.1"), QStringLiteral("   "))
            + scriptXml(QStringLiteral("B0.X0"), QStringLiteral("x = 1"))));
    morvane::frmOrraDevelopment* w = openInMain(50);
    ASSERT_NE(w, nullptr);
    w->setWindowTitle(QStringLiteral("Traced doc"));
    trigger("mnuDebugTrace");
    EXPECT_TRUE(w->TraceMode());
    EXPECT_FALSE(w->ResultPaneVisible());   // outside debug mode only the flag
    trigger("mnuDebugStart");
    EXPECT_TRUE(w->ResultPaneVisible());
    QTabWidget* tabs = w->resultPane();
    EXPECT_EQ(tabs->tabBar()->tabData(tabs->currentIndex()).toString(), QStringLiteral("Trace"));
    EXPECT_TRUE(w->DocOrra()->flagReturnModifiedClause);
    EXPECT_EQ(traceRows(), QStringList{QStringLiteral("42")});

    const QString stars = QRegularExpression::escape(QString(46, QLatin1Char('*')));
    const QString date = QStringLiteral("[^\\r\\n]+");
    const QString entry = QStringLiteral("\\r\\n/") + stars + QStringLiteral("\\r\\nDate Time:") + date
        + QStringLiteral("\\r\\n%1\\r\\n") + stars + QStringLiteral("/\\r\\n%2");
    const QRegularExpression expected(QStringLiteral("^/") + stars
        + QStringLiteral("\\r\\nDocument:Traced doc\\r\\nDate Time:") + date + QStringLiteral("\\r\\n") + stars
        + QStringLiteral("/")
        + entry.arg(QStringLiteral("Block:B0\\.0:Block B0\\.0"),
            QRegularExpression::escape(QStringLiteral("insert into Trace (Step) values ('42')")))
        + entry.arg(
            QStringLiteral("Script:B0\\.X0:Script B0\\.X0"), QRegularExpression::escape(QStringLiteral("/*x = 1*/")))
        + QStringLiteral("$"));
    EXPECT_TRUE(expected.match(w->TraceText()).hasMatch()) << w->TraceText().toStdString();
    // The box shows the same text.
    QString shown = w->TraceText();
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(w->dbgTrace()->toPlainText(), shown);
    // With trace on, the pane stays after Stop.
    trigger("mnuDebugStop");
    EXPECT_TRUE(w->ResultPaneVisible());
}

TEST_F(DebuggerRunTest, RunConnectionComesFromTheCacheOrANewLogOn)
{
    addDocument(60, 1, QStringLiteral("Named"),
        docXml(blockXml(QStringLiteral("B0.0"), traceInsert(QStringLiteral("x"))), server()));
    morvane::frmOrraDevelopment* w = openInMain(60);
    ASSERT_NE(w, nullptr);
    trigger("mnuDebugStart");
    trigger("mnuDebugStop");
    trigger("mnuDebugStart");
    trigger("mnuDebugStop");
    EXPECT_EQ(dui.logOnServers, QStringList{server()});   // the second start took the cached log-on
    trigger("mnuDebugStartNew");
    EXPECT_EQ(dui.logOnServers.size(), 2);
    trigger("mnuDebugStop");
    EXPECT_EQ(traceRows().size(), 3);

    // A refused log-on leaves debug mode at once.
    const QString caption = w->windowTitle();
    dui.refuseLogOn = true;
    trigger("mnuDebugStartNew");
    EXPECT_FALSE(w->DebugMode());
    EXPECT_EQ(w->windowTitle(), caption);
    EXPECT_TRUE(enabled("mnuDebugStart"));
    EXPECT_FALSE(enabled("mnuDebugStop"));
    EXPECT_EQ(traceRows().size(), 3);
}

TEST_F(DebuggerRunTest, ARootWithoutServerRunsOnTheCataloguesServer)
{
    // The older form: no Server, shown as "{FREE}" in its pane.
    addDocument(61, 1, QStringLiteral("Older"),
        QStringLiteral("<Document ID=\"B0\" Name=\"Older form\"><![CDATA[old]]>")
            + blockXml(QStringLiteral("B0.0"), traceInsert(QStringLiteral("older"))) + QStringLiteral("</Document>"));
    morvane::frmOrraDevelopment* w = openInMain(61);
    ASSERT_NE(w, nullptr);
    trigger("mnuDebugStart");
    EXPECT_EQ(dui.logOnServers, QStringList{server()});
    trigger("mnuDebugStop");
    EXPECT_EQ(traceRows(), QStringList{QStringLiteral("older")});
}

TEST_F(DebuggerRunTest, TheDebugLogOnStartsFromTheServersRegistryRowAndTheCatalogueLogOn)
{
    struct RegistryInMat {
        RegistryInMat() { qputenv("ORRA_REGISTRY_DB", "mat"); }
        ~RegistryInMat() { qunsetenv("ORRA_REGISTRY_DB"); }
    } registry;
    admin->execute(QStringLiteral("insert into mat..tbOrraConnections (Server, IP, [Database], UserName, UserPwd) "
                                  "values ('%1', '', '%2', '', '')")
                       .arg(server(), database()));
    addDocument(62, 1, QStringLiteral("Registered"),
        docXml(blockXml(QStringLiteral("B0.0"), traceInsert(QStringLiteral("registered"))), server()));
    // The log-on is answered with the login alone: the database is the one it was offered.
    dui.answerAsAsked = true;
    morvane::frmOrraDevelopment* w = openInMain(62);
    ASSERT_NE(w, nullptr);
    // While the log-on is asked for, the window is not yet in debug mode.
    const QString caption = w->windowTitle();
    QString captionWhileAsked;
    dui.onLogOn = [&] { captionWhileAsked = w->windowTitle(); };
    trigger("mnuDebugStart");
    EXPECT_EQ(captionWhileAsked, caption);
    EXPECT_EQ(w->windowTitle(), caption + QStringLiteral("-[DEBUG MODE]"));
    ASSERT_EQ(dui.logOnsAsked.size(), 1u);
    EXPECT_EQ(dui.logOnsAsked[0].database, database());
    EXPECT_FALSE(dui.logOnsAsked[0].trusted);   // as the catalogue's: a SQL login, with its login
    EXPECT_EQ(dui.logOnsAsked[0].login, QStringLiteral("sa"));
    trigger("mnuDebugStop");
    // The run worked in the registered database, where the document's tables are.
    EXPECT_EQ(traceRows(), QStringList{QStringLiteral("registered")});
}

}   // namespace
}   // namespace orra::test

namespace orra::test {
namespace {

TEST_F(DebuggerRunTest, PausedRunGivesItsParameterValuesToTheEditorsAndTheRootNeverPauses)
{
    addDocument(80, 1, QStringLiteral("Valued"),
        docXml(blockXml(QStringLiteral("B0.0"), traceInsert(QStringLiteral("<$P%>")),
            QStringLiteral("<Parameter ID=\"B0.0.P_P\" Name=\"P\" Caption=\"P\" DefaultValue=\"7\" "
                           "Type=\"fact\" Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" "
                           "Behaviour=\"dynamic\"/>"))));
    morvane::frmOrraDevelopment* w = openInMain(80);
    ASSERT_NE(w, nullptr);
    // A break point on the root: the engine raises no SQL event for it.
    select(w, QStringLiteral("B0"));
    trigger("mnuDebugBreakPoint");
    select(w, QStringLiteral("B0.0"));
    trigger("mnuDebugBreakPoint");
    trigger("mnuDebugStart");
    ASSERT_EQ(selectedKey(w), QStringLiteral("B0.0"));
    ASSERT_NE(w->textEditors(), nullptr);
    ASSERT_TRUE(bool(w->textEditors()->adHocSql().GetRunableSQL));
    EXPECT_EQ(w->textEditors()->adHocSql().GetRunableSQL(QStringLiteral("select '<$P%>', '<$Q%>'")),
        QStringLiteral("select '7', '<$Q%>'"));
    trigger("mnuDebugContinue");
    EXPECT_EQ(traceRows(), QStringList{QStringLiteral("7")});
    EXPECT_FALSE(enabled("mnuDebugContinue"));
    trigger("mnuDebugStop");
}

}   // namespace
}   // namespace orra::test
