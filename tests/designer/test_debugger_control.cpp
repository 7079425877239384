// Commands that arrive while a debug run is under way (the engine yields to the event loop):
// pause, stop during a script, refused second runs, and handlers given IDs the tree lacks.

#include "DebuggerFixture.h"

#include "designer/catalogue/CatalogueCommands.h"
#include "designer/catalogue/frmSaveAs.h"
#include "designer/catalogue/frmpbOrra.h"
#include "designer/shell/DesignerFactories.h"
#include "designer/shell/mdMain.h"

#include "designer/editor/TreeEditing.h"
#include "platform/widgets/RichTextBox.h"

#include <QDrag>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
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
    for (int i = 0; i < 250 && main->documentWindows().contains(alive.data()); ++i) QTest::qWait(20);
    EXPECT_FALSE(main->documentWindows().contains(alive.data()));
    EXPECT_EQ(lockCount(10), 0);
}

}   // namespace
}   // namespace orra::test

namespace orra::test {
namespace {

// Every road by which the author changes the document's structure, tried on w; what each
// achieved is left in the document and the tree.
void tryEveryStructuralEdit(morvane::frmOrraDevelopment* w, const std::function<void(const char*)>& trigger)
{
    morvane::CopyToClipboard(
        orra::FindElementByAttribute(w->document()->documentElement(), QStringLiteral("ID"), QStringLiteral("B0.0")));
    for (const char* item : {"mnuDocDelete", "mnuDocPaste", "mnuDocNewBlock", "mnuDocNewStation", "mnuDocNewScript",
             "mnuDocNewParameter", "mnuFileRefresh"})
        trigger(item);
    w->RemoveElement();
    w->PasteElement();
    w->AddBlock();
    w->AddStation();
    w->AddScript();
    w->AddParameter();
    w->MoveUpBlock();
    w->MoveDownBlock();
    w->ReLoad();
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(w->tvDocument(), &del);
    EXPECT_EQ(w->tvDocument_BeforeLabelEdit(), 1);
    EXPECT_EQ(w->tvDocument_AfterLabelEdit(QStringLiteral("Renamed")), 1);
    // A drag within the tree: none starts, and a drop moves nothing.
    QTreeWidgetItem* dragged = w->documentTree()->node(QStringLiteral("B0.2"));
    const QPoint from = w->tvDocument()->visualItemRect(dragged).center();
    w->tvDocument_MouseDown(1, 0, from);
    w->tvDocument_MouseMove(1, 0, from + QPoint(0, 60));
    EXPECT_FALSE(w->DraggingNode());
    const QPoint onto = w->tvDocument()->visualItemRect(w->documentTree()->node(QStringLiteral("B0"))).center();
    w->tvDocument_DragOver(w->tvDocument(), onto);
    w->tvDocument_DragDrop(w->tvDocument(), onto);
    w->tvDocument_MouseUp();
    w->AddInclude(w->documentTree()->node(QStringLiteral("B0")), 20);
    morvane::CopyToClipboard(xml::Node());
}

TEST_F(DebuggerControlTest, TheStructureIsLockedWhilePausedFromEveryRoad)
{
    QStringList drags;
    morvane::setTreeDragExecutor([&](QDrag* d) {
        drags << QString::fromUtf8(d->mimeData()->data(QStringLiteral("application/x-orra-tree-node")));
        return Qt::IgnoreAction;
    });
    morvane::frmOrraDevelopment* w = openSamplePausedAt(QStringLiteral("B0.1"));
    ASSERT_NE(w, nullptr);
    for (const char* item : {"mnuDocDelete", "mnuDocPaste", "mnuDocNewBlock", "mnuDocNewStation", "mnuDocNewScript",
             "mnuDocNewParameter", "mnuFileRefresh"})
        EXPECT_FALSE(enabled(item)) << item;
    for (const char* key :
        {"Delete", "Paste", "Block", "Station", "Script", "Parameter", "MoveUp", "MoveDown", "Refresh"})
        EXPECT_FALSE(main->toolbarButton(QLatin1String(key))->isEnabled()) << key;
    // A selection made while paused gives the structural commands back neither.
    select(w, QStringLiteral("B0.2"));
    EXPECT_FALSE(enabled("mnuDocDelete"));
    EXPECT_TRUE(enabled("mnuDebugJump"));
    const QString before = w->document()->xml();
    const QStringList treeBefore = treeLines(w->tvDocument());
    tryEveryStructuralEdit(w, [this](const char* item) { trigger(item); });
    EXPECT_EQ(w->document()->xml(), before);
    EXPECT_EQ(treeLines(w->tvDocument()), treeBefore);
    EXPECT_TRUE(drags.isEmpty());
    trigger("mnuDebugContinue");
    EXPECT_EQ(traceRows(),
        (QStringList{QStringLiteral("outer"), QStringLiteral("nested"), QStringLiteral("script"),
            QStringLiteral("inner"), QStringLiteral("last")}));
    trigger("mnuDebugStop");
    // Out of debug mode the commands are the selection's again.
    select(w, QStringLiteral("B0.2"));
    EXPECT_TRUE(enabled("mnuDocDelete"));
    EXPECT_TRUE(enabled("mnuFileRefresh"));
    EXPECT_TRUE(main->toolbarButton(QStringLiteral("Block"))->isEnabled());
    morvane::setTreeDragExecutor(nullptr);
}

TEST_F(DebuggerControlTest, EditsArrivingWhileTheEngineRunsAreRefusedAndTheRunGoesOn)
{
    morvane::frmOrraDevelopment* w = openSample();
    ASSERT_NE(w, nullptr);
    morvane::setTreeDragExecutor([](QDrag*) { return Qt::IgnoreAction; });
    QString before;
    bool pressed = false;
    dui.onYield = [&] {
        if (pressed || !w->DocOrra() || !w->DocOrra()->IsRunning()) return;
        pressed = true;
        before = w->document()->xml();
        // The user selects the last block and tries everything on it while the run goes on.
        select(w, QStringLiteral("B0.2"));
        tryEveryStructuralEdit(w, [this](const char* item) { trigger(item); });
        EXPECT_EQ(w->document()->xml(), before);
    };
    trigger("mnuDebugStart");
    ASSERT_TRUE(pressed);
    EXPECT_EQ(traceRows(),
        (QStringList{QStringLiteral("outer"), QStringLiteral("nested"), QStringLiteral("script"),
            QStringLiteral("inner"), QStringLiteral("last")}));
    EXPECT_EQ(w->document()->xml(), before);
    trigger("mnuDebugStop");
    morvane::setTreeDragExecutor(nullptr);
}

TEST_F(DebuggerControlTest, ClosingAPausedWindowStopsDebugging)
{
    loadMain();
    main->UpdatePanelUser(*catalogue);   // as the start-up shows it
    const QString catalogueUser = main->panelText(QStringLiteral("UserName"));
    morvane::frmOrraDevelopment* w = openSamplePausedAt(QStringLiteral("B0.1"));
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->DebugMode());
    ASSERT_NE(main->panelText(QStringLiteral("UserName")), catalogueUser);
    const std::weak_ptr<db::Connection> run = w->DocOrra()->Orra_Con();
    ASSERT_FALSE(run.expired());
    QPointer<morvane::frmOrraDevelopment> alive(w);
    w->parentWidget()->close();
    for (int i = 0; i < 20 && alive; ++i) QTest::qWait(10);
    EXPECT_FALSE(main->documentWindows().contains(alive.data()));
    EXPECT_EQ(main->panelText(QStringLiteral("UserName")), catalogueUser);
    EXPECT_TRUE(run.expired() || !run.lock()->isOpen());
    EXPECT_FALSE(enabled("mnuDebugStop"));
    EXPECT_EQ(lockCount(10), 0);
}

TEST_F(DebuggerControlTest, TheLockedSqlEditorSelectsByKeyboard)
{
    morvane::frmOrraDevelopment* w = openSamplePausedAt(QStringLiteral("B0.2"));
    ASSERT_NE(w, nullptr);
    auto* sql = w->findChild<orra::RichTextBox*>(QStringLiteral("txtBlockSQL"));
    ASSERT_NE(sql, nullptr);
    EXPECT_TRUE(sql->Locked());
    const QString text = sql->Text();
    QApplication::setActiveWindow(main.get());
    sql->setFocus();
    sql->setSelStart(0);
    QTest::keyClick(sql, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(sql, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(sql->SelText(), text.left(2));
    QTest::keyClick(sql, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(sql->SelText(), text);   // one line
    sql->setSelStart(7);
    QTest::keyClick(sql, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(sql->SelText(), text.mid(7));
    QTest::keyClick(sql, Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(sql->SelStart(), 0);
    // The text itself takes no key.
    QTest::keyClicks(sql, QStringLiteral("x"));
    QTest::keyClick(sql, Qt::Key_Delete);
    EXPECT_EQ(sql->Text(), text);
    trigger("mnuDebugStop");
}

}   // namespace
}   // namespace orra::test

namespace orra::test {
namespace {

// The catalogue commands that take a document away from its open window while that window
// runs it: the window stays until its run has unwound, and a lock goes only with its owner.
enum class Road { DeleteDocument, DeleteCategory, SaveAsOntoIt };
struct TakenAway {
    Road road;
    bool minimized;
    const char* name;
};

class RunUnderCatalogueCommandTest : public DebuggerTest, public ::testing::WithParamInterface<TakenAway> {
protected:
    void TearDown() override
    {
        morvane::setSaveAsDialogRunner(nullptr);
        morvane::setDocumentWindowCreator(nullptr);
        DebuggerTest::TearDown();
    }
    // Waits until the window has gone (its close put off until the run has unwound).
    static void waitUntilGone(const QPointer<QWidget>& w)
    {
        for (int i = 0; i < 250 && w; ++i) QTest::qWait(20);
    }
};

TEST_P(RunUnderCatalogueCommandTest, TheWindowOutlivesItsRunAndTheLockStaysWithItsOwner)
{
    const TakenAway& c = GetParam();
    addSampleDocuments();
    loadMain();
    morvane::frmOrraDevelopment::registerWindow();
    morvane::OpenDocumentWindow(20, QStringLiteral("Inner"));
    morvane::OpenDocumentWindow(10, QStringLiteral("Main"));
    QWidget* other = morvane::FindDocumentWindow(20, QString(), false);
    auto* w = qobject_cast<morvane::frmOrraDevelopment*>(morvane::FindDocumentWindow(10, QString(), false));
    ASSERT_NE(w, nullptr) << dui.texts().join(QLatin1Char('|')).toStdString();
    ASSERT_NE(other, nullptr);
    QPointer<QWidget> alive(w);
    if (c.minimized) w->parentWidget()->showMinimized();
    morvane::frmpbOrra pane;
    morvane::setSaveAsDialogRunner([](morvane::frmSaveAs& d) {
        d.tvOrra()->setCurrentItem(d.tvOrra()->node(QStringLiteral("T10")));
        d.NodeClick(d.tvOrra()->node(QStringLiteral("T10")));
        d.cmdOK()->click();
    });
    bool acted = false;
    dui.onYield = [&] {
        if (acted || !alive || !w->DocOrra() || !w->DocOrra()->IsRunning()) return;
        acted = true;
        switch (c.road) {
        case Road::DeleteDocument:
            dui.answers = {vbYes};
            pane.tvOrra()->setCurrentItem(pane.tvOrra()->node(QStringLiteral("T10")));
            morvane::mnuFileDelete_Click(pane);
            break;
        case Road::DeleteCategory:
            dui.answers = {vbYes};
            pane.tvOrra()->setCurrentItem(pane.tvOrra()->node(QStringLiteral("C1")));
            morvane::mnuFileDelete_Click(pane);
            break;
        case Road::SaveAsOntoIt:
            // Yes to overwriting, Yes to closing the window of the target.
            dui.answers = {vbYes, vbYes};
            morvane::mnuFileSaveAs_Click(&pane, other);
            break;
        }
        // Still there: its run is on the stack.
        EXPECT_FALSE(alive.isNull());
    };
    w->SetDebugMode(true);
    ASSERT_TRUE(acted);
    dui.onYield = nullptr;
    waitUntilGone(alive);
    EXPECT_TRUE(alive.isNull());
    if (c.road == Road::SaveAsOntoIt) {
        // The window that now edits document 10 keeps its lock.
        EXPECT_EQ(morvane::FindDocumentWindow(10, QString(), false), other);
        EXPECT_EQ(lockCount(10), 1);
        EXPECT_EQ(lockCount(20), 0);
    } else {
        EXPECT_EQ(long(scalar(*admin, QStringLiteral("select count(*) from tbOrraSQL where ID=10")).toLongLong()), 0);
        EXPECT_EQ(lockCount(10), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Roads, RunUnderCatalogueCommandTest,
    ::testing::Values(TakenAway{Road::DeleteDocument, true, "DeleteDocumentMinimized"},
        TakenAway{Road::DeleteDocument, false, "DeleteDocument"},
        TakenAway{Road::DeleteCategory, true, "DeleteCategoryMinimized"},
        TakenAway{Road::SaveAsOntoIt, true, "SaveAsOntoItMinimized"},
        TakenAway{Road::SaveAsOntoIt, false, "SaveAsOntoIt"}),
    [](const ::testing::TestParamInfo<TakenAway>& info) { return std::string(info.param.name); });

TEST_F(DebuggerControlTest, ExitDuringARunCompletesOnceTheRunHasUnwound)
{
    morvane::frmOrraDevelopment* w = openSample();
    ASSERT_NE(w, nullptr);
    QPointer<QWidget> alive(w);
    bool exited = false;
    dui.onYield = [&] {
        if (exited || !alive || !w->DocOrra() || !w->DocOrra()->IsRunning()) return;
        exited = true;
        trigger("mnuFileExit");
        EXPECT_FALSE(alive.isNull());
    };
    trigger("mnuDebugStart");
    ASSERT_TRUE(exited);
    dui.onYield = nullptr;
    // Unwinding takes longer on a loaded machine (sanitizers, parallel tests).
    for (int i = 0; i < 250 && main->isVisible(); ++i) QTest::qWait(20);
    EXPECT_TRUE(alive.isNull());
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(lockCount(10), 0);
}

}   // namespace
}   // namespace orra::test
