// The menu bar and toolbar: captions, shortcuts, tool tips, the dispatch of every document
// command to the active window by name, the debug buttons, the state panel and Exit.

#include "ShellFixture.h"

#include "designer/shell/DesignerFactories.h"
#include "platform/db/Connection.h"
#include "platform/host/Error.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>
#include <QVBoxLayout>

using namespace morvane;
using namespace morvane::test;

namespace {

using CommandsTest = ShellTest;

struct MenuRow {
    const char* name;
    const char* caption;
    QKeySequence shortcut;
};

// Every menu item, in order, with its caption and shortcut.
const std::vector<MenuRow>& menuTable()
{
    using K = QKeySequence;
    static const std::vector<MenuRow> rows{
        {"mnuFileNewOrra", "&New Orra", K(Qt::CTRL | Qt::Key_N)},
        {"mnuFileNewCategory", "New Cate&gory", K(Qt::CTRL | Qt::Key_G)},
        {"mnuFileNewParent", "New Pa&rent", K(Qt::CTRL | Qt::Key_R)},
        {"mnuFileDivider", "", {}},
        {"mnuFileCopy", "&Copy", K(Qt::CTRL | Qt::Key_Insert)},
        {"mnuFilePaste", "&Paste", K(Qt::SHIFT | Qt::Key_Insert)},
        {"mnuFileDivider1", "", {}},
        {"mnuFileRegisterServer", "Register &Server", {}},
        {"mnuFileUnRegisterServer", "&UnRegister Server", {}},
        {"mnuFileDivider2", "", {}},
        {"mnuFileSave", "&Save", K(Qt::CTRL | Qt::Key_S)},
        {"mnuFileSaveAs", "Save &As..", {}},
        {"mnuFileSaveAsXML", "Save As XM&L", {}},
        {"mnuFileDelete", "&Delete", K(Qt::SHIFT | Qt::Key_Delete)},
        {"mnuFileRefresh", "&Refresh", K(Qt::Key_F12)},
        {"mnuFileDivider3", "", {}},
        {"mnuFileExit", "E&xit", K(Qt::CTRL | Qt::Key_Q)},
        {"mnuDocNewParameter", "New &Parameter", K(Qt::CTRL | Qt::Key_P)},
        {"mnuDocNewBlock", "New &Block", K(Qt::CTRL | Qt::Key_B)},
        {"mnuDocNewStation", "New S&tation", K(Qt::CTRL | Qt::Key_T)},
        {"mnuDocNewScript", "New Act&iveX Script", K(Qt::CTRL | Qt::Key_I)},
        {"mnuDocDivider0", "", {}},
        {"mnuDocOpenInclude", "&Open Main Document", {}},
        {"mnuDocDivider1", "", {}},
        {"mnuDocAddRepository", "&Add Repository", {}},
        {"mnuDocCopy", "&Copy", {}},
        {"mnuDocPaste", "Past&e", {}},
        {"mnuDocDivider2", "", {}},
        {"mnuDocFind", "&Find", K(Qt::CTRL | Qt::Key_F)},
        {"mnuDocReplace", "&Replace", K(Qt::CTRL | Qt::Key_H)},
        {"mnuDocDivider3", "", {}},
        {"mnuDocIndent", "In&dent", {}},
        {"mnuDocOutdent", "O&utdent", {}},
        {"mnuDocDivider4", "", {}},
        {"mnuDocComment", "Comment Block", {}},
        {"mnuDocUnComment", "UnComment Block", {}},
        {"mnuDocDivider5", "", {}},
        {"mnuDocDelete", "&Delete", {}},
        {"mnuDebugStart", "&Start", K(Qt::Key_F5)},
        {"mnuDebugStartNew", "St&art on New Connection", K(Qt::CTRL | Qt::Key_F5)},
        {"mnuDebugContinue", "&Continue", K(Qt::SHIFT | Qt::Key_F5)},
        {"mnuDebugPause", "&Pause", {}},
        {"mnuDebugStop", "S&top", {}},
        {"mnuDebugDivider0", "", {}},
        {"mnuDebugTrace", "Show &Trace", {}},
        {"mnuDebugDivider1", "", {}},
        {"mnuDebugBreakPoint", "Toogle &Breakpoint", K(Qt::Key_F9)},
        {"mnuDebugClearBreakPoints", "&Clear All Breakpoints", K(Qt::CTRL | Qt::SHIFT | Qt::Key_F9)},
        {"mnuDebugStepInto", "Step &Into", K(Qt::Key_F8)},
        {"mnuDebugStepOver", "Step &Over", K(Qt::SHIFT | Qt::Key_F8)},
        {"mnuDebugStepOut", "Step O&ut", K(Qt::CTRL | Qt::SHIFT | Qt::Key_F8)},
        {"mnuDebugJump", "&Jump To", K(Qt::CTRL | Qt::Key_J)},
        {"mnuPopuptvOrraProperties", "Proper&ties", {}},
        {"mnuPopuptvOrraManagePermissions", "Manage &Permissions", {}},
        {"mnuPopuptvOrraManageSchemas", "Manage &Schemas", {}},
        {"mnuPopupTVOrraDivider0", "", {}},
        {"mnuPopuptvOrraExecute", "&Execute", {}},
        {"mnuPopupTVOrraDivider1", "", {}},
        {"mnuPopuptvOrraDependencies", "&Dependencies", {}},
        {"mnuPopuptvOrraRefresh", "&Refresh", {}},
        {"mnuToolsOptions", "&Options", {}},
        {"mnuWindowCascade", "&Cascade", {}},
        {"mnuWindowHorizontally", "Tile &Horizontally", {}},
        {"mnuWindowVertically", "Tile &Vertically", {}},
        {"mnuHelpContents", "&Contents", K(Qt::Key_F1)},
        {"mnuHelpAbout", "&About", {}},
    };
    return rows;
}

// The toolbar left to right: key (empty for a separator) and tool tip.
const std::vector<std::pair<const char*, const char*>>& toolbarTable()
{
    static const std::vector<std::pair<const char*, const char*>> rows{
        {"Save", "Save active document"},
        {"Refresh", "ReLoad active document"},
        {"", ""},
        {"tvOrra", "Show/Hide Object Explorer"},
        {"tvDocument", "Show / Hide Document Explorer"},
        {"", ""},
        {"AddRepository", "Add current Item to the repository"},
        {"Copy", "Copy selected item"},
        {"Paste", "Paste item"},
        {"Delete", "Delete selected item"},
        {"", ""},
        {"Find", "Find"},
        {"", ""},
        {"Parameter", "New Paremeter"},
        {"Block", "New Block"},
        {"Station", "New Station"},
        {"Script", "New Script"},
        {"", ""},
        {"MoveUp", "Move selected item up"},
        {"MoveDown", "Move selected item down"},
        {"", ""},
        {"RunNew", "Run Document on New Connection"},
        {"Run", "Run Document"},
        {"Continue", "Continue"},
        {"Pause", "Pause Document execution"},
        {"Stop", "Stop document execution"},
        {"", ""},
        {"BreakPoint", "Toggle on/off Breakpoint"},
        {"StepInto", "Step into current item"},
        {"StepOver", "Step over current item"},
        {"StepOut", "Step out current item"},
        {"JumpTo", "Jump to selected item"},
        {"", ""},
        {"ShowResultPane", "Show/Hide Result Pane"},
        {"ResultStyle", "Select result style"},
        {"", ""},
        {"Outdent", "Decrease Indent"},
        {"Indent", "Increase Indent"},
        {"", ""},
        {"CommentBlock", "Comment Selected Block"},
        {"UnCommentBlock", "UnComment Selected Block"},
    };
    return rows;
}

// Menu commands and the call each makes on the active document window.
const std::vector<std::pair<const char*, const char*>>& menuDispatch()
{
    static const std::vector<std::pair<const char*, const char*>> rows{
        {"mnuFileSave", "Save()"},
        {"mnuFileRefresh", "ReLoad()"},
        {"mnuDocNewParameter", "AddParameter()"},
        {"mnuDocNewBlock", "AddBlock()"},
        {"mnuDocNewStation", "AddStation()"},
        {"mnuDocNewScript", "AddScript()"},
        {"mnuDocOpenInclude", "OpenIncludedDocument()"},
        {"mnuDocAddRepository", "CopyToRepository()"},
        {"mnuDocCopy", "CopyElement()"},
        {"mnuDocPaste", "PasteElement()"},
        {"mnuDocDelete", "RemoveElement()"},
        {"mnuDocIndent", "IndentBlock()"},
        {"mnuDocOutdent", "OutdentBlock()"},
        {"mnuDocComment", "CommentBlock()"},
        {"mnuDocUnComment", "UnCommentBlock()"},
        {"mnuDebugStart", "SetDebugMode(true, false)"},
        {"mnuDebugStartNew", "SetDebugMode(true, true)"},
        {"mnuDebugContinue", "StepInto(3)"},
        {"mnuDebugStop", "SetDebugMode(false, false)"},
        {"mnuDebugTrace", "SetTraceMode(true)"},
        {"mnuDebugBreakPoint", "CheckBreakPoint()"},
        {"mnuDebugClearBreakPoints", "RemoveAllBreakPoints()"},
        {"mnuDebugStepInto", "StepInto(0)"},
        {"mnuDebugStepOver", "StepInto(1)"},
        {"mnuDebugStepOut", "StepInto(2)"},
        {"mnuDebugJump", "JumpTo()"},
    };
    return rows;
}

// Toolbar keys and the call each makes.
const std::vector<std::pair<const char*, const char*>>& toolbarDispatch()
{
    static const std::vector<std::pair<const char*, const char*>> rows{
        {"Save", "Save()"},
        {"Refresh", "ReLoad()"},
        {"Block", "AddBlock()"},
        {"Parameter", "AddParameter()"},
        {"Station", "AddStation()"},
        {"Script", "AddScript()"},
        {"Delete", "RemoveElement()"},
        {"AddRepository", "CopyToRepository()"},
        {"Copy", "CopyElement()"},
        {"Paste", "PasteElement()"},
        {"MoveUp", "MoveUpBlock()"},
        {"MoveDown", "MoveDownBlock()"},
        {"Run", "SetDebugMode(true, false)"},
        {"RunNew", "SetDebugMode(true, true)"},
        {"Continue", "StepInto(3)"},
        {"Stop", "SetDebugMode(false, false)"},
        {"BreakPoint", "CheckBreakPoint()"},
        {"StepInto", "StepInto(0)"},
        {"StepOver", "StepInto(1)"},
        {"StepOut", "StepInto(2)"},
        {"JumpTo", "JumpTo()"},
        {"ShowResultPane", "ShowHideResultPane(true)"},
        {"Outdent", "OutdentBlock()"},
        {"Indent", "IndentBlock()"},
        {"CommentBlock", "CommentBlock()"},
        {"UnCommentBlock", "UnCommentBlock()"},
    };
    return rows;
}

void enableEverything(frmMDIMain* w)
{
    for (const auto& row : menuTable())
        if (QAction* a = w->menuItem(QLatin1String(row.name))) a->setEnabled(true);
    for (const auto& row : toolbarTable())
        if (QAction* a = w->toolbarButton(QLatin1String(row.first))) a->setEnabled(true);
}

}   // namespace

TEST_F(CommandsTest, EveryMenuItemHasItsCaptionShortcutAndPlace)
{
    loadMain();
    const QStringList menus{QStringLiteral("&File"), QStringLiteral("&Document"), QStringLiteral("De&bug"),
        QStringLiteral("PopUptvOrra"), QStringLiteral("&Tools"), QStringLiteral("&Window"), QStringLiteral("&Help")};
    QStringList seen;
    QStringList names;
    for (QAction* top : main->menuBar()->actions()) {
        seen << top->text();
        for (QAction* item : top->menu()->actions()) names << item->objectName();
    }
    EXPECT_EQ(seen, menus);
    EXPECT_FALSE(main->menu(QStringLiteral("mnuPopuptvOrra"))->menuAction()->isVisible());
    QStringList expected;
    for (const auto& row : menuTable()) expected << QLatin1String(row.name);
    EXPECT_EQ(names, expected);
    for (const auto& row : menuTable()) {
        QAction* a = main->menuItem(QLatin1String(row.name));
        ASSERT_NE(a, nullptr) << row.name;
        if (a->isSeparator()) continue;
        EXPECT_EQ(a->text(), QString::fromUtf8(row.caption)) << row.name;
        EXPECT_EQ(a->shortcut(), row.shortcut) << row.name;
    }
}

TEST_F(CommandsTest, MenuItemsStartInTheirStates)
{
    loadMain();
    const auto enabled = [&](const char* n) { return main->menuItem(QLatin1String(n))->isEnabled(); };
    for (const char* n :
        {"mnuFilePaste", "mnuFileSave", "mnuFileSaveAs", "mnuFileSaveAsXML", "mnuFileRefresh", "mnuDocOpenInclude",
            "mnuDocIndent", "mnuDocOutdent", "mnuDocComment", "mnuDocUnComment", "mnuDebugStart", "mnuDebugStartNew",
            "mnuDebugPause", "mnuDebugStop", "mnuDebugStepInto", "mnuDebugStepOver", "mnuDebugStepOut", "mnuDebugJump"})
        EXPECT_FALSE(enabled(n)) << n;
    for (const char* n : {"mnuFileNewOrra", "mnuFileCopy", "mnuFileDelete", "mnuFileExit", "mnuDebugTrace",
             "mnuDebugBreakPoint", "mnuDebugClearBreakPoints", "mnuToolsOptions"})
        EXPECT_TRUE(enabled(n)) << n;
    EXPECT_FALSE(main->menuItem(QStringLiteral("mnuDebugContinue"))->isVisible());
    EXPECT_FALSE(main->menuItem(QStringLiteral("mnuFileDivider2"))->isVisible());
    EXPECT_FALSE(main->menu(QStringLiteral("mnuDoc"))->isEnabled());
    EXPECT_FALSE(main->menuItem(QStringLiteral("mnuDebugTrace"))->isChecked());
}

TEST_F(CommandsTest, TheToolbarHasItsButtonsInOrderWithTheirToolTipsAndStates)
{
    loadMain();
    std::vector<std::pair<QString, QString>> seen;
    for (QAction* a : main->toolbar()->actions()) {
        if (a->isSeparator())
            seen.emplace_back(QString(), QString());
        else if (auto* b = qobject_cast<QToolButton*>(main->toolbar()->widgetForAction(a));
                 b && qobject_cast<QWidgetAction*>(a))
            seen.emplace_back(b->defaultAction()->objectName(), b->defaultAction()->toolTip());
        else
            seen.emplace_back(a->objectName(), a->toolTip());
    }
    ASSERT_EQ(seen.size(), toolbarTable().size());
    for (size_t i = 0; i < seen.size(); ++i) {
        const auto& [key, tip] = toolbarTable()[i];
        QAction* a = main->toolbarButton(QLatin1String(key));
        if (*key == 0) {
            EXPECT_TRUE(seen[i].first.isEmpty()) << i;
            continue;
        }
        ASSERT_NE(a, nullptr) << key;
        EXPECT_EQ(a->toolTip(), QLatin1String(tip)) << key;
        EXPECT_EQ(seen[i].first, QLatin1String(key)) << i;
        EXPECT_EQ(seen[i].second, QLatin1String(tip)) << i;
    }
    EXPECT_TRUE(main->toolbarButton(QStringLiteral("ShowResultPane"))->isCheckable());
    EXPECT_FALSE(main->toolbarButton(QStringLiteral("ShowResultPane"))->isChecked());
    EXPECT_FALSE(main->toolbarButton(QStringLiteral("Continue"))->isVisible());
    for (const char* k : {"RunNew", "Run", "Continue", "Pause", "Stop", "StepInto", "StepOver", "StepOut", "JumpTo"})
        EXPECT_FALSE(main->toolbarButton(QLatin1String(k))->isEnabled()) << k;
    EXPECT_TRUE(main->toolbarButton(QStringLiteral("BreakPoint"))->isEnabled());
    EXPECT_EQ(main->toolbarButtonImage(QStringLiteral("ResultStyle")), QStringLiteral("Grid"));
    QMenu* style = main->toolbarButton(QStringLiteral("ResultStyle"))->menu();
    ASSERT_NE(style, nullptr);
    ASSERT_EQ(style->actions().size(), 2);
    EXPECT_EQ(style->actions()[0]->text(), QStringLiteral("Results in Text"));
    EXPECT_EQ(style->actions()[0]->objectName(), QStringLiteral("ResultInText"));
    EXPECT_EQ(style->actions()[1]->text(), QStringLiteral("Results in Grid"));
    EXPECT_EQ(style->actions()[1]->objectName(), QStringLiteral("ResultInGrid"));
}

TEST_F(CommandsTest, EveryMenuCommandCallsTheActiveWindowByName)
{
    loadMain();
    RecordingWindow* w = openWindow();
    w->copyToRepositoryResult = false;
    enableEverything(main.get());
    for (const auto& [item, call] : menuDispatch()) {
        w->calls.clear();
        main->menuItem(QLatin1String(item))->trigger();
        EXPECT_EQ(w->calls, QStringList{QLatin1String(call)}) << item;
    }
    // Pause asks the window to pause its run.
    w->calls.clear();
    main->menuItem(QStringLiteral("mnuDebugPause"))->trigger();
    EXPECT_EQ(w->calls, QStringList{QStringLiteral("PauseDocument()")});
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(QLatin1Char('|')).toStdString();
}

TEST_F(CommandsTest, EveryToolbarKeyCallsTheActiveWindowByName)
{
    loadMain();
    RecordingWindow* w = openWindow();
    w->copyToRepositoryResult = false;
    enableEverything(main.get());
    for (const auto& [key, call] : toolbarDispatch()) {
        w->calls.clear();
        main->toolbarButton(QLatin1String(key))->trigger();
        EXPECT_EQ(w->calls, QStringList{QLatin1String(call)}) << key;
    }
    w->calls.clear();
    main->tbMain_ButtonClick(QStringLiteral("Pause"));
    EXPECT_EQ(w->calls, QStringList{QStringLiteral("PauseDocument()")});
    for (const char* key : {"Unknown", "save"}) {
        w->calls.clear();
        main->tbMain_ButtonClick(QLatin1String(key));
        EXPECT_TRUE(w->calls.isEmpty()) << key;
    }
    // The result pane button passes its new state.
    w->calls.clear();
    main->toolbarButton(QStringLiteral("ShowResultPane"))->trigger();
    EXPECT_EQ(w->calls, QStringList{QStringLiteral("ShowHideResultPane(false)")});
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(QLatin1Char('|')).toStdString();
}

TEST_F(CommandsTest, WithoutADocumentWindowNoCommandDoesAnything)
{
    loadMain();
    enableEverything(main.get());
    for (const auto& [item, call] : menuDispatch()) main->menuItem(QLatin1String(item))->trigger();
    for (const auto& [key, call] : toolbarDispatch()) main->tbMain_ButtonClick(QLatin1String(key));
    main->tbMain_ButtonMenuClick(QStringLiteral("ResultInText"));
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(QLatin1Char('|')).toStdString();
    // Show Trace keeps its check mark; the drop-down keeps its picture.
    EXPECT_FALSE(main->menuItem(QStringLiteral("mnuDebugTrace"))->isChecked());
    EXPECT_EQ(main->toolbarButtonImage(QStringLiteral("ResultStyle")), QStringLiteral("Grid"));
}

TEST_F(CommandsTest, AWindowWithoutTheMemberGivesAClearError)
{
    loadMain();
    auto* bare = new QWidget;
    bare->setWindowTitle(QStringLiteral("Bare"));
    QMdiSubWindow* sub = main->addDocumentWindow(bare);
    sub->show();
    main->mdiArea()->setActiveSubWindow(sub);
    main->mnuFileSave_Click();
    main->mnuDebugStartNew_Click();
    main->tbMain_ButtonClick(QStringLiteral("MoveUp"));
    EXPECT_EQ(ui.messages,
        (QStringList{QStringLiteral("The window \"Bare\" cannot do this: it has no operation Save()."),
            QStringLiteral("The window \"Bare\" cannot do this: it has no operation SetDebugMode(bool, bool)."),
            QStringLiteral("The window \"Bare\" cannot do this: it has no operation MoveUpBlock().")}));
}

TEST_F(CommandsTest, CommandsReachTheActiveWindowAmongSeveral)
{
    loadMain();
    RecordingWindow* first = openWindow(QStringLiteral("First"));
    RecordingWindow* second = openWindow(QStringLiteral("Second"));
    main->mnuDocNewBlock_Click();
    EXPECT_TRUE(first->calls.isEmpty());
    EXPECT_EQ(second->calls, QStringList{QStringLiteral("AddBlock()")});
    main->mdiArea()->setActiveSubWindow(main->mdiArea()->subWindowList().first());
    main->mnuDocNewBlock_Click();
    EXPECT_EQ(first->calls, QStringList{QStringLiteral("AddBlock()")});
}

TEST_F(CommandsTest, ShowTraceTogglesItsCheckAndPassesIt)
{
    loadMain();
    RecordingWindow* w = openWindow();
    QAction* trace = main->menuItem(QStringLiteral("mnuDebugTrace"));
    trace->trigger();
    EXPECT_TRUE(trace->isChecked());
    trace->trigger();
    EXPECT_FALSE(trace->isChecked());
    EXPECT_EQ(w->calls, (QStringList{QStringLiteral("SetTraceMode(true)"), QStringLiteral("SetTraceMode(false)")}));
}

TEST_F(CommandsTest, TheResultStyleDropDownSwitchesPictureAndStyle)
{
    loadMain();
    RecordingWindow* w = openWindow();
    QMenu* style = main->toolbarButton(QStringLiteral("ResultStyle"))->menu();
    style->actions()[0]->trigger();
    EXPECT_EQ(main->toolbarButtonImage(QStringLiteral("ResultStyle")), QStringLiteral("Text"));
    style->actions()[1]->trigger();
    EXPECT_EQ(main->toolbarButtonImage(QStringLiteral("ResultStyle")), QStringLiteral("Grid"));
    main->tbMain_ButtonMenuClick(QStringLiteral("Other"));
    EXPECT_EQ(w->calls,
        (QStringList{
            QStringLiteral("ChangeResultStyle(ResultInText)"), QStringLiteral("ChangeResultStyle(ResultInGrid)")}));
    // Its own click does nothing.
    w->calls.clear();
    main->tbMain_ButtonClick(QStringLiteral("ResultStyle"));
    EXPECT_TRUE(w->calls.isEmpty());
}

TEST_F(CommandsTest, AddRepositoryRebuildsTheRepositoryTreeOnlyWhenTheItemWasStored)
{
    setPaneCreator(QStringLiteral("frmpbOrra"), [](QWidget* parent) { return new RecordingPane(parent); });
    loadMain();
    auto* pane = qobject_cast<RecordingPane*>(main->paneForm(QStringLiteral("frmpbOrra")));
    ASSERT_NE(pane, nullptr);
    RecordingWindow* w = openWindow();
    w->copyToRepositoryResult = true;
    main->mnuDocAddRepository_Click();
    EXPECT_EQ(pane->updates, 1);
    w->copyToRepositoryResult = false;
    main->tbMain_ButtonClick(QStringLiteral("AddRepository"));
    EXPECT_EQ(pane->updates, 1);
    EXPECT_EQ(w->calls, (QStringList{QStringLiteral("CopyToRepository()"), QStringLiteral("CopyToRepository()")}));
}

TEST_F(CommandsTest, FindAndReplaceGiveTheDialogTheWindowModeAndSelection)
{
    RecordingFindDialog* dialog = nullptr;
    setDialogCreator(QStringLiteral("frmFindReplace"), [&dialog](QWidget* parent) {
        dialog = new RecordingFindDialog(parent);
        return dialog;
    });
    loadMain();
    RecordingWindow* w = openWindow();
    auto* layout = new QVBoxLayout(w);
    auto* editor = new QPlainTextEdit(QStringLiteral("select name\r\nfrom t"));
    auto* other = new QPlainTextEdit;
    layout->addWidget(editor);
    layout->addWidget(other);
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    editor->setFocus();
    QTextCursor c = editor->textCursor();
    c.setPosition(7);
    c.setPosition(11, QTextCursor::KeepAnchor);
    editor->setTextCursor(c);
    ASSERT_EQ(w->focusWidget(), editor);

    main->mnuDocFind_Click();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->TypeOfAction, 0);
    EXPECT_EQ(dialog->SearchDoc, w);
    EXPECT_EQ(dialog->findWhat(), QStringLiteral("name"));

    main->tbMain_ButtonClick(QStringLiteral("Find"));
    EXPECT_EQ(dialog->TypeOfAction, 0);
    main->mnuDocReplace_Click();
    EXPECT_EQ(dialog->TypeOfAction, 1);
    EXPECT_TRUE(ui.messages.isEmpty());

    // A window that is not an editor window: nothing.
    dialog->TypeOfAction = -1;
    w->setObjectName(QStringLiteral("frmSomethingElse"));
    main->mnuDocFind_Click();
    EXPECT_EQ(dialog->TypeOfAction, -1);
}

TEST_F(CommandsTest, SetDebugButtonsSwitchesStartAndContinue)
{
    loadMain();
    const auto item = [&](const char* n) { return main->menuItem(QLatin1String(n)); };
    const auto button = [&](const char* k) { return main->toolbarButton(QLatin1String(k)); };
    item("mnuDebugJump")->setEnabled(true);
    item("mnuDebugTrace")->setChecked(true);
    for (bool running : {true, false, true, false}) {
        main->SetDebugButtons(running);
        EXPECT_EQ(item("mnuDebugStart")->isEnabled(), !running);
        EXPECT_EQ(item("mnuDebugStart")->isVisible(), !running);
        EXPECT_EQ(item("mnuDebugStartNew")->isEnabled(), !running);
        EXPECT_EQ(item("mnuDebugContinue")->isEnabled(), running);
        EXPECT_EQ(item("mnuDebugContinue")->isVisible(), running);
        for (const char* n :
            {"mnuDebugPause", "mnuDebugStop", "mnuDebugStepInto", "mnuDebugStepOver", "mnuDebugStepOut"})
            EXPECT_EQ(item(n)->isEnabled(), running) << n;
        EXPECT_EQ(button("Run")->isEnabled(), !running);
        EXPECT_EQ(button("Run")->isVisible(), !running);
        EXPECT_EQ(button("RunNew")->isEnabled(), !running);
        EXPECT_EQ(button("Continue")->isEnabled(), running);
        EXPECT_EQ(button("Continue")->isVisible(), running);
        for (const char* k : {"Pause", "Stop", "StepInto", "StepOut", "StepOver"})
            EXPECT_EQ(button(k)->isEnabled(), running) << k;
        // Show Trace, the break-point items and Jump To are left alone.
        EXPECT_TRUE(item("mnuDebugJump")->isEnabled());
        EXPECT_TRUE(item("mnuDebugTrace")->isChecked());
        EXPECT_TRUE(item("mnuDebugBreakPoint")->isEnabled());
        EXPECT_TRUE(button("BreakPoint")->isEnabled());
        EXPECT_FALSE(button("JumpTo")->isEnabled());
    }
}

TEST_F(CommandsTest, SetStateWritesTheStatePanelForItsFiveValuesOnly)
{
    loadMain();
    const QStringList texts{QString(), QStringLiteral("Running Document"), QStringLiteral("Executing..."),
        QStringLiteral("Getting Results..."), QStringLiteral("Canceling...")};
    for (int state : {1, 0, 2, 3, 4}) {
        main->SetState(state);
        EXPECT_EQ(main->panelText(QStringLiteral("State")), texts[state]) << state;
    }
    for (int state : {5, -1, 100}) {
        main->SetState(state);
        EXPECT_EQ(main->panelText(QStringLiteral("State")), QStringLiteral("Canceling...")) << state;
    }
}

TEST_F(CommandsTest, EnableDocumentCommandsTouchesExactlyItsSeventeenButtons)
{
    loadMain();
    const QStringList group = frmMDIMain::documentCommandKeys();
    ASSERT_EQ(group.size(), 17);
    main->SetDebugButtons(true);   // "Continue" visible: a hidden action never reads as enabled
    for (bool enabled : {false, true}) {
        for (const auto& [key, tip] : toolbarTable())
            if (*key != 0) main->toolbarButton(QLatin1String(key))->setEnabled(!enabled);
        main->EnableDocumentCommands(enabled);
        for (const auto& [key, tip] : toolbarTable()) {
            if (*key == 0 || QLatin1String(key) == QLatin1String("Run")) continue;   // hidden while running
            const bool inGroup = group.contains(QLatin1String(key));
            EXPECT_EQ(main->toolbarButton(QLatin1String(key))->isEnabled(), inGroup ? enabled : !enabled) << key;
        }
    }
    EXPECT_FALSE(group.contains(QStringLiteral("JumpTo")));
}

TEST_F(CommandsTest, EnableToolbarButtonSetsOneButtonAndRefusesAnUnknownKey)
{
    loadMain();
    main->EnableToolbarButton(QStringLiteral("JumpTo"), true);
    EXPECT_TRUE(main->toolbarButton(QStringLiteral("JumpTo"))->isEnabled());
    EXPECT_FALSE(main->toolbarButton(QStringLiteral("Run"))->isEnabled());
    EXPECT_THROW(main->EnableToolbarButton(QStringLiteral("NoSuchButton"), true), orra::Error);
}

TEST_F(CommandsTest, StatusBarPanelsAndTheCaretLine)
{
    loadMain();
    QPlainTextEdit editor(QStringLiteral("select 1\nfrom t\nwhere x = 1"));
    QTextCursor c = editor.textCursor();
    c.setPosition(0);
    editor.setTextCursor(c);
    main->UpdatePanelLine(&editor);
    EXPECT_EQ(main->panelText(QStringLiteral("Line")), QStringLiteral("Line: 1"));
    c.setPosition(18);
    editor.setTextCursor(c);
    main->UpdatePanelLine(&editor);
    EXPECT_EQ(main->panelText(QStringLiteral("Line")), QStringLiteral("Line: 3"));
    main->setPanelText(QStringLiteral("ID"), QStringLiteral("ID:B0.1"));
    EXPECT_EQ(main->panelText(QStringLiteral("ID")), QStringLiteral("ID:B0.1"));
    EXPECT_THROW(main->setPanelText(QStringLiteral("Nope"), QString()), orra::Error);
    EXPECT_FALSE(main->panelText(QStringLiteral("Date")).isEmpty());

    orra::db::Connection closed;
    EXPECT_THROW(main->UpdatePanelUser(closed), orra::Error);
}

TEST_F(CommandsTest, ExitStopsWhenADocumentWindowRefusesToClose)
{
    loadMain();
    RecordingWindow* w = openWindow();
    w->refuseClose = true;
    main->mnuFileExit_Click();
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->documentWindows().size(), 1);
    EXPECT_TRUE(w->calls.contains(QStringLiteral("close")));
    EXPECT_FALSE(QFile::exists(settingsFile()));   // nothing unloaded, nothing saved

    w->refuseClose = false;
    main->mnuFileExit_Click();
    EXPECT_FALSE(main->isVisible());
    EXPECT_TRUE(QFile::exists(settingsFile()));
}

TEST_F(CommandsTest, ExitClosesTheOtherWindowsAndSparesNone)
{
    // The free-standing text window only hides itself when it is closed.
    class HidingWindow : public QWidget {
    public:
        void closeEvent(QCloseEvent* e) override
        {
            e->ignore();
            hide();
        }
    };
    loadMain();
    HidingWindow edit;
    edit.setObjectName(QStringLiteral("frmEdit"));
    edit.setWindowTitle(QStringLiteral("Form1"));
    edit.show();
    QWidget other;
    other.setWindowTitle(QStringLiteral("Dependencies"));
    other.show();
    main->mnuFileExit_Click();
    EXPECT_FALSE(main->isVisible());
    EXPECT_FALSE(edit.isVisible());
    EXPECT_FALSE(other.isVisible());
}

TEST_F(CommandsTest, OptionsSavesTheStoreAndAppliesTheSettingsToTheActiveWindow)
{
    loadMain();
    RecordingWindow* w = openWindow();
    EXPECT_FALSE(QFile::exists(settingsFile()));
    // A registered dialog takes the place of the shell's own (which the Options tests drive).
    setDialogCreator(QStringLiteral("frmOptions"), [](QWidget* parent) { return new QWidget(parent); });
    main->mnuToolsOptions_Click();
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_TRUE(QFile::exists(settingsFile()));
    EXPECT_EQ(w->calls, QStringList{QStringLiteral("ApplySettings()")});
    setDialogCreator(QStringLiteral("frmOptions"), nullptr);
}

TEST_F(CommandsTest, ItemsOfOtherLibrariesRunTheirHandlerOrSayTheyAreNotAvailable)
{
    loadMain();
    main->menuItem(QStringLiteral("mnuFileNewOrra"))->trigger();
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("The command \"New Orra\" is not available yet.")});
    int runs = 0;
    main->setCommandHandler(QStringLiteral("mnuFileNewOrra"), [&runs] { ++runs; });
    main->menuItem(QStringLiteral("mnuFileNewOrra"))->trigger();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(ui.messages.size(), 1);
    EXPECT_THROW(main->setCommandHandler(QStringLiteral("mnuNothing"), [] {}), orra::Error);
}

TEST_F(CommandsTest, WindowArrangements)
{
    loadMain();
    main->resize(1000, 700);
    RecordingWindow* a = openWindow(QStringLiteral("A"));
    RecordingWindow* b = openWindow(QStringLiteral("B"));
    const QRect area = main->mdiArea()->viewport()->rect();
    main->mnuWindowHorizontally_Click();
    const QRect ga = a->parentWidget()->geometry(), gb = b->parentWidget()->geometry();
    EXPECT_EQ(ga.width(), area.width());
    EXPECT_EQ(gb.width(), area.width());
    EXPECT_NE(ga.top(), gb.top());
    main->mnuWindowVertically_Click();
    EXPECT_EQ(a->parentWidget()->height(), area.height());
    EXPECT_EQ(b->parentWidget()->height(), area.height());
    EXPECT_NE(a->parentWidget()->x(), b->parentWidget()->x());
    main->mnuWindowCascade_Click();
    EXPECT_NE(a->parentWidget()->pos(), b->parentWidget()->pos());
}

TEST_F(CommandsTest, TheWindowMenuListsTheOpenWindows)
{
    loadMain();
    openWindow(QStringLiteral("A"));
    openWindow(QStringLiteral("B"));
    QMenu* window = main->menu(QStringLiteral("mnuWindow"));
    emit window->aboutToShow();
    QStringList texts;
    for (QAction* a : window->actions())
        if (!a->isSeparator()) texts << a->text();
    EXPECT_EQ(texts,
        (QStringList{QStringLiteral("&Cascade"), QStringLiteral("Tile &Horizontally"),
            QStringLiteral("Tile &Vertically"), QStringLiteral("&1 A"), QStringLiteral("&2 B")}));
    window->actions()[4]->trigger();   // "&1 A"
    EXPECT_EQ(main->activeDocumentWindow()->windowTitle(), QStringLiteral("A"));
    emit window->aboutToShow();   // rebuilt, not appended
    EXPECT_EQ(window->actions().size(), 6);
}

TEST_F(CommandsTest, FindLeavesTheSearchFieldAloneWhenNoTextEditorHasTheFocus)
{
    RecordingFindDialog* dialog = nullptr;
    setDialogCreator(QStringLiteral("frmFindReplace"), [&dialog](QWidget* parent) {
        dialog = new RecordingFindDialog(parent);
        return dialog;
    });
    loadMain();
    RecordingWindow* w = openWindow();
    main->mnuDocReplace_Click();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->TypeOfAction, 1);
    EXPECT_EQ(dialog->SearchDoc, w);
    EXPECT_EQ(dialog->findWhat(), QStringLiteral("kept"));
}

// Raises the system's error on every event of the type it watches for.
class RaisingFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::User)
            throw orra::Error(orra::kSystemError, QStringLiteral("frmFilter"), QStringLiteral("The filter failed"));
        return false;
    }
};

TEST_F(CommandsTest, ErrorsThatReachTheEventLoopAreShownWithTheirSourceAndItGoesOn)
{
    loadMain();
    ui.messages.clear();
    ui.titles.clear();
    QTimer::singleShot(0, main.get(),
        [] { throw orra::Error(orra::kSystemError, QStringLiteral("frmTimer"), QStringLiteral("The timer failed")); });
    QMetaObject::invokeMethod(
        main.get(),
        [] { throw orra::Error(orra::kSystemError, QStringLiteral("frmSlot"), QStringLiteral("The slot failed")); },
        Qt::QueuedConnection);
    auto* watched = new QObject(main.get());
    watched->installEventFilter(new RaisingFilter(watched));
    QCoreApplication::postEvent(watched, new QEvent(QEvent::User));
    bool ranAfter = false;
    QTimer::singleShot(5, main.get(), [&ranAfter] { ranAfter = true; });
    for (int i = 0; i < 50 && !ranAfter; ++i) QTest::qWait(5);
    EXPECT_TRUE(ranAfter);
    EXPECT_EQ(ui.messages,
        (QStringList{QStringLiteral("The timer failed"), QStringLiteral("The slot failed"),
            QStringLiteral("The filter failed")}));
    EXPECT_EQ(
        ui.titles, (QStringList{QStringLiteral("frmTimer"), QStringLiteral("frmSlot"), QStringLiteral("frmFilter")}));
}
