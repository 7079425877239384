// Commands that arrive while a debug run is under way (the engine yields to the event loop):
// pause, stop during a script, refused second runs, and handlers given IDs the tree lacks.

#include "DebuggerFixture.h"

#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>

namespace orra::test {
namespace {

class DebuggerControlTest : public DebuggerTest {};

TEST_F(DebuggerControlTest, PauseDuringAStatementPausesAfterItAndCommandsMidRunAreRefused)
{
    morvane::frmOrraDevelopment* w = openSample();
    ASSERT_NE(w, nullptr);
    bool pressed = false;
    int runningChecks = 0;
    dui.onYield = [&] {
        if (pressed || !w->DocOrra() || !w->DocOrra()->IsRunning()) return;
        pressed = true;
        // The user presses everything that would start a second run: all refused.
        trigger("mnuDebugStart");
        w->StepInto(3);
        w->StepInto(0);
        select(w, QStringLiteral("B0.2"));
        w->JumpTo();
        runningChecks += w->DocOrra()->IsRunning();
        trigger("mnuDebugPause");
    };
    trigger("mnuDebugStart");
    ASSERT_TRUE(pressed);
    EXPECT_EQ(runningChecks, 1);
    // The first block's statement ran; the run paused at the next event, its children's.
    EXPECT_TRUE(w->DebugMode());
    EXPECT_FALSE(w->DocOrra()->IsRunning());
    EXPECT_EQ(w->DocOrra()->Statu, orra::DocOrra::enDocStatuPaused);
    EXPECT_EQ(w->DocOrra()->PauseAtEvent, orra::DocOrra::enPauseAtEvent_BeforeExecutionChildBlocks);
    EXPECT_TRUE(traceRows().isEmpty());
    EXPECT_TRUE(dui.texts().isEmpty()) << dui.texts().join(QLatin1Char('|')).toStdString();
    dui.onYield = nullptr;
    trigger("mnuDebugContinue");
    EXPECT_EQ(traceRows().size(), 5);
    EXPECT_TRUE(QFileInfo::exists(w->dbgMessage()->toPlainText()));
    EXPECT_TRUE(dui.texts().isEmpty()) << dui.texts().join(QLatin1Char('|')).toStdString();
}

TEST_F(DebuggerControlTest, StopDuringAScriptEndsTheRunAndLeavesTheWindowEditable)
{
    addDocument(70, 1, QStringLiteral("Long script"),
        docXml(blockXml(QStringLiteral("B0.0"), traceInsert(QStringLiteral("before")))
            + scriptXml(QStringLiteral("B0.X0"),
                QStringLiteral("For i = 1 To 5000000\r\n  n = n + 1\r\nNext\r\nOrraCon.Execute \"")
                    + traceInsert(QStringLiteral("script end")) + QStringLiteral("\""))
            + blockXml(QStringLiteral("B0.1"), traceInsert(QStringLiteral("after")))));
    morvane::frmOrraDevelopment* w = openInMain(70);
    ASSERT_NE(w, nullptr);
    const QString caption = w->windowTitle();
    std::weak_ptr<db::Connection> run;
    bool stopped = false;
    dui.onYield = [&] {
        if (stopped || !w->DocOrra()) return;
        QTreeWidgetItem* script = node(w, QStringLiteral("B0.X0"));
        if (script->background(0).color() != QColor(255, 255, 0)) return;   // not in the script yet
        stopped = true;
        run = w->DocOrra()->Orra_Con();
        trigger("mnuDebugStop");
    };
    trigger("mnuDebugStart");
    ASSERT_TRUE(stopped);
    EXPECT_EQ(traceRows(), QStringList{QStringLiteral("before")});
    EXPECT_FALSE(w->DebugMode());
    EXPECT_FALSE(w->DocOrra()->IsRunning());
    EXPECT_EQ(w->windowTitle(), caption);
    EXPECT_EQ(w->DocOrra()->Orra_Con(), nullptr);
    EXPECT_TRUE(run.expired() || !run.lock()->isOpen());
    EXPECT_TRUE(dui.texts().isEmpty()) << dui.texts().join(QLatin1Char('|')).toStdString();
    // Editable again: the root's pane takes input, the block's too.
    auto* description = w->findChild<QPlainTextEdit*>(QStringLiteral("txtdocDescription"));
    ASSERT_NE(description, nullptr);
    EXPECT_FALSE(description->isReadOnly());
    select(w, QStringLiteral("B0.1"));
    auto* sql = w->findChild<QPlainTextEdit*>(QStringLiteral("txtBlockSQL"));
    ASSERT_NE(sql, nullptr);
    EXPECT_FALSE(sql->isReadOnly());
    EXPECT_TRUE(enabled("mnuDebugStart"));
    // And it can be debugged again.
    dui.onYield = nullptr;
    select(w, QStringLiteral("B0.1"));
    trigger("mnuDebugBreakPoint");
    trigger("mnuDebugStart");
    EXPECT_TRUE(w->DebugMode());
    EXPECT_EQ(selectedKey(w), QStringLiteral("B0.1"));
    trigger("mnuDebugStop");
}

TEST_F(DebuggerControlTest, PanesAreLockedWhileDebugging)
{
    morvane::frmOrraDevelopment* w = openSample();
    ASSERT_NE(w, nullptr);
    select(w, QStringLiteral("B0.1"));
    trigger("mnuDebugBreakPoint");
    trigger("mnuDebugStart");
    auto* sql = w->findChild<QPlainTextEdit*>(QStringLiteral("txtBlockSQL"));
    ASSERT_NE(sql, nullptr);
    EXPECT_TRUE(sql->isReadOnly());
    select(w, QStringLiteral("B0.0"));
    EXPECT_TRUE(sql->isReadOnly());
    EXPECT_EQ(w->tvDocument()->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(w->tvDocument()->dragEnabled());
    trigger("mnuDebugStop");
    select(w, QStringLiteral("B0.0"));
    EXPECT_FALSE(sql->isReadOnly());
}

TEST_F(DebuggerControlTest, HandlersIgnoreIDsTheTreeDoesNotHold)
{
    morvane::frmOrraDevelopment* w = openSample();
    ASSERT_NE(w, nullptr);
    select(w, QStringLiteral("B0.1"));
    trigger("mnuDebugBreakPoint");
    trigger("mnuDebugStart");
    for (QString id : {QString(), QStringLiteral("B9.9"), QStringLiteral("X|B0.0")}) {
        QString name = QStringLiteral("n");
        w->DocOrra_BeforeExecutionBlock(id);
        w->DocOrra_BeforeExecutionBlockSQL(id);
        w->DocOrra_AfterExecutionBlock(id);
        w->DocOrra_BeforeExecutionScript(id);
        w->DocOrra_AfterExecutionScript(id);
        w->DocOrra_BeforeExecutionInclude(id);
        w->DocOrra_AfterExecutionInclude(id);
        w->DocOrra_ArrivetoStation(id, name);
    }
    EXPECT_EQ(selectedKey(w), QStringLiteral("B0.1"));
    EXPECT_EQ(node(w, QStringLiteral("B0.1"))->background(0).color(), QColor(255, 255, 0));
    trigger("mnuDebugStop");
    EXPECT_FALSE(w->DebugMode());
}

}   // namespace
}   // namespace orra::test

namespace orra::test {
namespace {

TEST_F(DebuggerControlTest, ClosingTheWindowDuringARunStopsItFirst)
{
    morvane::frmOrraDevelopment* w = openSample();
    ASSERT_NE(w, nullptr);
    QPointer<morvane::frmOrraDevelopment> alive(w);
    bool closed = false;
    dui.onYield = [&] {
        if (closed || !alive || !alive->DocOrra() || !alive->DocOrra()->IsRunning()) return;
        closed = true;
        alive->parentWidget()->close();
        // The window is still there while the run unwinds from under its handlers.
        EXPECT_FALSE(alive.isNull());
    };
    trigger("mnuDebugStart");
    ASSERT_TRUE(closed);
    ASSERT_FALSE(alive.isNull());
    EXPECT_FALSE(w->DebugMode());
    EXPECT_TRUE(traceRows().isEmpty());
    dui.onYield = nullptr;
    // Once the run has unwound the close goes through, and the lock is released.
    for (int i = 0; i < 20 && main->documentWindows().contains(alive.data()); ++i) QTest::qWait(20);
    EXPECT_FALSE(main->documentWindows().contains(alive.data()));
    EXPECT_EQ(lockCount(10), 0);
}

}   // namespace
}   // namespace orra::test
