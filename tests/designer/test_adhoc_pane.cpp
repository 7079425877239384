// The editor window's result pane: result style, showing and hiding, the tabs and their views,
// Ctrl+C of a grid block with its column names, the "Line" panel.

#include "AdHocFixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QTextBlock>

namespace orra::test {
namespace {

using AdHocPaneTest = AdHocTest;

int tabIndex(QTabWidget* tab, const char* key)
{
    for (int i = 0; i < tab->count(); ++i)
        if (tab->tabBar()->tabData(i).toString() == QLatin1String(key)) return i;
    return -1;
}

TEST_F(AdHocPaneTest, ResultStyleChangesTheTabAndTheVisibleView)
{
    QTabWidget* pane = w->resultPane();
    const int result = tabIndex(pane, "Result");
    ASSERT_EQ(result, 0);
    // The window starts in grid style with the tab's design caption.
    EXPECT_EQ(w->ResultStyle(), "ResultInGrid");
    EXPECT_EQ(pane->tabText(result), "Grids");
    EXPECT_EQ(pane->tabText(tabIndex(pane, "Message")), "Message");
    EXPECT_EQ(pane->tabText(tabIndex(pane, "Trace")), "Trace");

    // While the pane is hidden the style changes the caption only.
    w->ChangeResultStyle(QStringLiteral("ResultInText"));
    EXPECT_EQ(w->ResultStyle(), "ResultInText");
    EXPECT_EQ(pane->tabText(result), "Text");
    EXPECT_FALSE(pane->isVisible());

    w->ShowHideResultPane(true);
    EXPECT_TRUE(box("dbgText")->isVisible());
    EXPECT_FALSE(grid()->isVisible());
    w->ChangeResultStyle(QStringLiteral("ResultInGrid"));
    EXPECT_EQ(pane->tabText(result), "Grids");
    EXPECT_TRUE(grid()->isVisible());
    EXPECT_FALSE(box("dbgText")->isVisible());

    // Another value is kept but changes nothing on the screen.
    w->ChangeResultStyle(QStringLiteral("ResultInChart"));
    EXPECT_EQ(w->ResultStyle(), "ResultInChart");
    EXPECT_EQ(pane->tabText(result), "Grids");
    EXPECT_TRUE(grid()->isVisible());

    // Through the main window's drop-down, on the active window.
    main->findChild<QAction*>(QStringLiteral("ResultInText"))->trigger();
    EXPECT_EQ(w->ResultStyle(), "ResultInText");
    EXPECT_TRUE(box("dbgText")->isVisible());
    main->findChild<QAction*>(QStringLiteral("ResultInGrid"))->trigger();
    EXPECT_EQ(w->ResultStyle(), "ResultInGrid");
    EXPECT_TRUE(grid()->isVisible());
}

TEST_F(AdHocPaneTest, StyleChangedWhileMessageIsSelectedShowsOnTheResultTab)
{
    w->ShowHideResultPane(true);
    w->SelectResultTab(QStringLiteral("Message"));
    EXPECT_TRUE(box("dbgMessage")->isVisible());
    w->ChangeResultStyle(QStringLiteral("ResultInText"));
    // "Message" stays in front; the result page now holds the text view.
    EXPECT_TRUE(box("dbgMessage")->isVisible());
    EXPECT_EQ(selectedTab(), "Message");
    w->SelectResultTab(QStringLiteral("Result"));
    EXPECT_TRUE(box("dbgText")->isVisible());
    EXPECT_FALSE(grid()->isVisible());
    EXPECT_FALSE(box("dbgMessage")->isVisible());
    w->SelectResultTab(QStringLiteral("Trace"));
    EXPECT_TRUE(box("dbgTrace")->isVisible());
    EXPECT_FALSE(box("dbgText")->isVisible());
    EXPECT_FALSE(box("dbgMessage")->isVisible());
    // A click on a tab runs the same handler.
    QTest::mouseClick(
        tab()->tabBar(), Qt::LeftButton, {}, tab()->tabBar()->tabRect(tabIndex(tab(), "Result")).center());
    EXPECT_EQ(selectedTab(), "Result");
    EXPECT_TRUE(box("dbgText")->isVisible());
    EXPECT_FALSE(box("dbgTrace")->isVisible());
}

TEST_F(AdHocPaneTest, ShowHideResultPaneFollowsTheToolbarButton)
{
    QAction* button = main->toolbarButton(QStringLiteral("ShowResultPane"));
    ASSERT_TRUE(button);
    EXPECT_FALSE(w->ResultPaneVisible());
    EXPECT_FALSE(tab()->isVisible());
    // The toolbar button calls the active window by name.
    button->trigger();
    EXPECT_TRUE(button->isChecked());
    EXPECT_TRUE(w->ResultPaneVisible());
    EXPECT_TRUE(tab()->isVisible());
    EXPECT_TRUE(grid()->isVisible());
    EXPECT_TRUE(w->findChild<QWidget*>(QStringLiteral("imgSplitterYatay"))->isVisible());
    // The pane lies below the panes at the remembered split.
    QApplication::processEvents();
    EXPECT_GT(tab()->height(), 0);
    EXPECT_GT(tab()->mapTo(w, QPoint(0, 0)).y(), w->height() / 2);

    button->trigger();
    EXPECT_FALSE(button->isChecked());
    EXPECT_FALSE(w->ResultPaneVisible());
    EXPECT_FALSE(tab()->isVisible());
    EXPECT_FALSE(w->findChild<QWidget*>(QStringLiteral("imgSplitterYatay"))->isVisible());

    w->ShowHideResultPane(true);
    EXPECT_TRUE(button->isChecked());
    w->ShowHideResultPane(false);
    EXPECT_FALSE(button->isChecked());
}

TEST_F(AdHocPaneTest, CtrlCCopiesTheSelectedBlockWithItsColumnNames)
{
    ASSERT_TRUE(execute(QStringLiteral("select a, b, c from t order by a")));
    QTableView* view = grid();
    view->setFocus();
    QApplication::clipboard()->setText(QStringLiteral("before"));

    // A block: rows 2 and 3, columns b and c.
    view->selectionModel()->select(
        QItemSelection(model()->index(1, 1), model()->index(2, 2)), QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "b\tc\ntwo\t\n\t3.25\n");

    // One cell: its column name and the cell.
    view->setCurrentIndex(model()->index(0, 0));
    view->selectionModel()->select(model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "a\n1\n");

    // Ctrl+Shift+C and C alone copy nothing.
    QApplication::clipboard()->setText(QStringLiteral("kept"));
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_C);
    EXPECT_EQ(QApplication::clipboard()->text(), "kept");

    // The whole grid.
    view->selectAll();
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "a\tb\tc\n1\tone\t1.5\n2\ttwo\t\n3\t\t3.25\n");
}

TEST_F(AdHocPaneTest, LinePanelFollowsTheCaretOfTheResultBoxes)
{
    w->ShowHideResultPane(true);
    w->SelectResultTab(QStringLiteral("Message"));
    QPlainTextEdit* message = box("dbgMessage");
    message->setPlainText(QStringLiteral("one\ntwo\nthree\nfour"));
    QApplication::setActiveWindow(main.get());
    message->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return message->hasFocus(); }, 2000));
    QTextCursor c = message->textCursor();
    c.setPosition(message->document()->findBlockByNumber(2).position() + 1);
    message->setTextCursor(c);
    EXPECT_EQ(main->panelText(QStringLiteral("Line")), "Line: 3");
    QTest::keyClick(message, Qt::Key_Down);
    EXPECT_EQ(main->panelText(QStringLiteral("Line")), "Line: 4");
    QTest::keyClick(message, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(main->panelText(QStringLiteral("Line")), "Line: 1");

    // Leaving the box empties the panel.
    QPlainTextEdit* trace = box("dbgTrace");
    trace->setPlainText(QStringLiteral("a\nb"));
    w->SelectResultTab(QStringLiteral("Trace"));
    trace->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return trace->hasFocus(); }, 2000));
    EXPECT_EQ(main->panelText(QStringLiteral("Line")), "");
    QTest::keyClick(trace, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(main->panelText(QStringLiteral("Line")), "Line: 2");
    // A box filled while the author is elsewhere leaves the panel alone.
    box("dbgMessage")->setPlainText(QStringLiteral("x\ny\nz"));
    EXPECT_EQ(main->panelText(QStringLiteral("Line")), "Line: 2");
}

}   // namespace
}   // namespace orra::test
