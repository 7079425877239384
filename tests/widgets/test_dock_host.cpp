// The docking host: four panels and the floating set, show and hide by name, the panel order,
// sizes, and the pane closed by the user.

#include "platform/host/Error.h"
#include "platform/widgets/DockHost.h"

#include <QApplication>
#include <QDockWidget>
#include <QMainWindow>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using orra::DockHost;

namespace {

class DockHostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_dock_host";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QApplication(argc, argv);
    }
    void SetUp() override
    {
        window.resize(900, 600);
        window.setCentralWidget(new QWidget);
        host.attach(&window);
    }
    QWidget* form(const QString& name, const QString& title)
    {
        auto* w = new QWidget;
        w->setObjectName(name);
        w->setWindowTitle(title);
        return w;
    }
    QMainWindow window;
    DockHost host;
};

}   // namespace

TEST_F(DockHostTest, PanesAreFoundByNameAndHidingKeepsThemInTheCollection)
{
    host.addPane(form("a", "Pane A"), DockHost::Docked, 3, QStringLiteral("a"));
    host.addPane(form("b", "Pane B"), DockHost::Docked, 4, QStringLiteral("b"), 38);
    window.show();
    ASSERT_EQ(host.paneCount(), 2);
    EXPECT_EQ(host.paneName(1), QStringLiteral("a"));
    EXPECT_EQ(host.paneName(2), QStringLiteral("b"));
    EXPECT_EQ(host.paneIndex(QStringLiteral("b")), 2);
    EXPECT_EQ(host.paneIndex(QStringLiteral("B")), 0);
    EXPECT_EQ(host.dockOf(QStringLiteral("a"))->windowTitle(), QStringLiteral("Pane A"));
    EXPECT_EQ(window.dockWidgetArea(host.dockOf(QStringLiteral("a"))), Qt::LeftDockWidgetArea);
    EXPECT_EQ(window.dockWidgetArea(host.dockOf(QStringLiteral("b"))), Qt::RightDockWidgetArea);
    EXPECT_TRUE(host.paneVisible(1));

    host.hidePane(QStringLiteral("a"));
    EXPECT_EQ(host.paneCount(), 2);
    EXPECT_FALSE(host.paneVisible(1));
    EXPECT_EQ(host.panelPanes(3), QStringList{QStringLiteral("a")});
    host.showPane(QStringLiteral("a"));
    EXPECT_TRUE(host.paneVisible(1));
    EXPECT_TRUE(host.dockOf(QStringLiteral("a"))->isVisible());
    EXPECT_THROW(host.showPane(QStringLiteral("zz")), orra::Error);
    EXPECT_THROW(host.hidePane(QStringLiteral("zz")), orra::Error);
}

TEST_F(DockHostTest, ThePanelsMapToTheFourSides)
{
    host.addPane(form("t", "T"), DockHost::Docked, 1, QStringLiteral("t"));
    host.addPane(form("b", "B"), DockHost::Docked, 2, QStringLiteral("b"));
    window.show();
    EXPECT_EQ(window.dockWidgetArea(host.dockOf(QStringLiteral("t"))), Qt::TopDockWidgetArea);
    EXPECT_EQ(window.dockWidgetArea(host.dockOf(QStringLiteral("b"))), Qt::BottomDockWidgetArea);
    EXPECT_EQ(host.panelCount(), 4);
    EXPECT_THROW(host.addPane(form("x", "X"), DockHost::Docked, 5, QStringLiteral("x")), orra::Error);
    EXPECT_THROW(host.addPane(form("y", "Y"), 3, 1, QStringLiteral("y")), orra::Error);
    EXPECT_THROW(host.panelSize(0), orra::Error);
}

TEST_F(DockHostTest, APaneAddedToAPanelGoesFirst)
{
    host.addPane(form("second", "2"), DockHost::Docked, 3, QStringLiteral("second"));
    host.addPane(form("first", "1"), DockHost::Docked, 3, QStringLiteral("first"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(host.panelPanes(3), (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    // On screen too: the first of the list is above the second.
    EXPECT_LT(host.dockOf(QStringLiteral("first"))->y(), host.dockOf(QStringLiteral("second"))->y());
}

TEST_F(DockHostTest, ADuplicateKeyIsRefused)
{
    host.addPane(form("a", "A"), DockHost::Docked, 3, QStringLiteral("a"));
    EXPECT_THROW(host.addPane(form("a", "A"), DockHost::Docked, 4, QStringLiteral("a")), orra::Error);
    EXPECT_EQ(host.paneCount(), 1);
}

TEST_F(DockHostTest, FloatingPanesAreInNoPanelAndSayTheirState)
{
    host.addPane(form("f", "Floating"), DockHost::Floating, 4, QStringLiteral("f"));
    host.addPane(form("d", "Docked"), DockHost::Docked, 4, QStringLiteral("d"));
    window.show();
    EXPECT_EQ(host.paneState(1), DockHost::Floating);
    EXPECT_EQ(host.paneState(2), DockHost::Docked);
    EXPECT_TRUE(host.dockOf(QStringLiteral("f"))->isFloating());
    EXPECT_EQ(host.panelPanes(4), QStringList{QStringLiteral("d")});
    // Docked again by the user: it joins its panel; floated: it leaves it.
    host.dockOf(QStringLiteral("f"))->setFloating(false);
    EXPECT_EQ(host.paneState(1), DockHost::Docked);
    EXPECT_TRUE(host.panelPanes(4).contains(QStringLiteral("f")));
    host.dockOf(QStringLiteral("d"))->setFloating(true);
    EXPECT_FALSE(host.panelPanes(4).contains(QStringLiteral("d")));
}

TEST_F(DockHostTest, PanelSizesAreKeptAndApplied)
{
    host.addPane(form("a", "A"), DockHost::Docked, 3, QStringLiteral("a"));
    host.setPanelSize(3, 220);
    host.setPanelSize(2, 90);
    EXPECT_EQ(host.panelSize(2), 90);   // a panel without panes keeps what it was given
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::processEvents();
    EXPECT_NEAR(host.panelSize(3), 220, 2);
    EXPECT_NEAR(host.dockOf(QStringLiteral("a"))->width(), 220, 2);
    host.setPanelSize(3, 300);
    QApplication::processEvents();
    EXPECT_NEAR(host.dockOf(QStringLiteral("a"))->width(), 300, 2);
}

TEST_F(DockHostTest, APaneClosedByTheUserIsReportedOnce)
{
    QWidget* a = form("a", "A");
    host.addPane(a, DockHost::Docked, 3, QStringLiteral("a"));
    host.addPane(form("b", "B"), DockHost::Docked, 4, QStringLiteral("b"));
    window.show();
    QSignalSpy closed(&host, &DockHost::paneClosed);
    host.hidePane(QStringLiteral("b"));   // hiding by the program is no closing
    EXPECT_EQ(closed.count(), 0);
    host.dockOf(QStringLiteral("a"))->close();
    ASSERT_EQ(closed.count(), 1);
    EXPECT_EQ(closed.at(0).at(0).value<QWidget*>(), a);
    EXPECT_EQ(host.paneCount(), 2);   // still held; show finds it
    host.showPane(QStringLiteral("a"));
    EXPECT_TRUE(host.paneVisible(1));
}

TEST_F(DockHostTest, APaneAddedOnScreenTakesThePanelSizeAndAHiddenPanelKeepsIt)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    host.setPanelSize(4, 260);
    host.addPane(form("r", "R"), DockHost::Docked, 4, QStringLiteral("r"));
    QTRY_VERIFY(qAbs(host.dockOf(QStringLiteral("r"))->width() - 260) <= 2);
    host.setPanelSize(4, 310);
    QApplication::processEvents();
    host.hidePane(QStringLiteral("r"));
    EXPECT_NEAR(host.panelSize(4), 310, 2);
}
